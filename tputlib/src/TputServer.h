#pragma once

struct TputSettings;

// How long a new connection's client header is waited for.
constexpr int kTputHeaderWaitMs = 3000;
// A connection that receives nothing for this long is ended.
constexpr int kTputIdleLimitMs = 10000;

// Thread body of a server: takes the client header, then receives until the
// peer ends the test or stays silent too long.
void tputlib_server_spawn(TputSettings* server);
void tputlib_server_run(TputSettings* server, char* buffer);
