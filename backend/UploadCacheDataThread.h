#pragma once

#include "BackendEndpoint.h"
#include "DevTestResult.h"
#include "HttpClient.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TestDataManageDialog;
struct WallTime;

// Posts cached test-result records to the back-end, oldest first, with back-off.
// The pending list is mirrored to today's cache file after every change, so a
// record handed to the cache survives a crash; a passed device's record leaves the
// list only when the back-end has taken it. After its fourth failure in a row it
// moves behind the other pending records, so one the back-end refuses for good
// holds up no other. The failure count belongs to the record posted: it starts
// again at 0 whenever another record comes to the head.
//
// A held record is on disk like any other but is not posted: the live submission
// still owns it (its retry box is open) and releases it when it is done. Records
// read from a file that are damaged are set aside, never posted. When they can't
// be set aside, the file they came from keeps them: it is cut down to them once
// the list is saved elsewhere, and is never removed or loaded again by this object.
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

    UploadCacheDataThread(TestDataManageDialog* owner, const QString& cacheFolder);
    ~UploadCacheDataThread() override;

    // Appends a copy and mirrors the list to today's file.
    void AddRecord(const DevTestResult& record);
    // As AddRecord, but the record is held: not posted until it is released. Returns its id.
    uint64_t HoldRecord(const DevTestResult& record);
    // upload true: a held record may be posted now; false: it leaves the list (and the
    // file). False when no record has that id.
    bool ReleaseRecord(uint64_t id, bool upload);
    // Loads whole day files (paths), skipping records that an earlier file already
    // held (a crash between writing today's file and removing the old ones leaves
    // both), mirrors the list, and only then removes the loaded files.
    void LoadCacheFiles(const QStringList& paths);
    std::vector<DevTestResult> Pending() const;
    // Whether a day file name is one this object loaded or wrote, or keeps for its
    // damaged records (a second start-up scan must not load it again).
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
    struct Entry {
        uint64_t id;
        DevTestResult record;
        bool held;
    };

    uint64_t AddEntry(const DevTestResult& record, bool held);
    // Writes the list to today's file, or to a spare name of today when that can't
    // be written; then removes the other files this object holds. Caller holds the file lock.
    bool MirrorLocked();
    // Writes the snapshot to the first of today's names that is free or this object's;
    // the name written, empty when none could be. Caller holds the file lock.
    QString WriteTodayLocked(const WallTime& now, const std::vector<DevTestResult>& snapshot);
    // Appends the sound records of one day file that the list does not hold yet and
    // sets the damaged ones aside; caller holds the file lock.
    bool LoadFileLocked(const QString& path);
    bool SetAsideLocked(const QString& path, const std::vector<DevTestResult>& damaged);
    // Rewrites each kept file that still holds more than its damaged records with
    // those alone; only after a mirror has saved the list. Caller holds the file lock.
    void CutKeptFilesLocked();
    // Loaded, written or kept by this object; caller holds the file lock.
    bool KnowsFileLocked(const QString& fileName) const;
    // Loads today's files (its own name and the spares) that exist and this object has
    // not read; caller holds the file lock.
    void AdoptTodayLocked(const WallTime& now);
    void BackoffWait(int waitMs);
    // The first record that may be posted; caller holds the list lock. end() when none.
    std::deque<Entry>::iterator NextPostableLocked();
    bool NothingToPostOrLeave();
    // After a post: takes the record off the list or moves it to the tail.
    void ApplyStep(uint64_t id, const Step& step);
    // wait() for run() to end, then synchronise with its last writes.
    void JoinWorker();
    // Clears the run flag, aborts the post in progress and ends a back-off wait.
    void StopRunning();

    TestDataManageDialog* m_owner;
    QString m_cacheFolder;
    std::deque<Entry> m_pending;
    uint64_t m_lastId = 0;         // under the list lock
    mutable std::mutex m_listLock;
    std::mutex m_uploadLock;
    mutable std::mutex m_fileLock;
    std::mutex m_waitLock;         // only for the back-off wait's wake-up
    std::condition_variable m_wake;
    QSet<QString> m_ownFiles;      // under the file lock
    // Under the file lock: files whose damaged records could not be set aside (never
    // removed), and of those the ones not yet cut down to them, with those records.
    QSet<QString> m_keptFiles;
    std::map<QString, std::vector<DevTestResult>> m_keptToCut;
    HttpClient m_client;
    std::atomic<bool> m_run{false};
    bool m_leaving = false;        // under the list lock: run() has decided to end
    BackendEndpoint m_backend;     // under the list lock; taken from ServerHost on the GUI thread
    int m_failures = 0;            // worker only: failures in a row of record m_failuresOf
    uint64_t m_failuresOf = 0;
};
