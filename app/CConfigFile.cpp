#include "CConfigFile.h"

#include "AppGlobals.h"
#include "IniLines.h"
#include "IniText.h"
#include "Log.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextCodec>
#include <QVariant>
#include <QVector>

#include <algorithm>

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
    , m_codec(QTextCodec::codecForName("GB2312"))
{
    LoadAll(m_info);
}

CConfigFile::~CConfigFile() = default;

bool CConfigFile::IsOpen() const { return !m_iniPath.isEmpty(); }

QString CConfigFile::FilePath() const { return m_iniPath; }

void CConfigFile::GetConfigInfo(ConfigInfo& info) const { info = m_info; }

bool CConfigFile::ReadFile(QByteArray* ini) const
{
    QFile file(m_iniPath);
    if (!file.exists()) {
        ini->clear();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        LogPrint(LOG_GENERAL, "config.ini can't be read: %s", qPrintable(file.errorString()));
        return false;
    }
    *ini = file.readAll();
    return true;
}

void CConfigFile::Refresh()
{
    QByteArray ini;
    if (!ReadFile(&ini))
        ini.clear();
    if (ini != m_ini) {
        m_openQuotesLogged = false;
        Hold(ini);
    }
    LogOpenQuotes();
}

void CConfigFile::Hold(const QByteArray& ini)
{
    m_ini = ini;
    m_values = IniText::LineValues(ini, m_codec);
}

void CConfigFile::LogOpenQuotes()
{
    // The process store is made before the log starts: what it found then is
    // logged at the first read after.
    if (m_openQuotesLogged || LogPath().isEmpty())
        return;
    m_openQuotesLogged = true;
    for (const int line : IniText::OpenQuoteLines(m_ini))
        LogPrint(LOG_GENERAL, "config.ini line %d: a quote that does not close on its line is read as a character",
                 line);
}

QString CConfigFile::ReadText(const QString& key) const
{
    return m_values.value(IniLines::NormalKey(key));
}

int CConfigFile::ReadInt(const QString& key) const { return QVariant(ReadText(key)).toInt(); }

bool CConfigFile::ReadBool(const QString& key) const { return QVariant(ReadText(key)).toBool(); }

int CConfigFile::Commit(const SettingWrites& writes, const QStringList& removed)
{
    // A file that is there but can't be read is not replaced by one holding this write alone.
    QByteArray ini;
    if (!ReadFile(&ini))
        return -1;
    IniText::RemoveKeys(&ini, removed);
    if (!IniText::SetValues(&ini, writes, m_codec))
        return -1;
    QSaveFile out(m_iniPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(ini) != ini.size() || !out.commit()) {
        LogPrint(LOG_GENERAL, "config.ini could not be written");
        return -1;
    }
    Hold(ini);
    return 0;
}

bool CConfigFile::IsValidScriptKey(const QString& key)
{
    return !key.trimmed().isEmpty() && !key.contains('/') && !key.contains('\\') && !key.contains(',');
}

bool CConfigFile::Fits(const SettingWrites& writes) const
{
    // A write with a character GB2312 has no bytes for is refused whole, before any of it is made.
    bool fits = true;
    for (const auto& w : writes) {
        if (w.second.type() == QVariant::String && !IniText::CanStore(w.second.toString(), m_codec)) {
            LogPrint(LOG_GENERAL, "CConfigFile: %s not saved, it holds characters config.ini (GB2312) can't store",
                     qPrintable(w.first));
            fits = false;
        }
    }
    return fits;
}

// Group writers: the keys of one group and their values.
void CConfigFile::AddLogin(const LoginInfo& info, SettingWrites& w)
{
    w.append({"LOGIN_CNF_INFO/ServiceIp", info.ServiceIp});
    w.append({"LOGIN_CNF_INFO/LoginUserName", info.LoginUserName});
    w.append({"LOGIN_CNF_INFO/LoginPassword", info.LoginPassword});
    w.append({"LOGIN_CNF_INFO/bRemeberPassword", info.bRemeberPassword});
    w.append({"LOGIN_CNF_INFO/bAutoLogin", info.bAutoLogin});
}

