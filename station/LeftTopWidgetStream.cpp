// Stream-test thread: plays the ready devices one by one, judges each by its
// frame counter and signs of life, hands a finished device's record to the
// GUI thread for saving and upload, and takes the next one. Also the manual
// results that come back for the record, and the Wi-Fi throughput phases.
//
// The thread reaches the GUI thread only through hand-offs: the blocking ones
// of the record (HandOffQueue::Call behind the sig_* signals, which a stop
// runs while it joins, so a record whose hand-off began is still submitted)
// and posted ones for lines, signals, events and the script timer, which run
// in the order the thread posted them.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "Clock.h"
#include "CustomItemsText.h"
#include "DevCommand.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "TestConfig.h"
#include "VantrelEvent.h"

#include <QTimer>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

constexpr int kRestMs = 100;                 // a pass that has nothing to do
constexpr uint64_t kNoFrameGraceMs = 500;
constexpr uint64_t kWifiDataWaitMs = 10000;
constexpr uint64_t kWifiEndWaitMs = 14000;
constexpr int kWifiPollMs = 300;
constexpr int kUploadPollMs = 50;
constexpr int kNetworkFailureLimit = 5;
constexpr int kCustomItemsBytes = int(sizeof(DevTestResult::custom_manual_items)) - 1;

template <size_t N>
QByteArray Field(const char (&field)[N])
{
    return QByteArray(field, int(strnlen(field, N)));
}

// The thread's own state between passes.
struct StreamPass {
    uint64_t progressTick = 0;           // last progress or device start
    bool noFrameSeen = false;            // a port without any frame was found
    uint64_t noFrameSince = 0;
};

enum class Judged { Wait, Progress, Finished };

// Posts job to the GUI thread; dropped (logged) once the controller closes.
void PostToGui(LeftTopWidget& w, std::function<void()> job)
{
    if (!w.HandOffs().Post(std::move(job)))
        LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteImageStreamTestThread() the controller closes, a GUI step dropped");
}

Judged JudgeCurrentDevice(LeftTopWidget& w, StreamPass& pass)
{
    const uint64_t now = Clock::TickMs();
    const int judgeMs = std::max(w.ConfigSnapshot().m_SystemConfig.StreamJudgeTime, STREAM_JUDGE_TIME_MIN_MS);
    if (now - pass.progressTick <= uint64_t(judgeMs))
        return Judged::Wait;
    int64_t count = 0;
    int64_t playId = 0;
    int64_t login = 0;
    w.ReadCurrentDevice([&](const DevInfo& dev) {
        count = DevLoad(dev.lFrameCount);
        playId = DevLoad(dev.lPlayID);
        login = dev.lUserID;
    });
    w.m_lCurrentCount = count;
    const bool alive = w.m_bCurDevAlive.exchange(false);
    if (count > w.m_lLastCount.load() || alive) {
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_lLastCount=%lld, m_lCurrentCount=%lld",
                 (long long)w.m_lLastCount.load(), (long long)count);
        pass.progressTick = now;
        pass.noFrameSeen = false;
        w.m_lLastCount = count;
        SendDevCommand(login, CMD_GET_CAPABILITY, CommandBody::None());
        return Judged::Progress;
    }
    if (playId > 0 && count == 0) {
        if (!pass.noFrameSeen) {
            pass.noFrameSeen = true;
            pass.noFrameSince = now;
        }
        if (now - pass.noFrameSince < kNoFrameGraceMs)
            return Judged::Wait;
    }
    return Judged::Finished;
}

// Waits until the current device's throughput phase reaches phase, at most
// limitMs; false on time-out or when the run ends.
bool WaitWifiPhase(LeftTopWidget& w, int32_t phase, uint64_t limitMs)
{
    const uint64_t start = Clock::TickMs();
    for (;;) {
        int32_t now = 0;
        w.ReadCurrentDevice([&](const DevInfo& dev) { now = DevLoad(dev.lWifiTesFinish); });
        if (now >= phase)
            return true;
        if (Clock::TickMs() - start >= limitMs || !w.Workers().SleepWhileRunning(kWifiPollMs))
            return false;
    }
}

// B.1: a manual throughput test of the device gets time to report its end.
void WaitForWifiTest(LeftTopWidget& w)
{
    if (!w.m_bWifiThroughputBegun.exchange(false))
        return;
    const int type = CurrentTestType.load();
    int64_t login = 0;
    int32_t phase = 0;
    w.ReadCurrentDevice([&](const DevInfo& dev) {
        login = dev.lUserID;
        phase = DevLoad(dev.lWifiTesFinish);
    });
    if (type < 0 || type > 2 || login <= 0 || phase <= 0)
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=%d, begin WifiFinish Timeout Check",
             int(phase));
    if (!WaitWifiPhase(w, 2, kWifiDataWaitMs))
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=2, break!!!");
    if (WaitWifiPhase(w, 3, kWifiEndWaitMs))
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_PlayInfo.lWifiTesFinish=3, break!!!");
}

