// Device replies and status events as the controller takes them: what each
// parser stores and which step it answers, the texts it drops, and the start
// of the automatic chain.
#include "ControllerFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "AuxResponseInfo.h"
#include "DevCommand.h"
#include "FuncLib.h"
#include "HttpClient.h"
#include "LeftBottomWidget.h"
#include "ReplyDocument.h"
#include "ReplyFields.h"
#include "SdkCallLog.h"

#include <QLineEdit>
#include <QUrl>

#include <cstddef>
#include <cstring>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

constexpr int64_t kCurrent = 51;
constexpr int64_t kOther = 52;

class RepliesTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        Make();
        DevInfo dev = MakeDevice("VT21A00000000001", "127.0.0.21", kCurrent, 1);
        dev.iFormatResult = -1;
        dev.iRetCode = 300;
        widget->Lists().SetCurrentDevice(dev);
        SdkCallLog::Instance().Clear();
    }

    // Hands the controller a reply as the main window would, then frees it.
    void Reply(int64_t login, int code, const QByteArray& text, int status = 0)
    {
        auto* info = new AuxResponseInfo;
        info->lLoginID = login;
        info->lStateCode = FcMakeStateCode(code, status);
        info->pResponse = new char[text.size() + 1];
        std::memcpy(info->pResponse, text.constData(), size_t(text.size()) + 1);
        widget->onAuxResponse(info);
        FreeAuxResponseInfo(info);
    }

    void Status(int64_t handle, int type, const char* text = nullptr)
    {
        auto* info = new AuxResponseInfo;
        info->lLoginID = handle;
        info->lStateCode = type;
        if (text) {
            info->pResponse = new char[std::strlen(text) + 1];
            std::strcpy(info->pResponse, text);
        }
        widget->onStatusEvent(info);
        FreeAuxResponseInfo(info);
    }

    DevInfo Current() const { return widget->Lists().CurrentDevice(); }
    int Flag(AutoStep step) const { return Peer(*widget).m_AutoSteps[step].iReplyFlag.load(); }
    void ClearFlags()
    {
        for (AutoStepSlot& slot : Peer(*widget).m_AutoSteps)
            slot.iReplyFlag = 0;
    }
};

// The record's bytes the parsers may write (all but the callback fields).
bool SameRecord(const DevInfo& a, const DevInfo& b)
{
    return std::memcmp(&a, &b, offsetof(DevInfo, lFrameCount)) == 0;
}

QStringList SdkCallsOf(const char* function)
{
    QStringList args;
    for (const SdkCall& call : SdkCallLog::Instance().CallsOf(QString::fromLatin1(function)))
        args << call.arguments;
    return args;
}

QByteArray Xml(const char* element, const QByteArray& attributes)
{
    return "<" + QByteArray(element) + "\r\n" + attributes + "\r\n/>";
}

// One parser: a reply that it takes, what that stores, and a reply missing an
// attribute the parser needs.
struct ParserCase {
    const char* name;
    int code;
    AutoStep step;
    const char* element;
    QByteArray attributes;
    std::function<void(LeftTopWidget&, const DevInfo&)> stored;
    QByteArray missing;          // attributes of the reply that lacks one
    bool missingAnswers;         // that reply still ends the step
};

