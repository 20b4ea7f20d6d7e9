#pragma once

#include "HttpCode.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

struct in_addr;

// One TCP connection of the back-end client: the name lookup, a connect that
// does not block, the request sent whole and the waits of the receive loop.
// The socket closes with the object on every way out.
class HttpConnection {
public:
    static constexpr int WAIT_MS = 2000;        // one connect, send or receive wait of an exchange
    static constexpr int WAIT_SLICE_MS = 100;   // the stop flag is looked at this often while waiting

    // The name lookup of every connection (getaddrinfo when empty); tests put a
    // slow one in its place. Dotted addresses are never looked up.
    using NameLookup = std::function<bool(const std::string& host, in_addr* address)>;
    static void SetNameLookup(NameLookup lookup);

    HttpConnection() = default;
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Resolves host ("name" or "name:port"), makes a TCP socket with the given receive
    // buffer and connects without blocking, waiting up to `waits` times waitMs for it to
    // become writable (an error result goes on: a refused connection shows up when the
    // request is sent). Ok, or NotResolved, Stopped (no socket too), ReceiveBufferOption
    // or ConnectTimeout. A set stop flag ends the name lookup and the waits at once.
    HttpCode Open(const char* host, uint16_t port, int rcvbuf, int waits, int waitMs, const std::atomic<bool>* stop);
    // Sends the whole request in blocking mode, then switches back to non-blocking for
    // the receive loop. False when it did not go out whole.
    bool SendWhole(const char* data, size_t length);
    // Waits up to totalMs for bytes to read, in slices when there is a stop flag to
    // look at. 1 ready, 0 timed out or stopped, -1 error.
    int WaitReadable(int totalMs, const std::atomic<bool>* stop = nullptr);
    // What has come, at most capacity bytes: recv()'s result.
    ssize_t Receive(char* into, size_t capacity);

private:
    int m_fd = -1;
};
