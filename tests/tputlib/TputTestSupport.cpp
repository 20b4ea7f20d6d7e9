#include "TputTestSupport.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

int TputResultCollector::Callback(TputResult* result, double)
{
    auto* self = static_cast<TputResultCollector*>(result->context);
    std::unique_lock<std::mutex> lk(self->m_lock);
    self->m_results.push_back(*result);
    self->m_changed.notify_all();
    if (self->m_hold && !self->m_held) {
        self->m_held = true;
        self->m_changed.wait(lk, [self] { return !self->m_hold; });
    }
    return 0;
}

bool TputResultCollector::WaitForFinals(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lk(m_lock);
    return m_changed.wait_for(lk, timeout, [&] {
        size_t finals = 0;
        for (const TputResult& r : m_results)
            finals += r.finalReport == 1;
        return finals >= count;
    });
}

std::vector<TputResult> TputResultCollector::Results()
{
    std::lock_guard<std::mutex> lk(m_lock);
    return m_results;
}

std::vector<TputResult> TputResultCollector::Finals()
{
    std::vector<TputResult> finals;
    for (const TputResult& r : Results()) {
        if (r.finalReport)
            finals.push_back(r);
    }
    return finals;
}

void TputResultCollector::HoldFirstCall()
{
    std::lock_guard<std::mutex> lk(m_lock);
    m_hold = true;
}

void TputResultCollector::Release()
{
    std::lock_guard<std::mutex> lk(m_lock);
    m_hold = false;
    m_changed.notify_all();
}

namespace {

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

} // namespace

uint16_t TputFreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

bool TputPortFree(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return free;
}

bool TputWaitListening(uint16_t port, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = Loopback(port);
        const bool taken = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0;
        close(fd);
        if (taken)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int TputConnect(uint16_t port, int type)
{
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in addr = Loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool TputSendAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int TputListenLoopback(uint16_t* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd, 5);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

int64_t TputAcceptAndCount(int listenFd, std::chrono::milliseconds timeout)
{
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return -1;
    const int fd = accept(listenFd, nullptr, nullptr);
    if (fd < 0)
        return -1;
    int64_t total = 0;
    char buffer[65536];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        total += n;
    close(fd);
    return total;
}
