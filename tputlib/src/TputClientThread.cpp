#include "TputClientThread.h"

#include "TputClientHeader.h"
#include "TputDatagram.h"
#include "TputError.h"
#include "TputInet.h"
#include "TputReporter.h"
#include "TputSend.h"
#include "TputSettings.h"
#include "TputSignal.h"
#include "TputSockets.h"
#include "TputThread.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<int> g_hundredthUs{10000};

// A run's length in time mode; far beyond any test, but no overflow.
std::chrono::microseconds RunLength(uint64_t hundredths)
{
    constexpr uint64_t kLongest = 100ull * 24 * 3600 * 100; // a hundred days
    return std::chrono::microseconds(static_cast<int64_t>(std::min(hundredths, kLongest)) * g_hundredthUs.load());
}

constexpr int kSliceMs = 100;

// Connects within the wait, so that a peer that does not answer cannot hold
// the thread for the system's long connect time-out; a stop ends the wait.
int ConnectWithin(int fd, const sockaddr_storage& addr, int timeout_ms)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), tputlib_addr_length(addr));
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        do {
            rc = poll(&p, 1, kSliceMs);
        } while ((rc == 0 || (rc < 0 && errno == EINTR)) && !tputlib_interrupted() &&
                 std::chrono::steady_clock::now() < deadline);
        if (rc == 0) {
            errno = ETIMEDOUT;
            rc = -1;
        } else if (rc > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            errno = error;
            rc = error == 0 ? 0 : -1;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return rc;
}

int OpenConnection(TputSettings* s)
{
    const bool udp = s->flags & kTputFlagUdp;
    if (s->peer.ss_family == 0 && s->host) {
        if (tputlib_resolve(s->host, &s->peer, s->flags & kTputFlagIPv6) != 0)
            return -1;
    }
    tputlib_addr_set_port(s->peer, s->port);
    s->peerLength = tputlib_addr_length(s->peer);
    const int fd = socket(s->peer.ss_family, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    if (fd < 0) {
        tputlib_warn_errno("socket");
        return -1;
    }
    tputlib_sockets_register(fd);
    tputlib_set_socket_options(s, fd, true);
    if (s->localHost) {
        // Only the address is chosen; the port is whatever is free.
        sockaddr_storage local = s->local;
        tputlib_addr_set_port(local, 0);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), tputlib_addr_length(local)) < 0)
            tputlib_warn_errno("bind");
    }
    if (ConnectWithin(fd, s->peer, kTputConnectWaitMs) < 0) {
        tputlib_warn_errno("connect");
        tputlib_sockets_close(fd);
        return -1;
    }
    s->localLength = sizeof s->local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&s->local), &s->localLength);
    return fd;
}

// Waits until the socket takes more data, at most until the deadline and in
// short slices so that an interrupt is seen. 0 when there is no room yet.
int WaitForRoom(int fd, std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLOUT, 0};
    const int rc = poll(&p, 1, static_cast<int>(std::clamp<int64_t>(left.count(), 0, kSliceMs)));
    return rc < 0 && errno == EINTR ? 0 : rc;
}

