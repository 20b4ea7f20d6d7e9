// Item judges, result lines and the pass rule. The judges are still to be built.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "ControllerHost.h"
#include "DevChecks.h"
#include "Log.h"
#include "RightBottomWidget.h"
#include "VideoForm.h"

#include <QCoreApplication>

void LeftTopWidget::AddAutoTestItem(const QString& strText, bool bNormal)
{
    if (!bNormal) {
        m_bTestNormal = false;
        LogPrint(LOG_INFO, "######### AddAutoTestItem() m_bTestNormal = false , strText = %s ##########",
                 strText.toUtf8().constData());
    }
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    if (RightBottomWidget* panel = m_host->GetManualPanel())
        panel->AddAutoTestResult(strText, bNormal ? 1 : 0);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, strText, bNormal);
}

void LeftTopWidget::JudgeTestModel(const DevTypeInfo& info)
{
    const char* failure = TestModelMismatchText(info.eType, CurrentTestType.load());
    if (failure) {
        AddAutoTestItem(QCoreApplication::translate("LeftTopWidget", failure), false);
        LogPrint(LOG_INFO, "LeftTopWidget::JudgeTestModel() model test failed !");
        return;
    }
    LogPrint(LOG_INFO, "LeftTopWidget::JudgeTestModel() model test success !");
}

bool LeftTopWidget::IsDevTypeSupportPrint()
{
    const DevTypeInfo info = CurrentDevType();
    LogPrint(LOG_INFO,
             "#########LeftTopWidget::IsDevTypeSupportPrint(), m_SvrRetDevTypeInfo.eTypeDevMainType=%d, "
             "m_SvrRetDevTypeInfo.eType = %d#########",
             info.eTypeDevMainType, info.eType);
    return DevTypeSupportsPrint(info);
}

int LeftTopWidget::IsSpecialModel()
{
    int result = -1;
    QByteArray model;
    // Checked and written under one hold of the lock: a device the stream-test
    // thread put in meanwhile keeps its own model.
    UpdateCurrentDevice(CurrentLoginHandle(), [&](DevInfo& dev) {
        result = DeriveSpecialModel(dev, &model);
        if (result == 0)
            SetResultText(dev.szModel, model.constData());
    });
    return result;
}

void LeftTopWidget::onTimerSerialNumber()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerSerialNumber() not built yet");
}

void LeftTopWidget::onTimerCheckVersion()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerCheckVersion() not built yet");
}

void LeftTopWidget::onTimerCheckFunctionCode()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onTimerCheckFunctionCode() not built yet");
}

void LeftTopWidget::JudgeAutoWifiSignal()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::JudgeAutoWifiSignal() not built yet");
}

void LeftTopWidget::SetFunctionCodeResultText(const QString&, bool)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SetFunctionCodeResultText() not built yet");
}

void LeftTopWidget::SetWifiSignalResultText(const QString&, bool)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SetWifiSignalResultText() not built yet");
}

void LeftTopWidget::slotUpdateView()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::slotUpdateView() not built yet");
}

void LeftTopWidget::slotVideoTestTimeout()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::slotVideoTestTimeout() not built yet");
}

bool LeftTopWidget::IsTestResultPass()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::IsTestResultPass() not built yet");
    return false;
}
