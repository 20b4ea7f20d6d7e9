#pragma once

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>

// A small throughput client: connects, writes the 24-byte client header
// (unless told not to) and then sends data for a duration, optionally paced to
// a rate. Used by tests, the benchmark and the simulated camera.
struct TputClientOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 3600;
    // The address to send from (a simulated camera's own); empty: any.
    std::string localAddress;
    double durationSeconds = 10.0;
    double rateBitsPerSecond = 0; // 0: as fast as the connection takes it
    bool sendHeader = true;
    // Header words (host order). amount 0 means "minus the duration in
    // hundredths of a second", as a device's client sends it.
    uint32_t headerFlags = 0;
    int32_t headerThreads = 0;
    int32_t headerPort = 0;
    int32_t headerBufferLength = 0;
    int32_t headerWindow = 0;
    int32_t headerAmount = 0;
    size_t bufferLength = 131072;
    int connectTimeoutMs = 5000;
};

struct TputClientResult {
    int error = 0;              // 0, or the errno of the failed connect or send
    uint64_t payloadBytes = 0;  // bytes sent after the header
    double seconds = 0;         // from connect to close
    double bitsPerSecond = 0;   // payloadBytes * 8 / seconds
};

class TputClient {
public:
    explicit TputClient(TputClientOptions options);
    TputClient(const TputClient&) = delete;
    TputClient& operator=(const TputClient&) = delete;

    // Runs the whole test on the calling thread.
    TputClientResult Run();
    // Ends a Run on another thread early.
    void Stop();

    // The 24 header bytes as they go on the wire.
    static void EncodeHeader(const TputClientOptions& options, uint8_t out[24]);

private:
    int Connect();
    // Sets *error to the errno of a failed send (not of one that Stop cut).
    uint64_t SendFor(int fd, double startSeconds, int* error);

    TputClientOptions m_options;
    std::atomic<bool> m_stop{false};
    std::mutex m_fdLock; // Stop must not shut down a number that was closed and reused
    int m_fd = -1;
};
