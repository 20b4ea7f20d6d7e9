#pragma once

struct TputSettings;
struct TputClientHeader;

// Thread body of a listener: sets up the listening socket, accepts test
// connections and starts a server thread for each.
void tputlib_listener_spawn(TputSettings* listener);

// Creates, binds and listens; returns the socket or -1 after printing why.
int tputlib_listen(TputSettings* listener);

// Accept loop; ends when the library is interrupted or a counted run is done.
void tputlib_listener_run(TputSettings* listener);

// Client settings for the test back that a peer asked for, or null.
TputSettings* tputlib_settings_from_header(const TputSettings* server, const TputClientHeader& header);

// How long the listener waits for a new connection's client header.
constexpr int kTputHeaderWaitMs = 3000;
