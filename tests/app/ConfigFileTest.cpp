#include "AppGlobals.h"
#include "CConfigFile.h"
#include "Log.h"

#include "TempAppDir.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextCodec>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Every member of the record as "key=value" lines, in the store's key order.
QStringList Dump(const ConfigInfo& c)
{
    QStringList out;
    auto add = [&](const char* key, const QVariant& v) { out << QString(key) + "=" + v.toString(); };
    add("ServiceIp", c.m_LoginInfo.ServiceIp);
    add("LoginUserName", c.m_LoginInfo.LoginUserName);
    add("LoginPassword", c.m_LoginInfo.LoginPassword);
    add("bRemeberPassword", c.m_LoginInfo.bRemeberPassword);
    add("bAutoLogin", c.m_LoginInfo.bAutoLogin);
    add("bUseVersion", c.m_UIVerion.bUseVersion);
    add("szVersion", c.m_UIVerion.strVersion);
    add("iDurationTime", c.m_WifiNet.iDurationTime);
    add("iAveSpeed", c.m_WifiNet.iAveSpeed);
    const SystemConfig& s = c.m_SystemConfig;
    add("iLogSwitch", s.iLogSwitch);
    add("iSingleFixedIPTestMode", s.iSingleFixedIPTestMode);
    add("iTestMode", s.iTestMode);
    add("SSID", s.SSID);
    add("Password", s.Password);
    add("StreamJudgeTime", s.StreamJudgeTime);
    add("WifiSignal", s.WifiSignal);
    add("WifiQuality", s.WifiQuality);
    add("HardwareAccelMode", s.HardwareAccelMode);
    add("MultiThreadDecode", s.MultiThreadDecode);
    add("4GSignal", c.m_Config4G.Signal4G);
    add("4GQuality", c.m_Config4G.Quality4G);
    add("SoftVersion", c.m_Config4G.SoftVersion);
    add("osd.bAutoTest", c.m_FullOsd.bAutoTest);
    add("osd.bManualTest", c.m_FullOsd.bManualTest);
    add("osd.bVersionInfo", c.m_FullOsd.bVersionInfo);
    add("bRTC", c.m_AutoTest.bRTC);
    add("bPTZ", c.m_AutoTest.bPTZ);
    add("bWifiSignal", c.m_AutoTest.bWifiSignal);
    add("bFunctionCode", c.m_AutoTest.bFunctionCode);
    add("bTFCard", c.m_AutoTest.bTFCard);
    add("bVesionInfo", c.m_Tips.bVesionInfo);
    const ManualAutoTestConfig& m = c.m_ManualAutoTest;
    add("bAutoBeginRun", m.bAutoBeginRun);
    add("iNum", m.iNum);
    add("CurChoiseKey", m.CurChoiseKey);
    add("AllKeyName", m.AllKeyName);
    for (auto it = m.mapConfig.begin(); it != m.mapConfig.end(); ++it)
        add(qPrintable("script." + it.key()), it.value());
    add("bAutoPrint", c.m_PrintQrCode.bAutoPrint);
    add("bCheckQRCode", c.m_PrintQrCode.bCheckQRCode);
    add("bUseIpSection", c.m_IpSection.bUseIpSection);
    add("StartIp", c.m_IpSection.StartIp);
    add("EndIP", c.m_IpSection.EndIP);
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        add(qPrintable(QString("FUNCODE/%1").arg(i + 1)), c.m_FunCode[i]);
    add("bUseLightModeTest", c.m_LightMode.bUseLightModeTest);
    add("iLightMode", c.m_LightMode.iLightMode);
    add("PrintConfigFilePath", c.m_PrintConfigFilePath);
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        add(ManualItemDisplayFlags::KeyName(i), c.m_ManualItemDisplay.at(i));
    return out;
}

// A record in which every member differs from its default and from its neighbours.
ConfigInfo DistinctRecord()
{
    ConfigInfo c;
    c.m_LoginInfo = {"127.0.0.1", QString::fromUtf8("操作员"), "p@ss=;word", true, true};
    c.m_UIVerion = {true, "V2.3.4"};
    c.m_WifiNet = {30, 18};
    c.m_SystemConfig = {1, 2, 3, QString::fromUtf8("工厂WiFi"), "pw,with,commas", 7000, "-60", "55", 1, 1};
    c.m_Config4G = {"-90", "20", "EC25"};
    c.m_FullOsd = {true, false, true};
    c.m_AutoTest = {true, false, true, false, true};
    c.m_Tips.bVesionInfo = true;
    c.m_ManualAutoTest.bAutoBeginRun = true;
    c.m_ManualAutoTest.iNum = 2;
    c.m_ManualAutoTest.CurChoiseKey = "2";
    c.m_ManualAutoTest.AllKeyName = "1,2";
    c.m_ManualAutoTest.mapConfig.insert("2", QString::fromUtf8("夜视#A:3,B:2"));
    c.m_PrintQrCode = {true, true, {}};
    c.m_IpSection = {true, "127.0.0.10", "127.0.0.20"};
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        c.m_FunCode[i] = (i % 3 == 0) ? 1 : 0;
    c.m_LightMode = {true, 5};
    c.m_PrintConfigFilePath = "/labels/a.ini";
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        c.m_ManualItemDisplay.at(i) = (i % 2 == 1);
    return c;
}

