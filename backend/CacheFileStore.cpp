#include "CacheFileStore.h"

#include "Clock.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
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

QString CacheFileStore::DayFileName(const WallTime& day, int spare)
{
    if (spare > 0)
        return QString::asprintf("%04d-%02d-%02d-%d.dat", day.year, day.month, day.day, spare);
    return QString::asprintf("%04d-%02d-%02d.dat", day.year, day.month, day.day);
}

bool CacheFileStore::IsDayFileName(const QString& name)
{
    static const QRegularExpression pattern("^\\d{4}-\\d{2}-\\d{2}(-[1-9])?\\.dat$");
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
    // By day, then the day's own file before its spares (by bytes a spare's "-" would come first).
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const QString dayA = a.left(10);
        const QString dayB = b.left(10);
        if (dayA != dayB)
            return dayA < dayB;
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return out;
}

const std::vector<int32_t DevTestResult::*>& CacheFileStore::ResultFields()
{
    using R = DevTestResult;
    static const std::vector<int32_t R::*> fields = {
        &R::sn_result, &R::m_iTestVersion, &R::m_iTestVideo, &R::lamp_panel_result, &R::bind_result,
        &R::tuya_authorize_result, &R::func_code_result, &R::cusr_authorize_result, &R::rtc_result,
        &R::wifi_signal_result, &R::wifi_performance_result, &R::tf_card_result, &R::vrl_result, &R::vrl_result2,
        &R::qr_code_print_result, &R::qr_code_check_result, &R::trumpet_result, &R::mic_result,
        &R::audio_alarm_file_result, &R::fill_light_result, &R::human_alarm_io_result, &R::ircut_day_result,
        &R::ircut_night_result, &R::ptz_up_result, &R::ptz_down_result, &R::ptz_left_result, &R::ptz_right_result,
        &R::ptz_reset_result, &R::sync_time_result, &R::restore_result, &R::format_sdcard_result,
        &R::focus_add_result, &R::focus_sub_result, &R::zoom_add_result, &R::zoom_sub_result, &R::aper_add_result,
        &R::aper_sub_result, &R::video_result2, &R::fill_light_result2, &R::ircut_day_result2,
        &R::ircut_night_result2, &R::preset_point_call_result, &R::total_result,
    };
    return fields;
}

const char* CacheFileStore::RecordDamage(const DevTestResult& r)
{
    const size_t serialLength = ResultTextLength(r.dev_sn);
    if (serialLength == 0)
        return "serial empty";
    if (serialLength == sizeof(r.dev_sn))
        return "serial not terminated";
    for (size_t i = 0; i < serialLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(r.dev_sn[i]);
        if (c < 0x20 || c > 0x7E)
            return "serial not printable";
    }
    for (const auto field : ResultFields()) {
        if (r.*field < -1 || r.*field > 1)
            return "result out of range";
    }
    return nullptr;
}

bool CacheFileStore::AppendRecords(const QString& path, const std::vector<DevTestResult>& records)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        LogPrint(LOG_GENERAL, "CacheFileStore::AppendRecords() can't open %s, errno=%d", name.constData(), errno);
        return false;
    }
    bool ok = WriteAll(fd, reinterpret_cast<const char*>(records.data()), records.size() * sizeof(DevTestResult));
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        LogPrint(LOG_GENERAL, "CacheFileStore::AppendRecords() writing %s failed, errno=%d", name.constData(), errno);
    return ok;
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
