#include "SimLan.h"

#include "SimThroughputClient.h"

#include "Clock.h"
#include "DevCommandCode.h"
#include "HostAdapters.h"
#include "Log.h"
#include "SdkCallLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QXmlStreamReader>

#include <cstring>

namespace {

// Streams start this long after FC_Loc_RealPlayEx returns, as a camera's
// connection set-up does; the caller has stored the handle by then.
constexpr int kStreamStartDelayMs = 30;
constexpr int kMaxBodyBytes = 64 * 1024;

QString BoundedText(const char* text, size_t size)
{
    return QString::fromLatin1(text, int(strnlen(text, size)));
}

// A new address a camera takes: plain dotted decimal, nothing another parser reads otherwise.
bool IsDottedIpv4(const QString& text)
{
    return SimProfile::IsPlainIpv4(text);
}

// How long a live play with headerBeforeReturn waits for its header's callback.
constexpr int kHeaderWaitMs = 2000;

// Simulated cameras are reachable only on 127.0.0.0/8: the station sends real
// traffic to a logged-in camera's address (the ID-service datagram), so a
// session with any other address, whatever the profile's subnet, is refused.
bool IsLoopbackIpv4(const QString& text)
{
    QHostAddress a;
    return text.count('.') == 3 && a.setAddress(text) && a.protocol() == QAbstractSocket::IPv4Protocol &&
           a.isLoopback();
}

quint32 Ipv4(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

// The attributes of a request body as a camera's XML parser reads them: UTF-8,
// entities decoded. A body that is not one well-formed element yields none.
QMap<QString, QString> BodyAttributes(const QByteArray& body)
{
    QMap<QString, QString> out;
    QXmlStreamReader reader(body);
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    if (reader.tokenType() != QXmlStreamReader::StartElement)
        return out;
    for (const QXmlStreamAttribute& a : reader.attributes())
        out.insert(a.name().toString(), a.value().toString());
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError()) {
        LogPrint(LOG_GENERAL, "SimLan: a request body that is no well-formed element, ignored: %s",
                 reader.errorString().toUtf8().constData());
        out.clear();
    }
    return out;
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
    : m_throughputRunner(&RunSimThroughputClient)
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
        m_throughputRequests.clear();
        m_lineNext = 0;
        m_departed.clear();
    }
    HostAdapters::ClearSimulated();
    SdkCallLog::Instance().Clear();
}

bool SimLan::AddCamera(const SimCameraConfig& config)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return AddCameraLocked(config);
}

bool SimLan::AddCameraLocked(const SimCameraConfig& given)
{
    SimCameraConfig config = given;
    if (config.name.isEmpty())
        config.name = config.serial;
    if (config.serial.isEmpty() || m_cameras.count(config.name))
        return false;
    auto camera = std::make_unique<SimCamera>(config);
    if (config.joinAfterMs > 0) {
        camera->SetPlugged(false);
        const QString name = config.name;
        m_dispatcher.Schedule(config.joinAfterMs, [this, name] { Replug(name); });
    }
    m_cameras[config.name] = std::move(camera);
    return true;
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
    std::lock_guard<std::mutex> guard(m_lock);
    m_throughputRunner = runner ? std::move(runner) : SimThroughputRunner(&RunSimThroughputClient);
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
    std::lock_guard<std::mutex> guard(m_lock);
    return m_throughputRequests;
}

int SimLan::ThroughputThreads() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return int(m_throughputRuns.size());
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

