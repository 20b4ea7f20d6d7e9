// The main window's routing of the station's events, its layout and screen
// factors, the configuration hand-out and the services it gives the panels.
#include "MainWindowFixture.h"

#include "AuxResponseInfo.h"
#include "CConfigFile.h"
#include "CDeviceManagement.h"
#include "DevTestResult.h"
#include "EnumClass.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "MainLayout.h"
#include "MainviewVideoWidget.h"
#include "PlayerStatusInfo.h"
#include "PresetCallParam.h"
#include "QNvrWebMessageBox.h"
#include "RightBottomWidget.h"
#include "UploadTestResultDialog.h"
#include "VantrelEvent.h"
#include "WIFITestWidget.h"

#include <QAbstractItemView>
#include <QDir>
#include <QGuiApplication>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <thread>

TempAppDir* MainWindowTest::s_dir = nullptr;
BackendSimulator* MainWindowTest::s_sim = nullptr;

namespace {

char* Text(const char* text)
{
    char* copy = new char[strlen(text) + 1];
    strcpy(copy, text);
    return copy;
}

AuxResponsePtr AuxRecord(int64_t stateCode, const char* response)
{
    AuxResponsePtr info(new AuxResponseInfo);
    info->lLoginID = 77;
    info->lStateCode = stateCode;
    info->pResponse = Text(response);
    return info;
}

VantrelEvent* StatusRecord(int code, qint64 word2)
{
    return new VantrelEvent(code, 0, word2, AuxRecord(1, "status data"));
}

VantrelEvent* ReplyRecord(int code, qint64 word2)
{
    return new VantrelEvent(code, 0, word2, AuxRecord(1002, "<RESPONSE_PARAM Ret=\"0\" />"));
}

VantrelEvent* PlayerRecord(int code, qint64 word2)
{
    auto status = std::make_unique<PlayerStatusInfo>();
    status->nPort = 3;
    status->nEvent = 10;
    return new VantrelEvent(code, 0, word2, std::move(status));
}

QPushButton* Button(Dravonix& w, const char* name)
{
    return w.findChild<QPushButton*>(name);
}

int AutoResultRows(Dravonix& w)
{
    auto* view = w.GetManualPanel()->findChild<QAbstractItemView*>("m_AutoTestLstView");
    return view && view->model() ? view->model()->rowCount() : -1;
}

// What the routed events can change, for the codes that must change nothing.
struct Fingerprint {
    int testType, rows;
    bool fullScreen, quitEnabled, configEnabled, searchEnabled, grabbed, wifiHidden;
    QString quitTip;

