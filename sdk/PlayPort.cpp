#include "PlayPort.h"

#include "FuncLibTypes.h"

#include <chrono>
#include <cstring>

PlayPort::PlayPort(int number) : m_number(number) {}

PlayPort::~PlayPort()
{
    StopThread();
}

int PlayPort::OpenStream(const char* header, int size, int kind, int bufferCount)
{
    if (!header)
        return PC_ERR_PARAM;
    int32_t words[4] = {};
    if (kind == PC_STREAM_VIDEO) {
        if (size != FC_VIDEO_PART_SIZE)
            return PC_ERR_PARAM;
        memcpy(words, header, sizeof words);   // codec, width, height, fps
        if (words[0] != FC_VIDEO_CODEC_SYNTH || !SynthVideoCodec::ValidSize(words[1], words[2]))
            return PC_ERR_PARAM;
    } else if (kind == PC_STREAM_AUDIO) {
        if (size != FC_AUDIO_PART_SIZE)
            return PC_ERR_PARAM;
        const int at = offsetof(FC_MediaHeader, nSampleRate) - FC_AUDIO_PART_OFFSET;
        memcpy(&words[0], header, 4);
        memcpy(&words[1], header + at, 12);    // rate, bits, channels
        if (words[0] != FC_AUDIO_CODEC_PCM || words[1] < 1000 || words[1] > 192000 ||
            (words[2] != 8 && words[2] != 16) || words[3] < 1 || words[3] > 2)
            return PC_ERR_PARAM;
    } else {
        return PC_ERR_PARAM;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (kind == PC_STREAM_VIDEO) {
        m_hasVideo = true;
    } else {
        m_hasAudio = true;
        m_audioBits = words[2];
        m_audioChannels = words[3];
    }
    const int buffers = bufferCount < 4 ? 4 : (bufferCount > 1000 ? 1000 : bufferCount);
    m_capacity = size_t(buffers) * 2;
    return 0;
}

int PlayPort::SetHardwareDecode(int mode)
{
    if (mode != 1 && mode != 2)
        return PC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    m_hardwareDecode = mode;
    return 0;
}

int PlayPort::SetDecodeThreads(int mode)
{
    if (mode != 1 && mode != 2)
        return PC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    m_decodeThreads = mode;
    return 0;
}

int PlayPort::SetPixelLayout(int layout)
{
    if (layout != PC_LAYOUT_PLANAR && layout != PC_LAYOUT_SEMI_PLANAR)
        return PC_ERR_PARAM;
    m_layout = layout;
    return 0;
}

void PlayPort::SetDisplayCallback(PC_DisplayCallback callback, void* user)
{
    m_display.Set(callback, user);
}

void PlayPort::SetStatusCallback(PC_StatusCallback callback, void* user)
{
    m_status.Set(callback, user);
}

int PlayPort::Play()
{
    JoinRetired();   // a thread stopped from its callback has left it before decoding resumes
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_hasVideo && !m_hasAudio)
        return PC_ERR_STATE;
    if (m_playing)
        return 0;
    m_playing = true;
    const uint64_t generation = m_generation;
    m_thread = std::thread([this, generation] { DecodeLoop(generation); });
    return 0;
}

int PlayPort::Input(bool video, const char* buffer, int length, int frameType, int64_t timeStamp)
{
    if (!buffer || length <= 0 || length > 16 * 1024 * 1024)
        return PC_ERR_PARAM;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_playing || (video ? !m_hasVideo : !m_hasAudio))
            return PC_ERR_STATE;
        if (m_queue.size() >= m_capacity)
            return PC_ERR_FULL;
        Packet p;
        p.video = video;
        p.frameType = frameType;
        p.timeStamp = timeStamp;
        p.data = QByteArray(buffer, length);
        m_queue.push_back(std::move(p));
    }
    m_wake.notify_one();
    return 0;
}

int PlayPort::RequestEvent(int event, int64_t value, int value2)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_playing)
            return PC_ERR_STATE;
        m_events.push_back(Event{event, value, value2});
    }
    m_wake.notify_one();
    return 0;
}

