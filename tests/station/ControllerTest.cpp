// The controller's frame: construction, the panel's options, the run that
// starts and joins the workers, login states under the list locks, hand-offs.
#include "ControllerFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "ConfigPackage.h"

#include "AuxResponseInfo.h"
#include "BoxRecorder.h"
#include "CheckQRCodeDlg.h"
#include "HostAddressTable.h"
#include "JTimer.h"
#include "Log.h"
#include "ModalHook.h"
#include "SdkCallLog.h"
#include "TestConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <cstring>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

template <typename T>
T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Answers the next file dialog with path.
void ChooseFileNext(const QString& path)
{
    ModalHook::Set([path](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files)
            return int(QDialog::Rejected);
        files->selectFile(path);
        return int(QDialog::Accepted);
    });
}

QStringList SdkCallsOf(const char* function)
{
    QStringList args;
    for (const SdkCall& call : SdkCallLog::Instance().CallsOf(QString::fromLatin1(function)))
        args << call.arguments;
    return args;
}

TEST_F(ControllerTest, TheNetworkCardBoxListsEveryAddressOfEveryAdapter)
{
    Make();
    auto* box = Child<QComboBox>(widget.get(), "m_cbbNetworkCard");
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(box->itemText(0), "[127.0.0.5]        [eth0]");
    EXPECT_EQ(box->itemText(3), "[127.0.1.8]        [wlan0]");
    EXPECT_EQ(QByteArray(g_DifNetWorkcardIp[1].m_szLocalIpList[0]), "127.0.1.7") << "0.0.0.0 is left out";
    EXPECT_EQ(Peer(*widget).CurrentIP(), "127.0.0.5");
    EXPECT_EQ(LastUseIP(), "127.0.0.5");

    box->setCurrentIndex(2);
    EXPECT_EQ(Peer(*widget).CurrentIP(), "127.0.1.7");
    EXPECT_EQ(LastUseIP(), "127.0.1.7");

    EXPECT_STREQ(Peer(*widget).m_szLocalMac, "02-11-22-33-44-55");
    EXPECT_EQ(Peer(*widget).m_strHostMac, "02AABBCCDDEE ");
    EXPECT_EQ(Peer(*widget).m_strToolVersion, "1.0.6.4");
}

TEST_F(ControllerTest, BuiltWithTheOptionsOnAndTheAuxiliaryThreadRunning)
{
    WriteSystemConfig([](SystemConfig& c) { c.iTestMode = 0; });
    Make();
    EXPECT_TRUE(Child<QCheckBox>(widget.get(), "check_AutoPlayVideo")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(widget.get(), "check_AutoUpgradeConfigFile")->isChecked());
    EXPECT_TRUE(Child<QLineEdit>(widget.get(), "le_SelectConfigFile")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(widget.get(), "le_SelectConfigFile")->isReadOnly());
    EXPECT_EQ(Child<QComboBox>(widget.get(), "cbx_DevType")->count(), 5);
    EXPECT_EQ(Child<QPushButton>(widget.get(), "btn_BeginRun")->text(), "Begin Run");
    EXPECT_TRUE(Peer(*widget).Workers().IsAlive(StationWorkers::Aux));
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::IdService)) << "test mode 0 has no ID service";
    EXPECT_FALSE(Peer(*widget).PostIdServiceRequest("127.0.0.21"));
    EXPECT_EQ(Peer(*widget).m_lstTelecomOperators.size(), 6);

    widget.reset();
    WriteSystemConfig([](SystemConfig& c) { c.iTestMode = 1; });
    Make();
    EXPECT_TRUE(Peer(*widget).Workers().IsAlive(StationWorkers::IdService));
    EXPECT_TRUE(Peer(*widget).PostIdServiceRequest("127.0.0.21"));
    WriteSystemConfig([](SystemConfig& c) { c.iTestMode = 0; });
}

TEST_F(ControllerTest, TheLabelEditorIsAHiddenChild)
{
    Make();
    ASSERT_NE(Peer(*widget).m_pQRCodePrintSetting.data(), nullptr);
    EXPECT_EQ(Peer(*widget).m_pQRCodePrintSetting->parent(), widget.get());
    EXPECT_FALSE(Peer(*widget).m_pQRCodePrintSetting->isVisible());
}