    static Fingerprint Of(Dravonix& w)
    {
        return {CurrentTestType.load(),
                AutoResultRows(w),
                w.VideoWindow()->IsFullScreen(),
                Button(w, "m_btnQuit")->isEnabled(),
                Button(w, "m_btnSystemConfig")->isEnabled(),
                w.DeviceTable()->findChild<QPushButton*>("m_SearchDevBtn")->isEnabled(),
                QWidget::keyboardGrabber() == w.VideoWindow(),
                w.WifiPanel()->isHidden(),
                Button(w, "m_btnQuit")->toolTip()};
    }
    bool operator==(const Fingerprint& o) const
    {
        return testType == o.testType && rows == o.rows && fullScreen == o.fullScreen && quitEnabled == o.quitEnabled
            && configEnabled == o.configEnabled && searchEnabled == o.searchEnabled && grabbed == o.grabbed
            && wifiHidden == o.wifiHidden && quitTip == o.quitTip;
    }
};

// How a case builds its event: a plain first word, or a record the event carries.
using MakeEvent = std::function<VantrelEvent*(int code, qint64 word2)>;

struct RouteCase {
    const char* name;
    int code;
    MakeEvent event;
    qint64 word2;
    std::function<void(Dravonix&)> before;   // may be empty
    std::function<void(Dravonix&)> check;    // may be empty: the record is only freed
};

MakeEvent Value(qint64 word1)
{
    return [word1](int code, qint64 word2) { return new VantrelEvent(code, word1, word2); };
}

void Deliver(Dravonix& w, VantrelEvent* event)
{
    const int code = int(event->code);
    QCoreApplication::postEvent(&w, event);
    QCoreApplication::sendPostedEvents(&w, code);
}

void Deliver(Dravonix& w, int code, qint64 word1, qint64 word2)
{
    Deliver(w, new VantrelEvent(code, word1, word2));
}

std::vector<RouteCase> RoutingTable()
{
    const QString busy = "Detecting, please stop first";
    return {
        {"1005 enters full screen", WM_FULL_SCREEN, Value(1), 0, nullptr,
         [](Dravonix& w) { EXPECT_TRUE(w.VideoWindow()->IsFullScreen()); }},
        {"1005 reads its flag from the low 32 bits", WM_FULL_SCREEN, Value(qint64(1) << 32), 0,
         [](Dravonix& w) { w.VideoWindow()->SetFullScreen(true); },
         [](Dravonix& w) { EXPECT_FALSE(w.VideoWindow()->IsFullScreen()); }},
        {"1006 status record to the controller", WM_DEV_STATUS, StatusRecord, 0, nullptr, nullptr},
        {"1006 without a record", WM_DEV_STATUS, Value(0), 0, nullptr, nullptr},
        {"1010 reply record to the controller", WM_DEV_RESPONSE, ReplyRecord, 0, nullptr, nullptr},
        {"1010 without a record", WM_DEV_RESPONSE, Value(0), 0, nullptr, nullptr},
        {"1029 player record to the controller", WM_PLAYER_STATUS, PlayerRecord, 0, nullptr, nullptr},
        {"1018 test type 2 hides the Wi-Fi panel", WM_TEST_TYPE_CHANGED, Value(2), 0, nullptr,
         [](Dravonix& w) {
             EXPECT_EQ(CurrentTestType.load(), 2);
             EXPECT_TRUE(w.WifiPanel()->isHidden());
         }},
        {"1018 test type 0 shows it again", WM_TEST_TYPE_CHANGED, Value(0), 0,
         [](Dravonix& w) { Deliver(w, WM_TEST_TYPE_CHANGED, 3, 0); },
         [](Dravonix& w) {
             EXPECT_EQ(CurrentTestType.load(), 0);
             EXPECT_FALSE(w.WifiPanel()->isHidden());
         }},
        {"1019 auto play on disables the device table", WM_AUTO_PLAY_CHANGED, Value(1), 0, nullptr,
         [](Dravonix& w) { EXPECT_FALSE(w.DeviceTable()->findChild<QPushButton*>("m_SearchDevBtn")->isEnabled()); }},
        {"1019 auto play off enables it", WM_AUTO_PLAY_CHANGED, Value(0), 0,
         [](Dravonix& w) { Deliver(w, WM_AUTO_PLAY_CHANGED, 1, 0); },
         [](Dravonix& w) { EXPECT_TRUE(w.DeviceTable()->findChild<QPushButton*>("m_SearchDevBtn")->isEnabled()); }},
        {"1021 clears the panels", WM_RESET_UI, Value(0), 0,
         [](Dravonix& w) { w.GetManualPanel()->AddAutoTestResult("RTC Test:normal", 1); },
         [](Dravonix& w) { EXPECT_EQ(AutoResultRows(w), 0); }},
        {"1022 channel switch on a one-lens device does nothing", WM_MANUAL_TEST, Value(32), 1,
         [](Dravonix& w) { w.GetManualPanel()->SetChannelInfo(0, 1, false); },
         [](Dravonix& w) { EXPECT_FALSE(w.GetManualPanel()->IsMultiChannel()); }},
        {"1022 ordinary item reaches the controller", WM_MANUAL_TEST, Value(0), 0, nullptr, nullptr},
        {"1023 Wi-Fi verdict", WM_WIFI_TEST_FINISH, Value(0), 1, nullptr, nullptr},
        {"1024 Wi-Fi data", WM_WIFI_TEST_DATA, Value(0), 0, nullptr, nullptr},
        {"1026 hands out the stored configuration", WM_CONFIG_SAVED, Value(0), 0,
         [](Dravonix&) {
             SystemConfig config;
             CConfigFile::GetInstance()->ReadConfig(config);
             config.StreamJudgeTime = 4321;
             ASSERT_EQ(CConfigFile::GetInstance()->WriteConfig(config), 0);
         },
         [](Dravonix& w) { EXPECT_EQ(w.GetController()->ConfigSnapshot().m_SystemConfig.StreamJudgeTime, 4321); }},
        {"1027 running disables both title buttons", WM_RUN_STATE, Value(0), 0, nullptr,
         [busy](Dravonix& w) {
             for (const char* name : {"m_btnQuit", "m_btnSystemConfig"}) {
                 EXPECT_FALSE(Button(w, name)->isEnabled()) << name;
                 EXPECT_EQ(Button(w, name)->toolTip(), busy) << name;
             }
         }},
        {"1027 idle (any bit of the 64) enables them", WM_RUN_STATE, Value(qint64(1) << 40), 0,
         [](Dravonix& w) { Deliver(w, WM_RUN_STATE, 0, 0); },
         [](Dravonix& w) {
             for (const char* name : {"m_btnQuit", "m_btnSystemConfig"}) {
                 EXPECT_TRUE(Button(w, name)->isEnabled()) << name;
                 EXPECT_EQ(Button(w, name)->toolTip(), QString()) << name;
             }
         }},
        {"1028 settings closed: the video window takes the keyboard", WM_CONFIG_CLOSED, Value(0), 1, nullptr,
         [](Dravonix& w) { EXPECT_EQ(QWidget::keyboardGrabber(), w.VideoWindow()); }},
        {"1028 with word2 0 releases it", WM_CONFIG_CLOSED, Value(0), 0,
         [](Dravonix& w) { w.GrabVideoKeyboard(); },
         [](Dravonix&) { EXPECT_EQ(QWidget::keyboardGrabber(), nullptr); }},
        {"1028 with word1 set does nothing", WM_CONFIG_CLOSED, Value(1), 1, nullptr,
         [](Dravonix&) { EXPECT_EQ(QWidget::keyboardGrabber(), nullptr); }},
        {"1030 shows the sensor switch", WM_SENSOR_SWITCH_SUPPORT, Value(1), 0, nullptr,
         [](Dravonix& w) { EXPECT_TRUE(w.GetManualPanel()->IsSwitchSensorVisible()); }},
        {"1030 with 0 hides it", WM_SENSOR_SWITCH_SUPPORT, Value(0), 0,
         [](Dravonix& w) { w.GetManualPanel()->ShowSensorSwitch(true); },
         [](Dravonix& w) { EXPECT_FALSE(w.GetManualPanel()->IsSwitchSensorVisible()); }},
        {"1031 disables the channel switch", WM_MANUAL_ITEM_ENABLE, Value(32), 0,
         [](Dravonix& w) { w.GetManualPanel()->SetChannelInfo(0, 2, false); },
         [](Dravonix& w) { EXPECT_FALSE(w.GetManualPanel()->IsSwitchChannelEnabled()); }},
        {"1031 enables it again", WM_MANUAL_ITEM_ENABLE, Value(32), 1,
         [](Dravonix& w) {
             w.GetManualPanel()->SetChannelInfo(0, 2, false);
             w.GetManualPanel()->SetItemEnabled(32, false);
         },
         [](Dravonix& w) { EXPECT_TRUE(w.GetManualPanel()->IsSwitchChannelEnabled()); }},
    };
}

}  // namespace

