#pragma once

#include "FuncLibTypes.h"
#include "PlayCtrlTypes.h"

#include <cstdint>

struct DeviceEntry;
class OpenglRender;

// The live-play rules of the device-event bridge: a device's live stream is
// opened through the device SDK, its media header opens a play-library port,
// packets are fed in, decoded pictures go to the renderers of the channel slot
// and decoded audio to the bridge's audio player. A pane binds a device through
// StartRealPlay / StopRealPlay (GUI thread); OnStreamData runs on the SDK's
// stream thread and OnDecodedFrame on the play library's decode thread.
class LivePlayPath {
public:
    static int SetPortHardwareDecode(int port, int mode);
    static int SetPortMultiThreadDecode(int port, int mode);

    // 0 done, -1 a null argument or a channel without a slot.
    static int StartRealPlay(DeviceEntry* entry, OpenglRender* pane, int channel);
    // 0 done, -1 a null device entry or a channel without a slot.
    static int StopRealPlay(DeviceEntry* entry, OpenglRender* pane, int channel);

    // Real-data callback: 0, -1 no device entry, -2 no slot streams under the
    // handle, -3 the slot has no renderer.
    static int OnStreamData(int64_t realHandle, int dataType, const char* buffer, int size,
                            const FC_PacketInfo* packet);
    // Display callback: 0, or -1 on a null argument or a port of no slot.
    static int OnDecodedFrame(int port, const PC_FrameInfo* frame, void* user);
    // Player status callback: posts event 1029 to the main window and
    // returns 0; -1 no device entry, -2 a port of no slot.
    static int OnPlayerStatus(int port, int event, int64_t value, int value2, void* user);

    // One packet into a playing port (any time stamp: one out of range counts
    // as 0); an input error is logged and the packet dropped.
    static void InputVideo(int port, const char* buffer, int size, const FC_PacketInfo& packet);
    static void InputAudio(int port, const char* buffer, int size, const FC_PacketInfo& packet);

    // Plane layout of a decoded picture: 0 semi-planar when the Y and U pitches
    // are positive and the V pitch is 0, else 1 planar.
    static int ChooseLayout(const PC_FrameInfo& frame);

    // Where decoded audio frames go and how a pane stops the audio: the
    // bridge's audio player (DeviceEventBridge::PlayAudioFrame and
    // StopAudioPlay) unless a test puts its own pair in; null restores them.
    using AudioSink = void (*)(const PC_FrameInfo* frame);
    using AudioStop = void (*)();
    static void SetAudioOutput(AudioSink play, AudioStop stop);
    static void StopAudioPlay();

private:
    static void OpenPort(DeviceEntry* entry, int port, const FC_MediaHeader& header);
    static void ClosePort(int port);
    static int FindSlotByHandle(DeviceEntry* entry, int64_t realHandle);
};
