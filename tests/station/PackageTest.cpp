// Unpacking the order's configuration package at the start of a run: the
// header checks, which archive entries count, and what stays on disk.
#include "ControllerFixture.h"

#include "ConfigPackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

using Entry = ConfigPackage::Entry;

const QByteArray kSys = "<config><item name=\"a\"/></config>\n";
const QByteArray kHw = "<hwconfig board=\"7\"/>\n";

QByteArray Md5Hex(const QByteArray& bytes)
{
    return ConfigPackage::Md5Hex(bytes);
}

QByteArray TarGz(const std::vector<Entry>& entries)
{
    return ConfigPackage::TarGz(entries);
}

QByteArray Package(const QByteArray& body)
{
    return ConfigPackage::WithHeader(body);
}

// A package whose header carries the given length and digest texts.
QByteArray PackageWithHeader(const QByteArray& body, const QByteArray& length, const QByteArray& md5)
{
    QByteArray package = ConfigPackage::WithHeader(body);
    package.replace(32, 288, QByteArray(288, '\0').replace(0, length.size(), length));
    package.replace(320, 64, QByteArray(64, '\0').replace(0, md5.size(), md5));
    return package;
}

class PackageTest : public ControllerTest {
protected:
    int Unpack(const QString& path) { return UnCompressLocalConfigFile(path, sysMd5, hwMd5); }

    int UnpackBytes(const QByteArray& package)
    {
        EXPECT_TRUE(s_dir->writeFile("order.tgz", package));
        return Unpack(s_dir->file("order.tgz"));
    }

    // What the unpacking may leave in the program folder and beside it.
    static QStringList Leftovers()
    {
        QStringList found;
        const QDir app(s_dir->path());
        for (const QString& name : app.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (name.startsWith("unpack-") || name.endsWith(".xml"))
                found << name;
        }
        QDir parent(app);
        parent.cdUp();
        for (const char* name : {"config.xml", "hwconfig.xml"}) {
            if (parent.exists(name))
                found << QString("../") + name;
        }
        return found;
    }

    // The digests the last unpacking gave.
    QString sysMd5;
    QString hwMd5;
};

struct UnpackCase {
    const char* name;
    QByteArray package;
    int result;
    QByteArray sysDigest = {};   // expected digests when result is 0; failing cases leave them out
    QByteArray hwDigest = {};
};

