#include "Log.h"

#include "Clock.h"
#include "TempAppDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

WallTime FixedMarch5() { return WallTime{2026, 3, 5, 14, 7, 9, 42}; }

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetWallSource(&FixedMarch5); }
    void TearDown() override
    {
        Clock::SetWallSource(nullptr);
        LogInit(1, QString(""));   // no file: later lines are dropped
    }
    QByteArray Log() const { return dir.readFile("Log_Dir/test.log"); }
    void Start(int level) { LogInit(level, dir.file("Log_Dir/test.log")); }

    TempAppDir dir;
};

TEST_F(LogTest, LineStartsWithLevelAndDayMonthTime)
{
    EXPECT_EQ(LogLineHeader(3), QByteArray(" [Info][05/03 14:07:09.042]"));
    Start(3);
    LogPrint(3, "Camera %s at %d", "A", 7);
    EXPECT_EQ(Log(), QByteArray(" [Info][05/03 14:07:09.042]Camera A at 7\r\n"));
}

TEST_F(LogTest, OnlyLevelsUpToTheLevelInForceAreWritten)
{
    Start(1);
    struct Case {
        int level;
        bool written;
    } cases[] = {{-1, false}, {0, true}, {1, true}, {2, false}, {3, false}, {9, false}};
    for (const Case& c : cases)
        LogPrint(c.level, "level %d", c.level);
    const QByteArray log = Log();
    for (const Case& c : cases)
        EXPECT_EQ(log.contains(QByteArray("]level ") + QByteArray::number(c.level) + "\r\n"), c.written) << c.level;
    EXPECT_TRUE(log.startsWith(" [Major]"));
}

TEST_F(LogTest, InitWithLevelNineKeepsTheLevelAndSetsThePath)
{
    LogSetLevel(2);
    LogInit(9, dir.file("Log_Dir/other.log"));
    EXPECT_EQ(LogLevel(), 2);
    EXPECT_EQ(LogPath(), dir.file("Log_Dir/other.log"));
    EXPECT_EQ(LogSetLevel(12), 2);
}

TEST_F(LogTest, AnOverlongMessageIsCutAtTheLineLimit)
{
    Start(1);
    const std::string big(60000, 'x');
    LogPrint(1, "%s", big.c_str());
    const QByteArray log = Log();
    ASSERT_EQ(log.size(), LOG_LINE_MAX + 2);
    EXPECT_TRUE(log.endsWith("xx\r\n"));
}

TEST_F(LogTest, AFileThatWillNotOpenIsTriedThreeTimesThenTheLineIsDropped)
{
    LogInit(1, dir.file("missing-folder/x.log"));
    QElapsedTimer timer;
    timer.start();
    LogPrint(1, "lost");
    // Two waits of 50 ms between three attempts.
    EXPECT_GE(timer.elapsed(), 95);
    EXPECT_FALSE(QFile::exists(dir.file("missing-folder/x.log")));
}

TEST_F(LogTest, CallerTextIsNeverAFormat)
{
    Start(1);
    LogPrint(1, "%s", "%n%s%d");
    EXPECT_TRUE(Log().endsWith("]%n%s%d\r\n"));
}

TEST_F(LogTest, AnAbsentOrNonAsciiFolderStillLogs)
{
    // Well past the 259 bytes that a fixed path buffer would keep.
    const QString deep =
        dir.file(QString::fromUtf8("程序目录/") + QString(150, 'd') + "/" + QString(150, 'e') + "/x.log");
    ASSERT_GT(QFile::encodeName(deep).size(), 320);
    QDir().mkpath(QFileInfo(deep).absolutePath());
    LogInit(1, deep);
    LogPrint(1, "hello");
    QFile f(deep);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("]hello\r\n"));
}

TEST_F(LogTest, ConcurrentWritersNeverTearALine)
{
    Clock::SetWallSource(nullptr);
    Start(1);
    constexpr int kThreads = 8;
    constexpr int kLines = 1000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LogPrint(1, "writer %d line %d %s", t, i, "abcdefghijklmnopqrstuvwxyz0123456789");
        });
    for (auto& th : threads)
        th.join();

    const QList<QByteArray> lines = Log().split('\n');
    ASSERT_EQ(lines.size(), kThreads * kLines + 1);   // the last split part is empty
    const QRegularExpression shape(
        R"(^ \[General\]\[\d\d/\d\d \d\d:\d\d:\d\d\.\d\d\d\]writer (\d) line (\d+) abcdefghijklmnopqrstuvwxyz0123456789\r$)");
    std::vector<std::vector<int>> seen(kThreads);
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const auto m = shape.match(QString::fromLatin1(lines[i]));
        ASSERT_TRUE(m.hasMatch()) << lines[i].constData();
        seen[m.captured(1).toInt()].push_back(m.captured(2).toInt());
    }
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(int(seen[t].size()), kLines);
        for (int i = 0; i < kLines; ++i)
            EXPECT_EQ(seen[t][i], i);   // each writer's lines stay in its order
    }
}

