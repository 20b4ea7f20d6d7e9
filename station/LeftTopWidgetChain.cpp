// Automatic step machine and item commands. Still to be built but for the
// nested wait and the timer clean-up that the frame needs.
#include "LeftTopWidget.h"

#include "ControllerHost.h"
#include "JTimer.h"
#include "Log.h"
#include "VideoForm.h"

#include <QEventLoop>
#include <QTimerEvent>

bool LeftTopWidget::WaitWithEventLoop()
{
    const uint64_t generation = Generation();
    const bool twoLenses = m_SvrRetDevTypeInfo.IsMultiChannel();
    const bool gunLens = twoLenses && m_lCurrentChannel.load() == 0;
    int videoResult = 0;
    ReadCurrentDevice([&](const DevInfo& dev) {
        videoResult = gunLens ? dev.TestRuslut.video_result2 : dev.TestRuslut.m_iTestVideo;
    });
    if (videoResult != 0)
        return true;

    QEventLoop loop;
    JTimer limit(5000);
    connect(m_pVideoTimer, &JTimer::signalTimeout, &loop, &QEventLoop::quit);
    if (VideoForm* pane = GetCurVideoForm())
        connect(pane, &OpenglRender::signalUpdateView, &loop, &QEventLoop::quit);
    connect(&limit, &JTimer::signalTimeout, &loop, &QEventLoop::quit);
    connect(this, &LeftTopWidget::generationChanged, &loop, &QEventLoop::quit);
    // A run stop or a new device before the connections were made.
    if (Generation() != generation)
        return false;
    limit.start();
    loop.exec();
    return Generation() == generation;
}

void LeftTopWidget::KillAllStepTimers()
{
    for (AutoStepSlot& slot : m_AutoSteps) {
        if (slot.iTimerId != 0)
            killTimer(slot.iTimerId);
        slot.iTimerId = 0;
    }
}

void LeftTopWidget::timerEvent(QTimerEvent* event)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::timerEvent() step machine not built yet, timer %d", event->timerId());
    QWidget::timerEvent(event);
}

void LeftTopWidget::AutoTestSN()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestSN() not built yet");
}

void LeftTopWidget::AutoGetFactoryTestState()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetFactoryTestState() not built yet");
}

void LeftTopWidget::AutoGetCapability()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetCapability() not built yet");
}

void LeftTopWidget::AutoGetSysVersion()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetSysVersion() not built yet");
}

void LeftTopWidget::AutoGetDevType()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetDevType() not built yet");
}

void LeftTopWidget::AutoGetLightMode()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetLightMode() not built yet");
}

void LeftTopWidget::AutoModifyCountryCity()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoModifyCountryCity() not built yet");
}

void LeftTopWidget::AutoModifyMac()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoModifyMac() not built yet");
}

void LeftTopWidget::AutoUploadLogoFile()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoUploadLogoFile() not built yet");
}

void LeftTopWidget::AutoGetAuthorizeCodeInfo()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoGetAuthorizeCodeInfo() not built yet");
}

void LeftTopWidget::AutoTestFunctionCode()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestFunctionCode() not built yet");
}

void LeftTopWidget::AutoTestRTC()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestRTC() not built yet");
}

void LeftTopWidget::AutoTestTFCard()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestTFCard() not built yet");
}

void LeftTopWidget::AutoTestWifiSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestWifiSignal() not built yet");
}

void LeftTopWidget::Auto4GTestItem()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::Auto4GTestItem() not built yet");
}

void LeftTopWidget::AutoTestFinalSteps()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestFinalSteps() not built yet");
}

void LeftTopWidget::AutoTestFinish()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AutoTestFinish() not built yet");
}

void LeftTopWidget::onTimerAutoTestWifiSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerAutoTestWifiSignal() not built yet");
}