// ---------------------------------------------------------------------------
// Begin Run

struct RunCase {
    const char* name;
    std::function<void(LeftTopWidget*)> prepare;
    const char* box;        // "title|text", or null for none
    bool running;
    bool threads;
};

TEST_F(ControllerTest, BeginRunStartsOnlyWhatItMay)
{
    const QString package = s_dir->file("order.tgz");
    const RunCase cases[] = {
        {"without Auto Play the flag toggles and no thread starts",
         [](LeftTopWidget* w) { Child<QCheckBox>(w, "check_AutoPlayVideo")->setChecked(false); }, nullptr, true,
         false},
        {"Auto Upgrade with an empty package path", [](LeftTopWidget*) {}, "Error|please select config file", false,
         false},
        {"a package that fails to unpack",
         [&](LeftTopWidget* w) {
             Child<QLineEdit>(w, "le_SelectConfigFile")->setText(package);
             QFile::remove(package);
         },
         "|config file uncompress failed!", false, false},
        {"alarm upload without an alarm file",
         [](LeftTopWidget* w) {
             Child<QCheckBox>(w, "check_AutoUpgradeConfigFile")->setChecked(false);
             Child<QCheckBox>(w, "check_AutoUploadAudioWarnFile")->setChecked(true);
         },
         "Error|please select audio alarm file", false, false},
        {"Extreme IPC needs no alarm file",
         [](LeftTopWidget* w) {
             Child<QComboBox>(w, "cbx_DevType")->setCurrentIndex(4);
             Child<QCheckBox>(w, "check_AutoUpgradeConfigFile")->setChecked(false);
             Child<QCheckBox>(w, "check_AutoUploadAudioWarnFile")->setChecked(true);
         },
         nullptr, true, true},
        {"a test range the search cannot use",
         [](LeftTopWidget* w) {
             ConfigInfo config = w->ConfigSnapshot();
             config.m_IpSection = {true, "abc.999.1", "10.0.0"};
             w->SetConfig(config);
         },
         "Error|The test IP range of the settings cannot be used: start ip is not an IPv4 address like "
         "192.168.1.100. Correct it in the settings, then press Begin Run again.",
         false, false},
        {"a usable test range",
         [](LeftTopWidget* w) {
             ConfigInfo config = w->ConfigSnapshot();
             config.m_IpSection = {true, "127.0.0.10", "127.0.0.20"};
             w->SetConfig(config);
             Child<QCheckBox>(w, "check_AutoUpgradeConfigFile")->setChecked(false);
         },
         nullptr, true, true},
        {"a package that unpacks",
         [&](LeftTopWidget* w) {
             s_dir->writeFile("order.tgz", ConfigPackage::Fixture());
             Child<QLineEdit>(w, "le_SelectConfigFile")->setText(package);
         },
         nullptr, true, true},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        Make();
        c.prepare(widget.get());
        BoxRecorder boxes;
        ClearEvents();
        Peer(*widget).onBeginRunBtnClicked();
        QCoreApplication::sendPostedEvents(&host);
        EXPECT_EQ(boxes.texts, c.box ? QStringList{c.box} : QStringList());
        EXPECT_EQ(Peer(*widget).IsRunning(), c.running);
        EXPECT_EQ(Peer(*widget).Workers().IsAlive(StationWorkers::Search), c.threads);
        EXPECT_EQ(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest), c.threads);
        auto* button = Child<QPushButton>(widget.get(), "btn_BeginRun");
        EXPECT_EQ(button->text(), c.running ? "Stop Run" : "Begin Run");
        if (c.running) {
            EXPECT_EQ(host.events.back(), std::make_pair(int(WM_RUN_STATE), qint64(0)));
            EXPECT_FALSE(Child<QComboBox>(widget.get(), "cbx_DevType")->isEnabled());
            Peer(*widget).onBeginRunBtnClicked();
            EXPECT_FALSE(Peer(*widget).IsRunning());
            EXPECT_EQ(button->text(), "Begin Run");
        }
        widget.reset();
    }
}

