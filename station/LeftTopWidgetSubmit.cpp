// Result submission and order refresh. Still to be built; the stream-test
// thread waits for m_iUploadDone, so the stub sets it.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::slot_UploadCurrentDevTestResult()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::UploadCurrentDevTestResult() not built yet");
    m_iUploadDone = 1;
}

void LeftTopWidget::slot_RefreshOrderInfo()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::slot_RefreshOrderInfo() not built yet");
}