TEST_F(MainWindowTest, RoutesEveryCodeToItsPanelAndFreesEveryRecord)
{
    Make();
    for (const RouteCase& c : RoutingTable()) {
        SCOPED_TRACE(c.name);
        if (c.before)
            c.before(*window);
        Deliver(*window, c.event(c.code, c.word2));
        if (c.check)
            c.check(*window);
    }
}

TEST_F(MainWindowTest, CodesWithoutARowChangeNothing)
{
    Make();
    const Fingerprint before = Fingerprint::Of(*window);
    for (int code : {1004, 1007, 1008, 1009, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1020, 1025}) {
        Deliver(*window, code, 1, 1);
        EXPECT_TRUE(Fingerprint::Of(*window) == before) << code;
    }
}

TEST_F(MainWindowTest, RecordsAreFreedWhenThePanelsAreGone)
{
    Make();
    window->close();
    ASSERT_EQ(window->GetController(), nullptr);
    ASSERT_EQ(window->GetManualPanel(), nullptr);
    for (const RouteCase& c : RoutingTable()) {
        SCOPED_TRACE(c.name);
        Deliver(*window, c.event(c.code, c.word2));
    }
    Deliver(*window, new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0,
                                      std::make_unique<PresetCallParam>()));
}

TEST_F(MainWindowTest, APresetRecordIsFreedWhenNoPanelRunsIt)
{
    Make();
    // Taken by the panel and dropped (no preset control shown), and handled by
    // the controller: either way the record goes exactly once.
    for (int i = 0; i < 2; ++i) {
        auto param = std::make_unique<PresetCallParam>();
        param->preset = 7;
        Deliver(*window, new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0, std::move(param)));
    }
}

