#include "LivePlayPath.h"

#include "DecodeModes.h"
#include "DeviceEntry.h"
#include "DeviceEventBridge.h"
#include "FuncLib.h"
#include "Log.h"
#include "OpenglRender.h"
#include "PlayCtrl.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

constexpr int STREAM_BUFFER_COUNT = 40;

std::atomic<LivePlayPath::AudioSink> g_audioSink{&DeviceEventBridge::PlayAudioFrame};
std::atomic<LivePlayPath::AudioStop> g_audioStop{&DeviceEventBridge::StopAudioPlay};

// A fixed text field that may lack its NUL.
QByteArray FieldText(const char* field, size_t size)
{
    return QByteArray(field, int(strnlen(field, size)));
}

// The packet's time as an integer; a value no integer holds becomes 0.
int64_t TimeValue(double value)
{
    if (!std::isfinite(value) || value <= -9.2e18 || value >= 9.2e18)
        return 0;
    return int64_t(value);
}

bool ValidChannel(int channel)
{
    return channel >= 0 && channel < DeviceEntry::SLOT_COUNT;
}

}  // namespace

int LivePlayPath::SetPortHardwareDecode(int port, int mode)
{
    return PC_SetHardwareDecode(port, mode == 1 ? 1 : 2);
}

int LivePlayPath::SetPortMultiThreadDecode(int port, int mode)
{
    return PC_SetDecodeThreads(port, mode == 1 ? 2 : 1);
}

void LivePlayPath::SetAudioOutput(AudioSink play, AudioStop stop)
{
    g_audioSink = play ? play : &DeviceEventBridge::PlayAudioFrame;
    g_audioStop = stop ? stop : &DeviceEventBridge::StopAudioPlay;
}

void LivePlayPath::StopAudioPlay()
{
    if (AudioStop stop = g_audioStop.load())
        stop();
}

int LivePlayPath::ChooseLayout(const PC_FrameInfo& frame)
{
    if (frame.nYPitch > 0 && frame.nUPitch > 0 && frame.nVPitch == 0)
        return FRAME_STYLE_SEMI_PLANAR;
    return FRAME_STYLE_PLANAR;
}

void LivePlayPath::OpenPort(DeviceEntry* entry, int port, const FC_MediaHeader& header)
{
    const char* bytes = reinterpret_cast<const char*>(&header);
    if (header.bHaveVideo)
        PC_OpenStream(port, bytes + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, STREAM_BUFFER_COUNT);
    if (header.bHaveAudio)
        PC_OpenStream(port, bytes + FC_AUDIO_PART_OFFSET, FC_AUDIO_PART_SIZE, PC_STREAM_AUDIO, STREAM_BUFFER_COUNT);
    SetPortHardwareDecode(port, HardwareDecodeMode);
    SetPortMultiThreadDecode(port, MultiThreadDecodeMode);
    PC_SetStatusCallback(port, &LivePlayPath::OnPlayerStatus, entry);
    PC_SetDisplayCallback(port, &LivePlayPath::OnDecodedFrame, entry);
    PC_Play(port, 0);
}

void LivePlayPath::ClosePort(int port)
{
    if (port < 1)
        return;
    PC_SetDisplayCallback(port, nullptr, nullptr);
    PC_CloseStream(port);
    PC_FreePort(port);
}

// A decoding failure on a pane's port reaches the controller like one on its
// own: its handler only needs to know that a device is behind the status, and
// switches the station to software decoding.
int LivePlayPath::OnPlayerStatus(int port, int event, int64_t value, int value2, void* user)
{
    if (!user)
        return -1;
    auto* entry = static_cast<DeviceEntry*>(user);
    bool current = false;
    {
        std::lock_guard<std::mutex> lock(entry->mutex);
        for (const DeviceEntry::Slot& slot : entry->channels)
            current = current || (port > 0 && slot.lPlayPort == port);
    }
    if (!current)
        return -2;
    LogPrint(LOG_GENERAL, "LivePlayPath::OnPlayerStatus() port=%d event=%d value=%lld value2=%d", port, event,
             static_cast<long long>(value), value2);
    DeviceEventBridge::PostPlayerStatus(port, event, value, value2, entry);
    return 0;
}

