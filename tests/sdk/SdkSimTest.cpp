#include "SdkTestSupport.h"
#include "TputTestSupport.h"

#include "HostAdapters.h"
#include "SdkCallLog.h"
#include "sim/SimLan.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

class SdkSimTest : public SimLanTest {
protected:
    void SetUp() override { Load(ThreeCameraProfile()); }

    // Searches and returns the entries by serial number.
    QMap<QString, QPair<int, IPCEntry>> Search()
    {
        EXPECT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
        EXPECT_TRUE(WaitUntil([] { return FC_Loc_GetSearchIPCCount() == 3; }, 2000));
        FC_Loc_StopSearchIPC();
        QMap<QString, QPair<int, IPCEntry>> out;
        for (int i = 0; i < FC_Loc_GetSearchIPCCount(); ++i) {
            IPCEntry e;
            memset(&e, 0, sizeof e);
            EXPECT_EQ(FC_Loc_GetSearchIPCInfo(i, &e), 0);
            out.insert(QString::fromLatin1(e.ipc_sn), qMakePair(i, e));
        }
        return out;
    }
};

TEST_F(SdkSimTest, SearchReaddressLoginCommandAndOneSecondOfLiveStream)
{
    EXPECT_TRUE(HostAdapters::HasSimulated());
    ASSERT_EQ(HostAdapters::List().size(), 1);
    EXPECT_EQ(HostAdapters::List().at(0).address, QStringLiteral("127.0.0.5"));

    auto found = Search();
    ASSERT_EQ(found.size(), 3);
    const IPCEntry a = found.value("VTA0001").second;
    // The fields the station reads, at their offsets in the raw record.
    const char* raw = reinterpret_cast<const char*>(&a);
    EXPECT_STREQ(raw + 2880, "192.168.0.123");
    EXPECT_STREQ(raw + 3136, "255.255.255.0");
    EXPECT_STREQ(raw + 3392, "192.168.0.1");
    EXPECT_STREQ(raw + 32, "IPC");
    int32_t port = 0;
    memcpy(&port, raw + 2612, 4);
    EXPECT_EQ(port, 3000);
    uint32_t valid = 0;
    memcpy(&valid, raw + 4440, 4);
    EXPECT_EQ(valid, IPC_CLOUD_ID_VALID);
    EXPECT_STREQ(raw + 4448, "CLOUDA");
    const IPCEntry b = found.value("VTB0002").second;
    memcpy(&valid, reinterpret_cast<const char*>(&b) + 4440, 4);
    EXPECT_NE(valid, IPC_CLOUD_ID_VALID);

    // The factory address is not on the station's subnet: the login fails.
    int64_t handle = 0;
    EXPECT_EQ(LoginOutcome("192.168.0.123", 3000, "580347", &handle), EVENT_CONNECTFAILED_LOGIN);
    EXPECT_LT(FC_Loc_Logout(handle), 0);

    IPCEntry moved = a;
    strcpy(moved.szIP, "127.0.0.30");
    strcpy(moved.szGateway, "127.0.0.1");
    ASSERT_EQ(FC_Loc_ModifyIPCEx(found.value("VTA0001").first, &moved, 1), 0);
    EXPECT_EQ(SimLan::Instance().CameraAddress("VTA0001"), QStringLiteral("127.0.0.30"));
    found = Search();
    EXPECT_STREQ(found.value("VTA0001").second.szIP, "127.0.0.30");

    ASSERT_EQ(LoginOutcome("127.0.0.30", 3000, "580347", &handle), EVENT_LOGINOK);
    SdkEvent link;
    ASSERT_TRUE(recorder.WaitFor([handle](const SdkEvent& e) { return e.handle == handle && e.code == EVENT_LINK_STATE; },
                                 10000, &link));
    ASSERT_EQ(link.data.size(), FC_LINK_STATE_RECORD_SIZE);
    FC_LinkStateRecord record;
    memcpy(&record, link.data.constData(), sizeof record);
    EXPECT_EQ(record.lHandle, handle);
    EXPECT_STREQ(record.szSerial, "VTA0001");

    ASSERT_EQ(FC_Loc_IoTQuery(handle, 1019, 0, ""), 0);
    SdkEvent reply;
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& e) { return e.reply && (e.code & 0xFFFFFF) == 1019; }, 10000, &reply));
    EXPECT_EQ(reply.handle, handle);
    EXPECT_EQ(reply.code >> 24, 0);
    EXPECT_TRUE(reply.data.contains("SerialNumber=\"VTA0001\"")) << reply.data.constData();
    for (const SdkEvent& e : recorder.Events())
        EXPECT_NE(e.thread, std::this_thread::get_id());

    LivePlay play;
    play.width = 640;
    play.height = 360;
    play.port = PC_GetFreePort();
    ASSERT_GT(play.port, 0);
    FC_RealPlayParam param{};
    param.nStreamPort = 3000;
    param.nConstOne = 1;
    param.pUser = &play;
    param.nChannel = -1;
    const auto started = std::chrono::steady_clock::now();
    play.realHandle = FC_Loc_RealPlayEx(handle, "vlx://127.0.0.30", "admin", "580347", &LivePlay::OnData, &param);
    ASSERT_GT(play.realHandle.load(), 0);
    // A second's worth of media: waited for, since a loaded machine may take longer.
    ASSERT_TRUE(WaitUntil([&] { return play.videoFrames >= 25 && play.audioFrames >= 25; }, 10000));

    // Tear-down in the station's order; nothing arrives after the clear.
    play.tearingDown = true;
    PC_SetDisplayCallback(play.port, nullptr, nullptr);
    const int framesAtClear = play.videoFrames + play.audioFrames;
    // A loaded machine oversleeps: bound the count by the time that really passed.
    const auto streamedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(PC_CloseStream(play.port), 0);
    EXPECT_EQ(PC_FreePort(play.port), 0);
    EXPECT_EQ(FC_Loc_StopRealPlay(play.realHandle), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(play.videoFrames + play.audioFrames, framesAtClear);

    EXPECT_EQ(play.headers.load(), 1);
    // 25 pictures a second, never faster (a slow machine only makes it slower).
    EXPECT_LE(play.videoFrames.load(), streamedMs / 40 + 2);
    EXPECT_LE(play.audioFrames.load(), streamedMs / 40 + 2);   // one per 40 ms
    EXPECT_EQ(play.audioBytes.load() % 640, 0);   // 320 samples of 16-bit mono per packet
    EXPECT_EQ(play.badFrames.load(), 0);
    EXPECT_EQ(play.inputErrors.load(), 0);
    EXPECT_FALSE(play.callbackOnCaller.load());

    EXPECT_EQ(FC_Loc_Logout(handle), 0);
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    EXPECT_FALSE(SdkCallLog::Instance().CallsOf("FC_Loc_RealPlayEx").isEmpty());
}

