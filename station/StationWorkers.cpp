#include "StationWorkers.h"

#include "HandOffQueue.h"
#include "Log.h"

#include <chrono>

StationWorkers::StationWorkers(HandOffQueue* handOffs) : m_handOffs(handOffs) {}

StationWorkers::~StationWorkers()
{
    SetRunFlag(false);
    for (int w = 0; w < WorkerCount; ++w) {
        RequestStop(Worker(w));
        Join(Worker(w), 0);
    }
}

const char* StationWorkers::Name(Worker worker)
{
    switch (worker) {
    case Search: return "search";
    case StreamTest: return "stream-test";
    case Aux: return "auxiliary";
    case IdService: return "ID-service";
    default: return "?";
    }
}

void StationWorkers::SetRunFlag(bool on)
{
    {
        std::lock_guard<std::mutex> guard(m_waitLock);
        m_run.store(on);
    }
    m_wake.notify_all();
}

bool StationWorkers::SleepWhileRunning(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitLock);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_run.load(); });
    return m_run.load();
}

bool StationWorkers::Start(Worker worker, std::function<void()> body)
{
    if (!Valid(worker))
        return false;
    Slot& slot = m_slots[worker];
    if (slot.thread.joinable()) {
        LogPrint(LOG_GENERAL, "StationWorkers::Start() the %s thread is still alive, no second one is started",
                 Name(worker));
        return false;
    }
    slot.ended.store(false);
    slot.stop.store(false);
    if (worker == Aux || worker == IdService)
        slot.queue = std::make_shared<ThreadMessageQueue>();
    HandOffQueue* handOffs = m_handOffs;
    std::atomic<bool>* ended = &slot.ended;
    slot.thread = std::thread([body = std::move(body), handOffs, ended] {
        body();
        ended->store(true);
        if (handOffs)
            handOffs->Wake();
    });
    return true;
}

bool StationWorkers::IsAlive(Worker worker) const
{
    return Valid(worker) && m_slots[worker].thread.joinable();
}

void StationWorkers::RequestStop(Worker worker)
{
    if (!Valid(worker))
        return;
    {
        std::lock_guard<std::mutex> guard(m_waitLock);
        m_slots[worker].stop.store(true);
    }
    if (m_slots[worker].queue)
        m_slots[worker].queue->Close();
    m_wake.notify_all();
}

void StationWorkers::Join(Worker worker, int warnMs)
{
    if (!IsAlive(worker))
        return;
    Slot& slot = m_slots[worker];
    auto ended = [&slot] { return slot.ended.load(); };
    if (m_handOffs) {
        if (warnMs <= 0 || !m_handOffs->RunUntil(ended, warnMs)) {
            if (warnMs > 0)
                LogPrint(LOG_GENERAL, "StationWorkers::Join() the %s thread still runs after %d ms, waiting on",
                         Name(worker), warnMs);
            m_handOffs->RunUntil(ended);
        }
    }
    slot.thread.join();
}

bool StationWorkers::StopRequested(Worker worker) const
{
    return !Valid(worker) || m_slots[worker].stop.load();
}

bool StationWorkers::SleepUnlessStopped(Worker worker, int ms)
{
    std::unique_lock<std::mutex> lock(m_waitLock);
    return m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return StopRequested(worker); });
}

ThreadMessageQueue* StationWorkers::Queue(Worker worker) const
{
    return Valid(worker) ? m_slots[worker].queue.get() : nullptr;
}
