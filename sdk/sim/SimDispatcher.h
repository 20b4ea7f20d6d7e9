#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

// The SDK's message thread: runs tasks at their due time, in due-time order
// and, for equal times, in the order they were scheduled. Status events and
// replies reach the station from here.
class SimDispatcher {
public:
    SimDispatcher() = default;
    ~SimDispatcher();
    SimDispatcher(const SimDispatcher&) = delete;
    SimDispatcher& operator=(const SimDispatcher&) = delete;

    // Starts the thread on first use.
    void Schedule(int delayMs, std::function<void()> task);
    // Drops pending tasks and joins the thread; a running task finishes first.
    // Refused (false) on the dispatcher's own thread.
    bool Stop();
    bool OnDispatcherThread() const;
    size_t Pending() const;

private:
    using Clock = std::chrono::steady_clock;
    void Run(uint64_t generation);

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::multimap<std::pair<Clock::time_point, uint64_t>, std::function<void()>> m_tasks;
    uint64_t m_sequence = 0;
    uint64_t m_generation = 0;   // a thread runs while its generation is current
    std::thread m_thread;
    std::thread::id m_threadId;
};