SimCamera* SimLan::CameraOfSession(int64_t loginHandle, int whenDead, int* error)
{
    auto it = m_sessions.find(loginHandle);
    const bool live = it != m_sessions.end() && it->second.loggedIn;
    if (live && it->second.dead) {
        *error = whenDead;
        return nullptr;
    }
    SimCamera* cam = live ? CameraByName(it->second.name) : nullptr;
    if (!cam)
        *error = FC_ERR_HANDLE;
    return cam;
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

std::vector<std::shared_ptr<SimStream>> SimLan::TakeStreams(const std::function<bool(const SimStream&)>& match)
{
    std::vector<std::shared_ptr<SimStream>> out;
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        if (match(*it->second)) {
            out.push_back(it->second);
            it = m_streams.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

void SimLan::StopStreams(std::vector<std::shared_ptr<SimStream>> streams)
{
    for (auto& s : streams) {
        s->Stop();
        if (!s->Join()) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_retired.push_back(s);
        }
    }
    JoinRetired();
}

void SimLan::JoinRetired()
{
    std::vector<std::shared_ptr<SimStream>> retired;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        retired.swap(m_retired);
    }
    std::vector<std::shared_ptr<SimStream>> keep;
    for (auto& s : retired) {
        if (!s->Join())
            keep.push_back(s);
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_retired.insert(m_retired.end(), keep.begin(), keep.end());
}

void SimLan::DropSessions(const QVector<int64_t>& loginHandles, int statusType)
{
    QVector<int64_t> dropped;
    std::vector<std::shared_ptr<SimStream>> streams;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (int64_t h : loginHandles) {
            if (m_sessions.erase(h))
                dropped.push_back(h);
        }
        streams = TakeStreams([&](const SimStream& s) { return dropped.contains(s.LoginHandle()); });
    }
    QVector<int64_t> streamHandles;
    for (const auto& s : streams)
        streamHandles.push_back(s->Handle());
    StopStreams(std::move(streams));
    for (int64_t h : dropped)
        PostStatus(0, h, statusType, QByteArray(), false);
    for (int64_t h : streamHandles)
        PostStatus(0, h, EVENT_CONNECTFAILED_STREAM, QByteArray(), false);
}

void SimLan::DropSessionsOf(const QString& name, int delayMs)
{
    m_dispatcher.Schedule(delayMs, [this, name] {
        QVector<int64_t> handles;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (const auto& s : m_sessions) {
                if (s.second.name == name)
                    handles.push_back(s.first);
            }
        }
        DropSessions(handles, EVENT_CONNECTFAILED);
    });
}

// --- SDK operations ------------------------------------------------------------

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
    StopThroughput();
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

int SimLan::StartSearch(const char* localIp)
{
    if (!localIp || !*localIp)
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    m_searchTable.clear();
    m_searchNames.clear();
    m_searching = true;
    const uint64_t generation = ++m_searchGeneration;
    for (const auto& c : m_cameras) {
        if (!c.second->Plugged())
            continue;
        const QString name = c.first;
        m_dispatcher.Schedule(c.second->Config().searchDelayMs, [this, name, generation] {
            std::lock_guard<std::mutex> inner(m_lock);
            SimCamera* cam = CameraByName(name);
            if (!cam || !cam->Plugged() || !m_searching || generation != m_searchGeneration)
                return;
            IPCEntry entry;
            cam->FillEntry(&entry);
            m_searchTable.push_back(entry);
            m_searchNames.push_back(name);
        });
    }
    return 0;
}

int SimLan::StopSearch()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_searching = false;
    return 0;
}

int SimLan::SearchCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_searchTable.size();
}

int SimLan::SearchEntry(int index, IPCEntry* entry) const
{
    if (!entry)
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    if (index < 0 || index >= m_searchTable.size())
        return FC_ERR_NOT_FOUND;
    *entry = m_searchTable.at(index);
    return 0;
}

int SimLan::ModifyAddress(int index, const IPCEntry* entry)
{
    if (!entry)
        return FC_ERR_PARAM;
    const QString ip = BoundedText(entry->szIP, sizeof entry->szIP);
    const QString mask = BoundedText(entry->szNetmask, sizeof entry->szNetmask);
    const QString gateway = BoundedText(entry->szGateway, sizeof entry->szGateway);
    if (!IsDottedIpv4(ip) || !IsDottedIpv4(mask) || (!gateway.isEmpty() && !IsDottedIpv4(gateway)))
        return FC_ERR_PARAM;
    QString name;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (index < 0 || index >= m_searchNames.size())
            return FC_ERR_NOT_FOUND;
        name = m_searchNames.at(index);
        SimCamera* cam = CameraByName(name);
        if (!cam || !cam->Plugged())
            return FC_ERR_NOT_FOUND;
        cam->SetAddress(ip, mask, gateway);
    }
    DropSessionsOf(name, 0);   // a camera that moves loses its links
    return 0;
}

