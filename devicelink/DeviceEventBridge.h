#pragma once

#include "PlayCtrlTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class AudioPlayer;
class QObject;

// The one place where the device SDK and the play library are started and
// stopped, and where their callbacks enter the program. Callbacks run on the
// libraries' threads: they only copy what they were handed into a heap record
// and post it as a VantrelEvent (1006 status, 1010 reply, 1029 player status)
// that owns the record.
class DeviceEventBridge {
public:
    explicit DeviceEventBridge(QObject* receiver);
    ~DeviceEventBridge();
    DeviceEventBridge(const DeviceEventBridge&) = delete;
    DeviceEventBridge& operator=(const DeviceEventBridge&) = delete;

    // Starts both libraries and registers the callbacks; the SDK's result of
    // the last start-up call. Later calls, and any call after Stop, do nothing
    // and return that result.
    int Start();
    // Stops audio, clears both callbacks (no callback runs once this returns)
    // and cleans both libraries up. Once only.
    void Stop();

    QObject* Receiver() const { return m_receiver; }
    // The audio player, or null once the bridge was stopped.
    AudioPlayer* Audio();

    // The process-wide bridge that the callbacks and the live-play code use.
    static DeviceEventBridge* Instance();
    static void SetInstance(DeviceEventBridge* bridge);

    // Device SDK callbacks (user = the receiver); both return 0.
    static int OnSdkMessage(int64_t loginHandle, int statusType, const char* data, void* user);
    static int OnSdkNotify(int64_t loginHandle, int stateCode, const char* reply, void* user);
    // Player status callback, registered per port with the device record as
    // user: 0 posted (or no main window), -1 no device, -2 not the device's port.
    static int OnPlayStreamEvent(int port, int event, int64_t value, int value2, void* user);
    // How OnPlayStreamEvent reads a device record's current play port (the
    // record's type belongs to the controller). Without a reader no port is refused.
    using PlayIdReader = int64_t (*)(const void* device);
    static void SetPlayIdReader(PlayIdReader reader);
    // Posts a player status of a port that the caller found to be the
    // device's current one as event 1029 to the main window; with no main
    // window the record is dropped.
    static void PostPlayerStatus(int port, int event, int64_t value, int value2, void* device);

    // Audio shortcuts of the live-play path, identity 1; they fit
    // LivePlayPath::SetAudioOutput.
    static void PlayAudioFrame(const PC_FrameInfo* frame);
    // The live audio output's format from a media header (stream thread).
    static void InitAudioFormat(int sampleRate, int bitsPerSample, int channels);
    static void StartAudioPlay();
    static void StopAudioPlay();

    static constexpr int kAudioIdentity = 1;

private:
    // Calls use(player) under the audio holder's lock while the process-wide
    // bridge still holds its player.
    template <typename Use>
    static void WithAudio(Use use);

    std::mutex m_audioLock;      // the audio holder: guards m_audio for the decode thread
    std::unique_ptr<AudioPlayer> m_audio;
    bool m_audioReleased = false;
    QObject* const m_receiver;
    bool m_started = false;
    bool m_stopped = false;
    int m_startResult = 0;
};
