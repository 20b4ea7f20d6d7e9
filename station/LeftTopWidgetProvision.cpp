// 4G / SIM test, cloud binding, authorization codes and the QR label flow.
// Still to be built.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::do4GDevInfoTest(Dev4GInfo*, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::do4GDevInfoTest() not built yet");
}

void LeftTopWidget::DoPrintQRCodeJob(AuxPrintQRCodeMsg*, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoPrintQRCodeJob() not built yet");
}

void LeftTopWidget::DoCheckQRCodeJob(AuxPrintQRCodeMsg*, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoCheckQRCodeJob() not built yet");
}

void LeftTopWidget::DoBindDevJob(DevBindJob*, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoBindDevJob() not built yet");
}

void LeftTopWidget::DoAuthorizeCheckJob(AuxAuthorizeCheckMsg*, int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::DoAuthorizeCheckJob() not built yet");
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
