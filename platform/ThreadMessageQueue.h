#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// One posted thread message: a number and two words (a job pointer and a source).
struct ThreadMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The message queue of one worker thread. It accepts posts from the moment it
// is built (no job is lost before the worker first polls) until Close; a post
// that fails returns false and the poster still owns its job.
class ThreadMessageQueue {
public:
    ThreadMessageQueue() = default;
    ThreadMessageQueue(const ThreadMessageQueue&) = delete;
    ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Takes the oldest message without waiting; false when there is none.
    bool Peek(ThreadMessage* out);
    // Waits up to timeoutMs for a message; false on time-out or when closed and empty.
    bool Wait(ThreadMessage* out, int timeoutMs);
    // Refuses every later post and wakes waiters. Messages already queued stay
    // for TakePending so that their jobs can be freed.
    void Close();
    bool IsClosed() const;
    std::vector<ThreadMessage> TakePending();
    size_t Size() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<ThreadMessage> m_queue;
    bool m_closed = false;
};
