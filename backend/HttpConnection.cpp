#include "HttpConnection.h"

#include "HttpClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

std::mutex g_lookupMutex;
HttpConnection::NameLookup g_lookup;   // empty: getaddrinfo

bool SystemLookup(const std::string& host, in_addr* address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    freeaddrinfo(list);
    return true;
}

// One name lookup's result, shared by the exchange and the helper thread that makes it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    in_addr address{};
};

// A name's first IPv4 address: Ok, NotResolved, or Stopped when the stop flag
// was set first. The resolver can't be interrupted, so with a stop flag a name
// (not a dotted address) is looked up on a helper thread that only the shared result
// outlives: a stop need not wait for an unreachable name server.
HttpCode ResolveIpv4(const std::string& host, const std::atomic<bool>* stop, in_addr* out)
{
    if (host.empty())
        return HttpCode::NotResolved;
    if (inet_pton(AF_INET, host.c_str(), out) == 1)
        return HttpCode::Ok;
    HttpConnection::NameLookup lookup;
    {
        std::lock_guard<std::mutex> lock(g_lookupMutex);
        lookup = g_lookup ? g_lookup : SystemLookup;
    }
    auto found = [](bool yes) { return yes ? HttpCode::Ok : HttpCode::NotResolved; };
    if (!stop)
        return found(lookup(host, out));
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host, lookup] {
            in_addr address{};
            const bool found = lookup(host, &address);
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->found = found;
            pending->address = address;
            pending->finished = true;
            pending->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return found(lookup(host, out));   // no thread to spare: look it up here
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->finished) {
        if (stop->load())
            return HttpCode::Stopped;
        pending->done.wait_for(lock, std::chrono::milliseconds(HttpConnection::WAIT_SLICE_MS));
    }
    *out = pending->address;
    return found(pending->found);
}

bool SetNonBlocking(int fd, bool on)
{
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

// poll() rather than select(): no limit on the descriptor's number.
int WaitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r;
}

// Waits up to totalMs for events, in slices when there is a stop flag to look at.
// 1 ready, 0 timed out or stopped, -1 error.
int WaitUnlessStopped(int fd, short events, int totalMs, const std::atomic<bool>* stop)
{
    if (!stop)
        return WaitFor(fd, events, totalMs);
    int ready = 0;
    for (int waited = 0; waited < totalMs && ready == 0 && !stop->load(); waited += HttpConnection::WAIT_SLICE_MS)
        ready = WaitFor(fd, events, std::min(HttpConnection::WAIT_SLICE_MS, totalMs - waited));
    return ready;
}

}  // namespace

void HttpConnection::SetNameLookup(NameLookup lookup)
{
    std::lock_guard<std::mutex> lock(g_lookupMutex);
    g_lookup = std::move(lookup);
}

HttpConnection::~HttpConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

HttpCode HttpConnection::Open(const char* host, uint16_t port, int rcvbuf, int waits, int waitMs,
                              const std::atomic<bool>* stop)
{
    std::string hostName;
    uint16_t hostPort = port;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (!HttpClient::SplitHostPort(host, port, &hostName, &hostPort))
        return HttpCode::NotResolved;
    const HttpCode resolved = ResolveIpv4(hostName, stop, &addr.sin_addr);
    if (resolved != HttpCode::Ok)
        return resolved;
    addr.sin_port = htons(hostPort);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return HttpCode::Stopped;
    if (setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof(rcvbuf)) != 0)
        return HttpCode::ReceiveBufferOption;
    SetNonBlocking(m_fd, true);
    ::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    int writable = 0;
    for (int i = 0; i < waits && writable == 0 && !(stop && stop->load()); ++i)
        writable = WaitUnlessStopped(m_fd, POLLOUT, waitMs, stop);
    if (writable == 0 && stop && stop->load())
        return HttpCode::Stopped;
    return writable == 0 ? HttpCode::ConnectTimeout : HttpCode::Ok;
}

// MSG_NOSIGNAL keeps a closed peer from raising SIGPIPE in the station.
bool HttpConnection::SendWhole(const char* data, size_t length)
{
    SetNonBlocking(m_fd, false);
    size_t sent = 0;
    while (sent < length) {
        if (WaitFor(m_fd, POLLOUT, WAIT_MS) <= 0)
            break;
        const ssize_t n = ::send(m_fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    SetNonBlocking(m_fd, true);
    return sent == length;
}

int HttpConnection::WaitReadable(int totalMs, const std::atomic<bool>* stop)
{
    return WaitUnlessStopped(m_fd, POLLIN, totalMs, stop);
}

ssize_t HttpConnection::Receive(char* into, size_t capacity)
{
    return ::recv(m_fd, into, capacity, 0);
}
