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
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPeers = 3;
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
    while (in.Left() > 0) {
        const int peer = in.Byte() % kPeers;
        const std::string datagram = in.Bytes(in.Byte());
        send(peers[peer], datagram.data(), datagram.size(), 0);
        // A peer's first datagram of a whole header and an id from 0 up opens its record.
        if (datagram.size() >= kTputDatagramHeaderSize
            && tputlib_datagram_read(reinterpret_cast<const uint8_t*>(datagram.data())).id >= 0)
            opened[peer] = true;
    }
    for (int i = 0; i < kPeers; ++i) {
        if (opened[i])
            Finish(peers[i]);
        close(peers[i]);
    }
    return 0;
}
