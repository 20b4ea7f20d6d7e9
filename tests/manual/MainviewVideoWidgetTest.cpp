// The main video window: its keyboard surface (presses and releases to
// WM_MANUAL_TEST, auto-repeat, Ctrl keys to the result panel, Esc), the pane's
// layout and overlay switches, playing a simulated camera into the pane, and
// the pane's refresh, which runs only while a stream feeds it.
#include "MainviewVideoWidget.h"
#include "UploadTestResultDialog.h"

#include "Clock.h"
#include "DeviceEntry.h"
#include "EnumClass.h"
#include "PlanePacker.h"
#include "RunningTimers.h"
#include "SdkCallLog.h"
#include "SimCameraLogin.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Posted {
    int code;
    qint64 word1;
    qint64 word2;
    bool operator==(const Posted& o) const { return code == o.code && word1 == o.word1 && word2 == o.word2; }
};

std::ostream& operator<<(std::ostream& os, const Posted& p)
{
    return os << "(" << p.code << ", " << p.word1 << ", " << p.word2 << ")";
}

// The main window as the video window sees it: keeps every event posted to it.
class Owner : public QWidget {
public:
    std::vector<Posted> posted;

protected:
    void customEvent(QEvent* event) override
    {
        if (auto* e = dynamic_cast<VantrelEvent*>(event))
            posted.push_back({int(e->code), e->word1, e->word2});
    }
};

class VideoWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_appDir = new TempAppDir("[FULL_OSD]\r\nbAutoTest=true\r\nbManualTest=true\r\nbVersionInfo=true\r\n"); }
    static void TearDownTestSuite()
    {
        delete s_appDir;
        s_appDir = nullptr;
    }

    void SetUp() override
    {
        owner.setGeometry(0, 0, 1200, 900);
        window = new MainviewVideoWidget(&owner);
        window->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    }

    void Key(QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false)
    {
        QKeyEvent event(type, key, mods, QString(), autoRepeat);
        QCoreApplication::sendEvent(window, &event);
    }
    void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false)
    {
        Key(QEvent::KeyPress, key, mods, autoRepeat);
    }
    void Release(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false)
    {
        Key(QEvent::KeyRelease, key, mods, autoRepeat);
    }

    std::vector<Posted> Take()
    {
        QCoreApplication::sendPostedEvents(&owner, 0);
        std::vector<Posted> out;
        out.swap(owner.posted);
        return out;
    }

    static TempAppDir* s_appDir;
    Owner owner;
    MainviewVideoWidget* window = nullptr;   // owned by owner
};

TempAppDir* VideoWindowTest::s_appDir = nullptr;

constexpr int kManual = WM_MANUAL_TEST;

TEST_F(VideoWindowTest, EachKeyPostsItsItemOnPressAndHoldItemsOnRelease)
{
    struct KeyCase {
        int key;
        int item;
        qint64 pressParam;
        bool onRelease;
    };
    const KeyCase cases[] = {
        {Qt::Key_Q, 0, 0, false},  {Qt::Key_W, 1, 0, false},      {Qt::Key_E, 2, 0, false},
        {Qt::Key_M, 3, 0, false},  {Qt::Key_R, 4, 0, true},       {Qt::Key_T, 5, 0, true},
        {Qt::Key_N, 6, 0, false},  {Qt::Key_Y, 7, 0, false},      {Qt::Key_O, 8, 0, true},
        {Qt::Key_P, 9, 0, true},   {Qt::Key_B, 10, 0, false},     {Qt::Key_A, 11, 0, false},
        {Qt::Key_S, 12, 0, false}, {Qt::Key_D, 13, 0, false},     {Qt::Key_G, 14, 0, false},
        {Qt::Key_H, 15, 0, true},  {Qt::Key_J, 16, 0, true},      {Qt::Key_K, 17, 0, false},
        {Qt::Key_Up, 18, 0, true}, {Qt::Key_Down, 19, 0, true},   {Qt::Key_Left, 20, 0, true},
        {Qt::Key_Right, 21, 0, true}, {Qt::Key_L, 23, 0, false},  {Qt::Key_C, 24, 0, false},
        {Qt::Key_2, 25, 0, false}, {Qt::Key_V, 26, 0, false},     {Qt::Key_X, 27, 0, false},
        {Qt::Key_1, 28, 0, false}, {Qt::Key_U, 30, -1, false},    {Qt::Key_I, 32, -1, false},
        {Qt::Key_Space, 34, 0, false},
    };
    for (const KeyCase& c : cases) {
        Press(c.key);
        Release(c.key);
        std::vector<Posted> expected = {{kManual, c.item, c.pressParam}};
        if (c.onRelease)
            expected.push_back({kManual, c.item, 1});
        EXPECT_EQ(Take(), expected) << "key " << c.key;
    }
    for (int key : {int(Qt::Key_F), int(Qt::Key_Z), int(Qt::Key_0), int(Qt::Key_3), int(Qt::Key_4), int(Qt::Key_5),
                    int(Qt::Key_6), int(Qt::Key_7), int(Qt::Key_8), int(Qt::Key_9), int(Qt::Key_Return)}) {
        Press(key);
        Release(key);
    }
    EXPECT_TRUE(Take().empty()) << "keys without an item post nothing";
}