TEST_F(ControllerTest, TheFileButtonsPutTheChosenFileInTheirBoxes)
{
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "Qt's file dialog runs a file-information thread whose locking the thread sanitizer cannot see";
#endif
    Make();
    Child<QCheckBox>(widget.get(), "check_AutoUploadAudioWarnFile")->setChecked(true);
    s_dir->writeFile("order.tgz", "x");
    s_dir->writeFile("alarm.mp3", "x");
    ChooseFileNext(s_dir->file("order.tgz"));
    Child<QPushButton>(widget.get(), "btn_SelectConfigFile")->click();
    ChooseFileNext(s_dir->file("alarm.mp3"));
    Child<QPushButton>(widget.get(), "btn_SelectAudioWarnFile")->click();
    ModalHook::Set([](QDialog*) { return int(QDialog::Rejected); });
    Child<QPushButton>(widget.get(), "btn_SelectConfigFile")->click();
    ModalHook::Clear();
    EXPECT_EQ(Peer(*widget).ConfigFilePathText(), s_dir->file("order.tgz")) << "a cancelled choice keeps the path";
    EXPECT_EQ(Peer(*widget).AlarmFilePathText(), s_dir->file("alarm.mp3"));
}

TEST_F(ControllerTest, AStopJoinsBothWorkersAndReportsTheRunState)
{
    Make();
    Child<QCheckBox>(widget.get(), "check_AutoUpgradeConfigFile")->setChecked(false);
    Peer(*widget).onBeginRunBtnClicked();
    ASSERT_TRUE(Peer(*widget).Workers().IsAlive(StationWorkers::Search));
    const uint64_t generation = widget->Lists().Generation();
    QSignalSpy gunBall(widget.get(), &LeftTopWidget::signalGunBallDevice);
    ClearEvents();

    Peer(*widget).onBeginRunBtnClicked();
    QCoreApplication::sendPostedEvents(&host);
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::Search));
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest));
    EXPECT_FALSE(Peer(*widget).IsStopping());
    EXPECT_GT(widget->Lists().Generation(), generation);
    ASSERT_EQ(gunBall.count(), 1);
    EXPECT_EQ(gunBall.at(0).at(1).toInt(), -1);
    EXPECT_EQ(EventCodes(), (std::vector<int>{WM_RESET_UI, WM_AUTO_PLAY_CHANGED, WM_RUN_STATE}));
    EXPECT_EQ(host.events.back().second, 1);
    EXPECT_TRUE(Child<QComboBox>(widget.get(), "cbx_DevType")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(widget.get(), "btn_BeginRun")->isEnabled());

    // A start after the stop gets fresh workers.
    Peer(*widget).onBeginRunBtnClicked();
    EXPECT_TRUE(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest));
}

TEST_F(ControllerTest, ANetworkFailureStopsTheRunOnlyAfterTheReportingThreadWentOn)
{
    Make();
    // A run whose stream-test worker is ours: the stop must join the very
    // thread that reports the failure.
    Child<QCheckBox>(widget.get(), "check_AutoPlayVideo")->setChecked(false);
    Peer(*widget).onBeginRunBtnClicked();
    ASSERT_TRUE(Peer(*widget).IsRunning());
    BoxRecorder boxes;
    bool runningWhileBoxOpen = false;
    boxes.whileOpen = [&] { runningWhileBoxOpen = Peer(*widget).IsRunning(); };
    bool stoppedAtLogOut = false;
    host.onLogOut = [&] { stoppedAtLogOut = !Peer(*widget).IsRunning(); };
    std::atomic<bool> reported{false};
    ASSERT_TRUE(Peer(*widget).Workers().Start(StationWorkers::StreamTest, [&] {
        Peer(*widget).HandOffs().Call([&] { Peer(*widget).StreamTestSide().onUploadDataNetworkAnomalies(); });
        reported = true;
        while (Peer(*widget).Workers().SleepWhileRunning(50)) {
        }
    }));

    ASSERT_TRUE(WaitFor([&] { return host.logOuts == 1; }));
    EXPECT_TRUE(reported.load());
    EXPECT_EQ(boxes.texts, QStringList{"Error|there is a problem with network connection. Please log in again"});
    EXPECT_TRUE(runningWhileBoxOpen);
    EXPECT_TRUE(stoppedAtLogOut);
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest));
}

