#include "UploadCacheDataThread.h"

#include "AppGlobals.h"
#include "CacheFileStore.h"
#include "Clock.h"
#include "Log.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

namespace {

std::atomic<int> g_waitSliceMs{100};

std::string RecordKey(const DevTestResult& r)
{
    return std::string(reinterpret_cast<const char*>(&r), sizeof(r));
}

}  // namespace

UploadCacheDataThread::UploadCacheDataThread(TestDataManageDialog* owner, const QString& cacheFolder)
    : m_owner(owner)
    , m_cacheFolder(cacheFolder)
{
}

UploadCacheDataThread::~UploadCacheDataThread()
{
    StopRunning();
    JoinWorker();
}

void UploadCacheDataThread::JoinWorker()
{
    wait();
    // run() ends under this lock: taking it makes the worker's last writes visible
    // here by the standard library's rules, not only by QThread's.
    std::lock_guard<std::mutex> list(m_listLock);
}

void UploadCacheDataThread::SetWaitSliceMs(int ms) { g_waitSliceMs = ms; }

UploadCacheDataThread::Step UploadCacheDataThread::NextStep(int ret, int failures, int32_t totalResult,
                                                            bool othersPending)
{
    if (ret == 0)
        return {true, false, 0, 0};
    if (ret > 0 || ret == -98 || ret == -1) {
        static const int waits[] = {5000, 10000, 30000, 60000};
        const int count = std::min(failures + 1, 4);
        // A failed device's record is given up after its fourth failure in a row; a
        // passed one is kept until the back-end takes it, but a record the back-end
        // refuses for good must not hold up the ones behind it: it goes to the tail.
        // Alone at the head it keeps its count, so it is asked once a minute.
        const bool drop = count == 4 && totalResult == -1;
        const bool toTail = count == 4 && !drop && othersPending;
        return {drop, toTail, drop ? 0 : count, waits[count - 1]};
    }
    return {true, false, 0, 0};
}

void UploadCacheDataThread::AddRecord(const DevTestResult& record)
{
    AddEntry(record, false);
}

uint64_t UploadCacheDataThread::HoldRecord(const DevTestResult& record)
{
    return AddEntry(record, true);
}

uint64_t UploadCacheDataThread::AddEntry(const DevTestResult& record, bool held)
{
    std::lock_guard<std::mutex> files(m_fileLock);
    AdoptTodayLocked(Clock::Now());
    uint64_t id;
    {
        std::lock_guard<std::mutex> list(m_listLock);
        id = ++m_lastId;
        m_pending.push_back(Entry{id, record, held});
    }
    MirrorLocked();
    return id;
}

bool UploadCacheDataThread::ReleaseRecord(uint64_t id, bool upload)
{
    std::lock_guard<std::mutex> files(m_fileLock);
    {
        std::lock_guard<std::mutex> list(m_listLock);
        auto it = std::find_if(m_pending.begin(), m_pending.end(), [id](const Entry& e) { return e.id == id; });
        if (it == m_pending.end())
            return false;
        if (upload) {
            it->held = false;
            return true;   // on disk already
        }
        m_pending.erase(it);
    }
    MirrorLocked();
    return true;
}

void UploadCacheDataThread::LoadCacheFiles(const QStringList& paths)
{
    std::lock_guard<std::mutex> files(m_fileLock);
    for (const QString& path : paths) {
        if (!path.isEmpty())
            LoadFileLocked(path);
    }
    MirrorLocked();
}

bool UploadCacheDataThread::LoadFileLocked(const QString& path)
{
    std::vector<DevTestResult> records;
    if (!CacheFileStore::ReadRecords(path, &records)) {
        LogPrint(LOG_GENERAL, "UploadCacheDataThread::LoadFileLocked() can't read %s, kept", qPrintable(path));
        return false;
    }
    std::vector<DevTestResult> damaged;
    int added = 0;
    {
        std::lock_guard<std::mutex> list(m_listLock);
        std::map<std::string, int> held;
        for (const Entry& e : m_pending)
            ++held[RecordKey(e.record)];
        for (size_t i = 0; i < records.size(); ++i) {
            const DevTestResult& r = records[i];
            if (const char* damage = CacheFileStore::RecordDamage(r)) {
                LogPrint(LOG_GENERAL, "UploadCacheDataThread::LoadFileLocked() %s: record %d is damaged (%s), set aside",
                         qPrintable(path), int(i + 1), damage);
                damaged.push_back(r);
                continue;
            }
            auto it = held.find(RecordKey(r));
            if (it != held.end() && it->second > 0) {
                --it->second;
                continue;
            }
            m_pending.push_back(Entry{++m_lastId, r, false});
            ++added;
        }
    }
    LogPrint(LOG_INFO, "UploadCacheDataThread::LoadFileLocked() %s: %d records, %d new", qPrintable(path),
             int(records.size()), added);
    const QString name = QFileInfo(path).fileName();
    if (damaged.empty() || SetAsideLocked(path, damaged)) {
        m_ownFiles.insert(name);
        return true;
    }
    // The file is their only copy. Its sound records are in the list now and must
    // not be read from it a second time once posted: it is cut down to the damaged
    // ones after the next mirror.
    m_keptFiles.insert(name);
    m_keptToCut[name] = damaged;
    return true;
}

