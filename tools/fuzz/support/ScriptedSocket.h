#pragma once

#include <cstddef>
#include <cstdint>

// One client connection played from a fuzz input. A driver linked with
// -Wl,--wrap=socket,--wrap=connect,--wrap=poll,--wrap=send,--wrap=recv,--wrap=close
// gets these calls for the first socket made while armed (and for the next one
// once that is closed): the connection always opens, every send goes out whole,
// and the bytes arrive in pieces whose sizes, empty waits and failed receives
// the schedule chooses; after the last byte the peer closes. Every other
// descriptor goes to the system. Time (Clock::TickMs) moves only when a wait
// runs out, so deadlines are reached without waiting.
namespace ScriptedSocket {

// Installs the clock; once, before the first Arm.
void Init();
// schedule 0: everything arrives at the first receive.
void Arm(const uint8_t* data, size_t size, uint8_t schedule);
// As Arm, but each connection gets only its own bytes: the script's parts
// between "\n==next==\n" markers, one per connection in turn (none left: an
// empty reply).
void ArmPerConnection(const uint8_t* data, size_t size, uint8_t schedule);
// Ends the script; false when the client left its connection open.
bool Disarm();

}  // namespace ScriptedSocket
