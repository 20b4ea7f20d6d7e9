// Manual item handler. Still to be built.
#include "LeftTopWidget.h"

#include "Log.h"
#include "PresetCallParam.h"

void LeftTopWidget::dealManualTest(int item, qint64 param)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealManualTest() not built yet, item=%d, param=%lld", item, (long long)param);
}

void LeftTopWidget::dealCallPreset(std::unique_ptr<PresetCallParam> param)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealCallPreset() not built yet, preset=%d", param ? param->preset : -1);
}

int LeftTopWidget::ManualBindDev()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualBindDev() not built yet");
    return -1;
}

int LeftTopWidget::ManualPrintQRCode()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualPrintQRCode() not built yet");
    return -1;
}

int LeftTopWidget::ManualQRCodeCheck()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualQRCodeCheck() not built yet");
    return -1;
}

int LeftTopWidget::ManualTestUploadAlarmFile()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualTestUploadAlarmFile() not built yet");
    return -1;
}

int LeftTopWidget::ManualTestWIFI()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualTestWIFI() not built yet");
    return -1;
}

int LeftTopWidget::ManualTestWIFISignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::ManualTestWIFISignal() not built yet");
    return -1;
}

void LeftTopWidget::JudgeManualWifiSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::JudgeManualWifiSignal() not built yet");
}

void LeftTopWidget::onTimerManualTestWifiSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerManualTestWifiSignal() not built yet");
}