TEST_F(SdkSimTest, StaleAndBadHandlesAreRefused)
{
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    ASSERT_EQ(FC_Loc_Logout(handle), 0);
    struct Case {
        const char* what;
        std::function<int64_t()> call;
    };
    const Case cases[] = {
        {"logout twice", [&] { return int64_t(FC_Loc_Logout(handle)); }},
        {"command", [&] { return int64_t(FC_Loc_IoTSystemControl(handle, 1012, 0, "")); }},
        {"text command", [&] { return int64_t(FC_Loc_IoTTextControl(handle, 337, 0, "x", 1)); }},
        {"ptz", [&] { return int64_t(FC_Loc_PTZControl(handle, "<xml><cmd>stop</cmd></xml>")); }},
        {"real play", [&] {
             return FC_Loc_RealPlayEx(handle, "vlx://127.0.0.21", "admin", "580347", &LivePlay::OnData, nullptr);
         }},
        {"stop real play", [] { return int64_t(FC_Loc_StopRealPlay(987654)); }},
        {"start speak", [&] { return int64_t(FC_Loc_StartSpeak(handle, 0)); }},
        {"never issued", [] { return int64_t(FC_Loc_IoTQuery(0, 1019, 0, nullptr)); }},
        {"null login address", [] { return FC_Loc_Login(nullptr, 3000, "admin", "580347", 0); }},
        {"null search entry", [] { return int64_t(FC_Loc_GetSearchIPCInfo(0, nullptr)); }},
        {"search index out of range", [] {
             IPCEntry e;
             return int64_t(FC_Loc_GetSearchIPCInfo(99, &e));
         }},
        {"port not taken", [] { return int64_t(PC_Play(5, 0)); }},
        {"port out of range", [] { return int64_t(PC_InputVideoData(PC_MAX_PORTS + 1, "x", 1, 0, 0)); }},
        {"port zero", [] { return int64_t(PC_CloseStream(0)); }},
    };
    for (const Case& c : cases)
        EXPECT_LT(c.call(), 0) << c.what;
}

