#pragma once

#include "TputClient.h"
#include "TputLib.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

// Collects what the library hands to its result callback.
class TputResultCollector {
public:
    static int Callback(TputResult* result, double intervalLength);

    // Waits until `count` final reports arrived; false on time-out.
    bool WaitForFinals(size_t count, std::chrono::milliseconds timeout);
    std::vector<TputResult> Results();
    std::vector<TputResult> Finals();
    // Blocks the reporter inside the callback until Release (slow reporter).
    void HoldFirstCall();
    void Release();

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<TputResult> m_results;
    bool m_hold = false;
    bool m_held = false;
};

// A port on 127.0.0.1 that was free a moment ago.
uint16_t TputFreePort();
// Waits until a TCP socket listens on the port (checked without connecting).
bool TputWaitListening(uint16_t port, std::chrono::milliseconds timeout);
// Whether a TCP socket could bind the port on every address right now.
bool TputPortFree(uint16_t port);
// Connects to 127.0.0.1:port (TCP, or UDP with SOCK_DGRAM); -1 on failure.
int TputConnect(uint16_t port, int type = SOCK_STREAM);
// Listens on an ephemeral port of 127.0.0.1, returns the socket and the port.
int TputListenLoopback(uint16_t* port, int backlog = 5);
// Accepts one connection within the timeout and counts its bytes until it
// closes; returns -1 when nobody connected.
int64_t TputAcceptAndCount(int listenFd, std::chrono::milliseconds timeout);

// Waits until pred() holds, polling; false when the deadline passed first.
template <typename Pred>
bool TputWaitUntil(Pred pred, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= until)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A library serving loopback only, with a collector behind its callback.
class TputServerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the server on a free port and waits until it listens.
    uint16_t Start(int interval);
    TputClientResult RunClient(uint16_t port, double seconds, double rate, uint32_t flags = 0);

    TputResultCollector collector;
};

// Sends what the process writes to fd (1 or 2) into a pipe that the test can
// wait on; the stream goes back to where it was at Finish or destruction.
class TputOutputTap {
public:
    explicit TputOutputTap(int fd);
    ~TputOutputTap();
    TputOutputTap(const TputOutputTap&) = delete;
    TputOutputTap& operator=(const TputOutputTap&) = delete;

    bool WaitFor(const std::string& text, std::chrono::milliseconds timeout);
    std::string Text();
    // Restores the stream and returns everything written meanwhile.
    std::string Finish();

private:
    int m_fd;
    int m_saved = -1;
    int m_read = -1;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_text;
};

// A loopback listener for runs back from the library: accepts any number of
// connections and reads them (or holds them unread) until destroyed.
class TputBackSink {
public:
    explicit TputBackSink(bool read = true);
    ~TputBackSink();
    TputBackSink(const TputBackSink&) = delete;
    TputBackSink& operator=(const TputBackSink&) = delete;

    uint16_t Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    uint64_t Bytes() const { return m_bytes.load(); }
    bool WaitForConnections(int count, std::chrono::milliseconds timeout);

private:
    void Loop();

    bool m_readData;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<int> m_connections{0};
    std::atomic<uint64_t> m_bytes{0};
    std::thread m_thread;
};
