#include "TputTestSupport.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <algorithm>
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

namespace {

// Whether a TCP socket on the port is in the LISTEN state, from the kernel's
// table (a bound socket may not listen yet; connecting would be a test).
bool ListeningNow(uint16_t port)
{
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        FILE* f = fopen(table, "r");
        if (!f)
            continue;
        char line[512];
        bool found = false;
        while (!found && fgets(line, sizeof line, f)) {
            char local[64];
            unsigned state = 0;
            if (sscanf(line, " %*d: %63s %*s %x", local, &state) != 2)
                continue;
            const char* colon = strrchr(local, ':');
            found = colon && strtoul(colon + 1, nullptr, 16) == port && state == 0x0A;
        }
        fclose(f);
        if (found)
            return true;
    }
    return false;
}

} // namespace

bool TputWaitListening(uint16_t port, std::chrono::milliseconds timeout)
{
    return TputWaitUntil([port] { return ListeningNow(port); }, timeout);
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

int TputListenLoopback(uint16_t* port, int backlog)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd, backlog);
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

void TputServerFixture::SetUp()
{
    setenv("TPUT_BIND", "127.0.0.1", 1); // tests serve loopback only
    tputlib_init();
}

void TputServerFixture::TearDown()
{
    tputlib_cleanup();
    for (const char* name : {"TPUT_BIND", "TPUT_LEN", "TPUT_PORT", "TPUT_UDP", "TPUT_REPORTSTYLE", "TPUT_REPORTEXCLUDE"})
        unsetenv(name);
}

uint16_t TputServerFixture::Start(int interval)
{
    const uint16_t port = TputFreePort();
    tputlib_start_server(interval, port, &TputResultCollector::Callback, &collector);
    // Listening, not only bound: a client may connect at once.
    EXPECT_TRUE(TputWaitUntil([] { return tputlib_running(); }, std::chrono::seconds(10)));
    return port;
}

TputClientResult TputServerFixture::RunClient(uint16_t port, double seconds, double rate, uint32_t flags)
{
    TputClientOptions o;
    o.port = port;
    o.durationSeconds = seconds;
    o.rateBitsPerSecond = rate;
    o.headerFlags = flags;
    return TputClient(o).Run();
}

TputOutputTap::TputOutputTap(int fd)
    : m_fd(fd)
{
    int ends[2];
    if (pipe(ends) != 0)
        return;
    fflush(nullptr);
    m_saved = dup(fd);
    dup2(ends[1], fd);
    close(ends[1]);
    m_read = ends[0];
    m_reader = std::thread([this] {
        char buffer[4096];
        ssize_t n;
        while ((n = read(m_read, buffer, sizeof buffer)) > 0) {
            std::lock_guard<std::mutex> lk(m_lock);
            m_text.append(buffer, static_cast<size_t>(n));
            m_changed.notify_all();
        }
    });
}

TputOutputTap::~TputOutputTap()
{
    Finish();
}

bool TputOutputTap::WaitFor(const std::string& text, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lk(m_lock);
    return m_changed.wait_for(lk, timeout, [&] { return m_text.find(text) != std::string::npos; });
}

std::string TputOutputTap::Text()
{
    std::lock_guard<std::mutex> lk(m_lock);
    return m_text;
}

std::string TputOutputTap::Finish()
{
    if (m_saved >= 0) {
        fflush(nullptr);
        dup2(m_saved, m_fd); // the pipe's last writer is gone: the reader sees its end
        close(m_saved);
        m_saved = -1;
        m_reader.join();
        close(m_read);
        // What went into the pipe includes the failure messages of a test
        // that failed while the stream was caught: show them.
        if (::testing::Test::HasFailure()) {
            const std::string text = Text();
            (void)!write(m_fd, text.data(), text.size());
        }
    }
    return Text();
}

TputBackSink::TputBackSink(bool read)
    : m_readData(read)
{
    m_listen = TputListenLoopback(&m_port);
    if (pipe(m_wake) != 0)
        return;
    m_thread = std::thread([this] { Loop(); });
}

TputBackSink::~TputBackSink()
{
    if (m_thread.joinable()) {
        const char stop = 0;
        (void)!write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    close(m_wake[0]);
    close(m_wake[1]);
    close(m_listen);
}

bool TputBackSink::WaitForConnections(int count, std::chrono::milliseconds timeout)
{
    return TputWaitUntil([&] { return m_connections.load() >= count; }, timeout);
}

void TputBackSink::Loop()
{
    std::vector<int> open;
    std::vector<char> buffer(65536);
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        if (m_readData) {
            for (int fd : open)
                fds.push_back({fd, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd >= 0) {
                open.push_back(fd);
                m_connections.fetch_add(1);
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t n = recv(fds[i].fd, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                m_bytes.fetch_add(static_cast<uint64_t>(n));
            } else {
                close(fds[i].fd);
                open.erase(std::find(open.begin(), open.end(), fds[i].fd));
            }
        }
    }
    for (int fd : open)
        close(fd);
}