TEST_F(PackageTest, EachFailingStepHasItsResultAndNothingIsLeftBehind)
{
    const QByteArray good = TarGz({{"config.xml", kSys}, {"hwconfig.xml", kHw}});
    // Bytes gzip cannot shrink, so that half of the archive ends inside the file.
    QByteArray noise(64 * 1024, '\0');
    uint32_t state = 2463534242u;
    for (char& byte : noise) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state);
    }
    const QByteArray cut = TarGz({{"hwconfig.xml", kHw}, {"config.xml", noise}});
    const UnpackCase cases[] = {
        {"both files", Package(good), 0, Md5Hex(kSys), Md5Hex(kHw)},
        {"files in folders of the archive",
         Package(TarGz({{"cfg", "", Entry::Directory}, {"cfg/config.xml", kSys}, {"a/b/hwconfig.xml", kHw}})), 0,
         Md5Hex(kSys), Md5Hex(kHw)},
        {"an entry climbing out is read under its own name",
         Package(TarGz({{"../config.xml", kSys}, {"../../hwconfig.xml", kHw}})), 0, Md5Hex(kSys), Md5Hex(kHw)},
        {"the last of two same names counts",
         Package(TarGz({{"config.xml", "old"}, {"hwconfig.xml", kHw}, {"x/config.xml", kSys}})), 0, Md5Hex(kSys),
         Md5Hex(kHw)},
        {"an empty file has a digest", Package(TarGz({{"config.xml", ""}, {"hwconfig.xml", kHw}})), 0, Md5Hex(""),
         Md5Hex(kHw)},
        {"length off by one", PackageWithHeader(good, QByteArray::number(good.size() + 1), Md5Hex(good)), -4},
        {"digest of another body", PackageWithHeader(good, QByteArray::number(good.size()), Md5Hex("x")), -5},
        {"upper-case digest", PackageWithHeader(good, QByteArray::number(good.size()), Md5Hex(good).toUpper()), -5},
        {"no digest", PackageWithHeader(good, QByteArray::number(good.size()), ""), -5},
        {"shorter than its header", QByteArray("tiny"), -5},
        {"hwconfig.xml missing", Package(TarGz({{"config.xml", kSys}, {"readme.txt", "x"}})), -6},
        {"config.xml a symbolic link",
         Package(TarGz({{"config.xml", "", Entry::Symlink, "/etc/passwd"}, {"hwconfig.xml", kHw}})), -6},
        {"config.xml a hard link",
         Package(TarGz({{"hwconfig.xml", kHw}, {"config.xml", "", Entry::Hardlink, "hwconfig.xml"}})), -6},
        {"config.xml a folder", Package(TarGz({{"config.xml", "", Entry::Directory}, {"hwconfig.xml", kHw}})), -6},
        {"config.xml larger than a configuration file",
         Package(TarGz({{"config.xml", QByteArray(5 * 1024 * 1024, ' ')}, {"hwconfig.xml", kHw}})), -6},
        {"a body that is no archive", Package(QByteArray(512, 'z')), -6},
        {"an archive cut inside a file", Package(cut.left(cut.size() / 2)), -6},
    };
    for (const UnpackCase& c : cases) {
        SCOPED_TRACE(c.name);
        sysMd5 = "stale";
        hwMd5 = "stale";
        EXPECT_EQ(UnpackBytes(c.package), c.result);
        EXPECT_EQ(sysMd5.toLatin1(), c.result == 0 ? c.sysDigest : QByteArray());
        EXPECT_EQ(hwMd5.toLatin1(), c.result == 0 ? c.hwDigest : QByteArray());
        EXPECT_EQ(Leftovers(), QStringList());
        EXPECT_EQ(QFile::exists(s_dir->file("config_raw_data.tgz")), c.result != 0) << "the body goes on success";
    }
}

TEST_F(PackageTest, AFileLeftByAnEarlierRunIsNotDigested)
{
    s_dir->writeFile("config.xml", kSys);
    EXPECT_EQ(UnpackBytes(Package(TarGz({{"hwconfig.xml", kHw}}))), -6);
    EXPECT_TRUE(sysMd5.isEmpty());
    QFile::remove(s_dir->file("config.xml"));
}

TEST_F(PackageTest, PathsThatCannotBeUnpackedOrUploaded)
{
    EXPECT_EQ(Unpack(QString()), -1);
    EXPECT_EQ(Unpack(s_dir->file("missing.tgz")), -2);

    // A good package whose path the upload call could not take whole.
    QString folder = s_dir->path();
    while (folder.size() < 250)
        folder += "/" + QString(40, 'd');
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString longPath = folder + "/order.tgz";
    QFile file(longPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Package(TarGz({{"config.xml", kSys}, {"hwconfig.xml", kHw}})));
    file.close();
    ASSERT_GE(QFile::encodeName(longPath).size(), 260);
    EXPECT_EQ(Unpack(longPath), -2);

    // The body file can't be made.
    QFile::remove(s_dir->file("config_raw_data.tgz"));
    ASSERT_TRUE(QDir(s_dir->path()).mkdir("config_raw_data.tgz"));
    EXPECT_EQ(UnpackBytes(Package(TarGz({{"config.xml", kSys}, {"hwconfig.xml", kHw}}))), -3);
    ASSERT_TRUE(QDir(s_dir->path()).rmdir("config_raw_data.tgz"));
    EXPECT_EQ(UnpackBytes(Package(TarGz({{"config.xml", kSys}, {"hwconfig.xml", kHw}}))), 0);
}

}  // namespace
