#include "TputClient.h"
#include "TputClientThread.h"
#include "TputDatagram.h"
#include "TputLib.h"
#include "TputPeerList.h"
#include "TputSend.h"
#include "TputSettings.h"
#include "TputTestSupport.h"
#include "TputThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <netinet/in.h>
#include <sys/resource.h>
#include <poll.h>
#include <sys/socket.h>
#include <string>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace std::chrono_literals;

namespace {

class TputServer : public TputServerFixture {};

TEST_F(TputServer, IntervalReportsThenOneFinalWithEveryByte)
{
    const uint16_t port = Start(1);
    // A second and a half beyond the two spans checked: room for a late
    // server start on a loaded machine.
    const TputClientResult sent = RunClient(port, 3.5, 16e6);
    ASSERT_EQ(sent.error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));

    const std::vector<TputResult> results = collector.Results();
    ASSERT_GE(results.size(), 3u);
    // Whole multiples of the interval: exact, whatever the clock reads.
    EXPECT_EQ(results[0].intervalEnd, 1.0);
    EXPECT_EQ(results[1].intervalEnd, 2.0);
    double intervalBits = 0;
    for (size_t i = 0; i + 1 < results.size(); ++i) {
        EXPECT_EQ(results[i].finalReport, 0);
        EXPECT_EQ(results[i].intervalLength, 1.0);
        EXPECT_EQ(results[i].bitsPerSecond, results[i].bits);
        EXPECT_GT(results[i].bits, 0.0) << "interval " << i;
        intervalBits += results[i].bits;
    }
    // Measured: a late wake-up moves bytes into the next span, so only the
    // average over the spans is near the paced rate.
    const size_t spans = results.size() - 1;
    EXPECT_NEAR(intervalBits / spans, 16e6, 16e6 * 0.35);
    const TputResult& last = results.back();
    EXPECT_EQ(last.finalReport, 1);
    EXPECT_STREQ(last.peerAddress, "127.0.0.1");
    EXPECT_EQ(last.context, &collector);
    EXPECT_EQ(last.bits, static_cast<double>(sent.payloadBytes * 8));
    EXPECT_LE(intervalBits, last.bits);
    EXPECT_NEAR(last.intervalLength, 3.5, 1.0); // measured: the server starts after the client
    EXPECT_EQ(last.intervalEnd, last.intervalLength);
}

// What a connection's first bytes do to its count.
struct OpeningCase {
    const char* name;
    size_t headerBytes; // bytes of a flags-0 header sent first
    size_t dataBytes;
    double expectedBits;
};

TEST_F(TputServer, OpeningBytesOfAConnection)
{
    const OpeningCase cases[] = {
        {"header flags 0 is not counted", 24, 100000, 800000},
        {"a header cut short is not data", 10, 0, 0},
        {"three bytes and close", 3, 0, 0},
        {"connect and close at once", 0, 0, 0},
    };
    const uint16_t port = Start(2);
    size_t finals = 0;
    for (const OpeningCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int fd = TputConnect(port);
        ASSERT_GE(fd, 0);
        std::vector<char> bytes(c.headerBytes + c.dataBytes, '7');
        std::fill(bytes.begin(), bytes.begin() + static_cast<long>(c.headerBytes), '\0');
        if (!bytes.empty()) {
            ASSERT_TRUE(tputlib_send_all(fd, bytes.data(), bytes.size()));
        }
        close(fd);
        ASSERT_TRUE(collector.WaitForFinals(++finals, 5s));
        const TputResult final = collector.Finals().back();
        EXPECT_EQ(final.bits, c.expectedBits);
        if (c.expectedBits == 0) {
            EXPECT_EQ(final.bitsPerSecond, 0.0);
        }
    }
    EXPECT_EQ(collector.Results().size(), finals) << "short connections give only their final record";
}

// Another connection from the same address, quiet or stalled, changes
// nothing in a test that runs next to it.
struct NeighbourCase {
    const char* name;
    bool sendsHeader;                    // a stalled test (header and a little data) or a bare connection
    std::chrono::milliseconds headStart; // how long before the real test it connected
};

