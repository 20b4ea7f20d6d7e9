#pragma once

#include "ThreadJob.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// One posted thread message: a number and the job it carries (owned, may be null).
struct ThreadMessage {
    uint32_t message = 0;
    std::unique_ptr<ThreadJob> job;

    // Takes the job when it is a Job; otherwise null, and the job stays with
    // the message (freed with it).
    template <typename Job>
    std::unique_ptr<Job> Take()
    {
        if (!dynamic_cast<Job*>(job.get()))
            return nullptr;
        return std::unique_ptr<Job>(static_cast<Job*>(job.release()));
    }
};

// The message queue of one worker thread. It accepts posts from the moment it
// is built (no job is lost before the worker first polls) until Close; a post
// that fails returns false and frees its job.
class ThreadMessageQueue {
public:
    ThreadMessageQueue() = default;
    ThreadMessageQueue(const ThreadMessageQueue&) = delete;
    ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

    bool Post(uint32_t message, std::unique_ptr<ThreadJob> job);
    // Takes the oldest message without waiting; false when there is none.
    bool Peek(ThreadMessage* out);
    // Waits up to timeoutMs for a message; false on time-out or when closed and empty.
    bool Wait(ThreadMessage* out, int timeoutMs);
    // Refuses every later post and wakes waiters. Messages already queued stay
    // for TakePending (or go with the queue).
    void Close();
    std::vector<ThreadMessage> TakePending();
    size_t Size() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<ThreadMessage> m_queue;
    bool m_closed = false;
};
