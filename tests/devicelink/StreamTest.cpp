// A simulated camera streams through the SDK stand-in, the live-play path and
// the play library stand-in into a video pane: the pane's framebuffer shows
// the camera's colour bars in order, in both plane layouts, and binding and
// unbinding while pictures flow leaves no stream, port or callback behind.
#include "DeviceEntry.h"
#include "VideoForm.h"

#include "FuncLib.h"
#include "PlayCtrl.h"
#include "SimCameraLogin.h"
#include "TempAppDir.h"
#include "sim/SimLan.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// Names the colour of one pixel of the 75% colour bars as the pane draws them.
QString ColourName(const QColor& c)
{
    auto hi = [](int v) { return v > 120; };
    auto lo = [](int v) { return v < 60; };
    const int r = c.red(), g = c.green(), b = c.blue();
    if (hi(r) && hi(g) && hi(b)) return "white";
    if (lo(r) && lo(g) && lo(b)) return "black";
    if (hi(r) && hi(g) && lo(b)) return "yellow";
    if (lo(r) && hi(g) && hi(b)) return "cyan";
    if (lo(r) && hi(g) && lo(b)) return "green";
    if (hi(r) && lo(g) && hi(b)) return "magenta";
    if (hi(r) && lo(g) && lo(b)) return "red";
    if (lo(r) && lo(g) && hi(b)) return "blue";
    return QString();
}

// The bars met along one row, left to right, ignoring blends at the edges.
QStringList BarsAlong(const QImage& image, int y)
{
    QStringList bars;
    QString current;
    int run = 0;
    for (int x = 4; x < image.width() - 4; x += 2) {
        const QString name = ColourName(image.pixelColor(x, y));
        run = name == current ? run + 1 : 1;
        current = name;
        if (run == 4 && !name.isEmpty() && (bars.isEmpty() || bars.last() != name))
            bars << name;
    }
    return bars;
}

// The bars scroll sideways, so a row is a turn of a circle: a bar cut by the
// edge shows at both ends and is one bar.
bool ContainsInOrder(QStringList seen, const QStringList& wanted)
{
    if (seen.size() > 1 && seen.first() == seen.last())
        seen.removeLast();
    const QString doubled = (seen + seen).join(',');
    return doubled.contains(wanted.join(','));
}

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimCameraConfig camera;
        camera.serial = "SN-VIDEO-0001";
        camera.address = "127.0.0.21";
        camera.loginDelayMs = 0;
        camera.media.width = 320;
        camera.media.height = 240;
        camera.media.fps = 25;
        ASSERT_GT(SimCameraLogin::LogIn(camera, entry), 0);

        owner.resize(640, 480);
        pane = new VideoForm(&owner);
        pane->setGeometry(0, 0, 640, 480);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        pane->grabFramebuffer();
        ASSERT_TRUE(pane->IsInitialised());
        CountPictures();
    }

    void TearDown() override
    {
        delete pane;   // unbinds a bound device first
        pane = nullptr;
        FC_Loc_SetStatusCallback(nullptr, nullptr);
        SimLan::Instance().Reset();
    }

    // Waits until the pane has been handed count more pictures. The signal
    // comes from the decode thread: it is counted there, atomically.
    bool WaitForPictures(int count)
    {
        const int start = pictures;
        return QTest::qWaitFor([this, start, count] { return pictures - start >= count; }, 10000);
    }

    void CountPictures()
    {
        QObject::connect(pane, &OpenglRender::signalUpdateView, pane, [this] { ++pictures; }, Qt::DirectConnection);
    }

    std::atomic<int> pictures{0};

    TempAppDir appDir;
    DeviceEntry entry;
    QWidget owner;
    VideoForm* pane = nullptr;
};

const QStringList kBarOrder = {"yellow", "cyan", "green", "magenta", "red", "blue"};

