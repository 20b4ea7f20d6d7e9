#pragma once

struct TputSettings;

// Prepares a client record before it is started (settings report, return
// listener, stream group, parallel copies).
void tputlib_client_init(TputSettings* client);

// Thread body of a client: connects, optionally sends the client header and
// sends until its amount or its own deadline is reached.
void tputlib_client_spawn(TputSettings* client);

// How long a client waits for its connection.
constexpr int kTputConnectWaitMs = 5000;

// How long one hundredth of a second of a time-limited run lasts: 10,000 us;
// tests shorten it so that their runs end sooner.
void tputlib_client_set_hundredth_us(int us);
