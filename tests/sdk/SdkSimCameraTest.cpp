// What one simulated camera answers and keeps: its type, scripted reply lists,
// 4G cards, command channels and faults, bounded logs, throughput runs,
// talk-back frames, lenses and the media header's timing.
#include "SdkTestSupport.h"

#include "Clock.h"
#include "SdkCallLog.h"
#include "sim/SimLan.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The value of attribute name in a reply text; a null text when absent.
QString Attr(const QByteArray& reply, const char* name)
{
    const QRegularExpression re(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(QLatin1String(name)));
    const auto m = re.match(QString::fromLatin1(reply));
    return m.hasMatch() ? m.captured(1) : QString();
}

// Operator class of an ICCID by its fifth and sixth characters: 0 telecom, 1 mobile.
int IccidClass(const QString& iccid)
{
    const QString two = iccid.mid(4, 2);
    if (two == "03" || two == "11")
        return 0;
    if (two == "00" || two == "02" || two == "04" || two == "07")
        return 1;
    return -1;
}

// A camera at 127.0.0.21 on the adapter's subnet.
QByteArray OneCamera(const QByteArray& extra = QByteArray())
{
    return R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"},
               "cameras": [{"serial": "VT21A00000000021", "address": "127.0.0.21", "searchDelayMs": 5,
                            "loginDelayMs": 5, "replyDelayMs": 5)" +
           extra + "}]}";
}

class SimCameraTest : public SimLanTest {
protected:
    // Sends command by the query call and returns its reply (the n-th one).
    SdkEvent Ask(int64_t handle, int command, int n = 0)
    {
        EXPECT_EQ(FC_Loc_IoTQuery(handle, command, 0, ""), 0);
        SdkEvent reply;
        EXPECT_TRUE(ReplyTo(handle, command, &reply, n)) << command;
        return reply;
    }

    static int Status(const SdkEvent& reply) { return int(int8_t(uint32_t(reply.code) >> 24)); }

    const QString serial = "VT21A00000000021";
};

TEST_F(SimCameraTest, TypedCamerasAnswerWithTheirTypeAuthorizationAndCards)
{
    Load(ReadSampleProfile("SimTypedProfile.json"));
    struct Case {
        const char* serial;
        const char* address;
        int devType;
        int sdkType;
        int cards;
    };
    const Case cases[] = {
        {"VT21W10000000001", "127.0.0.31", 1, 0, 0}, {"VT21W40000000002", "127.0.0.32", 4, 0, 0},
        {"VT21G30000000003", "127.0.0.33", 3, 0, 1}, {"VT21G60000000004", "127.0.0.34", 6, 0, 2},
        {"VT21C50000000005", "127.0.0.35", 5, 0, 0}, {"VT21T10000000006", "127.0.0.36", 1, 1, 0},
    };
    const QStringList telecom = {"46003", "46005", "46011", "CHN-CT", "CT", "CHINA TELECOM"};
    const QStringList mobile = {"46000", "46002", "46004", "46007", "46008", "CHN-CM", "CHINA MOBILE", "CMCC"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        const int64_t h = LoggedIn(c.address);
        ASSERT_GT(h, 0);
        const QByteArray type = Ask(h, 1030).data;
        EXPECT_EQ(Attr(type, "DevMType"), "101");
        EXPECT_EQ(Attr(type, "DevType"), QString::number(c.devType));
        EXPECT_EQ(Attr(type, "SDKType"), QString::number(c.sdkType));
        EXPECT_EQ(Attr(Ask(h, 1019).data, "SerialNumber"), c.serial);

        const QByteArray auth = Ask(h, 1750).data;
        EXPECT_EQ(Attr(auth, "AutorizationStatus"), "1");
        EXPECT_EQ(Attr(auth, "UUID").isEmpty(), c.sdkType != 1) << auth.constData();
        EXPECT_EQ(Attr(auth, "Key").isEmpty(), c.sdkType != 1);

        // The 4G cameras ask the station to wait twice (status 1), then answer in full.
        const int waits = c.cards > 0 ? 2 : 0;
        for (int i = 0; i < waits; ++i)
            EXPECT_EQ(Status(Ask(h, 1532, i)), 1);
        const SdkEvent full = Ask(h, 1532, waits);
        EXPECT_EQ(Status(full), 0);
        EXPECT_EQ(Status(Ask(h, 1532, waits + 1)), 0);   // the last one repeats
        EXPECT_EQ(IccidClass(Attr(full.data, "ICCID")), 0);
        EXPECT_TRUE(telecom.contains(Attr(full.data, "Operator"))) << full.data.constData();
        EXPECT_EQ(Attr(full.data, "ConnectInternet"), "1");
        if (c.cards == 2) {
            EXPECT_EQ(IccidClass(Attr(full.data, "ICCID2")), 1) << full.data.constData();
            EXPECT_TRUE(mobile.contains(Attr(full.data, "Operator2")));
            EXPECT_EQ(Attr(full.data, "Err2"), "0");
            EXPECT_GT(Attr(full.data, "SignalStrength2").toInt(), 0);
            EXPECT_EQ(Attr(full.data, "ConnectInternet2"), "1");
        } else {
            EXPECT_TRUE(Attr(full.data, "ICCID2").isNull());
        }
    }
}

TEST_F(SimCameraTest, ReplyListsAreUsedInOrderWithTheLastRepeated)
{
    Load(OneCamera());
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    SimReply first, second;
    first.text = "<RESPONSE_PARAM\r\nResult=\"1\"\r\n/>";
    second.status = -1;                                          // the built-in text, failing
    ASSERT_TRUE(SimLan::Instance().SetReplies(serial, 1106, {first, second}));
    const SdkEvent a = Ask(h, 1106, 0), b = Ask(h, 1106, 1), c = Ask(h, 1106, 2);
    EXPECT_EQ(a.data, first.text);
    EXPECT_EQ(Status(a), 0);
    EXPECT_EQ(Attr(b.data, "Result"), "0");
    EXPECT_EQ(Status(b), -1);
    EXPECT_EQ(c.data, b.data);
    EXPECT_EQ(Status(c), -1);

    // Scripting again starts the list from its first entry.
    ASSERT_TRUE(SimLan::Instance().SetReplies(serial, 1106, {first, second}));
    EXPECT_EQ(Ask(h, 1106, 3).data, first.text);
    EXPECT_FALSE(SimLan::Instance().SetReplies(serial, 1106, {}));
    EXPECT_FALSE(SimLan::Instance().SetReplies("VT21A99999999999", 1106, {first}));
}

TEST_F(SimCameraTest, CommandsKeepTheirChannel)
{
    Load(OneCamera());
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1512, 0, ""), 0);
    ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1512, 1, ""), 0);
    ASSERT_EQ(FC_Loc_IoTChannelControl(h, 1504, 0, "<REQUEST_PARAM IrcutStatus=\"1\"\r\n/>", 1), 0);
    ASSERT_EQ(FC_Loc_IoTQuery(h, 1019, 0, ""), 0);
    const QVector<SimCommand> seen = SimLan::Instance().CommandsOf(serial);
    ASSERT_EQ(seen.size(), 4);
    struct Expect {
        int code;
        int channel;
        const char* via;
    };
    const Expect expected[] = {{1512, 0, "FC_Loc_IoTSystemControl"},
                               {1512, 1, "FC_Loc_IoTSystemControl"},
                               {1504, 1, "FC_Loc_IoTChannelControl"},
                               {1019, 0, "FC_Loc_IoTQuery"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen.at(i).code, expected[i].code) << i;
        EXPECT_EQ(seen.at(i).channel, expected[i].channel) << i;
        EXPECT_EQ(seen.at(i).via, expected[i].via) << i;
    }
}