void RunTcp(TputSettings* s, char* buffer)
{
    TputReportHeader* report = tputlib_init_report(s);
    TputPacket packet{};
    const bool perSend = s->interval > 0;
    const bool timed = s->flags & kTputFlagModeTime;
    // Each run keeps its own deadline: ending it must not stop the server.
    const auto deadline = std::chrono::steady_clock::now() + RunLength(s->amount);
    uint64_t left = s->amount;
    uint64_t total = 0;
    for (;;) {
        if (tputlib_interrupted())
            break;
        if (timed ? std::chrono::steady_clock::now() >= deadline : left == 0)
            break;
        size_t chunk = static_cast<size_t>(s->bufferLength);
        if (!timed && left < chunk)
            chunk = static_cast<size_t>(left);
        // A peer that stops reading must not hold a timed run past its end.
        if (timed) {
            const int room = WaitForRoom(s->sock, deadline);
            if (room < 0)
                break;
            if (room == 0)
                continue;
        }
        const ssize_t n = send(s->sock, buffer, chunk, timed ? MSG_NOSIGNAL | MSG_DONTWAIT : MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        total += static_cast<uint64_t>(n);
        if (!timed)
            left -= static_cast<uint64_t>(n);
        if (perSend) {
            packet.length = static_cast<uint64_t>(n);
            packet.packetTime = tputlib_now();
            tputlib_report_packet(report, &packet);
        }
    }
    packet.packetTime = tputlib_now();
    if (!perSend) {
        packet.length = total;
        tputlib_report_packet(report, &packet);
    }
    tputlib_close_report(report, &packet);
    tputlib_end_report(report);
}

// Sends the final datagram until the server's statistics come back.
void FinishUdp(TputSettings* s, uint8_t* buffer, size_t length, int32_t lastId)
{
    constexpr int kTries = 10;
    uint8_t answer[kTputAckSize + 64];
    for (int attempt = 0; attempt < kTries && !tputlib_interrupted(); ++attempt) {
        int32_t sec = 0;
        int32_t usec = 0;
        tputlib_gettimeofday(&sec, &usec);
        tputlib_datagram_write(buffer, TputDatagramHeader{-lastId, static_cast<uint32_t>(sec), static_cast<uint32_t>(usec)});
        send(s->sock, buffer, length, MSG_NOSIGNAL);
        pollfd p{s->sock, POLLIN, 0};
        if (poll(&p, 1, 250) <= 0)
            continue;
        const ssize_t n = recv(s->sock, answer, sizeof answer, 0);
        if (n < static_cast<ssize_t>(kTputAckSize))
            continue;
        const TputServerStats stats = tputlib_stats_read(answer + kTputDatagramHeaderSize);
        TputTransferInfo info{};
        info.totalBytes = (static_cast<uint64_t>(static_cast<uint32_t>(stats.totalHigh)) << 32) |
                          static_cast<uint32_t>(stats.totalLow);
        info.endTime = stats.stopSec + stats.stopUsec / 1e6;
        info.errors = stats.errors;
        info.outOfOrder = stats.outOfOrder;
        info.datagrams = stats.datagrams;
        info.jitter = stats.jitterSec + stats.jitterUsec / 1e6;
        tputlib_report_server_stats(s, info);
        return;
    }
    printf("[%3d] WARNING: did not receive ack of last datagram after %d tries.\n", s->sock, kTries);
    fflush(stdout);
}

// Paced datagrams, each numbered and stamped with its send time.
void RunUdp(TputSettings* s)
{
    const size_t length = static_cast<size_t>(s->bufferLength < 12 ? 12 : s->bufferLength);
    std::vector<uint8_t> buffer(length);
    for (size_t i = 0; i < length; ++i)
        buffer[i] = static_cast<uint8_t>('0' + i % 10);
    if (!(s->flags & kTputFlagCompat) && length >= kTputDatagramHeaderSize + kTputHeaderSize) {
        TputClientHeader header;
        tputlib_make_client_header(s, &header);
        tputlib_header_to_wire(header, buffer.data() + kTputDatagramHeaderSize);
    }
    TputReportHeader* report = tputlib_init_report(s);
    TputPacket packet{};
    const bool timed = s->flags & kTputFlagModeTime;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + RunLength(s->amount);
    const double gap = s->udpRate > 0 ? length * 8.0 / static_cast<double>(s->udpRate) : 0.0;
    uint64_t left = s->amount;
    int32_t id = 0;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (tputlib_interrupted() || (timed ? now >= deadline : left == 0))
            break;
        const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(gap * id));
        if (due > now) {
            // In slices: a peer may ask for a rate so low that the next
            // datagram is hours away, and a stop must not wait for it.
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(due - now, std::chrono::milliseconds(kSliceMs)));
            continue;
        }
        int32_t sec = 0;
        int32_t usec = 0;
        tputlib_gettimeofday(&sec, &usec);
        tputlib_datagram_write(buffer.data(), TputDatagramHeader{id, static_cast<uint32_t>(sec), static_cast<uint32_t>(usec)});
        const ssize_t n = send(s->sock, buffer.data(), length, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == ENOBUFS || errno == ECONNREFUSED))
            continue;
        if (n < 0)
            break;
        packet.packetId = id + 1; // counted from 1 so that the highest id is the number sent
        packet.length = static_cast<uint64_t>(n);
        packet.packetTime = tputlib_now();
        packet.sentTime = TputTime{sec, usec};
        tputlib_report_packet(report, &packet);
        left = left > static_cast<uint64_t>(n) ? left - static_cast<uint64_t>(n) : 0;
        ++id;
    }
    packet.packetTime = tputlib_now();
    tputlib_close_report(report, &packet);
    tputlib_end_report(report);
    FinishUdp(s, buffer.data(), length, id);
}

} // namespace

void tputlib_client_set_hundredth_us(int us)
{
    g_hundredthUs = us < 1 ? 1 : us;
}

void tputlib_client_init(TputSettings* s)
{
    s->flags |= kTputFlagReportSettings;
    TputSettings* chainEnd = nullptr;
    if (!(s->flags & kTputFlagCompat) && s->testMode != kTputTestNormal) {
        TputSettings* listener = nullptr;
        tputlib_settings_copy(s, &listener);
        listener->threadMode = kTputModeListener;
        listener->flags |= kTputFlagCompat;
        listener->flags &= ~kTputFlagReportSettings;
        listener->testMode = kTputTestNormal;
        if (s->listenPort != 0)
            listener->port = s->listenPort;
        listener->sock = -1;
        tputlib_settings_set_group(listener, nullptr);
        chainEnd = listener;
    }
    tputlib_settings_set_group(s, tputlib_init_multi(s, tputlib_next_group_id()));
    TputSettings* previous = s;
    for (int i = 1; i < s->threads; ++i) {
        TputSettings* copy = nullptr;
        tputlib_settings_copy(s, &copy);
        copy->flags &= ~kTputFlagReportSettings;
        previous->runNow = copy;
        previous = copy;
    }
    previous->runNow = chainEnd;
}

void tputlib_client_spawn(TputSettings* s)
{
    s->sock = OpenConnection(s);
    if (s->sock < 0)
        return;
    if (s->flags & kTputFlagReportSettings)
        tputlib_report_settings_queue(s);
    if (s->flags & kTputFlagUdp) {
        RunUdp(s);
        tputlib_sockets_close(s->sock);
        s->sock = -1;
        return;
    }
    if (!(s->flags & kTputFlagCompat)) {
        TputClientHeader header;
        uint8_t wire[kTputHeaderSize];
        tputlib_make_client_header(s, &header);
        tputlib_header_to_wire(header, wire);
        tputlib_send_all(s->sock, wire, sizeof wire);
    }
    const int length = s->bufferLength > 0 ? s->bufferLength : 1;
    char* buffer = new (std::nothrow) char[length];
    if (!buffer) {
        tputlib_warn_errno("No memory for buffer\n");
    } else {
        for (int i = 0; i < length; ++i)
            buffer[i] = static_cast<char>('0' + i % 10);
        RunTcp(s, buffer);
        delete[] buffer;
    }
    tputlib_sockets_close(s->sock);
    s->sock = -1;
}
