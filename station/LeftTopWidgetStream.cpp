// Stream-test thread: plays the ready devices one by one. The thread only
// waits for the end of the run until its body is built.
#include "LeftTopWidget.h"

#include "Log.h"
#include "TestConfig.h"

void LeftTopWidget::ExecuteImageStreamTestThread()
{
    LogPrint(LOG_INFO, "+++++++ Enter LeftTopWidget::ExecuteImageStreamTestThread() +++++++");
    while (m_workers.SleepWhileRunning(100)) {
    }
    LogPrint(LOG_INFO, "+++++++ Leave ExecuteImageStreamTestThread() +++++++");
}

void LeftTopWidget::SwitchToSecondChannel()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SwitchToSecondChannel() not built yet");
}

void LeftTopWidget::SaveManualTestResult(const DevTestResult&, const QVector<CustomizeItem>&)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SaveManualTestResult() not built yet");
}

void LeftTopWidget::SetWifiTestRunning()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SetWifiTestRunning() not built yet");
}

void LeftTopWidget::SetWifiTestFinished(qint64, qint64)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SetWifiTestFinished() not built yet");
}
