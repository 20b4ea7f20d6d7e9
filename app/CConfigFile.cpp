#include "CConfigFile.h"

#include "AppGlobals.h"
#include "Log.h"

#include <QSettings>
#include <QStringList>
#include <QTextCodec>

namespace {
const QString kManualGroup = QStringLiteral("MANUAL_AUTO_TEST/");
const QString kDisplayGroup = QStringLiteral("MANUAL_TEST_ITEM_DISAPLAY/");

QString FunCodeKey(int n) { return QStringLiteral("FUNCODE/") + QString::number(n); }
}  // namespace

CConfigFile* CConfigFile::GetInstance()
{
    // Thread-safe first-use construction; the store then lives until the process ends.
    static CConfigFile* instance = new CConfigFile(AppDirPath() + "/config.ini");
    return instance;
}

CConfigFile::CConfigFile(const QString& iniPath)
    : m_iniPath(iniPath)
{
    OpenSettings();
    LoadAll(m_info);
}

void CConfigFile::OpenSettings()
{
    // The new object is made before the old one goes, so both share Qt's parsed
    // copy of the file and the changes that have not reached the disk yet.
    std::unique_ptr<QSettings> settings(new QSettings(m_iniPath, QSettings::IniFormat));
    settings->setIniCodec(QTextCodec::codecForName("GB2312"));
    m_settings = std::move(settings);
}

CConfigFile::~CConfigFile() = default;

bool CConfigFile::IsOpen() const { return m_settings != nullptr; }

QString CConfigFile::FilePath() const { return m_settings ? m_settings->fileName() : QString(); }

void CConfigFile::GetConfigInfo(ConfigInfo& info) const { info = m_info; }

QString CConfigFile::ReadText(const QString& key) const
{
    const QVariant v = m_settings->value(key);
    // An unquoted value with commas comes back as a list; it was meant as one text.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(',');
    return v.toString();
}

int CConfigFile::ReadInt(const QString& key) const { return m_settings->value(key).toInt(); }

bool CConfigFile::ReadBool(const QString& key) const { return m_settings->value(key).toBool(); }

int CConfigFile::Commit()
{
    m_settings->sync();
    const QSettings::Status status = m_settings->status();
    if (status == QSettings::NoError)
        return 0;
    // QSettings keeps its first error for good (a hand-written line that is no
    // setting gives FormatError, yet the write reaches the disk). A fresh object
    // retries what did not reach the disk and reports only that.
    if (status == QSettings::FormatError)
        LogPrint(LOG_GENERAL, "config.ini holds lines that are not settings; they are dropped on write");
    OpenSettings();
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return 0;
    LogPrint(LOG_GENERAL, "config.ini could not be written");
    return -1;
}

bool CConfigFile::IsValidScriptKey(const QString& key)
{
    return !key.trimmed().isEmpty() && !key.contains('/') && !key.contains('\\') && !key.contains(',');
}

// Group writers: each writes its keys and mirrors them into the store's record.
void CConfigFile::PutLogin(const LoginInfo& info)
{
    m_settings->setValue("LOGIN_CNF_INFO/ServiceIp", info.ServiceIp);
    m_settings->setValue("LOGIN_CNF_INFO/LoginUserName", info.LoginUserName);
    m_settings->setValue("LOGIN_CNF_INFO/LoginPassword", info.LoginPassword);
    m_settings->setValue("LOGIN_CNF_INFO/bRemeberPassword", info.bRemeberPassword);
    m_settings->setValue("LOGIN_CNF_INFO/bAutoLogin", info.bAutoLogin);
    m_info.m_LoginInfo = info;
}

void CConfigFile::PutConfig(const SystemConfig& c)
{
    m_settings->setValue("CONFIG/iLogSwitch", c.iLogSwitch);
    m_settings->setValue("CONFIG/iSingleFixedIPTestMode", c.iSingleFixedIPTestMode);
    m_settings->setValue("CONFIG/iTestMode", c.iTestMode);
    m_settings->setValue("CONFIG/SSID", c.SSID);
    m_settings->setValue("CONFIG/Password", c.Password);
    m_settings->setValue("CONFIG/StreamJudgeTime", c.StreamJudgeTime);
    m_settings->setValue("CONFIG/WifiSignal", c.WifiSignal);
    m_settings->setValue("CONFIG/WifiQuality", c.WifiQuality);
    m_settings->setValue("CONFIG/HardwareAccelMode", c.HardwareAccelMode);
    m_settings->setValue("CONFIG/MultiThreadDecode", c.MultiThreadDecode);
    m_info.m_SystemConfig = c;
}

