// A crash of the station leaves one dump under CrashDir/yyyy-mm-dd/, the process
// still dies by its signal, and what the crash left behind does not block the
// next start.
#include "ChildStation.h"
#include "TempAppDir.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct CrashCase {
    const char* command;
    int signo;
    const char* signalLine;
    const char* codeLine;       // null: any code
    const char* causeLine;      // exact, or a prefix when it ends with a space; %1 is the pid
    bool onWorker;              // the crashing thread is the named worker
    const char* frame;          // a function the backtrace must name
};

const CrashCase kCrashes[] = {
    {"segv", SIGSEGV, "Signal: 11 SIGSEGV", "Code: 1", "Fault address: 0x10", false, "station_child_fault"},
    {"thread-segv", SIGSEGV, "Signal: 11 SIGSEGV", "Code: 1", "Fault address: 0x10", true, "station_child_fault"},
    {"abort", SIGABRT, "Signal: 6 SIGABRT", "Code: -6", "Sent by process: %1", false, "station_child_abort"},
    // Only the alternate stack lets the handler run after this one.
    {"overflow", SIGSEGV, "Signal: 11 SIGSEGV", nullptr, "Fault address: ", false, "station_child_recurse"},
};

class CrashDump : public ::testing::Test {
protected:
    void TearDown() override { ReleaseInstanceKey(m_organization); }

    QString CrashDir() const { return m_app.path() + "/CrashDir"; }

    TempAppDir m_app;
    QString m_organization = UniqueOrganization();
};

// The one dump file under CrashDir, or an empty text.
QString OnlyDump(const QString& crashDir)
{
    const QStringList days = QDir(crashDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (days.size() != 1)
        return QString();
    const QString dayDir = crashDir + "/" + days.first();
    const QStringList files = QDir(dayDir).entryList(QDir::Files);
    return files.size() == 1 ? dayDir + "/" + files.first() : QString();
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The child's wall clock, in UTC for plain comparisons.
QDateTime ChildNow()
{
    return QDateTime::currentDateTimeUtc().addSecs(kChildUtcOffsetSeconds);
}

void ExpectNamedForItsTime(const QString& dump, const QDateTime& before, const QDateTime& after,
                           const QList<QByteArray>& lines)
{
    const QFileInfo info(dump);
    QDateTime stamp = QDateTime::fromString(info.fileName(), "yyyyMMdd_HHmmss'.dmp'");
    stamp.setTimeSpec(Qt::UTC);
    ASSERT_TRUE(stamp.isValid()) << info.fileName().toStdString();
    EXPECT_EQ(info.dir().dirName(), stamp.toString("yyyy-MM-dd"));
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);
    EXPECT_TRUE(lines.contains("Time: " + stamp.toString("yyyy-MM-dd HH:mm:ss").toLatin1()));
}

TEST_F(CrashDump, EachCrashLeavesItsDumpAndTheProcessDiesByItsSignal)
{
    for (const CrashCase& c : kCrashes) {
        SCOPED_TRACE(c.command);
        QDir(CrashDir()).removeRecursively();
        ChildStation station(m_app.path(), m_organization);
        ASSERT_TRUE(station.Start());
        const QByteArray pid = station.WaitForLine("ready ");
        ASSERT_FALSE(pid.isNull()) << station.Errors().constData();
        const QDateTime before = ChildNow();
        station.Send(c.command);
        const QByteArray tid = c.onWorker ? station.WaitForLine("thread ") : pid;
        ASSERT_TRUE(station.WaitFinished());
        const QDateTime after = ChildNow();
        EXPECT_TRUE(station.Crashed());
        EXPECT_EQ(station.ExitCode(), c.signo) << station.Errors().constData();

        const QString dump = OnlyDump(CrashDir());
        ASSERT_FALSE(dump.isEmpty()) << station.Errors().constData();
        const QByteArray text = ReadAll(dump);
        const QList<QByteArray> lines = text.split('\n');
        ASSERT_GT(lines.size(), 8) << text.constData();
        EXPECT_EQ(lines[0], "Crash dump");
        EXPECT_EQ(lines[1], c.signalLine);
        if (c.codeLine) {
            EXPECT_EQ(lines[2], c.codeLine);
        }
        const QByteArray cause = QByteArray(c.causeLine).replace("%1", pid);
        if (cause.endsWith(' ')) {
            EXPECT_TRUE(lines[3].startsWith(cause) && lines[3].size() > cause.size()) << lines[3].constData();
        } else {
            EXPECT_EQ(lines[3], cause);
        }
        EXPECT_EQ(lines[4], "Process: " + pid);
        const QByteArray threadName =
            c.onWorker ? "crasher" : QFileInfo(QString::fromLocal8Bit(INSTANCE_CHILD)).fileName().left(15).toLatin1();
        EXPECT_EQ(lines[5], "Thread: " + tid + " " + threadName);
        EXPECT_EQ(lines[7], "Backtrace:");
        EXPECT_TRUE(text.indexOf(c.frame, text.indexOf("Backtrace:")) > 0) << text.constData();
        ExpectNamedForItsTime(dump, before, after, lines);

        // The crash left the segment and the socket file: the next start runs all the same.
        ChildStation next(m_app.path(), m_organization);
        ASSERT_TRUE(next.Start());
        ASSERT_TRUE(next.WaitReady()) << next.Errors().constData();
        next.Send("quit");
        ASSERT_TRUE(next.WaitFinished());
        EXPECT_EQ(next.ExitCode(), 0) << next.Errors().constData();
    }
}

TEST_F(CrashDump, WithoutACrashFolderTheProcessStillDiesByItsSignal)
{
    ASSERT_TRUE(m_app.writeFile("CrashDir", "not a folder"));
    ChildStation station(m_app.path(), m_organization);
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(station.WaitReady()) << station.Errors().constData();
    station.Send("segv");
    ASSERT_TRUE(station.WaitFinished());
    EXPECT_TRUE(station.Crashed());
    EXPECT_EQ(station.ExitCode(), SIGSEGV);
    EXPECT_EQ(m_app.readFile("CrashDir"), "not a folder");
}

}  // namespace
