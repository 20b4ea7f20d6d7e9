#pragma once

#include "CallbackGate.h"
#include "PlayCtrl.h"
#include "SynthVideoCodec.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// One port of the play library: the stream headers it was opened with, its
// input queue and the decode thread that turns packets into frames.
class PlayPort {
public:
    explicit PlayPort(int number);
    ~PlayPort();
    PlayPort(const PlayPort&) = delete;
    PlayPort& operator=(const PlayPort&) = delete;

    int OpenStream(const char* header, int size, int kind, int bufferCount);
    int SetHardwareDecode(int mode);
    int SetDecodeThreads(int mode);
    int SetPixelLayout(int layout);
    void SetDisplayCallback(PC_DisplayCallback callback, void* user);
    void SetStatusCallback(PC_StatusCallback callback, void* user);
    int Play();
    int Input(bool video, const char* buffer, int length, int frameType, int64_t timeStamp);
    // Stops decoding, drops queued packets and forgets the stream headers.
    void CloseStream();
    // CloseStream, then the callbacks and modes too: the port is as new.
    void Reset();

    // Has the decode thread raise a player event through the status callback,
    // ahead of the packets still queued; PC_ERR_STATE when the port is not playing.
    int RequestEvent(int event, int64_t value, int value2);
    // Waits until the decode thread has handled everything queued; true at
    // once when the port is not playing, false when timeoutMs ran out first.
    bool WaitDrained(int timeoutMs);

private:
    struct Packet {
        bool video = false;
        int frameType = 0;
        int64_t timeStamp = 0;
        QByteArray data;
    };

    struct Event {
        int event = 0;
        int64_t value = 0;
        int value2 = 0;
    };

    void DecodeLoop(uint64_t generation);
    void DecodeVideo(const Packet& packet);
    void DecodeAudio(const Packet& packet);
    void ReportError(int event, int64_t value, int value2);
    // The decode thread of that generation is done with what it took; wakes
    // WaitDrained when nothing is left.
    void FinishHandling(uint64_t generation);
    void StopThread();
    void JoinRetired();

    const int m_number;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_drained;    // the queue ran empty and nothing is being handled
    bool m_handling = false;              // the decode thread handles a packet or event
    std::deque<Packet> m_queue;
    std::deque<Event> m_events;           // requested player events
    size_t m_capacity = 80;
    bool m_hasVideo = false;
    bool m_hasAudio = false;
    int m_audioBits = 16;
    int m_audioChannels = 1;
    bool m_playing = false;
    std::atomic<int> m_layout{PC_LAYOUT_PLANAR};
    int m_hardwareDecode = 2;
    int m_decodeThreads = 1;
    // The decode thread runs while its generation is current; a stop moves on
    // the generation and takes the thread out under the lock, so a play and a
    // close on two threads never meet on the same thread object.
    uint64_t m_generation = 0;
    std::thread m_thread;
    std::vector<std::thread> m_retired;   // stopped from their own callback, joined later
    CallbackGate<PC_DisplayCallback> m_display;
    CallbackGate<PC_StatusCallback> m_status;
    SynthVideoCodec::Picture m_picture;   // decode thread only
};

// The taken port with that number in the play library's table, or null.
PlayPort* TakenPlayPort(int port);
