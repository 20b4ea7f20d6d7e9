// The video pane's overlay: switches from the settings, fonts and rows, the
// growing automatic result list, escaping, double click and press handling.
#include "VideoForm.h"
#include "VideoPaneHost.h"
#include "TestPictures.h"

#include "AppGlobals.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTextDocument>

#include <algorithm>
#include <memory>

namespace {

// The main video window as the pane sees it.
class FakeOwner : public QWidget, public VideoPaneHost {
public:
    bool IsFullScreen() const override { return fullScreen; }
    void ShowResultPanelOnTop() override { ++onTopCalls; }
    bool fullScreen = false;
    int onTopCalls = 0;
};

// The main window: keeps the codes and first words of the events posted to it.
class EventSink : public QObject {
public:
    void customEvent(QEvent* event) override
    {
        if (auto* e = dynamic_cast<VantrelEvent*>(event))
            received.append({int(e->code), e->word1});
    }
    QList<QPair<int, qint64>> received;
};

const QByteArray kConfig =
    "[FULL_OSD]\r\nbAutoTest=true\r\nbManualTest=false\r\nbVersionInfo=true\r\n";

class VideoFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The settings store is made once per process, over the first AppDir.
        s_appDir = new TempAppDir(kConfig);
    }
    static void TearDownTestSuite()
    {
        delete s_appDir;
        s_appDir = nullptr;
    }

    void SetUp() override
    {
        MainWindowInstance = &sink;
        WholeMachineTestMode = false;
        owner.resize(847, 600);
        pane = new VideoForm(&owner);
        pane->setGeometry(0, 0, 847, 600);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        pane->UpdateOSDStyle();
    }

    void TearDown() override
    {
        MainWindowInstance = nullptr;
        WholeMachineTestMode = false;
    }

    QLabel* Label(const char* name) { return pane->findChild<QLabel*>(name); }
    static QString Plain(const QString& html)
    {
        QTextDocument doc;
        doc.setHtml(html);
        return doc.toPlainText();
    }

    static TempAppDir* s_appDir;
    EventSink sink;
    FakeOwner owner;
    VideoForm* pane = nullptr;   // owned by owner
};

TempAppDir* VideoFormTest::s_appDir = nullptr;

const char* const kAllLabels[] = {"m_lbAutoTest", "m_lbManualTest", "m_lbVersionInfo",
                                  "m_lbAutoTestResult", "m_lbManualTestResult", "m_lbVersionInfoResult"};

TEST_F(VideoFormTest, StartsHiddenWithTheSwitchesOfTheSettings)
{
    EXPECT_TRUE(pane->IsAutoTestShown());
    EXPECT_FALSE(pane->IsManualTestShown());
    EXPECT_TRUE(pane->IsVersionInfoShown());
    for (const char* name : kAllLabels)
        EXPECT_TRUE(Label(name)->isHidden()) << name;
    EXPECT_FALSE(pane->IsBind());
    EXPECT_EQ(pane->windowTitle(), QString("Form"));
}

TEST_F(VideoFormTest, OverlayFontFollowsThePaneHeight)
{
    for (const char* name : kAllLabels)
        EXPECT_EQ(Label(name)->font().pixelSize(), 20) << name;   // 600 / 30
    EXPECT_EQ(Label("m_lbAutoTest")->text(), QString("Automatic test:"));
    EXPECT_EQ(Label("m_lbManualTest")->text(), QString("Manual test:"));
    EXPECT_EQ(Label("m_lbVersionInfo")->text(), QString("Version Information:"));
    EXPECT_EQ(Label("m_lbAutoTest")->palette().color(QPalette::WindowText), QColor(Qt::green));
    EXPECT_EQ(Label("m_lbAutoTest")->palette().color(QPalette::Window), QColor(255, 255, 255, 47));
}

TEST_F(VideoFormTest, RowsStackFromTheBottomSkippingSwitchedOffOnes)
{
    QLabel* autoCaption = Label("m_lbAutoTest");
    QLabel* versionCaption = Label("m_lbVersionInfo");
    const int step = autoCaption->height() + 10;
    EXPECT_EQ(versionCaption->y(), 600 - step);
    EXPECT_EQ(autoCaption->y(), versionCaption->y() - step) << "manual row off: automatic sits on version";
    EXPECT_EQ(autoCaption->x(), 5);
    const int widest = std::max({autoCaption->width(), Label("m_lbManualTest")->width(), versionCaption->width()});
    EXPECT_EQ(Label("m_lbVersionInfoResult")->x(), widest + 10);
    EXPECT_EQ(Label("m_lbAutoTestResult")->x(), widest + 10);
    EXPECT_GT(Label("m_lbVersionInfoResult")->x(), versionCaption->x() + versionCaption->width())
        << "a result never runs over its caption";

    pane->SetOsdSwitches(true, true, true);
    pane->LayoutOSD();
    EXPECT_EQ(Label("m_lbManualTest")->y(), versionCaption->y() - step);
    EXPECT_EQ(autoCaption->y(), versionCaption->y() - 2 * step);
}

