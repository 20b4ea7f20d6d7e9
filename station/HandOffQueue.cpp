#include "HandOffQueue.h"

#include "GuiWakeup.h"

#include <chrono>

HandOffQueue::HandOffQueue()
    : m_guiThread(std::this_thread::get_id()), m_waker(new GuiWakeup([this] { RunPending(); }))
{
}

HandOffQueue::~HandOffQueue()
{
    Close();
    // Nothing may wait here any more: the owner joins its workers first.
    RunPending();
}

bool HandOffQueue::Enqueue(const std::shared_ptr<Job>& job)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_closed)
            return false;
        m_jobs.push_back(job);
    }
    m_changed.notify_all();
    m_waker->Wake();
    return true;
}

bool HandOffQueue::Call(std::function<void()> job)
{
    if (IsGuiThread()) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_closed)
                return false;
        }
        ++m_runningDepth;
        job();
        --m_runningDepth;
        return true;
    }
    auto entry = std::make_shared<Job>();
    entry->work = std::move(job);
    if (!Enqueue(entry))
        return false;
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [&] { return entry->done; });
    return true;
}

bool HandOffQueue::Post(std::function<void()> job)
{
    auto entry = std::make_shared<Job>();
    entry->work = std::move(job);
    return Enqueue(entry);
}

bool HandOffQueue::RunOne()
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_jobs.empty())
            return false;
        job = m_jobs.front();
        m_jobs.pop_front();
    }
    ++m_runningDepth;
    job->work();
    --m_runningDepth;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        job->done = true;
    }
    m_changed.notify_all();
    return true;
}

void HandOffQueue::RunPending()
{
    while (RunOne()) {
    }
}

bool HandOffQueue::RunUntil(const std::function<bool()>& done, int deadlineMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        RunPending();
        std::unique_lock<std::mutex> lock(m_lock);
        const uint64_t wakes = m_wakes;
        if (done())
            return true;
        auto ready = [&] { return !m_jobs.empty() || m_wakes != wakes; };
        if (deadlineMs > 0) {
            if (!m_changed.wait_until(lock, deadline, ready) && !done())
                return false;
        } else {
            m_changed.wait(lock, ready);
        }
    }
}

void HandOffQueue::Wake()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_wakes;
    }
    m_changed.notify_all();
}

size_t HandOffQueue::Pending() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_jobs.size();
}

void HandOffQueue::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_closed = true;
}

