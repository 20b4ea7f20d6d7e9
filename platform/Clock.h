#pragma once

#include <cstdint>

// Millisecond tick and local wall clock. Tests replace the sources so that
// time-outs and dated names can be driven without waiting.
struct WallTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

namespace Clock {

using TickSource = uint64_t (*)();
using WallSource = WallTime (*)();

// Monotonic milliseconds (the station's GetTickCount).
uint64_t TickMs();
// Local date and time with milliseconds.
WallTime Now();

// nullptr restores the system source. Set these before the threads that read them start.
void SetTickSource(TickSource source);
void SetWallSource(WallSource source);

uint64_t SystemTickMs();
WallTime SystemNow();

}  // namespace Clock