// B.2, B.3: in work-order mode the finished device's record goes to the GUI
// thread for saving and upload. Once begun, it runs to its end: a stop in
// between joins this thread by running its hand-offs.
void HandOverRecord(LeftTopWidget& w)
{
    const QByteArray sn = Field(w.CurrentDevice().ipcEntry.ipc_sn);
    if (WholeMachineTestMode.load() && !sn.isEmpty() && sn != w.m_strLastTestSN.toLatin1()) {
        LeftTopWidget* self = &w;
        if (w.m_bManualTipShown.load()) {
            emit w.sig_SaveManualTestResult();
            emit w.sig_UploadTestResultData();
            while (w.m_iUploadDone.load() == 0 && w.Workers().SleepWhileRunning(kUploadPollMs)) {
            }
            w.m_iUploadDone = 0;
            emit w.sig_RefreshOrderInfo();
            if (w.UploadFailureCount.load() >= kNetworkFailureLimit)
                emit w.sig_UploadDataNetworkAnomalies();
            PostToGui(w, [self] { emit self->signalGunBallDevice(false, -1); });
        } else {
            PostToGui(w, [self] {
                self->AddAutoTestItem(LeftTopWidget::tr("The automatic test item has not been completed and will not be uploaded"),
                                      false);
            });
        }
    }
    w.m_strLastTestSN = QString::fromLatin1(sn);
}

// B.4: a device whose stream was cut off is stopped and queued for removal
// from the ready list; its manual script, a GUI-thread timer, stops there.
void RetireCutOffDevice(LeftTopWidget& w)
{
    const DevInfo current = w.CurrentDevice();
    if (current.lUserID <= 0 || DevLoad(current.lRealHandle) == 0)
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() Dev Stream cut off, prepare to paly next Dev!!!");
    w.stopPlay(&w.m_PlayInfo);
    LivePlayPath::StopAudioPlay();
    {
        std::lock_guard<ListLock> guard(w.m_lockStream);
        w.m_lDelReadyDev.push_back(current.lUserID);
    }
    LeftTopWidget* self = &w;
    PostToGui(w, [self] {
        const bool scriptRan = self->m_bManalAutoTesting.load();
        self->StopManualAutomation();
        if (!scriptRan)
            emit self->siganlBeginManulTest(false);
    });
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_lDelReadyDev.push_back(%.256s)",
             current.ipcEntry.szIP);
}

// B.5, the scan: the next device to play, copied out of the stream list
// (records no longer logged in leave the list). False when there is none yet.
bool FindNextDevice(LeftTopWidget& w, DevInfo* next)
{
    std::lock_guard<ListLock> guard(w.m_lockStream);
    std::vector<DevInfo>& list = w.m_vecImageStreamTestDevsInfo;
    if (w.m_bImageStreamTestDevsInfoUpdate) {
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_bImageStreamTestDevsInfoUpdate=true, set m_lLastItem=-1, pVecImageStreamTestDevs->size()=%d",
                 int(list.size()));
        w.m_bImageStreamTestDevsInfoUpdate = false;
        w.m_lLastItem = -1;
    } else if (w.m_lLastItem.load() >= int64_t(list.size()) - 1) {
        return false;
    }
    for (int64_t i = w.m_lLastItem.load() + 1; i < int64_t(list.size());) {
        const DevInfo& dev = list[size_t(i)];
        if (dev.lUserID <= 0 || dev.lLoginStatus != 1) {
            list.erase(list.begin() + i);
            continue;
        }
        if (!w.LookupDevType(dev.lUserID, nullptr))
            return false;   // its type reply has not come: a later pass takes it
        w.m_lLastItem = i;
        if (SameSerial(dev, w.m_PlayInfo)) {
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() i=%d, get myself Dev, continue", int(i));
            ++i;
            continue;
        }
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread(), i=%d, lUserID=%lld, Ip=%.256s, SN=%.32s, Begin Play Dev",
                 int(i), (long long)dev.lUserID, dev.ipcEntry.szIP, dev.ipcEntry.ipc_sn);
        CopyDevInfo(*next, dev);
        return true;
    }
    return false;
}

// B.5, the start: the device becomes the current one and plays, and its chain starts.
bool StartNextDevice(LeftTopWidget& w, StreamPass& pass)
{
    DevInfo next;
    if (!FindNextDevice(w, &next))
        return false;
    w.m_lCurrentChannel = -1;
    w.m_AutoSteps[STEP_DEV_TYPE].iReplyFlag = 1;
    w.m_lLastCount = 0;
    w.m_lCurrentCount = 0;
    LeftTopWidget* self = &w;
    w.SetCurrentDevice(next, [self](DevInfo& previous) { self->RetirePlay(previous); });
    PostToGui(w, [] { PostVantrelEvent(MainWindowInstance.load(), WM_RESET_UI, 0, 0); });
    w.m_bCurDevAlive = true;
    w.playVideo(&w.m_PlayInfo);
    w.m_bManualTipShown = false;
    pass.progressTick = Clock::TickMs();
    pass.noFrameSeen = false;
    PostToGui(w, [self] { PostVantrelEvent(self, WM_BEGIN_AUTO_TEST, 0, 0); });
    return true;
}

}  // namespace

