// Live play of the current device and its decode path.
//
// Who touches what:
// - playVideo, stopPlay, SwitchChannel and the second-lens switch change
//   m_PlayInfo's port and stream under the stream-list lock (the stream-test
//   thread and the GUI thread both call them), so a port or handle is never
//   freed twice and never set on a record that is being replaced. What they
//   leave for the GUI thread (signals, lines, the device type, the QR dialog)
//   runs after the lock is released, through a hand-off when called off it.
// - The SDK's stream thread (RealDataCallBackFunc) and the play library's
//   decode thread (DecDataCallBackFunc) touch only the record's atomic fields
//   and its pane. The port lock below serialises a port's opening from the
//   media header and its feeding with its tear-down: once the tear-down
//   has freed the port, no packet reaches it.
//
// What keeps the record and its pane alive: the callbacks get the record as
// their user pointer (&m_PlayInfo, the only record ever played) and reach the
// pane through its widget field, a pane of the main window. Both outlive every
// callback because a play is torn down (CloseRecordPlay: the libraries call
// nothing once it returns) before the record changes hands (RetirePlay, under
// the stream-list lock) and before the record or the pane goes (CloseStreams,
// which the main window's close and the controller's destructor call first).
#include "LeftTopWidget.h"
#include "EntryField.h"

#include "AppGlobals.h"
#include "ControllerHost.h"
#include "CheckQRCodeDlg.h"
#include "DecodeModes.h"
#include "DevCommand.h"
#include "DeviceEventBridge.h"
#include "EnumClass.h"
#include "FuncLib.h"
#include "JTimer.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "PlayCtrl.h"
#include "PlayerStatusInfo.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <QMessageBox>

#include <cstring>
#include <limits>
#include <mutex>