TEST_F(VideoWindowTest, HoldingAKeyPostsOnePressAndOneRelease)
{
    // X11 auto-repeat: each repeat is a release and a press, both flagged.
    auto hold = [this](int key, int repeats) {
        Press(key);
        for (int i = 0; i < repeats; ++i) {
            Release(key, Qt::NoModifier, true);
            Press(key, Qt::NoModifier, true);
        }
        Release(key);
    };
    hold(Qt::Key_Up, 5);
    EXPECT_EQ(Take(), (std::vector<Posted>{{kManual, 18, 0}, {kManual, 18, 1}}));
    hold(Qt::Key_U, 4);
    EXPECT_EQ(Take(), (std::vector<Posted>{{kManual, 30, -1}}));
    hold(Qt::Key_Q, 3);
    EXPECT_EQ(Take(), (std::vector<Posted>{{kManual, 0, 0}}));
}

TEST_F(VideoWindowTest, CtrlKeysGoToTheResultPanelAndNeverToTheDevice)
{
    // Without a panel a Ctrl key does nothing at all.
    Press(Qt::Key_R, Qt::ControlModifier);
    Release(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(Take().empty());

    UploadTestResultDialog panel(&owner);
    window->SetResultPanel(&panel);
    QCheckBox* zoomSub = panel.findChild<QCheckBox*>("chk_ZoomSub");
    ASSERT_NE(zoomSub, nullptr);
    Press(Qt::Key_R, Qt::ControlModifier);
    for (int i = 0; i < 3; ++i) {
        Release(Qt::Key_R, Qt::ControlModifier, true);
        Press(Qt::Key_R, Qt::ControlModifier, true);
    }
    Release(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(zoomSub->isChecked()) << "one toggle for one held key";
    EXPECT_TRUE(Take().empty()) << "neither the press nor the release of Ctrl+R moves the focus";

    // A focus move started without Ctrl still stops when Ctrl is down at the release.
    Press(Qt::Key_R);
    Release(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Take(), (std::vector<Posted>{{kManual, 4, 0}, {kManual, 4, 1}}));

    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_TRUE(panel.findChild<QCheckBox*>("chk_PtzUp")->isChecked());
    EXPECT_TRUE(Take().empty());
}

TEST_F(VideoWindowTest, EscLeavesFullScreenAndHidesTheOverlay)
{
    window->resize(640, 480);
    window->LayoutVideo();
    VideoForm* pane = window->GetVideoForm();
    pane->ShowTestOSD(true);
    QLabel* caption = pane->findChild<QLabel*>("m_lbAutoTest");
    ASSERT_FALSE(caption->isHidden());
    EXPECT_FALSE(window->IsFullScreen());
    Press(Qt::Key_Escape);
    Release(Qt::Key_Escape);
    EXPECT_EQ(Take(), (std::vector<Posted>{{WM_FULL_SCREEN, 0, 0}}));
    EXPECT_TRUE(caption->isHidden());
}

TEST_F(VideoWindowTest, PaneFillsTheWindowAndFollowsTheSettings)
{
    EXPECT_EQ(window->objectName(), QString("MainviewVideoWidget"));
    EXPECT_EQ(window->windowTitle(), QString("Form"));
    EXPECT_EQ(window->size(), QSize(400, 300));
    window->resize(802, 602);
    window->LayoutVideo();
    EXPECT_EQ(window->GetVideoForm()->geometry(), QRect(1, 1, 800, 600));
    EXPECT_EQ(window->GetVideoForm()->parentWidget(), window);

    ConfigInfo config;
    config.m_FullOsd.bAutoTest = false;
    config.m_FullOsd.bManualTest = true;
    config.m_FullOsd.bVersionInfo = false;
    window->SetDeviceInfo(config);
    EXPECT_FALSE(window->GetVideoForm()->IsAutoTestShown());
    EXPECT_TRUE(window->GetVideoForm()->IsManualTestShown());
    EXPECT_FALSE(window->GetVideoForm()->IsVersionInfoShown());

    window->SetFullScreen(true);
    EXPECT_TRUE(window->IsFullScreen());

    // 1004 with word 0 marks the pane for display; any other word does nothing.
    window->GetVideoForm()->SetDisplayFlag(0);
    QCoreApplication::postEvent(window, new VantrelEvent(WM_UPDATE_VIDEO, 1, 0));
    QCoreApplication::sendPostedEvents(window, 0);
    EXPECT_EQ(window->GetVideoForm()->DisplayFlag(), 0);
    QCoreApplication::postEvent(window, new VantrelEvent(WM_UPDATE_VIDEO, 0, 0));
    QCoreApplication::sendPostedEvents(window, 0);
    EXPECT_EQ(window->GetVideoForm()->DisplayFlag(), 1);
}

TEST_F(VideoWindowTest, APaneClickBringsTheResultPanelBack)
{
    window->ShowResultPanelOnTop();   // no panel: nothing
    UploadTestResultDialog panel(&owner);
    window->SetResultPanel(&panel);
    EXPECT_FALSE(panel.isVisible());
    window->ShowResultPanelOnTop();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.windowFlags() & Qt::WindowStaysOnTopHint);
}

// True when the window's own 40 ms refresh is running.
bool Refreshing(MainviewVideoWidget* window)
{
    const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(window);
    return std::any_of(timers.begin(), timers.end(), [](const QAbstractEventDispatcher::TimerInfo& t) {
        return t.interval == MainviewVideoWidget::REPAINT_INTERVAL_MS;
    });
}

uint64_t g_tick = 0;
uint64_t FakeTick()
{
    return g_tick;
}

// Counts the paints an object receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The window shown with its pane ready to draw, on a tick that only the test moves.
class VideoWindowRefreshTest : public VideoWindowTest {
protected:
    void SetUp() override
    {
        VideoWindowTest::SetUp();
        g_tick = 100000;
        Clock::SetTickSource(&FakeTick);
        window->resize(320, 240);
        window->LayoutVideo();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        pane = window->GetVideoForm();
        pane->grabFramebuffer();   // builds the shaders
        ASSERT_TRUE(pane->IsInitialised());
        pane->installEventFilter(&counter);
    }

    void TearDown() override { Clock::SetTickSource(nullptr); }

    // One decoded picture, as the controller's decode callback hands it over.
    void Feed()
    {
        constexpr int kSide = 32;
        static const std::vector<uint8_t> luma(kSide * kSide, 128), chroma(kSide * kSide / 4, 128);
        PlaneSource source;
        source.width = source.height = kSide;
        source.pitches[0] = kSide;
        source.pitches[1] = source.pitches[2] = kSide / 2;
        source.planes[0] = luma.data();
        source.planes[1] = source.planes[2] = chroma.data();
        pane->InputFrame(source, FRAME_STYLE_PLANAR);
    }

    bool Until(const std::function<bool()>& cond) { return QTest::qWaitFor(cond, 10000); }

    VideoForm* pane = nullptr;
    PaintCounter counter;
};

TEST_F(VideoWindowRefreshTest, AnIdlePaneWakesNothingAndAFedOneIsRefreshed)
{
    EXPECT_FALSE(Refreshing(window)) << "refreshed with no stream";
    // Rendering started with no camera, as after Begin Run: the wait image
    // comes up, and then nothing polls.
    pane->SetStopRender(false);
    EXPECT_TRUE(Until([&] { return pane->IsWaitShown(); }));
    EXPECT_TRUE(Until([&] { return RunningTimers(window).isEmpty(); }))
        << RunningTimers(window).size() << " timers run on an idle window";

    // The controller's stream feeds the pane without binding it.
    Feed();
    EXPECT_TRUE(Until([&] { return Refreshing(window); }));
    const int paints = counter.paints;
    EXPECT_TRUE(Until([&] { return counter.paints >= paints + 3; })) << "the refresh does not repaint";
    EXPECT_FALSE(pane->IsWaitShown());

    // The stream stalls: both the refresh and the wait poll end.
    g_tick += OpenglRender::WAIT_AFTER_MS + 1;
    EXPECT_TRUE(Until([&] { return pane->IsWaitShown() && RunningTimers(window).isEmpty(); }));

    // A new picture brings the refresh back; stopping the rendering ends it.
    Feed();
    EXPECT_TRUE(Until([&] { return Refreshing(window); }));
    pane->SetStopRender(true);
    EXPECT_TRUE(Until([&] { return RunningTimers(window).isEmpty(); }));
}

// A simulated camera logged in, ready to be played into the window's pane.
class VideoWindowPlayTest : public VideoWindowTest {
protected:
    void SetUp() override
    {
        VideoWindowTest::SetUp();
        SimCameraConfig camera;
        camera.serial = "SN-MAIN-0001";
        camera.address = "127.0.0.31";
        camera.loginDelayMs = 0;
        const int64_t login = SimCameraLogin::LogIn(camera, entry);
        ASSERT_GT(login, 0);
        std::strcpy(twin.szAddress, "127.0.0.31");
        twin.nStreamPort = camera.port;
        twin.lLoginHandle = login;

        window->resize(320, 240);
        window->LayoutVideo();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        SdkCallLog::Instance().Clear();
    }

    void TearDown() override
    {
        window->StopPlay();
        FC_Loc_SetStatusCallback(nullptr, nullptr);
        SimLan::Instance().Reset();
    }

    static int Calls(const char* function) { return SdkCallLog::Instance().CallsOf(function).size(); }

    DeviceEntry entry;
    DeviceEntry twin;   // another record of the same camera
};

TEST_F(VideoWindowPlayTest, TheSameCameraOnChannelZeroKeepsItsStream)
{
    VideoForm* pane = window->GetVideoForm();
    EXPECT_EQ(window->PlayDevice(nullptr), -1);
    EXPECT_FALSE(pane->IsBind());

    ASSERT_EQ(window->PlayDevice(&entry), 0);
    EXPECT_TRUE(pane->IsBind());
    EXPECT_EQ(pane->Channel(), 0);
    EXPECT_EQ(Calls("FC_Loc_RealPlayEx"), 1);

    EXPECT_EQ(window->PlayDevice(&twin), 0);
    DeviceEntry* bound = nullptr;
    pane->GetDevice(bound);
    EXPECT_EQ(bound, &entry) << "a record with the same address leaves the stream as it is";
    EXPECT_EQ(Calls("FC_Loc_RealPlayEx"), 1);
    EXPECT_EQ(Calls("FC_Loc_StopRealPlay"), 0);

    window->StopPlay();
    EXPECT_FALSE(pane->IsBind());
    EXPECT_EQ(Calls("FC_Loc_StopRealPlay"), 1);
    window->StopPlay();   // unbound: nothing
    EXPECT_EQ(Calls("FC_Loc_StopRealPlay"), 1);
}

TEST_F(VideoWindowPlayTest, ABoundPaneIsRefreshedUntilItsStreamStops)
{
    EXPECT_FALSE(Refreshing(window));
    ASSERT_EQ(window->PlayDevice(&entry), 0);
    EXPECT_TRUE(Refreshing(window)) << "bound, before its first picture";
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->GetVideoForm()->IsReceiving(); }, 10000)) << "no picture came";
    window->StopPlay();
    EXPECT_FALSE(Refreshing(window));
    EXPECT_TRUE(QTest::qWaitFor([this] { return RunningTimers(window).isEmpty(); }, 10000));
}

TEST_F(VideoWindowPlayTest, AnotherChannelOrCameraRestartsOnChannelZero)
{
    VideoForm* pane = window->GetVideoForm();
    ASSERT_EQ(pane->BindDevice(&entry, 1), 0);
    ASSERT_EQ(window->PlayDevice(&entry), 0);
    EXPECT_EQ(pane->Channel(), 0);
    EXPECT_EQ(Calls("FC_Loc_StopRealPlay"), 1);

    DeviceEntry other;
    std::strcpy(other.szAddress, "127.0.0.32");
    other.nStreamPort = entry.nStreamPort;
    ASSERT_EQ(window->PlayDevice(&other), 0);
    DeviceEntry* bound = nullptr;
    pane->GetDevice(bound);
    EXPECT_EQ(bound, &other);
    EXPECT_EQ(Calls("FC_Loc_StopRealPlay"), 2);
    window->StopPlay();   // before the record goes
}

}  // namespace
