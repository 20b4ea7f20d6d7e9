#include "TputServer.h"

#include "TputClientHeader.h"
#include "TputError.h"
#include "TputPeerList.h"
#include "TputReporter.h"
#include "TputSettings.h"
#include "TputSignal.h"
#include "TputSockets.h"
#include "TputTestBack.h"
#include "TputThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/socket.h>

namespace {

constexpr int kHeaderPollMs = 100;

// Reads the client header: 24 whole bytes within the wait, else what came.
// Returns the number of bytes taken from the stream.
int ReadHeader(int fd, uint8_t* buffer)
{
    memset(buffer, 0, kTputHeaderSize);
    size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTputHeaderWaitMs);
    while (got < kTputHeaderSize && !tputlib_interrupted()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        const int ready = tputlib_wait_readable(fd, static_cast<int>(std::min<long long>(left, kHeaderPollMs)));
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        const ssize_t n = recv(fd, buffer + got, kTputHeaderSize - got, MSG_DONTWAIT);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    return static_cast<int>(got);
}

// Takes the client header off the stream and sets up the run back it asks
// for: a dual run starts now, a tradeoff when this connection ends.
void TakeClientHeader(TputSettings* s)
{
    if (s->flags & (kTputFlagCompat | kTputFlagMulticast))
        return;
    uint8_t bytes[kTputHeaderSize];
    const int got = ReadHeader(s->sock, bytes);
    if (got == 0)
        return;
    // The opening bytes are the header's, whole or not: never test data. A
    // cut header reads as zeros where it stops, so a request back that it
    // cannot name a port for is refused as out of range.
    if (got < static_cast<int>(kTputHeaderSize)) {
        fflush(nullptr);
        fprintf(stderr, "[%3d] WARNING: client header cut short at %d of %d bytes\n", s->sock, got,
                static_cast<int>(kTputHeaderSize));
    }
    TputClientHeader header;
    tputlib_header_from_wire(bytes, &header);
    TputSettings* client = tputlib_test_back_prepare(s, header);
    if (!client)
        return;
    if (header.flags & kTputHeaderRunNow) {
        if (!tputlib_thread_start(client))
            tputlib_settings_destroy_chain(client);
    } else {
        s->runNext = client;
    }
}

} // namespace

void tputlib_server_spawn(TputSettings* s)
{
    char* buffer = new (std::nothrow) char[s->bufferLength > 0 ? s->bufferLength : 1];
    if (!buffer) {
        tputlib_warn_errno("No memory for buffer\n");
        tputlib_peer_remove(s->peer);
        tputlib_sockets_close(s->sock);
        return;
    }
    TakeClientHeader(s);
    tputlib_server_run(s, buffer);
    if (tputlib_sockets_close(s->sock) < 0)
        tputlib_warn_errno("close");
    s->sock = -1;
    delete[] buffer;
}

void tputlib_server_run(TputSettings* s, char* buffer)
{
    TputReportHeader* report = tputlib_init_report(s);
    TputPacket packet{};
    const bool perReceive = s->interval > 0;
    const size_t length = s->bufferLength > 0 ? static_cast<size_t>(s->bufferLength) : 1;
    uint64_t total = 0;
    for (;;) {
        // A peer that lost its power sends no FIN: silence ends the test.
        const int ready = tputlib_wait_readable(s->sock, kTputIdleLimitMs);
        if (ready == 0) {
            fflush(nullptr);
            fprintf(stderr, "[%3d] WARNING: nothing received for %d seconds, connection ended\n", s->sock,
                    kTputIdleLimitMs / 1000);
            break;
        }
        const ssize_t received = ready > 0 ? recv(s->sock, buffer, length, 0) : -1;
        if (received < 0 && errno == EINTR)
            continue;
        // An error ends the loop like an orderly close and is never counted.
        if (received > 0)
            total += static_cast<uint64_t>(received);
        if (perReceive) {
            packet.length = received > 0 ? static_cast<uint64_t>(received) : 0;
            packet.packetTime = tputlib_now();
            tputlib_report_packet(report, &packet);
        }
        if (received <= 0)
            break;
    }
    // Per receive, every byte is in the ring already (also when silence
    // ended the loop); otherwise this one record carries them all.
    packet.packetTime = tputlib_now();
    packet.length = perReceive ? 0 : total;
    tputlib_report_packet(report, &packet);
    tputlib_close_report(report, &packet);
    tputlib_peer_remove(s->peer);
    tputlib_end_report(report);
}