TEST(ConfigFile, EveryKeySurvivesSaveAllAndAFreshLoad)
{
    TempAppDir dir;
    const ConfigInfo saved = DistinctRecord();
    {
        CConfigFile store(dir.configPath());
        ASSERT_EQ(store.SaveAll(saved), 0);
        ConfigInfo current;
        store.GetConfigInfo(current);
        EXPECT_EQ(Dump(current), Dump(saved));
    }
    CConfigFile fresh(dir.configPath());
    ConfigInfo loaded;
    fresh.GetConfigInfo(loaded);
    EXPECT_EQ(Dump(loaded), Dump(saved));
    EXPECT_EQ(CurrentPrintConfigPath, "/labels/a.ini");
}

TEST(ConfigFile, SaveAllWritesEveryGroupAndKeyByName)
{
    // Groups and keys sorted as Qt's INI writer sorts them; texts in GB2312.
    const QByteArray expected =
        "[4G_CONFIG]\n"
        "4GQuality=20\n"
        "4GSignal=-90\n"
        "SoftVersion=EC25\n"
        "\n"
        "[AUTO_TEST]\n"
        "bFunctionCode=false\n"
        "bPTZ=false\n"
        "bRTC=true\n"
        "bTFCard=true\n"
        "bWifiSignal=true\n"
        "\n"
        "[CONFIG]\n"
        "HardwareAccelMode=1\n"
        "MultiThreadDecode=1\n"
        "Password=\"pw,with,commas\"\n"
        "SSID=\xB9\xA4\xB3\xA7WiFi\n"
        "StreamJudgeTime=7000\n"
        "WifiQuality=55\n"
        "WifiSignal=-60\n"
        "iLogSwitch=1\n"
        "iSingleFixedIPTestMode=2\n"
        "iTestMode=3\n"
        "\n"
        "[FULL_OSD]\n"
        "bAutoTest=true\n"
        "bManualTest=false\n"
        "bVersionInfo=true\n"
        "\n"
        "[FUNCODE]\n"
        "1=1\n"
        "10=1\n"
        "11=0\n"
        "12=0\n"
        "13=1\n"
        "14=0\n"
        "15=0\n"
        "16=1\n"
        "17=0\n"
        "18=0\n"
        "19=1\n"
        "2=0\n"
        "20=0\n"
        "3=0\n"
        "4=1\n"
        "5=0\n"
        "6=0\n"
        "7=1\n"
        "8=0\n"
        "9=0\n"
        "\n"
        "[IP]\n"
        "EndIP=127.0.0.20\n"
        "StartIp=127.0.0.10\n"
        "bUseIpSection=true\n"
        "\n"
        "[LIGHT_MODE]\n"
        "bUseLightModeTest=true\n"
        "iLightMode=5\n"
        "\n"
        "[LOGIN_CNF_INFO]\n"
        "LoginPassword=\"p@ss=;word\"\n"
        "LoginUserName=\xB2\xD9\xD7\xF7\xD4\xB1\n"
        "ServiceIp=127.0.0.1\n"
        "bAutoLogin=true\n"
        "bRemeberPassword=true\n"
        "\n"
        "[MANUAL_AUTO_TEST]\n"
        "2=\"\xD2\xB9\xCA\xD3#A:3,B:2\"\n"
        "AllKeyName=\"1,2\"\n"
        "CurChoiseKey=2\n"
        "bAutoBeginRun=true\n"
        "iNum=2\n"
        "\n"
        "[MANUAL_TEST_ITEM_DISAPLAY]\n"
        "b4GTest=true\n"
        "bAperAdd=false\n"
        "bAperReduce=true\n"
        "bAudioAlarm=true\n"
        "bDay=false\n"
        "bDevQRCodeCheck=false\n"
        "bDown=true\n"
        "bFocusAdd=false\n"
        "bFocusReduce=true\n"
        "bFunctionCodeTest=true\n"
        "bHumanAlarmIO=true\n"
        "bLeft=false\n"
        "bMicTest=false\n"
        "bNight=true\n"
        "bOpenWhiteLight=false\n"
        "bPTZReset=false\n"
        "bPresetCall=true\n"
        "bRight=true\n"
        "bTrumpet=false\n"
        "bUp=false\n"
        "bWifiSignalTest=false\n"
        "bWifiTest=true\n"
        "bZoomAdd=false\n"
        "bZoomReduce=true\n"
        "\n"
        "[PRINT_QRCODE_CONFIG]\n"
        "PrintConfigFilePath=/labels/a.ini\n"
        "bAutoPrint=true\n"
        "bCheckQRCode=true\n"
        "\n"
        "[TIPS]\n"
        "bVesionInfo=true\n"
        "\n"
        "[UIVersion]\n"
        "bUseVersion=true\n"
        "szVersion=V2.3.4\n"
        "\n"
        "[WIFINet]\n"
        "iAveSpeed=18\n"
        "iDurationTime=30\n";
    TempAppDir dir;
    CConfigFile store(dir.configPath());
    ASSERT_EQ(store.SaveAll(DistinctRecord()), 0);
    EXPECT_EQ(dir.readFile("config.ini"), expected);
}