void CConfigFile::PutFunctionCodes(const int codes[FUNCODE_COUNT])
{
    for (int n = 1; n <= FUNCODE_COUNT; ++n) {
        m_settings->setValue(FunCodeKey(n), codes[n - 1]);
        m_info.m_FunCode[n - 1] = codes[n - 1];
    }
}

void CConfigFile::PutDisplayFlags(const ManualItemDisplayFlags& flags)
{
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        m_settings->setValue(kDisplayGroup + ManualItemDisplayFlags::KeyName(i), flags.at(i));
    m_info.m_ManualItemDisplay = flags;
}

int CConfigFile::ReadLoginInfo(LoginInfo& info)
{
    if (!IsOpen())
        return -1;
    info.ServiceIp = ReadText("LOGIN_CNF_INFO/ServiceIp");
    info.LoginUserName = ReadText("LOGIN_CNF_INFO/LoginUserName");
    info.LoginPassword = ReadText("LOGIN_CNF_INFO/LoginPassword");
    info.bRemeberPassword = ReadBool("LOGIN_CNF_INFO/bRemeberPassword");
    info.bAutoLogin = ReadBool("LOGIN_CNF_INFO/bAutoLogin");
    return 0;
}

int CConfigFile::WriteLoginInfo(LoginInfo info)
{
    if (!IsOpen())
        return -1;
    PutLogin(info);
    return Commit();
}

int CConfigFile::ReadConfig(SystemConfig& c)
{
    if (!IsOpen())
        return -1;
    c.iLogSwitch = ReadInt("CONFIG/iLogSwitch");
    c.iSingleFixedIPTestMode = ReadInt("CONFIG/iSingleFixedIPTestMode");
    c.iTestMode = ReadInt("CONFIG/iTestMode");
    c.SSID = ReadText("CONFIG/SSID");
    c.Password = ReadText("CONFIG/Password");
    c.StreamJudgeTime = ReadInt("CONFIG/StreamJudgeTime");
    c.WifiSignal = ReadText("CONFIG/WifiSignal");
    c.WifiQuality = ReadText("CONFIG/WifiQuality");
    c.HardwareAccelMode = ReadInt("CONFIG/HardwareAccelMode");
    c.MultiThreadDecode = ReadInt("CONFIG/MultiThreadDecode");
    return 0;
}

int CConfigFile::WriteConfig(SystemConfig c)
{
    if (!IsOpen())
        return -1;
    PutConfig(c);
    return Commit();
}

int CConfigFile::ReadManualAutoTest(ManualAutoTestConfig& config)
{
    if (!IsOpen())
        return -1;
    config.CurChoiseKey.clear();
    config.AllKeyName.clear();
    config.bAutoBeginRun = ReadBool(kManualGroup + "bAutoBeginRun");
    config.iNum = ReadInt(kManualGroup + "iNum");
    config.CurChoiseKey = ReadText(kManualGroup + "CurChoiseKey");
    config.AllKeyName = ReadText(kManualGroup + "AllKeyName");
    if (config.AllKeyName.isEmpty())
        return -2;
    for (const QString& key : config.AllKeyName.split(',')) {
        // A key holding a separator would address another group or key.
        if (!IsValidScriptKey(key))
            continue;
        const QString entry = ReadText(kManualGroup + key);
        if (!entry.isEmpty())
            config.mapConfig.insert(key, entry);
    }
    return 0;
}

void CConfigFile::WriteManualGroup(const ManualAutoTestConfig& config)
{
    m_settings->setValue(kManualGroup + "bAutoBeginRun", config.bAutoBeginRun);
    m_settings->setValue(kManualGroup + "iNum", config.iNum);
    m_settings->setValue(kManualGroup + "CurChoiseKey", config.CurChoiseKey);
    m_settings->setValue(kManualGroup + "AllKeyName", config.AllKeyName);
    // With no script chosen there is no entry to write.
    if (!config.CurChoiseKey.isEmpty())
        m_settings->setValue(kManualGroup + config.CurChoiseKey, config.mapConfig.value(config.CurChoiseKey));
    m_info.m_ManualAutoTest = config;
}