int64_t SimLan::Login(const char* ip, int port, const char* user, const char* password)
{
    if (!ip || !user || !password)
        return FC_ERR_PARAM;
    const QString address = BoundedText(ip, 256);
    const QString u = BoundedText(user, 256);
    const QString p = BoundedText(password, 256);
    std::lock_guard<std::mutex> guard(m_lock);
    const int64_t handle = NextHandle();
    m_sessions[handle] = Session();
    SimCamera* cam = CameraByAddress(address);
    const int delay = cam ? cam->Config().loginDelayMs : 50;
    m_dispatcher.Schedule(delay, [this, handle, address, port, u, p] { FinishLogin(handle, address, port, u, p); });
    return handle;
}

void SimLan::FinishLogin(int64_t loginHandle, const QString& ip, int port, const QString& user,
                         const QString& password)
{
    bool ok = false;
    int lostAfter = 0;
    FC_LinkStateRecord link{};
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto session = m_sessions.find(loginHandle);
        if (session == m_sessions.end())
            return;   // logged out before the answer
        SimCamera* cam = CameraByAddress(ip);
        ok = cam && cam->Plugged() && cam->Config().port == port && IsLoopbackIpv4(ip) && OnAdapterSubnet(ip) &&
             cam->CredentialsMatch(user, password) &&
             !cam->Config().faults.refuseLogin;
        if (ok) {
            session->second.name = cam->Config().name;
            session->second.loggedIn = true;
            lostAfter = cam->Config().faults.lostConnectionAfterMs;
            link.lHandle = loginHandle;
            link.nState = 1;
            strncpy(link.szAddress, ip.toLatin1().constData(), sizeof link.szAddress - 1);
            strncpy(link.szSerial, cam->Config().serial.toLatin1().constData(), sizeof link.szSerial - 1);
        } else {
            m_sessions.erase(session);
        }
    }
    if (!ok) {
        PostStatus(0, loginHandle, EVENT_CONNECTFAILED_LOGIN, QByteArray(), false);
        return;
    }
    PostStatus(0, loginHandle, EVENT_LOGINOK, QByteArray(), false);
    PostStatus(0, loginHandle, EVENT_LINK_STATE, QByteArray(reinterpret_cast<const char*>(&link), sizeof link),
               true);
    if (lostAfter > 0) {
        m_dispatcher.Schedule(lostAfter, [this, loginHandle] { DropSessions({loginHandle}, EVENT_CONNECTFAILED); });
    }
}

int SimLan::Logout(int64_t loginHandle)
{
    std::vector<std::shared_ptr<SimStream>> streams;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_sessions.erase(loginHandle))
            return FC_ERR_HANDLE;
        streams = TakeStreams([&](const SimStream& s) { return s.LoginHandle() == loginHandle; });
    }
    StopStreams(std::move(streams));
    return 0;
}

int SimLan::Command(const char* via, int64_t loginHandle, int command, const char* body, int length, int channel)
{
    if (length > 0 && !body)
        return FC_ERR_PARAM;
    QByteArray text;
    if (body) {
        const size_t limit = length >= 0 ? size_t(length) : size_t(kMaxBodyBytes);
        text = QByteArray(body, int(strnlen(body, qMin(limit, size_t(kMaxBodyBytes)))));
    }
    SimReply reply;
    bool answer = false;
    bool leave = false;
    QString name;
    QString serial;
    QString cameraAddress;
    int leaveAfterMs = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int error = 0;
        // Sent into a link that is gone: nobody hears it, and the call succeeds.
        SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
        if (!cam)
            return error;
        if (cam->Config().faults.sendFails.contains(command))
            return FC_ERR_SEND;
        name = cam->Config().name;
        serial = cam->Config().serial;
        cameraAddress = cam->Address();
        cam->AddCommand(SimCommand{loginHandle, command, text, QString::fromLatin1(via), channel});
        answer = cam->ReplyFor(command, &reply);
        leave = cam->FirstLeaveCommand(command);
        leaveAfterMs = cam->Config().leaveAfterCommandMs;
    }
    if (command == CMD_WIFI_THROUGHPUT_TEST)
        StartThroughput(name, serial, cameraAddress, text);
    if (command == CMD_WIFI_CONNECT)
        JoinWifi(name, text);
    if (answer)
        PostReply(reply.delayMs, loginHandle, command, reply);
    if (leave)
        ScheduleLeave(name, leaveAfterMs);
    return 0;
}

