#include "TestDataManageDialog.h"

#include "AppGlobals.h"
#include "CacheFileStore.h"
#include "Log.h"
#include "UploadCacheDataThread.h"

#include <QDir>

TestDataManageDialog::TestDataManageDialog(QWidget* parent)
    : QDialog(parent)
    , m_cacheFolder(AppDirPath() + "/CacheTestData")
{
    setFixedSize(400, 300);
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
    if (!QDir().mkpath(m_cacheFolder))
        LogPrint(LOG_MAJOR, "TestDataManageDialog::TestDataManageDialog() can't create %s", qPrintable(m_cacheFolder));
    m_thread = new UploadCacheDataThread(this, m_cacheFolder);
    connect(this, &TestDataManageDialog::sig_start_upload_cache_data, m_thread,
            &UploadCacheDataThread::slot_start_upload_cache_data);
    connect(this, &TestDataManageDialog::sig_stop_upload_cache_data, m_thread,
            &UploadCacheDataThread::slot_stop_upload_cache_data);
}

TestDataManageDialog::~TestDataManageDialog()
{
    m_thread->slot_stop_upload_cache_data();
    delete m_thread;
    m_thread = nullptr;
}

void TestDataManageDialog::StartUploadCacheData()
{
    QStringList paths;
    for (const QString& name : CacheFileStore::DayFiles(m_cacheFolder)) {
        if (!m_thread->OwnsFile(name))
            paths.append(m_cacheFolder + "/" + name);
    }
    if (!paths.isEmpty())
        m_thread->LoadCacheFiles(paths);
    if (!m_thread->Pending().empty())
        emit sig_start_upload_cache_data(QString(), QString());
}

void TestDataManageDialog::AddCacheTestData(const DevTestResult& record)
{
    m_thread->AddRecord(record);
    emit sig_start_upload_cache_data(QString(), QString());
}

uint64_t TestDataManageDialog::HoldCacheTestData(const DevTestResult& record)
{
    return m_thread->HoldRecord(record);
}

void TestDataManageDialog::ReleaseCacheTestData(uint64_t id, bool upload)
{
    if (!m_thread->ReleaseRecord(id, upload)) {
        LogPrint(LOG_GENERAL, "TestDataManageDialog::ReleaseCacheTestData() no held record %llu",
                 static_cast<unsigned long long>(id));
        return;
    }
    if (upload)
        emit sig_start_upload_cache_data(QString(), QString());
}

void TestDataManageDialog::StopUploadCacheData()
{
    emit sig_stop_upload_cache_data();
}
