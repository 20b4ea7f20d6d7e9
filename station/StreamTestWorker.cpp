// The thread reaches the GUI thread only through hand-offs: the blocking ones
// of the record (HandOffQueue::Call, which a stop runs while it joins, so a
// record whose hand-off began is still submitted) and posted ones for lines,
// signals, events and the script timer, which run in the order the thread
// posted them.
#include "StreamTestWorker.h"
#include "EntryField.h"

#include "AppGlobals.h"
#include "Clock.h"
#include "ConfigInfo.h"
#include "DevCommand.h"
#include "DevInfoLists.h"
#include "HandOffQueue.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "StationWorkers.h"
#include "TestConfig.h"
#include "VantrelEvent.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRestMs = 100;                 // a pass that has nothing to do
constexpr uint64_t kNoFrameGraceMs = 500;
constexpr uint64_t kWifiDataWaitMs = 10000;
constexpr uint64_t kWifiEndWaitMs = 14000;
constexpr int kWifiPollMs = 300;
constexpr int kUploadPollMs = 50;
constexpr int kNetworkFailureLimit = 5;

}  // namespace

StreamTestWorker::StreamTestWorker(Controller& controller, DevInfoLists& lists, StationWorkers& workers,
                                   HandOffQueue& handOffs, const SharedWords& words)
    : m_controller(controller), m_lists(lists), m_workers(workers), m_handOffs(handOffs), m_words(words)
{
}

void StreamTestWorker::Run()
{
    LogPrint(LOG_INFO, "+++++++ Enter LeftTopWidget::ExecuteImageStreamTestThread() +++++++");
    m_progressTick = Clock::TickMs();
    m_noFrameSeen = false;
    while (m_workers.RunFlag()) {
        const Judged judged = JudgeCurrentDevice();
        if (judged == Judged::Wait) {
            m_workers.SleepWhileRunning(kRestMs);
            continue;
        }
        if (judged == Judged::Progress)
            continue;
        WaitForWifiTest();
        HandOverRecord();
        RetireCutOffDevice();
        // Without a next device the finished one is judged again: rest between passes.
        if (m_workers.RunFlag() && !StartNextDevice())
            m_workers.SleepWhileRunning(kRestMs);
    }
    m_controller.stopPlay(&m_lists.m_PlayInfo);
    LogPrint(LOG_INFO, "+++++++ Leave ExecuteImageStreamTestThread() +++++++");
}

void StreamTestWorker::NewRun()
{
    m_lastItem = -1;
}

void StreamTestWorker::PostToGui(std::function<void()> job)
{
    if (!m_handOffs.Post(std::move(job)))
        LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteImageStreamTestThread() the controller closes, a GUI step dropped");
}

StreamTestWorker::Judged StreamTestWorker::JudgeCurrentDevice()
{
    const uint64_t now = Clock::TickMs();
    const int judgeMs =
        std::max(m_controller.ConfigSnapshot().m_SystemConfig.StreamJudgeTime, STREAM_JUDGE_TIME_MIN_MS);
    if (now - m_progressTick <= uint64_t(judgeMs))
        return Judged::Wait;
    int64_t count = 0;
    int64_t playId = 0;
    int64_t login = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        count = DevLoad(dev.lFrameCount);
        playId = DevLoad(dev.lPlayID);
        login = dev.lUserID;
    });
    m_words.currentCount = count;
    const bool alive = m_words.curDevAlive.exchange(false);
    if (count > m_words.lastCount.load() || alive) {
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_lLastCount=%lld, m_lCurrentCount=%lld",
                 (long long)m_words.lastCount.load(), (long long)count);
        m_progressTick = now;
        m_noFrameSeen = false;
        m_words.lastCount = count;
        SendDevCommand(login, CMD_GET_CAPABILITY, CommandBody::None());
        return Judged::Progress;
    }
    if (playId > 0 && count == 0) {
        if (!m_noFrameSeen) {
            m_noFrameSeen = true;
            m_noFrameSince = now;
        }
        if (now - m_noFrameSince < kNoFrameGraceMs)
            return Judged::Wait;
    }
    return Judged::Finished;
}

bool StreamTestWorker::WaitWifiPhase(int32_t phase, uint64_t limitMs)
{
    const uint64_t start = Clock::TickMs();
    for (;;) {
        int32_t now = 0;
        m_lists.ReadCurrentDevice([&](const DevInfo& dev) { now = DevLoad(dev.lWifiTesFinish); });
        if (now >= phase)
            return true;
        if (Clock::TickMs() - start >= limitMs || !m_workers.SleepWhileRunning(kWifiPollMs))
            return false;
    }
}