bool UploadCacheDataThread::SetAsideLocked(const QString& path, const std::vector<DevTestResult>& damaged)
{
    const QString aside = m_cacheFolder + "/" + CacheFileStore::DAMAGED_FILE_NAME;
    if (CacheFileStore::AppendRecords(aside, damaged)) {
        LogPrint(LOG_GENERAL, "UploadCacheDataThread::SetAsideLocked() %d damaged records of %s kept in %s",
                 int(damaged.size()), qPrintable(path), qPrintable(aside));
        return true;
    }
    LogPrint(LOG_MAJOR, "UploadCacheDataThread::SetAsideLocked() %d damaged records of %s could not be kept in %s, "
                        "the file keeps them",
             int(damaged.size()), qPrintable(path), qPrintable(aside));
    return false;
}

void UploadCacheDataThread::CutKeptFilesLocked()
{
    for (auto it = m_keptToCut.begin(); it != m_keptToCut.end();) {
        const QString path = m_cacheFolder + "/" + it->first;
        if (!CacheFileStore::WriteRecords(path, it->second)) {
            LogPrint(LOG_MAJOR, "UploadCacheDataThread::CutKeptFilesLocked() %s can't be cut down to its %d damaged "
                                "records, tried again at the next save",
                     qPrintable(path), int(it->second.size()));
            ++it;
            continue;
        }
        it = m_keptToCut.erase(it);
    }
}

bool UploadCacheDataThread::KnowsFileLocked(const QString& fileName) const
{
    return m_ownFiles.contains(fileName) || m_keptFiles.contains(fileName);
}

std::vector<DevTestResult> UploadCacheDataThread::Pending() const
{
    std::lock_guard<std::mutex> list(m_listLock);
    std::vector<DevTestResult> out;
    out.reserve(m_pending.size());
    for (const Entry& e : m_pending)
        out.push_back(e.record);
    return out;
}

bool UploadCacheDataThread::OwnsFile(const QString& fileName) const
{
    std::lock_guard<std::mutex> files(m_fileLock);
    return KnowsFileLocked(fileName);
}

void UploadCacheDataThread::AdoptTodayLocked(const WallTime& now)
{
    // Today's files may hold records of an earlier run that no start-up scan has
    // read yet (after-sales mode, or a save before any scan): they are taken in,
    // ahead of new ones, rather than overwritten. One that can't be read stays
    // someone else's and is never written over.
    for (int spare = 0; spare <= CacheFileStore::SPARE_NAMES; ++spare) {
        const QString name = CacheFileStore::DayFileName(now, spare);
        if (!KnowsFileLocked(name) && QFileInfo::exists(m_cacheFolder + "/" + name))
            LoadFileLocked(m_cacheFolder + "/" + name);
    }
}

QString UploadCacheDataThread::WriteTodayLocked(const WallTime& now, const std::vector<DevTestResult>& snapshot)
{
    for (int spare = 0; spare <= CacheFileStore::SPARE_NAMES; ++spare) {
        const QString name = CacheFileStore::DayFileName(now, spare);
        const QString path = m_cacheFolder + "/" + name;
        if (m_keptFiles.contains(name) || (!m_ownFiles.contains(name) && QFileInfo::exists(path)))
            continue;   // not ours (a folder, a file we could not read) or kept for its damaged records
        if (CacheFileStore::WriteRecords(path, snapshot)) {
            if (spare > 0)
                LogPrint(LOG_GENERAL, "UploadCacheDataThread::MirrorLocked() %s can't be written, the records are in %s",
                         qPrintable(CacheFileStore::DayFileName(now)), qPrintable(name));
            return name;
        }
    }
    return QString();
}

bool UploadCacheDataThread::MirrorLocked()
{
    if (!QDir().mkpath(m_cacheFolder))
        return false;
    const WallTime now = Clock::Now();
    AdoptTodayLocked(now);
    std::vector<DevTestResult> snapshot = Pending();
    if (snapshot.empty() && m_ownFiles.isEmpty()) {
        CutKeptFilesLocked();
        return true;   // nothing of this object's on disk, nothing to write
    }
    const QString written = WriteTodayLocked(now, snapshot);
    if (written.isEmpty()) {
        LogPrint(LOG_MAJOR, "UploadCacheDataThread::MirrorLocked() %d pending records not saved", int(snapshot.size()));
        return false;
    }
    CutKeptFilesLocked();
    // Only now that one file holds every pending record may the others go.
    for (const QString& name : m_ownFiles) {
        if (name != written)
            QFile::remove(m_cacheFolder + "/" + name);
    }
    m_ownFiles.clear();
    if (!snapshot.empty())
        m_ownFiles.insert(written);
    return true;
}

