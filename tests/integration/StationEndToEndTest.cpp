// The station program as an operator meets it: started in an application
// folder of its own on the Xvfb display, logged in from config.ini, the work
// order picked with the mouse, three simulated cameras tested one after the
// other and submitted to the back-end simulator, one of them again when it is
// put back for a retest, then closed with the title bar's close button.
// Cameras leave the LAN once their chain has ended.
#include "BackendSimulator.h"
#include "StationDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kDialogMs = 120000;     // sanitizer start-up on a busy machine
constexpr int kCamerasMs = 480000;    // four chains one after the other, sanitized
const char kOrder[] = "WO20240301-01";

// One camera of the LAN: it leaves shortly after the chain's last automatic
// command (the Wi-Fi signal query of test type 0). extra: more members, with a
// leading comma.
QByteArray Camera(const char* serial, const char* address, const char* gateway, const char* faults,
                  const char* extra = "")
{
    return QByteArray(R"({"serial": ")") + serial + R"(", "type": "IPC", "address": ")" + address
           + R"(", "netmask": "255.255.255.0", "gateway": ")" + gateway + R"(", "port": 3000,
         "devMType": 101, "devType": 1, "cloudId": "VTC)" + QByteArray(serial).mid(3) + R"(",
         "uploadedHwCfgMd5": "a6963c90f21f743eb8538595590ff4df",
         "uploadedSysCfgMd5": "5f5fd45c5fb69f6e3945ea0bf187f8fc",
         "leaveOnCommand": 1526, "leaveAfterCommandMs": 2000, "linkLossDelayMs": 500,
         "media": {"width": 320, "height": 176, "fps": 10, "sampleRate": 8000, "bits": 16, "channels": 1,
                   "toneHz": 1000},
         "faults": )" + faults + extra + "}";
}

const char kGoodSerial1[] = "VT21E00000000001";
const char kGoodSerial2[] = "VT21E00000000002";
const char kFaultySerial[] = "VT21E00000000003";

QByteArray Profile()
{
    return R"({"adapter": {"name": "Simulated LAN", "address": "127.0.0.5", "netmask": "255.255.255.0",
                           "mac": "02:56:54:00:00:05"},
               "cameras": [)"
           + Camera(kGoodSerial1, "192.168.0.123", "192.168.0.1", "{}") + ","
           + Camera(kGoodSerial2, "127.0.0.22", "127.0.0.1", "{}") + ","
           // The real-time clock never answers: its item times out and fails.
           + Camera(kFaultySerial, "127.0.0.23", "127.0.0.1", R"({"noReply": [1204]})") + ","
           // The first camera put back for a retest at the factory address, about
           // when it has left; should it come before, it waits as a duplicate.
           + Camera(kGoodSerial1, "192.168.0.123", "192.168.0.1", "{}", R"(, "joinAfterMs": 60000)") + "]}";
}

QByteArray DemoTestConfig()
{
    QFile f(qEnvironmentVariable("STATION_SOURCE_DIR") + "/scripts/demo/TestConfig.json");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sanitizer reports of the station go to files under dir, not to its output.
QProcessEnvironment StationEnvironment(const QString& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
        const QString prefix = QString::fromLatin1(name).left(5).toLower();
        QString value = env.value(name);
        value += (value.isEmpty() ? "" : ":") + QStringLiteral("log_path=%1/%2").arg(dir, prefix);
        env.insert(name, value);
    }
    return env;
}

QString SanitizerReports(const QString& dir)
{
    QString all;
    for (const QString& name : QDir(dir).entryList(QDir::Files)) {
        QFile f(QDir(dir).filePath(name));
        if (f.open(QIODevice::ReadOnly))
            all += name + ":\n" + QString::fromLocal8Bit(f.readAll().left(20000));
    }
    return all;
}

std::map<QString, QString> FormFields(const std::string& form)
{
    std::map<QString, QString> fields;
    const QUrlQuery query(QString::fromStdString(form));
    for (const auto& item : query.queryItems(QUrl::FullyDecoded))
        fields[item.first] = item.second;
    return fields;
}

// The back-end simulator with the demo's test configuration, and an application
// folder of the station's own with a folder for its sanitizer reports.
class StationEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QDir().mkpath(reports));
    }

    // Starts the simulator and lays the folder out for the simulated LAN of profile.
    void LayOut(const QByteArray& profile)
    {
        const QByteArray testConfig = DemoTestConfig();
        ASSERT_FALSE(testConfig.isEmpty()) << "scripts/demo/TestConfig.json not found";
        sim.SetReply("init/test/config", testConfig.toStdString());
        ASSERT_TRUE(sim.Start());
        StationDriver::Layout layout;
        layout.executable = STATION_PROGRAM;
        layout.appDir = appDir;
        layout.profile = profile;
        layout.serviceHost = QString::fromStdString(sim.HostText());
        QString error;
        ASSERT_TRUE(StationDriver::LayOut(layout, &error)) << qPrintable(error);
    }

    // Starts the station in the folder, picks the order and begins the run; the
    // main window's X id in *window.
    void BeginRun(StationDriver& station, QString* window)
    {
        ASSERT_TRUE(station.Start(StationEnvironment(reports)));
        ASSERT_TRUE(station.PickOrder(0, kDialogMs)) << station.Output().constData();
        *window = station.WaitMainWindow(kDialogMs);
        ASSERT_FALSE(window->isEmpty()) << station.Output().constData();
        ASSERT_TRUE(station.BeginRun(*window));
    }

    BackendSimulator sim;
    QTemporaryDir tmp;
    const QString appDir = tmp.filePath("station");
    const QString reports = tmp.filePath("sanitizer");
};