TEST_F(SdkSimTest, CommandRepliesFollowTheScriptAndTheFaults)
{
    SimReply scripted;
    scripted.text = "<RESPONSE_PARAM\r\nResult=\"7\"\r\n/>";
    scripted.status = -1;
    scripted.delayMs = 0;
    ASSERT_TRUE(SimLan::Instance().SetReply("VTC0003", 1106, scripted));
    SimFaults faults;
    faults.noReply.insert(1204);
    faults.wrongValue.insert(1019, "<RESPONSE_PARAM\r\nSerialNumber=\"WRONG\"\r\n/>");
    ASSERT_TRUE(SimLan::Instance().SetFaults("VTC0003", faults));

    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1106, 0, ""), 0);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1204, 0, nullptr), 0);
    ASSERT_EQ(FC_Loc_IoTQuery(handle, 1019, 0, ""), 0);
    ASSERT_EQ(FC_Loc_IoTTextControl(handle, 337, 0, "<REQUEST_PARAM\r\nMACAddress1=\"a\"\r\n/>trailing", 35), 0);

    SdkEvent e;
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1106; }, 10000, &e));
    EXPECT_EQ(int8_t(uint32_t(e.code) >> 24), -1);   // status byte 0xFF reads as -1
    EXPECT_EQ(e.data, scripted.text);
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1019; }, 10000, &e));
    EXPECT_TRUE(e.data.contains("WRONG"));
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 337; }, 10000, &e));
    EXPECT_FALSE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1204; }, 200));

    // The camera saw every command with its body, the text command cut at its length.
    const QVector<SimCommand> seen = SimLan::Instance().CommandsOf("VTC0003");
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen.at(3).code, 337);
    EXPECT_EQ(seen.at(3).body, QByteArray("<REQUEST_PARAM\r\nMACAddress1=\"a\"\r\n/>"));
    EXPECT_EQ(seen.at(3).via, QStringLiteral("FC_Loc_IoTTextControl"));
}

// A text command's body is bounded by its length alone: the SDK may not read
// past it looking for a NUL, whether to send it or to log the call.
TEST_F(SdkSimTest, TextCommandBodyIsReadOnlyUpToItsLength)
{
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    const QByteArray text("<REQUEST_PARAM\r\nMACAddress1=\"b\"\r\n/>");
    std::unique_ptr<char[]> body(new char[size_t(text.size())]);   // no NUL after it
    memcpy(body.get(), text.constData(), size_t(text.size()));
    ASSERT_EQ(FC_Loc_IoTTextControl(handle, 337, 0, body.get(), text.size()), 0);
    const QVector<SimCommand> seen = SimLan::Instance().CommandsOf("VTC0003");
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.at(0).body, text);
    const QVector<SdkCall> logged = SdkCallLog::Instance().CallsOf("FC_Loc_IoTTextControl");
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged.at(0).arguments.contains(QString::fromLatin1(text))) << qPrintable(logged.at(0).arguments);
}

TEST_F(SdkSimTest, LoginAndConnectionFailures)
{
    SimFaults refuse;
    refuse.refuseLogin = true;
    ASSERT_TRUE(SimLan::Instance().SetFaults("VTC0003", refuse));
    int64_t handle = 0;
    EXPECT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_CONNECTFAILED_LOGIN);

    ASSERT_TRUE(SimLan::Instance().SetFaults("VTC0003", SimFaults()));
    EXPECT_EQ(LoginOutcome("127.0.0.21", 3001, "wrong", &handle), EVENT_CONNECTFAILED_LOGIN);
    EXPECT_EQ(LoginOutcome("127.0.0.21", 3000, "580347", &handle), EVENT_CONNECTFAILED_LOGIN);   // wrong port
    EXPECT_EQ(LoginOutcome("127.0.0.99", 3001, "580347", &handle), EVENT_CONNECTFAILED_LOGIN);   // nobody there

    SimFaults lost;
    lost.lostConnectionAfterMs = 50;
    ASSERT_TRUE(SimLan::Instance().SetFaults("VTC0003", lost));
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    EXPECT_TRUE(recorder.WaitFor(
        [handle](const SdkEvent& e) { return !e.reply && e.handle == handle && e.code == EVENT_CONNECTFAILED; }, 10000));
    EXPECT_LT(FC_Loc_IoTSystemControl(handle, 1012, 0, ""), 0);
}

