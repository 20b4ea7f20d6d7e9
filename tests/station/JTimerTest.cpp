// The one-shot timer on a fake tick: each case moves the tick and waits until
// the timer thread has looked at the new value, so nothing rests on real time.
#include "JTimer.h"

#include "Clock.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<uint64_t> g_tick{0};
std::atomic<JTimer*> g_timer{nullptr};
std::atomic<int> g_timerReads{0};     // tick reads made on the timer's thread
std::atomic<bool> g_rearmInWindow{false};
std::atomic<uint64_t> g_rearmAtTick{0};

uint64_t FakeTick()
{
    const uint64_t now = g_tick.load();
    if (QThread::currentThread() == g_timer.load()) {
        ++g_timerReads;
        // The timer thread reads the tick between its check of the arming and
        // its decision to fire: a start landing here is the race of interest.
        if (now >= g_rearmAtTick.load() && g_rearmInWindow.exchange(false))
            g_timer.load()->start();
    }
    return now;
}

class JTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_tick = 1000;
        g_timerReads = 0;
        g_rearmInWindow = false;
        Clock::SetTickSource(&FakeTick);
    }

    void TearDown() override
    {
        g_timer = nullptr;
        Clock::SetTickSource(nullptr);
    }

    // Waits until the timer thread has read the tick n more times.
    static bool WaitForReads(int n)
    {
        const int target = g_timerReads.load() + n;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (g_timerReads.load() < target) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Waits until the timer has fired on its thread (its signal not yet delivered here).
    static bool WaitUntilFired(const JTimer& timer)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (timer.IsArmed()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Delivers what the timer thread has queued for this thread.
    static void Deliver() { QCoreApplication::processEvents(); }
};

TEST_F(JTimerTest, ArmedWithMinusOneFiresAfterTheConstructionInterval)
{
    JTimer timer(50);
    g_timer = &timer;
    QSignalSpy spy(&timer, &JTimer::signalTimeout);
    timer.start(-1);
    EXPECT_EQ(timer.Interval(), 50);
    g_tick = 1049;
    ASSERT_TRUE(WaitForReads(2));
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    g_tick = 1050;
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 50);
    EXPECT_FALSE(timer.IsArmed());
}

TEST_F(JTimerTest, StopThenStartWithinTheIntervalFiresOnceAfterTheSecondStart)
{
    JTimer timer(100);
    g_timer = &timer;
    QSignalSpy spy(&timer, &JTimer::signalTimeout);
    timer.start();
    g_tick = 1050;
    ASSERT_TRUE(WaitForReads(2));
    timer.stop();
    timer.start();
    g_tick = 1149;
    ASSERT_TRUE(WaitForReads(2));
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    g_tick = 1150;
    ASSERT_TRUE(spy.wait(10000));
    // Later ticks fire nothing more: the timer is one-shot.
    g_tick = 5000;
    timer.start(1);
    timer.stop();
    Deliver();
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(JTimerTest, AStartBetweenTheCheckAndTheFireCountsFromTheNewStart)
{
    JTimer timer(100);
    g_timer = &timer;
    QSignalSpy spy(&timer, &JTimer::signalTimeout);
    timer.start();
    ASSERT_TRUE(WaitForReads(1));
    g_rearmAtTick = 1100;
    g_rearmInWindow = true;
    g_tick = 1100;    // due for the first arming; re-armed at 1100 as the thread looks
    ASSERT_TRUE(WaitForReads(3));
    EXPECT_FALSE(g_rearmInWindow.load());
    Deliver();
    EXPECT_EQ(spy.count(), 0) << "the arming that was replaced fired";
    EXPECT_TRUE(timer.IsArmed());
    g_tick = 1199;
    ASSERT_TRUE(WaitForReads(2));
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    g_tick = 1200;
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(JTimerTest, ATimeoutOnItsWayIsDroppedByALaterStopOrStart)
{
    JTimer timer(100);
    g_timer = &timer;
    QSignalSpy spy(&timer, &JTimer::signalTimeout);

    timer.start();
    g_tick = 1100;
    ASSERT_TRUE(WaitUntilFired(timer));
    timer.stop();
    Deliver();
    EXPECT_EQ(spy.count(), 0);

    timer.start();    // at 1100
    g_tick = 1200;
    ASSERT_TRUE(WaitUntilFired(timer));
    timer.start();    // again at 1200: the queued timeout belongs to the old arming
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    g_tick = 1300;
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(JTimerTest, ATimerNeverArmedNeverFires)
{
    JTimer timer(10);
    g_timer = &timer;
    QSignalSpy spy(&timer, &JTimer::signalTimeout);
    g_tick = 100000;
    QThread::msleep(20);
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(g_timerReads.load(), 0) << "a disarmed timer polls the tick";
}

}  // namespace