TEST_F(ControllerTest, AStopAskedForInsideAHandOffJoinsOnceTheHandOffReturned)
{
    Make();
    Child<QCheckBox>(widget.get(), "check_AutoUpgradeConfigFile")->setChecked(false);
    Peer(*widget).onBeginRunBtnClicked();
    // As a submission box would: the operator stops the run while the GUI
    // thread serves a worker's hand-off.
    bool stoppingInside = false;
    bool buttonEnabledInside = true;
    Peer(*widget).HandOffs().Call([&] {
        Peer(*widget).onBeginRunBtnClicked();
        stoppingInside = Peer(*widget).IsStopping();
        buttonEnabledInside = Child<QPushButton>(widget.get(), "btn_BeginRun")->isEnabled();
    });
    EXPECT_TRUE(stoppingInside);
    EXPECT_FALSE(buttonEnabledInside) << "Begin Run stays disabled until the stop is over";
    EXPECT_FALSE(Peer(*widget).IsRunning());
    ASSERT_TRUE(WaitFor([&] { return !Peer(*widget).IsStopping(); }));
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::Search));
    EXPECT_TRUE(Child<QPushButton>(widget.get(), "btn_BeginRun")->isEnabled());
}

// ---------------------------------------------------------------------------
// Order configuration and panel rules

TEST_F(ControllerTest, AnOrderSetsTheTestTypeAndTheFourBoxesAndLocksThem)
{
    struct OrderCase {
        int autoBegin, type, lock, autoPlay, upgrade, alarm;
    };
    const OrderCase cases[] = {{1, 2, 1, 1, 1, 0}, {0, 4, 0, 1, 0, 1}, {1, 0, 0, 0, 0, 0}, {0, 3, 1, 1, 1, 1}};
    const QString package = s_dir->file("order-package.tgz");
    s_dir->writeFile("order-package.tgz", "x");
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.type);
        Make();
        BoxRecorder boxes;
        TestConfig config;
        config.is_manual_auto_test = c.autoBegin;
        config.test_dev_type = c.type;
        config.lock_param = c.lock;
        config.auto_test_mode = c.autoPlay;
        config.upload_config_file = c.upgrade;
        config.upload_audio_alarm_file = c.alarm;
        EXPECT_EQ(widget->ApplyTestConfig(config, package, s_dir->file("missing.mp3")), 0);
        EXPECT_EQ(widget->ConfigSnapshot().m_ManualAutoTest.bAutoBeginRun, c.autoBegin != 0);
        EXPECT_EQ(Child<QComboBox>(widget.get(), "cbx_DevType")->currentIndex(), c.type);
        EXPECT_EQ(CurrentTestType.load(), c.type);
        EXPECT_EQ(Child<QCheckBox>(widget.get(), "check_LockParameter")->isChecked(), c.lock != 0);
        EXPECT_EQ(Child<QCheckBox>(widget.get(), "check_AutoPlayVideo")->isChecked(), c.autoPlay != 0);
        EXPECT_EQ(Child<QCheckBox>(widget.get(), "check_AutoUpgradeConfigFile")->isChecked(), c.upgrade != 0);
        EXPECT_EQ(Child<QCheckBox>(widget.get(), "check_AutoUploadAudioWarnFile")->isChecked(), c.alarm != 0);
        EXPECT_EQ(Peer(*widget).ConfigFilePathText(), package);
        EXPECT_EQ(Peer(*widget).AlarmFilePathText(), QString()) << "a missing file is not put in the box";
        for (const char* name : {"cbx_DevType", "check_LockParameter", "check_AutoPlayVideo",
                                 "check_AutoUpgradeConfigFile", "check_AutoUploadAudioWarnFile"})
            EXPECT_FALSE(Child<QWidget>(widget.get(), name)->isEnabled()) << name;
        EXPECT_TRUE(boxes.texts.isEmpty()) << "the lock warning is for the operator's own click";
        widget.reset();
    }
}

