// Configuration package: unpacking at the run's start, the check of each
// device's package and the upload of the station's.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "DevCommand.h"
#include "FuncLib.h"
#include "Log.h"
#include "Md5.h"
#include "SearchCycleWorker.h"
#include "WorkOrderFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <mutex>

namespace {

// The upload call takes the package name in a buffer of this many bytes, NUL included.
constexpr int kUploadPathBuffer = 260;
// A configuration file is a few kilobytes; anything this large is not one.
constexpr qint64 kMaxConfigFileBytes = 4 * 1024 * 1024;
constexpr char kSysConfigName[] = "config.xml";
constexpr char kHwConfigName[] = "hwconfig.xml";

// The package path as the upload call takes it; empty (logged) when it does not fit.
QByteArray UploadPath(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    if (local.size() >= kUploadPathBuffer) {
        LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() package path of %d bytes refused, the upload takes at most %d",
                 int(local.size()), kUploadPathBuffer - 1);
        return QByteArray();
    }
    return local;
}

// The base name of an archive entry's path, whichever separator it uses.
QByteArray BaseName(const char* path)
{
    const QByteArray text(path ? path : "");
    const int cut = std::max(text.lastIndexOf('/'), text.lastIndexOf('\\'));
    return text.mid(cut + 1);
}

// Copies the entry's data into file; false (logged) when it is larger than the limit.
bool WriteEntry(archive* reader, const QByteArray& name, QFile& file)
{
    char chunk[16384];
    qint64 total = 0;
    for (;;) {
        const la_ssize_t n = archive_read_data(reader, chunk, sizeof(chunk));
        if (n == 0)
            return true;
        if (n < 0) {
            LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() reading %s failed: %s", name.constData(),
                     archive_error_string(reader));
            return false;
        }
        total += n;
        if (total > kMaxConfigFileBytes) {
            LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() %s is larger than %lld bytes, refused", name.constData(),
                     (long long)kMaxConfigFileBytes);
            return false;
        }
        if (file.write(chunk, n) != n)
            return false;
    }
}

// Reads the two configuration files of the archive at bodyPath into folder:
// only regular-file entries named config.xml or hwconfig.xml, whatever their
// folder in the archive, under their own names. False on a damaged archive or
// an oversized file; a missing file shows as a missing digest.
bool ExtractConfigFiles(const QString& bodyPath, const QString& folder)
{
    archive* reader = archive_read_new();
    // A .tgz and nothing else: no other archive reader sees order data.
    archive_read_support_filter_gzip(reader);
    archive_read_support_format_tar(reader);
    bool ok = archive_read_open_filename(reader, QFile::encodeName(bodyPath).constData(), 16384) == ARCHIVE_OK;
    if (!ok)
        LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() can't open the archive: %s", archive_error_string(reader));
    archive_entry* entry = nullptr;
    while (ok) {
        const int next = archive_read_next_header(reader, &entry);
        if (next == ARCHIVE_EOF)
            break;
        if (next != ARCHIVE_OK && next != ARCHIVE_WARN) {
            LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() damaged archive: %s", archive_error_string(reader));
            ok = false;
            break;
        }
        const QByteArray name = BaseName(archive_entry_pathname(entry));
        // Links (symbolic or hard) and folders are passed over, whatever their name.
        if ((name != kSysConfigName && name != kHwConfigName) || archive_entry_filetype(entry) != AE_IFREG ||
            archive_entry_hardlink(entry) != nullptr)
            continue;
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > kMaxConfigFileBytes) {
            LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() %s is larger than %lld bytes, refused", name.constData(),
                     (long long)kMaxConfigFileBytes);
            ok = false;
            break;
        }
        QFile file(folder + "/" + QString::fromLatin1(name));
        ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && WriteEntry(reader, name, file);
    }
    archive_read_free(reader);
    return ok;
}

}  // namespace

int UnCompressLocalConfigFile(const QString& path, QString& sysMd5, QString& hwMd5)
{
    sysMd5.clear();
    hwMd5.clear();
    if (path.isEmpty())
        return -1;
    if (UploadPath(path).isEmpty())
        return -2;
    const ConfigPackageCheck check = CheckConfigPackage(path);
    switch (check.result) {
    case ConfigPackageCheck::Intact:
        break;
    case ConfigPackageCheck::NoPath:
        return -1;
    case ConfigPackageCheck::OpenFailed:
        return -2;
    case ConfigPackageCheck::BodyFailed:
        LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() can't write %s", qPrintable(check.bodyPath));
        return -3;
    case ConfigPackageCheck::LengthDiffers:
        LogPrint(LOG_GENERAL,
                 "UnCompressLocalConfigFile(), package file len not same ret,  lPackageLen=%d, packageHead.szPackageLen=%s",
                 int(check.bodyLength), check.headerLength.constData());
        return -4;
    case ConfigPackageCheck::Md5Differs:
        LogPrint(LOG_GENERAL,
                 "UnCompressLocalConfigFile(), package md5 not same ret,  szPachageHeadMD5=%s, packageHead.szPackageMD5=%s",
                 check.bodyMd5.constData(), check.headerMd5.constData());
        return -5;
    }

    // A fresh folder of our own: nothing an earlier run left is digested, and
    // it goes with everything in it.
    QTemporaryDir folder(AppDirPath() + "/unpack-XXXXXX");
    if (!folder.isValid()) {
        LogPrint(LOG_GENERAL, "UnCompressLocalConfigFile() can't make a folder under %s", qPrintable(AppDirPath()));
        return -6;
    }
    QString sys;
    QString hw;
    if (ExtractConfigFiles(check.bodyPath, folder.path())) {
        sys = FileMd5Hex(folder.filePath(kSysConfigName));
        hw = FileMd5Hex(folder.filePath(kHwConfigName));
    }
    LogPrint(LOG_INFO, "MD5File() \r\n szSysConfigMD5=%s \r\n szHWConfigMD5=%s", qPrintable(sys), qPrintable(hw));
    if (sys.isEmpty() || hw.isEmpty())
        return -6;
    sysMd5 = sys;
    hwMd5 = hw;
    QFile::remove(check.bodyPath);
    return 0;
}

