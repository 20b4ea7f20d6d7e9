#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QSharedMemory;

// The application object. It keeps the station to one running instance per
// instance key: a one-byte shared-memory segment marks the running instance, a
// local server of the same name lets a later start knock. A later start ends
// inside the constructor with exit code 0 while an instance runs; a segment or
// socket left behind by a crashed instance does not count.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    // Returns only in the instance that goes on running.
    SingleApplication(int& argc, char** argv);
    ~SingleApplication() override;

    // organization + application with every character outside [\w\-. ] removed.
    static QString InstanceKey(const QString& organization, const QString& application);
    // Removes the key's segment when no live process is attached to it.
    static void ReleaseAbandonedSegment(const QString& key);

signals:
    // Another start knocked (and has ended).
    void showUp();

private slots:
    void slotConnectionEstablished();

private:
    bool CreateSegment();
    void ListenForLaterStarts();
    [[noreturn]] void LeaveToRunningInstance();

    QString m_key;
    QSharedMemory* m_sharedMemory = nullptr;
    QLocalServer* m_localServer = nullptr;
    QLocalSocket* m_localSocket = nullptr;
};