int SimLan::Ptz(int64_t loginHandle, const char* xml)
{
    if (!xml)
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    int error = 0;
    SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
    if (!cam)
        return error;
    cam->AddPtz(QByteArray(xml, int(strnlen(xml, kMaxBodyBytes))));
    return 0;
}

int SimLan::Upload(int64_t loginHandle, const char* path, const QString& kind, int replyType)
{
    if (!path || !*path)
        return FC_ERR_PARAM;
    const QFileInfo file(QFile::decodeName(QByteArray(path, int(strnlen(path, 4096)))));
    SimReply reply;
    bool answer = false;
    int restartMs = 0;
    QString name;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int error = 0;
        SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
        if (error == FC_ERR_HANDLE)
            return error;
        if (!file.isFile() || !file.isReadable())
            return FC_ERR_FILE;
        if (!cam)
            return 0;   // a link that is gone
        cam->AddUpload(SimUpload{kind, file.absoluteFilePath(), file.size()});
        name = cam->Config().name;
        answer = cam->ReplyFor(CMD_UPLOAD_FILE_FINISH, &reply, "<RESPONSE_PARAM\r\nType=\"" + QByteArray::number(replyType) + "\"\r\n/>");
        if (kind == QLatin1String("package"))
            restartMs = cam->Config().restartAfterUploadMs;
    }
    if (answer)
        PostReply(reply.delayMs, loginHandle, CMD_UPLOAD_FILE_FINISH, reply);
    if (restartMs > 0)
        DropSessionsOf(name, reply.delayMs + restartMs);
    return 0;
}

int64_t SimLan::RealPlay(int64_t loginHandle, const char* url, const char* user, const char* password,
                         FC_RealDataCallback callback, const FC_RealPlayParam* param)
{
    if (!url || !user || !password || !callback)
        return FC_ERR_PARAM;
    QString address = BoundedText(url, 256);
    if (address.startsWith(QLatin1String("vlx://")))
        address = address.mid(6);
    const int wanted = param ? param->nChannel : -1;
    std::shared_ptr<SimStream> stream;
    bool early = false;
    bool first = false;
    QString name;
    int leaveAfterMs = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int error = 0;
        // A link that is gone: nobody answers at that address any more.
        SimCamera* cam = CameraOfSession(loginHandle, FC_ERR_NOT_FOUND, &error);
        if (!cam)
            return error;
        if (address != cam->Address())
            return FC_ERR_NOT_FOUND;
        if (!cam->CredentialsMatch(BoundedText(user, 256), BoundedText(password, 256)))
            return FC_ERR_STATE;
        if (wanted < -1 || wanted > (cam->Config().TwoLenses() ? 1 : 0))
            return FC_ERR_PARAM;   // no such lens
        const int64_t handle = NextHandle();
        stream = std::make_shared<SimStream>(handle, loginHandle, cam->Config().media,
                                             cam->Config().faults.dropStreamAfterMs, callback,
                                             param ? param->pUser : nullptr, wanted < 0 ? 0 : wanted);
        m_streams[handle] = stream;
        early = cam->Config().headerBeforeReturn;
        if (early)
            stream->Start();
        first = cam->FirstStream();
        name = cam->Config().name;
        leaveAfterMs = cam->Config().leaveAfterStreamMs;
    }
    if (first && leaveAfterMs > 0)
        ScheduleLeave(name, leaveAfterMs);
    if (early) {
        // The header's callback runs on the stream's thread before the caller has the handle.
        if (!stream->WaitHeaderDelivered(kHeaderWaitMs))
            LogPrint(LOG_GENERAL, "SimLan::RealPlay() header callback still running after %d ms", kHeaderWaitMs);
        return stream->Handle();
    }
    std::weak_ptr<SimStream> weak = stream;
    m_dispatcher.Schedule(kStreamStartDelayMs, [this, weak] {
        std::lock_guard<std::mutex> guard(m_lock);
        std::shared_ptr<SimStream> s = weak.lock();
        if (s && m_streams.count(s->Handle()))
            s->Start();
    });
    return stream->Handle();
}

