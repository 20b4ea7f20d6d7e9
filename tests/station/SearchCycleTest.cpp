// The search cycle against the simulated LAN: re-addressing, logins, the
// package check and upload, the hold-back, hand-over to the ready list, and
// that no way out of the search thread leaves a login open.
#include "ConfigPackage.h"
#include "LeftTopWidgetTestPeer.h"
#include "ControllerFixture.h"
#include "LanProfiles.h"
#include "SdkEventRouter.h"
#include "SdkTestSupport.h"

#include "AuxResponseInfo.h"
#include "FuncLib.h"
#include "HostAddressTable.h"
#include "Log.h"
#include "ReplyFields.h"
#include "RightBottomWidget.h"
#include "SdkCallLog.h"
#include "sim/SimLan.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QListView>

#include <cstring>
#include <mutex>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

const QByteArray kSys = "<config version=\"7\"/>\n";
const QByteArray kHw = "<hwconfig board=\"3\"/>\n";

std::atomic<int64_t> g_fixedWallMs{0};

WallTime FixedWall()
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(g_fixedWallMs.load());
    WallTime w;
    w.year = t.date().year();
    w.month = t.date().month();
    w.day = t.date().day();
    w.hour = t.time().hour();
    w.minute = t.time().minute();
    w.second = t.time().second();
    w.msec = t.time().msec();
    return w;
}

// Package digests a camera reports once it took the station's package.
QByteArray UploadedDigests()
{
    return ", \"uploadedHwCfgMd5\": \"" + ConfigPackage::Md5Hex(kHw) + "\", \"uploadedSysCfgMd5\": \"" +
           ConfigPackage::Md5Hex(kSys) + "\"";
}

QStringList SdkCallsOf(const char* function)
{
    QStringList args;
    for (const SdkCall& call : SdkCallLog::Instance().CallsOf(QString::fromLatin1(function)))
        args << call.arguments;
    return args;
}

QStringList Serials(const std::vector<DevInfo>& list)
{
    QStringList serials;
    for (const DevInfo& dev : list)
        serials << QString::fromLatin1(dev.ipcEntry.ipc_sn, int(strnlen(dev.ipcEntry.ipc_sn, 32)));
    serials.sort();
    return serials;
}