TEST_F(MainWindowTest, EventsStillQueuedWhenTheWindowGoesAreFreed)
{
    Make();
    QCoreApplication::postEvent(window.get(), StatusRecord(WM_DEV_STATUS, 0));
    QCoreApplication::postEvent(window.get(), ReplyRecord(WM_DEV_RESPONSE, 0));
    QCoreApplication::postEvent(window.get(), PlayerRecord(WM_PLAYER_STATUS, 0));
    window.reset();   // no event loop ran: the leak check at exit sees every record freed
    EXPECT_EQ(MainWindowInstance.load(), nullptr);
}

// ---------------------------------------------------------------------------
// Layout and screen factors

TEST(MainLayoutTest, PlacesEveryPanelOnA1920By1040Area)
{
    const MainLayout l = MainLayout::Compute(1920, 1040, 1920, 1040);
    const struct {
        const char* name;
        QRect actual, expected;
    } rows[] = {
        {"controller", l.controller, {2, 72, 480, 376}},
        {"device table", l.deviceTable, {2, 490, 480, 208}},
        {"Wi-Fi panel", l.wifiPanel, {2, 700, 480, 110}},
        {"information panel", l.infoPanel, {2, 812, 480, 208}},
        {"video window", l.videoWindow, {504, 32, 1406, 746}},
        {"manual panel", l.manualPanel, {504, 780, 1406, 260}},
        {"close", l.close, {1895, 0, 25, 25}},
        {"minimize", l.minimize, {1860, 0, 25, 25}},
        {"settings", l.systemConfig, {1825, 0, 25, 25}},
        {"log-out menu", l.quit, {1790, 0, 25, 25}},
        {"login", l.login, {965, 0, 200, 25}},
        {"notice", l.upgradeTips, {1175, 0, 605, 30}},
        {"company", l.companyName, {580, 0, 375, 25}},
        {"title", l.title, {152, 22, 250, 25}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.name;
    EXPECT_EQ(l.titleLogo, QPoint(5, 7));
}

TEST(MainLayoutTest, OddSizesDivideTowardZero)
{
    const MainLayout l = MainLayout::Compute(1366, 738, 1366, 738);
    EXPECT_EQ(l.controller, QRect(2, 72, 341, 255));      // 1366/4, 2*738/5 - 40
    EXPECT_EQ(l.deviceTable, QRect(2, 369, 341, 147));
    EXPECT_EQ(l.wifiPanel, QRect(2, 518, 341, 51));
    EXPECT_EQ(l.infoPanel, QRect(2, 571, 341, 147));
    EXPECT_EQ(l.videoWindow, QRect(365, 32, 991, 520));   // 738 - 738/4 - 34
    EXPECT_EQ(l.manualPanel, QRect(365, 554, 991, 184));
}

// A panel that needs more than the formula gives takes it: the controller from
// the free rows above the device table, the Wi-Fi and information panels from
// the table, which keeps its own need by the information panel's compact rows
// and then the Wi-Fi panel's one-line trouble.
TEST(MainLayoutTest, LeftColumnPanelsGetWhatTheyNeed)
{
    const struct {
        const char* name;
        LeftColumnNeeds needs;
        QRect controller, table, wifi, info;
    } cases[] = {
        {"within the formula", {300, 100, 100, 200, 150},
         {2, 72, 480, 376}, {2, 490, 480, 208}, {2, 700, 480, 110}, {2, 812, 480, 208}},
        {"controller into the free rows", {400, 0, 0, 0, 0},
         {2, 72, 480, 400}, {2, 490, 480, 208}, {2, 700, 480, 110}, {2, 812, 480, 208}},
        {"controller up to the table", {500, 0, 0, 0, 0},
         {2, 72, 480, 416}, {2, 490, 480, 208}, {2, 700, 480, 110}, {2, 812, 480, 208}},
        {"from the table", {0, 100, 150, 250, 200},
         {2, 72, 480, 376}, {2, 490, 480, 126}, {2, 618, 480, 150}, {2, 770, 480, 250}},
        {"compact rows keep the table", {0, 150, 150, 300, 220},
         {2, 72, 480, 376}, {2, 490, 480, 156}, {2, 648, 480, 150}, {2, 800, 480, 220}},
        {"then the Wi-Fi trouble on one line", {0, 150, 250, 300, 220, 150},
         {2, 72, 480, 376}, {2, 490, 480, 156}, {2, 648, 480, 150}, {2, 800, 480, 220}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainLayout l = MainLayout::Compute(1920, 1040, 1920, 1040);
        l.FitLeftColumn(c.needs);
        EXPECT_EQ(l.controller, c.controller);
        EXPECT_EQ(l.deviceTable, c.table);
        EXPECT_EQ(l.wifiPanel, c.wifi);
        EXPECT_EQ(l.infoPanel, c.info);
    }
}

TEST(MainLayoutTest, ATallerManualPanelTakesItsRoomFromTheVideoWindow)
{
    MainLayout l = MainLayout::Compute(1920, 1040, 1920, 1040);
    l.FitManualPanel(200);
    EXPECT_EQ(l.manualPanel, QRect(504, 780, 1406, 260));
    EXPECT_EQ(l.videoWindow, QRect(504, 32, 1406, 746));
    l.FitManualPanel(300);
    EXPECT_EQ(l.manualPanel, QRect(504, 740, 1406, 300));
    EXPECT_EQ(l.videoWindow, QRect(504, 32, 1406, 706));
}

TEST(ScreenFactorsTest, At96DpiAndWithoutAScreenSize)
{
    const struct {
        int dpiX, dpiY;
        double mmX, pxX, mmY, pxY;
    } rows[] = {
        {96, 96, 0.10583333333, 9.44881889764, 0.10583333333, 9.44881889764},
        {120, 72, 0.08466666667, 11.81102362205, 0.14111111111, 7.08661417323},
        {0, -5, 0.10583333333, 9.44881889764, 0.10583333333, 9.44881889764},
    };
    for (const auto& r : rows) {
        const ScreenFactors f = ScreenFactors::FromDpi(r.dpiX, r.dpiY);
        EXPECT_NEAR(f.mmScaleX, r.mmX, 1e-9) << r.dpiX;
        EXPECT_NEAR(f.pxScaleX, r.pxX, 1e-9) << r.dpiX;
        EXPECT_NEAR(f.mmScaleY, r.mmY, 1e-9) << r.dpiY;
        EXPECT_NEAR(f.pxScaleY, r.pxY, 1e-9) << r.dpiY;
        EXPECT_NEAR(f.mmScaleX * f.pxScaleX, 1.0, 1e-12);   // each pair is reciprocal
    }
}

TEST_F(MainWindowTest, LaysItsPanelsOutOverTheScreensAvailableArea)
{
    Make();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(window->size(), area.size());
    const MainLayout l = MainLayout::Compute(area.width(), area.height(), area.width(), area.height());
    // The formula's places; a panel is only taller where it needs to be (the
    // fitting itself is MainLayoutTest's).
    const QWidget* column[] = {window->GetController(), window->DeviceTable(), window->WifiPanel(),
                               window->GetInfoPanel()};
    EXPECT_EQ(window->GetController()->geometry().topLeft(), l.controller.topLeft());
    EXPECT_GE(window->GetController()->height(), l.controller.height());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(column[i]->x(), 2) << i;
        EXPECT_EQ(column[i]->width(), l.controller.width()) << i;
        if (i > 0) {
            EXPECT_GT(column[i]->y(), column[i - 1]->geometry().bottom()) << i;
        }
    }
    EXPECT_EQ(window->GetInfoPanel()->geometry().bottom(), l.infoPanel.bottom());
    const QRect manual = window->GetManualPanel()->geometry();
    EXPECT_EQ(manual.x(), l.manualPanel.x());
    EXPECT_EQ(manual.width(), l.manualPanel.width());
    EXPECT_EQ(manual.bottom(), l.manualPanel.bottom());
    EXPECT_GE(manual.height(), l.manualPanel.height());
    const QRect video(window->VideoWindow()->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0)),
                      window->VideoWindow()->size());
    EXPECT_EQ(video.topLeft(), l.videoWindow.topLeft());
    EXPECT_EQ(video.width(), l.videoWindow.width());
    EXPECT_EQ(video.bottom() + 3, manual.top());
    EXPECT_EQ(window->VideoWindow()->windowFlags() & (Qt::Dialog | Qt::FramelessWindowHint),
              Qt::Dialog | Qt::FramelessWindowHint);

    const ScreenFactors f = ScreenFactors::FromDpi(window->physicalDpiX(), window->physicalDpiY());
    EXPECT_EQ(ScreenMmScaleX, f.mmScaleX);
    EXPECT_EQ(ScreenPxScaleY, f.pxScaleY);
}

