#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

class DevInfoLists;
class HandOffQueue;
class StationWorkers;
struct ConfigInfo;
struct DevInfo;

// The stream-test thread's body: plays the ready devices one by one, judges
// each by its frame counter and signs of life, hands a finished device's
// record to the GUI thread for saving and upload, and takes the next one.
//
// It reaches the device lists only through their locking functions, the GUI
// thread only through hand-offs, and the controller only through Controller.
// One instance lives as long as the controller: the device handled last
// outlives a run.
class StreamTestWorker {
public:
    // What the stream-test thread uses of the controller.
    class Controller {
    public:
        // Any thread.
        virtual ConfigInfo ConfigSnapshot() const = 0;
        // The play path: the current device's play, and the tear-down of the
        // device that leaves the current-device slot (under the stream-list lock).
        virtual int playVideo(DevInfo* dev) = 0;
        virtual int stopPlay(DevInfo* dev) = 0;
        virtual void RetirePlay(DevInfo& previous) = 0;
        // GUI thread; the thread reaches them through hand-offs.
        // The manual result panel's results into the current record.
        virtual void CollectManualTestResult() = 0;
        virtual void slot_UploadCurrentDevTestResult() = 0;
        virtual void slot_RefreshOrderInfo() = 0;
        virtual void onUploadDataNetworkAnomalies() = 0;
        virtual void AddAutoTestItem(const QString& strText, bool bNormal) = 0;
        // The main window leaves the twin-lens view of a finished device.
        virtual void LeaveGunBallView() = 0;
        // The finished device's manual part ends: a running script stops, and
        // the main window is told the manual test is over.
        virtual void LeaveManualTest() = 0;
        // The automatic chain of the new current device starts (event 1020).
        virtual void BeginAutoTest() = 0;

    protected:
        ~Controller() = default;
    };

    // The words the thread shares with the GUI thread and the play path; the
    // controller owns them.
    struct SharedWords {
        std::atomic<int64_t>& lastCount;        // frame counter at the last progress
        std::atomic<int64_t>& currentCount;     // frame counter at the last judgement
        std::atomic<int64_t>& currentChannel;   // -1 none chosen
        std::atomic<bool>& curDevAlive;         // a sign of life since the last judgement
        std::atomic<bool>& wifiThroughputBegun;
        std::atomic<bool>& manualTipShown;
        std::atomic<int32_t>& uploadDone;       // the submission slot has ended
        std::atomic<int32_t>& uploadFailures;   // consecutive failed submissions
        std::atomic<int32_t>& devTypeReplyFlag; // the chain's device-type step
    };

    StreamTestWorker(Controller& controller, DevInfoLists& lists, StationWorkers& workers, HandOffQueue& handOffs,
                     const SharedWords& words);
    StreamTestWorker(const StreamTestWorker&) = delete;
    StreamTestWorker& operator=(const StreamTestWorker&) = delete;

    // A run starts: the stream list is taken from its start.
    void NewRun();
    // The thread body: runs while the run flag is set, then stops the play of
    // the current device.
    void Run();

private:
    enum class Judged { Wait, Progress, Finished };

    // Posts job to the GUI thread; dropped (logged) once the controller closes.
    void PostToGui(std::function<void()> job);
    Judged JudgeCurrentDevice();
    // Waits until the current device's throughput phase reaches phase, at most
    // limitMs; false on time-out or when the run ends.
    bool WaitWifiPhase(int32_t phase, uint64_t limitMs);
    void WaitForWifiTest();
    void HandOverRecord();
    void RetireCutOffDevice();
    bool StartNextDevice();

    Controller& m_controller;
    DevInfoLists& m_lists;
    StationWorkers& m_workers;
    HandOffQueue& m_handOffs;
    SharedWords m_words;

    int64_t m_lastTestLogin = -1;   // login handle of the device handled last at its end
    int64_t m_lastItem = -1;        // index in the stream list of the device played last
    uint64_t m_progressTick = 0;    // last progress or device start
    bool m_noFrameSeen = false;     // a port without any frame was found
    uint64_t m_noFrameSince = 0;
};
