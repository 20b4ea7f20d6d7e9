#include "ConfigPackage.h"

#include <QCryptographicHash>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <memory>

namespace {

constexpr int kHeaderSize = 384;
constexpr int kLengthAt = 32;
constexpr int kMd5At = 320;
constexpr time_t kFixedTime = 1735689600;   // 2025-01-01: archives do not change from run to run

la_ssize_t AppendToArray(struct archive*, void* client, const void* buffer, size_t length)
{
    static_cast<QByteArray*>(client)->append(static_cast<const char*>(buffer), int(length));
    return la_ssize_t(length);
}

bool WriteEntry(struct archive* a, const ConfigPackage::Entry& e)
{
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname(entry.get(), e.name.c_str());
    archive_entry_set_mtime(entry.get(), kFixedTime, 0);
    archive_entry_set_uid(entry.get(), 0);
    archive_entry_set_gid(entry.get(), 0);
    switch (e.kind) {
    case ConfigPackage::Entry::File:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), e.data.size());
        break;
    case ConfigPackage::Entry::Directory:
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        archive_entry_set_perm(entry.get(), 0755);
        break;
    case ConfigPackage::Entry::Symlink:
        archive_entry_set_filetype(entry.get(), AE_IFLNK);
        archive_entry_set_perm(entry.get(), 0777);
        archive_entry_set_symlink(entry.get(), e.target.c_str());
        break;
    case ConfigPackage::Entry::Hardlink:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_hardlink(entry.get(), e.target.c_str());
        break;
    }
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK)
        return false;
    if (e.kind == ConfigPackage::Entry::File && !e.data.isEmpty() &&
        archive_write_data(a, e.data.constData(), size_t(e.data.size())) != e.data.size())
        return false;
    return true;
}

}  // namespace

QByteArray ConfigPackage::TarGz(const std::vector<Entry>& entries)
{
    QByteArray out;
    std::unique_ptr<struct archive, decltype(&archive_write_free)> a(archive_write_new(), archive_write_free);
    bool ok = archive_write_add_filter_gzip(a.get()) == ARCHIVE_OK &&
              archive_write_set_filter_option(a.get(), "gzip", "timestamp", nullptr) == ARCHIVE_OK &&
              archive_write_set_format_ustar(a.get()) == ARCHIVE_OK &&
              archive_write_open(a.get(), &out, nullptr, &AppendToArray, nullptr) == ARCHIVE_OK;
    for (size_t i = 0; ok && i < entries.size(); ++i)
        ok = WriteEntry(a.get(), entries[i]);
    ok = archive_write_close(a.get()) == ARCHIVE_OK && ok;
    return ok ? out : QByteArray();
}

bool ConfigPackage::ReadTarGz(const QByteArray& archive, std::vector<Entry>* entries)
{
    entries->clear();
    std::unique_ptr<struct archive, decltype(&archive_read_free)> a(archive_read_new(), archive_read_free);
    if (archive_read_support_filter_gzip(a.get()) != ARCHIVE_OK ||
        archive_read_support_format_tar(a.get()) != ARCHIVE_OK ||
        archive_read_open_memory(a.get(), archive.constData(), size_t(archive.size())) != ARCHIVE_OK)
        return false;
    archive_entry* entry = nullptr;
    int r;
    while ((r = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK) {
        Entry e(archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "", QByteArray());
        if (const char* hard = archive_entry_hardlink(entry)) {
            e.kind = Entry::Hardlink;
            e.target = hard;
        } else if (archive_entry_filetype(entry) == AE_IFLNK) {
            e.kind = Entry::Symlink;
            e.target = archive_entry_symlink(entry) ? archive_entry_symlink(entry) : "";
        } else if (archive_entry_filetype(entry) == AE_IFDIR) {
            e.kind = Entry::Directory;
        }
        char chunk[65536];
        la_ssize_t n;
        while ((n = archive_read_data(a.get(), chunk, sizeof chunk)) > 0)
            e.data.append(chunk, int(n));
        if (n < 0)
            return false;
        entries->push_back(e);
    }
    return r == ARCHIVE_EOF;
}

QByteArray ConfigPackage::WithHeader(const QByteArray& body)
{
    QByteArray head(kHeaderSize, '\0');
    const QByteArray name = "backend-sim package";
    memcpy(head.data(), name.constData(), size_t(name.size()));
    const QByteArray length = QByteArray::number(body.size());
    memcpy(head.data() + kLengthAt, length.constData(), size_t(length.size()));
    const QByteArray md5 = Md5Hex(body);
    memcpy(head.data() + kMd5At, md5.constData(), size_t(md5.size()));
    return head + body;
}

QByteArray ConfigPackage::ConfigXml()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SystemConfig version=\"V2.1.0\">\n"
           "  <Video mainWidth=\"1920\" mainHeight=\"1080\" mainFps=\"25\" subWidth=\"640\" subHeight=\"360\"/>\n"
           "  <Audio codec=\"G711A\" sampleRate=\"8000\" volume=\"80\"/>\n"
           "  <Network dhcp=\"1\" port=\"3000\"/>\n"
           "  <Osd time=\"1\" name=\"VT-IPC\"/>\n"
           "</SystemConfig>\n";
}

QByteArray ConfigPackage::HwConfigXml()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<HardwareConfig version=\"V2.1.0\">\n"
           "  <Sensor model=\"SC2336\" mirror=\"0\" flip=\"0\"/>\n"
           "  <Light infrared=\"1\" white=\"1\" mode=\"0\"/>\n"
           "  <Io alarmIn=\"1\" alarmOut=\"1\"/>\n"
           "</HardwareConfig>\n";
}

QByteArray ConfigPackage::Md5Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

QByteArray ConfigPackage::Fixture()
{
    return WithHeader(TarGz({{"config.xml", ConfigXml()}, {"hwconfig.xml", HwConfigXml()}}));
}