TEST_F(RepliesTest, EachParserStoresAWellFormedReplyAndDropsWhatIsNot)
{
    const WallTime now = Clock::Now();
    const QByteArray deviceTime = QString::asprintf("%04d%02d%02d %02d:%02d:%02d", now.year, now.month, now.day,
                                                     now.hour, now.minute, now.second).toLatin1();
    const ParserCase cases[] = {
        {"version", CMD_GET_SYS_VERSION, STEP_VERSION, "RESPONSE_PARAM",
         "KernelVersion=\"3.10\" FileSystemVersion=\"V5.2.0\" FileSystemIdentify=\"IPC_M300_X\" "
         "DeviceIdentify=\"DI-1\" HardVersion=\"\"",
         [](LeftTopWidget&, const DevInfo& d) {
             EXPECT_STREQ(d.szFirmwareVersion, "V5.2.0");
             EXPECT_STREQ(d.szFileSystemIdentify, "IPC_M300_X");
             EXPECT_STREQ(d.szDeviceIdentify, "DI-1");
             EXPECT_STREQ(d.szModel, "M300") << "derived from the identify text";
         },
         "FileSystemVersion=\"V5.2.0\"", true},
        {"serial number", CMD_GET_IPC_SERIALNUMBER, STEP_SN, "RESPONSE_PARAM",
         "SerialNumber=\"" + QByteArray(40, 'S') + "\"",
         [](LeftTopWidget&, const DevInfo& d) {
             EXPECT_EQ(QByteArray(d.TestRuslut.dev_sn), QByteArray(31, 'S')) << "31 characters and the NUL";
         },
         "Other=\"1\"", true},
        {"TF card", CMD_GET_TF_CARD_INFO, STEP_TF_CARD, "RESPONSE_PARAM",
         "SDCardState=\"0\" CardInfo=\"32\" SDCardRemainSpace=\"-3\"",
         [](LeftTopWidget&, const DevInfo& d) {
             EXPECT_EQ(d.TestRuslut.tf_card_result, 1);
             EXPECT_EQ(d.TestRuslut.card_info, 32);
             EXPECT_EQ(d.TestRuslut.card_remain_space, 0);
         },
         "SDCardState=\"2\"", true},
        {"format", CMD_FORMAT_SD_CARD, STEP_FORMAT, "RESPONSE_PARAM", "Result=\"0\"",
         [](LeftTopWidget&, const DevInfo& d) { EXPECT_EQ(d.iFormatResult, 0); }, "Other=\"0\"", true},
        {"clock", CMD_GET_RTC, STEP_RTC, "REQUEST_PARAM", "Time=\"" + deviceTime + "\"",
         [](LeftTopWidget&, const DevInfo& d) { EXPECT_EQ(d.TestRuslut.rtc_result, 1); }, "Other=\"1\"", true},
        {"Wi-Fi signal", CMD_GET_WIFI_SIGNAL, STEP_WIFI_SIGNAL, "RESPONSE_PARAM",
         "SignalLevel=\"-45\" Quality=\"" + QByteArray(100, '8') + "\"",
         [](LeftTopWidget&, const DevInfo& d) {
             EXPECT_STREQ(d.szSignalLevel, "-45");
             EXPECT_STREQ(d.TestRuslut.wifi_signal_level, "-45");
             EXPECT_EQ(QByteArray(d.szQuality), QByteArray(100, '8'));
             EXPECT_EQ(QByteArray(d.TestRuslut.wifi_snr), QByteArray(63, '8'));
         },
         "SignalLevel=\"-45\"", true},
        {"4G", CMD_GET_4G_INFO, STEP_4G, "RESPONSE_PARAM",
         "IMEI=\"860000000000001\" SoftVersion=\"EC200A\" SubVersion=\"01\" ICCID=\"89860312345678901234\" "
         "SignalStrength=\"25\" Operator=\"CMCC\" ConnectInternet=\"1\" ICCID2=\"" + QByteArray(40, '9') + "\"",
         [](LeftTopWidget& w, const DevInfo& d) {
             EXPECT_EQ(Peer(w).m_Dev4GInfo.SoftVersion, "EC200A_01");
             EXPECT_EQ(Peer(w).m_Dev4GInfo.SignalStrength, 25);
             EXPECT_EQ(Peer(w).m_Dev4GInfo.Operator, "CMCC");
             EXPECT_EQ(Peer(w).m_Dev4GInfo.RSRQ, 0) << "absent reads as 0";
             EXPECT_STREQ(d.TestRuslut.iccid, "89860312345678901234");
             EXPECT_EQ(QByteArray(d.TestRuslut.iccid2), QByteArray(31, '9'));
         },
         "", true},
        {"function code", CMD_FUNCTION_CODE_CHECK, STEP_FUNCTION_CODE, "RESPONSE_PARAM",
         "FuncCode=\"1,2\" RetCode=\"0\" SupportFuncCode=\"1,2,3\"",
         [](LeftTopWidget&, const DevInfo& d) {
             EXPECT_STREQ(d.szFuncCode, "1,2");
             EXPECT_STREQ(d.szSupportFuncCode, "1,2,3");
             EXPECT_EQ(d.iRetCode, 0);
         },
         "FuncCode=\"1,2\"", true},
        {"authorization", CMD_GET_AUTHORIZE_CODE_INFO, STEP_AUTHORIZE, "RESPONSE_PARAM",
         "AutorizationStatus=\"1\" UUID=\"uuid-1\" Key=\"key-1\"",
         [](LeftTopWidget& w, const DevInfo&) {
             EXPECT_EQ(Peer(w).m_iAuthorizeReplyStatus, 1);
             EXPECT_EQ(Peer(w).m_iAuthorizationStatus, 1);
             EXPECT_EQ(Peer(w).m_strAuthorizeUUID, "uuid-1");
             EXPECT_EQ(Peer(w).m_strAuthorizeKey, "key-1");
         },
         "", true},
        {"lamp board", CMD_HARDWARE_CONFIG_GET, STEP_LIGHT_MODE, "RESPONSE_PARAM", "LightMode=\"4\"",
         [](LeftTopWidget& w, const DevInfo& d) {
             EXPECT_EQ(d.iLightMode, 6);
             EXPECT_EQ(Peer(w).m_strLightModeName, "PWM (BWM) infrared + PWM (BWM) warm light board");
         },
         "Other=\"4\"", true},
    };
    for (const ParserCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DevInfo before = Current();
        const Dev4GInfo fourGBefore = Peer(*widget).m_Dev4GInfo;
        const QString uuidBefore = Peer(*widget).m_strAuthorizeUUID;
        auto unchanged = [&](const char* what) {
            SCOPED_TRACE(what);
            EXPECT_TRUE(SameRecord(Current(), before));
            EXPECT_EQ(Peer(*widget).m_Dev4GInfo.ICCID, fourGBefore.ICCID);
            EXPECT_EQ(Peer(*widget).m_strAuthorizeUUID, uuidBefore);
        };
        ClearFlags();

        Reply(kOther, c.code, Xml(c.element, c.attributes));
        unchanged("another device");
        EXPECT_EQ(Flag(c.step), 0);
        Reply(kCurrent, c.code, "not xml <" + c.attributes);
        unchanged("not XML");
        EXPECT_EQ(Flag(c.step), 0);
        if (c.code != CMD_HARDWARE_CONFIG_GET) {
            Reply(kCurrent, c.code, Xml("OTHER_PARAM", c.attributes));
            unchanged("another element");
            EXPECT_EQ(Flag(c.step), 0);
        }
        if (!c.missing.isEmpty() || c.code == CMD_GET_4G_INFO) {
            Reply(kCurrent, c.code, Xml(c.element, c.missing));
            EXPECT_EQ(Flag(c.step), c.missingAnswers ? 1 : 0) << "a reply missing an attribute";
            ClearFlags();
        }
        const DevInfo afterMissing = Current();
        Reply(kCurrent, c.code, Xml(c.element, c.attributes));
        EXPECT_EQ(Flag(c.step), 1);
        c.stored(*widget, Current());
        if (c.code == CMD_GET_TF_CARD_INFO) {
            EXPECT_EQ(afterMissing.TestRuslut.tf_card_result, -1) << "a non-zero SDCardState fails the card";
        }
        if (c.code == CMD_GET_IPC_SERIALNUMBER || c.code == CMD_GET_SYS_VERSION) {
            EXPECT_TRUE(SameRecord(afterMissing, before)) << "the missing attribute stores nothing";
        }
    }
}

