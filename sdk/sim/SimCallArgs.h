#pragma once

#include <QString>

#include <cstddef>

// How the simulated LAN reads the arguments of an SDK call.
namespace SimCallArgs {

// A text field of at most size bytes, NUL-terminated or not, as Latin-1.
QString BoundedText(const char* text, size_t size);

// Simulated cameras are reachable only on 127.0.0.0/8: the station sends real
// traffic to a logged-in camera's address (the ID-service datagram), so a
// session with any other address, whatever the profile's subnet, is refused.
bool IsLoopbackIpv4(const QString& text);

}  // namespace SimCallArgs