namespace {

constexpr int kStreamBuffers = 40;
constexpr char kStreamUser[] = "admin";
constexpr char kStreamPassword[] = "580347";
// lRealHandle while FC_Loc_RealPlayEx has not returned: the first packet,
// which may come before the call returns, takes its handle as the record's.
constexpr int64_t kHandlePending = std::numeric_limits<int64_t>::min();

std::mutex& PortLock()
{
    static std::mutex lock;
    return lock;
}

// True when realHandle is the record's stream (adopting it while the request is pending).
bool IsRecordStream(DevInfo& dev, int64_t realHandle)
{
    int64_t current = DevLoad(dev.lRealHandle);
    if (current == kHandlePending && realHandle > 0 &&
        __atomic_compare_exchange_n(&dev.lRealHandle, &current, realHandle, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
        return true;
    return realHandle > 0 && current == realHandle;
}

// Opens the port from a media header; the caller holds the port lock.
void OpenPortFromHeader(DevInfo& dev, int port, const char* buffer)
{
    FC_MediaHeader header;
    std::memcpy(&header, buffer, sizeof header);
    LogPrint(LOG_INFO, "LeftTopWidget::RealDataCallBackFunc(), dwDataType = 2, bHaveVideo=%d, bHaveAudio=%d",
             int(header.bHaveVideo), int(header.bHaveAudio));
    if (header.bHaveVideo)
        PC_OpenStream(port, buffer + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, kStreamBuffers);
    if (header.bHaveAudio) {
        DeviceEventBridge::InitAudioFormat(header.nSampleRate, header.nBitsPerSample, header.nChannels);
        DeviceEventBridge::StartAudioPlay();
        PC_OpenStream(port, buffer + FC_AUDIO_PART_OFFSET, FC_AUDIO_PART_SIZE, PC_STREAM_AUDIO, kStreamBuffers);
    }
    LivePlayPath::SetPortHardwareDecode(port, HardwareDecodeMode.load());
    LivePlayPath::SetPortMultiThreadDecode(port, MultiThreadDecodeMode.load());
    PC_SetStatusCallback(port, &DeviceEventBridge::OnPlayStreamEvent, &dev);
    PC_SetDisplayCallback(port, &LeftTopWidget::DecDataCallBackFunc, &dev);
    PC_SetPixelLayout(port, PC_LAYOUT_SEMI_PLANAR);
    PC_Play(port, 0);
}

// Closes the record's port (display callback off, stream closed, port freed)
// and stops its SDK stream. stopFlag: the play of the device ends (a running
// speaker test ends with it); a channel switch keeps it clear.
void CloseRecordPlay(DevInfo& dev, bool stopFlag)
{
    {
        std::lock_guard<std::mutex> guard(PortLock());
        const int64_t port = DevLoad(dev.lPlayID);
        if (port > 0) {
            if (stopFlag)
                DevStore(dev.lStopFlag, int64_t(1));
            PC_SetDisplayCallback(int(port), nullptr, nullptr);
            PC_CloseStream(int(port));
            PC_FreePort(int(port));
            DevStore(dev.lPlayID, int64_t(0));
        }
    }
    // Outside the port lock: the stop waits for a data callback that may wait for that lock.
    const int64_t handle = __atomic_exchange_n(&dev.lRealHandle, int64_t(0), __ATOMIC_ACQ_REL);
    if (handle > 0)
        FC_Loc_StopRealPlay(handle);
}

}  // namespace

// GUI work a play start or stop leaves behind, run once the stream-list lock
// is released: at once on the GUI thread, else as one hand-off (in order with
// the calling thread's other hand-offs).
class LeftTopWidget::GuiAfter {
public:
    void Add(std::function<void()> job) { m_jobs.push_back(std::move(job)); }
    void Run(HandOffQueue& handOffs)
    {
        if (m_jobs.empty())
            return;
        auto jobs = std::move(m_jobs);
        m_jobs.clear();
        auto all = [jobs] {
            for (const auto& job : jobs)
                job();
        };
        if (handOffs.IsGuiThread())
            all();
        else if (!handOffs.Post(all))
            LogPrint(LOG_GENERAL, "LeftTopWidget: the controller closes, %d GUI steps of a play change dropped",
                     int(jobs.size()));
    }

private:
    std::vector<std::function<void()>> m_jobs;
};

void LeftTopWidget::ChooseSecondChannel(DevInfo* dev, const DevTypeInfo& type, GuiAfter& after)
{
    if (m_lCurrentChannel.load() == -1 && type.bFieldsMissing) {
        LogPrint(LOG_MAJOR, "LeftTopWidget::ExecuteImageStreamTestThread() device type info(%s) miss some field",
                 type.strIpcType.toLatin1().constData());
        LeftTopWidget* self = this;
        after.Add([self] {
            self->AddAutoTestItem(LeftTopWidget::tr("The device type field is missing. Please confirm the firmware version"),
                                  true);
        });
    }
    LeftTopWidget* self = this;
    if (!type.IsMultiChannel()) {
        const int channel = int(m_lCurrentChannel.load());
        after.Add([self, channel] { emit self->signalGunBallDevice(false, channel); });
        return;
    }
    if (m_lCurrentChannel.load() != -1)
        return;
    m_lCurrentChannel = 1;
    if (dev && DevLoad(dev->lRealHandle) > 0) {
        CloseRecordPlay(*dev, false);
        if (PlayRecord(*dev, after) == 0 && !m_bManalAutoTesting.load()) {
            after.Add([self] {
                PostVantrelEvent(MainWindowInstance.load(), WM_MANUAL_ITEM_ENABLE, EnumClass::MANUAL_SWITCH_CHANNEL, 0);
                self->ChannelSwitchDoneLater();
            });
        }
    }
    after.Add([self] { emit self->signalGunBallDevice(true, 1); });
}

void LeftTopWidget::OpenRecordStream(DevInfo& dev, int channel)
{
    const int port = PC_GetFreePort();
    DevStore(dev.lPlayID, int64_t(port));
    FC_RealPlayParam param{};
    param.nStreamPort = dev.ipcEntry.nLoginPort;
    param.nConstOne = 1;
    param.pUser = &dev;
    param.nChannel = channel;
    const QByteArray url = "vlx://" + Field(dev.ipcEntry.szIP);
    m_pVideoTimer->stop();
    DevStore(dev.lRealHandle, kHandlePending);
    const int64_t handle = FC_Loc_RealPlayEx(dev.lUserID, url.constData(), kStreamUser, kStreamPassword,
                                             &LeftTopWidget::RealDataCallBackFunc, &param);
    int64_t expected = kHandlePending;
    if (!__atomic_compare_exchange_n(&dev.lRealHandle, &expected, handle, false, __ATOMIC_ACQ_REL,
                                     __ATOMIC_ACQUIRE) &&
        expected != handle)
        LogPrint(LOG_GENERAL, "LeftTopWidget::playVideo() the stream took handle %lld, FC_Loc_RealPlayEx returned %lld",
                 (long long)expected, (long long)handle);
    LogPrint(LOG_INFO, "LeftTopWidget::playVideo() FC_Loc_RealPlayEx, lUserID=%lld, Ip=%s, channel=%d, lPlayID=%d, lRealHandle=%lld",
             (long long)dev.lUserID, url.constData(), channel, port, (long long)DevLoad(dev.lRealHandle));
}

int LeftTopWidget::PlayRecord(DevInfo& dev, GuiAfter& after)
{
    if (!dev.widget) {
        LogPrint(LOG_INFO, "LeftTopWidget::playVideo(), pDevInfo->widget == NULL, return -2;");
        return -2;
    }
    LeftTopWidget* self = this;
    DevTypeInfo type;
    const bool typeKnown = m_lists.LookupDevType(dev.lUserID, &type);
    if (!typeKnown) {
        m_lCurrentChannel = -1;
        m_lLastCount = 0;
        m_lCurrentCount = 0;
        after.Add([self] {
            self->m_lists.ResetCurrentDevType();
            emit self->signalGunBallDevice(false, -1);
        });
    } else {
        after.Add([self, type] {
            if (self->m_lists.CurrentDevType().strIpcType.isEmpty())
                self->m_lists.SetCurrentDevType(type);
        });
        ChooseSecondChannel(&dev, type, after);
    }
    if (dev.lUserID <= 0 || dev.lLoginStatus != 1) {
        LogPrint(LOG_INFO, "LeftTopWidget::playVideo(), pDevInfo->lUserID = %lld, pDevInfo->lLoginStatus =%lld",
                 (long long)dev.lUserID, (long long)dev.lLoginStatus);
        return 0;
    }
    const int64_t realHandle = DevLoad(dev.lRealHandle);
    LogPrint(LOG_INFO, "LeftTopWidget::playVideo() start play dev, lRealHandle=%lld", (long long)realHandle);
    if (realHandle > 0) {
        LogPrint(LOG_INFO, "LeftTopWidget::playVideo(), pDevInfo->lRealHandle = %lld, not real stream",
                 (long long)realHandle);
        return 0;
    }
    const bool twoLenses = typeKnown && type.IsMultiChannel();
    const int channel = twoLenses ? int(m_lCurrentChannel.load()) : -1;
    OpenRecordStream(dev, channel);
    // The result of the lens now played: the gun lens (0) of a two-lens device has its own.
    const int32_t seen = twoLenses && channel == 0 ? dev.TestRuslut.video_result2 : dev.TestRuslut.m_iTestVideo;
    if (seen == 0)
        m_pVideoTimer->start(-1);
    return 0;
}

int LeftTopWidget::StopRecord(DevInfo& dev, bool current, GuiAfter& after)
{
    LogPrint(LOG_INFO, "Enter LeftTopWidget::stopPlay() lPlayID=%lld, lRealHandle=%lld",
             (long long)DevLoad(dev.lPlayID), (long long)DevLoad(dev.lRealHandle));
    if (!dev.widget) {
        LogPrint(LOG_INFO, "LeftTopWidget::stopPlay() pDevinfo->widget = null, return");
        return -2;
    }
    if (current) {
        m_lLastCount = 0;
        m_lCurrentCount = 0;
        m_lCurrentChannel = -1;
        m_pVideoTimer->stop();
        LeftTopWidget* self = this;
        after.Add([self] {
            self->m_lists.ResetCurrentDevType();
            if (CheckQRCodeDlg* dialog = self->m_pCheckQRCodeDlg.data()) {
                dialog->removeEventFilter(self);
                dialog->deleteLater();
            }
            self->m_pCheckQRCodeDlg = nullptr;
            self->m_bCheckQRCodeDlgOpen = false;
            emit self->signalGunBallDevice(false, -1);
        });
    }
    CloseRecordPlay(dev, true);
    LogPrint(LOG_INFO, "Leave LeftTopWidget::stopPlay() lPlayID=%lld, lRealHandle=%lld",
             (long long)DevLoad(dev.lPlayID), (long long)DevLoad(dev.lRealHandle));
    return 0;
}


// ---------------------------------------------------------------------------
// Starting and stopping

int LeftTopWidget::playVideo(DevInfo* dev)
{
    if (!dev) {
        LogPrint(LOG_INFO, "LeftTopWidget::playVideo(), pDevInfo == NULL, return -1;");
        return -1;
    }
    GuiAfter after;
    int result = 0;
    m_lists.ChangeCurrentDevice([&](DevInfo& current) { result = PlayRecord(current, after); });
    after.Run(m_handOffs);
    return result;
}

int LeftTopWidget::stopPlay(DevInfo* dev)
{
    if (!dev) {
        LogPrint(LOG_INFO, "LeftTopWidget::stopPlay() pDevinfo = null, return");
        return -1;
    }
    GuiAfter after;
    int result = 0;
    m_lists.ChangeCurrentDevice([&](DevInfo& current) {
        // An empty slot has no play of its own to reset.
        result = StopRecord(current, current.lUserID > 0, after);
    });
    after.Run(m_handOffs);
    return result;
}

// Ends the play of the record that the stream-test thread replaces; the caller
// holds the stream-list lock.
void LeftTopWidget::RetirePlay(DevInfo& previous)
{
    if (DevLoad(previous.lPlayID) > 0 || DevLoad(previous.lRealHandle) != 0)
        CloseRecordPlay(previous, true);
}

void LeftTopWidget::CloseStreams()
{
    StopRun();
    // A stop left waiting by a hand-off joins now: no worker may play again.
    if (m_bStopping)
        FinishStop();
    m_lists.ChangeCurrentDevice([this](DevInfo& current) { RetirePlay(current); });
}

int LeftTopWidget::SwitchChannel(int channel)
{
    LogPrint(LOG_INFO, "LeftTopWidget::SwitchChannel() channel=%d", channel);
    GuiAfter after;
    int result = 0;
    const bool current = m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& dev) {
        CloseRecordPlay(dev, false);
        m_lCurrentChannel = channel;
        result = PlayRecord(dev, after);
    });
    after.Run(m_handOffs);
    if (!current) {
        m_lCurrentChannel = channel;
        result = playVideo(&m_lists.m_PlayInfo);
    }
    if (result == 0 && !m_bManalAutoTesting.load()) {
        PostToMainWindow(WM_MANUAL_ITEM_ENABLE, EnumClass::MANUAL_SWITCH_CHANNEL, 0);
        ChannelSwitchDoneLater();
    }
    return result;
}

