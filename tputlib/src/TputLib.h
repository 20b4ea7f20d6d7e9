#pragma once

#include <cstddef>
#include <cstdint>

// The station's throughput server. A device under test runs its throughput
// client against it; every interval and every end of a connection is handed
// to the result callback on the library's reporter thread.

// Valid only during the callback; the receiver copies it.
struct TputResult {
    char peerAddress[64];  // dotted IPv4 text of the connection's peer
    double intervalEnd;    // seconds since the connection's start
    double intervalLength; // seconds
    double bits;
    double bitsPerSecond;  // 0 for a span of 0 s
    int32_t finalReport;   // 1 for the final report of a connection
    void* context;
};

static_assert(offsetof(TputResult, peerAddress) == 0, "TputResult layout");
static_assert(offsetof(TputResult, intervalEnd) == 64, "TputResult layout");
static_assert(offsetof(TputResult, intervalLength) == 72, "TputResult layout");
static_assert(offsetof(TputResult, bits) == 80, "TputResult layout");
static_assert(offsetof(TputResult, bitsPerSecond) == 88, "TputResult layout");
static_assert(offsetof(TputResult, finalReport) == 96, "TputResult layout");
static_assert(offsetof(TputResult, context) == 104, "TputResult layout");
static_assert(sizeof(TputResult) == 112, "TputResult layout");

using TputResultCallback = int (*)(TputResult* result, double intervalLength);

// All entry points return 0; failures are printed, never returned.
int tputlib_init();
int tputlib_start_server(int interval, int port, TputResultCallback callback, void* context);
int tputlib_stop_server();
int tputlib_cleanup();
int tputlib_set_result_callback(TputResultCallback callback, void* context);

// Whether the server listens: false before its port could be bound (it
// tries again every few seconds) and after a stop.
bool tputlib_running();

// Why a started server does not listen: its last failed try to take the port
// ("bind failed: Address already in use") into text. False, with an empty
// text, while it listens, before a try failed and when it is not started.
bool tputlib_listen_failure(char* text, size_t size);

// The callback in force and its context (read by the reporter).
TputResultCallback tputlib_result_callback(void** context);