// The controller on the simulated LAN, whose adapter the station sees.
class SearchCycleTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        HostAdapters::ClearOverride();
    }

    void TearDown() override
    {
        if (widget) {
            if (Peer(*widget).IsRunning() && !Peer(*widget).Workers().IsAlive(StationWorkers::Search))
                EndCycles();
            widget->StopRun();
        }
        router.Detach();
        ControllerTest::TearDown();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
        Clock::SetWallSource(nullptr);
    }

    // Loads the LAN, makes the controller on it and routes the SDK's events to it.
    void Start(const QByteArray& profile)
    {
        ASSERT_EQ(LoadSimLan(profile), QString());
        StartOnLoadedLan();
    }

    void StartOnLoadedLan()
    {
        SetLastUseIP(QByteArray());
        Make();
        router.Attach(widget.get());
        SdkCallLog::Instance().Clear();
    }

    // package: the order's package; by default one with the two files above.
    void SetAutoUpgrade(bool on, QByteArray package = QByteArray())
    {
        widget->findChild<QCheckBox*>("check_AutoUpgradeConfigFile")->setChecked(on);
        if (package.isEmpty())
            package = ConfigPackage::WithHeader(ConfigPackage::TarGz({{"config.xml", kSys}, {"hwconfig.xml", kHw}}));
        if (on) {
            ASSERT_TRUE(s_dir->writeFile("order.tgz", package));
            widget->findChild<QLineEdit*>("le_SelectConfigFile")->setText(s_dir->file("order.tgz"));
        }
    }

    // Runs one search cycle on a thread of its own while the GUI thread serves its events.
    bool Cycle()
    {
        Peer(*widget).Workers().SetRunFlag(true);
        if (Peer(*widget).m_bAutoUpgradeConfig.load() && Peer(*widget).m_strSYS_CFG_MD5.isEmpty()) {
            Peer(*widget).m_strConfigFilePath = Peer(*widget).ConfigFilePathText();
            EXPECT_EQ(UnCompressLocalConfigFile(Peer(*widget).m_strConfigFilePath, Peer(*widget).m_strSYS_CFG_MD5,
                                                Peer(*widget).m_strHW_CFG_MD5),
                      0);
        }
        std::atomic<bool> done{false};
        bool result = false;
        std::thread cycle([&] {
            result = Peer(*widget).RunSearchCycle();
            done = true;
        });
        EXPECT_TRUE(WaitFor([&] { return done.load(); }, 60000));
        cycle.join();
        return result;
    }

    // The run's end as the search thread has it.
    void EndCycles()
    {
        Peer(*widget).Workers().SetRunFlag(false);
        widget->Lists().LogOutAllDevs();
    }

    QStringList ReadySerials() const
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
        return Serials(Lists(*widget).m_vecSearchReadyDevsInfo);
    }

    QStringList ReadyAddresses() const
    {
        QStringList addresses;
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
        for (const DevInfo& dev : Lists(*widget).m_vecSearchReadyDevsInfo)
            addresses << QString::fromLatin1(dev.ipcEntry.szIP);
        return addresses;
    }

    static int64_t LoginOf(const char* address)
    {
        for (const SdkCall& call : SdkCallLog::Instance().CallsOf("FC_Loc_Login")) {
            if (call.arguments.startsWith(QString::fromLatin1(address) + ","))
                return call.result;
        }
        return 0;
    }

    static bool LoggedOut(int64_t handle)
    {
        return SdkCallsOf("FC_Loc_Logout").contains(QString::number(handle));
    }

    SdkEventRouter router;
};

TEST_F(SearchCycleTest, TheSampleLanReachesTheReadyListWithItsPackage)
{
    SimProfile profile;
    QString error;
    ASSERT_TRUE(SimProfile::Load(qEnvironmentVariable("STATION_SOURCE_DIR") + "/sdk/sim/SimProfile.json", &profile,
                                 &error))
        << qPrintable(error);
    ASSERT_EQ(profile.cameras.size(), 3);
    ASSERT_TRUE(SimLan::Instance().LoadProfile(profile));
    StartOnLoadedLan();
    // The back-end simulator's package, whose digests the sample cameras take.
    SetAutoUpgrade(true, ConfigPackage::Fixture());
    const QString factory = profile.cameras[0].serial;
    const QString offSubnet = profile.cameras[1].serial;
    const QString onSubnet = profile.cameras[2].serial;

    Peer(*widget).onBeginRunBtnClicked();
    ASSERT_TRUE(Peer(*widget).IsRunning());
    ASSERT_TRUE(WaitFor([&] { return ReadySerials().size() == 3; }, 90000)) << qPrintable(ReadySerials().join(","));
    const int cycles = SdkCallsOf("FC_Loc_StartSearchIPC").size();
    EXPECT_EQ(SimLan::Instance().CameraAddress(factory), "127.0.0.6");
    EXPECT_EQ(SimLan::Instance().CameraAddress(offSubnet), "127.0.0.7");
    EXPECT_EQ(SimLan::Instance().CameraAddress(onSubnet), "127.0.0.21");
    EXPECT_EQ(ReadySerials(), (QStringList{factory, offSubnet, onSubnet}));
    EXPECT_EQ(SimLan::Instance().UploadsOf(onSubnet).size(), 1) << "one upload, then the digests match";

    // The on-subnet camera took the package in the first cycle; it is not
    // logged in again until 5000 ms after that.
    uint64_t uploadTick = 0;
    uint64_t reloginTick = 0;
    for (const SdkCall& call : SdkCallLog::Instance().Calls()) {
        if (call.function == "FC_Loc_SetCompressFile" && uploadTick == 0 &&
            call.arguments.startsWith(QString::number(LoginOf("127.0.0.21")) + ","))
            uploadTick = call.tick;
        if (call.function == "FC_Loc_Login" && uploadTick != 0 && reloginTick == 0 &&
            call.arguments.startsWith("127.0.0.21,"))
            reloginTick = call.tick;
    }
    ASSERT_NE(uploadTick, 0u);
    ASSERT_NE(reloginTick, 0u);
    const uint64_t heldBack = reloginTick - uploadTick;
    EXPECT_GE(heldBack, 4900u);
    EXPECT_GE(cycles, 3);
    RecordProperty("cycles", cycles);
    RecordProperty("heldBackMs", int(heldBack));
    std::printf("sample LAN: three cameras ready after %d cycles; the package camera was held back %llu ms\n", cycles,
                (unsigned long long)heldBack);

    Peer(*widget).onBeginRunBtnClicked();
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::Search));
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0) << "the run's end logs every device out";
}

