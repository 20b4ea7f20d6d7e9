// Stream-test thread (its body: StreamTestWorker), and the manual results and
// Wi-Fi throughput phases that come back for the current device's record.
#include "LeftTopWidget.h"

#include "ControllerHost.h"
#include "CustomItemsText.h"
#include "Log.h"
#include "StreamTestWorker.h"
#include "TestConfig.h"
#include "VantrelEvent.h"

namespace {

constexpr int kCustomItemsBytes = int(sizeof(DevTestResult::custom_manual_items)) - 1;

}  // namespace

void LeftTopWidget::ExecuteImageStreamTestThread()
{
    m_streamTest->Run();
}

// ---------------------------------------------------------------------------
// The stream-test thread's steps (GUI thread)

void LeftTopWidget::CollectManualTestResult()
{
    // The main window hands the manual result panel's results back through SaveManualTestResult.
    if (m_host)
        m_host->SaveManualTestResult();
}

void LeftTopWidget::LeaveGunBallView()
{
    emit signalGunBallDevice(false, -1);
}

void LeftTopWidget::LeaveManualTest()
{
    const bool scriptRan = IsManualAutoTesting();
    StopManualAutomation();
    if (!scriptRan)
        emit siganlBeginManulTest(false);
}

void LeftTopWidget::BeginAutoTest()
{
    PostVantrelEvent(this, WM_BEGIN_AUTO_TEST, 0, 0);
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
    const bool saved = m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& dev) {
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
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                                [](DevInfo& dev) { DevStore(dev.lWifiTesFinish, int32_t(2)); });
}

void LeftTopWidget::SetWifiTestFinished(qint64 word1, qint64 word2)
{
    LogPrint(LOG_INFO, "LeftTopWidget::SetWifiTestFinished() word1=%d, word2=%d", int(word1), int(word2));
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                                [](DevInfo& dev) { DevStore(dev.lWifiTesFinish, int32_t(3)); });
}
