#include "TputError.h"
#include "TputSignal.h"
#include "TputThread.h"
#include "TputTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>

namespace {

std::atomic<int> g_lastSlot{-1};
std::atomic<int> g_calls{0};

int RecordSlot(int slot)
{
    g_lastSlot.store(slot);
    g_calls.fetch_add(1);
    return 0;
}

struct SignalTable : ::testing::Test {
    void SetUp() override
    {
        g_lastSlot = -1;
        g_calls = 0;
    }
    void TearDown() override
    {
        for (int slot = 0; slot < kTputSignalSlots; ++slot)
            tputlib_signal(slot, nullptr);
        tputlib_interrupt_reset();
    }
};

TEST_F(SignalTable, SlotsOutsideTheTableStoreAndRaiseNothing)
{
    EXPECT_EQ(tputlib_signal(24, RecordSlot), nullptr);
    tputlib_raise(24);
    tputlib_raise(-1);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(tputlib_signal(23, RecordSlot), nullptr);
    EXPECT_EQ(tputlib_signal(23, nullptr), RecordSlot);
}

TEST_F(SignalTable, ConsoleEventsMapToInterruptAndTerminate)
{
    tputlib_signal(2, RecordSlot);
    tputlib_signal(15, RecordSlot);
    const struct {
        int event;
        int slot;
        int handled;
    } cases[] = {{0, 2, 1}, {2, 15, 1}, {5, 15, 1}, {6, 15, 1}, {1, -1, 0}, {3, -1, 0}};
    for (const auto& c : cases) {
        g_lastSlot = -1;
        EXPECT_EQ(tputlib_console_event(c.event), c.handled) << c.event;
        EXPECT_EQ(g_lastSlot, c.slot) << c.event;
    }
    tputlib_signal(15, nullptr);
    EXPECT_EQ(tputlib_console_event(2), 0) << "no handler, nothing ran";
}

TEST_F(SignalTable, RepeatedInterruptFromTheSameThreadForcesButNeverExits)
{
    tputlib_thread_init();
    tputlib_interrupt_reset();
    tputlib_on_interrupt(2);
    EXPECT_TRUE(tputlib_interrupted());
    EXPECT_EQ(tputlib_exit_count(), 0);

    std::thread other([] { tputlib_on_interrupt(2); });
    other.join();
    EXPECT_EQ(tputlib_exit_count(), 0) << "another thread only sets the flag again";

    tputlib_on_interrupt(2);
    tputlib_on_interrupt(2);
    EXPECT_EQ(tputlib_exit_count(), 2) << "we are still running: the process was not ended";

    tputlib_interrupt_reset();
    EXPECT_FALSE(tputlib_interrupted());
    EXPECT_EQ(tputlib_exit_count(), 0);
}

struct AlarmTimer : ::testing::Test {
    static std::atomic<int> alarms;
    static std::chrono::steady_clock::time_point firedAt;
    static void OnAlarm()
    {
        firedAt = std::chrono::steady_clock::now();
        alarms.fetch_add(1);
    }
    void SetUp() override
    {
        alarms = 0;
        tputlib_set_alarm_callback(OnAlarm);
    }
    void TearDown() override
    {
        tputlib_timer_shutdown();
        tputlib_set_alarm_callback(nullptr);
    }
    // Waits for the alarm count to reach n, with room for a loaded machine.
    static bool WaitForAlarms(int n)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (alarms < n && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return alarms >= n;
    }
};
std::atomic<int> AlarmTimer::alarms{0};
std::chrono::steady_clock::time_point AlarmTimer::firedAt;

TEST_F(AlarmTimer, OneShotAfterSecondsAndMicroseconds)
{
    const auto start = std::chrono::steady_clock::now();
    const TputTimerValue value{9, 0, 0, 300000}; // the interval part is ignored
    TputTimerValue old{9, 9, 9, 9};
    EXPECT_EQ(tputlib_setitimer(0, &value, &old), 0);
    EXPECT_EQ(old.valueSec, 0);
    EXPECT_EQ(old.valueUsec, 0);
    ASSERT_TRUE(WaitForAlarms(1));
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(firedAt - start).count();
    EXPECT_GE(after, 300);
    EXPECT_LT(after, 4000) << "the value part, not the 9 s interval part";
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(alarms, 1) << "one-shot";
}

TEST_F(AlarmTimer, ZeroValueDisarmsAndNewValueRestarts)
{
    const TputTimerValue soon{0, 0, 0, 200000};
    const TputTimerValue off{};
    tputlib_setitimer(0, &soon, nullptr);
    tputlib_setitimer(0, &off, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(alarms, 0);

    const TputTimerValue later{0, 0, 0, 400000};
    const auto start = std::chrono::steady_clock::now();
    tputlib_setitimer(0, &soon, nullptr);
    tputlib_setitimer(0, &later, nullptr);
    ASSERT_TRUE(WaitForAlarms(1));
    EXPECT_EQ(alarms, 1);
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(firedAt - start).count(), 400);
}

TEST(TputErrors, TextsAndPrints)
{
    EXPECT_STREQ(tputlib_error_text(EADDRINUSE), "Address already in use");
    EXPECT_STREQ(tputlib_error_text(ECONNRESET), "Connection reset by peer");
    EXPECT_STREQ(tputlib_error_text(ECONNREFUSED), "Connection refused");
    EXPECT_STREQ(tputlib_error_text(ETIMEDOUT), "Connection timed out.");
    EXPECT_STREQ(tputlib_error_text(0), "No error.");
    EXPECT_STREQ(tputlib_error_text(99999), "Unknown error");

    ::testing::internal::CaptureStderr();
    errno = ECONNREFUSED;
    tputlib_warn_errno("connect");
    tputlib_fail("CreateThread");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "connect failed: Connection refused\nCreateThread failed\n");
}

TEST(TputClock, WallClockAndMonotonicClock)
{
    int32_t sec = 0;
    int32_t usec = -1;
    tputlib_gettimeofday(&sec, &usec);
    EXPECT_LE(std::abs(static_cast<long>(sec) - static_cast<long>(time(nullptr))), 1L);
    EXPECT_GE(usec, 0);
    EXPECT_LT(usec, 1000000);
    const TputTime a = tputlib_now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double elapsed = tputlib_time_span(a, tputlib_now());
    EXPECT_GE(elapsed, 0.019);
    EXPECT_LT(elapsed, 1.0);
}

} // namespace