int CConfigFile::WriteManualAutoTest(ManualAutoTestConfig config)
{
    if (!IsOpen())
        return -1;
    if (!config.CurChoiseKey.isEmpty() && !IsValidScriptKey(config.CurChoiseKey))
        return -1;
    WriteManualGroup(config);
    return Commit();
}

int CConfigFile::RemoveManualAutoTestConfig(QString key, ManualAutoTestConfig config)
{
    if (!IsOpen() || !IsValidScriptKey(key))
        return -1;
    if (!config.CurChoiseKey.isEmpty() && !IsValidScriptKey(config.CurChoiseKey))
        return -1;
    m_settings->remove(kManualGroup + key);
    WriteManualGroup(config);
    return Commit();
}

int CConfigFile::ReadManualTestItemDisplay(ManualItemDisplayFlags& flags)
{
    if (!IsOpen())
        return -1;
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        flags.at(i) = ReadBool(kDisplayGroup + ManualItemDisplayFlags::KeyName(i));
    return 0;
}

int CConfigFile::WriteManualTestItemDisplay(const ManualItemDisplayFlags& flags)
{
    if (!IsOpen())
        return -1;
    PutDisplayFlags(flags);
    return Commit();
}

int CConfigFile::ReadFunctionCode(int codes[FUNCODE_COUNT])
{
    if (!IsOpen())
        return -1;
    for (int n = 1; n <= FUNCODE_COUNT; ++n)
        codes[n - 1] = ReadInt(FunCodeKey(n));
    return 0;
}

int CConfigFile::WriteFunctionCode(const int codes[FUNCODE_COUNT])
{
    if (!IsOpen())
        return -1;
    PutFunctionCodes(codes);
    return Commit();
}

int CConfigFile::LoadAll(ConfigInfo& info)
{
    if (!IsOpen())
        return -1;
    ReadLoginInfo(info.m_LoginInfo);
    info.m_UIVerion.bUseVersion = ReadBool("UIVersion/bUseVersion");
    info.m_UIVerion.strVersion = ReadText("UIVersion/szVersion");
    info.m_WifiNet.iDurationTime = ReadInt("WIFINet/iDurationTime");
    info.m_WifiNet.iAveSpeed = ReadInt("WIFINet/iAveSpeed");
    ReadConfig(info.m_SystemConfig);
    info.m_Config4G.Signal4G = ReadText("4G_CONFIG/4GSignal");
    info.m_Config4G.Quality4G = ReadText("4G_CONFIG/4GQuality");
    info.m_Config4G.SoftVersion = ReadText("4G_CONFIG/SoftVersion");
    info.m_FullOsd.bAutoTest = ReadBool("FULL_OSD/bAutoTest");
    info.m_FullOsd.bManualTest = ReadBool("FULL_OSD/bManualTest");
    info.m_FullOsd.bVersionInfo = ReadBool("FULL_OSD/bVersionInfo");
    info.m_AutoTest.bRTC = ReadBool("AUTO_TEST/bRTC");
    info.m_AutoTest.bPTZ = ReadBool("AUTO_TEST/bPTZ");
    info.m_AutoTest.bWifiSignal = ReadBool("AUTO_TEST/bWifiSignal");
    info.m_AutoTest.bFunctionCode = ReadBool("AUTO_TEST/bFunctionCode");
    info.m_AutoTest.bTFCard = ReadBool("AUTO_TEST/bTFCard");
    info.m_Tips.bVesionInfo = ReadBool("TIPS/bVesionInfo");
    // Loading starts from an empty script map, so no earlier entry survives.
    info.m_ManualAutoTest = ManualAutoTestConfig();
    ReadManualAutoTest(info.m_ManualAutoTest);
    info.m_IpSection.bUseIpSection = ReadBool("IP/bUseIpSection");
    info.m_IpSection.StartIp = ReadText("IP/StartIp");
    info.m_IpSection.EndIP = ReadText("IP/EndIP");
    ReadFunctionCode(info.m_FunCode);
    info.m_PrintConfigFilePath = ReadText("PRINT_QRCODE_CONFIG/PrintConfigFilePath");
    CurrentPrintConfigPath = info.m_PrintConfigFilePath;
    info.m_PrintQrCode.bAutoPrint = ReadBool("PRINT_QRCODE_CONFIG/bAutoPrint");
    info.m_PrintQrCode.bCheckQRCode = ReadBool("PRINT_QRCODE_CONFIG/bCheckQRCode");
    info.m_LightMode.iLightMode = ReadInt("LIGHT_MODE/iLightMode");
    info.m_LightMode.bUseLightModeTest = ReadBool("LIGHT_MODE/bUseLightModeTest");
    ReadManualTestItemDisplay(info.m_ManualItemDisplay);
    return 0;
}

