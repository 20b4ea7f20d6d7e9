// Live streams: a play starts a camera's stream on a thread of its own; a
// stop joins it, or leaves it to be joined later when it stops itself.
#include "SimLan.h"

#include "Log.h"
#include "SimCallArgs.h"

namespace {

// Streams start this long after FC_Loc_RealPlayEx returns, as a camera's
// connection set-up does; the caller has stored the handle by then.
constexpr int kStreamStartDelayMs = 30;

// How long a live play with headerBeforeReturn waits for its header's callback.
constexpr int kHeaderWaitMs = 2000;

}  // namespace

int64_t SimLan::RealPlay(int64_t loginHandle, const char* url, const char* user, const char* password,
                         FC_RealDataCallback callback, const FC_RealPlayParam* param)
{
    if (!url || !user || !password || !callback)
        return FC_ERR_PARAM;
    QString address = SimCallArgs::BoundedText(url, 256);
    if (address.startsWith(QLatin1String("vlx://")))
        address = address.mid(6);
    const int wanted = param ? param->nChannel : -1;
    std::shared_ptr<SimStream> stream;
    bool early = false;
    bool first = false;
    QString name;
    int leaveAfterMs = 0;
    {
        // A link that is gone: nobody answers at that address any more.
        const SessionCamera cam = LockSessionCamera(loginHandle, FC_ERR_NOT_FOUND);
        if (!cam)
            return cam.error;
        if (address != cam->Address())
            return FC_ERR_NOT_FOUND;
        if (!cam->CredentialsMatch(SimCallArgs::BoundedText(user, 256), SimCallArgs::BoundedText(password, 256)))
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