TEST_F(ControllerTest, TheOperatorsLockClickWarnsAndTheTypeBoxResetsTheOptions)
{
    Make();
    BoxRecorder boxes;
    Child<QCheckBox>(widget.get(), "check_LockParameter")->setChecked(true);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Hint|<font size='20' color='red'> When checked"));
    EXPECT_TRUE(Peer(*widget).m_bLockParameter);

    ClearEvents();
    Child<QComboBox>(widget.get(), "cbx_DevType")->setCurrentIndex(3);
    QCoreApplication::sendPostedEvents(&host);
    EXPECT_FALSE(Child<QCheckBox>(widget.get(), "check_LockParameter")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(widget.get(), "check_AutoUploadAudioWarnFile")->isChecked());
    EXPECT_TRUE(std::find(host.events.begin(), host.events.end(), std::make_pair(int(WM_TEST_TYPE_CHANGED), qint64(3))) !=
                host.events.end());

    Child<QCheckBox>(widget.get(), "check_AutoPlayVideo")->setChecked(false);
    EXPECT_FALSE(Child<QCheckBox>(widget.get(), "check_AutoUpgradeConfigFile")->isChecked());
    EXPECT_FALSE(Child<QPushButton>(widget.get(), "btn_BeginRun")->isEnabled());
}

TEST_F(ControllerTest, ThePanelLayoutFollowsItsSizeAndTestType)
{
    Make();
    widget->resize(480, 376);
    widget->InitComboBoxStyle();
    EXPECT_EQ(Child<QPushButton>(widget.get(), "btn_BeginRun")->geometry(), QRect(0, 5, 120, 30));
    auto* group = Child<QGroupBox>(widget.get(), "group_ConfigItem");
    EXPECT_EQ(group->geometry(), QRect(0, 37, 470, 326));
    // The network-card box follows its caption, which takes its text's width,
    // and takes the rest of the row.
    const QRect caption = Child<QLabel>(widget.get(), "m_lbNetworkCard")->geometry();
    const QRect box = Child<QComboBox>(widget.get(), "m_cbbNetworkCard")->geometry();
    EXPECT_EQ(caption.topLeft(), QPoint(124, 10));
    EXPECT_EQ(box.y(), 10);
    EXPECT_EQ(box.x(), caption.right() + 4);
    EXPECT_EQ(box.right(), 480 - 11);
    // The rows keep the form's spacing and start below the group's title, which
    // a wider font makes taller.
    const int shift = Child<QWidget>(widget.get(), "check_LockParameter")->y() - 15;
    EXPECT_GE(shift, 0);
    EXPECT_GE(shift + 15, group->contentsRect().top());
    EXPECT_EQ(Child<QLineEdit>(widget.get(), "le_SelectConfigFile")->geometry(), QRect(10, 132 + shift, 430, 22));
    const QRect browse = Child<QPushButton>(widget.get(), "btn_SelectAudioWarnFile")->geometry();
    EXPECT_EQ(browse.topRight(), QPoint(466, 207 + shift));
    EXPECT_GE(browse.width(), 22);
    EXPECT_FALSE(Child<QWidget>(widget.get(), "le_SelectAudioWarnFile")->isHidden());
    EXPECT_LE(widget->NeededHeight(), 376);   // the form's rows fit the panel of a 1920 x 1040 screen
    // Captions are never cut, whatever the font's width.
    for (const char* name : {"check_LockParameter", "check_AutoPlayVideo", "check_AutoUpgradeConfigFile",
                             "lb_SelectConfigFile", "check_AutoUploadAudioWarnFile", "lb_SelectAudioFWarnFile"}) {
        const QWidget* text = Child<QWidget>(widget.get(), name);
        EXPECT_GE(text->width(), text->sizeHint().width()) << name;
        EXPECT_LE(text->geometry().right(), 460) << name;
    }

    Child<QComboBox>(widget.get(), "cbx_DevType")->setCurrentIndex(4);
    widget->InitComboBoxStyle();
    for (const char* name : {"check_AutoUploadAudioWarnFile", "lb_SelectAudioFWarnFile", "le_SelectAudioWarnFile",
                             "btn_SelectAudioWarnFile"})
        EXPECT_TRUE(Child<QWidget>(widget.get(), name)->isHidden()) << name;
    EXPECT_FALSE(Child<QCheckBox>(widget.get(), "check_AutoUploadAudioWarnFile")->isChecked());
}

