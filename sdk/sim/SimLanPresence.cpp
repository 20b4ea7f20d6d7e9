// Comings and goings: cameras join, are unplugged and put back, and leave;
// a production line brings its cameras one after the other.
#include "SimLan.h"

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
        m_throughput.StopCamera(name);
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