TEST_F(MainWindowTest, LoadsTheTranslationOfLanguageZeroOnly)
{
    Make();
    EXPECT_EQ(window->Language(), 0);
    window->LoadTranslator(7);   // no such language: nothing changes
    EXPECT_EQ(window->Language(), 7);
    window->LoadTranslator(1);
    EXPECT_EQ(window->Language(), 1);
}

// ---------------------------------------------------------------------------
// Services of the panels

TEST_F(MainWindowTest, HandsACachedRecordToTheOfflineCache)
{
    Make();
    DevTestResult record{};
    strcpy(record.dev_sn, "VT21A00000000042");
    record.total_result = 1;
    window->AddCacheTestData(record);
    const QString day = QDir(s_dir->file("CacheTestData")).entryList({"*.dat"}, QDir::Files).value(0);
    ASSERT_FALSE(day.isEmpty());
    const QByteArray bytes = s_dir->readFile("CacheTestData/" + day);
    EXPECT_TRUE(bytes.contains("VT21A00000000042"));
    EXPECT_EQ(bytes.size() % int(sizeof(DevTestResult)), 0);
    QFile::remove(s_dir->file("CacheTestData/" + day));
}

TEST_F(MainWindowTest, TheDecodingFallbackReachesTheSettings)
{
    Make();
    window->SetHardwareDecode(1);
    ConfigInfo stored;
    CConfigFile::GetInstance()->GetConfigInfo(stored);
    EXPECT_EQ(stored.m_SystemConfig.HardwareAccelMode, 1);
    window->SetHardwareDecode(0);
    CConfigFile::GetInstance()->GetConfigInfo(stored);
    EXPECT_EQ(stored.m_SystemConfig.HardwareAccelMode, 0);
}