// Whatever the profile's adapter says (a wide netmask, or no adapter at all),
// the station holds sessions only with cameras on 127.0.0.0/8: a session with
// any other address would have it send real traffic there (the ID-service
// datagram goes to a logged-in camera's address).
TEST_F(SdkSimTest, OnlyCamerasOnLoopbackAcceptALogin)
{
    const char* adapters[] = {R"("adapter": {"address": "127.0.0.5", "netmask": "0.0.0.0"},)", ""};
    for (const char* adapter : adapters) {
        const QByteArray json = QByteArray("{") + adapter +
                                R"("cameras": [{"serial": "VTX0001", "address": "10.20.30.40", "loginDelayMs": 5},
                                               {"serial": "VTX0002", "address": "127.0.0.40", "loginDelayMs": 5}]})";
        SimProfile profile;
        QString error;
        ASSERT_TRUE(SimProfile::Parse(json, &profile, &error)) << qPrintable(error);
        SimLan::Instance().LoadProfile(profile);
        recorder.Attach();
        int64_t handle = 0;
        EXPECT_EQ(LoginOutcome("10.20.30.40", 3000, "580347", &handle), EVENT_CONNECTFAILED_LOGIN) << adapter;
        EXPECT_EQ(LoginOutcome("127.0.0.40", 3000, "580347", &handle), EVENT_LOGINOK) << adapter;
    }
}

TEST_F(SdkSimTest, DroppedStreamGoesSilentUntilStopped)
{
    SimFaults drop;
    drop.dropStreamAfterMs = 150;
    ASSERT_TRUE(SimLan::Instance().SetFaults("VTC0003", drop));
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    LivePlay play;
    play.width = 320;
    play.height = 240;
    play.port = PC_GetFreePort();
    FC_RealPlayParam param{};
    param.pUser = &play;
    play.realHandle = FC_Loc_RealPlayEx(handle, "vlx://127.0.0.21", "admin", "580347", &LivePlay::OnData, &param);
    ASSERT_GT(play.realHandle.load(), 0);
    ASSERT_TRUE(WaitUntil([&] { return play.videoFrames > 0; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));   // well past the drop
    // A slow decode thread may still be behind the stream: let it catch up.
    ASSERT_TRUE(WaitUntil([&] { return play.videoFrames == SdkCallLog::Instance().VideoInputs(); }, 10000));
    const int frames = play.videoFrames;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(play.videoFrames.load(), frames);
    EXPECT_LE(frames, 8);
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 1);
    EXPECT_EQ(FC_Loc_StopRealPlay(play.realHandle), 0);
    PC_FreePort(play.port);
}

TEST_F(SdkSimTest, TalkBackUploadsAndPtzAreAcceptedAndLogged)
{
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);

    FC_TalkFrame frame{};
    const char data[1024] = {};
    frame.nLength = sizeof data;
    frame.pData = data;
    EXPECT_LT(FC_Loc_SendTalkFrame(handle, &frame), 0);   // talk-back not started
    ASSERT_EQ(FC_Loc_StartSpeak(handle, 0), 0);
    SdkEvent e;
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.code == EVENT_STARTAUDIOOK && !ev.reply; }, 10000, &e));
    EXPECT_EQ(e.data, QByteArray("audiotype=0,samplerate=8000,bits=16,channels=1,"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FC_Loc_SendTalkFrame(handle, &frame), 0);
    frame.pData = nullptr;
    EXPECT_LT(FC_Loc_SendTalkFrame(handle, &frame), 0);
    EXPECT_EQ(FC_Loc_StopSpeak(handle, 0), 0);
    EXPECT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.code == EVENT_STOPAUDIOOK && !ev.reply; }, 10000));
    EXPECT_EQ(SimLan::Instance().TalkFramesOf("VTC0003"), 3);

    QTemporaryDir dir;
    const QString logo = dir.filePath("logo.bmp");
    QFile f(logo);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BM123");
    f.close();
    EXPECT_EQ(FC_Loc_UploadLogo(handle, QFile::encodeName(logo).constData()), 0);
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1001; }, 10000, &e));
    EXPECT_TRUE(e.data.contains("Type=\"4\""));
    EXPECT_EQ(FC_Loc_SetCompressFile(handle, QFile::encodeName(dir.filePath("missing.tgz")).constData()), FC_ERR_FILE);
    ASSERT_EQ(SimLan::Instance().UploadsOf("VTC0003").size(), 1);
    EXPECT_EQ(SimLan::Instance().UploadsOf("VTC0003").at(0).size, 5);

    EXPECT_EQ(FC_Loc_PTZControl(handle, "<xml><cmd>ptz_reset</cmd></xml>"), 0);
    EXPECT_EQ(SimLan::Instance().PtzOf("VTC0003").value(0), QByteArray("<xml><cmd>ptz_reset</cmd></xml>"));
}

