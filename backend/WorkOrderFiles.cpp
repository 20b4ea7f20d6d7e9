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

ConfigPackageCheck CheckConfigPackage(const QString& packagePath)
{
    ConfigPackageCheck check;
    if (packagePath.isEmpty())
        return check;
    QFile package(packagePath);
    check.result = ConfigPackageCheck::OpenFailed;
    if (!package.open(QIODevice::ReadOnly))
        return check;
    char header[CONFIG_PACKAGE_HEADER_SIZE];
    memset(header, 0, sizeof(header));
    if (package.read(header, sizeof(header)) < 0)
        return check;

    check.bodyPath = AppDirPath() + "/config_raw_data.tgz";
    QFile body(check.bodyPath);
    check.result = ConfigPackageCheck::BodyFailed;
    if (!body.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return check;
    char chunk[65536];
    qint64 n;
    while ((n = package.read(chunk, sizeof(chunk))) > 0) {
        if (body.write(chunk, n) != n)
            return check;
    }
    package.close();
    body.close();
    check.bodyLength = QFileInfo(check.bodyPath).size();
    check.headerLength = HeaderText(header, LENGTH_FIELD_AT, LENGTH_FIELD_WIDTH);
    check.headerMd5 = HeaderText(header, MD5_FIELD_AT, MD5_FIELD_WIDTH);

    const long headerLength = strtol(check.headerLength.constData(), nullptr, 10);
    check.result = ConfigPackageCheck::LengthDiffers;
    if (n < 0 || check.bodyLength != headerLength)
        return check;
    check.bodyMd5 = FileMd5Hex(check.bodyPath).toLatin1();
    check.result = ConfigPackageCheck::Md5Differs;
    if (check.headerMd5.isEmpty() || check.bodyMd5.isEmpty() || check.bodyMd5 != check.headerMd5)
        return check;
    check.result = ConfigPackageCheck::Intact;
    return check;
}

bool IsConfigPackageIntack(const QString& packagePath)
{
    const ConfigPackageCheck check = CheckConfigPackage(packagePath);
    switch (check.result) {
    case ConfigPackageCheck::Intact:
        return true;
    case ConfigPackageCheck::BodyFailed:
        LogPrint(LOG_INFO, "OrderChooseDialog::IsConfigPackageIntack(), writing %s failed", qPrintable(check.bodyPath));
        return false;
    case ConfigPackageCheck::LengthDiffers:
        LogPrint(LOG_INFO,
                 "OrderChooseDialog::IsConfigPackageIntack(), package file len not same,  lPackageLen=%d, "
                 "packageHead.szPackageLen=%s",
                 int(check.bodyLength), check.headerLength.constData());
        return false;
    case ConfigPackageCheck::Md5Differs:
        LogPrint(LOG_INFO,
                 "OrderChooseDialog::IsConfigPackageIntack(), package md5 not same ret,  szPachageHeadMD5=%s, "
                 "packageHead.szPackageMD5=%s",
                 check.bodyMd5.constData(), check.headerMd5.constData());
        return false;
    default:
        return false;
    }
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
