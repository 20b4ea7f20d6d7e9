// config.ini as an operator may leave it: loaded into the settings record,
// saved back whole over the same file, and read afresh. Every text must load
// as the file writes it, what the load read must come back the same after
// the save, and every key of the file must still be there, reading as before
// unless the save wrote it, whatever the values hold; the manual scripts it
// holds are split as the script editor and the controller split them.
#include "FuzzEnv.h"

#include "CConfigFile.h"
#include "IniText.h"
#include "ManualTestAutomation.h"

#include <QFile>
#include <QSet>
#include <QTextCodec>
#include <QVector>

#include <cstring>

namespace {

QTextCodec* Codec()
{
    static QTextCodec* const codec = QTextCodec::codecForName("GB2312");
    return codec;
}

// The text settings with their keys.
QVector<QPair<const char*, QString>> Texts(const ConfigInfo& c)
{
    return {{"LOGIN_CNF_INFO/ServiceIp", c.m_LoginInfo.ServiceIp},
            {"LOGIN_CNF_INFO/LoginUserName", c.m_LoginInfo.LoginUserName},
            {"LOGIN_CNF_INFO/LoginPassword", c.m_LoginInfo.LoginPassword},
            {"UIVersion/szVersion", c.m_UIVerion.strVersion},
            {"CONFIG/SSID", c.m_SystemConfig.SSID},
            {"CONFIG/Password", c.m_SystemConfig.Password},
            {"CONFIG/WifiSignal", c.m_SystemConfig.WifiSignal},
            {"CONFIG/WifiQuality", c.m_SystemConfig.WifiQuality},
            {"4G_CONFIG/4GSignal", c.m_Config4G.Signal4G},
            {"4G_CONFIG/4GQuality", c.m_Config4G.Quality4G},
            {"4G_CONFIG/SoftVersion", c.m_Config4G.SoftVersion},
            {"MANUAL_AUTO_TEST/CurChoiseKey", c.m_ManualAutoTest.CurChoiseKey},
            {"MANUAL_AUTO_TEST/AllKeyName", c.m_ManualAutoTest.AllKeyName},
            {"IP/StartIp", c.m_IpSection.StartIp},
            {"IP/EndIP", c.m_IpSection.EndIP},
            {"PRINT_QRCODE_CONFIG/PrintConfigFilePath", c.m_PrintConfigFilePath}};
}

// A text loads as the file holds it: a value Qt would take for one of its
// typed values ("@...") must not come back empty or changed.
void CheckTextsAsWritten(const ConfigInfo& loaded, const QByteArray& file)
{
    for (const auto& text : Texts(loaded)) {
        QString raw;
        if (IniText::LineValue(file, text.first, Codec(), &raw) && (raw.startsWith('@') || raw.contains(",@"))
            && raw != text.second)
            FuzzEnv::Fail("%s '%s' loaded as '%s'", text.first, qPrintable(raw), qPrintable(text.second));
    }
}

#define SAME(field)                                                                                                  \
    if (!(a.field == b.field))                                                                                       \
        FuzzEnv::Fail("%s changed in a save", #field);

void CheckSame(const ConfigInfo& a, const ConfigInfo& b)
{
    const auto before = Texts(a);
    const auto after = Texts(b);
    for (int i = 0; i < before.size(); ++i) {
        if (before[i].second != after[i].second)
            FuzzEnv::Fail("%s '%s' came back as '%s'", before[i].first, qPrintable(before[i].second),
                          qPrintable(after[i].second));
    }
    SAME(m_LoginInfo.bRemeberPassword)
    SAME(m_LoginInfo.bAutoLogin)
    SAME(m_UIVerion.bUseVersion)
    SAME(m_WifiNet.iDurationTime)
    SAME(m_WifiNet.iAveSpeed)
    SAME(m_SystemConfig.iLogSwitch)
    SAME(m_SystemConfig.iSingleFixedIPTestMode)
    SAME(m_SystemConfig.iTestMode)
    SAME(m_SystemConfig.StreamJudgeTime)
    SAME(m_SystemConfig.HardwareAccelMode)
    SAME(m_SystemConfig.MultiThreadDecode)
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
    SAME(m_ManualAutoTest.mapConfig)
    SAME(m_PrintQrCode.bAutoPrint)
    SAME(m_PrintQrCode.bCheckQRCode)
    SAME(m_IpSection.bUseIpSection)
    if (memcmp(a.m_FunCode, b.m_FunCode, sizeof a.m_FunCode) != 0)
        FuzzEnv::Fail("a function code changed in a save");
    SAME(m_LightMode.bUseLightModeTest)
    SAME(m_LightMode.iLightMode)
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i) {
        if (a.m_ManualItemDisplay.at(i) != b.m_ManualItemDisplay.at(i))
            FuzzEnv::Fail("display flag %s changed in a save", ManualItemDisplayFlags::KeyName(i));
    }
}

#undef SAME

// The keys a save of the whole record writes.
QSet<QString> KeysSaveAllWrites(const ConfigInfo& saved)
{
    static const QSet<QString> fixed = [] {
        const QString path = FuzzEnv::FreshPath(".ini");
        CConfigFile(path).SaveAll(ConfigInfo());
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QStringList keys = IniText::LineKeys(file.readAll());
        file.remove();
        return QSet<QString>(keys.begin(), keys.end());
    }();
    QSet<QString> keys = fixed;
    keys.insert("MANUAL_AUTO_TEST/" + saved.m_ManualAutoTest.CurChoiseKey);
    return keys;
}

// No key of the file is dropped or taken into a value, and each the save did
// not write reads as it did.
void CheckKeysKept(const QByteArray& before, const QByteArray& after, const QSet<QString>& written)
{
    for (const QString& key : IniText::LineKeys(before)) {
        QString was;
        QString is;
        IniText::LineValue(before, key, Codec(), &was);
        if (!IniText::LineValue(after, key, Codec(), &is))
            FuzzEnv::Fail("%s is gone after a save", qPrintable(key));
        if (!written.contains(key) && is != was)
            FuzzEnv::Fail("%s '%s' came back as '%s'", qPrintable(key), qPrintable(was), qPrintable(is));
    }
}

// Whether a save of the record is refused: a text GB2312 can't hold, or a
// chosen script key that would leave its group.
bool Refused(const ConfigInfo& c)
{
    const ManualAutoTestConfig& m = c.m_ManualAutoTest;
    if (!m.CurChoiseKey.isEmpty() && !CConfigFile::IsValidScriptKey(m.CurChoiseKey))
        return true;
    if (!IniText::CanStore(m.mapConfig.value(m.CurChoiseKey), Codec()))
        return true;
    for (const auto& text : Texts(c)) {
        if (!IniText::CanStore(text.second, Codec()))
            return true;
    }
    return false;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    CheckTextsAsWritten(loaded, QByteArray::fromStdString(bytes));
    for (const QString& script : loaded.m_ManualAutoTest.mapConfig) {
        ManualTestAutomation::DisplayNameOf(script);
        ManualTestAutomation::StepListOf(script);
    }
    // A refused save changes nothing to compare; no other save may fail.
    if (saved != 0 && !Refused(loaded))
        FuzzEnv::Fail("a save of what was loaded failed");
    if (saved == 0) {
        ConfigInfo again;
        CConfigFile(path).GetConfigInfo(again);
        CheckSame(loaded, again);
        CheckKeysKept(QByteArray::fromStdString(bytes), ReadFile(path), KeysSaveAllWrites(loaded));
    }
    QFile::remove(path);
    return 0;
}