// A command the SDK cannot send fails the call: nothing reaches the camera and
// no reply comes; the call log holds the negative result.
TEST_F(SimCameraTest, SendFaultFailsTheCallAndTheCameraSeesNothing)
{
    Load(OneCamera(R"(, "faults": {"sendFails": [1596, 1002]})"));
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    EXPECT_EQ(FC_Loc_IoTSystemControl(h, 1596, 0, "<SensorSwitch \r\nSensorId=\"1\"\r\nIspMode=\"0\"\r\n/>"),
              FC_ERR_SEND);
    EXPECT_EQ(FC_Loc_IoTQuery(h, 1002, 0, ""), FC_ERR_SEND);
    EXPECT_EQ(FC_Loc_IoTQuery(h, 1019, 0, ""), 0);
    EXPECT_TRUE(ReplyTo(h, 1019, nullptr));
    EXPECT_FALSE(ReplyTo(h, 1596, nullptr, 0, 200));
    EXPECT_FALSE(ReplyTo(h, 1002, nullptr, 0, 10));
    const QVector<SimCommand> seen = SimLan::Instance().CommandsOf(serial);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.at(0).code, 1019);
    const QVector<SdkCall> calls = SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery");
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_TRUE(calls.at(0).arguments.contains(",1002,"));
    EXPECT_EQ(calls.at(0).result, FC_ERR_SEND);
}

