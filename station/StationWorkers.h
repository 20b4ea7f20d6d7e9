#pragma once

#include "ThreadMessageQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class HandOffQueue;

// The owner of the controller's four worker threads. The GUI thread starts,
// stops and joins them; a join is real (no thread outlives the controller) and
// runs the workers' hand-offs while it waits. A worker is never started beside
// a live one of the same kind.
//
// The search and stream-test threads run while the run flag is set and end
// when it clears. The auxiliary and ID-service threads run for the
// controller's life, each with a message queue, until their stop is requested.
class StationWorkers {
public:
    enum Worker : int { Search = 0, StreamTest = 1, Aux = 2, IdService = 3, WorkerCount = 4 };

    explicit StationWorkers(HandOffQueue* handOffs);
    // Stops and joins every worker still alive.
    ~StationWorkers();
    StationWorkers(const StationWorkers&) = delete;
    StationWorkers& operator=(const StationWorkers&) = delete;

    // --- the run flag (GUI thread writes, every worker reads) ---
    void SetRunFlag(bool on);
    bool RunFlag() const { return m_run.load(); }
    // Worker side: sleeps up to ms, less when the run flag clears. Returns the run flag.
    bool SleepWhileRunning(int ms);

    // --- lifetime (GUI thread) ---
    // Starts body on a new thread; false (logged) while a thread of this worker
    // is alive. Aux and IdService get a fresh open queue and a clear stop flag.
    bool Start(Worker worker, std::function<void()> body);
    // A thread of this worker exists and has not been joined.
    bool IsAlive(Worker worker) const;
    // Sets the worker's stop flag, closes its queue and wakes its waits.
    void RequestStop(Worker worker);
    // Joins the worker's thread, running hand-offs meanwhile; logs a warning
    // once the wait passes warnMs. Nothing when no thread is alive.
    void Join(Worker worker, int warnMs);

    // --- worker side ---
    bool StopRequested(Worker worker) const;
    // Sleeps up to ms, less when the worker's stop is requested. True when it was.
    bool SleepUnlessStopped(Worker worker, int ms);
    // The queues of the auxiliary and ID-service threads (null for the others
    // and before their first start).
    ThreadMessageQueue* Queue(Worker worker) const;

    static const char* Name(Worker worker);

private:
    struct Slot {
        std::thread thread;
        std::atomic<bool> ended{false};
        std::atomic<bool> stop{false};
        std::shared_ptr<ThreadMessageQueue> queue;
    };

    bool Valid(Worker worker) const { return worker >= 0 && worker < WorkerCount; }

    HandOffQueue* const m_handOffs;
    Slot m_slots[WorkerCount];
    std::atomic<bool> m_run{false};
    mutable std::mutex m_waitLock;       // for the sleeps below
    std::condition_variable m_wake;
};