TEST_F(StationEndToEnd, ThreeCamerasAreTestedAndSubmittedAndTheCloseButtonEndsTheProgramCleanly)
{
    ASSERT_NO_FATAL_FAILURE(LayOut(Profile()));
    StationDriver station(appDir);
    QString window;
    ASSERT_NO_FATAL_FAILURE(BeginRun(station, &window));

    const bool allArrived = StationDriver::WaitUntil([&] { return sim.Results().size() >= 4; }, kCamerasMs, 100);
    EXPECT_TRUE(allArrived) << sim.Results().size() << " forms arrived";

    std::map<std::string, std::vector<std::string>> totals;
    for (const std::string& form : sim.Results()) {
        std::map<QString, QString> fields = FormFields(form);
        EXPECT_EQ(fields["order_sn"], kOrder) << form;
        totals[fields["dev_sn"].toStdString()].push_back(fields["total_result"].toStdString());
    }
    const std::map<std::string, std::vector<std::string>> expected = {
        {kGoodSerial1, {"1", "1"}}, {kGoodSerial2, {"1"}}, {kFaultySerial, {"-1"}}};
    EXPECT_EQ(totals, expected);

    // The station ends by its own close button, whatever happened above.
    ASSERT_TRUE(station.CloseByButton(window));
    ASSERT_TRUE(station.WaitFinished(120000)) << "the station did not end after its close button";
    const QByteArray log = station.Log();
    EXPECT_FALSE(station.Crashed()) << station.Output().constData();
    EXPECT_EQ(station.ExitCode(), 0) << station.Output().constData();
    EXPECT_EQ(log.count("Enter Dravonix::closeEvent()"), 1);
    EXPECT_EQ(log.count("Leave Dravonix::closeEvent()"), 1);
    EXPECT_EQ(SanitizerReports(reports), QString());
}

// One camera that stays on the LAN after its chain, for the manual items.
QByteArray StayingCameraProfile(const char* serial)
{
    return R"({"adapter": {"name": "Simulated LAN", "address": "127.0.0.5", "netmask": "255.255.255.0",
                           "mac": "02:56:54:00:00:05"},
               "cameras": [{"serial": ")" + QByteArray(serial) + R"(", "type": "IPC", "address": "127.0.0.24",
         "netmask": "255.255.255.0", "gateway": "127.0.0.1", "port": 3000, "devMType": 101, "devType": 1,
         "cloudId": "VTC)" + QByteArray(serial).mid(3) + R"(",
         "uploadedHwCfgMd5": "a6963c90f21f743eb8538595590ff4df",
         "uploadedSysCfgMd5": "5f5fd45c5fb69f6e3945ea0bf187f8fc",
         "media": {"width": 320, "height": 176, "fps": 10, "sampleRate": 8000, "bits": 16, "channels": 1,
                   "toneHz": 1000},
         "talk": {"audioType": 0}}]})";
}

// The speaker item in the program as built: its sound comes from the
// application folder the build lays out, is converted once and sent.
TEST_F(StationEndToEnd, TheSpeakerItemPlaysTheSoundOfTheApplicationFolder)
{
    const char serial[] = "VT21E00000000009";
    ASSERT_NO_FATAL_FAILURE(LayOut(StayingCameraProfile(serial)));
    ASSERT_TRUE(QFile::exists(QDir(appDir).filePath("TrumpetTest.mp3")));
    StationDriver station(appDir);
    QString window;
    ASSERT_NO_FATAL_FAILURE(BeginRun(station, &window));

    const QByteArray finished = QByteArray("LeftTopWidget::AutoTestFinish() SN=") + serial;
    EXPECT_TRUE(StationDriver::WaitUntil([&] { return station.Log().contains(finished); }, kCamerasMs, 100))
        << "the camera's chain did not end; the log ends:\n" << station.Log().right(6000).constData();
    // The camera stays on screen: the speaker key goes to the main video window.
    ASSERT_TRUE(StationDriver::PressKey("q"));
    const bool played = StationDriver::WaitUntil(
        [&] { return station.Log().contains("Leave dealStartAduioOk()") || !station.Running(); }, kDialogMs, 100);
    const QByteArray log = station.Log();
    EXPECT_TRUE(played && log.contains("Leave dealStartAduioOk()")) << "the sound was not sent";
    EXPECT_FALSE(log.contains("mp3 file not find"));
    // The sound of the folder, converted once: two seconds of 8000 16-bit mono samples.
    EXPECT_NEAR(QFileInfo(QDir(appDir).filePath("TrumpetTest.pcm")).size(), 32000, 3200);

    ASSERT_TRUE(station.CloseByButton(window));
    ASSERT_TRUE(station.WaitFinished(120000)) << "the station did not end after its close button";
    EXPECT_FALSE(station.Crashed()) << station.Output().constData();
    EXPECT_EQ(station.ExitCode(), 0) << station.Output().constData();
    EXPECT_EQ(SanitizerReports(reports), QString());
}

}  // namespace