TEST_F(SearchCycleTest, AddressLockedCamerasNeverMove)
{
    Start(Profile({Camera("VTL0000000000001", "192.168.0.123", ", \"addressLock\": 1"),
                   Camera("VTL0000000000002", "10.9.8.7", ", \"addressLock\": 1"),
                   Camera("VTL0000000000003", "127.0.0.21")}));
    SetAutoUpgrade(false);
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(SdkCallsOf("FC_Loc_ModifyIPCEx").isEmpty());
    EXPECT_EQ(SimLan::Instance().CameraAddress("VTL0000000000001"), "192.168.0.123");
    EXPECT_EQ(SimLan::Instance().CameraAddress("VTL0000000000002"), "10.9.8.7");
    EXPECT_EQ(ReadySerials(), QStringList{"VTL0000000000003"});
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 1) << "the locked ones failed to log in and were logged out";
    EndCycles();
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
}

TEST_F(SearchCycleTest, TwoCamerasAtOneAddressMoveOnlyTheFirst)
{
    Start(Profile({Camera("VTD0000000000001", "127.0.0.30"), Camera("VTD0000000000002", "127.0.0.30", "", 40)}));
    SetAutoUpgrade(false);
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(SdkCallsOf("FC_Loc_ModifyIPCEx").size(), 1);
    EXPECT_EQ(SimLan::Instance().CameraAddress("VTD0000000000001"), "127.0.0.6");
    EXPECT_EQ(SimLan::Instance().CameraAddress("VTD0000000000002"), "127.0.0.30");
    EXPECT_EQ(ReadySerials(), QStringList{"VTD0000000000002"});
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadySerials(), (QStringList{"VTD0000000000001", "VTD0000000000002"}));
    {
        const QStringList ready = ReadySerials();
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockStream);
        EXPECT_EQ(Serials(Lists(*widget).m_vecImageStreamTestDevsInfo), ready);
        EXPECT_TRUE(Lists(*widget).m_bImageStreamTestDevsInfoUpdate);
    }
    EndCycles();
}

