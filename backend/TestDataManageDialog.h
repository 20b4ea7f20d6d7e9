#pragma once

#include "DevTestResult.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class UploadCacheDataThread;

// Owner of the offline result cache and its upload thread; never shown. The cache
// folder is "<program folder>/CacheTestData".
class TestDataManageDialog : public QDialog {
    Q_OBJECT
public:
    explicit TestDataManageDialog(QWidget* parent = nullptr);
    // Stops the upload thread, saving what is pending, and waits for it.
    ~TestDataManageDialog() override;

    // Start-up scan: every day file of the cache folder not already held is loaded,
    // oldest first, and the upload starts when anything is pending.
    void StartUploadCacheData();
    // Hands a copy of a record to the cache (it is on disk when this returns) and
    // starts the upload.
    void AddCacheTestData(const DevTestResult& record);
    // For a submission that is still being retried: the record is on disk when this
    // returns, so it survives a crash, but is not posted until it is released.
    uint64_t HoldCacheTestData(const DevTestResult& record);
    // upload true: hands the held record to the upload; false: drops it (the
    // submission settled it with the back-end).
    void ReleaseCacheTestData(uint64_t id, bool upload);
    void StopUploadCacheData();

    QString CacheFolder() const { return m_cacheFolder; }
    UploadCacheDataThread* UploadThread() const { return m_thread; }

signals:
    void sig_start_upload_cache_data(QString strFile1, QString strFile2);
    void sig_stop_upload_cache_data();

private:
    QString m_cacheFolder;
    UploadCacheDataThread* m_thread = nullptr;
};
