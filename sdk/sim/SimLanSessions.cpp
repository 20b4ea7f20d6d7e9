// Sessions: log-in and out, commands, PTZ and uploads, and the loss of a link.
#include "SimLan.h"

#include "DevCommandCode.h"
#include "SimCallArgs.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

constexpr int kMaxBodyBytes = 64 * 1024;

}  // namespace

int64_t SimLan::Login(const char* ip, int port, const char* user, const char* password)
{
    if (!ip || !user || !password)
        return FC_ERR_PARAM;
    const QString address = SimCallArgs::BoundedText(ip, 256);
    const QString u = SimCallArgs::BoundedText(user, 256);
    const QString p = SimCallArgs::BoundedText(password, 256);
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
        ok = cam && cam->Plugged() && cam->Config().port == port && SimCallArgs::IsLoopbackIpv4(ip) && OnAdapterSubnet(ip) &&
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
        // Sent into a link that is gone: nobody hears it, and the call succeeds.
        const SessionCamera cam = LockSessionCamera(loginHandle, 0);
        if (!cam)
            return cam.error;
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
    const SessionCamera cam = LockSessionCamera(loginHandle, 0);
    if (!cam)
        return cam.error;
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
        const SessionCamera cam = LockSessionCamera(loginHandle, 0);
        if (cam.error == FC_ERR_HANDLE)
            return cam.error;
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
