// The live media of a camera as the device SDK hands it over: the media
// header, then video and audio packets, through the controller's live-play
// callback or the event bridge's own path into a play-library port. The
// port's decode thread hands the pictures to the video pane (whose renderer
// drops them here: there is no display to draw on) and the sound to the
// bridge's live audio player. Each input plays into a port of its own, waits
// until the decode thread has handled every packet, then tears the stream down.
//
// Input: a path byte (bit 0: the bridge's path, else the controller's; bit 1:
// the bridge's slot has its audio on; bit 2: every packet comes under a stale
// stream handle), then packets until the input ends, at most kMostPackets: a
// data type byte (0 video, 1 audio, 2 media header, others as they are), the
// packet record's frame type byte and time stamp (8 bytes, a little-endian
// double), a length (two bytes, big-endian; what is left when it is longer),
// then the packet's bytes.
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "AppGlobals.h"
#include "DevInfo.h"
#include "DeviceEntry.h"
#include "DeviceEventBridge.h"
#include "FuncLibTypes.h"
#include "LeftTopWidget.h"
#include "LivePlayPath.h"
#include "OpenglRender.h"
#include "PlayCtrl.h"
#include "PlayerStatusInfo.h"
#include "SdkCallLog.h"
#include "VantrelEvent.h"
#include "VideoForm.h"
#include "sim/SimPlayer.h"

#include <QCoreApplication>
#include <QObject>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The port's input queue holds 80 packets: fewer never meet a full queue,
// whatever the decode thread's pace.
constexpr int kMostPackets = 64;
constexpr int64_t kHandle = 7001;
constexpr int64_t kStaleHandle = 7002;
constexpr int kDrainMs = 20000;

enum PathBits : uint8_t { BridgePath = 1, BridgeAudioOn = 2, StaleHandle = 4 };

VideoForm& Pane()
{
    static VideoForm* pane = new VideoForm;
    return *pane;
}

struct Packet {
    int type = 0;
    FC_PacketInfo info{};
    std::string bytes;
};

// The main window's part for player status events: it owns their records.
class StatusReceiver : public QObject {
protected:
    void customEvent(QEvent* event) override
    {
        auto* e = dynamic_cast<VantrelEvent*>(event);
        if (e && e->code == WM_PLAYER_STATUS)
            delete reinterpret_cast<PlayerStatusInfo*>(quintptr(e->word1));
    }
};

int64_t PlayIdOf(const void* device)
{
    return DevLoad(static_cast<const DevInfo*>(device)->lPlayID);
}

std::vector<Packet> ReadPackets(FuzzInput& in)
{
    std::vector<Packet> packets;
    while (in.Left() > 0 && packets.size() < size_t(kMostPackets)) {
        Packet p;
        p.type = in.Byte();
        p.info.nFrameType = in.Byte();
        const std::string stamp = in.Bytes(sizeof(double));
        memcpy(&p.info.dTimeStamp, stamp.data(), stamp.size());
        const size_t length = (size_t(in.Byte()) << 8) | in.Byte();
        p.bytes = in.Bytes(length);
        packets.push_back(std::move(p));
    }
    return packets;
}

// Waits for the port's decode thread, then tears the stream down as stopPlay does.
void ClosePort(int port)
{
    if (!SimPlayer::WaitDrained(port, kDrainMs))
        FuzzEnv::Fail("the decode thread of port %d did not finish its packets in %d ms", port, kDrainMs);
    PC_SetDisplayCallback(port, nullptr, nullptr);
    PC_CloseStream(port);
    PC_FreePort(port);
}

void PlayController(const std::vector<Packet>& packets, bool stale)
{
    static DevInfo dev;
    ZeroDevInfo(dev);
    const int port = PC_GetFreePort();
    DevStore(dev.lPlayID, int64_t(port));
    DevStore(dev.lRealHandle, kHandle);
    dev.widget = &Pane();
    const int64_t videoInputs = SdkCallLog::Instance().VideoInputs();
    int64_t videoPackets = 0;
    for (Packet p : packets) {
        p.info.pUser = &dev;
        const int result = LeftTopWidget::RealDataCallBackFunc(stale ? kStaleHandle : kHandle, p.type,
                                                               p.bytes.data(), int(p.bytes.size()), &p.info);
        if (stale && result != -2)
            FuzzEnv::Fail("a packet under a stale handle gave %d, not -2", result);
        videoPackets += p.type == FC_STREAM_VIDEO;
    }
    if (stale && SdkCallLog::Instance().VideoInputs() != videoInputs)
        FuzzEnv::Fail("a packet under a stale handle reached the play library");
    if (DevLoad(dev.lFrameCount) != (stale ? 0 : videoPackets))
        FuzzEnv::Fail("%lld video packets counted, %lld came", (long long)DevLoad(dev.lFrameCount),
                      (long long)(stale ? 0 : videoPackets));
    ClosePort(port);
}

void PlayBridge(const std::vector<Packet>& packets, bool audioOn, bool stale)
{
    OpenglRender* pane = &Pane();
    static DeviceEntry entry;
    entry.bHaveAudio = false;
    entry.nAudioSampleRate = entry.nAudioBitsPerSample = entry.nAudioChannels = 0;
    DeviceEntry::Slot& slot = entry.channels[0];
    slot.header = FC_MediaHeader{};
    slot.lRealHandle = kHandle;
    slot.lPlayPort = PC_GetFreePort();
    slot.renderers.assign(1, pane);
    slot.bAudioOn = audioOn;
    for (Packet p : packets) {
        p.info.pUser = &entry;
        const int result = LivePlayPath::OnStreamData(stale ? kStaleHandle : kHandle, p.type, p.bytes.data(),
                                                      int(p.bytes.size()), &p.info);
        if (stale && result != -2)
            FuzzEnv::Fail("a packet under a stale handle gave %d, not -2", result);
    }
    if (!SimPlayer::WaitDrained(slot.lPlayPort, kDrainMs))
        FuzzEnv::Fail("the decode thread of port %d did not finish its packets in %d ms", slot.lPlayPort, kDrainMs);
    // The pane leaves its slot: the port is closed and the stream stopped.
    LivePlayPath::StopRealPlay(&entry, pane, 0);
    if (slot.lPlayPort != 0 || slot.lRealHandle != 0 || !slot.renderers.empty())
        FuzzEnv::Fail("the slot still holds port %d, handle %lld", slot.lPlayPort, (long long)slot.lRealHandle);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    // Player status goes to the main window; decoded sound to the bridge's player.
    MainWindowInstance = new StatusReceiver;
    DeviceEventBridge::SetInstance(new DeviceEventBridge(MainWindowInstance.load()));
    DeviceEventBridge::SetPlayIdReader(&PlayIdOf);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t path = in.Byte();
    const std::vector<Packet> packets = ReadPackets(in);
    const bool stale = path & StaleHandle;
    if (path & BridgePath)
        PlayBridge(packets, path & BridgeAudioOn, stale);
    else
        PlayController(packets, stale);
    // The player's start and the status events run on the GUI thread.
    QCoreApplication::sendPostedEvents();
    SdkCallLog::Instance().Clear();
    return 0;
}
