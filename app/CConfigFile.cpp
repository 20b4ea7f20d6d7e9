#include "CConfigFile.h"

#include "AppGlobals.h"
#include "IniText.h"
#include "Log.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QVariant>
#include <QVector>

#include <algorithm>
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
    // A file that could crash QSettings stays closed: every read and write then fails.
    if (IniText::EscapeBinaryValues(m_iniPath, QTextCodec::codecForName("GB2312")))
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

QString CConfigFile::ReadText(const QString& key) const { return IniText::Read(*m_settings, key); }

int CConfigFile::ReadInt(const QString& key) const { return IniText::Value(*m_settings, key).toInt(); }

bool CConfigFile::ReadBool(const QString& key) const { return IniText::Value(*m_settings, key).toBool(); }

int CConfigFile::Commit(const SettingWrites& writes)
{
    QFile file(m_iniPath);
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    if (Sync() != 0)
        return -1;
    return before.isEmpty() ? 0 : KeepUnwritten(before, writes);
}

int CConfigFile::KeepUnwritten(const QByteArray& before, const SettingWrites& writes)
{
    QFile file(m_iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray after = file.readAll();
    file.close();
    QSet<QString> keys;
    for (const auto& w : writes)
        keys.insert(w.first);
    const QByteArray kept = IniText::KeepUnwritten(before, after, keys, m_settings->iniCodec());
    if (kept == after)
        return 0;
    QSaveFile out(m_iniPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit()) {
        LogPrint(LOG_GENERAL, "config.ini: values this save did not write could not be put back as they stood");
        return -1;
    }
    OpenSettings();   // reads what is on disk now
    return 0;
}

int CConfigFile::Sync()
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

bool CConfigFile::Fits(const SettingWrites& writes) const
{
    // A write with a character GB2312 has no bytes for is refused whole, before any of it is made.
    const QTextCodec* codec = m_settings->iniCodec();
    bool fits = true;
    for (const auto& w : writes) {
        if (w.second.type() == QVariant::String && !IniText::CanStore(w.second.toString(), codec)) {
            LogPrint(LOG_GENERAL, "CConfigFile: %s not saved, it holds characters config.ini (GB2312) can't store",
                     qPrintable(w.first));
            fits = false;
        }
    }
    return fits;
}

bool CConfigFile::Put(const SettingWrites& writes)
{
    if (!Fits(writes))
        return false;
    for (const auto& w : writes)
        m_settings->setValue(w.first, w.second);
    return true;
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
    SettingWrites w;
    AddLogin(info, w);
    if (!Put(w))
        return -1;
    m_info.m_LoginInfo = info;
    return Commit(w);
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
    if (c.StreamJudgeTime < STREAM_JUDGE_TIME_MIN_MS) {
        LogPrint(LOG_GENERAL, "CConfigFile::ReadConfig() CONFIG/StreamJudgeTime=%d would cut healthy streams, %d is used",
                 c.StreamJudgeTime, STREAM_JUDGE_TIME_MIN_MS);
        c.StreamJudgeTime = STREAM_JUDGE_TIME_MIN_MS;
    }
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
    SettingWrites w;
    AddConfig(c, w);
    if (!Put(w))
        return -1;
    m_info.m_SystemConfig = c;
    return Commit(w);
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

int CConfigFile::WriteManualAutoTest(ManualAutoTestConfig config)
{
    if (!IsOpen())
        return -1;
    if (!config.CurChoiseKey.isEmpty() && !IsValidScriptKey(config.CurChoiseKey))
        return -1;
    SettingWrites w;
    AddManualGroup(config, w);
    if (!Put(w))
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
    m_settings->remove(kManualGroup + key);
    Put(w);
    m_info.m_ManualAutoTest = config;
    return Commit(w);
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
    SettingWrites w;
    AddDisplayFlags(flags, w);
    Put(w);
    m_info.m_ManualItemDisplay = flags;
    return Commit(w);
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
    SettingWrites w;
    AddFunctionCodes(codes, w);
    Put(w);
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
    if (!Put(w))
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
    info.m_PrintQrCode.szAppDownloadHost = ReadText("PRINT_QRCODE_CONFIG/szAppDownloadHost").trimmed();
    info.m_LightMode.iLightMode = ReadInt("LIGHT_MODE/iLightMode");
    info.m_LightMode.bUseLightModeTest = ReadBool("LIGHT_MODE/bUseLightModeTest");
    ReadManualTestItemDisplay(info.m_ManualItemDisplay);
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
    if (!Put(w))
        return -1;
    m_info = info;
    const int status = Commit(w);
    return manualOk ? status : -1;
}
