#pragma once

#include "CallbackGate.h"
#include "FuncLib.h"
#include "SimProfile.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// One live stream of a simulated camera, on a thread of its own: the media
// header, then video packets of the moving test picture at the camera's rate
// and audio packets of a tone, 40 ms each.
class SimStream {
public:
    SimStream(int64_t handle, int64_t loginHandle, const SimMedia& media, int dropAfterMs,
              FC_RealDataCallback callback, void* user);
    ~SimStream();
    SimStream(const SimStream&) = delete;
    SimStream& operator=(const SimStream&) = delete;

    void Start();
    // Ends the stream: no callback is made once it returns, except when the
    // stream's own callback stops it (the thread then ends after the callback).
    void Stop();
    // Joins a stopped thread; false (nothing done) on the stream's own thread.
    bool Join();
    bool OnOwnThread() const;

    int64_t Handle() const { return m_handle; }
    int64_t LoginHandle() const { return m_loginHandle; }
    int64_t VideoPackets() const { return m_videoPackets.load(); }
    int64_t AudioPackets() const { return m_audioPackets.load(); }

    static FC_MediaHeader MakeHeader(const SimMedia& media);
    // One audio packet of the tone starting at sample index first.
    static QByteArray MakeTone(const SimMedia& media, int64_t first, int samples);

private:
    void Run();
    void Deliver(int type, const QByteArray& data, int frameType, double timeStamp);

    const int64_t m_handle;
    const int64_t m_loginHandle;
    const SimMedia m_media;
    const int m_dropAfterMs;
    void* const m_user;
    CallbackGate<FC_RealDataCallback> m_gate;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::thread::id m_threadId;
    std::atomic<int64_t> m_videoPackets{0};
    std::atomic<int64_t> m_audioPackets{0};
};