int SimLan::StopRealPlay(int64_t realHandle)
{
    std::vector<std::shared_ptr<SimStream>> streams;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        streams = TakeStreams([&](const SimStream& s) { return s.Handle() == realHandle; });
    }
    if (streams.empty())
        return FC_ERR_HANDLE;
    StopStreams(std::move(streams));
    return 0;
}

int SimLan::StartSpeak(int64_t loginHandle)
{
    QByteArray text;
    bool refuse = false;
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int error = 0;
        SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
        if (!cam)
            return error;
        const SimTalk& t = cam->Config().talk;
        text = QString::asprintf("audiotype=%d,samplerate=%d,bits=%d,channels=%d,", t.audioType, t.sampleRate,
                                 t.bits, t.channels)
                   .toLatin1();
        refuse = cam->Config().faults.refuseTalk;
        delay = cam->Config().replyDelayMs;
        m_sessions[loginHandle].talking = !refuse;
    }
    if (refuse)
        PostStatus(delay, loginHandle, EVENT_STARTAUDIOFAILED, QByteArray(), false);
    else
        PostStatus(delay, loginHandle, EVENT_STARTAUDIOOK, text, true);
    return 0;
}

int SimLan::SendTalkFrame(int64_t loginHandle, const FC_TalkFrame* frame)
{
    if (!frame || frame->nLength < 0 || frame->nLength > 1024 * 1024 || (frame->nLength > 0 && !frame->pData))
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    int error = 0;
    SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
    if (!cam)
        return error;
    if (!m_sessions[loginHandle].talking)
        return FC_ERR_STATE;
    SimTalkFrame received;
    received.loginHandle = loginHandle;
    received.length = frame->nLength;
    received.timeStamp = frame->dwTimeStamp;
    received.sequence = frame->wSequence;
    received.sequence2 = frame->dwSequence;
    received.arrivalTick = Clock::TickMs();
    received.payload = QByteArray(frame->pData, frame->nLength);
    cam->AddTalkFrame(received);
    return 0;
}

int SimLan::StopSpeak(int64_t loginHandle)
{
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int error = 0;
        SimCamera* cam = CameraOfSession(loginHandle, 0, &error);
        if (!cam)
            return error;
        m_sessions[loginHandle].talking = false;
        delay = cam->Config().replyDelayMs;
    }
    PostStatus(delay, loginHandle, EVENT_STOPAUDIOOK, QByteArray(), false);
    return 0;
}

// --- throughput hook ---------------------------------------------------------------

void SimLan::JoinWifi(const QString& name, const QByteArray& body)
{
    const QMap<QString, QString> a = BodyAttributes(body);
    std::lock_guard<std::mutex> guard(m_lock);
    if (SimCamera* cam = CameraByName(name))
        cam->SetWifiNetwork(SimWifiNetwork{a.value(QStringLiteral("ESSID")), a.value(QStringLiteral("PSK"))});
}

void SimLan::StartThroughput(const QString& name, const QString& serial, const QString& cameraAddress,
                             const QByteArray& body)
{
    const QMap<QString, QString> a = BodyAttributes(body);
    SimThroughputRequest request;
    request.serial = serial;
    // A camera off loopback sends from wherever the host routes it.
    request.cameraAddress = IsLoopbackIpv4(cameraAddress) ? cameraAddress : QString();
    request.address = a.value(QStringLiteral("IP"));
    request.port = a.value(QStringLiteral("Port")).toInt();
    request.durationSec = a.value(QStringLiteral("Duration")).toInt();
    request.maxThroughput = a.value(QStringLiteral("MaxThroughput")).toInt();
    request.ssid = a.value(QStringLiteral("SSID"));
    request.password = a.value(QStringLiteral("Password"));
    const QHostAddress target(request.address);
    if (!IsLoopbackIpv4(request.address) || request.port < 1 || request.port > 65535 ||
        request.durationSec < 0 || request.durationSec > 3600) {
        // Simulated cameras only ever reach the station on loopback.
        LogPrint(LOG_GENERAL, "SimLan::StartThroughput() refused, SN=%s, IP=%s, Port=%d, Duration=%d",
                 qPrintable(serial), qPrintable(request.address), request.port, request.durationSec);
        return;
    }
    request.address = target.toString();   // the form that was checked, whatever parses it next
    JoinFinishedThroughput();
    std::lock_guard<std::mutex> guard(m_lock);
    SimCamera::AppendBounded(m_throughputRequests, request);
    if (!m_throughputRunner)
        return;
    SimThroughputRunner runner = m_throughputRunner;
    const uint64_t id = ++m_lastRun;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    ThroughputRun& run = m_throughputRuns[id];
    run.name = name;
    run.stop = stop;
    run.thread = std::thread([this, runner, request, stop, id] {
        runner(request, *stop);
        FinishThroughput(id);
    });
}