// ---------------------------------------------------------------------------
// Login states and the list locks

TEST_F(ControllerTest, LoginEventsWhileAWorkerWalksTheLists)
{
    Make();
    constexpr int kDevices = 40;
    for (int i = 1; i <= kDevices; ++i) {
        const QByteArray sn = "VT" + QByteArray::number(qint64(1000000000000) + i);
        const QByteArray ip = "127.0.2." + QByteArray::number(i);
        const DevInfo dev = MakeDevice(sn.constData(), ip.constData(), i, 0);
        Lists(*widget).m_vecSearchDevsInfo.push_back(dev);
        Lists(*widget).m_vecSearchReadyDevsInfo.push_back(dev);
        Lists(*widget).m_vecImageStreamTestDevsInfo.push_back(dev);
    }
    std::atomic<bool> stop{false};
    std::atomic<int> passes{0};
    std::thread walker([&] {
        while (!stop.load()) {
            const DevInfo probe = MakeDevice("VT1000000000007", "127.0.3.1", 0, 0);
            widget->Lists().IsExitDevByIP(probe);
            widget->Lists().IsDevInSearchReadyDevsInfo(probe);
            widget->Lists().IsDevInImageStreamTestDevsInfo(probe);
            {
                std::lock_guard<ListLock> ready(Lists(*widget).m_lockReady);
                std::lock_guard<ListLock> stream(Lists(*widget).m_lockStream);
                for (const DevInfo& dev : Lists(*widget).m_vecSearchReadyDevsInfo)
                    (void)dev.lLoginStatus;
            }
            ++passes;
        }
    });
    SdkCallLog::Instance().Clear();
    for (int round = 0; round < 20; ++round) {
        for (int i = 1; i <= kDevices; ++i)
            Peer(*widget).SetDevLoginStatus(i, (round + i) % 2 ? 1 : -1);
    }
    Peer(*widget).SetDevLoginStatus(999, 1);
    ASSERT_TRUE(WaitFor([&] { return passes.load() > 10; }));
    stop = true;
    walker.join();
    for (int i = 1; i <= kDevices; ++i) {
        const int64_t expected = (19 + i) % 2 ? 1 : -1;
        EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[i - 1].lLoginStatus, expected);
        EXPECT_EQ(Lists(*widget).m_vecSearchReadyDevsInfo[i - 1].lLoginStatus, expected);
        EXPECT_EQ(Lists(*widget).m_vecImageStreamTestDevsInfo[i - 1].lLoginStatus, expected);
    }
    // No current device: no serial-number query; an unknown handle sends nothing.
    EXPECT_TRUE(SdkCallsOf("FC_Loc_IoTQuery").isEmpty());
    EXPECT_EQ(SdkCallsOf("FC_Loc_SetLoginOption").size(), 20 * kDevices);
}

TEST_F(ControllerTest, ALoginOfASearchedDeviceAsksTheCurrentDeviceForItsSerialNumber)
{
    Make();
    Lists(*widget).m_vecSearchDevsInfo.push_back(MakeDevice("VT1000000000001", "127.0.2.1", 31, 0));
    widget->Lists().SetCurrentDevice(MakeDevice("VT1000000000002", "127.0.2.2", 32, 1));
    SdkCallLog::Instance().Clear();
    Peer(*widget).SetDevLoginStatus(31, 1);
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTQuery").size(), 1);
    EXPECT_TRUE(SdkCallsOf("FC_Loc_IoTQuery").value(0).startsWith("32,1019,"));
    Peer(*widget).SetDevLoginStatus(31, -1);
    EXPECT_EQ(SdkCallsOf("FC_Loc_IoTQuery").size(), 1);
}

