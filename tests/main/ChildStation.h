#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// Children run in a fixed zone eight hours east of UTC, so that dump names
// show the crash writer applies the zone (and in the right direction).
constexpr int kChildUtcOffsetSeconds = 8 * 3600;

// One run of main_instance_child: starts it, reads its lines, sends commands.
class ChildStation {
public:
    ChildStation(const QString& appDir, const QString& organization);
    ~ChildStation();   // kills a child still running

    bool Start();
    // Waits until a line starting with prefix arrives; the rest of that line, or
    // a null array when the child ended or the deadline passed first.
    QByteArray WaitForLine(const QByteArray& prefix, int timeoutMs = 20000);
    // True when the child printed its ready line (it is the running instance).
    bool WaitReady() { return !WaitForLine("ready ").isNull(); }
    void Send(const QByteArray& command);
    bool WaitFinished(int timeoutMs = 20000);
    void Kill();   // SIGKILL

    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    bool Crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    // Exit code, or the signal number after a crash.
    int ExitCode() const { return m_process.exitCode(); }
    qint64 Pid() const { return m_process.processId(); }
    QByteArray Output() const { return m_output; }
    QByteArray Errors();
    // Milliseconds from the child's main() to the end of the process as seen here.
    long LifetimeMs() const;

private:
    void Read();

    QString m_appDir;
    QString m_organization;
    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errors;
    long m_finishedAtMs = -1;
};

// An organization name that makes an instance key no other test uses.
QString UniqueOrganization();
// The local server's socket file for an organization name.
QString ChildSocketPath(const QString& organization);
// Removes what a killed or crashed child may have left for an organization
// name: the shared-memory segment, Qt's lock semaphore and their key files.
void ReleaseInstanceKey(const QString& organization);
long MonotonicMs();
