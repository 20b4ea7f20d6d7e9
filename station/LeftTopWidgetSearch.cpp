// Search cycle: search, re-addressing, login. The cycle itself is still to be built.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::ExecuteAutoSearchDevThread()
{
    LogPrint(LOG_INFO, "++++++++++++++ Enter LeftTopWidget::ExecuteAutoSearchDevThread() ++++++++++++++++");
    // Without a search cycle the thread only waits for the end of the run.
    while (m_workers.SleepWhileRunning(300)) {
    }
    LogPrint(LOG_INFO, "++++++++++++++ Leave LeftTopWidget::ExecuteAutoSearchDevThread() ++++++++++++++++");
}

void LeftTopWidget::StartSearchDev(unsigned timeoutMs)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::StartSearchDev() not built yet, dwTimeout=%u", timeoutMs);
}

void LeftTopWidget::StopSearchDev()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::StopSearchDev() not built yet");
}

void LeftTopWidget::GetAllSearachDevs()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetAllSearachDevs() not built yet");
}

void LeftTopWidget::LoginSearchDevs()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::LoginSearchDevs() not built yet");
}

int LeftTopWidget::LoginDev(DevInfo* dev)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::LoginDev() not built yet");
    return dev ? -2 : -1;
}

bool LeftTopWidget::IsDevInSpecIpSegment(const DevInfo* dev)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::IsDevInSpecIpSegment() not built yet");
    return dev != nullptr;
}

int LeftTopWidget::GetNotUseIP(char* outIP, const char* localIP)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetNotUseIP() not built yet");
    return (outIP && localIP) ? -3 : -1;
}

void LeftTopWidget::WaitSearchDevsLoginReturn(unsigned timeoutMs)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::WaitSearchDevsLoginReturn() not built yet, dwTimeout=%u", timeoutMs);
}
