#include "TputTimer.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

namespace {

struct TimerState {
    std::mutex lock;
    std::condition_variable changed;
    TputTimerValue value{};
    bool newValue = false;
    bool stop = false;
    std::thread thread;
};

// Never destroyed: a program may return from main with the thread running.
TimerState& Timer()
{
    static TimerState* state = new TimerState;
    return *state;
}

std::atomic<TputAlarmCallback> g_alarmCallback{nullptr};
std::atomic<TputTimeSource> g_timeSource{nullptr};

using Clock = std::chrono::steady_clock;

// Takes the stored value: a non-zero value part arms a one-shot wait.
std::optional<Clock::time_point> TakeDeadline(TimerState& t)
{
    t.newValue = false;
    const int64_t s = t.value.valueSec;
    const int64_t u = t.value.valueUsec;
    if (s == 0 && u == 0)
        return std::nullopt;
    const int64_t ms = s * 1000 + (u + 999) / 1000;
    return Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
}

void TimerThread()
{
    TimerState& t = Timer();
    std::unique_lock<std::mutex> lk(t.lock);
    std::optional<Clock::time_point> deadline;
    for (;;) {
        if (t.stop)
            return;
        if (t.newValue) {
            deadline = TakeDeadline(t);
            continue;
        }
        if (!deadline) {
            t.changed.wait(lk, [&] { return t.newValue || t.stop; });
            continue;
        }
        if (t.changed.wait_until(lk, *deadline, [&] { return t.newValue || t.stop; }))
            continue;
        deadline.reset();
        lk.unlock();
        if (TputAlarmCallback cb = g_alarmCallback.load())
            cb();
        lk.lock();
    }
}

} // namespace

int tputlib_setitimer(int /*which*/, const TputTimerValue* new_value, TputTimerValue* old_value)
{
    TimerState& t = Timer();
    std::lock_guard<std::mutex> lk(t.lock);
    if (!t.thread.joinable()) {
        t.value = TputTimerValue{};
        t.stop = false;
        t.newValue = false;
        try {
            t.thread = std::thread(TimerThread);
        } catch (const std::system_error& e) {
            printf("failed to create timer thread: %d\n", e.code().value());
        }
    }
    if (old_value)
        *old_value = t.value;
    if (new_value)
        t.value = *new_value;
    t.newValue = true;
    t.changed.notify_all();
    return 0;
}

void tputlib_set_alarm_callback(TputAlarmCallback callback)
{
    g_alarmCallback.store(callback);
}

void tputlib_timer_shutdown()
{
    TimerState& t = Timer();
    std::thread thread;
    {
        std::lock_guard<std::mutex> lk(t.lock);
        t.stop = true;
        t.changed.notify_all();
        thread = std::move(t.thread);
    }
    if (thread.joinable())
        thread.join();
}

void tputlib_gettimeofday(int32_t* sec, int32_t* usec)
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    *sec = static_cast<int32_t>(us / 1000000);
    *usec = static_cast<int32_t>(us % 1000000);
}

TputTime tputlib_now()
{
    if (TputTimeSource source = g_timeSource.load())
        return source();
    const auto since = Clock::now().time_since_epoch();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    return TputTime{static_cast<int32_t>(us / 1000000), static_cast<int32_t>(us % 1000000)};
}

void tputlib_set_time_source(TputTimeSource source)
{
    g_timeSource.store(source);
}

namespace {

int64_t Microseconds(const TputTime& t)
{
    return static_cast<int64_t>(t.sec) * 1000000 + t.usec;
}

} // namespace

int64_t tputlib_time_diff_us(const TputTime& from, const TputTime& to)
{
    return Microseconds(to) - Microseconds(from);
}

double tputlib_time_span(const TputTime& from, const TputTime& to)
{
    return static_cast<double>(tputlib_time_diff_us(from, to)) / 1e6;
}

bool tputlib_time_before(const TputTime& a, const TputTime& b)
{
    return Microseconds(a) < Microseconds(b);
}

TputTime tputlib_time_add(const TputTime& t, const TputTime& d)
{
    const int64_t us = Microseconds(t) + Microseconds(d);
    if (us / 1000000 > INT32_MAX)
        return TputTime{INT32_MAX, 999999};
    return TputTime{static_cast<int32_t>(us / 1000000), static_cast<int32_t>(us % 1000000)};
}