// ---------------------------------------------------------------------------
// A submission the back-end does not take at once: one camera on the line, the
// back-end simulator failing its first submission, the operator's answer to
// the retry box, the offline cache.

namespace {

constexpr int kOneCameraMs = 300000;   // one chain, sanitized, on a busy machine
constexpr int kUploadMs = 60000;       // a cached record's first post
const char kRetrySerial[] = "VT21E00000000004";

QByteArray OneCameraProfile()
{
    return R"({"adapter": {"name": "Simulated LAN", "address": "127.0.0.5", "netmask": "255.255.255.0",
                           "mac": "02:56:54:00:00:05"},
               "cameras": [)"
           + Camera(kRetrySerial, "127.0.0.24", "127.0.0.1", "{}") + "]}";
}

// The serials of the forms the back-end took.
std::multiset<QString> SubmittedSerials(const BackendSimulator& sim)
{
    std::multiset<QString> serials;
    for (const std::string& form : sim.Results())
        serials.insert(FormFields(form)["dev_sn"]);
    return serials;
}

bool CacheFolderHoldsNoDayFile(const QString& appDir)
{
    return QDir(appDir + "/CacheTestData").entryList({"*.dat"}, QDir::Files).isEmpty();
}

TEST_F(StationEndToEnd, ARefusalWithRet1IsCachedOnNoAndUploadedLaterOnce)
{
    sim.SetFault("test/data/submit", BackendSimulator::Fault::Ret, 1, 1);
    ASSERT_NO_FATAL_FAILURE(LayOut(OneCameraProfile()));
    StationDriver station(appDir);
    QString window;
    ASSERT_NO_FATAL_FAILURE(BeginRun(station, &window));

    ASSERT_TRUE(station.AnswerRetryBox(false, kOneCameraMs)) << "no retry box after the refusal";
    ASSERT_TRUE(StationDriver::WaitUntil([&] { return !sim.Results().empty(); }, kUploadMs, 100))
        << "the cached record never reached the back-end";
    // Once the cache has no file left nothing can post the record again.
    ASSERT_TRUE(StationDriver::WaitUntil([&] { return CacheFolderHoldsNoDayFile(appDir); }, kUploadMs, 100));
    EXPECT_EQ(SubmittedSerials(sim), std::multiset<QString>{kRetrySerial});
    EXPECT_EQ(FormFields(sim.Results().front())["total_result"], "1");

    ASSERT_TRUE(station.CloseByButton(window));
    ASSERT_TRUE(station.WaitFinished(120000)) << "the station did not end after its close button";
    EXPECT_EQ(station.ExitCode(), 0) << station.Output().constData();
    EXPECT_EQ(SubmittedSerials(sim).size(), 1u);
    EXPECT_EQ(SanitizerReports(reports), QString());
}

TEST_F(StationEndToEnd, AResultWhoseRetryBoxWaitedWhenTheStationWasKilledIsUploadedOnceAfterTheRestart)
{
    sim.SetFault("test/data/submit", BackendSimulator::Fault::NotJson);
    ASSERT_NO_FATAL_FAILURE(LayOut(OneCameraProfile()));
    {
        StationDriver station(appDir);
        QString window;
        ASSERT_NO_FATAL_FAILURE(BeginRun(station, &window));
        ASSERT_FALSE(station.WaitWindow(StationDriver::kHintTitle, kOneCameraMs).isEmpty())
            << "no retry box after the failed submission";
        station.Kill();
    }
    EXPECT_TRUE(sim.Results().empty());

    // The next start finds the result in the cache and uploads it.
    sim.ClearFaults();
    StationDriver again(appDir);
    ASSERT_TRUE(again.Start(StationEnvironment(reports)));
    ASSERT_TRUE(StationDriver::WaitUntil([&] { return !sim.Results().empty(); }, kDialogMs + kUploadMs, 100))
        << "the result never reached the back-end";
    ASSERT_TRUE(StationDriver::WaitUntil([&] { return CacheFolderHoldsNoDayFile(appDir); }, kUploadMs, 100));
    EXPECT_EQ(SubmittedSerials(sim), std::multiset<QString>{kRetrySerial});
    again.Kill();
}

}  // namespace
