// The device command protocol against a simulated camera: which SDK call
// carries each command, the bytes of every body and PTZ text as the camera
// received them, and the values a body refuses.
#include "DevCommand.h"

#include "SdkTestSupport.h"

#include "FuncLib.h"
#include "sim/SimLan.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr char kSerial[] = "VTS0000000000001";

QByteArray OneCameraProfile()
{
    return R"({
  "adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0", "mac": "02:00:00:00:00:05"},
  "cameras": [
    {"serial": "VTS0000000000001", "address": "127.0.0.21", "port": 3001, "searchDelayMs": 5,
     "loginDelayMs": 5, "replyDelayMs": 5}
  ]
})";
}

class CommandProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimProfile profile;
        QString error;
        ASSERT_TRUE(SimProfile::Parse(OneCameraProfile(), &profile, &error)) << qPrintable(error);
        SimLan::Instance().LoadProfile(profile);
        recorder.Attach();
        login = FC_Loc_Login("127.0.0.21", 3001, "admin", "580347", 0);
        ASSERT_GT(login, 0);
        const int64_t h = login;
        ASSERT_TRUE(recorder.WaitFor([h](const SdkEvent& e) { return !e.reply && e.handle == h && e.code == EVENT_LOGINOK; },
                                     5000));
    }

    void TearDown() override
    {
        recorder.Detach();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
    }

    // The last command the camera received.
    SimCommand Last() const
    {
        const QVector<SimCommand> commands = SimLan::Instance().CommandsOf(kSerial);
        return commands.isEmpty() ? SimCommand() : commands.last();
    }

    int CommandCount() const { return SimLan::Instance().CommandsOf(kSerial).size(); }

    SdkEventRecorder recorder;
    int64_t login = 0;
};

struct BodyCase {
    const char* name;
    int code;
    std::function<CommandBody()> body;
    int64_t feature;
    const char* via;
    QByteArray bytes;
};