TEST(ConfigFile, ChineseTextIsStoredAsGb2312Bytes)
{
    TempAppDir dir;
    CConfigFile store(dir.configPath());
    SystemConfig c;
    c.SSID = QString::fromUtf8("测试");
    ASSERT_EQ(store.WriteConfig(c), 0);
    const QByteArray bytes = dir.readFile("config.ini");
    EXPECT_TRUE(bytes.contains(QByteArray("SSID=\xB2\xE2\xCA\xD4\n"))) << bytes.constData();
}

TEST(ConfigFile, MissingFileReadsAsEmptyZeroFalse)
{
    TempAppDir dir;
    CConfigFile store(dir.configPath());
    ConfigInfo info;
    store.GetConfigInfo(info);
    ConfigInfo expected;
    expected.m_SystemConfig.StreamJudgeTime = STREAM_JUDGE_TIME_MIN_MS;   // the one number raised on reading
    EXPECT_EQ(Dump(info), Dump(expected));
    ManualAutoTestConfig manual;
    EXPECT_EQ(store.ReadManualAutoTest(manual), -2);
}

TEST(ConfigFile, HandWrittenFileReadsOnlyWhatItHolds)
{
    TempAppDir dir("[CONFIG]\niLogSwitch=1\n[FUNCODE]\n7=1\n[MANUAL_AUTO_TEST]\nAllKeyName=1,2,3\n");
    CConfigFile store(dir.configPath());
    ConfigInfo info;
    store.GetConfigInfo(info);
    EXPECT_EQ(info.m_SystemConfig.iLogSwitch, 1);
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        EXPECT_EQ(info.m_FunCode[i], i == 6 ? 1 : 0) << i;
    // An unquoted list in the file is one text to the station.
    EXPECT_EQ(info.m_ManualAutoTest.AllKeyName, "1,2,3");

    ConfigInfo expected;
    expected.m_SystemConfig.iLogSwitch = 1;
    expected.m_SystemConfig.StreamJudgeTime = STREAM_JUDGE_TIME_MIN_MS;
    expected.m_FunCode[6] = 1;
    expected.m_ManualAutoTest.AllKeyName = "1,2,3";
    EXPECT_EQ(Dump(info), Dump(expected));
}

TEST(ConfigFile, AStreamJudgeTimeBelowTheFloorIsRaisedWhenRead)
{
    struct Case {
        const char* stored;   // null: no key
        int read;
        bool logged;
    } cases[] = {
        {nullptr, 2000, true}, {"0", 2000, true}, {"1", 2000, true}, {"-5", 2000, true},
        {"1999", 2000, true},  {"2000", 2000, false}, {"4500", 4500, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "no key");
        TempAppDir dir(c.stored ? QByteArray("[CONFIG]\nStreamJudgeTime=") + c.stored + "\n" : QByteArray());
        const QString logFile = dir.file("Log_Dir/config.log");
        const int level = LogLevel();
        LogInit(LOG_GENERAL, logFile);
        ConfigInfo loaded;
        SystemConfig read;
        {
            CConfigFile store(dir.configPath());
            store.GetConfigInfo(loaded);
            EXPECT_EQ(store.ReadConfig(read), 0);
        }
        LogInit(level, QStringLiteral(""));
        EXPECT_EQ(loaded.m_SystemConfig.StreamJudgeTime, c.read);
        EXPECT_EQ(read.StreamJudgeTime, c.read);
        QFile log(logFile);
        const QByteArray lines = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        EXPECT_EQ(lines.contains("CONFIG/StreamJudgeTime="), c.logged) << lines.constData();
    }
}

