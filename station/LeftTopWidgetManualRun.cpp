// Manual automation run: timed sequences of manual items. Still to be built.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::dealWithManualAuto()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealWithManualAuto() not built yet");
}

bool LeftTopWidget::startManual(const QString&, qint64, bool)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::startManual() not built yet");
    return false;
}

void LeftTopWidget::onTimerManualAutoSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerManualAutoSignal() not built yet");
}

void LeftTopWidget::onTimerWaitLastStop()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerWaitLastStop() not built yet");
}

void LeftTopWidget::ShowBeginManualTestTip()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ShowBeginManualTestTip() not built yet");
}