TEST_F(SdkSimTest, ThroughputCommandReachesTheHookForLoopbackTargetsOnly)
{
    std::atomic<int> runs{0};
    SimLan::Instance().SetThroughputRunner([&](const SimThroughputRequest& r, const std::atomic<bool>&) {
        EXPECT_EQ(r.address, QStringLiteral("127.0.0.5"));
        EXPECT_EQ(r.port, 5001);
        EXPECT_EQ(r.durationSec, 10);
        ++runs;
    });
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1519, 0,
                                      "<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"5001\"\r\nDuration=\"10\"\r\n"
                                      "MaxThroughput=\"100\"/>"),
              0);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1519, 0,
                                      "<REQUEST_PARAM\r\nIP=\"192.168.1.10\"\r\nPort=\"5001\"\r\nDuration=\"10\"\r\n"
                                      "MaxThroughput=\"100\"/>"),
              0);
    // Octal spelling of 127: the runner gets the address in the plain form that
    // was checked, never a text another parser could read as 177.0.0.5.
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1519, 0,
                                      "<REQUEST_PARAM\r\nIP=\"0177.0.0.5\"\r\nPort=\"5001\"\r\nDuration=\"10\"\r\n"
                                      "MaxThroughput=\"100\"/>"),
              0);
    EXPECT_TRUE(WaitUntil([&] { return runs.load() == 2; }, 10000));
    FC_Loc_Cleanup();   // joins the runner threads
    EXPECT_EQ(runs.load(), 2);
    ASSERT_EQ(SimLan::Instance().ThroughputRequests().size(), 2);
    EXPECT_EQ(SimLan::Instance().ThroughputRequests().at(0).serial, QStringLiteral("VTC0003"));
    SimLan::Instance().SetThroughputRunner(nullptr);
}

TEST_F(SdkSimTest, ThroughputCommandRunsTheCameraClientAgainstTheStationServer)
{
    SimLan::Instance().SetThroughputRunner(nullptr);   // the camera's own client
    setenv("TPUT_BIND", "127.0.0.1", 1);
    tputlib_init();
    TputResultCollector collector;
    const uint16_t port = TputFreePort();
    tputlib_start_server(2, port, &TputResultCollector::Callback, &collector);
    ASSERT_TRUE(TputWaitListening(port, std::chrono::seconds(2)));

    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &handle), EVENT_LOGINOK);
    const QByteArray body = QString("<REQUEST_PARAM\r\nIP=\"127.0.0.1\"\r\nPort=\"%1\"\r\nDuration=\"2\"\r\n"
                                    "MaxThroughput=\"18\"\r\nSSID=\"line\"\r\nPassword=\"pw\"/>")
                                .arg(port)
                                .toLatin1();
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1519, 0, body.constData()), 0);
    const bool finished = collector.WaitForFinals(1, std::chrono::seconds(15));
    FC_Loc_Cleanup();
    tputlib_cleanup();
    unsetenv("TPUT_BIND");
    ASSERT_TRUE(finished);

    const TputResult final = collector.Finals().at(0);
    EXPECT_STREQ(final.peerAddress, "127.0.0.21") << "the camera sends from its own address";
    // Two seconds paced to 18 Mbit/s; loose bounds for a loaded machine.
    EXPECT_GT(final.bitsPerSecond, 18e6 * 0.7);
    EXPECT_LT(final.bitsPerSecond, 18e6 * 1.3);
}