TEST_F(CommandProtocolTest, EachCommandTakesItsCallWithItsBodyBytes)
{
    WallTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 5;
    t.hour = 7;
    t.minute = 8;
    t.second = 9;
    const BodyCase cases[] = {
        {"custom MAC", CMD_SET_CUSTOM_MAC, [] { return CustomMacBody("A1:B2:C3:D4:E5:F6", ""); }, 0,
         "FC_Loc_IoTTextControl", "<REQUEST_PARAM\r\nMACAddress1=\"A1:B2:C3:D4:E5:F6\"\r\nMACAddress2=\"\"\r\n/>"},
        {"country and city on one line", CMD_SET_COUNTRY_CITY, [] { return CountryCityBody("CN", "Shenzhen"); }, 0,
         "FC_Loc_IoTTextControl", "<REQUEST_PARAM\r\nCountry=\"CN\" City=\"Shenzhen\"\r\n/>"},
        {"serial number query", CMD_GET_IPC_SERIALNUMBER, [] { return CommandBody::None(); }, 0, "FC_Loc_IoTQuery",
         ""},
        {"version query", CMD_GET_SYS_VERSION, [] { return CommandBody::Empty(); }, 0, "FC_Loc_IoTQuery", ""},
        {"device type query", CMD_GET_DEV_TYPE, [] { return CommandBody::None(); }, 1, "FC_Loc_IoTQuery", ""},
        {"function codes", CMD_FUNCTION_CODE_CHECK, [] { return CommandBody::Empty(); }, 0, "FC_Loc_IoTQuery", ""},
        {"restore factory", CMD_RESTORE_FACTORY, [] { return CommandBody::Empty(); }, 0, "FC_Loc_IoTQuery", ""},
        {"hardware configuration ignores a body", CMD_HARDWARE_CONFIG_GET, [] { return CommandBody::Text("x"); }, 0,
         "FC_Loc_HardwareConfigGet", ""},
        {"white light, one lens", CMD_SET_WHITE_LIGHT, [] { return WhiteLightBody(0); }, 0,
         "FC_Loc_IoTSystemControl", "<REQUEST_PARAM\r\nLightStatus=\"0\"\r\n/>"},
        {"white light, two lenses", CMD_SET_WHITE_LIGHT, [] { return WhiteLightBody(0); }, 3,
         "FC_Loc_IoTChannelControl", "<REQUEST_PARAM\r\nLightStatus=\"0\"\r\n/>"},
        {"IR-cut day, blank after the opening word", CMD_SET_IRCUT, [] { return IrcutBody(true); }, 0,
         "FC_Loc_IoTSystemControl", "<REQUEST_PARAM IrcutStatus=\"1\"\r\n/>"},
        {"IR-cut night, two lenses", CMD_SET_IRCUT, [] { return IrcutBody(false); }, 1, "FC_Loc_IoTChannelControl",
         "<REQUEST_PARAM IrcutStatus=\"0\"\r\n/>"},
        {"alarm IO, two lenses", CMD_IOT_ALARM_IO_TEST, [] { return CommandBody::Empty(); }, 1,
         "FC_Loc_IoTChannelControl", ""},
        {"alarm IO, one lens", CMD_IOT_ALARM_IO_TEST, [] { return CommandBody::Empty(); }, 2,
         "FC_Loc_IoTSystemControl", ""},
        {"clock", CMD_SET_TIME, [t] { return SetTimeBody(t); }, 0, "FC_Loc_IoTSystemControl",
         "<REQUEST_PARAM\r\nTime=\"20240305 07:08:09\"\r\n/>"},
        {"parameter lock", CMD_IOT_CAMERA_LOCK_PARAMETER, [] { return LockParameterBody(1); }, 0,
         "FC_Loc_IoTSystemControl", "<DIYCFG_LOCK\r\nEnable=\"1\"\r\n/>"},
        {"throughput, no CR LF before the end", CMD_WIFI_THROUGHPUT_TEST,
         [] { return ThroughputBody("127.0.0.5", 3600, 10, 18, "lab", "secret"); }, 0, "FC_Loc_IoTSystemControl",
         "<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"3600\"\r\nDuration=\"10\"\r\nMaxThroughput=\"18\"\r\n"
         "SSID=\"lab\"\r\nPassword=\"secret\"/>"},
        {"Wi-Fi connect", CMD_WIFI_CONNECT, [] { return WifiConnectBody("lab", "secret"); }, 0,
         "FC_Loc_IoTSystemControl", "<REQUEST_PARAM\r\nESSID=\"lab\"\r\nPSK=\"secret\"\r\n/>"},
        {"sensor switch", CMD_SWITCH_SENSOR, [] { return SensorSwitchBody(2); }, 0, "FC_Loc_IoTSystemControl",
         "<SensorSwitch \r\nSensorId=\"2\"\r\nIspMode=\"0\"\r\n/>"},
        {"4G state", CMD_GET_4G_INFO, [] { return CommandBody::None(); }, 0, "FC_Loc_IoTSystemControl", ""},
        {"authorization code", CMD_GET_AUTHORIZE_CODE_INFO, [] { return CommandBody::None(); }, 0,
         "FC_Loc_IoTSystemControl", ""},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.name);
        CommandTarget target;
        target.loginHandle = login;
        target.feature = c.feature;
        ASSERT_EQ(SendDevCommand(target, c.code, c.body()), 0);
        const SimCommand got = Last();
        EXPECT_EQ(got.code, c.code);
        EXPECT_EQ(got.via, QString::fromLatin1(c.via));
        EXPECT_EQ(got.body, c.bytes);
    }
}

