#include "TempAppDir.h"

#include "AppGlobals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempAppDir::TempAppDir(const QByteArray& configIni)
    : m_previousAppDir(AppDir)
{
    QDir root(m_dir.path());
    root.mkpath("Log_Dir");
    root.mkpath("CacheTestData");
    if (!configIni.isEmpty())
        writeFile("config.ini", configIni);
    AppDir = m_dir.path();
}

TempAppDir::~TempAppDir()
{
    AppDir = m_previousAppDir;
}

QString TempAppDir::path() const { return m_dir.path(); }

QString TempAppDir::file(const QString& relative) const { return m_dir.path() + "/" + relative; }

QString TempAppDir::configPath() const { return file("config.ini"); }

QByteArray TempAppDir::readFile(const QString& relative) const
{
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool TempAppDir::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString full = file(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

bool TempAppDir::blockConfigFile() const
{
    QFile::remove(configPath());
    return QDir().mkpath(configPath());
}

void TempAppDir::unblockConfigFile() const
{
    if (QFileInfo(configPath()).isDir())
        QDir(configPath()).removeRecursively();
}