TEST_F(VideoFormTest, AutomaticResultsGrowUpwardWithTheirBottomFixed)
{
    QLabel* result = Label("m_lbAutoTestResult");
    QLabel* caption = Label("m_lbAutoTest");
    const int rowBottom = caption->y() + caption->height();
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "RTC Test:normal", true);
    const int oneLine = result->height();
    EXPECT_EQ(result->y() + result->height(), rowBottom);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "TF Test:abnormal", false);
    EXPECT_EQ(result->y() + result->height(), rowBottom);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "PTZ Test:normal", true);
    EXPECT_EQ(result->y() + result->height(), rowBottom);
    EXPECT_GT(result->height(), 2 * oneLine);

    EXPECT_EQ(result->text(), QString("<font color = #00ff00>RTC Test:normal< / font><br>"
                                      "<font color = #ff0000>TF Test:abnormal< / font><br>"
                                      "<font color = #00ff00>PTZ Test:normal< / font>"));
    EXPECT_EQ(Plain(result->text()), QString("RTC Test:normal\nTF Test:abnormal\nPTZ Test:normal"));

    pane->ClearTestResultText();
    EXPECT_TRUE(result->text().isEmpty());
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "RTC Test:normal", true);
    EXPECT_FALSE(result->text().startsWith("<br>")) << "a cleared list starts without a break";
}

TEST_F(VideoFormTest, RelayoutBetweenAutomaticResultsKeepsThemOnSeparateLines)
{
    QLabel* result = Label("m_lbAutoTestResult");
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "RTC Test:normal", true);
    // The main video window restyles the pane after every relayout (full screen
    // and back), also while a test writes its results; a new height changes the font.
    pane->RefreshOSDStyle();
    pane->setGeometry(0, 0, 847, 450);
    pane->RefreshOSDStyle();
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "TF Test:abnormal", false);
    EXPECT_EQ(Plain(result->text()).toStdString(), "RTC Test:normal\nTF Test:abnormal");

    pane->ClearTestResultText();
    pane->RefreshOSDStyle();
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "PTZ Test:normal", true);
    EXPECT_EQ(Plain(result->text()).toStdString(), "PTZ Test:normal");
}

TEST_F(VideoFormTest, ManualAndVersionTextsReplaceAndAreEscaped)
{
    QLabel* manual = Label("m_lbManualTestResult");
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, "first", true);
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, "Speaker<br>:abnormal", false);
    EXPECT_EQ(Plain(manual->text()), QString("Speaker<br>:abnormal"));
    EXPECT_TRUE(manual->text().startsWith("<font color = #ff0000>"));

    // A device's reply may carry markup; it must show as it came.
    const QString reply = "V1.2 <img src=x> & <b>beta</b>";
    pane->SetTestResultText(VideoForm::RESULT_VERSION, reply, true);
    EXPECT_EQ(Plain(Label("m_lbVersionInfoResult")->text()), reply);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "<i>x</i>", true);
    EXPECT_EQ(Plain(Label("m_lbAutoTestResult")->text()), QString("<i>x</i>"));
}

TEST_F(VideoFormTest, ShowTestOsdShowsOnlySwitchedOnRows)
{
    pane->ShowTestOSD(true);
    EXPECT_FALSE(Label("m_lbAutoTest")->isHidden());
    EXPECT_FALSE(Label("m_lbAutoTestResult")->isHidden());
    EXPECT_TRUE(Label("m_lbManualTest")->isHidden());
    EXPECT_TRUE(Label("m_lbManualTestResult")->isHidden());
    EXPECT_FALSE(Label("m_lbVersionInfoResult")->isHidden());
    pane->ShowTestOSD(false);
    for (const char* name : kAllLabels)
        EXPECT_TRUE(Label(name)->isHidden()) << name;
}

