#pragma once

#include <QString>

// What a work order leaves on disk under the program folder: the configuration
// package (a 384-byte text header, then the .tgz body) and the folders of the
// order's files. Every path stays inside the program folder.

constexpr int CONFIG_PACKAGE_HEADER_SIZE = 384;

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