// A throughput test the operator started on the finished device gets time to
// report its end before the device is let go.
void StreamTestWorker::WaitForWifiTest()
{
    if (!m_words.wifiThroughputBegun.exchange(false))
        return;
    const int type = CurrentTestType.load();
    int64_t login = 0;
    int32_t phase = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        login = dev.lUserID;
        phase = DevLoad(dev.lWifiTesFinish);
    });
    if (type < 0 || type > 2 || login <= 0 || phase <= 0)
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=%d, begin WifiFinish Timeout Check",
             int(phase));
    if (!WaitWifiPhase(2, kWifiDataWaitMs))
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=2, break!!!");
    if (WaitWifiPhase(3, kWifiEndWaitMs))
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=3, break!!!");
}

// In work-order mode the finished device's record goes to the GUI thread for
// saving and upload. Once begun, it runs to its end: a stop in between joins
// this thread by running its hand-offs.
void StreamTestWorker::HandOverRecord()
{
    const DevInfo current = m_lists.CurrentDevice();
    const QByteArray sn = Field(current.ipcEntry.ipc_sn);
    // Once per device under test, judged again or not; by its login, not its
    // serial, so a camera put back for a retest is submitted again.
    if (WholeMachineTestMode.load() && !sn.isEmpty() && current.lUserID != m_lastTestLogin) {
        Controller* controller = &m_controller;
        if (m_words.manualTipShown.load()) {
            // Each waits until the GUI thread has done it.
            m_handOffs.Call([controller] { controller->CollectManualTestResult(); });
            m_handOffs.Call([controller] { controller->slot_UploadCurrentDevTestResult(); });
            while (m_words.uploadDone.load() == 0 && m_workers.SleepWhileRunning(kUploadPollMs)) {
            }
            m_words.uploadDone = 0;
            m_handOffs.Call([controller] { controller->slot_RefreshOrderInfo(); });
            if (m_words.uploadFailures.load() >= kNetworkFailureLimit)
                m_handOffs.Call([controller] { controller->onUploadDataNetworkAnomalies(); });
            PostToGui([controller] { controller->LeaveGunBallView(); });
        } else {
            PostToGui([controller] {
                controller->AddAutoTestItem(
                    QCoreApplication::translate(
                        "LeftTopWidget", "The automatic test item has not been completed and will not be uploaded"),
                    false);
            });
        }
    }
    m_lastTestLogin = current.lUserID;
}

// A device whose stream was cut off is stopped and queued for removal from
// the ready list; its manual script, a GUI-thread timer, stops there.
void StreamTestWorker::RetireCutOffDevice()
{
    const DevInfo current = m_lists.CurrentDevice();
    if (current.lUserID <= 0 || DevLoad(current.lRealHandle) == 0)
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() Dev Stream cut off, prepare to paly next Dev!!!");
    m_controller.stopPlay(&m_lists.m_PlayInfo);
    LivePlayPath::StopAudioPlay();
    m_lists.QueueFinishedDevice(current.lUserID);
    Controller* controller = &m_controller;
    PostToGui([controller] { controller->LeaveManualTest(); });
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_lDelReadyDev.push_back(%.256s)",
             current.ipcEntry.szIP);
}

// The next device becomes the current one and plays, and its chain starts.
bool StreamTestWorker::StartNextDevice()
{
    DevInfo next;
    if (!m_lists.TakeNextStreamTestDevice(m_lastItem, &next))
        return false;
    m_words.currentChannel = -1;
    m_words.devTypeReplyFlag = 1;
    m_words.lastCount = 0;
    m_words.currentCount = 0;
    Controller* controller = &m_controller;
    m_lists.SetCurrentDevice(next, [controller](DevInfo& previous) { controller->RetirePlay(previous); });
    PostToGui([] { PostVantrelEvent(MainWindowInstance.load(), WM_RESET_UI, 0, 0); });
    m_words.curDevAlive = true;
    m_controller.playVideo(&m_lists.m_PlayInfo);
    m_words.manualTipShown = false;
    m_progressTick = Clock::TickMs();
    m_noFrameSeen = false;
    PostToGui([controller] { controller->BeginAutoTest(); });
    return true;
}