void CConfigFile::AddConfig(const SystemConfig& c, SettingWrites& w)
{
    w.append({"CONFIG/iLogSwitch", c.iLogSwitch});
    w.append({"CONFIG/iSingleFixedIPTestMode", c.iSingleFixedIPTestMode});
    w.append({"CONFIG/iTestMode", c.iTestMode});
    w.append({"CONFIG/SSID", c.SSID});
    w.append({"CONFIG/Password", c.Password});
    w.append({"CONFIG/StreamJudgeTime", c.StreamJudgeTime});
    w.append({"CONFIG/WifiSignal", c.WifiSignal});
    w.append({"CONFIG/WifiQuality", c.WifiQuality});
    w.append({"CONFIG/HardwareAccelMode", c.HardwareAccelMode});
    w.append({"CONFIG/MultiThreadDecode", c.MultiThreadDecode});
}

void CConfigFile::AddFunctionCodes(const int codes[FUNCODE_COUNT], SettingWrites& w)
{
    for (int n = 1; n <= FUNCODE_COUNT; ++n)
        w.append({FunCodeKey(n), codes[n - 1]});
}

void CConfigFile::AddDisplayFlags(const ManualItemDisplayFlags& flags, SettingWrites& w)
{
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        w.append({kDisplayGroup + ManualItemDisplayFlags::KeyName(i), flags.at(i)});
}

void CConfigFile::AddManualGroup(const ManualAutoTestConfig& config, SettingWrites& w)
{
    w.append({kManualGroup + "bAutoBeginRun", config.bAutoBeginRun});
    w.append({kManualGroup + "iNum", config.iNum});
    w.append({kManualGroup + "CurChoiseKey", config.CurChoiseKey});
    w.append({kManualGroup + "AllKeyName", config.AllKeyName});
    // With no script chosen there is no entry to write.
    if (!config.CurChoiseKey.isEmpty())
        w.append({kManualGroup + config.CurChoiseKey, config.mapConfig.value(config.CurChoiseKey)});
}

int CConfigFile::ReadLoginInfo(LoginInfo& info)
{
    if (!IsOpen())
        return -1;
    Refresh();
    FillLoginInfo(info);
    return 0;
}

void CConfigFile::FillLoginInfo(LoginInfo& info) const
{
    info.ServiceIp = ReadText("LOGIN_CNF_INFO/ServiceIp");
    info.LoginUserName = ReadText("LOGIN_CNF_INFO/LoginUserName");
    info.LoginPassword = ReadText("LOGIN_CNF_INFO/LoginPassword");
    info.bRemeberPassword = ReadBool("LOGIN_CNF_INFO/bRemeberPassword");
    info.bAutoLogin = ReadBool("LOGIN_CNF_INFO/bAutoLogin");
}

int CConfigFile::WriteLoginInfo(LoginInfo info)
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    AddLogin(info, w);
    if (!Fits(w))
        return -1;
    m_info.m_LoginInfo = info;
    return Commit(w);
}

int CConfigFile::ReadConfig(SystemConfig& c)
{
    if (!IsOpen())
        return -1;
    Refresh();
    FillConfig(c);
    return 0;
}

void CConfigFile::FillConfig(SystemConfig& c) const
{
    c.iLogSwitch = ReadInt("CONFIG/iLogSwitch");
    c.iSingleFixedIPTestMode = ReadInt("CONFIG/iSingleFixedIPTestMode");
    c.iTestMode = ReadInt("CONFIG/iTestMode");
    c.SSID = ReadText("CONFIG/SSID");
    c.Password = ReadText("CONFIG/Password");
    c.StreamJudgeTime = ReadInt("CONFIG/StreamJudgeTime");
    if (c.StreamJudgeTime < STREAM_JUDGE_TIME_MIN_MS) {
        LogPrint(LOG_GENERAL, "CConfigFile::ReadConfig() CONFIG/StreamJudgeTime=%d would cut healthy streams, %d is used",
                 c.StreamJudgeTime, STREAM_JUDGE_TIME_MIN_MS);
        c.StreamJudgeTime = STREAM_JUDGE_TIME_MIN_MS;
    }
    c.WifiSignal = ReadText("CONFIG/WifiSignal");
    c.WifiQuality = ReadText("CONFIG/WifiQuality");
    c.HardwareAccelMode = ReadInt("CONFIG/HardwareAccelMode");
    c.MultiThreadDecode = ReadInt("CONFIG/MultiThreadDecode");
}