void PrintTo(const NeighbourCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputNeighbour : public TputServer, public ::testing::WithParamInterface<NeighbourCase> {};

TEST_P(TputNeighbour, LeavesTheRealTestItsOwnTimeAndRate)
{
    const NeighbourCase& c = GetParam();
    const uint16_t port = Start(2);
    const int neighbour = TputConnect(port);
    ASSERT_GE(neighbour, 0);
    if (c.sendsHeader) {
        std::vector<char> data(24 + 1000, '5');
        std::fill(data.begin(), data.begin() + 24, '\0');
        ASSERT_TRUE(tputlib_send_all(neighbour, data.data(), data.size()));
    }
    // Only a lower bound matters: a later start makes the fault larger.
    std::this_thread::sleep_for(c.headStart);
    const TputClientResult sent = RunClient(port, 1.0, 8e6);
    ASSERT_EQ(sent.error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));
    const TputResult test = collector.Finals()[0];
    close(neighbour);
    ASSERT_TRUE(collector.WaitForFinals(2, 10s));

    EXPECT_EQ(test.bits, static_cast<double>(sent.payloadBytes * 8));
    EXPECT_EQ(test.bitsPerSecond, test.bits / test.intervalLength);
    // Measured: a one-second run, received as it was sent; the faults made
    // it a few milliseconds, or the neighbour's head start longer.
    EXPECT_GT(test.intervalLength, 0.3);
    EXPECT_LT(test.intervalLength, 2.0);
}

const NeighbourCase kNeighbourCases[] = {
    {"silent_connection_does_not_hold_the_next_accept", false, 0ms},
    {"stalled_test_does_not_lend_its_start", true, 1500ms},
};

