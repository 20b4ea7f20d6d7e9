#pragma once

#include "SimDispatcher.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// What a camera was asked to do by the throughput-test command (1519).
struct SimThroughputRequest {
    QString serial;
    QString cameraAddress;       // where the camera's client sends from
    QString address;             // the station's throughput server (127.0.0.0/8 only)
    int port = 0;
    int durationSec = 0;
    int maxThroughput = 0;
    QString ssid;
    QString password;
};

// Runs a camera's throughput client; it should return soon after stop turns true.
using SimThroughputRunner = std::function<void(const SimThroughputRequest& request, const std::atomic<bool>& stop)>;

// The throughput runs of the simulated cameras, a thread each. A run that has
// ended is joined from the SDK's message thread, so threads never pile up.
// Its lock is taken after the LAN's, never before.
class SimThroughputRuns {
public:
    explicit SimThroughputRuns(SimDispatcher& dispatcher);
    ~SimThroughputRuns();   // stops and joins every run
    SimThroughputRuns(const SimThroughputRuns&) = delete;
    SimThroughputRuns& operator=(const SimThroughputRuns&) = delete;

    // Replaces what a camera runs; null restores the camera's own throughput client.
    void SetRunner(SimThroughputRunner runner);
    // Keeps the request and runs the runner for it on a thread of its own.
    void Start(const QString& name, const SimThroughputRequest& request);
    // Tells the runs of the camera of that name to stop; they are joined once they end.
    void StopCamera(const QString& name);
    // Stops and joins every run.
    void StopAll();

    QVector<SimThroughputRequest> Requests() const;   // the newest SimCamera::kMaxLogEntries
    void ClearRequests();
    int Threads() const;   // runs started and not yet joined

private:
    struct Run {
        QString name;            // its camera's
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> stop;
        bool finished = false;   // the runner has returned; the thread ends at once
    };

    void Finish(uint64_t run);
    void JoinFinished();

    SimDispatcher& m_dispatcher;
    mutable std::mutex m_lock;   // guards everything below
    SimThroughputRunner m_runner;
    QVector<SimThroughputRequest> m_requests;
    std::map<uint64_t, Run> m_runs;
    uint64_t m_lastRun = 0;
};