void LeftTopWidget::SwitchToSecondChannel()
{
    const DevTypeInfo type = m_lists.CurrentDevType();
    GuiAfter after;
    if (!m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                                     [&](DevInfo& dev) { ChooseSecondChannel(&dev, type, after); }))
        ChooseSecondChannel(nullptr, type, after);
    after.Run(m_handOffs);
}

// ---------------------------------------------------------------------------
// Library callbacks

int LeftTopWidget::RealDataCallBackFunc(int64_t realHandle, int dataType, const char* buffer, int size,
                                        const FC_PacketInfo* packet)
{
    auto* dev = packet ? static_cast<DevInfo*>(packet->pUser) : nullptr;
    if (!dev) {
        LogPrint(LOG_INFO, "LeftTopWidget::RealDataCallBackFunc(), pDevInfo is null, return");
        return -1;
    }
    if (!IsRecordStream(*dev, realHandle)) {
        LogPrint(LOG_INFO, "LeftTopWidget::RealDataCallBackFunc(), lRealHandle is not match, lRealHandle=%lld, pDevInfo->lRealHandle=%lld",
                 (long long)realHandle, (long long)DevLoad(dev->lRealHandle));
        return -2;
    }
    if (!buffer) {
        LogPrint(LOG_INFO, "LeftTopWidget::RealDataCallBackFunc(), pBuffer is null, lRealHandle=%lld, IP=%.256s",
                 (long long)realHandle, dev->ipcEntry.szIP);
        return -3;
    }
    if (dataType == FC_STREAM_VIDEO)
        DevAdd(dev->lFrameCount, int64_t(1));
    std::lock_guard<std::mutex> guard(PortLock());
    const int port = int(DevLoad(dev->lPlayID));
    if (port <= 0)
        return 0;   // torn down, or no port could be had
    switch (dataType) {
    case FC_STREAM_HEADER:
        if (size < FC_MEDIA_HEADER_SIZE) {
            LogPrint(LOG_MAJOR, "LeftTopWidget::RealDataCallBackFunc() media header of %d bytes ignored (need %d), IP=%.256s",
                     size, FC_MEDIA_HEADER_SIZE, dev->ipcEntry.szIP);
            break;
        }
        OpenPortFromHeader(*dev, port, buffer);
        break;
    case FC_STREAM_VIDEO:
        LivePlayPath::InputVideo(port, buffer, size, *packet);
        break;
    case FC_STREAM_AUDIO:
        LivePlayPath::InputAudio(port, buffer, size, *packet);
        break;
    default:
        break;
    }
    return 0;
}

