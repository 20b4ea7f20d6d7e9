#include "UploadCacheDataThread.h"

#include "AppGlobals.h"
#include "CacheFileStore.h"
#include "Clock.h"
#include "Log.h"

#include <QDir>
#include <QFileInfo>

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
    , m_recvBuf(RECV_BUFFER_SIZE, std::nothrow)
{
    if (!m_recvBuf.data())
        LogPrint(LOG_MAJOR, "#UploadCacheDataThread::UploadCacheDataThread() m_szRecvBuf malloc failed");
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
        // The count stays, so a back-end that is down is still asked once a minute.
        const bool drop = count == 4 && totalResult == -1;
        const bool toTail = count == 4 && !drop && othersPending;
        return {drop, toTail, drop ? 0 : count, waits[count - 1]};
    }
    return {true, false, 0, 0};
}

void UploadCacheDataThread::AddRecord(const DevTestResult& record)
{
    std::lock_guard<std::mutex> files(m_fileLock);
    AdoptTodayLocked();
    {
        std::lock_guard<std::mutex> list(m_listLock);
        m_pending.push_back(record);
    }
    MirrorLocked();
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
    int added = 0;
    {
        std::lock_guard<std::mutex> list(m_listLock);
        std::map<std::string, int> held;
        for (const DevTestResult& r : m_pending)
            ++held[RecordKey(r)];
        for (const DevTestResult& r : records) {
            auto it = held.find(RecordKey(r));
            if (it != held.end() && it->second > 0) {
                --it->second;
                continue;
            }
            m_pending.push_back(r);
            ++added;
        }
    }
    LogPrint(LOG_INFO, "UploadCacheDataThread::LoadFileLocked() %s: %d records, %d new", qPrintable(path),
             int(records.size()), added);
    m_ownFiles.insert(QFileInfo(path).fileName());
    return true;
}

std::vector<DevTestResult> UploadCacheDataThread::Pending() const
{
    std::lock_guard<std::mutex> list(m_listLock);
    return std::vector<DevTestResult>(m_pending.begin(), m_pending.end());
}

bool UploadCacheDataThread::OwnsFile(const QString& fileName) const
{
    std::lock_guard<std::mutex> files(m_fileLock);
    return m_ownFiles.contains(fileName);
}

bool UploadCacheDataThread::AdoptTodayLocked()
{
    // Today's file may hold records of an earlier run that no start-up scan has
    // read yet (after-sales mode, or a save before any scan): they are taken in,
    // ahead of new ones, rather than overwritten.
    const QString today = CacheFileStore::DayFileName(Clock::Now());
    const QString path = m_cacheFolder + "/" + today;
    if (m_ownFiles.contains(today) || !QFileInfo::exists(path))
        return true;
    return LoadFileLocked(path);
}

bool UploadCacheDataThread::MirrorLocked()
{
    if (!QDir().mkpath(m_cacheFolder))
        return false;
    const QString today = CacheFileStore::DayFileName(Clock::Now());
    if (!AdoptTodayLocked())
        return false;
    std::vector<DevTestResult> snapshot = Pending();
    if (snapshot.empty() && m_ownFiles.isEmpty())
        return true;   // nothing of this object's on disk, nothing to write
    if (!CacheFileStore::WriteRecords(m_cacheFolder + "/" + today, snapshot)) {
        LogPrint(LOG_MAJOR, "UploadCacheDataThread::MirrorLocked() %d pending records not saved", int(snapshot.size()));
        return false;
    }
    // Only now that today's file holds every pending record may older ones go.
    for (const QString& name : m_ownFiles) {
        if (name != today)
            QFile::remove(m_cacheFolder + "/" + name);
    }
    m_ownFiles.clear();
    if (!snapshot.empty())
        m_ownFiles.insert(today);
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
        m_host = ServerHost.toStdString();
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

bool UploadCacheDataThread::ListEmptyOrLeave()
{
    std::lock_guard<std::mutex> list(m_listLock);
    if (m_pending.empty() || !m_run || !WholeMachineTestMode) {
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
    if (!m_recvBuf.data()) {
        std::lock_guard<std::mutex> list(m_listLock);
        m_leaving = true;
        return;
    }
    LogPrint(LOG_INFO, "UploadCacheDataThread::run() start");
    while (!ListEmptyOrLeave()) {
        std::lock_guard<std::mutex> upload(m_uploadLock);
        if (!m_run)
            continue;   // the stop slot has saved the list; the loop head ends it
        m_recvBuf.Clear();
        DevTestResult head;
        std::string host;
        bool othersPending = false;
        {
            std::lock_guard<std::mutex> list(m_listLock);
            if (m_pending.empty())
                continue;
            head = m_pending.front();
            othersPending = m_pending.size() > 1;
            host = m_host;
        }
        int len = 0;
        const int ret = m_client.HttpUploadDevTestResult(host.c_str(), 80, head, m_recvBuf.data(), RECV_BUFFER_SIZE,
                                                         &len);
        if (ret != 0 && !m_run)
            continue;   // the stop cut this post short: not the back-end's verdict
        const Step step = NextStep(ret, m_failures, head.total_result, othersPending);
        m_failures = step.failures;
        if (ret != 0)
            LogPrint(LOG_INFO, "UploadCacheDataThread::run() upload failed, ret=%d, szRecvBuf=%s", ret,
                     m_recvBuf.data());
        if (step.removeHead || step.moveHeadToTail) {
            // Only this thread takes records off the list, so the head is still the one posted.
            std::lock_guard<std::mutex> files(m_fileLock);
            {
                std::lock_guard<std::mutex> list(m_listLock);
                m_pending.pop_front();
                if (step.moveHeadToTail)
                    m_pending.push_back(head);
            }
            MirrorLocked();
            if (step.moveHeadToTail)
                LogPrint(LOG_GENERAL, "UploadCacheDataThread::run() %.*s failed 4 times in a row, moved behind the others",
                         int(strnlen(head.dev_sn, sizeof(head.dev_sn))), head.dev_sn);
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