TEST_F(ControllerTest, SingleFixedAddressModeBeginsTheTestOrAsksForTheAlarmFileOutsideTheLock)
{
    Make();
    ConfigInfo config = widget->ConfigSnapshot();
    config.m_SystemConfig.iSingleFixedIPTestMode = 1;
    widget->SetConfig(config);
    DevInfo streaming = MakeDevice("VT1000000000001", "127.0.2.1", 41, 0);
    DevStore(streaming.lRealHandle, int64_t(7));
    Lists(*widget).m_vecSearchDevsInfo.push_back(streaming);
    Lists(*widget).m_vecSearchReadyDevsInfo.push_back(streaming);

    struct BeginCounter : QObject {
        int begins = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == static_cast<QEvent::Type>(WM_BEGIN_AUTO_TEST))
                ++begins;
            return false;
        }
    } counter;
    widget->installEventFilter(&counter);

    ClearEvents();
    Peer(*widget).SetDevLoginStatus(41, 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counter.begins, 1);
    EXPECT_EQ(EventCodes(), std::vector<int>{WM_RESET_UI});
    EXPECT_EQ(Lists(*widget).m_vecSearchReadyDevsInfo[0].lLoginStatus, 1);

    // Alarm upload on without a file: the box, shown with the search list free.
    Child<QCheckBox>(widget.get(), "check_AutoUploadAudioWarnFile")->setChecked(true);
    BoxRecorder boxes;
    bool searchLockHeld = true;
    boxes.whileOpen = [&] { searchLockHeld = Lists(*widget).m_lockSearch.RankHeldByThisThread(); };
    Peer(*widget).SetDevLoginStatus(41, -1);
    Peer(*widget).SetDevLoginStatus(41, 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(boxes.texts, QStringList{"Error|please select audio alarm file"});
    EXPECT_FALSE(searchLockHeld);
    EXPECT_EQ(counter.begins, 1);
    EXPECT_EQ(Lists(*widget).m_vecSearchDevsInfo[0].lLoginStatus, 1);
    EXPECT_EQ(Lists(*widget).m_vecSearchReadyDevsInfo[0].lLoginStatus, -1) << "the pass ends before the ready list";
    widget->removeEventFilter(&counter);
}

// ---------------------------------------------------------------------------
// Events, waits and the QR dialog

TEST_F(ControllerTest, BeginAutoTestClearsTheStepTimersOfALoggedInDevice)
{
    Make();
    Peer(*widget).m_AutoSteps[STEP_SN].iTimerId = widget->startTimer(600000);
    Peer(*widget).m_AutoSteps[STEP_4G].iTimerId = widget->startTimer(600000);
    Peer(*widget).m_bManalAutoTesting = true;
    QCoreApplication::postEvent(widget.get(), new VantrelEvent(WM_BEGIN_AUTO_TEST, 0, 0));
    QCoreApplication::sendPostedEvents(widget.get());
    EXPECT_NE(Peer(*widget).m_AutoSteps[STEP_SN].iTimerId, 0) << "no device is logged in";

    // A stopped device: the chain's start sends nothing and starts no step.
    DevInfo stopped = MakeDevice("VT1000000000001", "127.0.2.1", 51, 1);
    DevStore(stopped.lStopFlag, int64_t(1));
    widget->Lists().SetCurrentDevice(stopped);
    QCoreApplication::postEvent(widget.get(), new VantrelEvent(WM_BEGIN_AUTO_TEST, 0, 0));
    QCoreApplication::sendPostedEvents(widget.get());
    for (const AutoStepSlot& slot : Peer(*widget).m_AutoSteps)
        EXPECT_EQ(slot.iTimerId, 0);
    EXPECT_TRUE(Peer(*widget).m_bManualAutoStopRequest);
}

TEST_F(ControllerTest, AWaitForThePictureTellsWhetherItStillServesTheSameDevice)
{
    Make();
    widget->Lists().SetCurrentDevice(MakeDevice("VT1000000000001", "127.0.2.1", 61, 1));
    widget->Lists().UpdateCurrentDevice(61, [](DevInfo& dev) { dev.TestRuslut.m_iTestVideo = 1; });
    EXPECT_TRUE(Peer(*widget).WaitWithEventLoop()) << "a picture already seen needs no wait";

    widget->Lists().UpdateCurrentDevice(61, [](DevInfo& dev) { dev.TestRuslut.m_iTestVideo = 0; });
    Peer(*widget).m_pVideoTimer->start(1);
    EXPECT_TRUE(Peer(*widget).WaitWithEventLoop()) << "ended by the video time-out, same device";
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.m_iTestVideo, -1) << "the time-out judged the video";
    widget->Lists().UpdateCurrentDevice(61, [](DevInfo& dev) { dev.TestRuslut.m_iTestVideo = 0; });

    // Once the wait runs, the stream-test thread moves on to the next device.
    std::thread next;
    QTimer::singleShot(0, widget.get(), [&] {
        next = std::thread(
            [&] { widget->Lists().SetCurrentDevice(MakeDevice("VT1000000000002", "127.0.2.2", 62, 1)); });
    });
    EXPECT_FALSE(Peer(*widget).WaitWithEventLoop()) << "another device became current meanwhile";
    next.join();
    EXPECT_EQ(widget->Lists().CurrentLoginHandle(), 62);
}

