// The simulated LAN's set-up, what tests read of it, and what the SDK's
// operations share: the cameras by name and address, and the callbacks.
#include "SimLan.h"

#include "HostAdapters.h"
#include "Log.h"
#include "SdkCallLog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>

namespace {

quint32 Ipv4(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

std::mutex g_profileFolderLock;
QString g_profileFolder;   // empty: the executable's folder

QString ProfileFolder()
{
    std::lock_guard<std::mutex> guard(g_profileFolderLock);
    return g_profileFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_profileFolder;
}

}  // namespace

void SimLan::SetProfileFolder(const QString& folder)
{
    std::lock_guard<std::mutex> guard(g_profileFolderLock);
    g_profileFolder = folder;
}

SimLan& SimLan::Instance()
{
    static SimLan lan;
    return lan;
}

SimLan::SimLan()
{
    LoadDefaultProfile();
}

SimLan::~SimLan()
{
    Cleanup();
}

void SimLan::LoadDefaultProfile()
{
    QString path = qEnvironmentVariable(kProfileEnv);
    if (path.isEmpty()) {
        const QString candidate = ProfileFolder() + "/" + kDefaultProfileName;
        if (!QFileInfo::exists(candidate))
            return;
        path = candidate;
    }
    QString error;
    if (!LoadProfileFile(path, &error))
        LogPrint(LOG_MAJOR, "SimLan::LoadDefaultProfile() %s: %s", qPrintable(path), qPrintable(error));
}

bool SimLan::LoadProfileFile(const QString& path, QString* error)
{
    SimProfile profile;
    if (!SimProfile::Load(path, &profile, error))
        return false;
    return LoadProfile(profile);
}

bool SimLan::LoadProfile(const SimProfile& profile)
{
    Reset();
    std::lock_guard<std::mutex> guard(m_lock);
    m_profile = profile;
    for (const SimCameraConfig& c : profile.cameras)
        AddCameraLocked(c);
    for (int slot = 0; slot < profile.line.slotCount && slot < profile.line.count; ++slot)
        m_dispatcher.Schedule(profile.line.joinAfterMs, [this] { JoinLineCamera(); });
    if (profile.hasAdapter)
        HostAdapters::SetSimulated(profile.adapter);
    return true;
}

void SimLan::Reset()
{
    Cleanup();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_cameras.clear();
        m_profile = SimProfile();
        m_searchTable.clear();
        m_searchNames.clear();
        m_lineNext = 0;
        m_departed.clear();
    }
    m_throughput.ClearRequests();
    HostAdapters::ClearSimulated();
    SdkCallLog::Instance().Clear();
}

bool SimLan::SetReply(const QString& serial, int command, const SimReply& reply)
{
    return SetReplies(serial, command, {reply});
}

bool SimLan::SetReplies(const QString& serial, int command, const QVector<SimReply>& replies)
{
    std::lock_guard<std::mutex> guard(m_lock);
    SimCamera* cam = CameraByName(serial);
    if (!cam || replies.isEmpty())
        return false;
    cam->SetReplies(command, replies);
    return true;
}

bool SimLan::SetFaults(const QString& serial, const SimFaults& faults)
{
    std::lock_guard<std::mutex> guard(m_lock);
    SimCamera* cam = CameraByName(serial);
    if (!cam)
        return false;
    cam->MutableConfig().faults = faults;
    return true;
}

void SimLan::SetThroughputRunner(SimThroughputRunner runner)
{
    m_throughput.SetRunner(std::move(runner));
}

QStringList SimLan::Serials() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    QStringList out;
    for (const auto& c : m_cameras)
        out << c.first;
    return out;
}

bool SimLan::IsPlugged(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it != m_cameras.end() && it->second->Plugged();
}

QStringList SimLan::DepartedSerials() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_departed;
}

QString SimLan::CameraAddress(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? QString() : it->second->Address();
}

QVector<SimCommand> SimLan::CommandsOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? QVector<SimCommand>() : it->second->Commands();
}

QVector<SimUpload> SimLan::UploadsOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? QVector<SimUpload>() : it->second->Uploads();
}

int SimLan::TalkFramesOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? 0 : it->second->TalkFrames();
}

QVector<SimTalkFrame> SimLan::TalkFrameLogOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    if (it == m_cameras.end())
        return QVector<SimTalkFrame>();
    // A copy of its own: a shared one is read outside the lock while the camera appends.
    const QVector<SimTalkFrame>& log = it->second->TalkFrameLog();
    return QVector<SimTalkFrame>(log.begin(), log.end());
}

