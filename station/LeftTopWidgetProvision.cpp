// 4G / SIM test, cloud binding, authorization codes and the QR label flow.
// Still to be built.
#include "LeftTopWidget.h"

#include "Log.h"

// Until the bodies are built each job reports that it did nothing; the chain
// goes on without its results.
void LeftTopWidget::do4GDevInfoTest(const Dev4GInfo&, AuxJobRun& run)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::do4GDevInfoTest() not built yet");
    run.Result() = AuxJobResult::NotDone();
}

void LeftTopWidget::DoPrintQRCodeJob(const AuxPrintQRCodeMsg&, AuxJobRun& run)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoPrintQRCodeJob() not built yet");
    run.Result() = AuxJobResult::NotDone();
}

void LeftTopWidget::DoCheckQRCodeJob(const AuxPrintQRCodeMsg&, AuxJobRun& run)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoCheckQRCodeJob() not built yet");
    run.Result() = AuxJobResult::NotDone();
}

void LeftTopWidget::DoBindDevJob(const DevBindJob&, AuxJobRun& run)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoBindDevJob() not built yet");
    run.Result() = AuxJobResult::NotDone();
}

void LeftTopWidget::DoAuthorizeCheckJob(const AuxAuthorizeCheckMsg&, AuxJobRun& run)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoAuthorizeCheckJob() not built yet");
    run.Result() = AuxJobResult::NotDone();
}

int LeftTopWidget::BindSNAndICCID(const QString&, const QString&, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::BindSNAndICCID() not built yet");
    return -2;
}

int LeftTopWidget::QueryDevInfo(const QString&, const QString&, SimState&, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::QueryDevInfo() not built yet");
    return -1;
}

int LeftTopWidget::QueryDevIsBindShareBenefit(const QString&, bool&, QString&, QString&)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::QueryDevIsBindShareBenefit() not built yet");
    return -1;
}

int LeftTopWidget::DevBindOrUnbind(const QString&, int, const QString&, const QString&, const QString&)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DevBindOrUnbind() not built yet");
    return -2;
}

int LeftTopWidget::CheckTuyaAuthorizeCodeInfoMatch(const QString&, const QString&, const QString&, const QString&, int, int, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::CheckTuyaAuthorizeCodeInfoMatch() not built yet");
    return -2;
}

void LeftTopWidget::GetIndentifyCode(int, const QString&, int, const QString&, QString& strQRCode, QString& strQRCodeIndentifyPart, QString& strIndentifyCode)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetIndentifyCode() not built yet");
    strQRCode.clear();
    strQRCodeIndentifyPart.clear();
    strIndentifyCode.clear();
}

void LeftTopWidget::onQRCodePrintEmit(QString, QString, QString, QString, QString)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onQRCodePrintEmit() not built yet");
}

void LeftTopWidget::onQRCodeCheckSignalEmit(QString, QString)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onQRCodeCheckSignalEmit() not built yet");
}

void LeftTopWidget::onCheckQRCodeSignalEimt(bool)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onCheckQRCodeSignalEimt() not built yet");
}
