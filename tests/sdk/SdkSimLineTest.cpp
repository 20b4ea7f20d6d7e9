// Cameras that come and go: unplugged and plugged back, joining late, leaving
// after their stream or a command, and a production line of them.
#include "SdkTestSupport.h"

#include "sim/SimLan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {

using SteadyClock = std::chrono::steady_clock;

long long MsSince(SteadyClock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t).count();
}

QByteArray Profile(const QByteArray& cameras, const QByteArray& line = QByteArray())
{
    return R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"}, "cameras": [)" + cameras + "]" +
           (line.isEmpty() ? QByteArray() : ", \"line\": " + line) + "}";
}

// Counts the packets of one stream.
struct Counter {
    std::atomic<int> packets{0};
    static int On(int64_t, int, const char*, int, const FC_PacketInfo* p)
    {
        ++static_cast<Counter*>(p->pUser)->packets;
        return 0;
    }
};

class SimLineTest : public SimLanTest {
protected:
    // Serial numbers a search finds, once it has found `expected` of them. Every
    // camera here answers a search after the same delay, in serial-number order.
    QStringList Search(int expected)
    {
        EXPECT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
        EXPECT_TRUE(WaitUntil([=] { return FC_Loc_GetSearchIPCCount() >= expected; }, 10000));
        FC_Loc_StopSearchIPC();
        QStringList out;
        for (int i = 0; i < FC_Loc_GetSearchIPCCount(); ++i) {
            IPCEntry e;
            EXPECT_EQ(FC_Loc_GetSearchIPCInfo(i, &e), 0);
            out << QString::fromLatin1(e.ipc_sn);
        }
        return out;
    }

    bool StatusFor(int64_t handle, int type, int timeoutMs = 10000)
    {
        return recorder.WaitFor([=](const SdkEvent& e) { return !e.reply && e.handle == handle && e.code == type; },
                                timeoutMs);
    }

    int64_t Play(int64_t login, const char* url, Counter* counter)
    {
        FC_RealPlayParam param{};
        param.pUser = counter;
        param.nChannel = -1;
        return FC_Loc_RealPlayEx(login, url, "admin", "580347", &Counter::On, &param);
    }
};

constexpr const char* kA = "VT21A00000000021";
constexpr const char* kB = "VT21A00000000022";

TEST_F(SimLineTest, UnpluggedCameraFallsSilentAndIsReportedLostAfterItsDelay)
{
    Load(Profile(R"({"serial": "VT21A00000000021", "address": "127.0.0.21", "searchDelayMs": 5, "loginDelayMs": 5,
                     "replyDelayMs": 5, "linkLossDelayMs": 400},
                    {"serial": "VT21A00000000022", "address": "127.0.0.22", "searchDelayMs": 5, "loginDelayMs": 5,
                     "replyDelayMs": 5})"));
    const int64_t a = LoggedIn("127.0.0.21");
    const int64_t b = LoggedIn("127.0.0.22");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    Counter counter;
    const int64_t stream = Play(a, "vlx://127.0.0.21", &counter);
    ASSERT_GT(stream, 0);
    ASSERT_TRUE(WaitUntil([&] { return counter.packets >= 5; }, 10000));

    const auto unplugged = SteadyClock::now();
    ASSERT_TRUE(SimLan::Instance().Unplug(kA));
    EXPECT_FALSE(SimLan::Instance().Unplug(kA));   // already off the LAN
    EXPECT_FALSE(SimLan::Instance().IsPlugged(kA));
    const int atUnplug = counter.packets;
    // The SDK still takes calls on the session, but the camera hears none of them.
    const int commandsBefore = SimLan::Instance().CommandsOf(kA).size();
    EXPECT_EQ(FC_Loc_IoTQuery(a, 1019, 0, ""), 0);
    EXPECT_EQ(FC_Loc_PTZControl(a, "<xml><cmd>stop</cmd></xml>"), 0);
    EXPECT_EQ(FC_Loc_StartSpeak(a, 0), 0);
    EXPECT_EQ(SimLan::Instance().CommandsOf(kA).size(), commandsBefore);
    EXPECT_TRUE(SimLan::Instance().PtzOf(kA).isEmpty());
    Counter late;
    EXPECT_EQ(Play(a, "vlx://127.0.0.21", &late), FC_ERR_NOT_FOUND);
    EXPECT_EQ(Search(1), QStringList({kB}));

    // Its login and its stream are reported lost, not before the camera's delay.
    ASSERT_TRUE(StatusFor(a, EVENT_CONNECTFAILED));
    EXPECT_GE(MsSince(unplugged), 400);
    EXPECT_TRUE(StatusFor(stream, EVENT_CONNECTFAILED_STREAM));
    EXPECT_EQ(counter.packets.load(), atUnplug);
    EXPECT_FALSE(ReplyTo(a, 1019, nullptr, 0, 10));
    EXPECT_FALSE(recorder.WaitFor([](const SdkEvent& e) { return e.code == EVENT_STARTAUDIOOK; }, 10));
    EXPECT_EQ(FC_Loc_IoTQuery(a, 1019, 0, ""), FC_ERR_HANDLE);   // now the handle is stale
    int64_t refused = 0;
    EXPECT_EQ(LoginOutcome("127.0.0.21", 3000, "580347", &refused), EVENT_CONNECTFAILED_LOGIN);

    // The other camera never noticed.
    EXPECT_EQ(FC_Loc_IoTQuery(b, 1019, 0, ""), 0);
    EXPECT_TRUE(ReplyTo(b, 1019, nullptr));

    // Plugged back, it is found, takes a login and answers again.
    ASSERT_TRUE(SimLan::Instance().Replug(kA));
    EXPECT_FALSE(SimLan::Instance().Replug(kA));
    EXPECT_EQ(Search(2).size(), 2);
    const int64_t again = LoggedIn("127.0.0.21");
    ASSERT_GT(again, 0);
    EXPECT_EQ(FC_Loc_IoTQuery(again, 1019, 0, ""), 0);
    EXPECT_TRUE(ReplyTo(again, 1019, nullptr));
}

