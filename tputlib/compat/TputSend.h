#pragma once

#include <cstddef>

// Sends all size bytes on a connected socket, going on after a send that a
// signal cut short. False once a send fails or the peer has gone; a closed
// peer never raises SIGPIPE.
bool tputlib_send_all(int fd, const void* data, size_t size);
