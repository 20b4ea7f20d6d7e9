// Device reply dispatch, reply parsers and status events. Still to be built.
#include "LeftTopWidget.h"

#include "AuxResponseInfo.h"
#include "Log.h"

void LeftTopWidget::onAuxResponse(AuxResponseInfo* info)
{
    if (!info)
        return;
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onAuxResponse() not built yet, msg_code=%d", AuxMessageCode(info->lStateCode));
}

void LeftTopWidget::onStatusEvent(AuxResponseInfo* info)
{
    if (!info)
        return;
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onStatusEvent() not built yet, type=%lld", (long long)info->lStateCode);
}

void LeftTopWidget::dealBeginTestAutoItem()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealBeginTestAutoItem() not built yet");
}

int LeftTopWidget::GetOperatorByICCID(const QString&)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetOperatorByICCID() not built yet");
    return -1;
}

void LeftTopWidget::AppendCustomizedItemsResult(int code)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::AppendCustomizedItemsResult() not built yet, code=%d", code);
}

void LeftTopWidget::dealUploadFileFinish(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealUploadFileFinish() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetSysVersion(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetSysVersion() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetSnInfo(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetSnInfo() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetDevType(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetDevType() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetTFCard(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetTFCard() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealFormatSDCard(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealFormatSDCard() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetLightMode(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetLightMode() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetRTC(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetRTC() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetConfigFileCheckNum(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetConfigFileCheckNum() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetWifiSignal(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetWifiSignal() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGet4GDevInfo(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGet4GDevInfo() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetFuntionCodeCheck(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetFuntionCodeCheck() not built yet, msg_code=%d", msgCode);
}

void LeftTopWidget::dealGetAuthorizeCodeInfo(int msgCode, AuxResponseInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealGetAuthorizeCodeInfo() not built yet, msg_code=%d", msgCode);
}
