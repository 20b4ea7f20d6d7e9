// The throughput library's UDP server on loopback: datagrams from up to three
// source ports of one host (one group, so their sums meet), each peer then
// ending with a final datagram whose answer carries the server's statistics.
//
// Input: records of a peer byte (which of the three sockets sends), a length
// byte and that many bytes. A datagram starts with the 12-byte header: id,
// send seconds and microseconds, big-endian.
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "TputFuzzServer.h"

#include "TputDatagram.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPeers = 3;
// Datagrams sent before the server must have read what is queued: the kernel
// drops what overflows its receive buffer (about 200 KB, some 270 datagrams of
// a few bytes), and a peer whose first datagram was dropped has no run to answer.
constexpr int kDatagramsPerDrain = 64;

// Bytes queued at the server's UDP socket on 127.0.0.1, from /proc/net/udp;
// -1 when it is not listed.
long ServerQueue()
{
    FILE* f = fopen("/proc/net/udp", "r");
    if (!f)
        return -1;
    char line[512];
    long queued = -1;
    while (queued < 0 && fgets(line, sizeof line, f)) {
        unsigned address = 0;
        unsigned port = 0;
        unsigned long rx = 0;
        if (sscanf(line, " %*d: %8X:%4X %*8X:%*4X %*2X %*8X:%8lX", &address, &port, &rx) == 3
            && port == TputFuzzServer::Port())
            queued = long(rx);
    }
    fclose(f);
    return queued;
}

// Waits until the server has read every datagram queued for it.
void Drain()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ServerQueue() > 0) {
        if (std::chrono::steady_clock::now() > until)
            FuzzEnv::Fail("the server read nothing for 20 s");
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}
constexpr int kAnswerAttempts = 100;
constexpr int kAnswerWaitMs = 100;

// Sends final datagrams until the answer comes; checks the statistics it carries.
void Finish(int fd)
{
    uint8_t final[kTputDatagramHeaderSize] = {};
    tputlib_datagram_write(final, TputDatagramHeader{-1, 0, 0});
    uint8_t answer[256];
    for (int attempt = 0; attempt < kAnswerAttempts; ++attempt) {
        send(fd, final, sizeof final, 0);
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kAnswerWaitMs) != 1)
            continue;
        ssize_t n;
        do {
            n = recv(fd, answer, sizeof answer, 0);
        } while (n < 0 && errno == EINTR);
        if (n != ssize_t(kTputAckSize))
            FuzzEnv::Fail("the answer has %zd bytes", n);
        const TputServerStats stats = tputlib_stats_read(answer + kTputDatagramHeaderSize);
        if (stats.jitterSec < 0 || stats.jitterUsec < 0 || stats.jitterUsec > 999999 || stats.stopSec < 0
            || stats.stopUsec < 0 || stats.stopUsec > 999999 || stats.datagrams < 0 || stats.outOfOrder < 0)
            FuzzEnv::Fail("answer out of range: jitter %d.%06d s, stop %d.%06d s, datagrams %d, out of order %d",
                          stats.jitterSec, stats.jitterUsec, stats.stopSec, stats.stopUsec, stats.datagrams,
                          stats.outOfOrder);
        return;
    }
    FuzzEnv::Fail("the final datagram was not answered");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    if (!TputFuzzServer::Start(true))
        FuzzEnv::Fail("the throughput server does not listen");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int peers[kPeers];
    bool opened[kPeers] = {};   // the server keeps a record of this peer
    for (int& fd : peers) {
        fd = TputFuzzServer::Connect(SOCK_DGRAM);
        if (fd < 0)
            FuzzEnv::Fail("no UDP socket");
    }
    FuzzInput in(data, size);
    for (int sent = 0; in.Left() > 0; ++sent) {
        if (sent % kDatagramsPerDrain == 0)
            Drain();
        const int peer = in.Byte() % kPeers;
        const std::string datagram = in.Bytes(in.Byte());
        send(peers[peer], datagram.data(), datagram.size(), 0);
        // A peer's first datagram of a whole header and an id from 0 up opens its record.
        if (datagram.size() >= kTputDatagramHeaderSize
            && tputlib_datagram_read(reinterpret_cast<const uint8_t*>(datagram.data())).id >= 0)
            opened[peer] = true;
    }
    Drain();
    for (int i = 0; i < kPeers; ++i) {
        if (opened[i])
            Finish(peers[i]);
        close(peers[i]);
    }
    return 0;
}
