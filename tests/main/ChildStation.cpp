#include "ChildStation.h"

#include "SingleApplication.h"

#include <QDir>
#include <QFileInfo>
#include <QSystemSemaphore>
#include <QUuid>

#include <ctime>

long MonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return long(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

namespace {

QString ChildName() { return QFileInfo(QString::fromLocal8Bit(INSTANCE_CHILD)).fileName(); }

}  // namespace

ChildStation::ChildStation(const QString& appDir, const QString& organization)
    : m_appDir(appDir)
    , m_organization(organization)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // AddressSanitizer gives threads an alternate signal stack of its own; without
    // it, a dump after a stack overflow shows that the crash writer set up one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":use_sigaltstack=0");
    environment.insert("TZ", "XST-8");   // POSIX form: UTC+8, no daylight saving
    m_process.setProcessEnvironment(environment);
}

ChildStation::~ChildStation()
{
    if (Running()) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool ChildStation::Start()
{
    m_process.start(QString::fromLocal8Bit(INSTANCE_CHILD), {m_appDir, m_organization});
    return m_process.waitForStarted(10000);
}

void ChildStation::Read()
{
    m_output += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
}

QByteArray ChildStation::WaitForLine(const QByteArray& prefix, int timeoutMs)
{
    const long deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        Read();
        for (const QByteArray& line : m_output.split('\n')) {
            if (line.startsWith(prefix) && m_output.contains(line + '\n'))
                return line.mid(prefix.size());
        }
        if (!Running() || MonotonicMs() > deadline)
            return QByteArray();
        m_process.waitForReadyRead(50);
    }
}

void ChildStation::Send(const QByteArray& command)
{
    m_process.write(command + '\n');
    m_process.waitForBytesWritten(5000);
}

bool ChildStation::WaitFinished(int timeoutMs)
{
    const bool finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    if (finished && m_finishedAtMs < 0)
        m_finishedAtMs = MonotonicMs();
    Read();
    return finished;
}

void ChildStation::Kill()
{
    m_process.kill();
    WaitFinished();
}

QByteArray ChildStation::Errors()
{
    Read();
    return m_errors;
}

long ChildStation::LifetimeMs() const
{
    for (const QByteArray& line : m_errors.split('\n')) {
        if (line.startsWith("start ") && m_finishedAtMs >= 0)
            return m_finishedAtMs - line.mid(6).toLong();
    }
    return -1;
}

QString UniqueOrganization()
{
    return "t" + QUuid::createUuid().toString(QUuid::Id128);
}

QString ChildSocketPath(const QString& organization)
{
    return QDir::cleanPath(QDir::tempPath()) + "/" + SingleApplication::InstanceKey(organization, ChildName());
}

void ReleaseInstanceKey(const QString& organization)
{
    const QString key = SingleApplication::InstanceKey(organization, ChildName());
    SingleApplication::ReleaseAbandonedSegment(key);
    QSystemSemaphore lock(key, 1, QSystemSemaphore::Create);   // removed with its creator
}