TEST_F(RepliesTest, AGarbageTfReplyLeavesNoPassForTheJudge)
{
    Reply(kCurrent, CMD_GET_TF_CARD_INFO, "<RESPONSE_PARAM SDCardState=\"0\"");
    EXPECT_EQ(Current().TestRuslut.tf_card_result, 0) << "a truncated element is not a reply";
    Reply(kCurrent, CMD_GET_TF_CARD_INFO, "<OTHER SDCardState=\"0\"/>");
    EXPECT_EQ(Current().TestRuslut.tf_card_result, 0);
    EXPECT_EQ(Flag(STEP_TF_CARD), 0);
}

TEST_F(RepliesTest, TheInformationPanelShowsVersionCardAndSerialNumber)
{
    LeftBottomWidget panel(&host);
    host.infoPanel = &panel;
    Reply(kCurrent, CMD_GET_SYS_VERSION,
          Xml("RESPONSE_PARAM", "KernelVersion=\"1\" FileSystemVersion=\"V5.2.0\" HardVersion=\"HW-9\""));
    Reply(kCurrent, CMD_GET_TF_CARD_INFO, Xml("RESPONSE_PARAM", "SDCardState=\"0\" CardInfo=\"0\""));
    EXPECT_EQ(panel.findChild<QLineEdit*>("m_SDInfolineEdit")->text(), QString()) << "no card, no text";
    Reply(kCurrent, CMD_GET_TF_CARD_INFO, Xml("RESPONSE_PARAM", "SDCardState=\"0\" CardInfo=\"64\""));
    Reply(kCurrent, CMD_GET_IPC_SERIALNUMBER, Xml("RESPONSE_PARAM", "SerialNumber=\"VT21A00000000009\""));
    EXPECT_EQ(panel.findChild<QLineEdit*>("m_VerInfolineEdit")->text(), "V5.2.0");
    EXPECT_EQ(panel.findChild<QLineEdit*>("m_SDInfolineEdit")->text(), "64GB");
    EXPECT_EQ(panel.findChild<QLineEdit*>("m_SNlineEdit")->text(), "VT21A00000000009");
    EXPECT_STREQ(Current().szModel, "HW-9");
    host.infoPanel = nullptr;
}