int CConfigFile::WriteConfig(SystemConfig c)
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    AddConfig(c, w);
    if (!Fits(w))
        return -1;
    m_info.m_SystemConfig = c;
    return Commit(w);
}

int CConfigFile::ReadManualAutoTest(ManualAutoTestConfig& config)
{
    if (!IsOpen())
        return -1;
    Refresh();
    return FillManualAutoTest(config);
}

int CConfigFile::FillManualAutoTest(ManualAutoTestConfig& config) const
{
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

int CConfigFile::WriteManualAutoTest(ManualAutoTestConfig config)
{
    if (!IsOpen())
        return -1;
    if (!config.CurChoiseKey.isEmpty() && !IsValidScriptKey(config.CurChoiseKey))
        return -1;
    SettingWrites w;
    AddManualGroup(config, w);
    if (!Fits(w))
        return -1;
    m_info.m_ManualAutoTest = config;
    return Commit(w);
}

int CConfigFile::RemoveManualAutoTestConfig(QString key, ManualAutoTestConfig config)
{
    if (!IsOpen() || !IsValidScriptKey(key))
        return -1;
    if (!config.CurChoiseKey.isEmpty() && !IsValidScriptKey(config.CurChoiseKey))
        return -1;
    SettingWrites w;
    AddManualGroup(config, w);
    if (!Fits(w))
        return -1;
    m_info.m_ManualAutoTest = config;
    return Commit(w, {kManualGroup + key});
}

int CConfigFile::ReadManualTestItemDisplay(ManualItemDisplayFlags& flags)
{
    if (!IsOpen())
        return -1;
    Refresh();
    FillManualTestItemDisplay(flags);
    return 0;
}

void CConfigFile::FillManualTestItemDisplay(ManualItemDisplayFlags& flags) const
{
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        flags.at(i) = ReadBool(kDisplayGroup + ManualItemDisplayFlags::KeyName(i));
}

int CConfigFile::WriteManualTestItemDisplay(const ManualItemDisplayFlags& flags)
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    AddDisplayFlags(flags, w);
    m_info.m_ManualItemDisplay = flags;
    return Commit(w);
}

int CConfigFile::ReadFunctionCode(int codes[FUNCODE_COUNT])
{
    if (!IsOpen())
        return -1;
    Refresh();
    FillFunctionCode(codes);
    return 0;
}

void CConfigFile::FillFunctionCode(int codes[FUNCODE_COUNT]) const
{
    for (int n = 1; n <= FUNCODE_COUNT; ++n)
        codes[n - 1] = ReadInt(FunCodeKey(n));
}

int CConfigFile::WriteFunctionCode(const int codes[FUNCODE_COUNT])
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    AddFunctionCodes(codes, w);
    std::copy(codes, codes + FUNCODE_COUNT, m_info.m_FunCode);
    return Commit(w);
}

int CConfigFile::WriteVersionPromptAnswer(bool remind, const QString* version)
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    w.append({"TIPS/bVesionInfo", remind});
    if (version)
        w.append({"UIVersion/szVersion", *version});
    if (!Fits(w))
        return -1;
    m_info.m_Tips.bVesionInfo = remind;
    if (version)
        m_info.m_UIVerion.strVersion = *version;
    return Commit(w);
}