int CConfigFile::SaveAll(ConfigInfo info)
{
    if (!IsOpen())
        return -1;
    PutLogin(info.m_LoginInfo);
    m_settings->setValue("UIVersion/bUseVersion", info.m_UIVerion.bUseVersion);
    m_settings->setValue("UIVersion/szVersion", info.m_UIVerion.strVersion);
    m_settings->setValue("WIFINet/iDurationTime", info.m_WifiNet.iDurationTime);
    m_settings->setValue("WIFINet/iAveSpeed", info.m_WifiNet.iAveSpeed);
    PutConfig(info.m_SystemConfig);
    m_settings->setValue("4G_CONFIG/4GSignal", info.m_Config4G.Signal4G);
    m_settings->setValue("4G_CONFIG/4GQuality", info.m_Config4G.Quality4G);
    m_settings->setValue("4G_CONFIG/SoftVersion", info.m_Config4G.SoftVersion);
    m_settings->setValue("FULL_OSD/bAutoTest", info.m_FullOsd.bAutoTest);
    m_settings->setValue("FULL_OSD/bManualTest", info.m_FullOsd.bManualTest);
    m_settings->setValue("FULL_OSD/bVersionInfo", info.m_FullOsd.bVersionInfo);
    m_settings->setValue("AUTO_TEST/bRTC", info.m_AutoTest.bRTC);
    m_settings->setValue("AUTO_TEST/bPTZ", info.m_AutoTest.bPTZ);
    m_settings->setValue("AUTO_TEST/bWifiSignal", info.m_AutoTest.bWifiSignal);
    m_settings->setValue("AUTO_TEST/bFunctionCode", info.m_AutoTest.bFunctionCode);
    m_settings->setValue("AUTO_TEST/bTFCard", info.m_AutoTest.bTFCard);
    m_settings->setValue("TIPS/bVesionInfo", info.m_Tips.bVesionInfo);
    // An invalid chosen key would write outside the group; its entry is skipped.
    ManualAutoTestConfig manual = info.m_ManualAutoTest;
    const bool manualOk = manual.CurChoiseKey.isEmpty() || IsValidScriptKey(manual.CurChoiseKey);
    if (manualOk)
        WriteManualGroup(manual);
    m_settings->setValue("IP/bUseIpSection", info.m_IpSection.bUseIpSection);
    m_settings->setValue("IP/StartIp", info.m_IpSection.StartIp);
    m_settings->setValue("IP/EndIP", info.m_IpSection.EndIP);
    PutFunctionCodes(info.m_FunCode);
    m_settings->setValue("PRINT_QRCODE_CONFIG/PrintConfigFilePath", info.m_PrintConfigFilePath);
    m_settings->setValue("PRINT_QRCODE_CONFIG/bAutoPrint", info.m_PrintQrCode.bAutoPrint);
    m_settings->setValue("PRINT_QRCODE_CONFIG/bCheckQRCode", info.m_PrintQrCode.bCheckQRCode);
    m_settings->setValue("LIGHT_MODE/iLightMode", info.m_LightMode.iLightMode);
    m_settings->setValue("LIGHT_MODE/bUseLightModeTest", info.m_LightMode.bUseLightModeTest);
    PutDisplayFlags(info.m_ManualItemDisplay);
    m_info = info;
    const int status = Commit();
    return manualOk ? status : -1;
}