TEST_F(RepliesTest, DeviceTypesAreKeptPerLoginAndTheFirstReplyCounts)
{
    Reply(kOther, CMD_GET_DEV_TYPE, Xml("RESPONSE_PARAM", "IPC_Type=\"IPC\" DevMType=\"100\" DevType=\"4\""));
    DevTypeInfo other;
    ASSERT_TRUE(widget->Lists().LookupDevType(kOther, &other)) << "any device's type is kept";
    EXPECT_EQ(other.eType, 0) << "main type 100 with type 4 reads as 0";
    EXPECT_FALSE(other.bFieldsMissing);
    EXPECT_EQ(Flag(STEP_DEV_TYPE), 0) << "not the current device";

    Reply(kCurrent, CMD_GET_DEV_TYPE,
          Xml("RESPONSE_PARAM", "IPC_Type=\"IPC\" DevMType=\"101\" SDKType=\"1\" Feature=\"4294967297\""));
    DevTypeInfo mine;
    ASSERT_TRUE(widget->Lists().LookupDevType(kCurrent, &mine));
    EXPECT_EQ(mine.eTypeDevMainType, 101);
    EXPECT_EQ(mine.iSDKType, 1);
    EXPECT_EQ(mine.Feature, int64_t(4294967297));
    EXPECT_TRUE(mine.bFieldsMissing) << "DevType is absent";
    EXPECT_TRUE(mine.strResponse.contains("DevMType"));
    EXPECT_EQ(Flag(STEP_DEV_TYPE), 1);
    EXPECT_EQ(widget->Lists().CurrentDevType().eTypeDevMainType, 100) << "with Auto Play the chain copies it";

    Reply(kCurrent, CMD_GET_DEV_TYPE, Xml("RESPONSE_PARAM", "IPC_Type=\"NVR\" DevMType=\"7\" DevType=\"7\""));
    ASSERT_TRUE(widget->Lists().LookupDevType(kCurrent, &mine));
    EXPECT_EQ(mine.eTypeDevMainType, 101) << "a second reply changes nothing";

    // Without Auto Play the reply is the current device's type at once.
    Peer(*widget).m_bAutoPlay = false;
    Status(kCurrent, EVENT_CONNECTFAILED);
    EXPECT_FALSE(widget->Lists().LookupDevType(kCurrent, nullptr)) << "a lost link forgets the type";
    Reply(kCurrent, CMD_GET_DEV_TYPE, Xml("RESPONSE_PARAM", "IPC_Type=\"IPC\" DevMType=\"101\" DevType=\"5\""));
    EXPECT_EQ(widget->Lists().CurrentDevType().eType, 5);
}