TEST(ConfigFile, TheAppDownloadHostIsReadButNeverWritten)
{
    const QByteArray ini = "[PRINT_QRCODE_CONFIG]\nbAutoPrint=true\nszAppDownloadHost= app.example.test:8080 \n";
    TempAppDir dir(ini);
    {
        CConfigFile store(dir.configPath());
        ConfigInfo info;
        store.GetConfigInfo(info);
        EXPECT_EQ(info.m_PrintQrCode.szAppDownloadHost, "app.example.test:8080");
        EXPECT_TRUE(info.m_PrintQrCode.bAutoPrint);
        info.m_PrintQrCode.szAppDownloadHost = "changed.example.test";
        ASSERT_EQ(store.SaveAll(info), 0);
    }
    // The hand-set line stays as it stood, blanks and all; every other key is written as before.
    const QByteArray file = dir.readFile("config.ini");
    EXPECT_TRUE(file.contains("\nszAppDownloadHost= app.example.test:8080 \n")) << file.toStdString();
    EXPECT_FALSE(file.contains("changed.example.test"));
    TempAppDir empty("[CONFIG]\niLogSwitch=1\n");
    CConfigFile store(empty.configPath());
    ASSERT_EQ(store.SaveAll(ConfigInfo()), 0);
    EXPECT_FALSE(empty.readFile("config.ini").contains("szAppDownloadHost")) << "no key is added";
}

TEST(ConfigFile, ScriptKeysWithAnEmptyPartAreSkipped)
{
    TempAppDir dir("[MANUAL_AUTO_TEST]\nAllKeyName=\"1,,2\"\n1=\"a#A:1\"\n2=\"b#B:2\"\n");
    CConfigFile store(dir.configPath());
    ManualAutoTestConfig manual;
    manual.mapConfig.insert("9", "kept");
    ASSERT_EQ(store.ReadManualAutoTest(manual), 0);
    EXPECT_EQ(manual.mapConfig.size(), 3);
    EXPECT_EQ(manual.mapConfig.value("1"), "a#A:1");
    EXPECT_EQ(manual.mapConfig.value("2"), "b#B:2");
    EXPECT_EQ(manual.mapConfig.value("9"), "kept");
}