// A long run keeps only the newest entries of each of a camera's logs.
TEST_F(SimCameraTest, LogsKeepTheNewestEntries)
{
    Load(OneCamera(R"(, "faults": {"noReply": [1512, 1001]})"));
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath("logo.bmp");
    ASSERT_TRUE(WriteFile(path, "BM"));
    ASSERT_TRUE(StartSpeaking(h));

    const int total = SimCamera::kMaxLogEntries + 25;
    for (int i = 0; i < total; ++i) {
        const QByteArray n = QByteArray::number(i);
        ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1512, 0, n.constData()), 0);
        ASSERT_EQ(FC_Loc_PTZControl(h, n.constData()), 0);
        ASSERT_EQ(FC_Loc_UploadLogo(h, QFile::encodeName(path).constData()), 0);
        FC_TalkFrame frame{};
        frame.nLength = n.size();
        frame.pData = n.constData();
        frame.dwSequence = uint32_t(i);
        ASSERT_EQ(FC_Loc_SendTalkFrame(h, &frame), 0);
    }
    SimLan& lan = SimLan::Instance();
    const QVector<SimCommand> commands = lan.CommandsOf(serial);
    const QVector<QByteArray> ptz = lan.PtzOf(serial);
    const QVector<SimTalkFrame> talk = lan.TalkFrameLogOf(serial);
    ASSERT_EQ(commands.size(), SimCamera::kMaxLogEntries);
    ASSERT_EQ(ptz.size(), SimCamera::kMaxLogEntries);
    ASSERT_EQ(talk.size(), SimCamera::kMaxLogEntries);
    EXPECT_EQ(lan.UploadsOf(serial).size(), SimCamera::kMaxLogEntries);
    EXPECT_EQ(commands.first().body, "25");
    EXPECT_EQ(commands.last().body, QByteArray::number(total - 1));
    EXPECT_EQ(ptz.first(), "25");
    EXPECT_EQ(talk.first().sequence2, 25u);
    EXPECT_EQ(talk.last().payload, QByteArray::number(total - 1));
    EXPECT_EQ(lan.TalkFramesOf(serial), total);   // the count covers every frame
}

// Reads the process's virtual size from /proc, in kB.
long VirtualKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Each throughput command runs on a thread of its own; a finished one is joined
// as it ends, not at clean-up, so 300 commands leave the process's size flat.
TEST_F(SimCameraTest, FinishedThroughputRunsAreJoinedAsTheyEnd)
{
    Load(OneCamera());
    std::atomic<int> runs{0};
    SimLan::Instance().SetThroughputRunner([&](const SimThroughputRequest&, const std::atomic<bool>&) { ++runs; });
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    const char* body = "<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"5001\"\r\nDuration=\"1\"\r\nMaxThroughput=\"1\"/>";
    auto send = [&](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1519, 0, body), 0);
    };
    send(20);
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().ThroughputThreads() == 0; }, 20000));
    const long before = VirtualKb();
    send(300);
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().ThroughputThreads() == 0; }, 30000))
        << SimLan::Instance().ThroughputThreads() << " threads not joined";
    const long after = VirtualKb();
    EXPECT_EQ(runs.load(), 320);
    ASSERT_GT(before, 0);
    // Unjoined, 300 threads keep about 2.4 GB of stacks. Joined, what remains is
    // the allocator's own bookkeeping for the threads that ran at once, which
    // grows with the machine's load (a few hundred MB under the sanitizer on a
    // busy machine), so the bound sits well between the two.
    EXPECT_LT(after - before, 1024 * 1024) << before << " kB -> " << after << " kB";
    SimLan::Instance().SetThroughputRunner(nullptr);
}