QVector<QByteArray> SimLan::PtzOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? QVector<QByteArray>() : it->second->Ptz();
}

int SimLan::LiveSessions() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return int(m_sessions.size());
}

int SimLan::LiveStreams() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return int(m_streams.size());
}

SimWifiNetwork SimLan::WifiNetworkOf(const QString& serial) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cameras.find(serial);
    return it == m_cameras.end() ? SimWifiNetwork{} : it->second->WifiNetwork();
}

QVector<SimThroughputRequest> SimLan::ThroughputRequests() const
{
    return m_throughput.Requests();
}

int SimLan::ThroughputThreads() const
{
    return m_throughput.Threads();
}

// --- helpers -------------------------------------------------------------------

SimCamera* SimLan::CameraByName(const QString& name)
{
    auto it = m_cameras.find(name);
    return it == m_cameras.end() ? nullptr : it->second.get();
}

// A plugged camera first: one that is away may share its address.
SimCamera* SimLan::CameraByAddress(const QString& address)
{
    SimCamera* away = nullptr;
    for (auto& c : m_cameras) {
        if (c.second->Address() != address)
            continue;
        if (c.second->Plugged())
            return c.second.get();
        if (!away)
            away = c.second.get();
    }
    return away;
}

SimLan::SessionCamera SimLan::LockSessionCamera(int64_t loginHandle, int whenDead)
{
    SessionCamera found{std::unique_lock<std::mutex>(m_lock)};
    auto it = m_sessions.find(loginHandle);
    const bool live = it != m_sessions.end() && it->second.loggedIn;
    if (live && it->second.dead) {
        found.error = whenDead;
        return found;
    }
    found.camera = live ? CameraByName(it->second.name) : nullptr;
    if (!found.camera)
        found.error = FC_ERR_HANDLE;
    return found;
}

bool SimLan::OnAdapterSubnet(const QString& address) const
{
    if (!m_profile.hasAdapter)
        return true;
    const quint32 mask = Ipv4(m_profile.adapter.netmask);
    return (Ipv4(address) & mask) == (Ipv4(m_profile.adapter.address) & mask);
}

int64_t SimLan::NextHandle()
{
    return ++m_lastHandle;   // never reused, so a stale handle stays stale
}

void SimLan::PostStatus(int delayMs, int64_t handle, int type, const QByteArray& data, bool hasData)
{
    m_dispatcher.Schedule(delayMs, [this, handle, type, data, hasData] {
        m_statusGate.Call([&](FC_StatusCallback fn, void* user) {
            fn(handle, type, hasData ? data.constData() : nullptr, user);
        });
    });
}

void SimLan::PostReply(int delayMs, int64_t loginHandle, int command, const SimReply& reply)
{
    m_dispatcher.Schedule(delayMs, [this, loginHandle, command, reply] {
        {
            // A session that ended, or whose camera went away, meanwhile gets no reply.
            std::lock_guard<std::mutex> guard(m_lock);
            auto it = m_sessions.find(loginHandle);
            if (it == m_sessions.end() || it->second.dead)
                return;
        }
        const int state = FcMakeStateCode(command, reply.status);
        m_messageGate.Call([&](FC_MessageCallback fn, void* user) {
            fn(loginHandle, state, reply.text.constData(), user);
        });
    });
}

// --- callbacks and clean-up ------------------------------------------------------

int SimLan::SetStatusCallback(FC_StatusCallback callback, void* user)
{
    m_statusGate.Set(callback, user);
    return 0;
}

int SimLan::SetMessageCallback(FC_MessageCallback callback, void* user)
{
    m_messageGate.Set(callback, user);
    return 0;
}

int SimLan::Cleanup()
{
    if (m_dispatcher.OnDispatcherThread())
        return FC_ERR_STATE;
    m_throughput.StopAll();
    std::vector<std::shared_ptr<SimStream>> streams;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        streams = TakeStreams([](const SimStream&) { return true; });
    }
    StopStreams(std::move(streams));
    m_dispatcher.Stop();
    m_statusGate.Set(nullptr, nullptr);
    m_messageGate.Set(nullptr, nullptr);
    std::lock_guard<std::mutex> guard(m_lock);
    m_sessions.clear();
    m_searching = false;
    return 0;
}
