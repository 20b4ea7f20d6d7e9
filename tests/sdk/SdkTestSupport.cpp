#include "SdkTestSupport.h"

#include "sim/SimLan.h"

#include <QFile>

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
        }, 2000, &e))
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