TEST_F(SearchCycleTest, WithATestRangeNothingMovesAndOnlyTheRangeLogsIn)
{
    Start(Profile({Camera("VTR0000000000001", "192.168.0.123"), Camera("VTR0000000000002", "127.0.0.21"),
                   Camera("VTR0000000000003", "127.0.0.40"), Camera("VTR0000000000004", "127.0.0.22", ", \"type\": \"MDEC\"")}));
    SetAutoUpgrade(false);
    ConfigInfo config = widget->ConfigSnapshot();
    config.m_IpSection.bUseIpSection = true;
    config.m_IpSection.StartIp = "192.168.1.20";
    config.m_IpSection.EndIP = "192.168.1.30";
    widget->SetConfig(config);
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(SdkCallsOf("FC_Loc_ModifyIPCEx").isEmpty());
    EXPECT_EQ(SdkCallsOf("FC_Loc_Login").size(), 1) << "only .21 lies in .20 to .30; the decoder is no camera";
    EXPECT_EQ(ReadySerials(), QStringList{"VTR0000000000002"});
    std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
    ASSERT_EQ(Lists(*widget).m_vecSearchDevsInfo.size(), 3u);
    for (const DevInfo& dev : Lists(*widget).m_vecSearchDevsInfo) {
        if (std::strcmp(dev.ipcEntry.ipc_sn, "VTR0000000000002") != 0) {
            EXPECT_EQ(dev.lLoginStatus, -2) << dev.ipcEntry.ipc_sn;
        }
    }
}

TEST_F(SearchCycleTest, TheTestRangeComparesLastNumbersOnly)
{
    Start(Profile({}));
    const struct {
        bool on;
        const char* start;
        const char* end;
        const char* ip;
        bool inRange;
    } cases[] = {
        {false, "192.168.1.100", "192.168.1.110", "10.0.0.1", true},
        {true, "192.168.1.100", "192.168.1.110", "10.0.0.105", true},
        {true, "192.168.1.100", "192.168.1.110", "192.168.1.100", true},
        {true, "192.168.1.100", "192.168.1.110", "192.168.1.110", true},
        {true, "192.168.1.100", "192.168.1.110", "192.168.1.99", false},
        {true, "192.168.1.100", "192.168.1.110", "192.168.1.111", false},
        {true, "192.168.1.100", "192.168.1.110", "", false},
        {true, "", "", "192.168.1.0", true},
    };
    for (const auto& c : cases) {
        ConfigInfo config = widget->ConfigSnapshot();
        config.m_IpSection.bUseIpSection = c.on;
        config.m_IpSection.StartIp = c.start;
        config.m_IpSection.EndIP = c.end;
        widget->SetConfig(config);
        const DevInfo dev = MakeDevice("VTX", c.ip);
        EXPECT_EQ(widget->IsDevInSpecIpSegment(&dev), c.inRange) << c.ip << " in " << c.start << ".." << c.end;
    }
    EXPECT_FALSE(widget->IsDevInSpecIpSegment(nullptr));
}

