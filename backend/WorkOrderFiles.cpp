#include "WorkOrderFiles.h"

#include "AppGlobals.h"
#include "Log.h"
#include "Md5.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int LENGTH_FIELD_AT = 32;
constexpr int LENGTH_FIELD_WIDTH = 288;
constexpr int MD5_FIELD_AT = 320;
constexpr int MD5_FIELD_WIDTH = 64;

// A header text field, never read past its width.
QByteArray HeaderText(const char* header, int at, int width)
{
    return QByteArray(header + at, int(strnlen(header + at, size_t(width))));
}

// Creates folder when missing and deletes its plain files.
bool EmptyFolder(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return false;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::System);
    for (const QFileInfo& f : files) {
        if (!QFile::remove(f.absoluteFilePath()))
            LogPrint(LOG_INFO, "EmptyFolder() can't delete %s", qPrintable(f.absoluteFilePath()));
    }
    return true;
}

}  // namespace

bool IsConfigPackageIntack(const QString& packagePath)
{
    if (packagePath.isEmpty())
        return false;
    QFile package(packagePath);
    if (!package.open(QIODevice::ReadOnly))
        return false;
    char header[CONFIG_PACKAGE_HEADER_SIZE];
    memset(header, 0, sizeof(header));
    if (package.read(header, sizeof(header)) < 0)
        return false;

    const QString bodyPath = AppDirPath() + "/config_raw_data.tgz";
    QFile body(bodyPath);
    if (!body.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    char chunk[65536];
    qint64 n;
    while ((n = package.read(chunk, sizeof(chunk))) > 0) {
        if (body.write(chunk, n) != n) {
            LogPrint(LOG_INFO, "OrderChooseDialog::IsConfigPackageIntack(), writing %s failed", qPrintable(bodyPath));
            return false;
        }
    }
    package.close();
    body.close();
    const qint64 bodyLength = QFileInfo(bodyPath).size();

    const QByteArray lengthText = HeaderText(header, LENGTH_FIELD_AT, LENGTH_FIELD_WIDTH);
    const long headerLength = strtol(lengthText.constData(), nullptr, 10);
    if (n < 0 || bodyLength != headerLength) {
        LogPrint(LOG_INFO,
                 "OrderChooseDialog::IsConfigPackageIntack(), package file len not same,  lPackageLen=%d, "
                 "packageHead.szPackageLen=%s",
                 int(bodyLength), lengthText.constData());
        return false;
    }
    const QByteArray headerMd5 = HeaderText(header, MD5_FIELD_AT, MD5_FIELD_WIDTH);
    const QByteArray bodyMd5 = FileMd5Hex(bodyPath).toLatin1();
    if (headerMd5.isEmpty() || bodyMd5.isEmpty() || bodyMd5 != headerMd5) {
        LogPrint(LOG_INFO,
                 "OrderChooseDialog::IsConfigPackageIntack(), package md5 not same ret,  szPachageHeadMD5=%s, "
                 "packageHead.szPackageMD5=%s",
                 bodyMd5.constData(), headerMd5.constData());
        return false;
    }
    return true;
}

QString ConfigPackageFolderName(const QString& model)
{
    QString name = model;
    name.replace('/', '_').replace('\\', '_').replace(QChar(0), '_');
    if (name.isEmpty() || name == "." || name == "..")
        return QString();
    return name;
}

bool PrepareConfigPackageDir(const QString& model, QString* folder)
{
    const QString name = ConfigPackageFolderName(model);
    if (name.isEmpty()) {
        LogPrint(LOG_INFO, "PrepareConfigPackageDir() refused model folder name '%s'", qPrintable(model));
        return false;
    }
    const QString path = AppDirPath() + "/ConfigFilePackage/" + name + "/";
    if (folder)
        *folder = path;
    return EmptyFolder(path);
}

bool ClearAudioAlarmFileDir(QString* folder)
{
    const QString path = AppDirPath() + "/AudioAlarmFile/";
    if (folder)
        *folder = path;
    return EmptyFolder(path);
}

bool ClearLogoFileDir(QString* folder)
{
    const QString path = AppDirPath() + "/LogoFile/";
    if (folder)
        *folder = path;
    return EmptyFolder(path);
}