// Two cameras with one serial (factory-default serials happen) are two
// cameras: each answers the search at its own address, takes its own logins
// and commands, and leaves alone; the LAN names the second "<serial>#2".
TEST_F(SdkSimTest, CamerasSharingASerialAreTwoCameras)
{
    Load("{\"adapter\": {\"address\": \"127.0.0.5\", \"netmask\": \"255.255.255.0\"}, \"cameras\": ["
         "{\"serial\": \"VTD0000000000009\", \"address\": \"127.0.0.31\", \"loginDelayMs\": 5},"
         "{\"serial\": \"VTD0000000000009\", \"address\": \"127.0.0.32\", \"loginDelayMs\": 5}]}");
    const QString first = "VTD0000000000009";
    const QString second = "VTD0000000000009#2";
    EXPECT_EQ(SimLan::Instance().Serials(), (QStringList{first, second}));
    EXPECT_EQ(SimLan::Instance().CameraAddress(second), "127.0.0.32");

    ASSERT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
    ASSERT_TRUE(WaitUntil([] { return FC_Loc_GetSearchIPCCount() == 2; }, 5000));
    FC_Loc_StopSearchIPC();
    QStringList found;
    for (int i = 0; i < 2; ++i) {
        IPCEntry e;
        memset(&e, 0, sizeof e);
        ASSERT_EQ(FC_Loc_GetSearchIPCInfo(i, &e), 0);
        found << QString::fromLatin1(e.ipc_sn) + "@" + QString::fromLatin1(e.szIP);
    }
    found.sort();
    EXPECT_EQ(found, (QStringList{first + "@127.0.0.31", first + "@127.0.0.32"}));

    const int64_t handle = LoggedIn("127.0.0.32");
    ASSERT_GT(handle, 0);
    ASSERT_EQ(FC_Loc_IoTQuery(handle, 1019, 0, ""), 0);
    EXPECT_EQ(SimLan::Instance().CommandsOf(second).size(), 1);
    EXPECT_TRUE(SimLan::Instance().CommandsOf(first).isEmpty());

    ASSERT_TRUE(SimLan::Instance().Leave(second));
    ASSERT_TRUE(WaitUntil([&] { return SimLan::Instance().Serials() == QStringList{first}; }, 5000));
    EXPECT_EQ(SimLan::Instance().DepartedSerials(), QStringList{second});
    EXPECT_EQ(SimLan::Instance().CameraAddress(first), "127.0.0.31");
}

TEST_F(SdkSimTest, PackageUploadChangesTheDigestsAndRestartsTheCamera)
{
    SimCameraConfig cam;
    cam.serial = "VTD0004";
    cam.address = "127.0.0.22";
    cam.hwCfgMd5 = "old-hw";
    cam.sysCfgMd5 = "old-sys";
    cam.uploadedHwCfgMd5 = "new-hw";
    cam.uploadedSysCfgMd5 = "new-sys";
    cam.restartAfterUploadMs = 30;
    cam.loginDelayMs = cam.replyDelayMs = 5;
    ASSERT_TRUE(SimLan::Instance().AddCamera(cam));
    int64_t handle = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.22", 3000, "580347", &handle), EVENT_LOGINOK);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1514, 0, ""), 0);
    SdkEvent e;
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1514; }, 10000, &e));
    EXPECT_TRUE(e.data.startsWith("<REQUEST_PARAM"));
    EXPECT_TRUE(e.data.contains("HW_CFG_MD5=\"old-hw\""));

    QTemporaryDir dir;
    QFile f(dir.filePath("config_raw_data.tgz"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(500, 'p'));
    f.close();
    ASSERT_EQ(FC_Loc_SetCompressFile(handle, QFile::encodeName(f.fileName()).constData()), 0);
    ASSERT_TRUE(recorder.WaitFor([](const SdkEvent& ev) { return ev.reply && (ev.code & 0xFFFFFF) == 1001; }, 10000, &e));
    EXPECT_TRUE(e.data.contains("Type=\"1\""));
    EXPECT_TRUE(recorder.WaitFor(
        [handle](const SdkEvent& ev) { return !ev.reply && ev.handle == handle && ev.code == EVENT_CONNECTFAILED; }, 10000));

    ASSERT_EQ(LoginOutcome("127.0.0.22", 3000, "580347", &handle), EVENT_LOGINOK);
    ASSERT_EQ(FC_Loc_IoTSystemControl(handle, 1514, 0, ""), 0);
    ASSERT_TRUE(recorder.WaitFor([handle](const SdkEvent& ev) {
        return ev.reply && ev.handle == handle && (ev.code & 0xFFFFFF) == 1514;
    }, 2000, &e));
    EXPECT_TRUE(e.data.contains("SYS_CFG_MD5=\"new-sys\""));
}