// A reply already on its way when the camera is unplugged never arrives, and an
// unplug with a delay of its own overrides the camera's.
TEST_F(SimLineTest, ReplyInFlightIsLostWithTheCamera)
{
    Load(Profile(R"({"serial": "VT21A00000000021", "address": "127.0.0.21", "loginDelayMs": 5,
                     "replyDelayMs": 800, "linkLossDelayMs": 60000})"));
    const int64_t a = LoggedIn("127.0.0.21");
    ASSERT_GT(a, 0);
    ASSERT_EQ(FC_Loc_IoTQuery(a, 1019, 0, ""), 0);
    const auto unplugged = SteadyClock::now();
    ASSERT_TRUE(SimLan::Instance().Unplug(kA, 1200));
    ASSERT_TRUE(StatusFor(a, EVENT_CONNECTFAILED));
    EXPECT_GE(MsSince(unplugged), 1200);
    EXPECT_FALSE(ReplyTo(a, 1019, nullptr, 0, 10));
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
}

TEST_F(SimLineTest, CameraJoinsAfterItsDelay)
{
    const auto loaded = SteadyClock::now();
    Load(Profile(R"({"serial": "VT21A00000000021", "address": "127.0.0.21", "searchDelayMs": 5,
                     "loginDelayMs": 5, "joinAfterMs": 600})"));
    if (MsSince(loaded) < 500) {
        EXPECT_FALSE(SimLan::Instance().IsPlugged(kA));
        EXPECT_TRUE(SimLan::Instance().Serials().contains(kA));   // held, not yet on the LAN
    }
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().IsPlugged(kA); }, 10000));
    EXPECT_GE(MsSince(loaded), 600);
    EXPECT_EQ(Search(1), QStringList({kA}));
    EXPECT_GT(LoggedIn("127.0.0.21"), 0);
}

// A camera leaves a set time after its first stream, or after a given command;
// once its loss is reported it is forgotten with its logs.
TEST_F(SimLineTest, CameraLeavesAfterItsFirstStreamOrAGivenCommand)
{
    Load(Profile(R"({"serial": "VT21A00000000021", "address": "127.0.0.21", "loginDelayMs": 5, "replyDelayMs": 5,
                     "leaveAfterStreamMs": 300, "linkLossDelayMs": 100},
                    {"serial": "VT21A00000000022", "address": "127.0.0.22", "loginDelayMs": 5, "replyDelayMs": 5,
                     "leaveOnCommand": 1598, "leaveAfterCommandMs": 200})"));
    const int64_t a = LoggedIn("127.0.0.21");
    const int64_t b = LoggedIn("127.0.0.22");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ASSERT_EQ(FC_Loc_IoTQuery(a, 1598, 0, ""), 0);   // not the one that ends this camera
    Counter counter;
    const auto streamed = SteadyClock::now();
    const int64_t stream = Play(a, "vlx://127.0.0.21", &counter);
    ASSERT_GT(stream, 0);
    ASSERT_EQ(FC_Loc_IoTQuery(b, 1019, 0, ""), 0);
    const auto commanded = SteadyClock::now();
    ASSERT_EQ(FC_Loc_IoTSystemControl(b, 1598, 0, ""), 0);

    ASSERT_TRUE(StatusFor(a, EVENT_CONNECTFAILED));
    EXPECT_GE(MsSince(streamed), 400);
    EXPECT_TRUE(StatusFor(stream, EVENT_CONNECTFAILED_STREAM));
    ASSERT_TRUE(StatusFor(b, EVENT_CONNECTFAILED));
    EXPECT_GE(MsSince(commanded), 200);

    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().Serials().isEmpty(); }, 10000));
    EXPECT_EQ(SimLan::Instance().DepartedSerials().size(), 2);
    EXPECT_TRUE(SimLan::Instance().DepartedSerials().contains(kA));
    EXPECT_TRUE(SimLan::Instance().CommandsOf(kB).isEmpty());
    EXPECT_FALSE(SimLan::Instance().Replug(kA));
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 0);
}