TEST_F(CommandProtocolTest, PtzTextsReachTheCameraByteForByte)
{
    const QByteArray tabs6(6, '\t');
    const QByteArray tabs7(7, '\t');
    const QByteArray tabs10(10, '\t');
    const QByteArray blanks16(16, ' ');
    struct PtzCase {
        const char* name;
        QByteArray text;
        QByteArray bytes;
    };
    const PtzCase cases[] = {
        {"up at speed 5", PtzMoveText(PtzMove::Up, 5),
         "<xml>\t<cmd>up</cmd>\t<panspeed>5</panspeed>\r\n\t<tiltspeed>5</tiltspeed>\r\n</xml>"},
        {"right at speed 10", PtzMoveText(PtzMove::Right, 10),
         "<xml>\t<cmd>right</cmd>\t<panspeed>10</panspeed>\r\n\t<tiltspeed>10</tiltspeed>\r\n</xml>"},
        {"down", PtzMoveText(PtzMove::Down, 1),
         "<xml>\t<cmd>down</cmd>\t<panspeed>1</panspeed>\r\n\t<tiltspeed>1</tiltspeed>\r\n</xml>"},
        {"left", PtzMoveText(PtzMove::Left, 7),
         "<xml>\t<cmd>left</cmd>\t<panspeed>7</panspeed>\r\n\t<tiltspeed>7</tiltspeed>\r\n</xml>"},
        {"plain stop", PtzStopText(false), "<xml><cmd>stop</cmd></xml>"},
        {"tabbed stop", PtzStopText(true), "<xml>" + tabs7 + "<cmd>stop</cmd>" + tabs7 + "</xml>"},
        {"focus far", PtzFocusText(true), "<xml>" + tabs6 + blanks16 + "<cmd>FocusFarAutoOff</cmd>" + tabs10 + "</xml>"},
        {"focus near", PtzFocusText(false),
         "<xml>" + tabs6 + blanks16 + "<cmd>FocusNearAutoOff</cmd>" + tabs10 + "</xml>"},
        {"iris open, one blank more on both sides", PtzIrisText(true),
         "<xml>" + tabs6 + QByteArray(17, ' ') + "<cmd>IrisOpenAutoOff</cmd>" + tabs10 + " </xml>"},
        {"iris close", PtzIrisText(false),
         "<xml>" + tabs6 + blanks16 + "<cmd>IrisCloseAutoOff</cmd>" + tabs10 + "</xml>"},
        {"zoom tele", PtzZoomText(true), "<xml>" + tabs7 + "<cmd>zoomtele</cmd>" + tabs7 + "</xml>"},
        {"zoom wide", PtzZoomText(false), "<xml>" + tabs7 + "<cmd>zoomwide</cmd>" + tabs7 + "</xml>"},
        {"reset", PtzResetText(), "<xml><cmd>ptz_reset</cmd></xml>"},
        {"call preset 3", PtzPresetText(PresetAction::Call, 3),
         "<xml><cmd>callpreset</cmd>\n\t" + QByteArray(20, ' ') + "<preset>3</preset>\n\t" + QByteArray(20, ' ') +
             "<flag>1</flag></xml>"},
        {"set preset 12", PtzPresetText(PresetAction::Set, 12),
         "<xml><cmd>setpreset</cmd>\n\t\t\t\t\t   \t<preset>12</preset>\n\t\t\t\t\t\t<flag>1</flag></xml>"},
        {"clear preset 255", PtzPresetText(PresetAction::Clear, 255),
         "<xml><cmd>clearpreset</cmd>\n\t\t\t\t\t   \t<preset>255</preset>\n\t\t\t\t\t\t<flag>1</flag></xml>"},
    };
    for (const PtzCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SendPtzCommand(login, c.text), 0);
        const QVector<QByteArray> ptz = SimLan::Instance().PtzOf(kSerial);
        ASSERT_FALSE(ptz.isEmpty());
        EXPECT_EQ(ptz.last(), c.bytes);
    }
}

TEST_F(CommandProtocolTest, AValueThatWouldLeaveItsAttributeIsRefusedAndNothingIsSent)
{
    const QByteArray bad[] = {
        "CN\" City=\"X", "CN<x/>", "CN\r\nEvil=\"1", QByteArray("CN\nX"), QByteArray("C\0N", 3),
    };
    for (const QByteArray& value : bad) {
        SCOPED_TRACE(value.toPercentEncoding().constData());
        EXPECT_FALSE(IsSafeAttributeValue(value));
        const int before = CommandCount();
        const CommandBody body = CountryCityBody(value, "Shenzhen");
        EXPECT_TRUE(body.IsRefused());
        EXPECT_EQ(SendDevCommand(login, CMD_SET_COUNTRY_CITY, body), SEND_REFUSED);
        EXPECT_TRUE(CustomMacBody("AA", value).IsRefused());
        EXPECT_EQ(CommandCount(), before);
    }
    // Blanks, '>' and non-ASCII bytes stay inside the quotes and pass.
    EXPECT_TRUE(IsSafeAttributeValue("Hong Kong > Macau \xe4\xb8\xad"));
}

