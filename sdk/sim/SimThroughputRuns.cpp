#include "SimThroughputRuns.h"

#include "SimCamera.h"
#include "SimThroughputClient.h"

#include <vector>

SimThroughputRuns::SimThroughputRuns(SimDispatcher& dispatcher)
    : m_dispatcher(dispatcher), m_runner(&RunSimThroughputClient)
{
}

SimThroughputRuns::~SimThroughputRuns()
{
    StopAll();
}

void SimThroughputRuns::SetRunner(SimThroughputRunner runner)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_runner = runner ? std::move(runner) : SimThroughputRunner(&RunSimThroughputClient);
}

void SimThroughputRuns::Start(const QString& name, const SimThroughputRequest& request)
{
    JoinFinished();
    std::lock_guard<std::mutex> guard(m_lock);
    SimCamera::AppendBounded(m_requests, request);
    if (!m_runner)
        return;
    SimThroughputRunner runner = m_runner;
    const uint64_t id = ++m_lastRun;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    Run& run = m_runs[id];
    run.name = name;
    run.stop = stop;
    run.thread = std::thread([this, runner, request, stop, id] {
        runner(request, *stop);
        Finish(id);
    });
}

void SimThroughputRuns::StopCamera(const QString& name)
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& r : m_runs) {
        if (r.second.name == name)
            *r.second.stop = true;
    }
}

void SimThroughputRuns::StopAll()
{
    std::map<uint64_t, Run> runs;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        runs.swap(m_runs);
    }
    for (auto& r : runs)
        *r.second.stop = true;
    for (auto& r : runs)
        r.second.thread.join();
}

QVector<SimThroughputRequest> SimThroughputRuns::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

void SimThroughputRuns::ClearRequests()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_requests.clear();
}

int SimThroughputRuns::Threads() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return int(m_runs.size());
}

void SimThroughputRuns::Finish(uint64_t run)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_runs.find(run);
        if (it == m_runs.end())
            return;   // taken by StopAll, which joins it
        it->second.finished = true;
    }
    m_dispatcher.Schedule(0, [this] { JoinFinished(); });
}

void SimThroughputRuns::JoinFinished()
{
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_runs.begin(); it != m_runs.end();) {
            if (it->second.finished) {
                done.push_back(std::move(it->second.thread));
                it = m_runs.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : done)
        t.join();
}