// An unplugged camera's throughput runs are told to stop.
TEST_F(SimCameraTest, UnplugStopsTheCamerasThroughputRuns)
{
    Load(OneCamera());
    std::atomic<int> stopped{0};
    SimLan::Instance().SetThroughputRunner([&](const SimThroughputRequest&, const std::atomic<bool>& stop) {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ++stopped;
    });
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    const char* body = "<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"5001\"\r\nDuration=\"60\"\r\nMaxThroughput=\"1\"/>";
    ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1519, 0, body), 0);
    ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1519, 0, body), 0);
    EXPECT_EQ(SimLan::Instance().ThroughputThreads(), 2);
    ASSERT_TRUE(SimLan::Instance().Unplug(serial));
    EXPECT_TRUE(WaitUntil([] { return SimLan::Instance().ThroughputThreads() == 0; }, 10000));
    EXPECT_EQ(stopped.load(), 2);
    SimLan::Instance().SetThroughputRunner(nullptr);
}

TEST_F(SimCameraTest, ReaddressingTakesOnlyPlainAddresses)
{
    Load(OneCamera());
    ASSERT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
    ASSERT_TRUE(WaitUntil([] { return FC_Loc_GetSearchIPCCount() == 1; }, 10000));
    IPCEntry e;
    ASSERT_EQ(FC_Loc_GetSearchIPCInfo(0, &e), 0);
    for (const char* bad : {" 127.0.0.30", "0x7f.0.0.30", "127.0.0.030", "127.30"}) {
        strcpy(e.szIP, bad);
        EXPECT_EQ(FC_Loc_ModifyIPCEx(0, &e, 1), FC_ERR_PARAM) << bad;
    }
    EXPECT_EQ(SimLan::Instance().CameraAddress(serial), "127.0.0.21");
    strcpy(e.szIP, "127.0.0.30");
    EXPECT_EQ(FC_Loc_ModifyIPCEx(0, &e, 1), 0);
    EXPECT_EQ(SimLan::Instance().CameraAddress(serial), "127.0.0.30");
}

std::atomic<uint64_t> g_fakeTick{0};
uint64_t FakeTick()
{
    return g_fakeTick.load();
}

// Talk-back frames are kept as they came: handle, length, both sequence
// fields, time stamp, arrival tick and payload.
TEST_F(SimCameraTest, TalkFramesAreKeptWhole)
{
    Load(OneCamera());
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    ASSERT_TRUE(StartSpeaking(h));
    Clock::SetTickSource(&FakeTick);
    struct Sent {
        QByteArray payload;
        uint32_t timeStamp;
        uint16_t sequence;
        uint32_t sequence2;
        uint64_t tick;
    };
    const Sent sent[] = {
        {QByteArray(1024, '\x55'), 0xFFFFFFF0u, 0, 0, 1000},
        {QByteArray("\x00\x01\x02\x00", 4), 0x00000010u, 65535, 65535, 1025},
        {QByteArray(), 7u, 0, 65536, 1050},   // a sequence past 16 bits: the short copy wraps
    };
    for (const Sent& s : sent) {
        g_fakeTick = s.tick;
        FC_TalkFrame frame{};
        frame.nLength = s.payload.size();
        frame.dwTimeStamp = s.timeStamp;
        frame.wSequence = s.sequence;
        frame.dwSequence = s.sequence2;
        frame.pData = s.payload.isEmpty() ? nullptr : s.payload.constData();
        ASSERT_EQ(FC_Loc_SendTalkFrame(h, &frame), 0);
    }
    Clock::SetTickSource(nullptr);
    const QVector<SimTalkFrame> got = SimLan::Instance().TalkFrameLogOf(serial);
    ASSERT_EQ(got.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].loginHandle, h);
        EXPECT_EQ(got[i].length, sent[i].payload.size());
        EXPECT_EQ(got[i].payload, sent[i].payload);
        EXPECT_EQ(got[i].timeStamp, sent[i].timeStamp);
        EXPECT_EQ(got[i].sequence, sent[i].sequence);
        EXPECT_EQ(got[i].sequence2, sent[i].sequence2);
        EXPECT_EQ(got[i].arrivalTick, sent[i].tick);
    }
    EXPECT_EQ(SimLan::Instance().TalkFramesOf(serial), 3);
}