TEST_F(RepliesTest, StatusBytesDecideTheCustomisationAndFactoryResults)
{
    Reply(kCurrent, CMD_SET_CUSTOM_MAC, "", 1);
    Reply(kCurrent, CMD_SET_COUNTRY_CITY, "", -1);
    Reply(kCurrent, CMD_SET_CUSTOM_MAC, "", 1);
    DevInfo d = Current();
    EXPECT_EQ(d.TestRuslut.custom_mac_result, -1);
    EXPECT_EQ(d.TestRuslut.custom_country_result, -1);
    EXPECT_STREQ(d.TestRuslut.customized_items_result, "3,4") << "a failure already listed is not repeated";
    EXPECT_EQ(Flag(STEP_CUSTOM_MAC), 1);
    EXPECT_EQ(Flag(STEP_COUNTRY_CITY), 1);

    Reply(kCurrent, CMD_SET_CUSTOM_MAC, "");
    Reply(kOther, CMD_SET_COUNTRY_CITY, "");
    d = Current();
    EXPECT_EQ(d.TestRuslut.custom_mac_result, 1);
    EXPECT_EQ(d.TestRuslut.custom_country_result, -1) << "another device's reply";

    Reply(kCurrent, CMD_GET_FACTORY_TEST_STATE, "", 0);
    EXPECT_EQ(Current().TestRuslut.factory_test_code, 1);
    Reply(kCurrent, CMD_GET_FACTORY_TEST_STATE, "", 5);
    EXPECT_EQ(Current().TestRuslut.factory_test_code, 5);
    EXPECT_EQ(Flag(STEP_FACTORY_STATE), 1);

    // 4G "not ready": ask again, store nothing.
    Reply(kCurrent, CMD_GET_4G_INFO, Xml("RESPONSE_PARAM", "ICCID=\"89860312345678901234\""), 1);
    EXPECT_EQ(Flag(STEP_4G), 2);
    EXPECT_TRUE(Peer(*widget).m_Dev4GInfo.ICCID.isEmpty());
    Peer(*widget).m_AutoSteps[STEP_4G].iReplyFlag = 0;
    Reply(kOther, CMD_GET_4G_INFO, "", 1);
    EXPECT_EQ(Flag(STEP_4G), 0) << "another device's status";
}

TEST_F(RepliesTest, CapabilitiesComeOnlyFromTheCurrentDevice)
{
    Reply(kOther, CMD_GET_CAPABILITY, Xml("RESPONSE_PARAM", "SupportSensorSwitch=\"1\" HWCFG_INFO_IOT=\"1\""));
    EXPECT_FALSE(Peer(*widget).m_bSupportSensorSwitch);
    EXPECT_EQ(Flag(STEP_CAPABILITY), 0);
    Reply(kCurrent, CMD_GET_CAPABILITY, "SupportSensorSwitch;HWCFG_INFO_IOT");
    EXPECT_TRUE(Peer(*widget).m_bSupportSensorSwitch);
    EXPECT_TRUE(Peer(*widget).m_bHwCfgInfoIot);
    EXPECT_FALSE(Peer(*widget).m_bSupportRestore);
    EXPECT_EQ(Flag(STEP_CAPABILITY), 1);
    // An IoT board reads LightMode 0 another way.
    Reply(kCurrent, CMD_HARDWARE_CONFIG_GET, Xml("REQUEST_PARAM", "LightMode=\"0\""));
    EXPECT_EQ(Current().iLightMode, 4);
    const int before = Current().iLightMode;
    Reply(kCurrent, CMD_HARDWARE_CONFIG_GET, Xml("RESPONSE_PARAM", "LightMode=\"5\""));
    EXPECT_EQ(Current().iLightMode, before) << "5 is not listed for IoT boards";
}

TEST_F(RepliesTest, AnyDeviceThatTookThePackageIsBookedAndTheLogoStaysCurrentOnly)
{
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        Lists(*widget).m_vecSearchDevsInfo.push_back(MakeDevice("VT21A00000000002", "127.0.0.22", kOther, 1));
    }
    Reply(kOther, CMD_UPLOAD_FILE_FINISH, Xml("RESPONSE_PARAM", "Type=\"1\""));
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        const DevInfo& booked = Lists(*widget).m_vecSearchDevsInfo[0];
        EXPECT_EQ(booked.iConfigUploadFinishFlag, 1);
        EXPECT_EQ(booked.lConfigCheck, -1);
        EXPECT_NEAR(double(booked.lConfigUploadFinishTime), double(WallClockMs(Clock::Now())), 60000.0);
        ASSERT_EQ(Lists(*widget).m_vecUploadFileFinishDevsInfo.size(), 1u);
        EXPECT_STREQ(Lists(*widget).m_vecUploadFileFinishDevsInfo[0].ipcEntry.ipc_sn, "VT21A00000000002");
    }
    Reply(kOther, CMD_UPLOAD_FILE_FINISH, Xml("RESPONSE_PARAM", "Type=\"4\""));
    EXPECT_EQ(Current().TestRuslut.custom_logo_result, 0) << "another device's logo";
    EXPECT_EQ(Flag(STEP_LOGO), 0);
    Reply(kCurrent, CMD_UPLOAD_FILE_FINISH, Xml("RESPONSE_PARAM", "Type=\"4\""));
    EXPECT_EQ(Current().TestRuslut.custom_logo_result, 1);
    EXPECT_EQ(Flag(STEP_LOGO), 1);
    std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
    EXPECT_EQ(Lists(*widget).m_vecUploadFileFinishDevsInfo.size(), 1u) << "a logo is no package";
}