INSTANTIATE_TEST_SUITE_P(SameHost, TputNeighbour, ::testing::ValuesIn(kNeighbourCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A camera that loses power sends no FIN: its connection is ended after ten
// silent seconds and leaves nothing behind.
TEST_F(TputServer, ConnectionSilentForTenSecondsIsEnded)
{
    const uint16_t port = Start(2);
    const int fd = TputConnect(port);
    ASSERT_GE(fd, 0);
    std::vector<char> data(24 + 1000, '5');
    std::fill(data.begin(), data.begin() + 24, '\0');
    ASSERT_TRUE(tputlib_send_all(fd, data.data(), data.size()));
    const auto sentAt = std::chrono::steady_clock::now();

    ASSERT_TRUE(collector.WaitForFinals(1, 30s));
    EXPECT_GE(std::chrono::steady_clock::now() - sentAt, 9s);
    EXPECT_EQ(collector.Finals()[0].bits, 8000.0);
    // Only the listener is left counted once the reporter idles.
    EXPECT_TRUE(TputWaitUntil([] { return tputlib_thread_count() == 1; }, 5s));
    EXPECT_TRUE(tputlib_peer_list_empty());
    close(fd);
}

TEST_F(TputServer, SecondStartAndEnvironmentPortChangeNothing)
{
    const uint16_t other = TputFreePort();
    setenv("TPUT_PORT", std::to_string(other).c_str(), 1);
    const uint16_t port = Start(2);
    EXPECT_TRUE(TputPortFree(other)) << "the port given to start wins over TPUT_PORT";

    const uint16_t second = TputFreePort();
    tputlib_start_server(2, second, &TputResultCollector::Callback, &collector);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(TputPortFree(second)) << "a second start starts nothing";

    ASSERT_EQ(RunClient(port, 0.2, 8e6).error, 0);
    EXPECT_TRUE(collector.WaitForFinals(1, 5s));
}

TEST_F(TputServer, InitStartCleanupThreeTimesOnOnePort)
{
    const uint16_t port = TputFreePort();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        tputlib_init();
        tputlib_start_server(1, port, &TputResultCollector::Callback, &collector);
        ASSERT_TRUE(TputWaitListening(port, 2s));
        ASSERT_EQ(RunClient(port, 0.2, 8e6).error, 0);
        ASSERT_TRUE(collector.WaitForFinals(static_cast<size_t>(round) + 1, 5s));
        tputlib_cleanup();
        EXPECT_FALSE(tputlib_running());
        EXPECT_EQ(tputlib_thread_count(), 0);
        EXPECT_TRUE(TputPortFree(port)) << "cleanup closed the listening socket";
    }
    tputlib_cleanup(); // a repeated cleanup does nothing more
}

TEST_F(TputServer, StopAndStartAgainWithoutInit)
{
    const uint16_t port = Start(1);
    tputlib_stop_server();
    EXPECT_TRUE(TputPortFree(port));
    const uint16_t again = Start(1);
    ASSERT_EQ(RunClient(again, 0.2, 8e6).error, 0);
    EXPECT_TRUE(collector.WaitForFinals(1, 5s));
}

TEST_F(TputServer, CleanupCutsAReceivingConnectionAndJoinsEverything)
{
    const uint16_t port = Start(1);
    TputClientOptions o;
    o.port = port;
    o.durationSeconds = 30;
    o.rateBitsPerSecond = 20e6;
    TputClient client(o);
    auto running = std::async(std::launch::async, [&] { return client.Run(); });
    // Receiving for sure once its first interval was reported.
    ASSERT_TRUE(TputWaitUntil([&] { return !collector.Results().empty(); }, 10s));

    ::testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    tputlib_cleanup();
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string err = ::testing::internal::GetCapturedStderr();
    client.Stop();
    running.get();

    EXPECT_LT(took, 3s);
    EXPECT_NE(err.find("Waiting for server threads to complete. Interrupt again to force quit.\n"), std::string::npos);
    EXPECT_EQ(collector.Finals().size(), 1u) << "the cut connection still got its final report before cleanup returned";
    EXPECT_EQ(tputlib_thread_count(), 0);
    EXPECT_TRUE(TputPortFree(port));
}

// A busy port leaves the station without a server only until it frees:
// the listener says so once, tries again every few seconds, and the query
// tells whether it listens.
TEST_F(TputServer, BusyPortIsRetriedUntilItFrees)
{
    uint16_t port = 0;
    const int taken = TputListenLoopback(&port);
    TputOutputTap err(2);
    tputlib_start_server(1, port, &TputResultCollector::Callback, &collector);
    ASSERT_TRUE(err.WaitFor("bind failed: Address already in use\n", 10s)) << err.Text();
    EXPECT_FALSE(tputlib_running());
    char why[128];
    EXPECT_TRUE(tputlib_listen_failure(why, sizeof why));
    EXPECT_STREQ(why, "bind failed: Address already in use");
    // Long enough for a retry; a slow machine makes fewer, never more.
    std::this_thread::sleep_for(2500ms);
    EXPECT_FALSE(tputlib_running());
    close(taken);

    ASSERT_TRUE(TputWaitUntil([] { return tputlib_running(); }, 10s));
    EXPECT_FALSE(tputlib_listen_failure(why, sizeof why)) << "listening: nothing to tell";
    EXPECT_STREQ(why, "");
    const TputClientResult sent = RunClient(port, 0.2, 8e6);
    ASSERT_EQ(sent.error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));
    EXPECT_EQ(collector.Finals()[0].bits, static_cast<double>(sent.payloadBytes * 8));
    const std::string text = err.Finish();
    EXPECT_EQ(text.find("bind failed"), text.rfind("bind failed")) << "one message per failing spell\n" << text;
}

TEST_F(TputServer, StopWhileThePortIsBusyEndsAtOnce)
{
    uint16_t port = 0;
    const int taken = TputListenLoopback(&port);
    TputOutputTap err(2);
    tputlib_start_server(1, port, &TputResultCollector::Callback, &collector);
    ASSERT_TRUE(err.WaitFor("bind failed", 10s));
    const auto start = std::chrono::steady_clock::now();
    tputlib_cleanup();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(tputlib_running());
    EXPECT_EQ(tputlib_thread_reap_all(0), 0) << "no library thread is left";
    close(taken);
}

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TPUT_TEST_THREAD_CHECKER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define TPUT_TEST_THREAD_CHECKER 1
#endif