// A two-lens camera (feature bit 0) streams the lens FC_RealPlayParam::nChannel
// names: channel 1's picture has no colour. One lens takes channel 0 (or -1) only.
TEST_F(SimCameraTest, TwoLensCameraPlaysTheChannelAsked)
{
    Load(R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"},
             "cameras": [{"serial": "VT21A00000000021", "address": "127.0.0.21", "feature": 1, "loginDelayMs": 5,
                          "media": {"width": 64, "height": 32, "audio": false}},
                         {"serial": "VT21A00000000022", "address": "127.0.0.22", "loginDelayMs": 5,
                          "media": {"width": 64, "height": 32, "audio": false}}]})");
    const int64_t two = LoggedIn("127.0.0.21");
    const int64_t one = LoggedIn("127.0.0.22");
    ASSERT_GT(two, 0);
    ASSERT_GT(one, 0);
    struct Case {
        int64_t login;
        const char* url;
        int channel;
        bool plays;
        bool grey;
    };
    const Case cases[] = {
        {two, "vlx://127.0.0.21", 0, true, false}, {two, "vlx://127.0.0.21", 1, true, true},
        {two, "vlx://127.0.0.21", -1, true, false}, {two, "vlx://127.0.0.21", 2, false, false},
        {one, "vlx://127.0.0.22", 0, true, false}, {one, "vlx://127.0.0.22", 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 channel %2").arg(c.url).arg(c.channel).toStdString());
        SdkCallLog::Instance().Clear();
        LivePlay play;
        play.width = 64;
        play.height = 32;
        const int64_t handle = play.Start(c.login, c.url, c.channel);
        const QVector<SdkCall> calls = SdkCallLog::Instance().CallsOf("FC_Loc_RealPlayEx");
        ASSERT_EQ(calls.size(), 1);
        EXPECT_TRUE(calls.at(0).arguments.endsWith(QStringLiteral(",%1").arg(c.channel))) << qPrintable(calls.at(0).arguments);
        if (!c.plays) {
            EXPECT_EQ(handle, FC_ERR_PARAM);
            play.Stop();
            continue;
        }
        ASSERT_GT(handle, 0);
        EXPECT_TRUE(WaitUntil([&] { return play.videoFrames >= 5; }, 10000));
        play.Stop();
        EXPECT_EQ(play.badFrames.load(), 0);
        EXPECT_EQ(play.greyFrames.load() == play.videoFrames.load(), c.grey)
            << play.greyFrames << " of " << play.videoFrames << " without colour";
        EXPECT_EQ(play.greyFrames.load() == 0, !c.grey);
    }
}

// With headerBeforeReturn the media header's callback has run before
// FC_Loc_RealPlayEx hands out the handle; the stream goes on as usual.
TEST_F(SimCameraTest, MediaHeaderCanComeBeforeThePlayCallReturns)
{
    Load(OneCamera(R"(, "headerBeforeReturn": true, "media": {"width": 64, "height": 32})"));
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    LivePlay play;
    play.width = 64;
    play.height = 32;
    play.adoptEarlyHandle = true;
    const int64_t handle = play.Start(h, "vlx://127.0.0.21");
    ASSERT_GT(handle, 0);
    EXPECT_EQ(play.headers.load(), 1);              // already delivered
    EXPECT_TRUE(play.headerBeforeHandle.load());
    EXPECT_EQ(play.realHandle.load(), handle);
    EXPECT_FALSE(play.callbackOnCaller.load());     // on the stream's own thread all the same
    EXPECT_TRUE(WaitUntil([&] { return play.videoFrames >= 3 && play.audioFrames >= 3; }, 10000));
    play.Stop();
    EXPECT_EQ(play.inputErrors.load(), 0);
}

}  // namespace
