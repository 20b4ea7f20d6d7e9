#include "TputListener.h"

#include "TputClientHeader.h"
#include "TputClientThread.h"
#include "TputError.h"
#include "TputInet.h"
#include "TputPeerList.h"
#include "TputReporter.h"
#include "TputSettings.h"
#include "TputSignal.h"
#include "TputSockets.h"
#include "TputThread.h"
#include "TputUdpServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kAcceptPollMs = 100;
constexpr int kAcceptBackoffStartMs = 10;
constexpr int kAcceptBackoffMaxMs = 1000;

void Rest(int ms)
{
    // Sliced so that an interrupt ends the rest early.
    for (int waited = 0; waited < ms && !tputlib_interrupted(); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Waits for a connection; -1 once the library is interrupted. A failing
// accept backs off instead of spinning.
int AcceptOne(TputSettings* listener, TputSettings* server)
{
    int backoff = 0;
    for (;;) {
        if (tputlib_interrupted())
            return -1;
        const int ready = tputlib_wait_readable(listener->sock, kAcceptPollMs);
        if (ready == 0)
            continue;
        socklen_t len = sizeof server->peer;
        const int fd = ready > 0 ? accept(listener->sock, reinterpret_cast<sockaddr*>(&server->peer), &len) : -1;
        if (fd >= 0) {
            server->peerLength = len;
            return fd;
        }
        if (tputlib_interrupted())
            return -1;
        if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED)
            continue;
        if (backoff == 0)
            tputlib_warn_errno("accept");
        backoff = backoff == 0 ? kAcceptBackoffStartMs : std::min(backoff * 2, kAcceptBackoffMaxMs);
        Rest(backoff);
    }
}

// Reads the client header: 24 whole bytes within the wait, else nothing.
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
        const int ready = tputlib_wait_readable(fd, static_cast<int>(std::min<long long>(left, kAcceptPollMs)));
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

// Attaches the test back a peer asked for to the server settings.
void PrepareTestBack(TputSettings* server, const TputClientHeader& header)
{
    if (!(header.flags & kTputHeaderVersion1))
        return;
    if (!tputlib_header_sane(header)) {
        char peer[64];
        tputlib_addr_text(server->peer, peer, sizeof peer);
        fprintf(stderr, "WARNING: %s asked for a test back with threads %d, port %d, length %d, window %d, amount %d: refused\n",
                peer, header.threads, header.port, header.bufferLength, header.windowOrRate, header.amount);
        return;
    }
    TputSettings* client = tputlib_settings_from_header(server, header);
    if (!client)
        return;
    tputlib_client_init(client);
    if (header.flags & kTputHeaderRunNow)
        server->runNow = client;
    else
        server->runNext = client;
}

TputSettings* NewServer(const TputSettings* listener)
{
    TputSettings* server = nullptr;
    tputlib_settings_copy(listener, &server);
    server->threadMode = kTputModeServer;
    server->sock = -1;
    return server;
}

} // namespace

int tputlib_listen(TputSettings* s)
{
    const bool ipv6 = s->flags & kTputFlagIPv6;
    if (!s->localHost) {
        memset(&s->local, 0, sizeof s->local);
        s->local.ss_family = ipv6 ? AF_INET6 : AF_INET;
        if (ipv6)
            reinterpret_cast<sockaddr_in6&>(s->local).sin6_addr = in6addr_any;
        else
            reinterpret_cast<sockaddr_in&>(s->local).sin_addr.s_addr = htonl(INADDR_ANY);
    }
    s->localLength = tputlib_addr_length(s->local);
    tputlib_addr_set_port(s->local, s->port);

    const bool udp = s->flags & kTputFlagUdp;
    const int fd = socket(s->local.ss_family, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    if (fd < 0) {
        tputlib_warn_errno("socket");
        return -1;
    }
    tputlib_set_socket_options(s, fd, false);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A listener that cannot bind or listen ends with its message: retrying
    // would only spin.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&s->local), s->localLength) < 0) {
        tputlib_warn_errno("bind");
        close(fd);
        return -1;
    }
    if (tputlib_addr_is_multicast(s->local) && s->local.ss_family == AF_INET) {
        ip_mreq group{};
        group.imr_multiaddr = reinterpret_cast<const sockaddr_in&>(s->local).sin_addr;
        group.imr_interface.s_addr = htonl(INADDR_ANY);
        if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) < 0)
            tputlib_warn_errno("WSAJoinLeaf (aka bind)");
    }
    if (!udp && listen(fd, 5) < 0) {
        tputlib_warn_errno("listen");
        close(fd);
        return -1;
    }
    tputlib_sockets_register(fd);
    return fd;
}