TEST(StreamBarsTest, RowsAreReadAsATurnOfTheScrollingBars)
{
    const struct {
        QStringList row;
        bool found;
    } cases[] = {
        {{"white", "yellow", "cyan", "green", "magenta", "red", "blue", "black"}, true},
        {{"red", "blue", "black", "white", "yellow", "cyan", "green", "magenta"}, true},
        // The row that made the check fail: cyan cut in two by the edge.
        {{"cyan", "green", "magenta", "red", "blue", "black", "white", "yellow", "cyan"}, true},
        {{"yellow", "cyan", "magenta", "green", "red", "blue"}, false},
        {{"yellow", "cyan", "green", "red", "blue", "yellow"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContainsInOrder(c.row, kBarOrder), c.found) << c.row.join(' ').toStdString();
}

TEST_F(StreamTest, PaneShowsTheCamerasColourBars)
{
    ASSERT_EQ(pane->BindDevice(&entry, 0), 0);
    EXPECT_TRUE(pane->IsBind());
    ASSERT_TRUE(WaitForPictures(5)) << "no pictures reached the pane";
    const QImage image = pane->grabFramebuffer();
    EXPECT_EQ(pane->CurrentYuvStyle(), FRAME_STYLE_PLANAR);
    const QStringList bars = BarsAlong(image, image.height() / 8);
    EXPECT_TRUE(ContainsInOrder(bars, kBarOrder)) << bars.join(' ').toStdString();

    const QString dir = qEnvironmentVariable("STATION_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        pane->UpdateOSDStyle();
        pane->SetOsdSwitches(true, true, true);
        pane->SetTestResultText(VideoForm::RESULT_AUTO, "SN-VIDEO-0001 streaming", true);
        pane->SetTestResultText(VideoForm::RESULT_VERSION, "simulated camera 320x240", true);
        pane->LayoutOSD();
        pane->ShowTestOSD(true);
        EXPECT_TRUE(pane->grab().save(dir + "/stream_pane.png"));
    }
}

TEST_F(StreamTest, SemiPlanarPicturesShowTheSameBars)
{
    ASSERT_EQ(pane->BindDevice(&entry, 0), 0);
    int port = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [this, &port] {
            std::lock_guard<std::mutex> lock(entry.mutex);
            port = entry.channels[0].lPlayPort;
            return entry.channels[0].bPlayerStarted;
        },
        10000));
    PC_SetPixelLayout(port, PC_LAYOUT_SEMI_PLANAR);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            pane->grabFramebuffer();
            return pane->CurrentYuvStyle() == FRAME_STYLE_SEMI_PLANAR;
        },
        10000));
    ASSERT_TRUE(WaitForPictures(2));
    const QImage image = pane->grabFramebuffer();
    EXPECT_EQ(pane->CurrentYuvStyle(), FRAME_STYLE_SEMI_PLANAR);
    const QStringList bars = BarsAlong(image, image.height() / 8);
    EXPECT_TRUE(ContainsInOrder(bars, kBarOrder)) << bars.join(' ').toStdString();
}

TEST_F(StreamTest, BindingAndUnbindingWhilePicturesFlowLeavesNothingBehind)
{
    for (int round = 0; round < 4; ++round) {
        ASSERT_EQ(pane->BindDevice(&entry, 0), 0);
        ASSERT_TRUE(WaitForPictures(2)) << "round " << round;
        EXPECT_EQ(SimLan::Instance().LiveStreams(), 1);
        ASSERT_EQ(pane->UnbindDevice(), 0);
        EXPECT_FALSE(pane->IsBind());
        EXPECT_EQ(SimLan::Instance().LiveStreams(), 0);
        const DeviceEntry::Slot& slot = entry.channels[0];
        EXPECT_EQ(slot.lRealHandle, 0);
        EXPECT_EQ(slot.lPlayPort, 0);
        EXPECT_TRUE(slot.renderers.empty());
        EXPECT_FALSE(slot.bPlayerStarted);
        // Nothing arrives once the binding is gone.
        const int before = pictures;
        QTest::qWait(120);
        EXPECT_EQ(pictures, before) << "round " << round;
    }
    // A pane that goes away while bound stops its stream first.
    ASSERT_EQ(pane->BindDevice(&entry, 0), 0);
    ASSERT_TRUE(WaitForPictures(2));
    delete pane;
    pane = nullptr;
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 0);
    EXPECT_TRUE(entry.channels[0].renderers.empty());
}

}  // namespace