TEST(ConfigFile, WritingAScriptTouchesOnlyItsEntryAndRemovingDropsIt)
{
    TempAppDir dir("[MANUAL_AUTO_TEST]\nAllKeyName=\"1,2\"\niNum=2\n1=\"one#A:1\"\n2=\"two#B:2\"\n");
    CConfigFile store(dir.configPath());
    ManualAutoTestConfig manual;
    store.ReadManualAutoTest(manual);
    manual.CurChoiseKey = "2";
    manual.mapConfig["1"] = "changed in memory only";
    manual.mapConfig["2"] = "two#C:5";
    ASSERT_EQ(store.WriteManualAutoTest(manual), 0);

    QSettings file(dir.configPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/1").toString(), "one#A:1");
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/2").toString(), "two#C:5");
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/CurChoiseKey").toString(), "2");

    manual.AllKeyName = "1";
    manual.iNum = 1;
    manual.CurChoiseKey = "1";
    manual.mapConfig.remove("2");
    ASSERT_EQ(store.RemoveManualAutoTestConfig("2", manual), 0);
    file.sync();
    EXPECT_FALSE(file.contains("MANUAL_AUTO_TEST/2"));
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/1").toString(), "changed in memory only");
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/iNum").toInt(), 1);
    EXPECT_EQ(file.value("MANUAL_AUTO_TEST/AllKeyName").toString(), "1");
}

TEST(ConfigFile, ScriptKeysThatWouldLeaveTheirEntryAreRefused)
{
    const char* ini = "[MANUAL_AUTO_TEST]\nAllKeyName=\"1,2\"\n1=\"one#A:1\"\n2=\"two#B:2\"\n";
    for (const char* key : {"", "   ", "/", "a/b", "a\\b", "1,2"}) {
        TempAppDir dir(ini);
        const QByteArray before = dir.readFile("config.ini");
        CConfigFile store(dir.configPath());
        ManualAutoTestConfig manual;
        store.ReadManualAutoTest(manual);
        EXPECT_EQ(store.RemoveManualAutoTestConfig(key, manual), -1) << key;
        if (*key) {
            manual.CurChoiseKey = key;
            EXPECT_EQ(store.WriteManualAutoTest(manual), -1) << key;
        }
        EXPECT_EQ(dir.readFile("config.ini"), before) << key;
    }
}

TEST(ConfigFile, WritersUpdateTheRecordButOtherWritersDoNot)
{
    TempAppDir dir;
    CConfigFile store(dir.configPath());
    int codes[FUNCODE_COUNT] = {};
    codes[0] = 1;
    codes[19] = 1;
    ASSERT_EQ(store.WriteFunctionCode(codes), 0);
    ManualItemDisplayFlags flags;
    flags.bPresetCall = true;
    ASSERT_EQ(store.WriteManualTestItemDisplay(flags), 0);

    QSettings other(dir.configPath(), QSettings::IniFormat);
    other.setValue("UIVersion/szVersion", "from the prompt");
    other.sync();

    ConfigInfo info;
    store.GetConfigInfo(info);
    EXPECT_EQ(info.m_FunCode[0], 1);
    EXPECT_EQ(info.m_FunCode[19], 1);
    EXPECT_TRUE(info.m_ManualItemDisplay.bPresetCall);
    EXPECT_TRUE(info.m_UIVerion.strVersion.isEmpty());

    int read[FUNCODE_COUNT];
    store.ReadFunctionCode(read);
    EXPECT_EQ(read[19], 1);
    ManualItemDisplayFlags readFlags;
    store.ReadManualTestItemDisplay(readFlags);
    EXPECT_TRUE(readFlags.bPresetCall);
    EXPECT_FALSE(readFlags.bTrumpet);
}

TEST(ConfigFile, DisplayFlagsUseTheirKeyNamesInOrder)
{
    TempAppDir dir("[MANUAL_TEST_ITEM_DISAPLAY]\nbTrumpet=true\nb4GTest=true\nbPresetCall=true\n");
    CConfigFile store(dir.configPath());
    ManualItemDisplayFlags flags;
    ASSERT_EQ(store.ReadManualTestItemDisplay(flags), 0);
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        EXPECT_EQ(flags.at(i), i == 0 || i == 11 || i == 23) << ManualItemDisplayFlags::KeyName(i);
}

TEST(ConfigFile, AFailedWriteIsReported)
{
    TempAppDir dir;
    // A folder where the file should be: the write cannot reach the disk.
    ASSERT_TRUE(QDir().mkpath(dir.configPath()));
    CConfigFile store(dir.configPath());
    int codes[FUNCODE_COUNT] = {1};
    EXPECT_EQ(store.WriteFunctionCode(codes), -1);
    EXPECT_EQ(store.SaveAll(DistinctRecord()), -1);
}

TEST(ConfigFile, EachWriteReportsItsOwnOutcome)
{
    TempAppDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.configPath()));
    CConfigFile store(dir.configPath());
    int codes[FUNCODE_COUNT] = {1};
    ASSERT_EQ(store.WriteFunctionCode(codes), -1);

    // Once the disk takes writes again, they report success and the file holds them.
    ASSERT_TRUE(QDir(dir.configPath()).removeRecursively());
    codes[1] = 1;
    EXPECT_EQ(store.WriteFunctionCode(codes), 0);
    SystemConfig c;
    c.SSID = "after";
    EXPECT_EQ(store.WriteConfig(c), 0);
    QSettings file(dir.configPath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("FUNCODE/2").toInt(), 1);
    EXPECT_EQ(file.value("CONFIG/SSID").toString(), "after");
}

TEST(ConfigFile, AHandWrittenLineThatIsNoSettingFailsNoWrite)
{
    for (const char* ini : {"# written by hand\n[CONFIG]\niLogSwitch=1\n", "[CONFIG]\niLogSwitch=1\nnot a setting\n",
                            "[CONFIG\niLogSwitch=1\n"}) {
        TempAppDir dir(ini);
        CConfigFile store(dir.configPath());
        SystemConfig c;
        store.ReadConfig(c);
        c.SSID = "first";
        EXPECT_EQ(store.WriteConfig(c), 0) << ini;
        c.SSID = "second";
        EXPECT_EQ(store.WriteConfig(c), 0) << ini;
        EXPECT_TRUE(dir.readFile("config.ini").contains("SSID=second\n")) << ini;
    }
}

