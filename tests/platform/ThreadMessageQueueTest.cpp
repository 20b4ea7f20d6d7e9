#include "ThreadMessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A job that counts its own ends.
class CountedJob : public ThreadJob {
public:
    CountedJob(int value, int* freed) : value(value), m_freed(freed) {}
    ~CountedJob() override { ++*m_freed; }
    const int value;

private:
    int* m_freed;
};

class OtherJob : public ThreadJob {};

TEST(ThreadMessageQueueTest, PostsAreDeliveredInOrderUntilClosedAndEveryJobIsFreedWhereverItEnds)
{
    int freed = 0;
    {
        ThreadMessageQueue q;
        ThreadMessage m;
        EXPECT_FALSE(q.Peek(&m));
        // Posts before the worker first looks are kept, not lost.
        ASSERT_TRUE(q.Post(1125, std::make_unique<CountedJob>(1, &freed)));
        ASSERT_TRUE(q.Post(1126, std::make_unique<CountedJob>(2, &freed)));
        ASSERT_TRUE(q.Peek(&m));
        EXPECT_EQ(m.message, 1125u);
        EXPECT_EQ(m.Take<OtherJob>(), nullptr) << "a job of another kind stays with its message";
        std::unique_ptr<CountedJob> job = m.Take<CountedJob>();
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(job->value, 1);
        job.reset();
        EXPECT_EQ(freed, 1);

        q.Close();
        EXPECT_FALSE(q.Post(1127, std::make_unique<CountedJob>(3, &freed)));
        EXPECT_EQ(freed, 2) << "a refused post frees its job";
        {
            const std::vector<ThreadMessage> pending = q.TakePending();
            ASSERT_EQ(pending.size(), 1u);
            EXPECT_EQ(pending[0].message, 1126u);
            const auto* kept = dynamic_cast<const CountedJob*>(pending[0].job.get());
            ASSERT_NE(kept, nullptr);
            EXPECT_EQ(kept->value, 2);
            EXPECT_EQ(freed, 2);
        }
        EXPECT_EQ(freed, 3) << "pending jobs go with their messages";
        EXPECT_FALSE(q.Wait(&m, 1000));   // closed and empty: no wait
    }
    {
        ThreadMessageQueue q;
        ASSERT_TRUE(q.Post(1128, std::make_unique<CountedJob>(4, &freed)));
        ASSERT_TRUE(q.Post(1130, std::make_unique<CountedJob>(5, &freed)));
        ThreadMessage m;
        ASSERT_TRUE(q.Peek(&m));
        ASSERT_TRUE(q.Peek(&m));
        EXPECT_EQ(freed, 4) << "a message taken over another frees the job it held";
        EXPECT_EQ(m.message, 1130u);
        ASSERT_TRUE(q.Post(1124, std::make_unique<CountedJob>(6, &freed)));
    }
    EXPECT_EQ(freed, 6) << "the queue frees what it still holds when it goes";
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
                sum += int(m.message);
                ++count;
            }
        }
    });
    std::vector<std::thread> posters;
    for (int p = 0; p < 4; ++p) {
        posters.emplace_back([&q] {
            for (int i = 1; i <= 100; ++i)
                q.Post(uint32_t(i), nullptr);
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