// Two streams at once; one ends itself from its own callback, the other with
// its session's logout. Neither delivers anything afterwards.
TEST_F(SdkSimTest, StreamsEndFromTheirOwnCallbackOrWithTheirSession)
{
    struct Counter {
        std::atomic<int64_t> handle{0};
        std::atomic<int> packets{0};
        int stopAfter = 0;
        static int On(int64_t h, int, const char*, int, const FC_PacketInfo* p)
        {
            auto* self = static_cast<Counter*>(p->pUser);
            const int n = ++self->packets;
            if (self->stopAfter > 0 && n == self->stopAfter) {
                EXPECT_EQ(FC_Loc_StopRealPlay(h), 0);
            }
            return 0;
        }
    };
    int64_t a = 0, c = 0;
    ASSERT_EQ(LoginOutcome("127.0.0.21", 3001, "580347", &c), EVENT_LOGINOK);
    IPCEntry moved{};
    ASSERT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
    ASSERT_TRUE(WaitUntil([] { return FC_Loc_GetSearchIPCCount() == 3; }, 10000));
    int index = -1;
    for (int i = 0; i < 3; ++i) {
        IPCEntry e;
        FC_Loc_GetSearchIPCInfo(i, &e);
        if (QByteArray(e.ipc_sn) == "VTA0001")
            index = i;
    }
    strcpy(moved.szIP, "127.0.0.31");
    strcpy(moved.szNetmask, "255.255.255.0");
    ASSERT_EQ(FC_Loc_ModifyIPCEx(index, &moved, 1), 0);
    ASSERT_EQ(LoginOutcome("127.0.0.31", 3000, "580347", &a), EVENT_LOGINOK);

    Counter self, other;
    self.stopAfter = 5;
    FC_RealPlayParam p1{}, p2{};
    p1.pUser = &self;
    p2.pUser = &other;
    self.handle = FC_Loc_RealPlayEx(c, "vlx://127.0.0.21", "admin", "580347", &Counter::On, &p1);
    other.handle = FC_Loc_RealPlayEx(a, "127.0.0.31", "admin", "580347", &Counter::On, &p2);
    ASSERT_GT(self.handle.load(), 0);
    ASSERT_GT(other.handle.load(), 0);
    ASSERT_TRUE(WaitUntil([&] { return self.packets >= 5 && other.packets >= 5; }, 10000));
    ASSERT_EQ(FC_Loc_Logout(a), 0);
    const int otherAtLogout = other.packets;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(self.packets.load(), 5);
    EXPECT_EQ(other.packets.load(), otherAtLogout);
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 0);
    EXPECT_LT(FC_Loc_StopRealPlay(other.handle), 0);   // gone with its session
}

// A clear of the status callback waits for a callback in flight and lets no new one start.
TEST_F(SdkSimTest, NoStatusCallbackAfterItIsCleared)
{
    struct Slow {
        std::atomic<int> entered{0};
        std::atomic<int> left{0};
        static int On(int64_t, int, const char*, void* user)
        {
            auto* self = static_cast<Slow*>(user);
            ++self->entered;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ++self->left;
            return 0;
        }
    } slow;
    FC_Loc_SetStatusCallback(&Slow::On, &slow);
    for (int i = 0; i < 5; ++i)
        FC_Loc_Login("127.0.0.21", 3001, "admin", "580347", 0);
    ASSERT_TRUE(WaitUntil([&] { return slow.entered.load() > 0; }, 10000));
    FC_Loc_SetStatusCallback(nullptr, &slow);
    const int enteredAtClear = slow.entered;
    EXPECT_EQ(slow.left.load(), enteredAtClear);   // the one in flight has finished
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(slow.entered.load(), enteredAtClear);
}

TEST(SimStreamTest, MediaHeaderBytesSitAtTheirOffsets)
{
    SimMedia media;
    media.video = false;
    media.sampleRate = 44100;
    media.bits = 16;
    media.channels = 2;
    const FC_MediaHeader h = SimStream::MakeHeader(media);
    const QByteArray raw(reinterpret_cast<const char*>(&h), sizeof h);
    ASSERT_EQ(raw.size(), 1360);
    auto i16 = [&](int at) { int16_t v; memcpy(&v, raw.constData() + at, 2); return int(v); };
    auto i32 = [&](int at) { int32_t v; memcpy(&v, raw.constData() + at, 4); return int(v); };
    EXPECT_EQ(i16(32), 0);
    EXPECT_NE(i16(34), 0);
    EXPECT_EQ(i32(828), 44100);
    EXPECT_EQ(i32(832), 16);
    EXPECT_EQ(i32(836), 2);
    EXPECT_EQ(i32(572), FC_AUDIO_CODEC_PCM);   // first word of the audio part
    // One 40 ms packet of the tone: 1764 stereo samples.
    EXPECT_EQ(SimStream::MakeTone(media, 0, 1764).size(), 1764 * 4);
}