TEST(ConfigFile, TextsGb2312CannotHoldAreRefusedWholeAndLogged)
{
    const QString umlaut = QString::fromUtf8("p\xC3\xA4ss");            // "päss"
    const QString emoji = QString::fromUtf8("home\xF0\x9F\x98\x80");     // a character outside the BMP
    struct Case {
        const char* key;   // what the log line names
        std::function<int(CConfigFile&)> write;
    } cases[] = {
        {"CONFIG/SSID", [&](CConfigFile& s) { SystemConfig c; c.SSID = emoji; return s.WriteConfig(c); }},
        {"CONFIG/Password", [&](CConfigFile& s) { SystemConfig c; c.Password = umlaut; return s.WriteConfig(c); }},
        {"LOGIN_CNF_INFO/LoginUserName",
         [&](CConfigFile& s) { LoginInfo l; l.LoginUserName = umlaut; return s.WriteLoginInfo(l); }},
        {"MANUAL_AUTO_TEST/1", [&](CConfigFile& s) {
             ManualAutoTestConfig m;
             m.AllKeyName = m.CurChoiseKey = "1";
             m.mapConfig.insert("1", emoji + "#A:1");
             return s.WriteManualAutoTest(m);
         }},
        {"MANUAL_AUTO_TEST/AllKeyName", [&](CConfigFile& s) {
             ManualAutoTestConfig m;
             m.AllKeyName = "1," + umlaut;
             return s.RemoveManualAutoTestConfig("1", m);
         }},
        {"4G_CONFIG/SoftVersion", [&](CConfigFile& s) {
             ConfigInfo c = DistinctRecord();
             c.m_Config4G.SoftVersion = umlaut;
             return s.SaveAll(c);
         }},
    };
    const QByteArray ini = "[CONFIG]\nSSID=old\n[MANUAL_AUTO_TEST]\n1=\"kept#A:1\"\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TempAppDir dir(ini);
        const QString logFile = dir.file("Log_Dir/config.log");
        const int level = LogLevel();
        LogInit(LOG_GENERAL, logFile);
        ConfigInfo before;
        int result = 0;
        {
            CConfigFile store(dir.configPath());
            store.GetConfigInfo(before);
            result = c.write(store);
            ConfigInfo after;
            store.GetConfigInfo(after);
            EXPECT_EQ(Dump(after), Dump(before));
        }
        LogInit(level, QStringLiteral(""));
        EXPECT_EQ(result, -1);
        // Not a "?" in place of the character, and nothing else of the write either.
        EXPECT_EQ(dir.readFile("config.ini"), ini);
        QFile log(logFile);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().contains(QByteArray("CConfigFile: ") + c.key + " not saved"));
    }
}

TEST(ConfigFile, ValuesBeginningWithAtReadAsWrittenAndSurviveASave)
{
    // Written by hand: QSettings would take each of these for one of its typed values.
    const QByteArray ini = "[CONFIG]\n"
                           "SSID=@home,5G\n"
                           "Password=@Rect(1 2 3 4)\n"
                           "WifiSignal=@Invalid()\n"
                           "WifiQuality=@ByteArray(55)\n"
                           "[4G_CONFIG]\n"
                           "4GSignal=@a, @@b ,c\n"
                           "SoftVersion=\"@Point(1 2)\"\n"
                           "[LOGIN_CNF_INFO]\n"
                           "LoginUserName=@op\n"
                           "LoginPassword=@@doubled\n"
                           "[UIVersion]\n"
                           "szVersion=@Size(1 2) ; a comment\n";
    const QStringList expected = {"SSID=@home,5G", "Password=@Rect(1 2 3 4)", "WifiSignal=@Invalid()",
                                  "WifiQuality=@ByteArray(55)", "4GSignal=@a,@b,c", "SoftVersion=@Point(1 2)",
                                  "LoginUserName=@op", "LoginPassword=@doubled", "szVersion=@Size(1 2)"};
    auto texts = [](const ConfigInfo& c) {
        return QStringList{"SSID=" + c.m_SystemConfig.SSID,
                           "Password=" + c.m_SystemConfig.Password,
                           "WifiSignal=" + c.m_SystemConfig.WifiSignal,
                           "WifiQuality=" + c.m_SystemConfig.WifiQuality,
                           "4GSignal=" + c.m_Config4G.Signal4G,
                           "SoftVersion=" + c.m_Config4G.SoftVersion,
                           "LoginUserName=" + c.m_LoginInfo.LoginUserName,
                           "LoginPassword=" + c.m_LoginInfo.LoginPassword,
                           "szVersion=" + c.m_UIVerion.strVersion};
    };
    TempAppDir dir(ini);
    ConfigInfo loaded;
    {
        CConfigFile store(dir.configPath());
        store.GetConfigInfo(loaded);
        EXPECT_EQ(texts(loaded), expected);
        ASSERT_EQ(store.SaveAll(loaded), 0);
    }
    EXPECT_TRUE(dir.readFile("config.ini").contains("SSID=\"@@home,5G\"\n"));
    CConfigFile fresh(dir.configPath());
    ConfigInfo again;
    fresh.GetConfigInfo(again);
    EXPECT_EQ(texts(again), expected);
    EXPECT_EQ(Dump(again), Dump(loaded));
}

