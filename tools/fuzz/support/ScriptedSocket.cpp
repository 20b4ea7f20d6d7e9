#include "ScriptedSocket.h"

#include "Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace {

// The one connection the client has open, played from the input.
struct Link {
    int fd = -1;                  // the real socket standing for it
    const uint8_t* data = nullptr;
    size_t size = 0;              // where the current connection's bytes end
    size_t pos = 0;
    size_t whole = 0;             // the script's length
    bool perConnection = false;   // each connection ends at kConnectionEnd
    size_t next = 0;              // then: where the next connection's bytes start
    uint32_t state = 0;           // 0: the whole rest arrives at the first receive
    size_t piece = 0;             // bytes the next receive may take
    bool failNextReceive = false;
};

constexpr char kConnectionEnd[] = "\n==next==\n";
constexpr size_t kConnectionEndLength = sizeof kConnectionEnd - 1;

Link g_link;
bool g_armed = false;
uint64_t g_tick = 1;

uint64_t FakeTick()
{
    return g_tick;
}

uint32_t NextRandom()
{
    // xorshift32: the input's schedule byte is the seed.
    uint32_t x = g_link.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    g_link.state = x;
    return x;
}

// What a wait for readable data does: 1 data (or a failing receive) is there,
// 0 the wait runs out, -1 the wait itself fails.
int NextReadEvent(int timeoutMs)
{
    const size_t left = g_link.size - g_link.pos;
    if (g_link.state == 0) {
        g_link.piece = left;
        return 1;
    }
    const uint32_t r = NextRandom();
    switch (r & 31) {
    case 0:
    case 1:
        g_tick += uint64_t(timeoutMs > 0 ? timeoutMs : 1);
        return 0;
    case 2:
        g_link.failNextReceive = true;
        return 1;
    case 3:
        if ((r >> 5) % 16 == 0)
            return -1;
        break;
    default:
        break;
    }
    static const size_t kLimits[] = {4, 32, 512, size_t(-1)};
    const size_t limit = kLimits[(r >> 9) & 3];
    g_link.piece = limit == size_t(-1) ? left : 1 + (r >> 11) % limit;
    return 1;
}

// Per connection: the bytes up to the next end marker (past the current one).
void NextConnection()
{
    g_link.pos = g_link.next;
    const uint8_t* end = g_link.data + g_link.whole;
    const uint8_t* marker = std::search(g_link.data + g_link.pos, end, kConnectionEnd,
                                        kConnectionEnd + kConnectionEndLength);
    g_link.size = size_t(marker - g_link.data);
    g_link.next = std::min(g_link.size + kConnectionEndLength, g_link.whole);
}

}  // namespace

extern "C" {

int __real_socket(int domain, int type, int protocol);
int __real_connect(int fd, const struct sockaddr* addr, socklen_t length);
int __real_poll(struct pollfd* fds, nfds_t count, int timeoutMs);
ssize_t __real_send(int fd, const void* data, size_t length, int flags);
ssize_t __real_recv(int fd, void* data, size_t length, int flags);
int __real_close(int fd);

int __wrap_socket(int domain, int type, int protocol)
{
    const int fd = __real_socket(domain, type, protocol);
    if (g_armed && fd >= 0 && g_link.fd < 0) {
        g_link.fd = fd;
        if (g_link.perConnection)
            NextConnection();
    }
    return fd;
}

int __wrap_connect(int fd, const struct sockaddr* addr, socklen_t length)
{
    if (fd != g_link.fd || fd < 0)
        return __real_connect(fd, addr, length);
    errno = EINPROGRESS;
    return -1;
}

int __wrap_poll(struct pollfd* fds, nfds_t count, int timeoutMs)
{
    if (count != 1 || fds[0].fd != g_link.fd || g_link.fd < 0)
        return __real_poll(fds, count, timeoutMs);
    fds[0].revents = 0;
    if (!(fds[0].events & POLLIN)) {
        fds[0].revents = short(fds[0].events & POLLOUT);
        return fds[0].revents ? 1 : 0;
    }
    const int event = NextReadEvent(timeoutMs);
    if (event < 0) {
        errno = ENOMEM;
        return -1;
    }
    if (event > 0)
        fds[0].revents = POLLIN;
    return event;
}

ssize_t __wrap_send(int fd, const void* data, size_t length, int flags)
{
    if (fd != g_link.fd || fd < 0)
        return __real_send(fd, data, length, flags);
    return ssize_t(length);
}

ssize_t __wrap_recv(int fd, void* data, size_t length, int flags)
{
    if (fd != g_link.fd || fd < 0)
        return __real_recv(fd, data, length, flags);
    if (g_link.failNextReceive) {
        g_link.failNextReceive = false;
        errno = (g_link.state >> 7) & 1 ? EAGAIN : ECONNRESET;
        return -1;
    }
    size_t n = std::min(std::min(length, g_link.piece), g_link.size - g_link.pos);
    memcpy(data, g_link.data + g_link.pos, n);
    g_link.pos += n;
    g_link.piece = 0;
    return ssize_t(n);
}

int __wrap_close(int fd)
{
    if (fd == g_link.fd && fd >= 0)
        g_link.fd = -1;
    return __real_close(fd);
}

}  // extern "C"

void ScriptedSocket::Init()
{
    Clock::SetTickSource(FakeTick);
}

void ScriptedSocket::Arm(const uint8_t* data, size_t size, uint8_t schedule)
{
    g_link = Link();
    g_link.data = data;
    g_link.size = size;
    g_link.whole = size;
    g_link.state = schedule == 0 ? 0 : 0x9E3779B9u * schedule;
    g_armed = true;
}

void ScriptedSocket::ArmPerConnection(const uint8_t* data, size_t size, uint8_t schedule)
{
    Arm(data, size, schedule);
    g_link.perConnection = true;
}

bool ScriptedSocket::Disarm()
{
    g_armed = false;
    const bool closed = g_link.fd < 0;
    g_link = Link();
    return closed;
}
