#pragma once

#include "TputLib.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/socket.h>
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
// Waits until something listens on 127.0.0.1:port (checked without connecting).
bool TputWaitListening(uint16_t port, std::chrono::milliseconds timeout);
// Whether a TCP socket could bind the port on every address right now.
bool TputPortFree(uint16_t port);
// Connects to 127.0.0.1:port (TCP, or UDP with SOCK_DGRAM); -1 on failure.
int TputConnect(uint16_t port, int type = SOCK_STREAM);
bool TputSendAll(int fd, const void* data, size_t size);
// Listens on an ephemeral port of 127.0.0.1, returns the socket and the port.
int TputListenLoopback(uint16_t* port);
// Accepts one connection within the timeout and counts its bytes until it
// closes; returns -1 when nobody connected.
int64_t TputAcceptAndCount(int listenFd, std::chrono::milliseconds timeout);