void LeftTopWidget::ExecuteImageStreamTestThread()
{
    LogPrint(LOG_INFO, "+++++++ Enter LeftTopWidget::ExecuteImageStreamTestThread() +++++++");
    StreamPass pass;
    pass.progressTick = Clock::TickMs();
    while (m_workers.RunFlag()) {
        const Judged judged = JudgeCurrentDevice(*this, pass);
        if (judged == Judged::Wait) {
            m_workers.SleepWhileRunning(kRestMs);
            continue;
        }
        if (judged == Judged::Progress)
            continue;
        WaitForWifiTest(*this);
        HandOverRecord(*this);
        RetireCutOffDevice(*this);
        // Without a next device the finished one is judged again: rest between passes.
        if (m_workers.RunFlag() && !StartNextDevice(*this, pass))
            m_workers.SleepWhileRunning(kRestMs);
    }
    stopPlay(&m_PlayInfo);
    LogPrint(LOG_INFO, "+++++++ Leave ExecuteImageStreamTestThread() +++++++");
}

// ---------------------------------------------------------------------------
// Manual results and throughput phases (GUI thread)

void LeftTopWidget::SaveManualTestResult(const DevTestResult& result, const QVector<CustomizeItem>& items)
{
    bool normal = m_bManualObservationTestNormal;
    QStringList leftOut;
    const QByteArray custom = JoinCustomItems(items, kCustomItemsBytes, &leftOut);
    for (const CustomizeItem& item : items) {
        if (item.result == -1)
            normal = false;
    }
    for (const QString& pair : leftOut)
        LogPrint(LOG_GENERAL, "LeftTopWidget::SaveManualTestResult() custom item \"%s\" left out: it does not fit or its mark holds & or =",
                 pair.toUtf8().constData());
    const bool saved = UpdateCurrentDevice(CurrentLoginHandle(), [&](DevInfo& dev) {
        DevTestResult& r = dev.TestRuslut;
        auto copy = [&](int32_t DevTestResult::*field) {
            r.*field = result.*field;
            if (r.*field == -1)
                normal = false;
        };
        for (int32_t DevTestResult::*field : {&DevTestResult::m_iTestVideo, &DevTestResult::video_result2}) {
            if (result.*field != 0)
                copy(field);
        }
        for (int32_t DevTestResult::*field :
             {&DevTestResult::trumpet_result, &DevTestResult::mic_result, &DevTestResult::audio_alarm_file_result,
              &DevTestResult::fill_light_result, &DevTestResult::fill_light_result2,
              &DevTestResult::human_alarm_io_result, &DevTestResult::ircut_day_result,
              &DevTestResult::ircut_day_result2, &DevTestResult::ircut_night_result,
              &DevTestResult::ircut_night_result2, &DevTestResult::ptz_up_result, &DevTestResult::ptz_down_result,
              &DevTestResult::ptz_left_result, &DevTestResult::ptz_right_result, &DevTestResult::ptz_reset_result,
              &DevTestResult::sync_time_result, &DevTestResult::restore_result,
              &DevTestResult::format_sdcard_result, &DevTestResult::focus_add_result,
              &DevTestResult::focus_sub_result, &DevTestResult::zoom_add_result, &DevTestResult::zoom_sub_result,
              &DevTestResult::aper_add_result, &DevTestResult::aper_sub_result,
              &DevTestResult::preset_point_call_result})
            copy(field);
        SetResultText(r.custom_manual_items, custom.constData());
    });
    if (!saved)
        LogPrint(LOG_GENERAL, "LeftTopWidget::SaveManualTestResult() no current device, nothing saved");
    m_bManualObservationTestNormal = normal;
    if (!normal)
        LogPrint(LOG_INFO, "######### SaveManualTestResult() m_bManualObservationTestNormal = false ##########");
}

void LeftTopWidget::SetWifiTestRunning()
{
    UpdateCurrentDevice(CurrentLoginHandle(), [](DevInfo& dev) { DevStore(dev.lWifiTesFinish, int32_t(2)); });
}

void LeftTopWidget::SetWifiTestFinished(qint64 word1, qint64 word2)
{
    LogPrint(LOG_INFO, "LeftTopWidget::SetWifiTestFinished() word1=%d, word2=%d", int(word1), int(word2));
    UpdateCurrentDevice(CurrentLoginHandle(), [](DevInfo& dev) { DevStore(dev.lWifiTesFinish, int32_t(3)); });
}