TEST_F(SearchCycleTest, FreeAddressesSkipTheStationAnd123AndWrapOnce)
{
    Start(Profile({}));
    const struct {
        const char* name;
        const char* local;
        const char* lastUse;
        std::vector<const char*> taken;
        int result;
        const char* out;
        const char* lastUseAfter;
    } cases[] = {
        {"next after the station", "10.1.2.5", "10.1.2.5", {}, 0, "10.1.2.6", "10.1.2.7"},
        {"taken ones are passed", "10.1.2.5", "10.1.2.5", {"10.1.2.6", "10.1.2.7"}, 0, "10.1.2.8", "10.1.2.9"},
        {"after .122 comes .124", "10.1.2.5", "10.1.2.123", {}, 0, "10.1.2.124", "10.1.2.125"},
        {"the station at .122", "10.1.2.122", "10.1.2.122", {}, 0, "10.1.2.124", "10.1.2.125"},
        {"the station at .122, .124 taken", "10.1.2.122", "10.1.2.121", {"10.1.2.121", "10.1.2.124"}, 0,
         "10.1.2.125", "10.1.2.126"},
        {"the station at .254 wraps to .3", "10.1.2.254", "10.1.2.254", {}, 0, "10.1.2.3", "10.1.2.4"},
        {"nothing free above the start", "10.1.2.5", "10.1.2.250",
         {"10.1.2.250", "10.1.2.251", "10.1.2.252", "10.1.2.253", "10.1.2.254"}, 0, "10.1.2.3", "10.1.2.4"},
        {"last handed out .254 then .255", "10.1.2.5", "10.1.2.255", {}, 0, "10.1.2.3", "10.1.2.4"},
        {"the station at .3 after a wrap", "10.1.2.3", "10.1.2.255", {}, 0, "10.1.2.4", "10.1.2.5"},
        {"no last address", "10.1.2.5", "", {}, -2, "", ""},
        {"a local address that is no address", "10.1.2", "10.1.2.5", {}, -3, "", "10.1.2.5"},
        {"a last address without a dot", "10.1.2.5", "5", {}, -4, "", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastUseIP(c.lastUse);
        {
            std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
            Lists(*widget).m_vecSearchDevsInfo.clear();
            for (const char* ip : c.taken)
                Lists(*widget).m_vecSearchDevsInfo.push_back(MakeDevice("VTX", ip));
        }
        char out[64] = {};
        EXPECT_EQ(Peer(*widget).GetNotUseIP(out, c.local), c.result);
        EXPECT_STREQ(out, c.out);
        EXPECT_EQ(LastUseIP(), QByteArray(c.lastUseAfter));
    }

    // Every number from .3 to .254 taken but .123 and the station's own.
    SetLastUseIP("10.1.2.200");
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        Lists(*widget).m_vecSearchDevsInfo.clear();
        for (int n = 3; n <= 254; ++n) {
            if (n != 123 && n != 5)
                Lists(*widget).m_vecSearchDevsInfo.push_back(MakeDevice("VTX", ("10.1.2." + QByteArray::number(n)).constData()));
        }
    }
    char out[64] = {};
    EXPECT_EQ(Peer(*widget).GetNotUseIP(out, "10.1.2.5"), -3)
        << "the station's own address and .123 are never handed out";
    EXPECT_EQ(Peer(*widget).GetNotUseIP(nullptr, "10.1.2.5"), -1);
    EXPECT_EQ(Peer(*widget).GetNotUseIP(out, nullptr), -1);
}

TEST_F(SearchCycleTest, TheHoldBackDropsExpiredEntriesFirstThenEveryDeviceThatStillHasOne)
{
    g_fixedWallMs = QDateTime(QDate(2030, 1, 1), QTime(12, 0, 0), Qt::LocalTime).toMSecsSinceEpoch();
    Clock::SetWallSource(&FixedWall);
    Start(Profile({Camera("VTH0000000000001", "127.0.0.31"), Camera("VTH0000000000002", "127.0.0.32"),
                   Camera("VTH0000000000003", "127.0.0.33")}));
    const int64_t now = WallClockMs(Clock::Now());
    ASSERT_EQ(now, g_fixedWallMs.load()) << "the hold-back reads the replaceable clock";
    auto entry = [](const char* serial, int64_t time) {
        DevInfo dev = MakeDevice(serial, "127.0.0.99");
        dev.lConfigUploadFinishTime = time;
        return dev;
    };
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        // An expired entry of camera 1 stands before the fresh one of camera 2.
        Lists(*widget).m_vecUploadFileFinishDevsInfo = {entry("VTH0000000000001", now - 5001),
                                                 entry("VTH0000000000002", now - 4999),
                                                 entry("VTH0000000000003", now + 3600000)};
    }
    widget->StartSearchDev(0);
    ASSERT_TRUE(WaitFor([] { return FC_Loc_GetSearchIPCCount() == 3; }, 10000));
    widget->GetAllSearachDevs();
    widget->StopSearchDev();
    std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
    EXPECT_EQ(Serials(Lists(*widget).m_vecSearchDevsInfo), (QStringList{"VTH0000000000001", "VTH0000000000003"}))
        << "camera 3's entry lies in the future: a clock that went back holds nothing";
    EXPECT_EQ(Serials(Lists(*widget).m_vecUploadFileFinishDevsInfo), QStringList{"VTH0000000000002"});
}