TEST_F(RepliesTest, ThePackageCheckComparesBothDigestsOfThatDevice)
{
    Peer(*widget).m_strHW_CFG_MD5 = "aaaa";
    Peer(*widget).m_strSYS_CFG_MD5 = "bbbb";
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        Lists(*widget).m_vecSearchDevsInfo = {MakeDevice("A", "127.0.0.22", 61, 1), MakeDevice("B", "127.0.0.23", 62, 1),
                                       MakeDevice("C", "127.0.0.24", 63, 1)};
    }
    Reply(61, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, Xml("REQUEST_PARAM", "HW_CFG_MD5=\"aaaa\" SYS_CFG_MD5=\"bbbb\""));
    Reply(62, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, Xml("REQUEST_PARAM", "HW_CFG_MD5=\"AAAA\" SYS_CFG_MD5=\"bbbb\""));
    Reply(63, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, Xml("REQUEST_PARAM", "HW_CFG_MD5=\"aaaa\""));
    Reply(63, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, Xml("RESPONSE_PARAM", "HW_CFG_MD5=\"aaaa\" SYS_CFG_MD5=\"bbbb\""));
    std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
    EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[0].lConfigCheck, 1);
    EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[1].lConfigCheck, -1) << "digests compare case by case";
    EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[2].lConfigCheck, 0) << "a missing digest or another element is no answer";
}

TEST_F(RepliesTest, StatusEventsKeepLoginStatesAndFollowALoginWithItsCommand)
{
    DevInfo current = MakeDevice("VT21A00000000001", "127.0.0.21", kCurrent, 1);
    DevStore(current.lRealHandle, int64_t(90));
    widget->Lists().SetCurrentDevice(current);
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        Lists(*widget).m_vecSearchDevsInfo.push_back(MakeDevice("VT21A00000000002", "127.0.0.22", kOther, 0));
    }
    SdkCallLog::Instance().Clear();
    Status(kOther, EVENT_LOGINOK);
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTSystemControl"), QStringList{"52,1538,0,"});
    // The device's type is asked for with its login (the stream-test thread
    // plays only devices whose type is known), once.
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTQuery"), QStringList({"51,1019,0,(null)", "52,1030,0,(null)"}))
        << "the current device's serial number, the new device's type";
    widget->Lists().InsertDevType(kOther, DevTypeInfo());
    SdkCallLog::Instance().Clear();
    Status(kOther, EVENT_LOGINOK);
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTQuery"), QStringList{"51,1019,0,(null)"}) << "a known type is not asked again";
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[0].lLoginStatus, 1);
    }

    for (int type : {EVENT_CONNECTFAILED, EVENT_CONNECTFAILED_LOGIN, EVENT_CONNECTFAILED_STREAM}) {
        SCOPED_TRACE(type);
        widget->Lists().InsertDevType(kOther, DevTypeInfo());
        {
            std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
            Lists(*widget).m_vecSearchDevsInfo[0].lLoginStatus = 1;
        }
        Status(kOther, type);
        EXPECT_FALSE(widget->Lists().LookupDevType(kOther, nullptr));
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[0].lLoginStatus, -1);
    }

    // The current device's stream handle counts as its own.
    Peer(*widget).m_bCurDevAlive = false;
    Status(90, EVENT_STOPAUDIOOK);
    EXPECT_TRUE(Peer(*widget).m_bCurDevAlive.load());
    Status(90, EVENT_CONNECTFAILED_STREAM);
    EXPECT_FALSE(Peer(*widget).m_bCurDevAlive.load());
    Status(kOther, 23);
    Status(kOther, EVENT_STARTAUDIOFAILED);
    // The talk-back start is copied for the auxiliary thread: the event's record
    // is freed at once, the copy later (the sanitizers watch both).
    Status(kCurrent, EVENT_STARTAUDIOOK, "audiotype=1,samplerate=8000,bits=16,channels=1,");
    Status(kCurrent, EVENT_STARTAUDIOOK);
}

