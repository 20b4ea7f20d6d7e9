// The worker owner and the hand-off of workers' GUI work: a join is real and
// runs the hand-off its worker waits in; no worker starts beside a live one.
#include "HandOffQueue.h"
#include "StationWorkers.h"

#include "Log.h"
#include "TempAppDir.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(HandOffQueueTest, AWorkerWaitsUntilTheGuiThreadHasRunItsJob)
{
    HandOffQueue handOffs;
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        handOffs.Call([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    ASSERT_TRUE(WaitFor([&] { return handOffs.Pending() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(returned.load()) << "the worker went on before its job ran";
    // The GUI thread's event loop runs the job.
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return returned.load();
    }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(handOffs.Pending(), 0u);
}

TEST(HandOffQueueTest, PostedJobsRunOnTheGuiThreadInPostingOrder)
{
    HandOffQueue handOffs;
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            handOffs.Post([&order, i] { order.push_back(i); });
    });
    poster.join();   // a poster does not wait for its jobs
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return order.size() == 50;
    }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(HandOffQueueTest, OnTheGuiThreadAJobRunsAtOnceAndIsSeenRunning)
{
    HandOffQueue handOffs;
    bool ran = false;
    bool seenRunning = false;
    EXPECT_TRUE(handOffs.Call([&] {
        ran = true;
        seenRunning = handOffs.IsRunningJob();
    }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(seenRunning);
    EXPECT_FALSE(handOffs.IsRunningJob());
    handOffs.Close();
    EXPECT_FALSE(handOffs.Call([] {}));
}

class WorkersTest : public ::testing::Test {
protected:
    HandOffQueue handOffs;
    StationWorkers workers{&handOffs};
};

TEST_F(WorkersTest, AStopWhileTheWorkerWaitsInAHandOffRunsTheJobAndJoins)
{
    std::atomic<int> saved{0};
    std::thread::id savedOn;
    workers.SetRunFlag(true);
    ASSERT_TRUE(workers.Start(StationWorkers::StreamTest, [&] {
        // A finished device: its record must still be saved when the run stops now.
        handOffs.Call([&] {
            ++saved;
            savedOn = std::this_thread::get_id();
        });
        while (workers.SleepWhileRunning(50)) {
        }
    }));
    ASSERT_TRUE(WaitFor([&] { return handOffs.Pending() == 1; }));
    // No event loop runs here: only the join can run the job.
    workers.SetRunFlag(false);
    workers.Join(StationWorkers::StreamTest, 1000);
    EXPECT_FALSE(workers.IsAlive(StationWorkers::StreamTest));
    EXPECT_EQ(saved.load(), 1);
    EXPECT_EQ(savedOn, std::this_thread::get_id());
    // The queued wake-up finds nothing left: the job ran once.
    QCoreApplication::processEvents();
    EXPECT_EQ(saved.load(), 1);
}

TEST_F(WorkersTest, NoSecondWorkerStartsBesideALiveOne)
{
    std::atomic<int> bodies{0};
    workers.SetRunFlag(true);
    auto body = [&] {
        ++bodies;
        while (workers.SleepWhileRunning(50)) {
        }
    };
    ASSERT_TRUE(workers.Start(StationWorkers::Search, body));
    EXPECT_FALSE(workers.Start(StationWorkers::Search, body));
    EXPECT_TRUE(workers.IsAlive(StationWorkers::Search));
    // A worker that has ended but is not joined yet still blocks a new one.
    workers.SetRunFlag(false);
    ASSERT_TRUE(WaitFor([&] { return bodies.load() == 1; }));
    EXPECT_FALSE(workers.Start(StationWorkers::Search, body));
    workers.Join(StationWorkers::Search, 3000);
    EXPECT_FALSE(workers.IsAlive(StationWorkers::Search));

    workers.SetRunFlag(true);
    ASSERT_TRUE(workers.Start(StationWorkers::Search, body));
    workers.SetRunFlag(false);
    workers.Join(StationWorkers::Search, 3000);
    EXPECT_EQ(bodies.load(), 2);
}

TEST_F(WorkersTest, AJoinPastItsMarkIsLoggedAndWaitsOn)
{
    TempAppDir dir;
    const QString logPath = dir.file("workers.log");
    LogInit(LOG_GENERAL, logPath);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(workers.Start(StationWorkers::Search, [released] { released.wait(); }));
    // Released only once the warning is on file: the join must not give up.
    std::thread releaser([&] {
        WaitFor([&] {
            QFile file(logPath);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains("still runs after 20 ms");
        });
        release.set_value();
    });
    workers.Join(StationWorkers::Search, 20);
    releaser.join();
    EXPECT_FALSE(workers.IsAlive(StationWorkers::Search));
    LogInit(LOG_GENERAL, QString(""));
}

TEST_F(WorkersTest, AServiceWorkerStopsOnRequestAndItsQueueRefusesPosts)
{
    ASSERT_TRUE(workers.Start(StationWorkers::Aux, [this] {
        ThreadMessageQueue* queue = workers.Queue(StationWorkers::Aux);
        ThreadMessage msg;
        while (!workers.StopRequested(StationWorkers::Aux))
            queue->Wait(&msg, 1000);
    }));
    ThreadMessageQueue* queue = workers.Queue(StationWorkers::Aux);
    ASSERT_NE(queue, nullptr);
    EXPECT_TRUE(queue->Post(1999, nullptr));
    workers.RequestStop(StationWorkers::Aux);
    EXPECT_FALSE(queue->Post(1999, nullptr));
    workers.Join(StationWorkers::Aux, 1000);
    EXPECT_FALSE(workers.IsAlive(StationWorkers::Aux));
    EXPECT_EQ(workers.Queue(StationWorkers::Search), nullptr);
}

TEST_F(WorkersTest, TheOwnerJoinsWhatIsStillAliveWhenItGoes)
{
    std::atomic<bool> ended{false};
    {
        HandOffQueue localHandOffs;
        StationWorkers local(&localHandOffs);
        local.SetRunFlag(true);
        ASSERT_TRUE(local.Start(StationWorkers::Search, [&] {
            while (local.SleepWhileRunning(50)) {
            }
            localHandOffs.Call([] {});
            ended = true;
        }));
    }
    EXPECT_TRUE(ended.load());
}

}  // namespace
