#include "ThreadMessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ThreadMessageQueueTest, PostsAreDeliveredInOrderUntilClosedAndPendingJobsCanBeFreed)
{
    ThreadMessageQueue q;
    ThreadMessage m;
    EXPECT_FALSE(q.Peek(&m));
    // Posts before the worker first looks are kept, not lost.
    int* job1 = new int(1);
    int* job2 = new int(2);
    ASSERT_TRUE(q.Post(1125, reinterpret_cast<uintptr_t>(job1), 0));
    ASSERT_TRUE(q.Post(1126, reinterpret_cast<uintptr_t>(job2), 1));
    ASSERT_TRUE(q.Peek(&m));
    EXPECT_EQ(m.message, 1125u);
    EXPECT_EQ(*reinterpret_cast<int*>(m.wParam), 1);
    delete reinterpret_cast<int*>(m.wParam);

    q.Close();
    int* late = new int(3);
    EXPECT_FALSE(q.Post(1127, reinterpret_cast<uintptr_t>(late), 0));   // the poster keeps its job
    delete late;
    const std::vector<ThreadMessage> pending = q.TakePending();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].message, 1126u);
    EXPECT_EQ(pending[0].lParam, 1);
    delete reinterpret_cast<int*>(pending[0].wParam);
    EXPECT_FALSE(q.Wait(&m, 1000));   // closed and empty: no wait
}

TEST(ThreadMessageQueueTest, AWaitingWorkerGetsEveryMessageOfManyPosters)
{
    ThreadMessageQueue q;
    std::atomic<int> sum{0};
    std::atomic<int> count{0};
    std::thread worker([&] {
        ThreadMessage m;
        while (count < 400) {
            if (q.Wait(&m, 50)) {
                sum += int(m.lParam);
                ++count;
            }
        }
    });
    std::vector<std::thread> posters;
    for (int p = 0; p < 4; ++p) {
        posters.emplace_back([&q] {
            for (int i = 1; i <= 100; ++i)
                q.Post(1124, 0, i);
        });
    }
    for (auto& t : posters)
        t.join();
    worker.join();
    EXPECT_EQ(count.load(), 400);
    EXPECT_EQ(sum.load(), 4 * 5050);
    EXPECT_EQ(q.Size(), 0u);
}

}  // namespace
