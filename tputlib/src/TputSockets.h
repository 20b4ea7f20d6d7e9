#pragma once

#include <cstdint>

struct TputSettings;

// Every connection and listening socket the library has open, so that a stop
// can shut them down and wake the threads blocked on them.
void tputlib_sockets_register(int fd);
// Unregisters and closes; returns close's result.
int tputlib_sockets_close(int fd);
void tputlib_sockets_shutdown_all();
int tputlib_sockets_open_count();

// Applies the socket options of the settings (window, TTL, TOS, MSS, no-delay).
void tputlib_set_socket_options(const TputSettings* settings, int fd, bool client);

// Waits until fd is readable, at most timeout_ms. Returns >0 when readable,
// 0 on time-out, <0 on error.
int tputlib_wait_readable(int fd, int timeout_ms);