TEST_F(MainWindowTest, PanelsReachEachOtherThroughTheWindow)
{
    Make();
    EXPECT_EQ(window->GetCurVideoForm(), window->VideoWindow()->GetVideoForm());
    EXPECT_EQ(window->MainVideoForm(), window->GetCurVideoForm());
    EXPECT_EQ(Peer(*window->GetController()).m_host, static_cast<ControllerHost*>(window.get()));
    EXPECT_EQ(MainWindowInstance.load(), window.get());

    // The result panel's commit goes through the window to the controller,
    // and the channel switch from the manual panel to the controller.
    QSignalSpy commits(window->ResultPanel(), &UploadTestResultDialog::sig_SaveManualTestResult);
    window->SaveManualTestResult();
    EXPECT_EQ(commits.count(), 1);
    window->GetManualPanel()->SetChannelInfo(0, 2, false);
    QSignalSpy switches(window->GetManualPanel(), &RightBottomWidget::signalSwitchChannel);
    Deliver(*window, WM_MANUAL_TEST, 32, 1);
    EXPECT_EQ(switches.count(), 1);
}

// Counts the key presses that reach a widget (a key let go after its box has
// closed goes to the grab again, as it should).
struct KeyCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        presses += e->type() == QEvent::KeyPress ? 1 : 0;
        return false;
    }
};