TEST_F(VideoFormTest, PaneThatOutlivesItsOwnerIgnoresClicks)
{
    QWidget window;
    window.resize(300, 200);
    auto* first = new FakeOwner;
    auto* moved = new VideoForm(first);
    moved->setParent(&window);
    moved->setGeometry(0, 0, 300, 200);
    delete first;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WholeMachineTestMode = true;
    QTest::mouseClick(moved, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseDClick(moved, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCoreApplication::sendPostedEvents(&sink);
    EXPECT_TRUE(sink.received.isEmpty());
}

TEST_F(VideoFormTest, UnbindingAnUnboundPaneChangesNothing)
{
    EXPECT_EQ(pane->UnbindDevice(), -1);
    EXPECT_FALSE(pane->IsBind());
    DeviceEntry* entry = reinterpret_cast<DeviceEntry*>(1);
    EXPECT_EQ(pane->GetDevice(entry), 0);
    EXPECT_EQ(entry, nullptr);
}

TEST_F(VideoFormTest, DoubleClickTogglesFullScreenThroughTheMainWindow)
{
    pane->ShowTestOSD(true);
    owner.fullScreen = true;
    QTest::mouseDClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QCoreApplication::sendPostedEvents(&sink);
    ASSERT_EQ(sink.received.size(), 1);
    EXPECT_EQ(sink.received[0], qMakePair(int(WM_FULL_SCREEN), qint64(0)));
    for (const char* name : kAllLabels)
        EXPECT_TRUE(Label(name)->isHidden()) << name;

    owner.fullScreen = false;
    QTest::mouseDClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QCoreApplication::sendPostedEvents(&sink);
    ASSERT_EQ(sink.received.size(), 2);
    EXPECT_EQ(sink.received[1], qMakePair(int(WM_FULL_SCREEN), qint64(1)));
    EXPECT_FALSE(Label("m_lbAutoTest")->isHidden());

    MainWindowInstance = nullptr;
    QTest::mouseDClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QCoreApplication::sendPostedEvents(&sink);
    EXPECT_EQ(sink.received.size(), 2) << "no main window: nothing happens";
}

TEST_F(VideoFormTest, PressRaisesTheResultPanelOnlyInWorkOrderMode)
{
    QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(owner.onTopCalls, 0);
    EXPECT_EQ(pane->DisplayFlag(), 1);
    WholeMachineTestMode = true;
    QTest::mouseClick(pane, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(owner.onTopCalls, 1);
}

// Colour bars under the overlay, saved for a look when STATION_SCREENSHOT_DIR is set.
TEST_F(VideoFormTest, OverlayOverAPicture)
{
    owner.resize(847, 691);
    pane->setGeometry(0, 0, 847, 691);
    QTest::qWait(50);
    pane->UpdateOSDStyle();
    pane->SetOsdSwitches(true, true, true);
    pane->SetStopRender(false);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "RTC Test:normal", true);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "TF Card Test:abnormal", false);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, "Reply <b>&amp;</b>", true);
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, "MANUAL_TRUMPET:normal", true);
    pane->SetTestResultText(VideoForm::RESULT_VERSION, "V5.2.1 build 20261210", true);
    pane->LayoutOSD();
    pane->ShowTestOSD(true);

    const int w = 320, h = 240;
    SolidPicture base(w, h, 0, 0, 0, FRAME_STYLE_PLANAR);
    std::vector<uint8_t> y(size_t(w) * h), u(size_t(w / 2) * (h / 2)), v(u.size());
    const uint8_t bars[4][3] = {{81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {210, 16, 146}};   // red green blue yellow
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            y[size_t(r) * w + c] = bars[c * 4 / w][0];
    for (int r = 0; r < h / 2; ++r)
        for (int c = 0; c < w / 2; ++c) {
            u[size_t(r) * (w / 2) + c] = bars[c * 8 / w][1];
            v[size_t(r) * (w / 2) + c] = bars[c * 8 / w][2];
        }
    PlaneSource source;
    source.width = w;
    source.height = h;
    source.pitches[0] = w;
    source.pitches[1] = source.pitches[2] = w / 2;
    source.planes[0] = y.data();
    source.planes[1] = u.data();
    source.planes[2] = v.data();
    pane->InputFrame(source, FRAME_STYLE_PLANAR);
    const QImage picture = pane->grabFramebuffer();
    const QImage shot = pane->grab().toImage();

    // Bars from left to right: red, green, blue, yellow.
    auto at = [&](int bar) { return picture.pixelColor(picture.width() * (2 * bar + 1) / 8, 100); };
    EXPECT_GT(at(0).red(), 200);
    EXPECT_LT(at(0).green(), 80);
    EXPECT_GT(at(1).green(), 200);
    EXPECT_LT(at(1).red(), 80);
    EXPECT_GT(at(2).blue(), 200);
    EXPECT_LT(at(2).green(), 80);
    EXPECT_GT(at(3).red(), 200);
    EXPECT_GT(at(3).green(), 200);
    // The overlay is drawn over the picture in the lower left corner.
    QLabel* caption = Label("m_lbAutoTest");
    EXPECT_NE(shot.pixelColor(caption->geometry().center()), picture.pixelColor(caption->geometry().center()));

    const QString dir = qEnvironmentVariable("STATION_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        EXPECT_TRUE(shot.save(dir + "/videoform_overlay.png"));
    }
}

}  // namespace