TEST_F(RepliesTest, TheChainStartsWithTheStationsIdentityAndTheSerialNumber)
{
    ConfigInfo config = widget->ConfigSnapshot();
    config.m_AutoTest.bWifiSignal = true;
    config.m_SystemConfig.SSID = QString::fromUtf8("\xe5\xb7\xa5\xe5\x8e\x82-ap");
    config.m_SystemConfig.Password = "pw\"x";
    widget->SetConfig(config);
    widget->SetOrderDetail("ORD-7", "M1", "A1");
    Peer(*widget).m_bTestNormal = false;
    ClearFlags();
    Peer(*widget).m_AutoSteps[STEP_SN].iReplyFlag = 1;
    CurrentTestType = 0;

    Peer(*widget).dealBeginTestAutoItem();
    const DevInfo d = Current();
    EXPECT_STREQ(d.TestRuslut.check_machine_id, "02-11-22-33-44-55");
    EXPECT_STREQ(d.TestRuslut.order_sn, "ORD-7");
    EXPECT_STREQ(d.TestRuslut.software_version, "1.0.6.4");
    EXPECT_EQ(d.TestRuslut.software_type, 1);
    EXPECT_EQ(d.lWifiTesFinish, 1);
    EXPECT_TRUE(Peer(*widget).m_bTestNormal);
    // The network goes out as UTF-8, the quote escaped.
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTSystemControl"),
              QStringList{"51,1525,0," + QString::fromLatin1("<REQUEST_PARAM\r\nESSID=\"\xe5\xb7\xa5\xe5\x8e\x82-ap\"\r\n"
                                                             "PSK=\"pw&quot;x\"\r\n/>")});
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTQuery"), QStringList{"51,1019,0,"});
    EXPECT_EQ(Flag(STEP_SN), 0);
    EXPECT_NE(Peer(*widget).m_AutoSteps[STEP_SN].iTimerId, 0);

    config.m_SystemConfig.Password = "secret";
    widget->SetConfig(config);
    SdkCallLog::Instance().Clear();
    Peer(*widget).dealBeginTestAutoItem();
    ASSERT_EQ(SdkCallsOf("FC_Loc_IoTSystemControl").size(), 1);
    EXPECT_TRUE(SdkCallsOf("FC_Loc_IoTSystemControl")[0].startsWith("51,1525,0,")) << "the Wi-Fi connect";
    Peer(*widget).KillAllStepTimers();
}

TEST_F(RepliesTest, TheOrderNumberIsStoredAsWholeUtf8Characters)
{
    const QString zhong = QString::fromUtf8("\xe4\xb8\xad");   // three bytes in UTF-8
    const struct {
        QString order;
        QByteArray stored;
    } cases[] = {
        {"ORD-7", "ORD-7"},
        {QString::fromUtf8("WO-\xe4\xb8\xad\xe6\x96\x87-01"), "WO-\xe4\xb8\xad\xe6\x96\x87-01"},
        {"A" + zhong.repeated(42), "A" + zhong.repeated(42).toUtf8()},          // 127 bytes: it fits
        {"AB" + zhong.repeated(42), "AB" + zhong.repeated(41).toUtf8()},        // the last one would be cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order.toStdString());
        widget->SetOrderDetail(c.order, "M1", "A1");
        Peer(*widget).dealBeginTestAutoItem();
        const DevInfo d = Current();
        EXPECT_EQ(QByteArray(d.TestRuslut.order_sn), c.stored);
        const std::string form = HttpClient::BuildTestDataForm(d.TestRuslut);
        const std::string expected = "order_sn=" + QUrl::toPercentEncoding(QString::fromUtf8(c.stored)).toStdString() + "&";
        EXPECT_EQ(form.rfind(expected, 0), 0u) << form.substr(0, 200);
    }
    Peer(*widget).KillAllStepTimers();
}