// The boxes that come up over the running station: the submission's retry
// question (its captions set in place of the standard ones) and the station's
// message box. The answer shows each one modal, as exec() does, and types.
TEST_F(MainWindowTest, AModalBoxOverTheStationTakesTheKeyboardAndGivesItBack)
{
    Make();
    window->ShowStation();
    MainviewVideoWidget* video = window->VideoWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(video));
    ASSERT_EQ(QWidget::keyboardGrabber(), video);
    KeyCounter reached;
    video->installEventFilter(&reached);

    struct Case {
        const char* name;
        bool retryBox;   // else the station's message box
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int answer;
    };
    const Case cases[] = {
        {"Enter takes the default button", true, Qt::Key_Return, Qt::NoModifier, QMessageBox::Yes},
        {"Space presses the button with focus", true, Qt::Key_Space, Qt::NoModifier, QMessageBox::Yes},
        {"Esc says No", true, Qt::Key_Escape, Qt::NoModifier, QMessageBox::No},
        {"Alt+Y", true, Qt::Key_Y, Qt::AltModifier, QMessageBox::Yes},
        {"Alt+N", true, Qt::Key_N, Qt::AltModifier, QMessageBox::No},
        {"N alone", true, Qt::Key_N, Qt::NoModifier, QMessageBox::No},
        {"Enter on the message box", false, Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
        {"Esc on the message box", false, Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool grabbedMeanwhile = true;
        ModalHook::Set([&](QDialog* dialog) {
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->show();
            grabbedMeanwhile = QWidget::keyboardGrabber() != nullptr;
            // Typed once the box is the focus window with a button in focus,
            // as the operator sees it.
            if (!WaitFor([dialog] {
                    return QGuiApplication::focusWindow() == dialog->windowHandle()
                        && dialog->isAncestorOf(QApplication::focusWidget());
                }))
                return -1;
            QTest::keyClick(dialog->windowHandle(), c.key, c.mods);
            if (!WaitFor([dialog] { return !dialog->isVisible(); }, 5000))
                return -1;
            return dialog->result();
        });
        int answer = -1;
        if (c.retryBox) {
            QMessageBox box(QMessageBox::Information, "Hint", "Upload result:failed\nupload again?",
                            QMessageBox::Yes | QMessageBox::No, window->GetController(),
                            Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
            box.button(QMessageBox::Yes)->setText("Yes");
            box.button(QMessageBox::No)->setText("No");
            answer = ModalHook::Exec(&box);
            EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "Yes") << "the caption stays as it was set";
        } else {
            QNvrWebMessageBox box(window->DeviceTable());
            box.SetMessage("Device offline");
            box.ShowCancelButton(true);
            answer = box.exec();
        }
        ModalHook::Clear();
        EXPECT_EQ(answer, c.answer);
        EXPECT_FALSE(grabbedMeanwhile);
        EXPECT_EQ(reached.presses, 0) << "no key reached the video window";
        EXPECT_EQ(QWidget::keyboardGrabber(), video);
    }

    // Asked for while a box is up (the QR check dialog losing the focus to
    // it), the grab waits for the box; given up meanwhile, it stays given up.
    struct Turn {
        bool wanted;
        QWidget* after;
    };
    for (const Turn& t : {Turn{true, video}, Turn{false, nullptr}}) {
        QWidget* meanwhile = video;
        ModalHook::Set([&](QDialog* dialog) {
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->show();
            if (t.wanted)
                window->GrabVideoKeyboard();
            else
                window->ReleaseVideoKeyboard();
            meanwhile = QWidget::keyboardGrabber();
            dialog->hide();
            return 0;
        });
        QNvrWebMessageBox box(window.get());
        box.exec();
        ModalHook::Clear();
        EXPECT_EQ(meanwhile, nullptr) << t.wanted;
        EXPECT_EQ(QWidget::keyboardGrabber(), t.after) << t.wanted;
    }
}

TEST_F(MainWindowTest, TheGunBallSignalSetsTheChannelsAndTheResultPanel)
{
    Make();
    emit window->GetController()->signalGunBallDevice(true, 1);
    EXPECT_TRUE(window->GetManualPanel()->IsMultiChannel());
    emit window->GetController()->signalGunBallDevice(false, -1);
    EXPECT_FALSE(window->GetManualPanel()->IsMultiChannel());
    window->GetManualPanel()->SetChannelInfo(0, 2, false);
    emit window->GetController()->siganlBeginManulTest(true);   // no channel switch while items run
    EXPECT_FALSE(window->GetManualPanel()->IsSwitchChannelEnabled());
    emit window->GetController()->siganlBeginManulTest(false);
    EXPECT_TRUE(window->GetManualPanel()->IsSwitchChannelEnabled());
}

// ---------------------------------------------------------------------------
// Heartbeat and notice

// Each beat sends one heartbeat and arms the next; the close sequence lets go
// of the timer, so a restart a worker handed off late finds none.
TEST_F(MainWindowTest, TheHeartbeatSendsItsRequestAndTheCloseLetsGoOfItsTimer)
{
    Make();
    ASSERT_NE(HeartbeatTimer, nullptr);
    EXPECT_FALSE(HeartbeatTimer->isActive());
    window->OnHeartbeatTimer();
    EXPECT_EQ(OperationCount("heartbeat"), 1);
    EXPECT_TRUE(HeartbeatTimer->isActive());
    EXPECT_EQ(HeartbeatTimer->interval(), HEARTBEAT_INTERVAL_MS);

    window->close();
    EXPECT_EQ(HeartbeatTimer, nullptr);
}

TEST_F(MainWindowTest, ANoticeScrollsOnlyWhenItIsWiderThanItsLabel)
{
    Make();
    auto* label = window->findChild<QLabel*>("m_lbSystemUpgradeTips");
    ASSERT_NE(label, nullptr);
    NoticeText = "i";
    ASSERT_GT(label->width(), QFontMetrics(label->font()).horizontalAdvance(NoticeText));
    window->ApplyTestConfig(TestConfig(), QString(), QString());
    EXPECT_EQ(label->text(), "i");
    EXPECT_FALSE(window->MarqueeTimer()->isActive());
    EXPECT_FALSE(ApplyingOrderConfig.load());

    NoticeText = QString(400, QChar('n')) + "END";
    window->ApplyTestConfig(TestConfig(), QString(), QString());
    EXPECT_TRUE(window->MarqueeTimer()->isActive());
    EXPECT_EQ(window->MarqueeTimer()->interval(), Dravonix::MARQUEE_INTERVAL_MS);
    window->onTimerSystemUpgradeTips();
    EXPECT_EQ(label->text(), NoticeText.mid(1));
    for (int i = 1; i < NoticeText.size() - 1; ++i)
        window->onTimerSystemUpgradeTips();
    EXPECT_EQ(label->text(), "D");
    window->onTimerSystemUpgradeTips();   // past the last character: from the start again
    EXPECT_EQ(label->text(), NoticeText);
}