void UploadCacheDataThread::slot_start_upload_cache_data(QString strFile1, QString strFile2)
{
    // Older day first.
    if (!strFile1.isEmpty() || !strFile2.isEmpty())
        LoadCacheFiles(QStringList{strFile2, strFile1});
    bool leaving;
    {
        std::lock_guard<std::mutex> list(m_listLock);
        m_backend = BackendEndpoint::Station();
        leaving = m_leaving;
    }
    if (leaving)
        JoinWorker();   // it has decided to end; let it, then start afresh
    {
        std::lock_guard<std::mutex> list(m_listLock);
        m_leaving = false;
    }
    m_run = true;
    m_client.SetExitFlag(false);
    start();
}

void UploadCacheDataThread::slot_stop_upload_cache_data()
{
    StopRunning();
    {
        std::lock_guard<std::mutex> upload(m_uploadLock);
        std::lock_guard<std::mutex> files(m_fileLock);
        MirrorLocked();
    }
    JoinWorker();
}

std::deque<UploadCacheDataThread::Entry>::iterator UploadCacheDataThread::NextPostableLocked()
{
    return std::find_if(m_pending.begin(), m_pending.end(), [](const Entry& e) { return !e.held; });
}

bool UploadCacheDataThread::NothingToPostOrLeave()
{
    std::lock_guard<std::mutex> list(m_listLock);
    if (NextPostableLocked() == m_pending.end() || !m_run || !WholeMachineTestMode) {
        m_leaving = true;
        return true;
    }
    return false;
}

void UploadCacheDataThread::BackoffWait(int waitMs)
{
    // wait/100 slices of the slice length, cut short as soon as a stop clears the run flag.
    const auto length = std::chrono::milliseconds(qint64(waitMs / 100) * g_waitSliceMs.load());
    std::unique_lock<std::mutex> lock(m_waitLock);
    m_wake.wait_for(lock, length, [this] { return !m_run.load(); });
}

void UploadCacheDataThread::StopRunning()
{
    m_run = false;
    m_client.SetExitFlag(true);
    {
        std::lock_guard<std::mutex> lock(m_waitLock);
    }
    m_wake.notify_all();
}

void UploadCacheDataThread::run()
{
    LogPrint(LOG_INFO, "UploadCacheDataThread::run() start");
    while (!NothingToPostOrLeave()) {
        std::lock_guard<std::mutex> upload(m_uploadLock);
        if (!m_run)
            continue;   // the stop slot has saved the list; the loop head ends it
        Entry head{};
        BackendEndpoint backend;
        bool othersPending = false;
        {
            std::lock_guard<std::mutex> list(m_listLock);
            auto it = NextPostableLocked();
            if (it == m_pending.end())
                continue;
            head = *it;
            othersPending = std::any_of(m_pending.begin(), m_pending.end(),
                                        [&head](const Entry& e) { return !e.held && e.id != head.id; });
            backend = m_backend;
        }
        if (head.id != m_failuresOf) {
            m_failuresOf = head.id;
            m_failures = 0;
        }
        const HttpResult reply = m_client.HttpUploadDevTestResult(backend, head.record);
        const int ret = reply.Value();
        if (ret != 0 && !m_run)
            continue;   // the stop cut this post short: not the back-end's verdict
        const Step step = NextStep(ret, m_failures, head.record.total_result, othersPending);
        m_failures = step.failures;
        if (ret != 0)
            LogPrint(LOG_INFO, "UploadCacheDataThread::run() upload failed, ret=%d, szRecvBuf=%s", ret,
                     reply.body.c_str());
        if (step.removeHead || step.moveHeadToTail) {
            ApplyStep(head.id, step);
            if (step.moveHeadToTail)
                LogPrint(LOG_GENERAL, "UploadCacheDataThread::run() %.*s failed 4 times in a row, moved behind the others",
                         int(ResultTextLength(head.record.dev_sn)), head.record.dev_sn);
        }
        if (step.waitMs > 0) {
            LogPrint(LOG_INFO, "UploadCacheDataThread::run() upload failed count = %d, delayTime=%d", step.failures,
                     step.waitMs);
            BackoffWait(step.waitMs);
        }
    }
    LogPrint(LOG_INFO, "UploadCacheDataThread::run() end");
    std::lock_guard<std::mutex> list(m_listLock);
    m_leaving = true;
}

void UploadCacheDataThread::ApplyStep(uint64_t id, const Step& step)
{
    std::lock_guard<std::mutex> files(m_fileLock);
    {
        std::lock_guard<std::mutex> list(m_listLock);
        // Only this thread takes records that are not held off the list: it is still there.
        auto it = std::find_if(m_pending.begin(), m_pending.end(), [id](const Entry& e) { return e.id == id; });
        if (it == m_pending.end())
            return;
        const Entry entry = *it;
        m_pending.erase(it);
        if (step.moveHeadToTail)
            m_pending.push_back(entry);
    }
    MirrorLocked();
}