TEST_F(SearchCycleTest, ACameraThatNeverAnswersTheCheckKeepsNoLoginOpen)
{
    Start(Profile({Camera("VTN0000000000001", "127.0.0.21", ", \"faults\": {\"noReply\": [1514]}")}));
    SetAutoUpgrade(true);
    EXPECT_TRUE(Cycle());
    const int64_t first = LoginOf("127.0.0.21");
    ASSERT_GT(first, 0);
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 1);
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(LoggedOut(first)) << "the next cycle's search list drops it with its login";
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 1);
    EXPECT_TRUE(ReadySerials().isEmpty());
    EndCycles();
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
}

TEST_F(SearchCycleTest, ACameraTakingThePackageStaysLoggedInUntilItsReport)
{
    // The report comes 4500 ms after the upload: after the 3000 ms wait.
    Start(Profile({Camera("VTU0000000000001", "127.0.0.21",
                          UploadedDigests() +
                              ", \"replies\": {\"1001\": {\"text\": \"<RESPONSE_PARAM Type=\\\"1\\\"/>\", \"delayMs\": 4500}}")}));
    SetAutoUpgrade(true);
    EXPECT_TRUE(Cycle());
    const int64_t first = LoginOf("127.0.0.21");
    ASSERT_EQ(SimLan::Instance().UploadsOf("VTU0000000000001").size(), 1);
    widget->StartSearchDev(0);
    EXPECT_FALSE(LoggedOut(first)) << "a new search keeps the login of a running upload";
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 1);
    ASSERT_TRUE(WaitFor([&] { return LoggedOut(first); }, 15000)) << "its report ends it";
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        EXPECT_TRUE(Lists(*widget).m_vecUploadingDevsInfo.empty());
        EXPECT_EQ(Serials(Lists(*widget).m_vecUploadFileFinishDevsInfo), QStringList{"VTU0000000000001"});
    }
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    EndCycles();
}

// The lines of the manual panel's automatic-result list.
QStringList ResultLines(const RightBottomWidget& panel)
{
    QStringList lines;
    const auto* view = panel.findChild<QListView*>(QStringLiteral("m_AutoTestLstView"));
    const QAbstractItemModel* model = view ? view->model() : nullptr;
    for (int row = 0; model && row < model->rowCount(); ++row)
        lines << model->data(model->index(row, 0)).toString();
    return lines;
}

// Two cameras with one serial: the station serves one of them at a time, the
// one it holds or else the first found. The other is never logged in, so
// nothing of it reaches the first one's record, and it is logged as a
// duplicate every search and shown once; the current camera's serial on it
// does not keep the current camera alive. Once the current camera has left,
// though it stays current, the serial is free and the other is served.
TEST_F(SearchCycleTest, CamerasSharingASerialAreServedOneAtATime)
{
    const char* sn = "VTD0000000000009";
    RightBottomWidget panel(&host, &host, 1920);
    host.manualPanel = &panel;
    Start(Profile({Camera(sn, "127.0.0.31"), Camera(sn, "127.0.0.32", "", 40)}));
    const QString logFile = s_dir->file("Log_Dir/duplicates.log");
    const int level = LogLevel();
    LogInit(LOG_ALLLOG, logFile);
    SetAutoUpgrade(false);
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadyAddresses(), QStringList{"127.0.0.31"});
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadyAddresses(), QStringList{"127.0.0.31"});
    EXPECT_EQ(LoginOf("127.0.0.32"), 0) << "the duplicate is never logged in";
    const QString shown = "Duplicate SN VTD0000000000009 at 127.0.0.32: the camera at 127.0.0.31 has the same SN, not tested";
    EXPECT_TRUE(WaitFor([&] { return ResultLines(panel).contains(shown); }));
    EXPECT_EQ(ResultLines(panel), QStringList{shown}) << "shown once, not every search";

    // The current camera leaves.
    DevInfo first;
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
        ASSERT_EQ(Lists(*widget).m_vecSearchReadyDevsInfo.size(), 1u);
        first = CopyOfDevInfo(Lists(*widget).m_vecSearchReadyDevsInfo[0]);
    }
    widget->Lists().SetCurrentDevice(first);
    ASSERT_TRUE(SimLan::Instance().Leave(sn));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
        return Lists(*widget).m_vecSearchReadyDevsInfo.at(0).lLoginStatus != 1;
    }));
    Peer(*widget).m_bCurDevAlive = false;
    EXPECT_TRUE(Cycle());
    EXPECT_FALSE(Peer(*widget).m_bCurDevAlive.load())
        << "the other camera of the serial says nothing of the current one";
    // The lost record leaves the ready list at the end of that cycle.
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadyAddresses(), QStringList{"127.0.0.32"});
    EXPECT_GT(LoginOf("127.0.0.32"), 0);
    EXPECT_EQ(widget->Lists().CurrentDevice().lUserID, first.lUserID) << "served while the camera that left is current";
    EndCycles();
    EXPECT_EQ(ResultLines(panel), QStringList{shown});

    LogInit(level, QString());
    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    EXPECT_EQ(log.count("duplicate SN=VTD0000000000009 at IP=127.0.0.32: the camera at IP=127.0.0.31 has it"), 2)
        << "one line per search while it is a duplicate";
    host.manualPanel = nullptr;
}