TEST_F(CommandProtocolTest, TheWifiNetworkReachesTheCameraExactlyOrNotAtAll)
{
    struct Case {
        const char* name;
        QString ssid;
        QString password;
        const char* essidText;           // as it stands in the connect body; null: refused
        const char* pskText;
    };
    const Case cases[] = {
        {"plain", "line-ap", "pa55word", "line-ap", "pa55word"},
        {"XML's own characters", "a&b", "pw\"<x>&amp;", "a&amp;b", "pw&quot;&lt;x>&amp;amp;"},
        {"not ASCII", QString::fromUtf8("\xe5\xb7\xa5\xe5\x8e\x82-AP caf\xc3\xa9"), QString::fromUtf8("\xc3\xbc\xe2\x82\xac"),
         "\xe5\xb7\xa5\xe5\x8e\x82-AP caf\xc3\xa9", "\xc3\xbc\xe2\x82\xac"},
        {"a tab", "line\tap", "pw", nullptr, nullptr},
        {"a line break", "line-ap", "pw\r\n", nullptr, nullptr},
        {"a NUL", "line-ap", QString(QChar(0)), nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray ssid = c.ssid.toUtf8();
        const QByteArray password = c.password.toUtf8();
        const CommandBody connect = WifiConnectBody(ssid, password);
        const CommandBody throughput = ThroughputBody("127.0.0.5", 3600, 10, 18, ssid, password);
        if (!c.essidText) {
            EXPECT_TRUE(connect.IsRefused());
            EXPECT_TRUE(throughput.IsRefused());
            EXPECT_FALSE(WifiValuesFit(ssid, password));
            continue;
        }
        EXPECT_TRUE(WifiValuesFit(ssid, password));
        EXPECT_EQ(connect.Bytes(), "<REQUEST_PARAM\r\nESSID=\"" + QByteArray(c.essidText) + "\"\r\nPSK=\"" +
                                       QByteArray(c.pskText) + "\"\r\n/>");
        EXPECT_TRUE(throughput.Bytes().endsWith("\"\r\nSSID=\"" + QByteArray(c.essidText) + "\"\r\nPassword=\"" +
                                                QByteArray(c.pskText) + "\"/>"));
        // The camera reads the values back as they were set.
        ASSERT_EQ(SendDevCommand(login, CMD_WIFI_CONNECT, connect), 0);
        const SimWifiNetwork joined = SimLan::Instance().WifiNetworkOf(kSerial);
        EXPECT_EQ(joined.ssid, c.ssid);
        EXPECT_EQ(joined.password, c.password);
    }
    // The length limit counts the escaped bytes of both bodies.
    const int room = BODY_BUFFER - 1 - ThroughputBody(QByteArray(THROUGHPUT_IP_MAX, '0'), 65535, 10, 18, "", "").Bytes().size();
    EXPECT_TRUE(WifiValuesFit(QByteArray(room, 'a'), ""));
    EXPECT_FALSE(WifiValuesFit(QByteArray(room - 4, 'a') + "&", ""));
}

TEST_F(CommandProtocolTest, ABodyMustFitItsBufferWithItsTerminator)
{
    const int frame = WifiConnectBody("", "").Bytes().size();
    const QByteArray fits(BODY_BUFFER - 1 - frame, 'a');
    const CommandBody longest = WifiConnectBody(fits, "");
    ASSERT_FALSE(longest.IsRefused());
    EXPECT_EQ(longest.Bytes().size(), BODY_BUFFER - 1);
    ASSERT_EQ(SendDevCommand(login, CMD_WIFI_CONNECT, longest), 0);
    EXPECT_EQ(Last().body, longest.Bytes());

    const int before = CommandCount();
    const CommandBody tooLong = WifiConnectBody(fits + "a", "");
    EXPECT_TRUE(tooLong.IsRefused());
    EXPECT_EQ(SendDevCommand(login, CMD_WIFI_CONNECT, tooLong), SEND_REFUSED);
    EXPECT_EQ(CommandCount(), before);
}

TEST(CommandRouting, OnlyLampIrCutAndAlarmIoGoPerChannel)
{
    for (int code : {CMD_SET_WHITE_LIGHT, CMD_SET_IRCUT, CMD_IOT_ALARM_IO_TEST}) {
        EXPECT_EQ(CallOfCommand(code, true), CommandCall::Channel) << code;
        EXPECT_EQ(CallOfCommand(code, false), CommandCall::Generic) << code;
    }
    for (int code : {CMD_GET_TF_CARD_INFO, CMD_FORMAT_SD_CARD, CMD_GET_RTC, CMD_IOT_AUDIO_TEST, CMD_POST_LOGIN,
                     CMD_GET_FACTORY_TEST_STATE, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, CMD_GET_WIFI_SIGNAL})
        EXPECT_EQ(CallOfCommand(code, true), CommandCall::Generic) << code;
    for (int code : {CMD_RESTORE_FACTORY, CMD_REBOOT, CMD_GET_SYS_VERSION, CMD_GET_IPC_SERIALNUMBER,
                     CMD_GET_CAPABILITY, CMD_GET_DEV_TYPE, CMD_FUNCTION_CODE_CHECK})
        EXPECT_EQ(CallOfCommand(code, true), CommandCall::Query) << code;
}

}  // namespace
