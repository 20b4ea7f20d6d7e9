#include "DeviceEventBridge.h"

#include "AppGlobals.h"
#include "AudioPlayer.h"
#include "AuxResponseInfo.h"
#include "FuncLib.h"
#include "Log.h"
#include "PlayCtrl.h"
#include "PlayerStatusInfo.h"
#include "VantrelEvent.h"

#include <cstddef>
#include <cstring>
#include <memory>

// The event records as the bridge fills them and the receivers read them.
static_assert(sizeof(AuxResponseInfo) == 32 && offsetof(AuxResponseInfo, lStateCode) == 8 &&
                  offsetof(AuxResponseInfo, pResponse) == 16 && offsetof(AuxResponseInfo, receiver) == 24,
              "AuxResponseInfo layout");
static_assert(offsetof(PlayerStatusInfo, lValue) == 8 && offsetof(PlayerStatusInfo, nValue2) == 16 &&
                  offsetof(PlayerStatusInfo, pDevice) == 24,
              "PlayerStatusInfo layout");

namespace {

std::atomic<DeviceEventBridge*> g_bridge{nullptr};
std::atomic<DeviceEventBridge::PlayIdReader> g_playIdReader{nullptr};

void IgnoreSdkDebug(int, const char*) {}

char* CopyText(const char* text)
{
    const size_t n = strlen(text);
    char* copy = new char[n + 1];
    memcpy(copy, text, n + 1);
    return copy;
}

}  // namespace

DeviceEventBridge::DeviceEventBridge(QObject* receiver) : m_audio(new AudioPlayer()), m_receiver(receiver)
{
    m_audio->SetIdentity(kAudioIdentity);
}

DeviceEventBridge::~DeviceEventBridge()
{
    Stop();
    DeviceEventBridge* self = this;
    g_bridge.compare_exchange_strong(self, nullptr);
}

int DeviceEventBridge::Start()
{
    if (m_started || m_stopped)   // after Stop nothing would clear what a start registers
        return m_startResult;
    m_started = true;
    FC_Loc_SetDebugCallback(&IgnoreSdkDebug, 100);
    FC_Loc_SetWorkMode(6);
    PC_Init();
    FC_Loc_SetStatusCallback(&DeviceEventBridge::OnSdkMessage, m_receiver);
    FC_Loc_SetMessageCallback(&DeviceEventBridge::OnSdkNotify, m_receiver);
    m_startResult = FC_Loc_SetReconnect(1);
    return m_startResult;
}

void DeviceEventBridge::Stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    {
        std::lock_guard<std::mutex> guard(m_audioLock);
        if (m_audio)
            m_audio->StopPlay(kAudioIdentity);
        m_audioReleased = true;   // the player itself lives until the bridge goes
    }
    if (!m_started)
        return;
    FC_Loc_SetStatusCallback(nullptr, m_receiver);
    FC_Loc_SetMessageCallback(nullptr, m_receiver);
    FC_Loc_Cleanup();
    PC_Cleanup();
}

AudioPlayer* DeviceEventBridge::Audio()
{
    std::lock_guard<std::mutex> guard(m_audioLock);
    return m_audioReleased ? nullptr : m_audio.get();
}

DeviceEventBridge* DeviceEventBridge::Instance()
{
    return g_bridge.load();
}

void DeviceEventBridge::SetInstance(DeviceEventBridge* bridge)
{
    g_bridge.store(bridge);
}

int DeviceEventBridge::OnSdkMessage(int64_t loginHandle, int statusType, const char* data, void* user)
{
    AuxResponsePtr info(new AuxResponseInfo);
    info->lLoginID = loginHandle;
    info->lStateCode = statusType;
    info->receiver = static_cast<QObject*>(user);
    if (statusType == 23) {
        // A binary record, never text; none passed means nothing to copy.
        if (data) {
            info->pResponse = new char[168];
            memcpy(info->pResponse, data, 168);
        }
    } else if (data) {
        info->pResponse = CopyText(data);
    }
    QObject* receiver = info->receiver;
    PostVantrelEvent(receiver, WM_DEV_STATUS, 0, 0, std::move(info));
    return 0;
}

int DeviceEventBridge::OnSdkNotify(int64_t loginHandle, int stateCode, const char* reply, void* user)
{
    WriteLog("nType = %u", unsigned(stateCode));
    AuxResponsePtr info(new AuxResponseInfo);
    info->lLoginID = loginHandle;
    info->lStateCode = stateCode;
    info->pResponse = CopyText(reply ? reply : "");
    info->receiver = static_cast<QObject*>(user);
    QObject* receiver = info->receiver;
    PostVantrelEvent(receiver, WM_DEV_RESPONSE, 0, 0, std::move(info));
    return 0;
}

int DeviceEventBridge::OnPlayStreamEvent(int port, int event, int64_t value, int value2, void* user)
{
    if (!user)
        return -1;
    if (PlayIdReader reader = g_playIdReader.load()) {
        if (reader(user) != port)
            return -2;
    }
    PostPlayerStatus(port, event, value, value2, user);
    return 0;
}

void DeviceEventBridge::PostPlayerStatus(int port, int event, int64_t value, int value2, void* device)
{
    auto info = std::make_unique<PlayerStatusInfo>();
    info->nPort = port;
    info->nEvent = event;
    info->lValue = value;
    info->nValue2 = value2;
    info->nReserved = 0;
    info->pDevice = device;
    PostVantrelEvent(MainWindowInstance, WM_PLAYER_STATUS, 0, 0, std::move(info));
}

void DeviceEventBridge::SetPlayIdReader(PlayIdReader reader)
{
    g_playIdReader.store(reader);
}

template <typename Use>
void DeviceEventBridge::WithAudio(Use use)
{
    DeviceEventBridge* bridge = Instance();
    if (!bridge)
        return;
    std::lock_guard<std::mutex> guard(bridge->m_audioLock);
    if (bridge->m_audio && !bridge->m_audioReleased)
        use(bridge->m_audio.get());
}

void DeviceEventBridge::PlayAudioFrame(const PC_FrameInfo* frame)
{
    WithAudio([frame](AudioPlayer* audio) { audio->AppendAudioData(kAudioIdentity, frame); });
}

void DeviceEventBridge::InitAudioFormat(int sampleRate, int bitsPerSample, int channels)
{
    WithAudio([=](AudioPlayer* audio) { audio->InitAudioFormat(sampleRate, bitsPerSample, channels); });
}

void DeviceEventBridge::StartAudioPlay()
{
    WithAudio([](AudioPlayer* audio) { emit audio->startPlay(kAudioIdentity); });
}

void DeviceEventBridge::StopAudioPlay()
{
    WithAudio([](AudioPlayer* audio) { audio->StopPlay(kAudioIdentity); });
}