TEST_F(LogTest, PruningKeepsTheTwoNewestLogsByName)
{
    const QString logDir = dir.file("Log_Dir");
    // Created newest first so that creation order differs from name order.
    for (const char* name : {"2026-03-05.log", "2026-03-03.log", "2026-03-04.log", "2026-03-01.log", "notes.txt",
                             ".hidden", "2026-03-02.LOG"})
        dir.writeFile(QString("Log_Dir/") + name, "x");
    dir.writeFile("Log_Dir/old/inner.log", "x");

    LogPruneFolder(logDir);
    QStringList left = QDir(logDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, QStringList({"2026-03-04.log", "2026-03-05.log"}));
}

TEST_F(LogTest, TwoStartsOnOneDayAppendToTheSameFileWithTheBanner)
{
    dir.writeFile("Log_Dir/2026-03-03.log", "x");
    dir.writeFile("Log_Dir/2026-03-04.log", "x");
    LogStart(dir.path(), 1);
    EXPECT_EQ(LogLevel(), 3);
    LogStart(dir.path(), 1);
    const QByteArray log = dir.readFile("Log_Dir/2026-03-05.log");
    const QByteArray banner =
        " [Info][05/03 14:07:09.042]############## Start Software Version:(V1.0.6.4)#################\r\n";
    EXPECT_EQ(log, banner + banner);
    EXPECT_EQ(QDir(dir.file("Log_Dir")).entryList(QDir::Files, QDir::Name),
              QStringList({"2026-03-04.log", "2026-03-05.log"}));

    LogStart(dir.path(), 0);
    EXPECT_EQ(LogLevel(), 1);
}

int OpenSockets()
{
    int n = 0;
    const QDir fds("/proc/self/fd");
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        n += fd.symLinkTarget().contains("socket:") ? 1 : 0;
    return n;
}

// Runs before any other trace of this program, so the socket is made here.
TEST_F(LogTest, ConcurrentTracesShareOneSocket)
{
    const int before = OpenSockets();
    constexpr int kThreads = 8;
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &failed] {
            for (int i = 0; i < 200; ++i)
                if (WriteLog("tracer %d frame %d", t, i) <= 0)
                    ++failed;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_LE(OpenSockets() - before, 1);
}

// Binds the trace port; skipped when another program holds it.
class TraceListener {
public:
    TraceListener()
    {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(TRACE_PORT);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Room for the traces of every other test program until Receive reads them.
        const int bufferBytes = 4 * 1024 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
        bound = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~TraceListener() { close(fd); }
    // The next datagram holding marker; traces of other test programs running at
    // the same time also arrive on this port and are passed over.
    QByteArray Receive(const QByteArray& marker)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) != 1)
                return QByteArray();
            QByteArray buf(65536, '\0');
            const ssize_t n = recv(fd, buf.data(), size_t(buf.size()), 0);
            if (n < 0)
                return QByteArray();
            buf.truncate(int(n));
            if (buf.contains(marker))
                return buf;
        }
    }
    int fd;
    bool bound;
};

TEST_F(LogTest, TraceDatagramCarriesMonthDayTimeAndMessage)
{
    TraceListener listener;
    if (!listener.bound)
        GTEST_SKIP() << "UDP port 3000 on 127.0.0.1 is busy";
    const QByteArray expected = "[Vantrel]:03-05 14:07:09:042,frame 12 late\n";
    EXPECT_EQ(WriteLog("frame %d %s", 12, "late"), expected.size());
    EXPECT_EQ(listener.Receive("frame 12 late"), expected);

    const std::string big(20000, 'y');
    const int sent = WriteLog("%s", big.c_str());
    const QByteArray cut = listener.Receive(",yyyyyyyy");
    EXPECT_EQ(sent, cut.size());
    EXPECT_EQ(cut.size(), int(strlen("[Vantrel]:03-05 14:07:09:042,")) + TRACE_MESSAGE_MAX + 1);
    EXPECT_TRUE(cut.endsWith("yy\n"));
}

}  // namespace