int CConfigFile::LoadAll(ConfigInfo& info)
{
    if (!IsOpen())
        return -1;
    Refresh();
    FillLoginInfo(info.m_LoginInfo);
    info.m_UIVerion.bUseVersion = ReadBool("UIVersion/bUseVersion");
    info.m_UIVerion.strVersion = ReadText("UIVersion/szVersion");
    info.m_WifiNet.iDurationTime = ReadInt("WIFINet/iDurationTime");
    info.m_WifiNet.iAveSpeed = ReadInt("WIFINet/iAveSpeed");
    FillConfig(info.m_SystemConfig);
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
    FillManualAutoTest(info.m_ManualAutoTest);
    info.m_IpSection.bUseIpSection = ReadBool("IP/bUseIpSection");
    info.m_IpSection.StartIp = ReadText("IP/StartIp");
    info.m_IpSection.EndIP = ReadText("IP/EndIP");
    FillFunctionCode(info.m_FunCode);
    info.m_PrintConfigFilePath = ReadText("PRINT_QRCODE_CONFIG/PrintConfigFilePath");
    CurrentPrintConfigPath = info.m_PrintConfigFilePath;
    info.m_PrintQrCode.bAutoPrint = ReadBool("PRINT_QRCODE_CONFIG/bAutoPrint");
    info.m_PrintQrCode.bCheckQRCode = ReadBool("PRINT_QRCODE_CONFIG/bCheckQRCode");
    info.m_PrintQrCode.szAppDownloadHost = ReadText("PRINT_QRCODE_CONFIG/szAppDownloadHost").trimmed();
    info.m_LightMode.iLightMode = ReadInt("LIGHT_MODE/iLightMode");
    info.m_LightMode.bUseLightModeTest = ReadBool("LIGHT_MODE/bUseLightModeTest");
    FillManualTestItemDisplay(info.m_ManualItemDisplay);
    return 0;
}

int CConfigFile::SaveAll(ConfigInfo info)
{
    if (!IsOpen())
        return -1;
    SettingWrites w;
    AddLogin(info.m_LoginInfo, w);
    w.append({"UIVersion/bUseVersion", info.m_UIVerion.bUseVersion});
    w.append({"UIVersion/szVersion", info.m_UIVerion.strVersion});
    w.append({"WIFINet/iDurationTime", info.m_WifiNet.iDurationTime});
    w.append({"WIFINet/iAveSpeed", info.m_WifiNet.iAveSpeed});
    AddConfig(info.m_SystemConfig, w);
    w.append({"4G_CONFIG/4GSignal", info.m_Config4G.Signal4G});
    w.append({"4G_CONFIG/4GQuality", info.m_Config4G.Quality4G});
    w.append({"4G_CONFIG/SoftVersion", info.m_Config4G.SoftVersion});
    w.append({"FULL_OSD/bAutoTest", info.m_FullOsd.bAutoTest});
    w.append({"FULL_OSD/bManualTest", info.m_FullOsd.bManualTest});
    w.append({"FULL_OSD/bVersionInfo", info.m_FullOsd.bVersionInfo});
    w.append({"AUTO_TEST/bRTC", info.m_AutoTest.bRTC});
    w.append({"AUTO_TEST/bPTZ", info.m_AutoTest.bPTZ});
    w.append({"AUTO_TEST/bWifiSignal", info.m_AutoTest.bWifiSignal});
    w.append({"AUTO_TEST/bFunctionCode", info.m_AutoTest.bFunctionCode});
    w.append({"AUTO_TEST/bTFCard", info.m_AutoTest.bTFCard});
    w.append({"TIPS/bVesionInfo", info.m_Tips.bVesionInfo});
    // An invalid chosen key would write outside the group; its entry is skipped.
    const ManualAutoTestConfig& manual = info.m_ManualAutoTest;
    const bool manualOk = manual.CurChoiseKey.isEmpty() || IsValidScriptKey(manual.CurChoiseKey);
    if (manualOk)
        AddManualGroup(manual, w);
    w.append({"IP/bUseIpSection", info.m_IpSection.bUseIpSection});
    w.append({"IP/StartIp", info.m_IpSection.StartIp});
    w.append({"IP/EndIP", info.m_IpSection.EndIP});
    AddFunctionCodes(info.m_FunCode, w);
    w.append({"PRINT_QRCODE_CONFIG/PrintConfigFilePath", info.m_PrintConfigFilePath});
    w.append({"PRINT_QRCODE_CONFIG/bAutoPrint", info.m_PrintQrCode.bAutoPrint});
    w.append({"PRINT_QRCODE_CONFIG/bCheckQRCode", info.m_PrintQrCode.bCheckQRCode});
    w.append({"LIGHT_MODE/iLightMode", info.m_LightMode.iLightMode});
    w.append({"LIGHT_MODE/bUseLightModeTest", info.m_LightMode.bUseLightModeTest});
    AddDisplayFlags(info.m_ManualItemDisplay, w);
    if (!Fits(w))
        return -1;
    m_info = info;
    const int status = Commit(w);
    return manualOk ? status : -1;
}
