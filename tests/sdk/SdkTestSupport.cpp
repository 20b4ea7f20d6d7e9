#include "SdkTestSupport.h"

#include "sim/SimLan.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstring>

void SdkEventRecorder::Attach()
{
    FC_Loc_SetStatusCallback(&SdkEventRecorder::OnStatus, this);
    FC_Loc_SetMessageCallback(&SdkEventRecorder::OnReply, this);
}

void SdkEventRecorder::Detach()
{
    FC_Loc_SetStatusCallback(nullptr, this);
    FC_Loc_SetMessageCallback(nullptr, this);
}

// A copy of its own: sharing the recorder's buffer would let the callback
// thread's next append move elements the caller is still reading.
QVector<SdkEvent> SdkEventRecorder::Events() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    QVector<SdkEvent> copy;
    copy.reserve(m_events.size());
    for (const SdkEvent& e : m_events)
        copy.push_back(e);
    return copy;
}

int SdkEventRecorder::Count() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_events.size();
}

bool SdkEventRecorder::WaitFor(const std::function<bool(const SdkEvent&)>& match, int timeoutMs, SdkEvent* found)
{
    std::unique_lock<std::mutex> lock(m_lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const SdkEvent& e : m_events) {
            if (match(e)) {
                if (found)
                    *found = e;
                return true;
            }
        }
        if (m_added.wait_until(lock, deadline) == std::cv_status::timeout)
            return false;
    }
}

void SdkEventRecorder::Add(const SdkEvent& e)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back(e);
    }
    m_added.notify_all();
}

int SdkEventRecorder::OnStatus(int64_t handle, int type, const char* data, void* user)
{
    SdkEvent e;
    e.handle = handle;
    e.code = type;
    e.hasData = data != nullptr;
    if (data)
        e.data = type == EVENT_LINK_STATE ? QByteArray(data, FC_LINK_STATE_RECORD_SIZE) : QByteArray(data);
    e.thread = std::this_thread::get_id();
    static_cast<SdkEventRecorder*>(user)->Add(e);
    return 0;
}

