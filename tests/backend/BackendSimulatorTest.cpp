// The back-end simulator's fixtures that the station's tests build on: the
// configuration package it serves and the two-card SIM query.
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
    const HttpResult result = client.Get(BackendEndpoint{sim.HostText()}, HttpClient::Query::PackageAddress, {model});
    EXPECT_EQ(result.Value(), 0);
    Json::Value reply;
    std::string url;
    EXPECT_TRUE(JsonReply::ParseObject(result.body.c_str(), &reply) && JsonReply::ReadString(reply, "url", &url));
    QString folder;
    EXPECT_TRUE(PrepareConfigPackageDir(model, &folder));
    EXPECT_EQ(CodeValue(client.HttpDownloadFile(BackendEndpoint{sim.HostText()}, folder.toUtf8().constData(),
                                                url.c_str(), 0, "", 10)),
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
    for (const char* name : {"SimProfile.json", "SimTypedProfile.json", "SimLineProfile.json"}) {
        SCOPED_TRACE(name);
        SimProfile p;
        QString error;
        ASSERT_TRUE(SimProfile::Load(qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/" + name, &p, &error))
            << qPrintable(error);
        QVector<SimCameraConfig> cameras = p.cameras;
        if (p.line.count > 0)
            cameras.push_back(p.line.camera);
        ASSERT_FALSE(cameras.isEmpty());
        for (const SimCameraConfig& c : cameras) {
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

class BackendSimIccidTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.Start()); }

    // The reply body to a device/info/query for the ICCID text.
    std::string Body(const char* iccid, int subtype)
    {
        HttpClient client;
        const HttpResult result = client.Get(BackendEndpoint{sim.HostText()}, HttpClient::Query::DeviceInfo,
                                             {"VT21G60000000004", iccid, subtype});
        EXPECT_EQ(result.Value(), 0);
        return result.body;
    }

    Json::Value Query(const char* iccid, int subtype)
    {
        const std::string body = Body(iccid, subtype);
        Json::Value root;
        EXPECT_TRUE(JsonReply::ParseObject(body, &root)) << body;
        return root;
    }

    BackendSimulator sim;
};

// A two-card query is answered with "iccid_info" naming both cards: as an
// object of two members named by the ICCIDs, or as the array variant.
TEST_F(BackendSimIccidTest, TwoCardQueryNamesBothCards)
{
    const char* two = "89860312345678900004,89860012345678900004";
    const std::string card = R"({"is_vrl":1,"card_status":1,"is_locked":0})";
    EXPECT_NE(Body(two, 6).find(R"("iccid_info":{"89860312345678900004":)" + card + R"(,"89860012345678900004":)" +
                                card + "}}"),
              std::string::npos)
        << Body(two, 6);
    const Json::Value object = Query(two, 6)["iccid_info"];
    ASSERT_TRUE(object.isObject());
    EXPECT_EQ(object.getMemberNames(),
              std::vector<std::string>({"89860012345678900004", "89860312345678900004"}));   // sorted by jsoncpp
    for (const std::string& card : object.getMemberNames()) {
        EXPECT_EQ(object[card]["is_vrl"].asInt(), 1);
        EXPECT_EQ(object[card]["card_status"].asInt(), 1);
        EXPECT_EQ(object[card]["is_locked"].asInt(), 0);
    }

    sim.SetIccidInfoForm(BackendSimulator::IccidInfoForm::Array);
    EXPECT_NE(Body(two, 6).find(R"("iccid_info":[{"iccid":"89860312345678900004","is_vrl":1,"card_status":1,)"
                                R"("is_locked":0},{"iccid":"89860012345678900004","is_vrl":1,"card_status":1,)"
                                R"("is_locked":0}]})"),
              std::string::npos);
    const Json::Value array = Query(two, 6)["iccid_info"];
    ASSERT_TRUE(array.isArray());
    ASSERT_EQ(array.size(), 2u);
    EXPECT_EQ(array[0]["iccid"].asString(), "89860312345678900004");
    EXPECT_EQ(array[1]["iccid"].asString(), "89860012345678900004");
    EXPECT_EQ(array[1]["card_status"].asInt(), 1);

    // One card: the array of that card and an empty second, whatever the form.
    EXPECT_NE(Body("89860312345678900003", 3)
                  .find(R"("iccid_info":[{"iccid":"89860312345678900003","is_vrl":1},{"iccid":"","is_vrl":0}]})"),
              std::string::npos);
    const Json::Value one = Query("89860312345678900003", 3);
    EXPECT_EQ(one["is_vrl"].asInt(), 1);
    ASSERT_TRUE(one["iccid_info"].isArray());
    EXPECT_EQ(one["iccid_info"][0]["iccid"].asString(), "89860312345678900003");
    EXPECT_EQ(one["iccid_info"][1]["iccid"].asString(), "");
}

}  // namespace
