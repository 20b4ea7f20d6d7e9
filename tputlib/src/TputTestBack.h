#pragma once

struct TputSettings;
struct TputClientHeader;

// Streams of peer-requested runs back that may run at once, over all peers:
// every peer on the LAN may ask, and each stream is a thread and a socket.
constexpr int kTputMaxBackStreams = 16;

// The prepared client records (a chain through run-now) of the run back that
// a peer's header asks for, counted against the cap until each is freed.
// Null when the header asks for none, or the request is refused (printed).
TputSettings* tputlib_test_back_prepare(const TputSettings* server, const TputClientHeader& header);

// A counted record is freed (from tputlib_settings_destroy).
void tputlib_test_back_release();

// Streams of runs back now counted.
int tputlib_test_back_streams();
