#include "BackendSimulator.h"

#include "ConfigPackage.h"
#include "SimServer.h"
#include "SimShared.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace {

// The orders' logo: an 8 x 8 PNG.
const char kLogoPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x08\x00\x00\x00\x08"
    "\x08\x02\x00\x00\x00\x4b\x6d\x29\xdc\x00\x00\x00\x11\x49\x44\x41\x54\x78\xda\x63\x38\xa3\xa4\x84"
    "\x15\x31\x0c\x2d\x09\x00\xbc\xce\x44\x01\x43\x5d\x0c\xd5\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
    "\x60\x82";

}  // namespace

std::string BackendSimulator::Request::Header(const std::string& name) const
{
    const std::string key = "\r\n" + name + ": ";
    const size_t at = head.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t from = at + key.size();
    return head.substr(from, head.find("\r\n", from) - from);
}

BackendSimulator::BackendSimulator()
    : m_shared(std::make_shared<Shared>())
{
    for (const char* model : {"VC-200", "VC-310"}) {
        m_shared->files[std::string("/files/config/") + model + ".tgz"] = ConfigPackage::Fixture();
        m_shared->files[std::string("/files/audio/alarm_") + model] = QByteArray("ID3 fixture alarm sound");
    }
    m_shared->files["/files/logo/factory_logo.png"] = QByteArray(kLogoPng, sizeof(kLogoPng) - 1);
}

BackendSimulator::~BackendSimulator()
{
    Stop();
}

bool BackendSimulator::Start(uint16_t port, const QString& resultsFile)
{
    if (m_thread)
        return true;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->resultsFile = resultsFile;
        m_shared->port = port;
        m_shared->started = false;
        m_shared->stop = false;
    }
    std::shared_ptr<Shared> shared = m_shared;
    m_thread = QThread::create([shared] {
        SimServer server(shared);
        uint16_t wanted;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            wanted = shared->port;
        }
        const bool ok = server.Listen(wanted);
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->started = true;
            shared->listening = ok;
            shared->port = server.Port();
        }
        shared->changed.notify_all();
        if (!ok)
            return;
        // Commands from the control side are picked up every few milliseconds.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            std::unique_lock<std::mutex> lock(shared->mutex);
            if (shared->stop) {
                loop.quit();
                return;
            }
            if (shared->wantRefusing != shared->refusing) {
                const bool refuse = shared->wantRefusing;
                lock.unlock();
                if (refuse)
                    server.Close();
                else
                    server.Listen(server.Port());
                lock.lock();
                shared->refusing = refuse;
                lock.unlock();
                shared->changed.notify_all();
            }
        });
        poll.start(5);
        loop.exec();
    });
    m_thread->setObjectName("backend-sim");
    m_thread->start();
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->changed.wait(lock, [this] { return m_shared->started; });
    const bool ok = m_shared->listening;
    m_port = m_shared->port;
    m_shared->hostText = HostText();
    lock.unlock();
    if (!ok)
        Stop();
    return ok;
}

void BackendSimulator::Stop()
{
    if (!m_thread)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
    }
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

std::string BackendSimulator::HostText() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

void BackendSimulator::SetFault(const std::string& prefix, Fault fault, int arg, int times,
                                const std::string& bodyContains)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->faults.push_back(Shared::FaultRule{prefix, fault, arg, times, bodyContains});
}

void BackendSimulator::ClearFaults()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->faults.clear();
}

void BackendSimulator::SetRefusing(bool refusing)
{
    if (!m_thread)
        return;
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->wantRefusing = refusing;
    m_shared->changed.wait(lock, [this, refusing] { return m_shared->refusing == refusing; });
}

void BackendSimulator::SetReply(const std::string& operation, const std::string& body)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->replies[operation] = body;
}

void BackendSimulator::SetFile(const std::string& path, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->files[path] = bytes;
}

void BackendSimulator::SetLoginCookie(const std::string& cookie)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->loginCookie = cookie;
}

void BackendSimulator::SetIccidInfoForm(IccidInfoForm form)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->iccidInfoForm = form;
}

std::vector<BackendSimulator::Request> BackendSimulator::Requests() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->requests;
}

size_t BackendSimulator::RequestCount() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->requests.size();
}

void BackendSimulator::ClearRequests()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->requests.clear();
}

std::vector<std::string> BackendSimulator::Results() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->results;
}
