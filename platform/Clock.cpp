#include "Clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<Clock::TickSource> g_tick{nullptr};
std::atomic<Clock::WallSource> g_wall{nullptr};
}  // namespace

namespace Clock {

uint64_t SystemTickMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

WallTime SystemNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    WallTime w;
    w.year = local.tm_year + 1900;
    w.month = local.tm_mon + 1;
    w.day = local.tm_mday;
    w.hour = local.tm_hour;
    w.minute = local.tm_min;
    w.second = local.tm_sec;
    w.msec = int(ts.tv_nsec / 1000000);
    return w;
}

uint64_t TickMs()
{
    TickSource s = g_tick.load(std::memory_order_acquire);
    return s ? s() : SystemTickMs();
}

WallTime Now()
{
    WallSource s = g_wall.load(std::memory_order_acquire);
    return s ? s() : SystemNow();
}

void SetTickSource(TickSource source) { g_tick.store(source, std::memory_order_release); }
void SetWallSource(WallSource source) { g_wall.store(source, std::memory_order_release); }

}  // namespace Clock