TEST(ConfigFile, AValueQtWouldDecodeAsAHugeListLoadsAsItsText)
{
    // Read by QSettings alone, the list count 0x10000000 makes it allocate
    // gigabytes and end the program with std::bad_alloc, whichever key is read.
    const QByteArray ini = "[CONFIG]\r\nSSID=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\r\nPassword=kept\r\n";
    TempAppDir dir(ini);
    CConfigFile store(dir.configPath());
    ASSERT_TRUE(store.IsOpen());
    ConfigInfo loaded;
    store.GetConfigInfo(loaded);
    EXPECT_EQ(loaded.m_SystemConfig.SSID, QString::fromLatin1("@Variant(\0\0\0\t\x10\0\0\0)", 18));
    EXPECT_EQ(loaded.m_SystemConfig.Password, "kept");
    EXPECT_EQ(dir.readFile("config.ini"), ini) << "reading changes nothing in the file";
}

// Qt looks a key up only in the section whose name sorts last before it: a
// header "[G/]" sorts between "[G]" and G's keys and hides them from a lookup.
TEST(ConfigFile, KeysBesideASectionWithATrailingSlashReadAsTheFileHoldsThem)
{
    const QByteArray ini = "[4G_CONFIG]\nSoftVersion=V2\n4GSignal=-90\n[4G_CONFIG/]\nnote=1\n"
                           "[CONFIG]\niLogSwitch=1\nSSID=line\n[CONFIG/]\nnote=1\n"
                           "[FULL_OSD]\nbAutoTest=true\n[FULL_OSD/]\nnote=1\n";
    TempAppDir dir(ini);
    {
        CConfigFile store(dir.configPath());
        ConfigInfo info;
        store.GetConfigInfo(info);
        EXPECT_EQ(info.m_Config4G.SoftVersion, "V2");
        EXPECT_EQ(info.m_Config4G.Signal4G, "-90");
        EXPECT_EQ(info.m_SystemConfig.iLogSwitch, 1);
        EXPECT_EQ(info.m_SystemConfig.SSID, "line");
        EXPECT_TRUE(info.m_FullOsd.bAutoTest);
        ASSERT_EQ(store.SaveAll(info), 0);
    }
    const QByteArray file = dir.readFile("config.ini");
    EXPECT_TRUE(file.contains("SoftVersion=V2\n")) << file.constData();
    EXPECT_TRUE(file.contains("iLogSwitch=1\n")) << file.constData();
}

