#include "TputClient.h"
#include "TputLib.h"
#include "TputSend.h"
#include "TputTestSupport.h"
#include "TputThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class TputServer : public TputServerFixture {};

// A peer's request for a test back to itself.
struct TestBackCase {
    const char* name;
    uint32_t flags;
    int32_t threads;
    bool expectBack;
    bool backAfterClose; // tradeoff: the test back starts when the peer's test ended
};

void PrintTo(const TestBackCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputTestBack : public TputServer, public ::testing::WithParamInterface<TestBackCase> {};

TEST_P(TputTestBack, RunsOnlySaneRequestsAndCountsThePeerEitherWay)
{
    const TestBackCase& c = GetParam();
    const uint16_t port = Start(1);
    uint16_t backPort = 0;
    const int backListener = TputListenLoopback(&backPort);
    const auto wait = c.expectBack ? 6000ms : 2500ms;
    auto back = std::async(std::launch::async, [&] { return TputAcceptAndCount(backListener, wait); });
    ::testing::internal::CaptureStderr();

    TputClientOptions o;
    o.port = port;
    // The peer's test outlasts the half second back by a second, so a dual
    // test back ends well before the peer and a tradeoff well after it.
    o.durationSeconds = 1.5;
    o.rateBitsPerSecond = 8e6;
    o.headerFlags = c.flags;
    o.headerThreads = c.threads;
    o.headerPort = backPort;
    o.headerAmount = -50; // half a second back
    const TputClientResult sent = TputClient(o).Run();
    const auto peerDone = std::chrono::steady_clock::now();
    ASSERT_EQ(sent.error, 0);

    const int64_t backBytes = back.get();
    const auto backDone = std::chrono::steady_clock::now();
    close(backListener);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("asked for a test back") != std::string::npos, c.threads > 16) << err;
    if (c.expectBack) {
        EXPECT_GT(backBytes, 0);
        ASSERT_TRUE(collector.WaitForFinals(2, 5s));
        if (c.backAfterClose)
            EXPECT_GE(backDone - peerDone, 400ms);
        else
            EXPECT_LT(backDone - peerDone, 400ms);
        bool sawBack = false;
        for (const TputResult& r : collector.Finals())
            sawBack |= std::fabs(r.bits - backBytes * 8.0) < 1.0;
        EXPECT_TRUE(sawBack) << "the test back reports through the same callback";
    } else {
        EXPECT_EQ(backBytes, -1) << "no connection back";
        ASSERT_TRUE(collector.WaitForFinals(1, 5s));
    }
    bool sawPeer = false;
    for (const TputResult& r : collector.Finals())
        sawPeer |= r.bits == static_cast<double>(sent.payloadBytes * 8);
    EXPECT_TRUE(sawPeer);
}

const TestBackCase kTestBackCases[] = {
    {"dual", 0x80000001u, 1, true, false},
    {"tradeoff", 0x80000000u, 1, true, true},
    {"absurd_thread_count_refused", 0x80000001u, 100000, false, false},
    {"no_request", 0x00000001u, 1, false, false},
};