int LivePlayPath::FindSlotByHandle(DeviceEntry* entry, int64_t realHandle)
{
    if (realHandle > 0) {
        for (int i = 0; i < DeviceEntry::SLOT_COUNT; ++i) {
            if (entry->channels[i].lRealHandle == realHandle)
                return i;
        }
    }
    // The SDK may deliver the first packets before FC_Loc_RealPlayEx has
    // returned the handle: the slot whose request is in progress takes it.
    for (int i = 0; i < DeviceEntry::SLOT_COUNT; ++i) {
        DeviceEntry::Slot& slot = entry->channels[i];
        if (slot.bRequesting && slot.lRealHandle < 1 && realHandle > 0) {
            slot.lRealHandle = realHandle;
            return i;
        }
    }
    return -1;
}

int LivePlayPath::StartRealPlay(DeviceEntry* entry, OpenglRender* pane, int channel)
{
    if (!entry || !pane || !ValidChannel(channel))
        return -1;
    DeviceEntry::Slot& slot = entry->channels[channel];
    std::unique_lock<std::mutex> portLock(entry->portMutex);

    entry->mutex.lock();
    int port = slot.lPlayPort;
    entry->mutex.unlock();
    if (port < 1) {
        port = PC_GetFreePort();
        std::unique_lock<std::mutex> lock(entry->mutex);
        slot.lPlayPort = port;
    }

    entry->mutex.lock();
    slot.bAttached = true;
    // The pane joins before the stream is requested, so that the media header,
    // which may arrive at once, finds a renderer.
    if (std::find(slot.renderers.begin(), slot.renderers.end(), pane) == slot.renderers.end())
        slot.renderers.push_back(pane);
    const bool streaming = slot.lRealHandle >= 1;
    const bool started = slot.bPlayerStarted;
    const FC_MediaHeader header = slot.header;
    entry->mutex.unlock();

    if (!streaming) {
        FC_RealPlayParam param{};
        param.nStreamPort = entry->nStreamPort;
        param.nConstOne = 1;
        param.pUser = entry;
        param.nChannel = -1;
        const QByteArray address = FieldText(entry->szAddress, sizeof entry->szAddress);
        QByteArray url;
        if (entry->nKind == 1 && entry->nChannelCount > 0) {
            param.nStreamSelector = (entry->nChannelCount - 1) | ((channel | 0x200) << 8);
            url = "vlx://" + address;
        } else {
            param.nStreamSelector = channel;
            url = entry->nKind == 0 ? "vlx://" + address : address.left(255);
        }
        const QByteArray user = FieldText(entry->szUser, sizeof entry->szUser);
        const QByteArray password = FieldText(entry->szPassword, sizeof entry->szPassword);
        {
            std::unique_lock<std::mutex> lock(entry->mutex);
            slot.bRequesting = true;
        }
        // The port lock is released: the header callback needs it while the SDK may wait for it.
        portLock.unlock();
        const int64_t handle = FC_Loc_RealPlayEx(entry->lLoginHandle, url.constData(), user.constData(),
                                                 password.constData(), &LivePlayPath::OnStreamData, &param);
        {
            std::unique_lock<std::mutex> lock(entry->mutex);
            slot.bRequesting = false;
            if (handle >= 1)
                slot.lRealHandle = handle;
        }
        LogPrint(LOG_DEBUG0, "FC_Loc_RealPlayEx, loginID=%d, ip=%s, user=%s, pwd=%s, stream=%d, ret=%d",
                 int(entry->lLoginHandle), address.constData(), user.constData(), "***", param.nStreamSelector,
                 int(handle));
    } else if (!started && port >= 1) {
        OpenPort(entry, port, header);
        std::unique_lock<std::mutex> lock(entry->mutex);
        slot.bPlayerStarted = true;
    }
    return 0;
}

int LivePlayPath::StopRealPlay(DeviceEntry* entry, OpenglRender* pane, int channel)
{
    if (!entry || !ValidChannel(channel))
        return -1;
    DeviceEntry::Slot& slot = entry->channels[channel];
    int port = 0;
    int64_t handle = 0;
    {
        std::unique_lock<std::mutex> portLock(entry->portMutex);
        {
            std::unique_lock<std::mutex> lock(entry->mutex);
            slot.bAttached = false;
            auto it = std::find(slot.renderers.begin(), slot.renderers.end(), pane);
            if (it != slot.renderers.end())
                slot.renderers.erase(it);
            port = slot.lPlayPort;
            slot.lPlayPort = 0;
            if (slot.renderers.empty()) {
                handle = slot.lRealHandle;
                slot.lRealHandle = 0;
            }
            slot.bPlayerStarted = false;
        }
        ClosePort(port);
    }
    // Outside the port lock: stopping the stream waits for a running data callback.
    if (handle > 0)
        FC_Loc_StopRealPlay(handle);
    return 0;
}