// What a save does not write stays in the file byte for byte, also a value
// that Qt would write back in another form ("a?" for an invalid GB2312 byte).
TEST(ConfigFile, ASaveLeavesTheKeysItDoesNotWriteAsTheyStood)
{
    const QByteArray script("1=a\xA0\0\n", 6);
    const QByteArray ini = "[MANUAL_AUTO_TEST]\nAllKeyName=1\n" + script + "[CONFIG]\nSSID=old\n";
    struct Case {
        const char* name;
        const char* written;   // what the write puts in the file
        std::function<int(CConfigFile&)> write;
    } cases[] = {
        {"settings group", "SSID=new\n",
         [](CConfigFile& s) { SystemConfig c; c.SSID = "new"; return s.WriteConfig(c); }},
        {"function codes", "[FUNCODE]\n1=1\n",
         [](CConfigFile& s) { int codes[FUNCODE_COUNT] = {1}; return s.WriteFunctionCode(codes); }},
        {"save-all without a chosen script", "SSID=new\n", [](CConfigFile& s) {
             ConfigInfo c;
             s.GetConfigInfo(c);
             c.m_SystemConfig.SSID = "new";
             return s.SaveAll(c);
         }},
        {"another script", "2=b#Q:1\n", [](CConfigFile& s) {
             ManualAutoTestConfig m;
             s.ReadManualAutoTest(m);
             m.AllKeyName = "1,2";
             m.CurChoiseKey = "2";
             m.mapConfig.insert("2", "b#Q:1");
             return s.WriteManualAutoTest(m);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempAppDir dir(ini);
        CConfigFile store(dir.configPath());
        ASSERT_EQ(c.write(store), 0);
        const QByteArray file = dir.readFile("config.ini");
        EXPECT_TRUE(file.contains("\n" + script)) << file.toPercentEncoding().constData();
        EXPECT_TRUE(file.contains(c.written)) << file.toPercentEncoding().constData();
        // A second save keeps it as well.
        ASSERT_EQ(c.write(store), 0);
        EXPECT_TRUE(dir.readFile("config.ini").contains("\n" + script));
    }
}

// A hand-edited line followed by the scripts and the function codes, as an
// operator may leave the file. Each save (the settings form's Wi-Fi save, the
// login dialog's, a save of the whole store) keeps every section and key of it:
// nothing is dropped, nothing is folded into a value.
TEST(ConfigFile, ASaveKeepsEverySectionAndKeyOfAHandEditedFile)
{
    const struct {
        const char* name;
        QByteArray lines;        // in [CONFIG], before the scripts and function codes
        const char* password;    // CONFIG/Password as read
        QByteArrayList kept;     // lines that stand as they were after every save
        int openQuoteLine;       // the line the log names, or 0
    } files[] = {
        {"a stray quote", "Password=ab\"cd\n", "ab\"cd", {}, 3},
        {"a stray quote at the start of a value", "Password=\"ab;cd\n", "\"ab", {}, 3},
        {"foreign @Variant values",
         "Extra=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\nFloat=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)\n",
         "",
         {"Extra=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)", "Float=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)"},
         0},
        {"keys written twice", "WifiSignal=-70\nNote=a\nWifiSignal=-60\nNote=b\n", "",
         {"WifiSignal=-70", "WifiSignal=-60", "Note=a", "Note=b"}, 0},
    };
    const QByteArray after = "[MANUAL_AUTO_TEST]\nAllKeyName=1\nCurChoiseKey=1\n1=\"one#A:1,B:2\"\n[FUNCODE]\n3=1\n";
    const QByteArrayList sections = {"[MANUAL_AUTO_TEST]", "1=\"one#A:1,B:2\"", "[FUNCODE]", "3=1"};
    const struct {
        const char* name;
        std::function<int(CConfigFile&, ConfigInfo&)> save;   // changes the record as the save does
    } saves[] = {
        {"Wi-Fi save",
         [](CConfigFile& s, ConfigInfo& c) {
             c.m_SystemConfig.SSID = "new";
             return s.WriteConfig(c.m_SystemConfig);
         }},
        {"login",
         [](CConfigFile& s, ConfigInfo& c) {
             c.m_LoginInfo.LoginUserName = "op";
             return s.WriteLoginInfo(c.m_LoginInfo);
         }},
        {"save-all",
         [](CConfigFile& s, ConfigInfo& c) {
             c.m_SystemConfig.SSID = "new";
             return s.SaveAll(c);
         }},
    };
    for (const auto& f : files) {
        for (const auto& save : saves) {
            SCOPED_TRACE(std::string(f.name) + ", " + save.name);
            const QByteArray ini = "[CONFIG]\nSSID=net\n" + f.lines + after;
            TempAppDir dir(ini);
            const QString logFile = dir.file("Log_Dir/config.log");
            const int level = LogLevel();
            LogInit(LOG_GENERAL, logFile);
            ConfigInfo record;
            {
                CConfigFile store(dir.configPath());
                store.GetConfigInfo(record);
                EXPECT_EQ(record.m_SystemConfig.Password, QString::fromUtf8(f.password));
                EXPECT_EQ(record.m_ManualAutoTest.mapConfig.value("1"), "one#A:1,B:2");
                EXPECT_EQ(record.m_FunCode[2], 1);
                EXPECT_EQ(save.save(store, record), 0);
            }
            LogInit(level, QStringLiteral(""));
            const QByteArray file = dir.readFile("config.ini");
            for (const QByteArray& line : f.kept + sections)
                EXPECT_TRUE(file.contains("\n" + line + "\n")) << line.constData() << "\n" << file.constData();
            ConfigInfo again;
            CConfigFile(dir.configPath()).GetConfigInfo(again);
            EXPECT_EQ(Dump(again), Dump(record));

            QFile log(logFile);
            const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
            const QByteArray named = "config.ini line " + QByteArray::number(f.openQuoteLine) + ": a quote";
            EXPECT_EQ(logged.contains(named), f.openQuoteLine > 0) << logged.constData();
        }
    }
}

// The station makes its store before it starts the log.
TEST(ConfigFile, AnOpenQuoteFoundBeforeTheLogStartsIsLoggedAtTheNextRead)
{
    TempAppDir dir("[CONFIG]\nPassword=ab\"cd\n");
    const QString logFile = dir.file("Log_Dir/config.log");
    const int level = LogLevel();
    LogInit(LOG_GENERAL, QStringLiteral(""));
    CConfigFile store(dir.configPath());
    LogInit(LOG_GENERAL, logFile);
    SystemConfig config;
    store.ReadConfig(config);
    store.ReadConfig(config);
    LogInit(level, QStringLiteral(""));
    EXPECT_EQ(config.Password, "ab\"cd");
    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("config.ini line 2: a quote"), 1);
}

TEST(ConfigFile, TheProcessStoreIsOneInstance)
{
    TempAppDir dir;
    CConfigFile* first = CConfigFile::GetInstance();
    EXPECT_EQ(first, CConfigFile::GetInstance());
    EXPECT_TRUE(first->IsOpen());
}

}  // namespace