// The search keeps the current camera alive while it finds it at its address.
// Once the camera has left (a search without it, or its link lost) it does so
// no more, not even when the camera is back at that address: that is the
// camera put back for a retest, to be tested anew, while the current device
// waits for its end.
struct LeaveCase {
    const char* name;
    int linkLossMs;    // the unplug's; -1: the camera stays
    bool searchedWhileGone;
    bool aliveAfter;
};

TEST_F(SearchCycleTest, TheSearchKeepsTheCurrentCameraAliveOnlyUntilItLeft)
{
    const char* sn = "VTR0000000000001";
    const LeaveCase cases[] = {
        {"on the line", -1, false, true},
        {"gone from a search, then back", 600000, true, false},
        {"link lost, still found", 0, false, false},
    };
    for (const LeaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        Start(Profile({Camera(sn, "127.0.0.31")}));
        SetAutoUpgrade(false);
        EXPECT_TRUE(Cycle());
        const int64_t first = LoginOf("127.0.0.31");
        ASSERT_GT(first, 0);
        {
            std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
            ASSERT_EQ(Lists(*widget).m_vecSearchReadyDevsInfo.size(), 1u);
            widget->Lists().SetCurrentDevice(CopyOfDevInfo(Lists(*widget).m_vecSearchReadyDevsInfo[0]));
        }
        if (c.linkLossMs >= 0) {
            ASSERT_TRUE(SimLan::Instance().Unplug(sn, c.linkLossMs));
            if (c.searchedWhileGone) {
                Peer(*widget).m_bCurDevAlive = false;
                EXPECT_TRUE(Cycle());
                EXPECT_FALSE(Peer(*widget).m_bCurDevAlive.load());
            } else {
                ASSERT_TRUE(WaitFor([&] {
                    std::lock_guard<ListLock> guard(Lists(*widget).m_lockReady);
                    return Lists(*widget).m_vecSearchReadyDevsInfo.at(0).lLoginStatus == -1;
                }));
            }
            ASSERT_TRUE(SimLan::Instance().Replug(sn));
        }
        Peer(*widget).m_bCurDevAlive = false;
        EXPECT_TRUE(Cycle());
        EXPECT_EQ(Peer(*widget).m_bCurDevAlive.load(), c.aliveAfter);
        EndCycles();
        router.Detach();
        widget.reset();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
    }
}

