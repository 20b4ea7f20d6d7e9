// The back-end simulator's fixtures that the station's tests build on: the
// configuration package it serves.
#include "BackendSimulator.h"
#include "ConfigPackage.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "TempAppDir.h"
#include "WorkOrderFiles.h"
#include "sim/SimProfile.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The digests of the served package's two files; the sample LAN profiles carry them.
constexpr const char* kSysCfgMd5 = "5f5fd45c5fb69f6e3945ea0bf187f8fc";   // config.xml
constexpr const char* kHwCfgMd5 = "a6963c90f21f743eb8538595590ff4df";    // hwconfig.xml

QByteArray Download(BackendSimulator& sim, const char* model)
{
    HttpClient client;
    std::vector<char> buf(65536);
    int len = 0;
    EXPECT_EQ(client.HttpGetConfigPackageDownloadAddr(sim.HostText().c_str(), 80, model, buf.data(), int(buf.size()),
                                                      &len), 0);
    Json::Value reply;
    std::string url;
    EXPECT_TRUE(JsonReply::ParseObject(buf.data(), &reply) && JsonReply::ReadString(reply, "url", &url));
    QString folder;
    EXPECT_TRUE(PrepareConfigPackageDir(model, &folder));
    EXPECT_EQ(client.HttpDownloadFile(sim.HostText().c_str(), 80, folder.toUtf8().constData(), url.c_str(), 0, "", 10),
              0);
    QFile f(folder + model + ".tgz");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

TEST(BackendSimPackageTest, ServedPackageHoldsConfigAndHwconfigBehindItsHeader)
{
    TempAppDir app;
    BackendSimulator sim;
    ASSERT_TRUE(sim.Start());
    for (const char* model : {"VC-200", "VC-310"}) {
        SCOPED_TRACE(model);
        const QByteArray package = Download(sim, model);
        ASSERT_GT(package.size(), CONFIG_PACKAGE_HEADER_SIZE);
        EXPECT_TRUE(IsConfigPackageIntack(app.file(QStringLiteral("ConfigFilePackage/%1/%1.tgz").arg(model))));
        const QByteArray body = package.mid(CONFIG_PACKAGE_HEADER_SIZE);
        EXPECT_EQ(body.left(2), QByteArray("\x1f\x8b"));   // gzip
        std::vector<ConfigPackage::Entry> entries;
        ASSERT_TRUE(ConfigPackage::ReadTarGz(body, &entries));
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].name, "config.xml");
        EXPECT_EQ(entries[1].name, "hwconfig.xml");
        for (const auto& e : entries)
            EXPECT_EQ(e.kind, ConfigPackage::Entry::File);
        EXPECT_EQ(ConfigPackage::Md5Hex(entries[0].data), kSysCfgMd5);
        EXPECT_EQ(ConfigPackage::Md5Hex(entries[1].data), kHwCfgMd5);
        EXPECT_EQ(package, ConfigPackage::Fixture());   // the same bytes every time
    }
}

// A camera of a sample profile takes the served package's digests with the
// package, so a run with automatic upgrade finds it matching afterwards.
TEST(BackendSimPackageTest, SampleCamerasTakeThePackageDigests)
{
    for (const char* name : {"SimProfile.json", "SimTypedProfile.json"}) {
        SCOPED_TRACE(name);
        SimProfile p;
        QString error;
        ASSERT_TRUE(SimProfile::Load(qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/" + name, &p, &error))
            << qPrintable(error);
        ASSERT_FALSE(p.cameras.isEmpty());
        for (const SimCameraConfig& c : p.cameras) {
            EXPECT_EQ(c.uploadedHwCfgMd5, kHwCfgMd5) << qPrintable(c.serial);
            EXPECT_EQ(c.uploadedSysCfgMd5, kSysCfgMd5) << qPrintable(c.serial);
            EXPECT_NE(c.hwCfgMd5, kHwCfgMd5) << qPrintable(c.serial);   // each needs the package first
        }
    }
}

// Tests build packages with awkward entries; what goes in comes back out.
TEST(BackendSimPackageTest, ArchivesHoldTheEntriesGiven)
{
    using E = ConfigPackage::Entry;
    const std::vector<E> given = {
        E("../config.xml", "<climbs out/>"),
        E("sub/", QByteArray(), E::Directory),
        E("sub/hwconfig.xml", "<in a folder/>"),
        E("hwconfig.xml", QByteArray(), E::Symlink, "/etc/passwd"),
        E("config.xml", QByteArray(), E::Hardlink, "sub/hwconfig.xml"),
        E("big.xml", QByteArray(5 * 1024 * 1024, 'x')),
        E("empty.xml", QByteArray()),
    };
    const QByteArray archive = ConfigPackage::TarGz(given);
    ASSERT_FALSE(archive.isEmpty());
    EXPECT_LT(archive.size(), 64 * 1024);   // the big entry compresses
    EXPECT_EQ(ConfigPackage::TarGz(given), archive);
    std::vector<E> back;
    ASSERT_TRUE(ConfigPackage::ReadTarGz(archive, &back));
    ASSERT_EQ(back.size(), given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        SCOPED_TRACE(given[i].name);
        EXPECT_EQ(back[i].name, given[i].name);
        EXPECT_EQ(back[i].kind, given[i].kind);
        EXPECT_EQ(back[i].target, given[i].target);
        if (given[i].kind == E::File) {
            EXPECT_EQ(back[i].data, given[i].data);
        }
    }

    const QByteArray package = ConfigPackage::WithHeader(archive);
    EXPECT_EQ(package.mid(32, 8), QByteArray::number(archive.size()).leftJustified(8, '\0'));
    EXPECT_EQ(package.mid(320, 33), ConfigPackage::Md5Hex(archive) + '\0');
    EXPECT_FALSE(ConfigPackage::ReadTarGz("not an archive", &back));
}

}  // namespace
