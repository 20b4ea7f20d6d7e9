// Loopback benchmark of the throughput library.
//  (a) the library's receive rate against a plain blocking-recv sink, both fed
//      by the same unpaced client;
//  (b) the average rate the library reports for a client paced to 18 Mbit/s
//      for 10 s, against the rate the client actually sent.
// Usage: tput-bench [seconds-per-receive-run] [runs]

#include "TputClient.h"
#include "TputLib.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct FinalWaiter {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    double bitsPerSecond = 0;
    double bits = 0;
    double seconds = 0;

    static int Callback(TputResult* r, double)
    {
        auto* self = static_cast<FinalWaiter*>(r->context);
        if (!r->finalReport)
            return 0;
        std::lock_guard<std::mutex> lk(self->lock);
        self->done = true;
        self->bitsPerSecond = r->bitsPerSecond;
        self->bits = r->bits;
        self->seconds = r->intervalLength;
        self->changed.notify_all();
        return 0;
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lk(lock);
        done = false;
    }
    bool Wait()
    {
        std::unique_lock<std::mutex> lk(lock);
        return changed.wait_for(lk, std::chrono::seconds(10), [this] { return done; });
    }
};

uint16_t ListenLoopback(int* fd)
{
    *fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(*fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(*fd, 5);
    socklen_t len = sizeof addr;
    getsockname(*fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

uint16_t FreePort()
{
    int fd;
    const uint16_t port = ListenLoopback(&fd);
    close(fd);
    return port;
}

TputClientResult Send(uint16_t port, double seconds, double rate)
{
    TputClientOptions o;
    o.port = port;
    o.durationSeconds = seconds;
    o.rateBitsPerSecond = rate;
    return TputClient(o).Run();
}

// A plain blocking-recv sink: accept one connection, count until it closes.
double PlainSinkRate(double seconds)
{
    int listenFd;
    const uint16_t port = ListenLoopback(&listenFd);
    double rate = 0;
    std::thread sink([&] {
        const int fd = accept(listenFd, nullptr, nullptr);
        const double start = Now();
        std::vector<char> buffer(131072);
        uint64_t total = 0;
        ssize_t n;
        while ((n = recv(fd, buffer.data(), buffer.size(), 0)) > 0)
            total += static_cast<uint64_t>(n);
        const double span = Now() - start;
        close(fd);
        rate = span > 0 ? (total > 24 ? total - 24 : 0) * 8.0 / span : 0;
    });
    Send(port, seconds, 0);
    sink.join();
    close(listenFd);
    return rate;
}

double LibraryRate(uint16_t port, FinalWaiter& waiter, double seconds)
{
    waiter.Reset();
    Send(port, seconds, 0);
    return waiter.Wait() ? waiter.bitsPerSecond : 0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    const int runs = argc > 2 ? atoi(argv[2]) : 3;
    setenv("TPUT_BIND", "127.0.0.1", 1);

    FinalWaiter waiter;
    const uint16_t port = FreePort();
    tputlib_init();
    tputlib_start_server(2, port, &FinalWaiter::Callback, &waiter);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!tputlib_running()) {
        if (std::chrono::steady_clock::now() >= until) {
            fprintf(stderr, "the server does not listen on port %u\n", port);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::vector<double> library;
    std::vector<double> sink;
    for (int i = 0; i < runs; ++i) {
        library.push_back(LibraryRate(port, waiter, seconds));
        sink.push_back(PlainSinkRate(seconds));
        fprintf(stderr, "run %d: library %.0f Mbit/s, plain sink %.0f Mbit/s\n", i + 1, library.back() / 1e6,
                sink.back() / 1e6);
    }
    const double a = Median(library) / Median(sink);

    waiter.Reset();
    const TputClientResult paced = Send(port, 10.0, 18e6);
    waiter.Wait();
    const double b = waiter.bitsPerSecond / paced.bitsPerSecond;
    tputlib_cleanup();

    printf("(a) receive rate: library %.0f Mbit/s, plain blocking-recv sink %.0f Mbit/s, ratio %.3f\n",
           Median(library) / 1e6, Median(sink) / 1e6, a);
    printf("(b) paced 18 Mbit/s for 10 s: sent %.4f Mbit/s (%.3f s), library reported %.4f Mbit/s (%.3f s), ratio %.4f\n",
           paced.bitsPerSecond / 1e6, paced.seconds, waiter.bitsPerSecond / 1e6, waiter.seconds, b);
    return 0;
}