TEST_F(ControllerTest, TheModelFillsItsFieldAndAMismatchedTypeFailsTheDevice)
{
    Make();
    DevInfo dev = MakeDevice("VT1000000000001", "127.0.2.1", 81, 1);
    const QByteArray identify = "IPC_" + QByteArray(80, 'M') + "_V2";
    SetResultText(dev.szFileSystemIdentify, identify.constData());
    std::memset(dev.szModel, 'x', sizeof(dev.szModel));
    widget->Lists().SetCurrentDevice(dev);
    EXPECT_EQ(Peer(*widget).IsSpecialModel(), 0);
    const DevInfo after = widget->Lists().CurrentDevice();
    EXPECT_EQ(QByteArray(after.szModel, 63), QByteArray(63, 'M'));
    EXPECT_EQ(after.szModel[63], '\0') << "64-byte field, terminator kept";

    widget->Lists().ClearCurrentDevice();
    EXPECT_EQ(Peer(*widget).IsSpecialModel(), -1) << "no current device";

    DevTypeInfo type;
    type.eType = 4;
    CurrentTestType = 1;
    Peer(*widget).m_bTestNormal = true;
    Peer(*widget).JudgeTestModel(type);
    EXPECT_TRUE(Peer(*widget).m_bTestNormal);
    CurrentTestType = 0;
    Peer(*widget).JudgeTestModel(type);
    EXPECT_FALSE(Peer(*widget).m_bTestNormal);
}

TEST_F(ControllerTest, TheQrScanDialogFollowsThePanelAndLendsItTheKeyboard)
{
    Make();
    auto* dialog = new CheckQRCodeDlg("code", "part", widget.get());
    Peer(*widget).m_pCheckQRCodeDlg = dialog;
    dialog->installEventFilter(widget.get());
    Peer(*widget).m_bCheckQRCodeDlgOpen = true;
    widget->show();
    EXPECT_TRUE(dialog->isVisible());
    widget->hide();
    EXPECT_FALSE(dialog->isVisible());
    widget->show();
    EXPECT_TRUE(dialog->isVisible()) << "an open scan comes back with the panel";

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(dialog, &activate);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(dialog, &deactivate);
    EXPECT_EQ(host.releases, 1);
    EXPECT_EQ(host.grabs, 1);

    dialog->close();
    EXPECT_FALSE(Peer(*widget).m_bCheckQRCodeDlgOpen);
    widget->hide();
    widget->show();
    EXPECT_FALSE(dialog->isVisible()) << "a closed scan stays closed";
}

TEST_F(ControllerTest, JobsOfEveryKindAreFreedWhetherTakenOrRefused)
{
    Make();
    auto jobs = [&] {
        Peer(*widget).PostQRCodeJob(AUX_MSG_PRINT_QRCODE, AUX_SOURCE_AUTO);
        Peer(*widget).PostQRCodeJob(AUX_MSG_CHECK_QRCODE, AUX_SOURCE_MANUAL);
        Peer(*widget).Post4GJob(true);
        Peer(*widget).PostBindJob();
        Peer(*widget).PostAuthorizeJob();
        AuxResponsePtr status(new AuxResponseInfo);
        status->pResponse = new char[16]();
        return Peer(*widget).PostTalkJob(std::move(status));
    };
    EXPECT_TRUE(jobs());
    Peer(*widget).Workers().RequestStop(StationWorkers::Aux);
    EXPECT_FALSE(jobs()) << "a closed queue refuses the post, which frees the job";
    // The leak check of the test build proves every job was freed.
}

}  // namespace