TEST(ReplyRulesTest, OperatorClassesByTheFifthAndSixthCharacters)
{
    const struct {
        const char* iccid;
        int operatorClass;
    } cases[] = {{"", -1},         {"89860", -1},     {"898603", 0},    {"8986031", 0},    {"89861111", 0},
                 {"89860012", 1},  {"89860212", 1},   {"89860412", 1},  {"89860712", 1},   {"89860112", 2},
                 {"89860612", 2},  {"89860912", 2},   {"89860512", -1}, {"8986AB12", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(LeftTopWidgetTestPeer::GetOperatorByICCID(c.iccid), c.operatorClass) << c.iccid;
    EXPECT_EQ(LeftTopWidgetTestPeer::GetOperatorByICCID(QString()), -1);
}

TEST(ReplyRulesTest, TheFailureListStaysInItsFieldWithoutRepeats)
{
    char list[32] = {};
    EXPECT_TRUE(AppendCustomizedCode(list, 3));
    EXPECT_TRUE(AppendCustomizedCode(list, 4));
    EXPECT_FALSE(AppendCustomizedCode(list, 3));
    EXPECT_STREQ(list, "3,4");
    EXPECT_TRUE(AppendCustomizedCode(list, 34)) << "34 is not 3 or 4";
    EXPECT_STREQ(list, "3,4,34");

    char full[32];
    std::memset(full, 0, sizeof(full));
    std::memcpy(full, "1,2,3,4,5,6,7,8,9,10,11,12,13", 29);
    EXPECT_FALSE(AppendCustomizedCode(full, 99)) << "no room for ',99' and the NUL";
    EXPECT_STREQ(full, "1,2,3,4,5,6,7,8,9,10,11,12,13");
    EXPECT_TRUE(AppendCustomizedCode(full, 0));
    EXPECT_STREQ(full, "1,2,3,4,5,6,7,8,9,10,11,12,13,0");
}

TEST(ReplyRulesTest, ClockResults)
{
    WallTime now;
    now.year = 2024;
    now.month = 3;
    now.day = 10;
    now.hour = 12;
    const struct {
        const char* time;
        bool sinceEpoch;
        int result;
    } cases[] = {
        {"19700101 03:59:59", true, -1},  {"19700101 04:00:00", true, 1},   {"20240310 12:00:00", true, 1},
        {"20240310 17:59:59", false, 1},  {"20240310 18:00:00", false, -1}, {"20240310 06:00:01", false, 1},
        {"20240310 06:00:00", false, -1}, {"20240310 05:59:59", false, -1},
        {"20991231 23:59:59", false, -1}, {"20240310 12:00", false, -1},    {"2024031012:00:00", false, -1},
        {"20241310 12:00:00", false, -1}, {"20240310 25:00:00", false, -1}, {"", false, -1},
        {"garbage text here", true, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtcResultOf(c.time, c.sinceEpoch, now), c.result) << c.time << (c.sinceEpoch ? " since 1970" : "");
}

TEST(ReplyRulesTest, LampBoardCodesByKind)
{
    const int iot[] = {4, 0, 1, 3, 5, -1};
    const int other[] = {0, 2, 1, 3, 6, 5};
    for (int mode = -1; mode <= 6; ++mode) {
        for (bool isIot : {true, false}) {
            int code = -7;
            const char* name = nullptr;
            const bool listed = LightModeOf(mode, isIot, &code, &name);
            const int expected = (mode < 0 || mode > 5) ? -1 : (isIot ? iot[mode] : other[mode]);
            EXPECT_EQ(listed, expected >= 0) << mode << isIot;
            if (listed) {
                EXPECT_EQ(code, expected);
                EXPECT_NE(name, nullptr);
            }
        }
    }
}

TEST(ReplyRulesTest, ReplyTextsReadAsXmlOrNotAtAll)
{
    const struct {
        const char* text;
        bool xml;
        const char* element;
        const char* value;   // attribute A
    } cases[] = {
        {"<RESPONSE_PARAM\r\nA=\"1\"\r\n/>", true, "RESPONSE_PARAM", "1"},
        {"<?xml version=\"1.0\"?><R A=\"x&quot;y\"/>", true, "R", "x\"y"},
        {"<R A=\"1\"></R>\r\n", true, "R", "1"},
        {"<R A=\"1\"/><S/>", false, "", ""},
        {"<R A=\"1\"", false, "", ""},
        {"<R A=1/>", false, "", ""},
        {"plain text", false, "", ""},
        {"", false, "", ""},
        {"<R A=\"\xe9\"/>", true, "R", "\xc3\xa9"},
    };
    for (const auto& c : cases) {
        const ReplyDocument reply(c.text);
        EXPECT_EQ(reply.IsXml(), c.xml) << c.text;
        EXPECT_EQ(reply.Element(), QString::fromLatin1(c.element)) << c.text;
        EXPECT_EQ(reply.Text("A"), QString::fromUtf8(c.value)) << c.text;
    }
    EXPECT_FALSE(ReplyDocument(nullptr).IsXml());
    const ReplyDocument numbers("<R I=\" 42 \" J=\"x\" K=\"-9223372036854775807\"/>");
    EXPECT_EQ(numbers.Int("I"), 42);
    EXPECT_EQ(numbers.Int("J"), 0);
    EXPECT_EQ(numbers.Int("missing"), 0);
    EXPECT_EQ(numbers.Int64("K"), -9223372036854775807LL);
}

}  // namespace