// The line's cameras arrive one after another at the factory address; each is
// re-addressed, logged in, sent the command that ends it, and leaves.
TEST_F(SimLineTest, LineBringsItsCamerasInTurn)
{
    Load(Profile("", R"({"count": 3, "joinAfterMs": 20, "serialPrefix": "VT21LT",
                         "camera": {"searchDelayMs": 5, "loginDelayMs": 5, "replyDelayMs": 5,
                                    "leaveOnCommand": 1019, "leaveAfterCommandMs": 100}})"));
    for (int i = 0; i < 3; ++i) {
        const QString serial = QStringLiteral("VT21LT%1").arg(i + 1, 10, 10, QChar('0'));
        SCOPED_TRACE(serial.toStdString());
        ASSERT_TRUE(WaitUntil([&] { return SimLan::Instance().IsPlugged(serial); }, 10000));
        EXPECT_EQ(SimLan::Instance().Serials(), QStringList({serial}));   // one slot: one camera at a time
        ASSERT_EQ(Search(1), QStringList({serial}));
        IPCEntry e;
        ASSERT_EQ(FC_Loc_GetSearchIPCInfo(0, &e), 0);
        EXPECT_STREQ(e.szIP, SimProfile::kFactoryAddress);
        const QByteArray address = "127.0.0." + QByteArray::number(40 + i);
        strcpy(e.szIP, address.constData());
        ASSERT_EQ(FC_Loc_ModifyIPCEx(0, &e, 1), 0);
        const int64_t h = LoggedIn(address.constData());
        ASSERT_GT(h, 0);
        ASSERT_EQ(FC_Loc_IoTQuery(h, 1019, 0, ""), 0);
        EXPECT_TRUE(ReplyTo(h, 1019, nullptr));
        ASSERT_TRUE(StatusFor(h, EVENT_CONNECTFAILED));
        ASSERT_TRUE(WaitUntil([&] { return !SimLan::Instance().Serials().contains(serial); }, 10000));
    }
    EXPECT_EQ(SimLan::Instance().DepartedSerials(),
              QStringList({"VT21LT0000000001", "VT21LT0000000002", "VT21LT0000000003"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // ten join delays: nobody else comes
    EXPECT_TRUE(SimLan::Instance().Serials().isEmpty());
}

// A long line keeps no more cameras than its slots, and remembers only the
// newest departures: what it holds stays flat however many cameras pass.
TEST_F(SimLineTest, LongLineStaysFlat)
{
    const int count = SimLan::kMaxDeparted + 100;
    Load(Profile("", QStringLiteral(R"({"count": %1, "slots": 2, "joinAfterMs": 0, "serialPrefix": "VT21LF",
                                         "camera": {"leaveOnCommand": 1019}})")
                         .arg(count)
                         .toLatin1()));
    int left = 0;
    int most = 0;
    while (left < count) {
        QStringList present;
        ASSERT_TRUE(WaitUntil([&] {
            present = SimLan::Instance().Serials();
            return !present.isEmpty();
        }, 10000)) << left << " left so far";
        most = std::max(most, int(present.size()));
        for (const QString& serial : present) {
            if (SimLan::Instance().Leave(serial))
                ++left;
        }
    }
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().Serials().isEmpty(); }, 10000));
    const QStringList departed = SimLan::Instance().DepartedSerials();
    EXPECT_LE(most, 2);
    EXPECT_EQ(departed.size(), SimLan::kMaxDeparted);
    EXPECT_EQ(departed.last(), QStringLiteral("VT21LF%1").arg(count, 10, 10, QChar('0')));
}

}  // namespace
