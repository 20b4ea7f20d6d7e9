#include "SimStream.h"

#include "SynthVideoCodec.h"

#include <QByteArray>

#include <chrono>
#include <cmath>
#include <cstring>

namespace {
constexpr int kAudioPacketMs = 40;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

SimStream::SimStream(int64_t handle, int64_t loginHandle, const SimMedia& media, int dropAfterMs,
                     FC_RealDataCallback callback, void* user, int channel)
    : m_handle(handle),
      m_loginHandle(loginHandle),
      m_media(media),
      m_dropAfterMs(dropAfterMs),
      m_channel(channel),
      m_user(user)
{
    m_gate.Set(callback, nullptr);
}

SimStream::~SimStream()
{
    Stop();
    Join();
}

void SimStream::Start()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_thread = std::thread([this] { Run(); });
    m_threadId = m_thread.get_id();
}

void SimStream::Stop()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_gate.Set(nullptr, nullptr);
}

bool SimStream::Join()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_threadId == std::this_thread::get_id())
            return false;
        thread = std::move(m_thread);
    }
    if (thread.joinable())
        thread.join();
    return true;
}

void SimStream::Silence()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_silent = true;
    }
    m_wake.notify_all();
}

bool SimStream::WaitHeaderDelivered(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_headerDone || m_stop; });
}

void SimStream::HeaderDone()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_headerDone = true;
    }
    m_wake.notify_all();
}

bool SimStream::WaitUntil(std::chrono::steady_clock::time_point due)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_until(lock, due, [this] { return m_stop.load() || m_silent.load(); });
    if (m_stop)
        return false;
    if (m_silent) {
        // A silent stream stays open until it is stopped.
        m_wake.wait(lock, [this] { return m_stop.load(); });
        return false;
    }
    return true;
}

bool SimStream::OnOwnThread() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_threadId == std::this_thread::get_id();
}

FC_MediaHeader SimStream::MakeHeader(const SimMedia& media)
{
    FC_MediaHeader h;
    memset(&h, 0, sizeof h);
    memcpy(h.szMagic, "VLXH", 4);
    h.nVersion = 1;
    h.bHaveVideo = media.video ? 1 : 0;
    h.bHaveAudio = media.audio ? 1 : 0;
    h.nVideoCodec = FC_VIDEO_CODEC_SYNTH;
    h.nVideoWidth = media.width;
    h.nVideoHeight = media.height;
    h.nVideoFps = media.fps;
    h.nAudioCodec = FC_AUDIO_CODEC_PCM;
    h.nSampleRate = media.sampleRate;
    h.nBitsPerSample = media.bits;
    h.nChannels = media.channels;
    return h;
}

QByteArray SimStream::MakeTone(const SimMedia& media, int64_t first, int samples)
{
    const int bytes = media.bits / 8;
    QByteArray out(samples * media.channels * bytes, '\0');
    char* p = out.data();
    for (int i = 0; i < samples; ++i) {
        const double v = std::sin(2.0 * kPi * media.toneHz * double(first + i) / media.sampleRate);
        for (int c = 0; c < media.channels; ++c) {
            if (bytes == 2) {
                const int16_t s = int16_t(v * 8000.0);
                *p++ = char(uint16_t(s) & 0xFF);
                *p++ = char(uint16_t(s) >> 8);
            } else {
                *p++ = char(uint8_t(128 + int(v * 60.0)));
            }
        }
    }
    return out;
}

void SimStream::Deliver(int type, const QByteArray& data, int frameType, double timeStamp)
{
    FC_PacketInfo packet{};
    packet.nFrameType = frameType;
    packet.dTimeStamp = timeStamp;
    packet.pUser = m_user;
    m_gate.Call([&](FC_RealDataCallback fn, void*) { fn(m_handle, type, data.constData(), data.size(), &packet); });
}

void SimStream::Run()
{
    using Clock = std::chrono::steady_clock;
    const FC_MediaHeader header = MakeHeader(m_media);
    if (!m_silent)
        Deliver(FC_STREAM_HEADER, QByteArray(reinterpret_cast<const char*>(&header), sizeof header), 0, 0.0);
    HeaderDone();
    const auto start = Clock::now();
    const auto videoStep = std::chrono::microseconds(1000000 / m_media.fps);
    const auto audioStep = std::chrono::milliseconds(kAudioPacketMs);
    const int audioSamples = m_media.sampleRate * kAudioPacketMs / 1000;
    auto nextVideo = start;
    auto nextAudio = start;
    uint32_t frame = 0;
    int64_t sample = 0;
    const auto never = start + std::chrono::hours(24 * 365);
    for (;;) {
        auto due = never;
        if (m_media.video)
            due = nextVideo;
        if (m_media.audio && nextAudio < due)
            due = nextAudio;
        if (m_dropAfterMs > 0 && start + std::chrono::milliseconds(m_dropAfterMs) <= due)
            Silence();   // a dropped stream stays open until it is stopped
        if (!WaitUntil(due))
            return;
        const auto now = Clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - start).count();
        if (m_media.video && now >= nextVideo) {
            Deliver(FC_STREAM_VIDEO,
                    SynthVideoCodec::EncodeTestPicture(m_media.width, m_media.height, frame, m_channel),
                    frame % 25 == 0 ? 1 : 0, ms);
            ++frame;
            ++m_videoPackets;
            nextVideo += videoStep;
        }
        if (m_media.audio && now >= nextAudio) {
            Deliver(FC_STREAM_AUDIO, MakeTone(m_media, sample, audioSamples), 0, ms);
            sample += audioSamples;
            ++m_audioPackets;
            nextAudio += audioStep;
        }
    }
}