void PlayPort::DecodeLoop(uint64_t generation)
{
    for (;;) {
        Packet packet;
        Event event;
        bool isEvent = false;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return m_generation != generation || !m_queue.empty() || !m_events.empty(); });
            if (m_generation != generation)
                return;
            m_handling = true;
            if (!m_events.empty()) {
                event = m_events.front();
                m_events.pop_front();
                isEvent = true;
            } else {
                packet = std::move(m_queue.front());
                m_queue.pop_front();
            }
        }
        if (isEvent)
            ReportError(event.event, event.value, event.value2);
        else if (packet.video)
            DecodeVideo(packet);
        else
            DecodeAudio(packet);
        FinishHandling(generation);
    }
}

void PlayPort::FinishHandling(uint64_t generation)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_generation != generation)
            return;   // stopped meanwhile; a new thread may be handling
        m_handling = false;
        if (!m_queue.empty() || !m_events.empty())
            return;
    }
    m_drained.notify_all();
}

bool PlayPort::WaitDrained(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_drained.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return !m_playing || (m_queue.empty() && m_events.empty() && !m_handling);
    });
}

void PlayPort::DecodeVideo(const Packet& packet)
{
    const bool semiPlanar = m_layout.load() == PC_LAYOUT_SEMI_PLANAR;
    if (!SynthVideoCodec::Decode(packet.data.constData(), packet.data.size(), semiPlanar, &m_picture)) {
        ReportError(EVENT_PLAYER_STREAM_ERROR, packet.data.size(), 0);
        return;
    }
    PC_FrameInfo frame{};
    frame.nWidth = m_picture.width;
    frame.nHeight = m_picture.height;
    frame.lTimeStamp = packet.timeStamp;
    frame.nFrameNumber = int32_t(m_picture.frameNumber);
    frame.nType = PC_FRAME_VIDEO;
    frame.nYPitch = m_picture.yPitch;
    frame.nUPitch = m_picture.uPitch;
    frame.nVPitch = m_picture.vPitch;
    frame.pY = m_picture.y.data();
    frame.pU = m_picture.u.data();
    frame.pV = m_picture.v.empty() ? nullptr : m_picture.v.data();
    m_display.Call([&](PC_DisplayCallback fn, void* user) { fn(m_number, &frame, user); });
}

void PlayPort::DecodeAudio(const Packet& packet)
{
    int bytesPerFrame = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        bytesPerFrame = m_audioBits / 8 * m_audioChannels;
    }
    if (bytesPerFrame <= 0 || packet.data.size() % bytesPerFrame != 0) {
        ReportError(EVENT_PLAYER_STREAM_ERROR, packet.data.size(), 1);
        return;
    }
    PC_FrameInfo frame{};
    frame.lTimeStamp = packet.timeStamp;
    frame.nType = PC_FRAME_AUDIO;
    frame.nAudioLength = packet.data.size();
    frame.pY = reinterpret_cast<const uint8_t*>(packet.data.constData());
    m_display.Call([&](PC_DisplayCallback fn, void* user) { fn(m_number, &frame, user); });
}

void PlayPort::ReportError(int event, int64_t value, int value2)
{
    m_status.Call([&](PC_StatusCallback fn, void* user) { fn(m_number, event, value, value2, user); });
}

void PlayPort::StopThread()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_generation;
        m_playing = false;
        m_handling = false;
        m_queue.clear();
        m_events.clear();
        if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
            m_retired.push_back(std::move(m_thread));   // closed from its own callback: ends when it returns
        else
            thread = std::move(m_thread);
    }
    m_wake.notify_all();
    m_drained.notify_all();
    if (thread.joinable())
        thread.join();
    JoinRetired();
}

void PlayPort::JoinRetired()
{
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_retired.begin(); it != m_retired.end();) {
            if (it->get_id() == std::this_thread::get_id()) {
                ++it;
            } else {
                done.push_back(std::move(*it));
                it = m_retired.erase(it);
            }
        }
    }
    for (std::thread& t : done)
        t.join();
}

void PlayPort::CloseStream()
{
    StopThread();
    std::lock_guard<std::mutex> guard(m_lock);
    m_hasVideo = false;
    m_hasAudio = false;
}

void PlayPort::Reset()
{
    CloseStream();
    m_display.Set(nullptr, nullptr);
    m_status.Set(nullptr, nullptr);
    m_layout = PC_LAYOUT_PLANAR;
    std::lock_guard<std::mutex> guard(m_lock);
    m_hardwareDecode = 2;
    m_decodeThreads = 1;
}
