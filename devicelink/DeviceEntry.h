#pragma once

#include "FuncLibTypes.h"

#include <cstdint>
#include <mutex>
#include <vector>

class OpenglRender;

// A device as the bridge's live-play path works on it: its address and
// credentials, and one slot per lens or channel with the stream that feeds
// that slot's renderers.
struct DeviceEntry {
    static constexpr int SLOT_COUNT = 2;

    struct Slot {
        int64_t lRealHandle = 0;                 // > 0 while the SDK streams
        std::vector<OpenglRender*> renderers;    // in the order they were added
        int32_t lPlayPort = 0;                   // 0: none
        bool bAttached = false;
        bool bAudioOn = false;
        FC_MediaHeader header{};                 // the stream's media header, once received
        bool bPlayerStarted = false;
        bool bRequesting = false;                // FC_Loc_RealPlayEx in progress, handle not stored yet
    };

    int32_t nKind = 0;                 // device class; kinds 1 and 3 carry channels
    char szAddress[64] = {};
    char szUser[64] = {};
    char szPassword[64] = {};
    int32_t nStreamPort = 0;
    int32_t nChannelCount = 0;
    int64_t lLoginHandle = 0;          // > 0 while logged in
    Slot channels[SLOT_COUNT];
    bool bHaveAudio = false;
    int32_t nAudioSampleRate = 0;
    int32_t nAudioBitsPerSample = 0;
    int32_t nAudioChannels = 0;

    // Lock order: portMutex, then mutex.
    // portMutex serialises the calls on a slot's play port (opening it from a
    // header, feeding packets, closing it), so that a header arriving during a
    // tear-down never reopens a port that is being released. Never held while
    // calling FC_Loc_StopRealPlay, which waits for a running data callback.
    std::mutex portMutex;
    // Guards the slots and the audio fields between the GUI thread and the
    // libraries' threads; held while frames are handed to the renderers.
    // Never held while calling into the SDK or the play library.
    std::mutex mutex;
};
