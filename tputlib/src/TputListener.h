#pragma once

#include <cstddef>

struct TputSettings;
struct TputClientHeader;

// Thread body of a listener: sets up the listening socket, accepts test
// connections and starts a server thread for each.
void tputlib_listener_spawn(TputSettings* listener);

// Creates, binds and listens; returns the socket, or -1 with errno set and
// the failed operation's name in *failedOperation.
int tputlib_listen(TputSettings* listener, const char** failedOperation);

// Whether a listener has its socket and serves.
bool tputlib_listener_active();

// The last failed try to take the listening port ("bind failed: Address
// already in use") into text; false (and an empty text) when there is none.
bool tputlib_listener_failure(char* text, size_t size);
void tputlib_listener_clear_failure();

// Accept loop; ends when the library is interrupted or a counted run is done.
void tputlib_listener_run(TputSettings* listener);

// Client settings for the test back that a peer asked for, or null.
TputSettings* tputlib_settings_from_header(const TputSettings* server, const TputClientHeader& header);
