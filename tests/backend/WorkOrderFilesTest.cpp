// Configuration package check, order folders and the test configuration record.
#include "BackendSimulator.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "TempAppDir.h"
#include "TestConfig.h"
#include "WorkOrderFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace {

QByteArray Header(const QByteArray& length, const QByteArray& md5)
{
    QByteArray head(384, '\0');
    memcpy(head.data(), "package", 7);
    memcpy(head.data() + 32, length.constData(), size_t(std::min(length.size(), 288)));
    memcpy(head.data() + 320, md5.constData(), size_t(std::min(md5.size(), 64)));
    return head;
}

QByteArray Md5Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

Json::Value Parse(const std::string& text)
{
    Json::Value root;
    EXPECT_TRUE(JsonReply::ParseObject(text, &root)) << text;
    return root;
}

}  // namespace

TEST(ConfigPackageTest, HeaderChecks)
{
    TempAppDir app;
    const QByteArray body = "fixture archive body \x01\x02\x03";
    struct Case {
        const char* name;
        QByteArray file;
        bool intact;
    } cases[] = {
        {"matching", Header(QByteArray::number(body.size()), Md5Hex(body)) + body, true},
        {"length with blanks and sign", Header("  +" + QByteArray::number(body.size()) + "x", Md5Hex(body)) + body,
         true},
        {"wrong length", Header(QByteArray::number(body.size() + 1), Md5Hex(body)) + body, false},
        {"upper-case digest", Header(QByteArray::number(body.size()), Md5Hex(body).toUpper()) + body, false},
        {"empty body, empty digest", Header("0", ""), false},
        {"digest of another body", Header(QByteArray::number(body.size()), Md5Hex("other")) + body, false},
        {"shorter than the header", QByteArray("tiny"), false},
        // Fields filled to their width with no NUL are still read within it.
        {"fields without terminator", Header(QByteArray(288, '9'), QByteArray(64, 'f')) + body, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(app.writeFile("pkg.tgz", c.file));
        EXPECT_EQ(IsConfigPackageIntack(app.file("pkg.tgz")), c.intact);
        EXPECT_EQ(app.readFile("config_raw_data.tgz"), c.file.mid(384));
    }
    EXPECT_FALSE(IsConfigPackageIntack(QString()));
    EXPECT_FALSE(IsConfigPackageIntack(app.file("missing.tgz")));
}

TEST(ConfigPackageTest, SimulatorPackagePassesAfterDownload)
{
    TempAppDir app;
    BackendSimulator sim;
    ASSERT_TRUE(sim.Start());
    HttpClient client;
    const HttpResult result =
        client.Get(BackendEndpoint{sim.HostText()}, HttpClient::Query::PackageAddress, {"VC-200"});
    ASSERT_EQ(result.Value(), 0);
    Json::Value reply = Parse(result.body.c_str());
    std::string url;
    ASSERT_TRUE(JsonReply::ReadString(reply, "url", &url));
    QString folder;
    ASSERT_TRUE(PrepareConfigPackageDir("VC-200", &folder));
    ASSERT_EQ(CodeValue(client.HttpDownloadFile(BackendEndpoint{sim.HostText()}, folder.toUtf8().constData(),
                                                url.c_str(), 0, "", 10)),
              0);
    EXPECT_TRUE(IsConfigPackageIntack(folder + "VC-200.tgz"));
}

TEST(OrderFoldersTest, ModelNamesStayInsideThePackageFolder)
{
    struct Case {
        const char* model;
        const char* folder;   // nullptr: refused
    } cases[] = {
        {"VC-200", "VC-200"}, {"../../etc", ".._.._etc"}, {"a\\b", "a_b"}, {"..", nullptr}, {".", nullptr},
        {"", nullptr}, {"/", "_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const QString name = ConfigPackageFolderName(c.model);
        EXPECT_EQ(name, c.folder ? QString(c.folder) : QString());
    }
    EXPECT_EQ(ConfigPackageFolderName(QString("a") + QChar(0) + "b"), "a_b");

    TempAppDir app;
    app.writeFile("ConfigFilePackage/keep.txt", "outside the model folder");
    EXPECT_FALSE(PrepareConfigPackageDir(".."));
    EXPECT_FALSE(PrepareConfigPackageDir(""));
    EXPECT_EQ(app.readFile("ConfigFilePackage/keep.txt"), QByteArray("outside the model folder"));
}

TEST(OrderFoldersTest, EmptyingDeletesPlainFilesOnly)
{
    TempAppDir app;
    app.writeFile("ConfigFilePackage/VC-200/old.tgz", "old");
    app.writeFile("ConfigFilePackage/VC-200/.hidden", "h");
    app.writeFile("ConfigFilePackage/VC-200/sub/inner.txt", "inner");
    app.writeFile("elsewhere.txt", "target");
    ASSERT_EQ(::symlink(app.file("elsewhere.txt").toUtf8().constData(),
                        app.file("ConfigFilePackage/VC-200/link").toUtf8().constData()), 0);
    QString folder;
    ASSERT_TRUE(PrepareConfigPackageDir("VC-200", &folder));
    EXPECT_EQ(folder, app.path() + "/ConfigFilePackage/VC-200/");
    EXPECT_FALSE(QFileInfo::exists(folder + "old.tgz"));
    EXPECT_FALSE(QFileInfo::exists(folder + ".hidden"));
    EXPECT_EQ(app.readFile("ConfigFilePackage/VC-200/sub/inner.txt"), QByteArray("inner"));
    EXPECT_TRUE(QFileInfo(folder + "link").isSymLink());
    EXPECT_EQ(app.readFile("elsewhere.txt"), QByteArray("target"));

    app.writeFile("AudioAlarmFile/a.mp3", "a");
    app.writeFile("LogoFile/l.png", "l");
    EXPECT_TRUE(ClearAudioAlarmFileDir(&folder));
    EXPECT_TRUE(QDir(folder).isEmpty());
    EXPECT_TRUE(ClearLogoFileDir(&folder));
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST(TestConfigTest, SimulatorOrderConfigurationIsReadWhole)
{
    BackendSimulator sim;
    ASSERT_TRUE(sim.Start());
    HttpClient client;
    const HttpResult result = client.Get(BackendEndpoint{sim.HostText()}, HttpClient::Query::TestConfig, {"VC-200"});
    ASSERT_EQ(result.Value(), 0);
    TestConfig c;
    QString error;
    ASSERT_TRUE(ParseTestConfigReply(result.body.c_str(), &c, &error)) << qPrintable(error);
    EXPECT_EQ(c.name, "VC-200 standard");
    EXPECT_EQ(c.upload_config_file, 1);
    EXPECT_EQ(c.wifi_signal_Level, 60);
    EXPECT_FLOAT_EQ(c.wifi_signal_quality, 0.35f);
    EXPECT_EQ(c.config_version, "V2.1.0");
    EXPECT_EQ(c.auto_test_info, "1,2,3,4");
    ASSERT_EQ(c.stepLists.size(), 1);
    ASSERT_EQ(c.stepLists[0].size(), 2);
    EXPECT_EQ(c.stepLists[0][0].name, "MANUAL_TRUMPET");
    EXPECT_EQ(c.stepLists[0][0].time, 5);
    EXPECT_EQ(c.stepLists[0][1].time, 3);
    ASSERT_EQ(c.customize_test_items.size(), 1);
    EXPECT_EQ(c.customize_test_items[0].mark, "sticker");
    EXPECT_EQ(c.customize_test_items[0].result, 0);
}

TEST(TestConfigTest, ConversionsAndStepRules)
{
    TestConfig c;
    QString error;
    ASSERT_TRUE(ParseTestConfig(Parse(R"({"lock_param":true,"name":12,"quality_4g":0.5,"wifi_signal_quality":"x",
        "wifi_average_speed":20.9,"signal_4g":-2.7,
        "ma_config_data":[{"id":1,"name":"a","time":0},{"id":2,"name":"b","time":-5},{"id":3,"name":"c","time":"soon"},
                          {"id":4,"name":"d","time":30},{"id":5,"name":"e","time":"30"}]})"), &c, &error));
    EXPECT_EQ(c.lock_param, 1);
    // An int key takes any JSON number in int range, cut toward zero.
    EXPECT_EQ(c.wifi_average_speed, 20);
    EXPECT_EQ(c.signal_4g, -2);
    EXPECT_EQ(c.name, "12");
    EXPECT_FLOAT_EQ(c.quality_4g, 0.5f);
    EXPECT_FLOAT_EQ(c.wifi_signal_quality, 0.0f);
    EXPECT_EQ(c.test_dev_type, 0);   // missing key
    ASSERT_EQ(c.stepLists.size(), 1);
    ASSERT_EQ(c.stepLists[0].size(), 2);
    EXPECT_EQ(c.stepLists[0][0].id, 4);
    EXPECT_EQ(c.stepLists[0][1].time, 30);

    // A channel count that does not match the lists leaves no steps at all.
    ASSERT_TRUE(ParseTestConfig(Parse(R"({"ma_config_data":[{"id":1,"name":"a","time":9}],
        "channel_config_arr":{"channel_num":2,"list":[[],[],[]]}})"), &c, &error));
    EXPECT_TRUE(c.stepLists.isEmpty());
    ASSERT_TRUE(ParseTestConfig(Parse(R"({"channel_config_arr":{"channel_num":2,
        "list":[[{"id":1,"name":"a","time":4}],[{"id":2,"name":"b","time":6},{"id":3,"name":"c","time":7}]]}})"),
                                &c, &error));
    ASSERT_EQ(c.stepLists.size(), 2);
    EXPECT_EQ(c.stepLists[0].size(), 1);
    EXPECT_EQ(c.stepLists[1].size(), 2);

    ASSERT_TRUE(ParseTestConfig(Json::Value(), &c, &error));   // no "data": zeros
    EXPECT_EQ(c.name, QString());
}

TEST(TestConfigTest, WrongKindsAreReportedNotThrown)
{
    struct Case {
        const char* json;
        const char* key;
    } cases[] = {
        {R"({"test_dev_type":"1"})", "test_dev_type"},
        {R"({"wifi_test_time":4294967296})", "wifi_test_time"},
        {R"({"name":{"x":1}})", "name"},
        {R"({"ma_config_data":{"id":1}})", "ma_config_data"},
        {R"({"ma_config_data":[5]})", "element 0"},
        {R"({"ma_config_data":[{"id":"one","time":3}]})", "id"},
        {R"({"channel_config_arr":[1]})", "channel_config_arr"},
        {R"({"channel_config_arr":{"channel_num":1,"list":{}}})", "list"},
        {R"({"customize_test_items":[{"id":1,"mark":[]}]})", "mark"},
        {R"({"customize_test_items":"none"})", "customize_test_items"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        TestConfig config;
        config.name = "stale";
        QString error;
        EXPECT_FALSE(ParseTestConfig(Parse(c.json), &config, &error));
        EXPECT_EQ(error, c.key);
        EXPECT_EQ(config.name, QString());
    }
    TestConfig config;
    QString error;
    EXPECT_FALSE(ParseTestConfigReply("[1,2]", &config, &error));
    EXPECT_FALSE(ParseTestConfigReply("{\"data\":[]}", &config, &error));
    EXPECT_EQ(error, "data");
    EXPECT_FALSE(ParseTestConfigReply(nullptr, &config, &error));
}