int LeftTopWidget::DecDataCallBackFunc(int port, const PC_FrameInfo* frame, void* user)
{
    auto* dev = static_cast<DevInfo*>(user);
    if (!dev || !frame) {
        LogPrint(LOG_INFO, "LeftTopWidget::DecDataCallBackFunc(), param is error, pDevInfo=%p, pFrameInfo=%p",
                 static_cast<void*>(dev), static_cast<const void*>(frame));
        return -1;
    }
    const int64_t playId = DevLoad(dev->lPlayID);
    if (port != playId) {
        LogPrint(LOG_INFO, "LeftTopWidget::DecDataCallBackFunc(), nPort is not match, nPort=%d, pDevInfo->lPlayID=%lld",
                 port, (long long)playId);
        return -2;
    }
    if (frame->nType == PC_FRAME_AUDIO) {
        DeviceEventBridge::PlayAudioFrame(frame);
        return 0;
    }
    if (VideoForm* pane = dev->widget)
        pane->InputFrame(frame, LivePlayPath::ChooseLayout(*frame));
    return 0;
}

// ---------------------------------------------------------------------------
// Player status (GUI thread)

void LeftTopWidget::onPcStatusEvent(PlayerStatusInfo* info)
{
    if (!info || !info->pDevice)
        return;
    QString text;
    switch (info->nEvent) {
    case EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL:
        LogPrint(LOG_INFO, "onPcStatusEvent() EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL, recover software decode");
        text = tr("The performance of the current graphics card may be too low, hardware acceleration has been disabled, please restart the test");
        break;
    case EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED:
        LogPrint(LOG_INFO, "onPcStatusEvent() EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED, recover software decode");
        text = tr("Hardware decode pixmap format negotiation failed, recover software decode");
        break;
    default:
        return;
    }
    if (m_pHintBox) {
        m_pHintBox->setWindowTitle(tr("Hint"));
        m_pHintBox->setText(text);
        m_pHintBox->show();
    }
    if (m_host)
        m_host->SetHardwareDecode(0);
}

void LeftTopWidget::RequestDevSN()
{
    const int64_t login = m_lists.CurrentLoginHandle();
    const int ret = SendDevCommand(login, CMD_GET_IPC_SERIALNUMBER, CommandBody::None());
    LogPrint(LOG_INFO, "LeftTopWidget::RequestDevSN() lUserID=%lld, ret=%d", (long long)login, ret);
}