void LeftTopWidget::GetConfigFileCheckNum(DevInfo* dev)
{
    if (!dev || dev->lUserID <= 0 || dev->lLoginStatus != 1)
        return;
    LogPrint(LOG_INFO, "#######GetConfigFileCheckNum() beging FC_Loc_IoTSystemControl(CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM)");
    FC_Loc_IoTSystemControl(dev->lUserID, CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM, 0, "");
}

void LeftTopWidget::GetSearchDevsConfigFileCheck()
{
    LogPrint(LOG_INFO, "######### Enter LeftTopWidget::GetSearchDevsConfigFileCheck() #########");
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        for (DevInfo& dev : search) {
            if (dev.lUserID <= 0)
                continue;
            if (dev.lLoginStatus == 1) {
                GetConfigFileCheckNum(&dev);
            } else {
                m_lists.LogOutDev(&dev);
                dev.lLoginStatus = -1;
            }
        }
    });
    LogPrint(LOG_INFO, "######### Leave LeftTopWidget::GetSearchDevsConfigFileCheck() #########");
}

void LeftTopWidget::WaitSearchDevsConfigFileCheckReturn(unsigned timeoutMs)
{
    LogPrint(LOG_INFO, "######### Enter LeftTopWidget::WaitSearchDevsConfigFileCheckReturn() #########");
    m_searchCycle->WaitForSearchDevs(timeoutMs, [](const DevInfo& dev) {
        return dev.lUserID > 0 && dev.lLoginStatus == 1 && dev.lConfigCheck == 0;
    });
    LogPrint(LOG_INFO, "######### Leave LeftTopWidget::WaitSearchDevsConfigFileCheckReturn() #########");
}

void LeftTopWidget::DealSearchDevsConfigFileCheck()
{
    const QByteArray package = m_strConfigFilePath.isEmpty() ? QByteArray() : UploadPath(m_strConfigFilePath);
    m_lists.WithSearchLists([&](std::vector<DevInfo>& search, std::vector<DevInfo>&, std::vector<DevInfo>& uploading) {
        for (DevInfo& dev : search) {
            if (dev.lUserID <= 0 || dev.lLoginStatus != 1)
                continue;
            if (dev.lConfigCheck == 1) {
                LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() m_vecSearchReadyDevsInfo.push_back(), IP=%.256s",
                         dev.ipcEntry.szIP);
                m_lists.WithReadyList([&](std::vector<DevInfo>& ready) { ready.push_back(CopyOfDevInfo(dev)); });
                continue;
            }
            if (dev.lConfigCheck != -1)
                continue;
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() config file check_num not same!!!, IP=%.256s, pDev->lConfigCheck=%lld",
                     dev.ipcEntry.szIP, (long long)dev.lConfigCheck);
            if (package.isEmpty())
                break;
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() FC_Loc_SetCompressFile(), IP=%.256s, szUploadFileName=%s",
                     dev.ipcEntry.szIP, package.constData());
            FC_Loc_SetCompressFile(dev.lUserID, package.constData());
            // The login stays open for the upload's report, also once this search list is gone.
            uploading.push_back(CopyOfDevInfo(dev));
        }
    });
}

void LeftTopWidget::WaitSearchDevsUploadConfigFileFinishReturn(unsigned timeoutMs)
{
    LogPrint(LOG_INFO, "######### Enter LeftTopWidget::WaitSearchDevsUploadConfigFileFinishReturn() #########");
    m_searchCycle->WaitForSearchDevs(timeoutMs, [](const DevInfo& dev) {
        return dev.lUserID > 0 && dev.lLoginStatus == 1 && dev.lConfigCheck == -1 && dev.iConfigUploadFinishFlag == 0;
    });
    LogPrint(LOG_INFO, "######### Leave LeftTopWidget::WaitSearchDevsUploadConfigFileFinishReturn() #########");
}