int SdkEventRecorder::OnReply(int64_t handle, int state, const char* text, void* user)
{
    SdkEvent e;
    e.reply = true;
    e.handle = handle;
    e.code = state;
    e.hasData = text != nullptr;
    e.data = text ? QByteArray(text) : QByteArray();
    e.thread = std::this_thread::get_id();
    static_cast<SdkEventRecorder*>(user)->Add(e);
    return 0;
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QString SampleProfilePath(const char* name)
{
    return qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/" + name;
}

QByteArray ReadSampleProfile(const char* name)
{
    QFile f(SampleProfilePath(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
    return f.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ThreeCameraProfile()
{
    return R"({
  "adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0", "mac": "02:00:00:00:00:05"},
  "cameras": [
    {"serial": "VTA0001", "address": "192.168.0.123", "cloudId": "CLOUDA", "searchDelayMs": 5,
     "loginDelayMs": 5, "replyDelayMs": 5},
    {"serial": "VTB0002", "address": "10.20.30.40", "gateway": "10.20.30.1", "searchDelayMs": 5,
     "loginDelayMs": 5, "replyDelayMs": 5, "cloudIdValid": false, "cloudId": "STALE"},
    {"serial": "VTC0003", "address": "127.0.0.21", "port": 3001, "searchDelayMs": 5, "loginDelayMs": 5,
     "replyDelayMs": 5, "media": {"width": 320, "height": 240, "fps": 25, "sampleRate": 16000}}
  ]
})";
}

QString LoadSimLan(const QByteArray& profileJson)
{
    SimProfile profile;
    QString error;
    if (!SimProfile::Parse(profileJson, &profile, &error))
        return error;
    return SimLan::Instance().LoadProfile(profile) ? QString() : QStringLiteral("the simulated LAN refused the profile");
}

void SimLanTest::TearDown()
{
    recorder.Detach();
    FC_Loc_Cleanup();
    PC_Cleanup();
    SimLan::Instance().Reset();
}

void SimLanTest::Load(const QByteArray& json)
{
    ASSERT_EQ(LoadSimLan(json), QString());
    recorder.Attach();
}

int SimLanTest::LoginOutcome(const char* ip, int port, const char* password, int64_t* handle)
{
    *handle = FC_Loc_Login(ip, port, "admin", password, 0);
    EXPECT_GT(*handle, 0);
    const int64_t h = *handle;
    SdkEvent e;
    if (!recorder.WaitFor([h](const SdkEvent& ev) {
            return !ev.reply && ev.handle == h && (ev.code == EVENT_LOGINOK || ev.code == EVENT_CONNECTFAILED_LOGIN);
        }, 10000, &e))
        return 0;
    return e.code;
}

int64_t SimLanTest::LoggedIn(const char* ip, int port)
{
    int64_t handle = 0;
    const int outcome = LoginOutcome(ip, port, "580347", &handle);
    EXPECT_EQ(outcome, EVENT_LOGINOK) << ip;
    return outcome == EVENT_LOGINOK ? handle : 0;
}

bool SimLanTest::StartSpeaking(int64_t handle)
{
    return FC_Loc_StartSpeak(handle, 0) == 0 &&
           recorder.WaitFor([handle](const SdkEvent& e) {
               return !e.reply && e.handle == handle && e.code == EVENT_STARTAUDIOOK;
           }, 10000);
}

bool SimLanTest::ReplyTo(int64_t handle, int command, SdkEvent* reply, int n, int timeoutMs)
{
    return WaitUntil([&] {
        int seen = 0;
        for (const SdkEvent& e : recorder.Events()) {
            if (e.reply && e.handle == handle && (e.code & 0xFFFFFF) == command && seen++ == n) {
                if (reply)
                    *reply = e;
                return true;
            }
        }
        return false;
    }, timeoutMs);
}

int64_t LivePlay::Start(int64_t login, const char* url, int channel)
{
    port = PC_GetFreePort();
    EXPECT_GT(port, 0);
    FC_RealPlayParam param{};
    param.nConstOne = 1;
    param.pUser = this;
    param.nChannel = channel;
    const int64_t handle = FC_Loc_RealPlayEx(login, url, "admin", "580347", &LivePlay::OnData, &param);
    if (handle > 0)
        realHandle = handle;
    return handle;
}

void LivePlay::Stop()
{
    tearingDown = true;
    PC_SetDisplayCallback(port, nullptr, nullptr);
    if (realHandle > 0) {
        EXPECT_EQ(FC_Loc_StopRealPlay(realHandle), 0);
    }
    PC_CloseStream(port);
    PC_FreePort(port);
}

int LivePlay::OnData(int64_t handle, int type, const char* buffer, int size, const FC_PacketInfo* packet)
{
    auto* self = static_cast<LivePlay*>(packet->pUser);
    if (std::this_thread::get_id() == self->caller)
        self->callbackOnCaller = true;
    int64_t none = 0;
    const bool early = self->adoptEarlyHandle && self->realHandle.compare_exchange_strong(none, handle);
    if (handle != self->realHandle.load())
        return -2;
    if (type == FC_STREAM_HEADER) {
        self->headerBeforeHandle = early;
        EXPECT_EQ(size, FC_MEDIA_HEADER_SIZE);
        FC_MediaHeader h;
        memcpy(&h, buffer, sizeof h);
        if (h.bHaveVideo) {
            EXPECT_EQ(PC_OpenStream(self->port, buffer + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, 0, 40), 0);
        }
        if (h.bHaveAudio) {
            EXPECT_EQ(PC_OpenStream(self->port, buffer + FC_AUDIO_PART_OFFSET, FC_AUDIO_PART_SIZE, 1, 40), 0);
        }
        PC_SetDisplayCallback(self->port, &LivePlay::OnFrame, self);
        PC_Play(self->port, 0);
        ++self->headers;
    } else if (type == FC_STREAM_VIDEO) {
        if (PC_InputVideoData(self->port, buffer, size, packet->nFrameType, int64_t(packet->dTimeStamp)) != 0 &&
            !self->tearingDown)
            ++self->inputErrors;
    } else if (type == FC_STREAM_AUDIO) {
        if (PC_InputAudioData(self->port, buffer, size, int64_t(packet->dTimeStamp)) != 0 && !self->tearingDown)
            ++self->inputErrors;
    }
    return 0;
}

int LivePlay::OnFrame(int port, const PC_FrameInfo* frame, void* user)
{
    auto* self = static_cast<LivePlay*>(user);
    if (port != self->port)
        ++self->badFrames;
    if (frame->nType == PC_FRAME_AUDIO) {
        ++self->audioFrames;
        self->audioBytes += frame->nAudioLength;
        return 0;
    }
    if (frame->nWidth != self->width || frame->nHeight != self->height || frame->nYPitch != frame->nWidth ||
        frame->nUPitch != frame->nWidth / 2 || frame->nVPitch != frame->nWidth / 2 || !frame->pV) {
        ++self->badFrames;
    } else {
        const size_t chroma = size_t(frame->nUPitch) * size_t(frame->nHeight / 2);
        auto grey = [](uint8_t v) { return v == 128; };
        if (std::all_of(frame->pU, frame->pU + chroma, grey) && std::all_of(frame->pV, frame->pV + chroma, grey))
            ++self->greyFrames;
    }
    ++self->videoFrames;
    return 0;
}