int LivePlayPath::OnStreamData(int64_t realHandle, int dataType, const char* buffer, int size,
                               const FC_PacketInfo* packet)
{
    if (!packet || !packet->pUser)
        return -1;
    auto* entry = static_cast<DeviceEntry*>(packet->pUser);
    std::unique_lock<std::mutex> portLock(entry->portMutex);
    int port = 0;
    bool audioOn = false;
    {
        std::unique_lock<std::mutex> lock(entry->mutex);
        const int index = FindSlotByHandle(entry, realHandle);
        if (index < 0)
            return -2;
        const DeviceEntry::Slot& slot = entry->channels[index];
        if (slot.renderers.empty())
            return -3;
        port = slot.lPlayPort;
        audioOn = slot.bAudioOn;
    }

    switch (dataType) {
    case FC_STREAM_HEADER: {
        if (!buffer || size < FC_MEDIA_HEADER_SIZE) {
            LogPrint(LOG_MAJOR, "LivePlayPath::OnStreamData() media header of %d bytes ignored (need %d)",
                     buffer ? size : 0, FC_MEDIA_HEADER_SIZE);
            return 0;
        }
        FC_MediaHeader header;
        std::memcpy(&header, buffer, sizeof header);
        {
            std::unique_lock<std::mutex> lock(entry->mutex);
            const int index = FindSlotByHandle(entry, realHandle);
            if (index < 0)
                return -2;
            entry->channels[index].header = header;
            if (header.bHaveAudio) {
                entry->nAudioSampleRate = header.nSampleRate;
                entry->nAudioBitsPerSample = header.nBitsPerSample;
                entry->nAudioChannels = header.nChannels;
                entry->bHaveAudio = true;
            }
        }
        OpenPort(entry, port, header);
        std::unique_lock<std::mutex> lock(entry->mutex);
        const int index = FindSlotByHandle(entry, realHandle);
        if (index >= 0)
            entry->channels[index].bPlayerStarted = true;
        break;
    }
    case FC_STREAM_VIDEO:
        InputVideo(port, buffer, size, *packet);
        break;
    case FC_STREAM_AUDIO:
        if (audioOn)
            InputAudio(port, buffer, size, *packet);
        break;
    default:
        break;
    }
    return 0;
}

void LivePlayPath::InputVideo(int port, const char* buffer, int size, const FC_PacketInfo& packet)
{
    const int error = PC_InputVideoData(port, buffer, size, packet.nFrameType, TimeValue(packet.dTimeStamp));
    if (error != 0)
        LogPrint(LOG_MAJOR, "PC_InputVideoData return error code=%d==lPlayPort=%d,", error, port);
}

void LivePlayPath::InputAudio(int port, const char* buffer, int size, const FC_PacketInfo& packet)
{
    const int error = PC_InputAudioData(port, buffer, size, TimeValue(packet.dTimeStamp));
    if (error != 0)
        LogPrint(LOG_MAJOR, "PC_InputAudioData return error code=%d,", error);
}

int LivePlayPath::OnDecodedFrame(int port, const PC_FrameInfo* frame, void* user)
{
    if (!frame || !user || port < 1)
        return -1;
    auto* entry = static_cast<DeviceEntry*>(user);
    std::unique_lock<std::mutex> lock(entry->mutex);
    const DeviceEntry::Slot* slot = nullptr;
    for (const DeviceEntry::Slot& s : entry->channels) {
        if (s.lPlayPort == port) {
            slot = &s;
            break;
        }
    }
    if (!slot)
        return -1;
    if (frame->nType == PC_FRAME_AUDIO) {
        lock.unlock();
        if (AudioSink sink = g_audioSink.load())
            sink(frame);
        return 0;
    }
    const int layout = ChooseLayout(*frame);
    for (OpenglRender* renderer : slot->renderers)
        renderer->InputFrame(frame, layout);
    return 0;
}
