// Search cycle (its body: SearchCycleWorker): the controller's own entry points.
#include "LeftTopWidget.h"

#include "ControllerHost.h"
#include "RightBottomWidget.h"

void LeftTopWidget::ExecuteAutoSearchDevThread()
{
    m_searchCycle->Run();
}

bool LeftTopWidget::RunSearchCycle()
{
    return m_searchCycle->RunCycle();
}

void LeftTopWidget::StartSearchDev(unsigned timeoutMs)
{
    m_searchCycle->StartSearch(timeoutMs);
}

void LeftTopWidget::StopSearchDev()
{
    m_searchCycle->StopSearch();
}

void LeftTopWidget::GetAllSearachDevs()
{
    m_searchCycle->CollectSearchedDevs();
}

void LeftTopWidget::LoginSearchDevs()
{
    m_searchCycle->LoginSearchDevs();
}

int LeftTopWidget::LoginDev(DevInfo* dev)
{
    return m_searchCycle->LoginDev(dev);
}

bool LeftTopWidget::IsDevInSpecIpSegment(const DevInfo* dev)
{
    return m_searchCycle->IsDevInSpecIpSegment(dev);
}

int LeftTopWidget::GetNotUseIP(char* outIP, const char* localIP)
{
    return m_searchCycle->GetNotUseIP(outIP, localIP);
}

void LeftTopWidget::WaitSearchDevsLoginReturn(unsigned timeoutMs)
{
    m_searchCycle->WaitLoginReturn(timeoutMs);
}

void LeftTopWidget::ShowSearchNote(const QString& text)
{
    if (RightBottomWidget* panel = m_host ? m_host->GetManualPanel() : nullptr)
        panel->AddAutoTestResult(text, 0);
}
