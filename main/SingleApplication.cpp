#include "SingleApplication.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSharedMemory>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kKnockWaitMs = 100;
}

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_key(InstanceKey(organizationName(), applicationName()))
{
    ReleaseAbandonedSegment(m_key);
    m_sharedMemory = new QSharedMemory(m_key);
    if (m_sharedMemory->create(1)) {
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