// A run that has ended is joined from the message thread, so threads never pile up.
void SimLan::FinishThroughput(uint64_t run)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_throughputRuns.find(run);
        if (it == m_throughputRuns.end())
            return;   // taken by StopThroughput, which joins it
        it->second.finished = true;
    }
    m_dispatcher.Schedule(0, [this] { JoinFinishedThroughput(); });
}

void SimLan::JoinFinishedThroughput()
{
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_throughputRuns.begin(); it != m_throughputRuns.end();) {
            if (it->second.finished) {
                done.push_back(std::move(it->second.thread));
                it = m_throughputRuns.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : done)
        t.join();
}

void SimLan::StopThroughput()
{
    std::map<uint64_t, ThroughputRun> runs;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        runs.swap(m_throughputRuns);
    }
    for (auto& r : runs)
        *r.second.stop = true;
    for (auto& r : runs)
        r.second.thread.join();
}

// --- comings and goings ------------------------------------------------------------

bool SimLan::Unplug(const QString& name, int linkLossDelayMs)
{
    return Disconnect(name, linkLossDelayMs, false);
}

bool SimLan::Leave(const QString& name)
{
    return Disconnect(name, -1, true);
}

bool SimLan::Replug(const QString& name)
{
    std::lock_guard<std::mutex> guard(m_lock);
    SimCamera* cam = CameraByName(name);
    if (!cam || cam->Plugged() || cam->Leaving())
        return false;
    cam->SetPlugged(true);
    return true;
}

bool SimLan::Disconnect(const QString& name, int linkLossDelayMs, bool leave)
{
    QVector<int64_t> handles;
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        SimCamera* cam = CameraByName(name);
        if (!cam || cam->Leaving() || (!cam->Plugged() && !leave))
            return false;
        if (leave)
            cam->SetLeaving();
        cam->SetPlugged(false);
        delay = linkLossDelayMs >= 0 ? linkLossDelayMs : cam->Config().linkLossDelayMs;
        for (auto& s : m_sessions) {
            if (s.second.name == name && !s.second.dead) {
                s.second.dead = true;
                handles.push_back(s.first);
            }
        }
        for (auto& s : m_streams) {
            if (handles.contains(s.second->LoginHandle()))
                s.second->Silence();
        }
        for (auto& r : m_throughputRuns) {
            if (r.second.name == name)
                *r.second.stop = true;
        }
    }
    m_dispatcher.Schedule(delay, [this, handles, name, leave] {
        DropSessions(handles, EVENT_CONNECTFAILED);
        if (leave) {
            std::lock_guard<std::mutex> guard(m_lock);
            ForgetLocked(name);
        }
    });
    return true;
}

void SimLan::ForgetLocked(const QString& name)
{
    if (!m_cameras.erase(name))
        return;
    if (m_departed.size() >= kMaxDeparted)
        m_departed.removeFirst();
    m_departed.push_back(name);
    if (m_profile.line.Holds(name) && m_lineNext < m_profile.line.count)
        m_dispatcher.Schedule(m_profile.line.joinAfterMs, [this] { JoinLineCamera(); });
}

void SimLan::ScheduleLeave(const QString& name, int delayMs)
{
    m_dispatcher.Schedule(delayMs, [this, name] { Leave(name); });
}

void SimLan::JoinLineCamera()
{
    std::lock_guard<std::mutex> guard(m_lock);
    const SimLine& line = m_profile.line;
    if (m_lineNext >= line.count)
        return;
    SimCameraConfig config = line.camera;
    config.serial = line.SerialAt(m_lineNext++);
    AddCameraLocked(config);
}
