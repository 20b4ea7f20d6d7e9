#include "TputFuzzServer.h"

#include "TputLib.h"
#include "TputThread.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

uint16_t g_port = 0;
bool g_udp = false;

std::atomic<uint64_t> g_finals{0};
std::mutex g_finalsLock;
std::condition_variable g_finalsCame;
std::atomic<void (*)()> g_finalHook{nullptr};

int CountFinals(TputResult* result, double)
{
    if (result->finalReport) {
        if (void (*hook)() = g_finalHook.load())
            hook();
        std::lock_guard<std::mutex> guard(g_finalsLock);
        g_finals.fetch_add(1);
        g_finalsCame.notify_all();
    }
    return 0;
}

uint16_t FreePort(bool udp)
{
    const int fd = socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    close(fd);
    return ntohs(addr.sin_port);
}

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= until)
            return pred();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

bool StartOnPort()
{
    if (g_udp)
        setenv("TPUT_UDP", "1", 1);
    tputlib_start_server(1, g_port, &CountFinals, nullptr);
    unsetenv("TPUT_UDP");
    return WaitUntil([] { return tputlib_running(); }, std::chrono::seconds(10));
}

void Cleanup()
{
    tputlib_cleanup();
}

}  // namespace

bool TputFuzzServer::Start(bool udp)
{
    g_udp = udp;
    g_port = FreePort(udp);
    tputlib_init();
    atexit(Cleanup);
    return StartOnPort();
}

uint16_t TputFuzzServer::Port()
{
    return g_port;
}

int TputFuzzServer::Connect(int type)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(g_port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int error = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? 0 : errno;
    if (error == EINTR) {
        pollfd p{fd, POLLOUT, 0};
        while (poll(&p, 1, 10000) < 0 && errno == EINTR) {
        }
        socklen_t length = sizeof error;
        if (!(p.revents & POLLOUT) || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = ETIMEDOUT;
    }
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool TputFuzzServer::Restart(bool cleanup)
{
    if (cleanup) {
        tputlib_cleanup();
        tputlib_init();
    } else {
        tputlib_stop_server();
    }
    return StartOnPort();
}

uint64_t TputFuzzServer::Finals()
{
    return g_finals.load();
}

void TputFuzzServer::SetFinalHook(void (*hook)())
{
    g_finalHook = hook;
}

bool TputFuzzServer::WaitFinals(uint64_t count, int seconds)
{
    std::unique_lock<std::mutex> lock(g_finalsLock);
    return g_finalsCame.wait_for(lock, std::chrono::seconds(seconds), [count] { return g_finals.load() >= count; });
}

bool TputFuzzServer::WaitIdle(int seconds)
{
    // The listener alone: the reporter leaves the count while it has nothing to do.
    return WaitUntil([] { return tputlib_thread_count() <= 1; }, std::chrono::seconds(seconds));
}
