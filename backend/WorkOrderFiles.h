#pragma once

#include <QString>

// What a work order leaves on disk under the program folder: the configuration
// package (a 384-byte text header, then the .tgz body) and the folders of the
// order's files. Every path stays inside the program folder.

constexpr int CONFIG_PACKAGE_HEADER_SIZE = 384;

// What reading a package's header and writing out its body found.
struct ConfigPackageCheck {
    enum Result {
        Intact = 0,
        NoPath,            // the path is empty
        OpenFailed,        // the package can't be opened or read
        BodyFailed,        // the body file can't be created or written
        LengthDiffers,     // the body's length is not the header's
        Md5Differs,        // the body's MD5 is not the header's (or either is missing)
    };
    Result result = NoPath;
    QString bodyPath;               // "<program folder>/config_raw_data.tgz"
    qint64 bodyLength = 0;
    QByteArray headerLength;        // the header's length text, read within its field
    QByteArray bodyMd5;             // lower-case hex
    QByteArray headerMd5;
};

// Copies the body of the package at packagePath to "<program folder>/config_raw_data.tgz"
// and checks it against the header. Logs nothing: callers log in their own words.
ConfigPackageCheck CheckConfigPackage(const QString& packagePath);

// The body of the package at packagePath goes to "<program folder>/config_raw_data.tgz";
// true when its length and lower-case MD5 match the header. A header without a
// digest fails.
bool IsConfigPackageIntack(const QString& packagePath);

// The folder name a model from the back-end may become: "/", "\\" and NUL mapped to
// "_"; empty (refused) for "", "." and "..".
QString ConfigPackageFolderName(const QString& model);

// Creates "<program folder>/ConfigFilePackage/<model>/" and deletes the plain files in
// it (hidden ones too; symbolic links and sub-folders stay). *folder receives the
// folder path with a trailing "/". False for a refused model name or a folder that
// can't be made.
bool PrepareConfigPackageDir(const QString& model, QString* folder = nullptr);
// The same for "<program folder>/AudioAlarmFile/" and "<program folder>/LogoFile/".
bool ClearAudioAlarmFileDir(QString* folder = nullptr);
bool ClearLogoFileDir(QString* folder = nullptr);