void tputlib_listener_spawn(TputSettings* s)
{
    s->sock = tputlib_listen(s);
    if (s->sock < 0)
        return;
    tputlib_report_settings_queue(s);
    if (s->flags & kTputFlagUdp)
        tputlib_udp_single_server(s);
    else
        tputlib_listener_run(s);
    if (tputlib_sockets_close(s->sock) < 0)
        tputlib_warn_errno("close");
    s->sock = -1;
}

void tputlib_listener_run(TputSettings* listener)
{
    const bool counted = listener->threads != 0;
    int left = listener->threads;
    bool hostRestricted = false;
    if (listener->host) {
        if (tputlib_resolve(listener->host, &listener->peer, listener->flags & kTputFlagIPv6) == 0)
            hostRestricted = true;
    }
    uint8_t headerBytes[kTputHeaderSize];
    TputSettings* server = NewServer(listener);
    do {
        const int fd = AcceptOne(listener, server);
        if (fd < 0)
            break;
        // Registered before the flag is checked, so that a stop arriving in
        // between still shuts this socket down.
        tputlib_sockets_register(fd);
        if (tputlib_interrupted()) {
            tputlib_sockets_close(fd);
            break;
        }
        server->localLength = sizeof server->local;
        getsockname(fd, reinterpret_cast<sockaddr*>(&server->local), &server->localLength);

        bool restricted = hostRestricted;
        if (listener->flags & kTputFlagSingleClient) {
            if (tputlib_peer_list_empty()) {
                listener->peer = server->peer;
                if (left-- == 1) {
                    tputlib_release_nonterm(0);
                    left = 1;
                }
            }
            restricted = true;
        }
        if (restricted && !tputlib_addr_same_host(server->peer, listener->peer)) {
            tputlib_sockets_close(fd);
            continue;
        }

        TputGroupHeader* group = nullptr;
        tputlib_peer_add(server->peer, server, &group);
        tputlib_settings_set_group(server, group);

        server->sock = fd;
        server->initialBytes = 0;
        if (!(listener->flags & (kTputFlagCompat | kTputFlagMulticast))) {
            const int got = ReadHeader(fd, headerBytes);
            if (got == static_cast<int>(kTputHeaderSize)) {
                TputClientHeader header;
                tputlib_header_from_wire(headerBytes, &header);
                PrepareTestBack(server, header);
            } else {
                server->initialBytes = static_cast<uint32_t>(got); // too short for a header: test data
            }
        }
        if (!tputlib_thread_start(server)) {
            // No thread for this connection: drop it, keep serving others.
            tputlib_peer_remove(server->peer);
            tputlib_sockets_close(fd);
            tputlib_settings_destroy(server->runNext);
            tputlib_settings_destroy(server);
            server = NewServer(listener);
            continue;
        }
        if (!(listener->flags & kTputFlagSingleClient))
            left--;
        server = NewServer(listener);
    } while (!tputlib_interrupted() && (!counted || left > 0));
    tputlib_settings_destroy(server);
}

TputSettings* tputlib_settings_from_header(const TputSettings* server, const TputClientHeader& header)
{
    TputSettings* c = nullptr;
    tputlib_settings_copy(server, &c);
    c->flags |= kTputFlagCompat;
    c->threadId = 0;
    c->sock = -1;
    c->initialBytes = 0;
    c->port = static_cast<uint16_t>(header.port);
    c->threads = header.threads;
    if (header.bufferLength != 0)
        c->bufferLength = header.bufferLength;
    if (header.windowOrRate != 0) {
        if (c->flags & kTputFlagUdp)
            c->udpRate = static_cast<uint64_t>(header.windowOrRate);
        else
            c->tcpWindow = header.windowOrRate;
    }
    if (header.amount < 0) {
        c->flags |= kTputFlagModeTime;
        c->amount = static_cast<uint64_t>(-static_cast<int64_t>(header.amount));
    } else {
        c->flags &= ~kTputFlagModeTime;
        c->amount = static_cast<uint64_t>(header.amount);
    }
    free(c->fileName);
    free(c->host);
    free(c->localHost);
    free(c->outputFileName);
    c->fileName = c->outputFileName = nullptr;
    c->localHost = server->localHost ? strdup(server->localHost) : nullptr;
    char peer[66];
    tputlib_addr_text(server->peer, peer, sizeof peer);
    c->host = strdup(peer);
    tputlib_addr_set_port(c->peer, c->port);
    c->testMode = (header.flags & kTputHeaderRunNow) ? kTputTestDual : kTputTestTradeoff;
    c->threadMode = kTputModeClient;
    tputlib_settings_set_group(c, nullptr);
    return c;
}