INSTANTIATE_TEST_SUITE_P(Headers, TputTestBack, ::testing::ValuesIn(kTestBackCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TputServer, TimedTestBackEndsOnTimeWhenThePeerStopsReading)
{
    const uint16_t port = Start(1);
    uint16_t backPort = 0;
    const int backListener = TputListenLoopback(&backPort);

    TputClientOptions o;
    o.port = port;
    o.durationSeconds = 0.3;
    o.rateBitsPerSecond = 8e6;
    o.headerFlags = 0x80000001u; // dual test
    o.headerThreads = 1;
    o.headerPort = backPort;
    o.headerAmount = -50; // half a second back
    ASSERT_EQ(TputClient(o).Run().error, 0);

    // Take the connection back and never read from it: the library's sends
    // soon find the socket full.
    pollfd p{backListener, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    const int held = accept(backListener, nullptr, nullptr);
    ASSERT_GE(held, 0);
    EXPECT_TRUE(collector.WaitForFinals(2, 8s)) << "the run back ended at its deadline, not when the peer let go";
    close(held);
    close(backListener);
}


// A peer's connection that asks for a test back and then only holds on.
int RequestTestBack(uint16_t port, uint32_t flags, int32_t threads, uint16_t backPort, int32_t hundredths)
{
    TputClientOptions o;
    o.headerFlags = flags;
    o.headerThreads = threads;
    o.headerPort = backPort;
    o.headerAmount = -hundredths;
    uint8_t header[24];
    TputClient::EncodeHeader(o, header);
    const int fd = TputConnect(port);
    if (fd >= 0)
        tputlib_send_all(fd, header, sizeof header);
    return fd;
}

// Three peers each ask for eight streams back at once: the library runs at
// most sixteen and refuses the request that would go beyond.
TEST_F(TputServer, TestBacksOfAllPeersTogetherAreCapped)
{
    const uint16_t port = Start(1);
    TputOutputTap err(2);
    TputBackSink sinks[3];
    std::vector<int> peers;
    for (TputBackSink& sink : sinks)
        peers.push_back(RequestTestBack(port, 0x80000001u, 8, sink.Port(), 1000));
    auto total = [&] { return sinks[0].Connections() + sinks[1].Connections() + sinks[2].Connections(); };
    ASSERT_TRUE(err.WaitFor("refused", 10s)) << err.Text();
    ASSERT_TRUE(TputWaitUntil([&] { return total() >= 16; }, 10s)) << total();
    tputlib_cleanup(); // cuts the runs back
    const std::string text = err.Finish();

    EXPECT_EQ(total(), 16);
    int idle = 0;
    for (const TputBackSink& sink : sinks) {
        EXPECT_TRUE(sink.Connections() == 0 || sink.Connections() == 8) << sink.Connections();
        idle += sink.Connections() == 0;
    }
    EXPECT_EQ(idle, 1);
    EXPECT_EQ(text.find("refused"), text.rfind("refused")) << text;
    for (int fd : peers)
        close(fd);
}

// Stop and cleanup in any order, with runs back in every phase: running, due
// to start when their peer's test ends (so that the stop itself sets them
// off), and starting while the stop runs.
struct StopOrderCase {
    const char* name;
    std::vector<std::string> calls;
};

void PrintTo(const StopOrderCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputStopOrder : public TputServer, public ::testing::WithParamInterface<StopOrderCase> {};

TEST_P(TputStopOrder, EndsEveryRunBackInTime)
{
    const StopOrderCase& c = GetParam();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        tputlib_init();
        const uint16_t port = Start(1);
        TputBackSink reading;
        TputBackSink holding(false);
        // Never accepts and takes one connection into its queue: of two
        // streams back, one connects and waits for the other, which hangs.
        uint16_t stuckPort = 0;
        const int stuck = TputListenLoopback(&stuckPort, 0);

        // Dual, running back while its peer keeps sending.
        TputClientOptions o;
        o.port = port;
        o.durationSeconds = 20;
        o.rateBitsPerSecond = 8e6;
        o.headerFlags = 0x80000001u;
        o.headerThreads = 4;
        o.headerPort = reading.Port();
        o.headerAmount = -2000;
        TputClient dual(o);
        auto dualRun = std::async(std::launch::async, [&] { return dual.Run(); });
        // Tradeoff whose peer ends at once: its run back starts and sends to
        // a peer that does not read.
        o.durationSeconds = 0.1;
        o.headerFlags = 0x80000000u;
        o.headerPort = holding.Port();
        const TputClientResult quick = TputClient(o).Run();
        // Tradeoffs whose peers hold on: their runs back are due when the
        // stop cuts the peers.
        std::vector<int> peers;
        for (int i = 0; i < 2; ++i)
            peers.push_back(RequestTestBack(port, 0x80000000u, 2, stuckPort, 2000));
        // A dual run back whose streams are connecting, or waiting for each
        // other, when the stop comes.
        peers.push_back(RequestTestBack(port, 0x80000001u, 2, stuckPort, 2000));
        ASSERT_EQ(quick.error, 0);
        ASSERT_TRUE(reading.WaitForConnections(4, 10s));
        ASSERT_TRUE(holding.WaitForConnections(4, 10s));
        // A peer that keeps asking for short runs back, dual and tradeoff, so
        // that some start just as the stop does (14 of the 16 streams back
        // are taken by the runs above).
        std::atomic<bool> hammering{true};
        std::thread hammer([&] {
            for (uint32_t i = 0; hammering.load(); ++i) {
                const int fd = RequestTestBack(port, i % 2 ? 0x80000001u : 0x80000000u, 1, reading.Port(), 50);
                if (fd >= 0)
                    close(fd);
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));

        for (const std::string& call : c.calls) {
            SCOPED_TRACE(call);
            const auto start = std::chrono::steady_clock::now();
            if (call == "stop")
                tputlib_stop_server();
            else
                tputlib_cleanup();
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            EXPECT_LT(took.count(), 4000);
            EXPECT_FALSE(tputlib_running());
            EXPECT_EQ(tputlib_thread_count(), 0);
            EXPECT_EQ(tputlib_thread_reap_all(0), 0) << "no library thread is left";
        }
        hammering.store(false);
        hammer.join();
        dual.Stop();
        dualRun.get();
        for (int fd : peers)
            close(fd);
        close(stuck);
        tputlib_cleanup();
    }
}

const StopOrderCase kStopOrderCases[] = {
    {"cleanup", {"cleanup"}},
    {"stop", {"stop"}},
    {"stop_then_cleanup", {"stop", "cleanup"}},
    {"cleanup_then_stop_then_cleanup", {"cleanup", "stop", "cleanup"}},
    {"stop_twice_then_cleanup", {"stop", "stop", "cleanup"}},
};

INSTANTIATE_TEST_SUITE_P(Calls, TputStopOrder, ::testing::ValuesIn(kStopOrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
