#include "SingleApplication.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSharedMemory>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kKnockWaitMs = 100;
constexpr int kCreateAttempts = 4;
}

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_key(InstanceKey(organizationName(), applicationName()))
{
    m_sharedMemory = new QSharedMemory(m_key);
    if (CreateSegment()) {
        ListenForLaterStarts();
        return;
    }
    if (m_sharedMemory->error() == QSharedMemory::AlreadyExists)
        LeaveToRunningInstance();
    // No instance is known to run: go on without the guard rather than refuse to start.
    fprintf(stderr, "SingleApplication: no single-instance guard (%s)\n",
            qPrintable(m_sharedMemory->errorString()));
    delete m_sharedMemory;
    m_sharedMemory = nullptr;
}

SingleApplication::~SingleApplication()
{
    delete m_sharedMemory;   // detaches; the last one out removes the segment
    if (m_localServer)
        m_localServer->close();
}

QString SingleApplication::InstanceKey(const QString& organization, const QString& application)
{
    static const QRegularExpression kOutside(QStringLiteral("[^\\w\\-. ]"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    return QString(organization + application).remove(kOutside);
}

// A segment outlives an instance that crashed, but the kernel drops the dead
// process's attachment. Attaching and detaching removes a segment that nobody
// else is attached to; a running instance stays attached, so its segment stays.
void SingleApplication::ReleaseAbandonedSegment(const QString& key)
{
    QSharedMemory probe(key);
    if (probe.attach(QSharedMemory::ReadOnly))
        probe.detach();
}

// A killed instance leaves its segment behind, keyed by the inode of a key file.
// When that file went with its folder, the segment is only met when ours cannot
// be created: a new key file may have been given the old inode. Once the key file
// exists, an abandoned segment can be released and ours created in its place.
bool SingleApplication::CreateSegment()
{
    // Releasing removes the key file too, and the next one may meet another
    // abandoned segment: a few tries, while a live instance fails them all.
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        if (m_sharedMemory->create(1))
            return true;
        if (m_sharedMemory->error() != QSharedMemory::AlreadyExists)
            return false;
        ReleaseAbandonedSegment(m_key);
    }
    return false;
}

void SingleApplication::ListenForLaterStarts()
{
    m_localServer = new QLocalServer(this);
    QLocalServer::removeServer(m_key);   // a socket file left by a crashed instance
    if (!m_localServer->listen(m_key))
        fprintf(stderr, "SingleApplication: cannot listen on %s (%s)\n", qPrintable(m_key),
                qPrintable(m_localServer->errorString()));
    connect(m_localServer, &QLocalServer::newConnection, this, &SingleApplication::slotConnectionEstablished);
}

// The segment is attached by a live instance: knock (it may not answer, e.g.
// while it starts) and end this process either way.
void SingleApplication::LeaveToRunningInstance()
{
    m_localSocket = new QLocalSocket(this);
    m_localSocket->connectToServer(m_key, QIODevice::ReadWrite);
    m_localSocket->waitForConnected(kKnockWaitMs);
    delete m_localSocket;
    m_localSocket = nullptr;
    delete m_sharedMemory;
    m_sharedMemory = nullptr;
    ::exit(0);
}

void SingleApplication::slotConnectionEstablished()
{
    while (QLocalSocket* socket = m_localServer->nextPendingConnection()) {
        socket->close();
        delete socket;
        emit showUp();
    }
}
