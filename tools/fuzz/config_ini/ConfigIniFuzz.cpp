// config.ini as an operator may leave it: loaded into the settings record,
// saved back whole over the same file, and read afresh. What the load read
// must come back the same, whatever the values hold; the manual scripts it
// holds are split as the script editor and the controller split them.
#include "FuzzEnv.h"

#include "CConfigFile.h"
#include "ManualTestAutomation.h"

#include <QFile>

#include <cstring>

namespace {

#define SAME(field)                                                                                                  \
    if (!(a.field == b.field))                                                                                       \
        FuzzEnv::Fail("%s changed in a save", #field);
#define SAME_TEXT(field)                                                                                             \
    if (a.field != b.field)                                                                                          \
        FuzzEnv::Fail("%s '%s' came back as '%s'", #field, qPrintable(a.field), qPrintable(b.field));

void CheckSame(const ConfigInfo& a, const ConfigInfo& b)
{
    SAME_TEXT(m_LoginInfo.ServiceIp)
    SAME_TEXT(m_LoginInfo.LoginUserName)
    SAME_TEXT(m_LoginInfo.LoginPassword)
    SAME(m_LoginInfo.bRemeberPassword)
    SAME(m_LoginInfo.bAutoLogin)
    SAME(m_UIVerion.bUseVersion)
    SAME_TEXT(m_UIVerion.strVersion)
    SAME(m_WifiNet.iDurationTime)
    SAME(m_WifiNet.iAveSpeed)
    SAME(m_SystemConfig.iLogSwitch)
    SAME(m_SystemConfig.iSingleFixedIPTestMode)
    SAME(m_SystemConfig.iTestMode)
    SAME_TEXT(m_SystemConfig.SSID)
    SAME_TEXT(m_SystemConfig.Password)
    SAME(m_SystemConfig.StreamJudgeTime)
    SAME_TEXT(m_SystemConfig.WifiSignal)
    SAME_TEXT(m_SystemConfig.WifiQuality)
    SAME(m_SystemConfig.HardwareAccelMode)
    SAME(m_SystemConfig.MultiThreadDecode)
    SAME_TEXT(m_Config4G.Signal4G)
    SAME_TEXT(m_Config4G.Quality4G)
    SAME_TEXT(m_Config4G.SoftVersion)
    SAME(m_FullOsd.bAutoTest)
    SAME(m_FullOsd.bManualTest)
    SAME(m_FullOsd.bVersionInfo)
    SAME(m_AutoTest.bRTC)
    SAME(m_AutoTest.bPTZ)
    SAME(m_AutoTest.bWifiSignal)
    SAME(m_AutoTest.bFunctionCode)
    SAME(m_AutoTest.bTFCard)
    SAME(m_Tips.bVesionInfo)
    SAME(m_ManualAutoTest.bAutoBeginRun)
    SAME(m_ManualAutoTest.iNum)
    SAME_TEXT(m_ManualAutoTest.CurChoiseKey)
    SAME_TEXT(m_ManualAutoTest.AllKeyName)
    SAME(m_ManualAutoTest.mapConfig)
    SAME(m_PrintQrCode.bAutoPrint)
    SAME(m_PrintQrCode.bCheckQRCode)
    SAME(m_IpSection.bUseIpSection)
    SAME_TEXT(m_IpSection.StartIp)
    SAME_TEXT(m_IpSection.EndIP)
    if (memcmp(a.m_FunCode, b.m_FunCode, sizeof a.m_FunCode) != 0)
        FuzzEnv::Fail("a function code changed in a save");
    SAME(m_LightMode.bUseLightModeTest)
    SAME(m_LightMode.iLightMode)
    SAME_TEXT(m_PrintConfigFilePath)
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i) {
        if (a.m_ManualItemDisplay.at(i) != b.m_ManualItemDisplay.at(i))
            FuzzEnv::Fail("display flag %s changed in a save", ManualItemDisplayFlags::KeyName(i));
    }
}

#undef SAME
#undef SAME_TEXT

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString path = FuzzEnv::FreshPath(".ini");
    FuzzEnv::WriteFile(path, bytes);
    ConfigInfo loaded;
    int saved;
    {
        CConfigFile store(path);
        store.GetConfigInfo(loaded);
        saved = store.SaveAll(loaded);
    }
    for (const QString& script : loaded.m_ManualAutoTest.mapConfig) {
        ManualTestAutomation::DisplayNameOf(script);
        ManualTestAutomation::StepListOf(script);
    }
    // A save refused (a text GB2312 can't hold, or a chosen script key that
    // would leave its group) changes nothing to compare.
    if (saved == 0) {
        // Read through a new name: Qt would hand a store of the same name its parsed copy.
        const QString copy = FuzzEnv::FreshPath(".ini");
        if (!QFile::copy(path, copy))
            FuzzEnv::Fail("the saved file can't be copied");
        ConfigInfo again;
        CConfigFile(copy).GetConfigInfo(again);
        CheckSame(loaded, again);
        QFile::remove(copy);
    }
    QFile::remove(path);
    return 0;
}
