#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A throw-away application folder (config.ini, Log_Dir, CacheTestData) that
// AppDir points at while the object lives.
class TempAppDir {
public:
    // configIni: the bytes of config.ini; an empty array writes no file.
    explicit TempAppDir(const QByteArray& configIni = QByteArray());
    ~TempAppDir();
    TempAppDir(const TempAppDir&) = delete;
    TempAppDir& operator=(const TempAppDir&) = delete;

    QString path() const;
    QString file(const QString& relative) const;   // path() + "/" + relative
    QString configPath() const;
    QByteArray readFile(const QString& relative) const;
    bool writeFile(const QString& relative, const QByteArray& bytes) const;
    // No write reaches config.ini while a folder stands in its place (its bytes go).
    bool blockConfigFile() const;
    // Removes that folder, if any.
    void unblockConfigFile() const;

private:
    QTemporaryDir m_dir;
    QString m_previousAppDir;
};