// The thread checker reports, at exit, the threads a program leaves running.
// Leaving them running is what the exit test is about, so the child process
// it runs in (started anew from the environment) is told not to report them.
class ThreadLeaksUnreportedInChildren {
public:
    ThreadLeaksUnreportedInChildren()
    {
#ifdef TPUT_TEST_THREAD_CHECKER
        const char* now = getenv("TSAN_OPTIONS");
        m_had = now != nullptr;
        m_old = now ? now : "";
        setenv("TSAN_OPTIONS", (m_old + ":report_thread_leaks=0").c_str(), 1);
#endif
    }
    ~ThreadLeaksUnreportedInChildren()
    {
#ifdef TPUT_TEST_THREAD_CHECKER
        if (m_had)
            setenv("TSAN_OPTIONS", m_old.c_str(), 1);
        else
            unsetenv("TSAN_OPTIONS");
#endif
    }

private:
    bool m_had = false;
    std::string m_old;
};

// A program that returns from main without cleaning up ends normally, also
// with the server busy.
TEST_F(TputServer, ExitWithoutCleanupEndsNormally)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const ThreadLeaksUnreportedInChildren unreported;
    EXPECT_EXIT(
        {
            const uint16_t port = Start(1);
            RunClient(port, 0.2, 8e6); // a connection thread that has ended
            const int held = TputConnect(port);
            std::vector<char> data(24 + 1000, '5');
            std::fill(data.begin(), data.begin() + 24, '\0');
            tputlib_send_all(held, data.data(), data.size()); // one still receiving
            TputWaitUntil([&] { return collector.Finals().size() == 1; }, 10s);
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The leak checker can lose sight of a thread: once the kernel gives a new
// thread the id of an ended one (ids wrap, at 32,768 on many systems, which a
// fuzz run that starts threads for every input soon passes), the checker's
// runtime takes it for the ended one and skips its stack. So what a waiting library thread owns must be
// reachable from its start record, not only from its stack. A forked child
// keeps only the forking thread and sees every library thread as such a lost
// one: anything found only on their stacks is reported as leaked there.
TEST_F(TputServer, WaitingThreadsOwnNothingOnlyTheirStacksReach)
{
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs the leak checker of the address sanitizer";
#else
    const uint16_t port = Start(1);
    ASSERT_EQ(RunClient(port, 0.2, 8e6).error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));
    // Idle: the reporter waits uncounted, and the connection's thread has
    // ended and been joined, so that no thread is inside the allocator at the
    // fork (the child's check would wait for its lock forever).
    ASSERT_TRUE(TputWaitUntil([] { return tputlib_thread_count() == 1; }, 5s));
    ASSERT_TRUE(TputWaitUntil([] { return tputlib_thread_reap_all(0) == 2; }, 5s)) << "listener and reporter";
    EXPECT_EXIT(_exit(__lsan_do_recoverable_leak_check()), ::testing::ExitedWithCode(0), "");
#endif
}

// Out of descriptors, accept fails while the connection stays pending: the
// listener backs off instead of spinning and serves it once it can.
TEST_F(TputServer, FailingAcceptBacksOffAndRecovers)
{
    const uint16_t port = Start(1);
    ::testing::internal::CaptureStderr();
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(client, 0);
    // Descriptors are handed out lowest first: with every number up to the
    // client's taken and the limit just above it, accept has none left.
    std::vector<int> fillers;
    for (int fd = dup(client); fd >= 0; fd = dup(client)) {
        if (fd > client) {
            close(fd);
            break;
        }
        fillers.push_back(fd);
    }
    rlimit normal{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &normal), 0);
    rlimit low = normal;
    low.rlim_cur = static_cast<rlim_t>(client) + 1;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(1s);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    setrlimit(RLIMIT_NOFILE, &normal);
    for (int fd : fillers)
        close(fd);
    auto cpu = [](const rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double busy = cpu(after) - cpu(before);

    ASSERT_TRUE(connected);
    std::vector<char> data(24 + 1000, '5');
    std::fill(data.begin(), data.begin() + 24, '\0');
    ASSERT_TRUE(tputlib_send_all(client, data.data(), data.size()));
    close(client);
    const bool served = collector.WaitForFinals(1, 10s);
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_LT(busy, 0.3) << "seconds of processor time in one second of failing accepts";
    EXPECT_NE(err.find("accept failed: Too many open files.\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("accept failed"), err.rfind("accept failed")) << "one message for the whole failing spell";
    ASSERT_TRUE(served);
    EXPECT_EQ(collector.Finals()[0].bits, 8000.0);
}

TEST_F(TputServer, SlowReporterLosesNoByte)
{
    setenv("TPUT_LEN", "1K", 1); // small receives: many records per second
    const uint16_t port = Start(1);
    collector.HoldFirstCall();
    std::thread release([&] {
        std::this_thread::sleep_for(1500ms);
        collector.Release();
    });
    const TputClientResult sent = RunClient(port, 3.5, 40e6);
    release.join();
    ASSERT_EQ(sent.error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));
    const std::vector<TputResult> results = collector.Results();
    double intervalBits = 0;
    for (const TputResult& r : results) {
        if (!r.finalReport)
            intervalBits += r.bits;
    }
    EXPECT_EQ(results.back().bits, static_cast<double>(sent.payloadBytes * 8));
    EXPECT_LE(intervalBits, results.back().bits);
    EXPECT_GE(results.size(), 3u);
}

} // namespace

namespace {

// Starts the library's UDP server on a free port and waits until it runs; its
// port, or 0 when it does not run.
uint16_t StartUdpServer(TputResultCollector& collector)
{
    setenv("TPUT_UDP", "1", 1);
    const uint16_t port = TputFreePort();
    tputlib_start_server(1, port, &TputResultCollector::Callback, &collector);
    unsetenv("TPUT_UDP");
    return TputWaitUntil([] { return tputlib_running(); }, 10s) ? port : 0;
}

// UDP is never chosen by the station but the library serves it: the library's
// own UDP client against its UDP server, both on loopback.
TEST_F(TputServer, UdpTestIsPrintedAndAnswered)
{
    ::testing::internal::CaptureStdout();
    const uint16_t port = StartUdpServer(collector);
    ASSERT_NE(port, 0);

    TputSettings* client = new TputSettings;
    tputlib_settings_init(client);
    tputlib_apply_option('c', "127.0.0.1", client);
    tputlib_apply_option('p', std::to_string(port).c_str(), client);
    tputlib_apply_option('u', "", client);
    tputlib_apply_option('b', "2M", client);
    tputlib_apply_option('t', "1", client);
    tputlib_client_init(client);
    tputlib_thread_start(client);
    // The listener stays counted; the client leaves the count once its
    // datagrams went out and the server's answer came back.
    const auto until = std::chrono::steady_clock::now() + 15s;
    while (tputlib_thread_count() > 1 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    tputlib_cleanup();
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_NE(out.find("Server listening on UDP port " + std::to_string(port)), std::string::npos) << out;
    EXPECT_NE(out.find("Receiving 1470 byte datagrams"), std::string::npos) << out;
    EXPECT_NE(out.find("Client connecting to 127.0.0.1, UDP port " + std::to_string(port)), std::string::npos) << out;
    EXPECT_NE(out.find("Server Report:"), std::string::npos) << out;
    // 2 Mbit/s of 1470-byte datagrams for 1 s: about 170, none lost on loopback
    // (fewer when the sender wakes late near its end; never unpaced thousands).
    const size_t from = out.find("] Sent ");
    ASSERT_NE(from, std::string::npos) << out;
    const int count = std::stoi(out.substr(from + 7));
    EXPECT_GE(count, 120);
    EXPECT_LE(count, 180);
    char lost[32];
    snprintf(lost, sizeof lost, "%4d/%5d (0%%)\n", 0, count);
    EXPECT_NE(out.find(std::string("Server Report:\n")), std::string::npos);
    EXPECT_NE(out.find(lost), std::string::npos) << "the server saw every datagram: " << lost << out;
    EXPECT_TRUE(collector.Results().empty()) << "UDP reports never reach the callback";
}

// Datagram ids are whatever a peer sends: the extremes neither upset the
// statistics nor stop the server from answering the final datagram.
TEST_F(TputServer, UdpExtremeDatagramIdsAreAnswered)
{
    ::testing::internal::CaptureStdout();
    // Datagrams sent before the socket is bound are lost, and the batch the
    // server then sees may start after the out-of-order one.
    const uint16_t port = StartUdpServer(collector);
    ASSERT_NE(port, 0);

    const int fd = TputConnect(port, SOCK_DGRAM);
    ASSERT_GE(fd, 0);
    const uint32_t ids[] = {1, 0x7fffffffu, 2, 0x80000000u};
    uint8_t answer[128];
    ssize_t got = -1;
    for (int attempt = 0; attempt < 50 && got < 0; ++attempt) {
        for (uint32_t id : ids) {
            uint8_t datagram[64] = {};
            tputlib_datagram_write(datagram, TputDatagramHeader{static_cast<int32_t>(id), 0, 0});
            send(fd, datagram, sizeof datagram, 0);
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) == 1)
            got = recv(fd, answer, sizeof answer, 0);
    }
    close(fd);
    tputlib_cleanup();
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(got, static_cast<ssize_t>(kTputAckSize)) << "the final datagram was answered";
    const TputServerStats stats = tputlib_stats_read(answer + kTputDatagramHeaderSize);
    EXPECT_GE(stats.errors, 0);
    EXPECT_GE(stats.outOfOrder, 1);
}

// A peer that starts a new run from the port of a run that ended moments ago
// (a camera testing again) gets the answer of its own run, not the old one.
TEST_F(TputServer, UdpNewRunFromAFinishedPeersPortIsServed)
{
    ::testing::internal::CaptureStdout();
    const uint16_t port = StartUdpServer(collector);
    ASSERT_NE(port, 0);

    // One run of `count` datagrams from local port `from` (0: any), until the answer.
    auto run = [&](uint16_t from, int32_t count, uint16_t* used, TputServerStats* stats) {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        local.sin_port = htons(from);
        sockaddr_in server = local;
        server.sin_port = htons(port);
        socklen_t length = sizeof local;
        bool answered = false;
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0
            && connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0
            && getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            *used = ntohs(local.sin_port);
            uint8_t datagram[64] = {};
            for (int32_t id = 0; id < count; ++id) {
                tputlib_datagram_write(datagram, TputDatagramHeader{id, 0, 0});
                send(fd, datagram, sizeof datagram, 0);
            }
            tputlib_datagram_write(datagram, TputDatagramHeader{-count, 0, 0});
            uint8_t answer[128];
            for (int attempt = 0; attempt < 50 && !answered; ++attempt) {
                send(fd, datagram, sizeof datagram, 0);
                pollfd p{fd, POLLIN, 0};
                answered = poll(&p, 1, 200) == 1 && recv(fd, answer, sizeof answer, 0) == ssize_t(kTputAckSize);
                if (answered)
                    *stats = tputlib_stats_read(answer + kTputDatagramHeaderSize);
            }
        }
        close(fd);
        return answered;
    };
    uint16_t peerPort = 0;
    TputServerStats first{};
    TputServerStats second{};
    ASSERT_TRUE(run(0, 3, &peerPort, &first));
    EXPECT_TRUE(run(peerPort, 7, &peerPort, &second)) << "the second run was answered";
    tputlib_cleanup();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(first.datagrams, 3);
    EXPECT_EQ(second.datagrams, 7) << "the answer counts the second run's own datagrams";
}

// Datagram ids and send times are whatever a peer sends. Two source ports of
// one host sending the highest id make the group's sums overflow an int; send
// times jumping between the ends of the 32-bit range make the jitter larger
// than its answer field. Counts saturate, the jitter is clamped, and every
// peer gets its answer.
struct UdpExtremeCase {
    const char* name;
    int peers;
    bool jumpingSendTimes;
};

void PrintTo(const UdpExtremeCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputUdpExtremes : public TputServer, public ::testing::WithParamInterface<UdpExtremeCase> {};

TEST_P(TputUdpExtremes, StayInRange)
{
    const UdpExtremeCase& c = GetParam();
    TputOutputTap out(1);
    const uint16_t port = StartUdpServer(collector);
    ASSERT_NE(port, 0);

    auto datagram = [](int fd, uint32_t id, uint32_t sec) {
        uint8_t bytes[64] = {};
        tputlib_datagram_write(bytes, TputDatagramHeader{static_cast<int32_t>(id), sec, 0});
        ::send(fd, bytes, sizeof bytes, 0);
    };
    std::vector<int> peers;
    for (int i = 0; i < c.peers; ++i) {
        peers.push_back(TputConnect(port, SOCK_DGRAM));
        ASSERT_GE(peers.back(), 0);
        if (c.jumpingSendTimes) {
            for (uint32_t id = 1; id <= 40; ++id)
                datagram(peers.back(), id, id % 2 ? 0x80000000u : 0x7fffffffu);
        }
        datagram(peers.back(), 0x7fffffffu, 0);
    }
    // The final datagram (id 0xffffffff) until its answer comes.
    auto answer = [&](int fd, TputServerStats* stats) {
        uint8_t bytes[128];
        for (int attempt = 0; attempt < 50; ++attempt) {
            datagram(fd, 0xffffffffu, 0);
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 200) == 1 && recv(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(kTputAckSize)) {
                *stats = tputlib_stats_read(bytes + kTputDatagramHeaderSize);
                return true;
            }
        }
        return false;
    };
    for (int fd : peers) {
        TputServerStats stats{};
        ASSERT_TRUE(answer(fd, &stats));
        EXPECT_EQ(stats.datagrams, INT32_MAX);
        EXPECT_GE(stats.jitterSec, 0);
        EXPECT_GE(stats.jitterUsec, 0);
        EXPECT_LT(stats.jitterUsec, 1000000);
        close(fd);
    }
    if (c.peers > 1) {
        EXPECT_TRUE(out.WaitFor("[SUM]", 10s));
    }
    tputlib_cleanup();
    const std::string text = out.Finish();
    if (c.peers > 1) {
        EXPECT_NE(text.find("/2147483647 ("), std::string::npos) << "the sum saturates\n" << text;
    }
}

const UdpExtremeCase kUdpExtremeCases[] = {
    {"counts_of_two_peers_saturate", 2, false},
    {"jitter_of_jumping_send_times_is_clamped", 1, true},
};

INSTANTIATE_TEST_SUITE_P(Peers, TputUdpExtremes, ::testing::ValuesIn(kUdpExtremeCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Report options from the environment change what is printed and what
// reaches the callback.
struct ReportCase {
    const char* name;
    const char* variable;
    const char* value;
    size_t callbackFinals;
    const char* printed;    // must appear on standard output ("" for none)
    const char* notPrinted; // must not appear ("" for none)
};

void PrintTo(const ReportCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputReportOptions : public TputServer, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(TputReportOptions, ShapeTheOutput)
{
    const ReportCase& c = GetParam();
    setenv(c.variable, c.value, 1);
    TputOutputTap out(1);
    const uint16_t port = Start(1);
    unsetenv(c.variable);
    const TputClientResult sent = RunClient(port, 0.3, 8e6);
    ASSERT_EQ(sent.error, 0);
    const bool csv = std::string(c.variable) == "TPUT_REPORTSTYLE";
    // The CSV line carries the whole byte count.
    const std::string tail = "," + std::to_string(sent.payloadBytes) + ",";
    if (c.callbackFinals > 0) {
        EXPECT_TRUE(collector.WaitForFinals(c.callbackFinals, 10s));
    } else {
        EXPECT_TRUE(out.WaitFor(csv ? tail : std::string(c.printed), 10s)) << out.Text();
    }
    tputlib_cleanup(); // joins the reporter: everything is printed by now
    const std::string text = out.Finish();
    EXPECT_EQ(collector.Finals().size(), c.callbackFinals);
    if (*c.printed) {
        EXPECT_NE(text.find(c.printed), std::string::npos) << text;
    }
    if (*c.notPrinted) {
        EXPECT_EQ(text.find(c.notPrinted), std::string::npos) << text;
    }
}

const ReportCase kReportCases[] = {
    {"csv_style_prints_instead_of_calling_back", "TPUT_REPORTSTYLE", "C", 0, ",127.0.0.1,", "connected with"},
    {"data_excluded_gives_no_transfer_reports", "TPUT_REPORTEXCLUDE", "D", 0, "connected with", "sec "},
    {"connection_excluded_still_calls_back", "TPUT_REPORTEXCLUDE", "C", 1, "Server listening on TCP", "connected with"},
    {"settings_excluded", "TPUT_REPORTEXCLUDE", "S", 1, "connected with", "Server listening"},
};

INSTANTIATE_TEST_SUITE_P(Environment, TputReportOptions, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TputServer, TwoConnectionsFromOneHostAreSummed)
{
    ::testing::internal::CaptureStdout();
    // Two-second spans: the two connections may start up to a second apart
    // and still share the group's first span.
    const uint16_t port = Start(2);
    auto first = std::async(std::launch::async, [&] { return RunClient(port, 2.5, 8e6); });
    auto second = std::async(std::launch::async, [&] { return RunClient(port, 2.5, 8e6); });
    const uint64_t bytes = first.get().payloadBytes + second.get().payloadBytes;
    ASSERT_TRUE(collector.WaitForFinals(2, 5s));
    tputlib_cleanup();
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_NE(out.find("[SUM]  0.0- 2.0 sec"), std::string::npos) << out;
    const std::vector<TputResult> finals = collector.Finals();
    ASSERT_EQ(finals.size(), 2u);
    EXPECT_EQ(finals[0].bits + finals[1].bits, static_cast<double>(bytes * 8)) << "each connection reports its own";
}

} // namespace

namespace {

TEST(TputOwnClient, RefusedConnectionAndEarlyStop)
{
    TputClientOptions o;
    o.port = TputFreePort(); // nobody listens
    EXPECT_EQ(TputClient(o).Run().error, ECONNREFUSED);

    uint16_t port = 0;
    const int listener = TputListenLoopback(&port);
    auto sink = std::async(std::launch::async, [&] { return TputAcceptAndCount(listener, 3s); });
    o.port = port;
    o.durationSeconds = 30;
    o.rateBitsPerSecond = 8e6;
    TputClient client(o);
    auto run = std::async(std::launch::async, [&] { return client.Run(); });
    std::this_thread::sleep_for(300ms);
    client.Stop();
    const TputClientResult result = run.get();
    EXPECT_LT(result.seconds, 2.0);
    EXPECT_EQ(sink.get(), static_cast<int64_t>(result.payloadBytes + 24)) << "header and data, nothing else";
    EXPECT_EQ(result.error, 0) << "a stop is not a failure";
    close(listener);
}

TEST(TputOwnClient, ServerThatResetsIsAFailedSend)
{
    uint16_t port = 0;
    const int listener = TputListenLoopback(&port);
    auto reset = std::async(std::launch::async, [&] {
        const int fd = accept(listener, nullptr, nullptr);
        const linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(fd); // with unread data: the peer's next sends fail
    });
    TputClientOptions o;
    o.port = port;
    o.durationSeconds = 10;
    const TputClientResult result = TputClient(o).Run();
    reset.get();
    close(listener);
    EXPECT_NE(result.error, 0);
    EXPECT_LT(result.seconds, 5.0);
}

} // namespace
