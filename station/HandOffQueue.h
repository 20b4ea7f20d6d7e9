#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class GuiWakeup;

// Work that a worker thread has the GUI thread do.
//
// Call blocks the worker until the GUI thread has run the job: a finished
// device's manual results, its submission, the order counts, a network
// failure report. The GUI thread runs pending jobs from its event loop, and
// also while it waits for a worker to end (RunUntil), so a stop that joins a
// worker never deadlocks with that worker's hand-off, and the job still runs.
//
// Post queues a job without waiting (a result line, an item's end).
//
// Jobs cross threads under a standard mutex and the GUI thread is woken
// through GuiWakeup, outside Qt's event queue. Prefer this over a queued
// signal or posted event from a worker: Qt's own locking is invisible to the
// thread sanitizer, which then reports the event Qt made on the worker.
class HandOffQueue {
public:
    // Made on the GUI thread, whose identity it keeps.
    HandOffQueue();
    ~HandOffQueue();
    HandOffQueue(const HandOffQueue&) = delete;
    HandOffQueue& operator=(const HandOffQueue&) = delete;

    // Worker thread: runs job on the GUI thread and returns once it has run.
    // On the GUI thread itself the job runs at once. False, and nothing run,
    // once the queue was closed.
    bool Call(std::function<void()> job);
    // Any thread: queues job for the GUI thread and returns. False once closed.
    bool Post(std::function<void()> job);

    // GUI thread: runs the oldest pending job; false when there was none.
    bool RunOne();
    // GUI thread: runs every pending job, also those queued while it runs.
    void RunPending();
    // GUI thread: runs pending jobs until done() is true; done is checked after
    // every Wake and every job. Returns false when deadlineMs (> 0, real time)
    // passed first.
    bool RunUntil(const std::function<bool()>& done, int deadlineMs = 0);
    // Any thread: makes a waiting RunUntil check its condition again.
    void Wake();

    // GUI thread: true while a job runs (possibly inside a nested event loop).
    bool IsRunningJob() const { return m_runningDepth > 0; }
    // Jobs waiting for the GUI thread.
    size_t Pending() const;
    // Refuses later jobs; jobs already queued still run.
    void Close();
    bool IsGuiThread() const { return std::this_thread::get_id() == m_guiThread; }

private:
    struct Job {
        std::function<void()> work;
        bool done = false;
    };
    bool Enqueue(const std::shared_ptr<Job>& job);

    const std::thread::id m_guiThread;
    std::unique_ptr<GuiWakeup> m_waker;      // lives on the GUI thread
    mutable std::mutex m_lock;
    std::condition_variable m_changed;       // a job queued or finished, or a Wake
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_closed = false;
    uint64_t m_wakes = 0;
    int m_runningDepth = 0;                  // GUI thread only
};
