#pragma once

#include "TputTimer.h"

#include <cstddef>
#include <cstdint>

// Every UDP test datagram starts with 12 bytes: sequence number (negative on
// the final datagram), send time seconds and microseconds, all big-endian.
struct TputDatagramHeader {
    int32_t id;
    uint32_t sec;
    uint32_t usec;
};
static_assert(sizeof(TputDatagramHeader) == 12, "datagram header is 12 bytes on the wire");

// The server's answer to the final datagram, behind the datagram header.
struct TputServerStats {
    int32_t flags;
    int32_t totalHigh;
    int32_t totalLow;
    int32_t stopSec;
    int32_t stopUsec;
    int32_t errors;
    int32_t outOfOrder;
    int32_t datagrams;
    int32_t jitterSec;
    int32_t jitterUsec;
};
static_assert(sizeof(TputServerStats) == 40, "server statistics are 40 bytes on the wire");

constexpr size_t kTputDatagramHeaderSize = sizeof(TputDatagramHeader);
constexpr size_t kTputAckSize = kTputDatagramHeaderSize + sizeof(TputServerStats); // 52

void tputlib_datagram_write(uint8_t* out, const TputDatagramHeader& header);
TputDatagramHeader tputlib_datagram_read(const uint8_t* in);
void tputlib_stats_write(uint8_t* out, const TputServerStats& stats);
TputServerStats tputlib_stats_read(const uint8_t* in);
