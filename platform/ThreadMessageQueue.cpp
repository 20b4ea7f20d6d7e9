#include "ThreadMessageQueue.h"

#include <chrono>
#include <iterator>

bool ThreadMessageQueue::Post(uint32_t message, std::unique_ptr<ThreadJob> job)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_closed)
            return false;
        m_queue.push_back(ThreadMessage{message, std::move(job)});
    }
    m_ready.notify_one();
    return true;
}

bool ThreadMessageQueue::Peek(ThreadMessage* out)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_queue.empty() || !out)
        return false;
    *out = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

bool ThreadMessageQueue::Wait(ThreadMessage* out, int timeoutMs)
{
    if (!out)
        return false;
    std::unique_lock<std::mutex> lock(m_lock);
    m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                     [this] { return !m_queue.empty() || m_closed; });
    if (m_queue.empty())
        return false;
    *out = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

void ThreadMessageQueue::Close()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closed = true;
    }
    m_ready.notify_all();
}

std::vector<ThreadMessage> ThreadMessageQueue::TakePending()
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<ThreadMessage> out(std::make_move_iterator(m_queue.begin()), std::make_move_iterator(m_queue.end()));
    m_queue.clear();
    return out;
}

size_t ThreadMessageQueue::Size() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_queue.size();
}