// Two cameras with one serial at one address are two cameras there, as two
// of different serials are: the first moves, and the second stays a duplicate.
TEST_F(SearchCycleTest, TwoCamerasOfOneSerialAtOneAddressAreTwo)
{
    const QString sn = "VTD0000000000008";
    Start(Profile({Camera("VTD0000000000008", "127.0.0.30"), Camera("VTD0000000000008", "127.0.0.30", "", 40)}));
    SetAutoUpgrade(false);
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(SdkCallsOf("FC_Loc_ModifyIPCEx").size(), 1);
    EXPECT_EQ(SimLan::Instance().CameraAddress(sn), "127.0.0.6");
    EXPECT_EQ(SimLan::Instance().CameraAddress(sn + "#2"), "127.0.0.30");
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadyAddresses(), QStringList{"127.0.0.6"});
    EXPECT_EQ(LoginOf("127.0.0.30"), 0);
    EndCycles();
}

TEST_F(SearchCycleTest, ReadyDevicesThatLeaveAreLoggedOutOnce)
{
    Start(Profile({Camera("VTF0000000000001", "127.0.0.21"), Camera("VTF0000000000002", "127.0.0.22")}));
    SetAutoUpgrade(false);
    EXPECT_TRUE(Cycle());
    ASSERT_EQ(ReadySerials().size(), 2);
    const int64_t finished = LoginOf("127.0.0.21");
    const int64_t lost = LoginOf("127.0.0.22");
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockStream);
        Lists(*widget).m_lDelReadyDev.push_back(finished);
    }
    Peer(*widget).SetDevLoginStatus(lost, -1);
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(LoggedOut(finished));
    EXPECT_TRUE(LoggedOut(lost));
    EXPECT_TRUE(ReadySerials().isEmpty()) << "both were still in the ready list when this cycle looked";
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadySerials().size(), 2) << "found and logged in again";
    EXPECT_EQ(SdkCallsOf("FC_Loc_Logout").count(QString::number(finished)), 1);
    EXPECT_EQ(SdkCallsOf("FC_Loc_Logout").count(QString::number(lost)), 1);
    EndCycles();
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
}

// A run stopped in each of the cycle's waits leaves no login behind. The
// waits are told by the SDK's call log: the simulated LAN's own lists are
// copied with Qt's sharing, which the race checker cannot follow while the
// LAN still writes them.
struct StopCase {
    const char* name;
    QByteArray camera;
    bool autoUpgrade;
    std::function<bool()> inTheWait;
};

TEST_F(SearchCycleTest, AStopInAnyWaitLeavesNoLoginOpen)
{
    const StopCase cases[] = {
        {"the search", Camera("VTS0000000000001", "127.0.0.21"), false,
         [] { return !SdkCallsOf("FC_Loc_StartSearchIPC").isEmpty(); }},
        {"the login wait", Camera("VTS0000000000001", "127.0.0.21", ", \"loginDelayMs\": 2500"), false,
         [] { return !SdkCallsOf("FC_Loc_Login").isEmpty(); }},
        {"the check wait", Camera("VTS0000000000001", "127.0.0.21", ", \"faults\": {\"noReply\": [1514]}"), true,
         [] { return !SdkCallsOf("FC_Loc_IoTSystemControl").filter(",1514,").isEmpty(); }},
        {"the upload wait", Camera("VTS0000000000001", "127.0.0.21", ", \"faults\": {\"noReply\": [1001]}"), true,
         [] { return !SdkCallsOf("FC_Loc_SetCompressFile").isEmpty(); }},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        Start(Profile({c.camera}));
        SetAutoUpgrade(c.autoUpgrade);
        Peer(*widget).onBeginRunBtnClicked();
        ASSERT_TRUE(Peer(*widget).IsRunning());
        ASSERT_TRUE(WaitFor(c.inTheWait, 30000));
        Peer(*widget).onBeginRunBtnClicked();
        EXPECT_FALSE(Peer(*widget).IsRunning());
        EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::Search));
        EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
        router.Detach();
        widget.reset();
    }
}

}  // namespace
