#include "CacheFileStore.h"

#include "Clock.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= size_t(n);
    }
    return true;
}

// A rename or removal is durable only once the folder itself is synced.
void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

QString CacheFileStore::DayFileName(const WallTime& day)
{
    return QString::asprintf("%04d-%02d-%02d.dat", day.year, day.month, day.day);
}

bool CacheFileStore::IsDayFileName(const QString& name)
{
    static const QRegularExpression pattern("^\\d{4}-\\d{2}-\\d{2}\\.dat$");
    return pattern.match(name).hasMatch();
}

QStringList CacheFileStore::DayFiles(const QString& folder)
{
    QStringList out;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& f : entries) {
        if (IsDayFileName(f.fileName()))
            out.append(f.fileName());
    }
    out.sort();   // day names sort by date
    return out;
}

bool CacheFileStore::ReadRecords(const QString& path, std::vector<DevTestResult>* records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const int whole = bytes.size() / RECORD_SIZE;
    for (int i = 0; i < whole; ++i) {
        DevTestResult r;
        memcpy(&r, bytes.constData() + i * RECORD_SIZE, sizeof(r));
        records->push_back(r);
    }
    if (bytes.size() % RECORD_SIZE != 0)
        LogPrint(LOG_GENERAL, "CacheFileStore::ReadRecords() %s: %d trailing bytes are not a whole record",
                 qPrintable(path), bytes.size() % RECORD_SIZE);
    return true;
}

bool CacheFileStore::WriteRecords(const QString& path, const std::vector<DevTestResult>& records)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray target = QFile::encodeName(path);
    if (records.empty()) {
        if (::unlink(target.constData()) != 0 && errno != ENOENT)
            return false;
        SyncFolder(folder);
        return true;
    }
    const QByteArray temp = target + ".tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        LogPrint(LOG_GENERAL, "CacheFileStore::WriteRecords() can't create %s, errno=%d", temp.constData(), errno);
        return false;
    }
    bool ok = WriteAll(fd, reinterpret_cast<const char*>(records.data()), records.size() * sizeof(DevTestResult));
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        LogPrint(LOG_GENERAL, "CacheFileStore::WriteRecords() writing %s failed, errno=%d", target.constData(), errno);
        ::unlink(temp.constData());
        return false;
    }
    SyncFolder(folder);
    return true;
}
