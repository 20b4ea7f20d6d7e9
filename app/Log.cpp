#include "Log.h"

#include "Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kLevelNames[] = {"Major", "General", "Suggestive", "Info", "DEBUG0",
                                   "DEBUG1", "DEBUG2", "MORELOG", "ALLLOG"};
constexpr int kLevelCount = 9;
constexpr size_t kLineBuffer = LOG_LINE_MAX + 1;   // line before CR LF, plus NUL
constexpr int kOpenAttempts = 3;
constexpr int kOpenRetryMs = 50;

std::atomic<int> g_level{0};

// File writes; never nested with another lock.
std::mutex g_fileLock;
QString g_path;
QByteArray g_encodedPath;

// The trace socket lives, is used and is closed under this lock.
std::mutex g_traceLock;
int g_traceSocket = -1;

int FormatHeader(char* out, size_t size, int level, const WallTime& t)
{
    return snprintf(out, size, " [%s][%02d/%02d %02d:%02d:%02d.%03d]", kLevelNames[level], t.day, t.month,
                    t.hour, t.minute, t.second, t.msec);
}

// vsnprintf that reports the bytes actually in the buffer, never more.
size_t BoundedFormat(char* out, size_t size, const char* format, va_list args)
{
    if (size == 0)
        return 0;
    const int n = vsnprintf(out, size, format, args);
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    return std::min(size_t(n), size - 1);
}

bool AppendLine(const QByteArray& path, const char* data, size_t length)
{
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (attempt + 1 < kOpenAttempts)
                std::this_thread::sleep_for(std::chrono::milliseconds(kOpenRetryMs));
            continue;
        }
        // One write per line keeps lines whole even against another writer of the file.
        size_t done = 0;
        while (done < length) {
            const ssize_t n = ::write(fd, data + done, length - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(fd);
        return done == length;
    }
    return false;
}

void CloseTraceSocketLocked()
{
    if (g_traceSocket >= 0) {
        ::shutdown(g_traceSocket, SHUT_RDWR);
        ::close(g_traceSocket);
        g_traceSocket = -1;
    }
}

}  // namespace

const char* LogLevelName(int level)
{
    return (level >= 0 && level < kLevelCount) ? kLevelNames[level] : "";
}

QByteArray LogLineHeader(int level)
{
    if (level < 0 || level >= kLevelCount)
        return QByteArray();
    char header[64];
    const int n = FormatHeader(header, sizeof header, level, Clock::Now());
    return QByteArray(header, n);
}

void LogPrint(int level, const char* format, ...)
{
    if (level < 0 || level >= kLevelCount || level > g_level.load(std::memory_order_relaxed) || !format)
        return;

    std::vector<char> line(kLineBuffer + 2);
    size_t used = size_t(FormatHeader(line.data(), kLineBuffer, level, Clock::Now()));
    va_list args;
    va_start(args, format);
    used += BoundedFormat(line.data() + used, kLineBuffer - used, format, args);
    va_end(args);
    line[used++] = '\r';
    line[used++] = '\n';

    std::lock_guard<std::mutex> guard(g_fileLock);
    if (g_encodedPath.isEmpty())
        return;   // logging starts with LogInit
    AppendLine(g_encodedPath, line.data(), used);
}

void LogInit(int level, const QString& path)
{
    if (level >= 0 && level < kLevelCount)
        g_level.store(level);
    if (!path.isNull()) {
        std::lock_guard<std::mutex> guard(g_fileLock);
        g_path = path;
        g_encodedPath = QFile::encodeName(path);
    }
}

int LogSetLevel(int level)
{
    if (level >= 0 && level < kLevelCount)
        g_level.store(level);
    return g_level.load();
}

int LogLevel() { return g_level.load(); }

QString LogPath()
{
    std::lock_guard<std::mutex> guard(g_fileLock);
    return g_path;
}

int WriteLog(const char* format, ...)
{
    if (!format)
        return -1;
    char message[TRACE_MESSAGE_MAX + 1];
    va_list args;
    va_start(args, format);
    const size_t messageLength = BoundedFormat(message, sizeof message, format, args);
    va_end(args);

    const WallTime t = Clock::Now();
    char prefix[64];
    const int prefixLength = snprintf(prefix, sizeof prefix, "[Vantrel]:%02d-%02d %02d:%02d:%02d:%03d,", t.month,
                                      t.day, t.hour, t.minute, t.second, t.msec);
    QByteArray line;
    line.reserve(int(prefixLength + messageLength + 1));
    line.append(prefix, prefixLength);
    line.append(message, int(messageLength));
    line.append('\n');

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(TRACE_PORT);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    std::lock_guard<std::mutex> guard(g_traceLock);
    if (g_traceSocket < 0) {
        g_traceSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (g_traceSocket < 0)
            return -1;
    }
    const ssize_t sent = ::sendto(g_traceSocket, line.constData(), size_t(line.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == ssize_t(line.size()))
        return int(sent);
    CloseTraceSocketLocked();
    return -1;
}

void LogPruneFolder(const QString& logDir)
{
    QDir dir(logDir);
    if (!dir.exists())
        QDir().mkpath(logDir);
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& f : folders)
        QDir(f.absoluteFilePath()).removeRecursively();

    // Directory order is not date order: sort by name ourselves.
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::NoSort);
    std::sort(names.begin(), names.end(),
              [](const QString& l, const QString& r) { return l.compare(r, Qt::CaseInsensitive) < 0; });
    QStringList logs;
    for (const QString& name : names) {
        if (name.endsWith(QLatin1String(".log")))
            logs.append(name);
        else
            dir.remove(name);
    }
    for (int i = 0; i + 2 < logs.size(); ++i)
        dir.remove(logs[i]);
}

void LogStart(const QString& appDir, int logSwitch)
{
    const QString logDir = appDir + "/Log_Dir/";
    LogPruneFolder(logDir);
    const WallTime t = Clock::Now();
    const QString name = QString::asprintf("%04d-%02d-%02d.log", t.year, t.month, t.day);
    if (logSwitch == 1) {
        LogInit(LOG_INFO, logDir + name);
        LogPrint(LOG_INFO, "############## Start Software Version:(%s)#################", "V1.0.6.4");
    } else {
        LogInit(LOG_GENERAL, logDir + name);
    }
}
