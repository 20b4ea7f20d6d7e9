#pragma once

#include "CallbackGate.h"
#include "FuncLib.h"
#include "SimProfile.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// One live stream of a simulated camera, on a thread of its own: the media
// header, then video packets of the moving test picture (of the lens the
// channel names) at the camera's rate and audio packets of a tone, 40 ms each.
class SimStream {
public:
    SimStream(int64_t handle, int64_t loginHandle, const SimMedia& media, int dropAfterMs,
              FC_RealDataCallback callback, void* user, int channel = 0);
    ~SimStream();
    SimStream(const SimStream&) = delete;
    SimStream& operator=(const SimStream&) = delete;

    void Start();
    // Ends the stream: no callback is made once it returns, except when the
    // stream's own callback stops it (the thread then ends after the callback).
    void Stop();
    // Joins a stopped thread; false (nothing done) on the stream's own thread.
    bool Join();
    // The camera went away: nothing more is delivered, the stream stays open until stopped.
    void Silence();
    // Waits up to timeoutMs until the media header's callback has returned (or
    // the stream has ended); true when it has.
    bool WaitHeaderDelivered(int timeoutMs);
    bool OnOwnThread() const;

    int64_t Handle() const { return m_handle; }
    int64_t LoginHandle() const { return m_loginHandle; }
    int Channel() const { return m_channel; }
    int64_t VideoPackets() const { return m_videoPackets.load(); }
    int64_t AudioPackets() const { return m_audioPackets.load(); }

    static FC_MediaHeader MakeHeader(const SimMedia& media);
    // One audio packet of the tone starting at sample index first.
    static QByteArray MakeTone(const SimMedia& media, int64_t first, int samples);

private:
    void Run();
    // Waits until due or a stop or silence; false when the stream is to deliver no more.
    bool WaitUntil(std::chrono::steady_clock::time_point due);
    void HeaderDone();
    void Deliver(int type, const QByteArray& data, int frameType, double timeStamp);

    const int64_t m_handle;
    const int64_t m_loginHandle;
    const SimMedia m_media;
    const int m_dropAfterMs;
    const int m_channel;
    void* const m_user;
    CallbackGate<FC_RealDataCallback> m_gate;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_silent{false};
    bool m_headerDone = false;   // under m_lock
    std::thread m_thread;
    std::thread::id m_threadId;
    std::atomic<int64_t> m_videoPackets{0};
    std::atomic<int64_t> m_audioPackets{0};
};
