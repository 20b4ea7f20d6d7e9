#include "TputListener.h"

#include "TputClientHeader.h"
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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kAcceptPollMs = 100;
constexpr int kAcceptBackoffStartMs = 10;
constexpr int kAcceptBackoffMaxMs = 1000;
// A port that cannot be bound (another program holds it) is tried again this
// often, for as long as the library runs.
constexpr int kListenRetryMs = 2000;

// Listeners that hold their socket.
std::atomic<int> g_listening{0};

// Why the last try to take the port failed; empty once a listener holds it.
std::mutex g_failureLock;
char g_failure[128];

void SetListenFailure(const char* operation, int error)
{
    std::lock_guard<std::mutex> lk(g_failureLock);
    if (operation)
        snprintf(g_failure, sizeof g_failure, "%s failed: %s", operation, tputlib_error_text(error));
    else
        g_failure[0] = '\0';
}

void CloseKeepingErrno(int fd)
{
    const int error = errno;
    close(fd);
    errno = error;
}

void Rest(int ms)
{
    // Sliced so that an interrupt ends the rest early.
    for (int waited = 0; waited < ms && !tputlib_interrupted(); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Waits for a connection; -1 once the library is interrupted. A failing
// accept backs off instead of spinning.
int AcceptOne(const TputSettings* listener, sockaddr_storage* peer, socklen_t* peerLength)
{
    int backoff = 0;
    for (;;) {
        if (tputlib_interrupted())
            return -1;
        const int ready = tputlib_wait_readable(listener->sock, kAcceptPollMs);
        if (ready == 0)
            continue;
        *peerLength = sizeof *peer;
        const int fd = ready > 0 ? accept(listener->sock, reinterpret_cast<sockaddr*>(peer), peerLength) : -1;
        if (fd >= 0)
            return fd;
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

struct SettingsDeleter {
    void operator()(TputSettings* settings) const { tputlib_settings_destroy(settings); }
};

// A connection's record, owned here until its thread takes it over.
using ServerRecord = std::unique_ptr<TputSettings, SettingsDeleter>;

// Made only for an accepted connection, never ahead of the wait: the leak
// checker loses sight of a thread's stack once the kernel reuses the id of an
// ended thread for it, and a listener waiting with a record that only its
// stack held would then be reported as leaking it.
ServerRecord NewServer(const TputSettings* listener, int fd, const sockaddr_storage& peer, socklen_t peerLength)
{
    TputSettings* server = nullptr;
    tputlib_settings_copy(listener, &server);
    server->threadMode = kTputModeServer;
    server->sock = -1;
    server->peer = peer;
    server->peerLength = peerLength;
    server->localLength = sizeof server->local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&server->local), &server->localLength);
    return ServerRecord(server);
}

// Starts the connection's thread, which takes the record over. Without a
// thread the connection is dropped with its record; the listener serves on.
bool StartServer(ServerRecord server, int fd)
{
    TputGroupHeader* group = nullptr;
    tputlib_peer_add(server->peer, server.get(), &group);
    tputlib_settings_set_group(server.get(), group);

    // The client header is read on the connection's own thread: a peer
    // that sends nothing must not hold up the next accept.
    server->sock = fd;
    if (tputlib_thread_start(server.get())) {
        server.release();
        return true;
    }
    tputlib_peer_remove(server->peer);
    tputlib_sockets_close(fd);
    return false;
}

// Listens, trying again until it works or the library is stopped. A failure
// is printed once, and again only when it changes.
int ListenUntilItWorks(TputSettings* s)
{
    const char* lastOperation = nullptr;
    int lastError = 0;
    for (;;) {
        const char* operation = nullptr;
        const int fd = tputlib_listen(s, &operation);
        if (fd >= 0) {
            SetListenFailure(nullptr, 0);
            return fd;
        }
        const int error = errno;
        SetListenFailure(operation, error);
        if (operation != lastOperation || error != lastError) {
            tputlib_warn_errno(operation);
            fprintf(stderr, "WARNING: port %u is not served yet, trying again every %d seconds\n", s->port,
                    kListenRetryMs / 1000);
            lastOperation = operation;
            lastError = error;
        }
        Rest(kListenRetryMs);
        if (tputlib_interrupted())
            return -1;
    }
}

} // namespace

int tputlib_listen(TputSettings* s, const char** failedOperation)
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
        *failedOperation = "socket";
        return -1;
    }
    tputlib_set_socket_options(s, fd, false);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&s->local), s->localLength) < 0) {
        *failedOperation = "bind";
        CloseKeepingErrno(fd);
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
        *failedOperation = "listen";
        CloseKeepingErrno(fd);
        return -1;
    }
    tputlib_sockets_register(fd);
    return fd;
}

void tputlib_listener_spawn(TputSettings* s)
{
    s->sock = ListenUntilItWorks(s);
    if (s->sock < 0)
        return;
    g_listening.fetch_add(1);
    tputlib_report_settings_queue(s);
    if (s->flags & kTputFlagUdp)
        tputlib_udp_single_server(s);
    else
        tputlib_listener_run(s);
    g_listening.fetch_sub(1);
    if (tputlib_sockets_close(s->sock) < 0)
        tputlib_warn_errno("close");
    s->sock = -1;
}

bool tputlib_listener_active()
{
    return g_listening.load() > 0;
}

bool tputlib_listener_failure(char* text, size_t size)
{
    if (!text || size == 0)
        return false;
    std::lock_guard<std::mutex> lk(g_failureLock);
    snprintf(text, size, "%s", g_failure);
    return g_failure[0] != '\0';
}

void tputlib_listener_clear_failure()
{
    SetListenFailure(nullptr, 0);
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
    do {
        sockaddr_storage peer{};
        socklen_t peerLength = 0;
        const int fd = AcceptOne(listener, &peer, &peerLength);
        if (fd < 0)
            break;
        // Registered before the flag is checked, so that a stop arriving in
        // between still shuts this socket down.
        tputlib_sockets_register(fd);
        if (tputlib_interrupted()) {
            tputlib_sockets_close(fd);
            break;
        }

        bool restricted = hostRestricted;
        if (listener->flags & kTputFlagSingleClient) {
            if (tputlib_peer_list_empty()) {
                listener->peer = peer;
                if (left-- == 1) {
                    tputlib_release_nonterm(0);
                    left = 1;
                }
            }
            restricted = true;
        }
        if (restricted && !tputlib_addr_same_host(peer, listener->peer)) {
            tputlib_sockets_close(fd);
            continue;
        }
        if (StartServer(NewServer(listener, fd, peer, peerLength), fd) && !(listener->flags & kTputFlagSingleClient))
            left--;
    } while (!tputlib_interrupted() && (!counted || left > 0));
}

TputSettings* tputlib_settings_from_header(const TputSettings* server, const TputClientHeader& header)
{
    TputSettings* c = nullptr;
    tputlib_settings_copy(server, &c);
    c->flags |= kTputFlagCompat;
    c->threadId = 0;
    c->sock = -1;
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
