#pragma once

#include <cstdint>

// A point in time as whole seconds and microseconds, the form packet records
// carry.
struct TputTime {
    int32_t sec;
    int32_t usec;
};

// The interval timer's value: the interval part is kept but never used (an
// alarm is one-shot); a zero value part disarms the timer.
struct TputTimerValue {
    int32_t intervalSec;
    int32_t intervalUsec;
    int32_t valueSec;
    int32_t valueUsec;
};

using TputAlarmCallback = void (*)();

// Stores new_value (and returns the previous one in old_value when given) and
// restarts the wait; the first call starts the timer thread. Returns 0.
int tputlib_setitimer(int which, const TputTimerValue* new_value, TputTimerValue* old_value);
void tputlib_set_alarm_callback(TputAlarmCallback callback);

// Ends and joins the timer thread; the next tputlib_setitimer starts a new one.
void tputlib_timer_shutdown();

// Wall-clock time since 1970.
void tputlib_gettimeofday(int32_t* sec, int32_t* usec);

// Monotonic time for measurements: a change of the wall clock during a test
// must not stretch or shrink its intervals.
TputTime tputlib_now();

// Tests replace the monotonic source to drive the reporter's arithmetic;
// nullptr restores the system clock. Set it while no connection runs.
using TputTimeSource = TputTime (*)();
void tputlib_set_time_source(TputTimeSource source);

// Spans and boundaries: seconds and microseconds are combined as integers
// before anything becomes a double, so a whole number of seconds stays exact
// wherever the clock stands.
int64_t tputlib_time_diff_us(const TputTime& from, const TputTime& to);
double tputlib_time_span(const TputTime& from, const TputTime& to);
bool tputlib_time_before(const TputTime& a, const TputTime& b);
// t + d, at most the last representable time (an interval may be 68 years).
TputTime tputlib_time_add(const TputTime& t, const TputTime& d);
