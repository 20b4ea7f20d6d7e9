#pragma once

#include <QByteArray>

#include <string>
#include <utility>
#include <vector>

// The configuration package the back-end serves for a model: a 384-byte text
// header (decimal body length at byte 32, lower-case MD5 hex of the body at
// byte 320), then a gzip-compressed tar archive holding config.xml and
// hwconfig.xml. Tests use the pieces to build packages of their own (other
// files, links, names that climb out of the folder, oversized entries).
class ConfigPackage {
public:
    struct Entry {
        enum Kind { File, Directory, Symlink, Hardlink };
        Entry(std::string entryName, QByteArray content, Kind entryKind = File, std::string linkTarget = {})
            : name(std::move(entryName)), data(std::move(content)), kind(entryKind), target(std::move(linkTarget))
        {
        }
        std::string name;        // the path stored in the archive, as given
        QByteArray data;         // a file's content
        Kind kind = File;
        std::string target;      // a link's target
    };

    // A gzip tar archive of the entries, the same bytes every time; empty if
    // the archive cannot be written.
    static QByteArray TarGz(const std::vector<Entry>& entries);
    // The entries of a gzip tar archive, in order; false for bytes that are no such archive.
    static bool ReadTarGz(const QByteArray& archive, std::vector<Entry>* entries);
    // The 384-byte header for the body, followed by the body.
    static QByteArray WithHeader(const QByteArray& body);
    // The two files of the package the simulator serves, and their MD5 (lower-case hex).
    static QByteArray ConfigXml();
    static QByteArray HwConfigXml();
    static QByteArray Md5Hex(const QByteArray& bytes);
    // The package the simulator serves for every model.
    static QByteArray Fixture();
};
