#pragma once

#include <cstddef>
#include <cstdint>

struct TputSettings;

// The 24 bytes a throughput client sends first: six big-endian 32-bit words.
struct TputClientHeader {
    int32_t flags;
    int32_t threads;
    int32_t port;
    int32_t bufferLength;
    int32_t windowOrRate;
    int32_t amount;
};

static_assert(sizeof(TputClientHeader) == 24, "client header is 24 bytes on the wire");
static_assert(offsetof(TputClientHeader, threads) == 4, "client header layout");
static_assert(offsetof(TputClientHeader, port) == 8, "client header layout");
static_assert(offsetof(TputClientHeader, bufferLength) == 12, "client header layout");
static_assert(offsetof(TputClientHeader, windowOrRate) == 16, "client header layout");
static_assert(offsetof(TputClientHeader, amount) == 20, "client header layout");

constexpr int32_t kTputHeaderVersion1 = static_cast<int32_t>(0x80000000u); // test back requested
constexpr int32_t kTputHeaderRunNow = 0x00000001;                           // dual test

constexpr size_t kTputHeaderSize = sizeof(TputClientHeader);

// Bounds for a test back that a peer may ask for.
constexpr int32_t kTputMaxBackThreads = 16;
constexpr int32_t kTputMaxBackBuffer = 8 * 1024 * 1024;
constexpr int32_t kTputMaxBackWindow = 64 * 1024 * 1024;
constexpr int32_t kTputMaxBackHundredths = 360000; // one hour

// Host-order header from the settings of a client.
void tputlib_make_client_header(const TputSettings* settings, TputClientHeader* header);

void tputlib_header_to_wire(const TputClientHeader& header, uint8_t out[kTputHeaderSize]);
void tputlib_header_from_wire(const uint8_t in[kTputHeaderSize], TputClientHeader* header);

// Whether the values a peer sent are within the bounds above.
bool tputlib_header_sane(const TputClientHeader& header);
