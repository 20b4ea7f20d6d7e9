#include "SimDispatcher.h"

SimDispatcher::~SimDispatcher()
{
    Stop();
}

void SimDispatcher::Schedule(int delayMs, std::function<void()> task)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto due = Clock::now() + std::chrono::milliseconds(delayMs < 0 ? 0 : delayMs);
    m_tasks.emplace(std::make_pair(due, m_sequence++), std::move(task));
    if (!m_thread.joinable()) {
        const uint64_t generation = ++m_generation;
        m_thread = std::thread([this, generation] { Run(generation); });
        m_threadId = m_thread.get_id();
    }
    m_wake.notify_one();
}

bool SimDispatcher::Stop()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_thread.joinable() && m_threadId == std::this_thread::get_id())
            return false;
        ++m_generation;
        m_tasks.clear();
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    return true;
}

bool SimDispatcher::OnDispatcherThread() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_thread.joinable() && m_threadId == std::this_thread::get_id();
}

size_t SimDispatcher::Pending() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tasks.size();
}

void SimDispatcher::Run(uint64_t generation)
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (generation == m_generation) {
        if (m_tasks.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto due = m_tasks.begin()->first.first;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        std::function<void()> task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        lock.unlock();
        task();
        lock.lock();
    }
}
