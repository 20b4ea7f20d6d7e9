#pragma once

// Configuration packages for tests: a gzip tar body built with libarchive
// behind the 384-byte header (length text at byte 32, MD5 text at byte 320).

#include <QByteArray>
#include <QCryptographicHash>

#include <archive.h>
#include <archive_entry.h>

#include <sys/stat.h>

#include <cstring>
#include <vector>

struct TarEntry {
    enum Kind { File, Symlink, HardLink, Folder };
    QByteArray path;
    QByteArray data;             // file contents, or the link target
    Kind kind = File;
};

inline QByteArray TarGz(const std::vector<TarEntry>& entries)
{
    QByteArray out;
    archive* writer = archive_write_new();
    archive_write_add_filter_gzip(writer);
    archive_write_set_format_pax_restricted(writer);
    archive_write_set_bytes_in_last_block(writer, 1);
    archive_write_open(
        writer, &out, nullptr,
        [](archive*, void* user, const void* buffer, size_t length) -> la_ssize_t {
            static_cast<QByteArray*>(user)->append(static_cast<const char*>(buffer), int(length));
            return la_ssize_t(length);
        },
        nullptr);
    for (const TarEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.constData());
        archive_entry_set_perm(entry, 0644);
        switch (e.kind) {
        case TarEntry::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, e.data.size());
            break;
        case TarEntry::Symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.data.constData());
            break;
        case TarEntry::HardLink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, e.data.constData());
            archive_entry_set_size(entry, 0);
            break;
        case TarEntry::Folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            break;
        }
        archive_write_header(writer, entry);
        if (e.kind == TarEntry::File && !e.data.isEmpty())
            archive_write_data(writer, e.data.constData(), size_t(e.data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

inline QByteArray Md5Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// The package file: header with the given length and digest texts, then the body.
inline QByteArray PackageWithHeader(const QByteArray& body, const QByteArray& length, const QByteArray& md5)
{
    QByteArray head(384, '\0');
    std::memcpy(head.data(), "config package", 14);
    std::memcpy(head.data() + 32, length.constData(), size_t(length.size()));
    std::memcpy(head.data() + 320, md5.constData(), size_t(md5.size()));
    return head + body;
}

inline QByteArray Package(const QByteArray& body)
{
    return PackageWithHeader(body, QByteArray::number(body.size()), Md5Hex(body));
}

// A package holding the two configuration files.
inline QByteArray ConfigPackage(const QByteArray& sysConfig, const QByteArray& hwConfig)
{
    return Package(TarGz({{"config.xml", sysConfig}, {"hwconfig.xml", hwConfig}}));
}
