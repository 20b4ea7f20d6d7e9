#pragma once

#include "DevTestResult.h"
#include "HttpClient.h"
#include "ReplyBuffer.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TestDataManageDialog;

// Posts cached test-result records to the back-end, oldest first, with back-off.
// The pending list is mirrored to today's cache file after every change, so a
// record handed to the cache survives a crash; a passed device's record leaves the
// list only when the back-end has taken it. After its fourth failure in a row it
// moves behind the other pending records, so one the back-end refuses for good
// holds up no other.
//
// Locks, always taken in this order: upload lock (a whole post cycle, or the stop
// slot's save), file lock (a list change and its mirror write), list lock.
class UploadCacheDataThread : public QThread {
    Q_OBJECT
public:
    struct Step {
        bool removeHead;
        bool moveHeadToTail;
        int failures;   // consecutive transport-type failures of the head afterwards
        int waitMs;     // back-off before the next post
    };
    static constexpr int RECV_BUFFER_SIZE = 1048576;

    UploadCacheDataThread(TestDataManageDialog* owner, const QString& cacheFolder);
    ~UploadCacheDataThread() override;

    // Appends a copy and mirrors the list to today's file.
    void AddRecord(const DevTestResult& record);
    // Loads whole day files (paths), skipping records that an earlier file already
    // held (a crash between writing today's file and removing the old ones leaves
    // both), mirrors the list, and only then removes the loaded files.
    void LoadCacheFiles(const QStringList& paths);
    std::vector<DevTestResult> Pending() const;
    // Whether a day file name is one this object loaded or wrote (a second start-up
    // scan must not load it again).
    bool OwnsFile(const QString& fileName) const;

    // What a post's return value means for the head record; othersPending: records wait behind it.
    static Step NextStep(int ret, int failures, int32_t totalResult, bool othersPending);
    // Length of one back-off slice (100 ms; tests shorten it). A wait is wait/100 slices.
    static void SetWaitSliceMs(int ms);

public slots:
    void slot_start_upload_cache_data(QString strFile1, QString strFile2);
    void slot_stop_upload_cache_data();

protected:
    void run() override;

private:
    // Caller holds the file lock.
    bool MirrorLocked();
    // Appends the records of one day file that the list does not hold yet; caller holds the file lock.
    bool LoadFileLocked(const QString& path);
    // Loads today's file when it exists and this object has not read it; caller holds the file lock.
    bool AdoptTodayLocked();
    void BackoffWait(int waitMs);
    bool ListEmptyOrLeave();
    // wait() for run() to end, then synchronise with its last writes.
    void JoinWorker();
    // Clears the run flag, aborts the post in progress and ends a back-off wait.
    void StopRunning();

    TestDataManageDialog* m_owner;
    QString m_cacheFolder;
    std::deque<DevTestResult> m_pending;
    mutable std::mutex m_listLock;
    std::mutex m_uploadLock;
    mutable std::mutex m_fileLock;
    std::mutex m_waitLock;         // only for the back-off wait's wake-up
    std::condition_variable m_wake;
    QSet<QString> m_ownFiles;      // under the file lock
    HttpClient m_client;
    ReplyBuffer m_recvBuf;
    std::atomic<bool> m_run{false};
    bool m_leaving = false;        // under the list lock: run() has decided to end
    std::string m_host;            // under the list lock; copied from ServerHost on the GUI thread
    int m_failures = 0;            // worker only
};
