#pragma once

#include <cstdint>

// Test hooks of the play library stand-in: what a real player does on its own
// (a decode thread that fails, hardware decoding that cannot agree on a
// picture format) made to happen on request.
class SimPlayer {
public:
    // The port's decode thread raises the player event (e.g. 9 or 10) through
    // the port's status callback, ahead of the packets it still holds. 0 when
    // asked; PC_ERR_PORT for a port not taken, PC_ERR_STATE when it is not playing.
    static int RaiseEvent(int port, int event, int64_t value = 0, int value2 = 0);
    // Waits until the port's decode thread has handled every packet and event
    // it holds (at once when it is not playing); false for a port not taken or
    // when timeoutMs ran out first.
    static bool WaitDrained(int port, int timeoutMs);
};