// Runs one SimLanStartTest of this binary alone in a child process, which
// makes the LAN afresh on its first SDK call.
void ExpectChildPasses(const char* test, const QProcessEnvironment& env)
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=SimLanStartTest.") + test});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray out = child.readAllStandardOutput();
    EXPECT_EQ(child.exitCode(), 0) << out.constData();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.constData();
}

const QStringList kSampleSerials = {"VT21A00000000001", "VT21A00000000002", "VT21A00000000003"};

// Runs in a child process (below): the first SDK call of a fresh process loads
// the profile that the environment names and puts up the simulated adapter.
TEST(SimLanStartTest, ChildFirstCallLoadsTheNamedProfile)
{
    if (qEnvironmentVariableIsEmpty("SDK_TEST_CHILD"))
        GTEST_SKIP() << "runs only as the child of LoadsTheProfileNamedByTheEnvironment";
    EXPECT_FALSE(HostAdapters::HasSimulated());
    EXPECT_EQ(FC_Loc_SetWorkMode(6), 0);
    EXPECT_TRUE(HostAdapters::HasSimulated());
    EXPECT_EQ(SimLan::Instance().Serials(), kSampleSerials);
}

TEST(SimLanStartTest, LoadsTheProfileNamedByTheEnvironment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SDK_TEST_CHILD", "1");
    env.insert(SimLan::kProfileEnv, qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/SimProfile.json");
    ExpectChildPasses("ChildFirstCallLoadsTheNamedProfile", env);
}

TEST(SimLanStartTest, ChildFirstCallLoadsTheProfileOfTheFolderHandedIn)
{
    const QString folder = qEnvironmentVariable("SDK_TEST_PROFILE_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of LoadsTheProfileOfTheFolderHandedIn";
    SimLan::SetProfileFolder(folder);
    EXPECT_EQ(FC_Loc_SetWorkMode(6), 0);
    EXPECT_EQ(SimLan::Instance().Serials(), kSampleSerials);
}

// The test binary's own folder holds no profile: only the folder handed in
// can fill the LAN.
TEST(SimLanStartTest, LoadsTheProfileOfTheFolderHandedIn)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/SimProfile.json",
                            folder.filePath(SimLan::kDefaultProfileName)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(SimLan::kProfileEnv);
    env.insert("SDK_TEST_PROFILE_FOLDER", folder.path());
    ExpectChildPasses("ChildFirstCallLoadsTheProfileOfTheFolderHandedIn", env);
}

TEST(SimProfileTest, RejectsBadProfilesWithTheFieldNamed)
{
    struct Case {
        const char* json;
        const char* field;
    };
    const Case cases[] = {
        {R"({"adapter": {"address": "192.168.1.5", "netmask": "255.255.255.0"}})", "adapter.address"},
        {R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0", "mac": "zz"}})", "adapter.mac"},
        {R"({"cameras": [{"serial": "A", "address": "300.1.1.1"}]})", "cameras[0].address"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "media": {"width": 642}}]})", "cameras[0].media"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "replies": {"abc": {}}}]})", "not a command"},
        {R"({"cameras": [{"serial": "0123456789012345678901234567890123", "address": "1.2.3.4"}]})", "serial"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "port": 70000}]})", "port"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "media": {"fps": 1e300}}]})", "fps"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "media": {"fps": 2.5}}]})", "fps"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "faults": {"noReply": ["x"]}}]})", "noReply"},
        {"[1, 2]", "not a JSON object"},
    };
    for (const Case& c : cases) {
        SimProfile p;
        QString error;
        EXPECT_FALSE(SimProfile::Parse(c.json, &p, &error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.field))) << qPrintable(error);
    }
}

TEST(SimProfileTest, SampleProfileHasThreeCamerasAroundTheStationSubnet)
{
    SimProfile p;
    QString error;
    const QString path = qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/SimProfile.json";
    ASSERT_TRUE(SimProfile::Load(path, &p, &error)) << qPrintable(error);
    ASSERT_TRUE(p.hasAdapter);
    ASSERT_EQ(p.cameras.size(), 3);
    const QString subnet = p.adapter.address.section('.', 0, 2) + ".";
    int factory = 0, onSubnet = 0, offSubnet = 0;
    for (const SimCameraConfig& c : p.cameras) {
        if (c.address == QLatin1String("192.168.0.123"))
            ++factory;
        else if (c.address.startsWith(subnet))
            ++onSubnet;
        else
            ++offSubnet;
    }
    EXPECT_EQ(factory, 1);
    EXPECT_EQ(onSubnet, 1);
    EXPECT_EQ(offSubnet, 1);
}

}  // namespace
