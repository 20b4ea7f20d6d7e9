#include "TputSockets.h"

#include "TputError.h"
#include "TputInet.h"
#include "TputSettings.h"

#include <cerrno>
#include <mutex>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::mutex g_socketsLock;
// Never destroyed: library threads may still close sockets during exit.
std::set<int>& g_sockets = *new std::set<int>;

} // namespace

void tputlib_sockets_register(int fd)
{
    if (fd < 0)
        return;
    std::lock_guard<std::mutex> lk(g_socketsLock);
    g_sockets.insert(fd);
}

int tputlib_sockets_close(int fd)
{
    if (fd < 0)
        return 0;
    {
        // Unregistered before the number can be reused by another socket.
        std::lock_guard<std::mutex> lk(g_socketsLock);
        g_sockets.erase(fd);
    }
    return close(fd);
}

void tputlib_sockets_shutdown_all()
{
    std::lock_guard<std::mutex> lk(g_socketsLock);
    for (int fd : g_sockets)
        shutdown(fd, SHUT_RDWR);
}

int tputlib_sockets_open_count()
{
    std::lock_guard<std::mutex> lk(g_socketsLock);
    return static_cast<int>(g_sockets.size());
}

void tputlib_set_socket_options(const TputSettings* s, int fd, bool client)
{
    if (s->tcpWindow > 0) {
        const int size = s->tcpWindow;
        setsockopt(fd, SOL_SOCKET, client ? SO_SNDBUF : SO_RCVBUF, &size, sizeof size);
    }
    if ((s->flags & kTputFlagMulticast) && s->ttl > 0) {
        const int ttl = s->ttl;
        const int rc = s->peer.ss_family == AF_INET6 || s->local.ss_family == AF_INET6
                           ? setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl)
                           : setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        if (rc < 0)
            tputlib_warn_errno("multicast ttl");
    }
    if (s->tos > 0) {
        const int tos = s->tos;
        if (setsockopt(fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos) < 0)
            tputlib_warn_errno("setsockopt IP_TOS");
    }
    if (s->flags & kTputFlagUdp)
        return;
    if (s->mss > 0) {
        int mss = s->mss;
        if (setsockopt(fd, IPPROTO_TCP, TCP_MAXSEG, &mss, sizeof mss) < 0) {
            fprintf(stderr, "WARNING: attempt to set TCP maxmimum segment size to %d failed.\nSetting the MSS may not be implemented on this OS.\n", s->mss);
        } else {
            socklen_t len = sizeof mss;
            if (getsockopt(fd, IPPROTO_TCP, TCP_MAXSEG, &mss, &len) == 0 && mss != s->mss)
                fprintf(stderr, "WARNING: attempt to set TCP maximum segment size to %d, but got %d\n", s->mss, mss);
        }
    }
    if (s->flags & kTputFlagNoDelay) {
        const int one = 1;
        if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) < 0)
            tputlib_warn_errno("setsockopt TCP_NODELAY");
    }
}

int tputlib_wait_readable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeout_ms);
    } while (rc < 0 && errno == EINTR);
    return rc;
}
