// Live play of the current device, its decode path, and the speaker test's
// talk-back. Still to be built but for the serial-number refresh.
#include "LeftTopWidget.h"

#include "DevCommand.h"
#include "Log.h"

void LeftTopWidget::RequestDevSN()
{
    const int64_t login = CurrentLoginHandle();
    const int ret = SendDevCommand(login, CMD_GET_IPC_SERIALNUMBER, CommandBody::None());
    LogPrint(LOG_INFO, "LeftTopWidget::RequestDevSN() lUserID=%lld, ret=%d", (long long)login, ret);
}

int LeftTopWidget::RealDataCallBackFunc(int64_t, int, const char*, int, const FC_PacketInfo*)
{
    return -1;
}

int LeftTopWidget::DecDataCallBackFunc(int, const PC_FrameInfo*, void*)
{
    return -1;
}

int LeftTopWidget::playVideo(DevInfo* dev)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::playVideo() not built yet");
    return dev ? 0 : -1;
}

int LeftTopWidget::stopPlay(DevInfo* dev)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::stopPlay() not built yet");
    return dev ? 0 : -1;
}

void LeftTopWidget::SwitchChannel(int)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::SwitchChannel() not built yet");
}

void LeftTopWidget::onPcStatusEvent(PlayerStatusInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onPcStatusEvent() not built yet");
}

int LeftTopWidget::dealStartAduioOk(AuxResponseInfo* info, AuxJobRun&)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::dealStartAduioOk() not built yet");
    return info ? 0 : -1;
}
