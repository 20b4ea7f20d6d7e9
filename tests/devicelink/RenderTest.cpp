// The renderer under Xvfb with software GL: colours of each YUV style, the
// frame line, the wait animation and what stopping does to queued pictures.
#include "OpenglRender.h"
#include "TestPictures.h"

#include "Clock.h"
#include "RunningTimers.h"
#include "TempAppDir.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

uint64_t g_fakeTick = 0;
uint64_t FakeTick()
{
    return g_fakeTick;
}

// Y 128, U 64, V 192: U and V far apart, so a swap turns the reddish picture blue.
constexpr uint8_t kY = 128, kU = 64, kV = 192;

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fakeTick = 100000;
        Clock::SetTickSource(&FakeTick);
        render = std::make_unique<OpenglRender>();
        render->resize(160, 120);
        render->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(render.get()));
        render->grabFramebuffer();   // runs initializeGL / resizeGL
        ASSERT_TRUE(render->IsInitialised()) << "shader build failed";
        render->SetStopRender(false);
    }

    void TearDown() override
    {
        render.reset();
        Clock::SetTickSource(nullptr);
    }

    QImage Paint() { return render->grabFramebuffer(); }

    TempAppDir appDir;
    std::unique_ptr<OpenglRender> render;
};

struct StyleCase {
    const char* name;
    int style;
    int r, g, b;
};

class RenderStyleTest : public RenderTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(RenderStyleTest, ConvertsYuvToTheExpectedColour)
{
    const StyleCase& c = GetParam();
    SolidPicture picture(64, 48, kY, kU, kV, c.style);
    render->InputFrame(picture.Source(), c.style);
    const QColor colour = Centre(Paint());
    EXPECT_TRUE(Near(colour, c.r, c.g, c.b)) << c.name << " drew " << colour.name().toStdString();
    EXPECT_EQ(render->CurrentYuvStyle(), c.style);
}

// R = 1.15 (y + 1.13983 v), G = 1.15 (y - 0.39465 u - 0.5806 v), B = 1.15 (y + 2.03211 u),
// y = Y - 0.063 (none for style 2), u = U - 0.5, v = V - 0.5, all over 255.
INSTANTIATE_TEST_SUITE_P(
    Styles, RenderStyleTest,
    ::testing::Values(StyleCase{"SemiPlanar", FRAME_STYLE_SEMI_PLANAR, 213, 114, 0},
                      StyleCase{"Planar", FRAME_STYLE_PLANAR, 213, 114, 0},
                      StyleCase{"PlanarNoLuminanceOffset", FRAME_STYLE_PLANAR_FULL, 232, 133, 0}),
    [](const ::testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

TEST_F(RenderTest, SwappedChromaShowsAnotherColour)
{
    SolidPicture picture(64, 48, kY, kV, kU, FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    const QColor colour = Centre(Paint());
    EXPECT_TRUE(Near(colour, 45, 142, 255, 6)) << colour.name().toStdString();
}

// GL rasterisation may put a one-pixel line on either side of its coordinate:
// each side of the frame is looked for within two pixels of the widget's edge.
bool EdgesHave(const QImage& image, int r, int g, int b)
{
    const int w = image.width();
    const int h = image.height();
    auto any = [&](std::initializer_list<QPoint> points) {
        for (const QPoint& p : points)
            if (Near(image.pixelColor(p), r, g, b, 2))
                return true;
        return false;
    };
    return any({{0, h / 2}, {1, h / 2}, {2, h / 2}}) && any({{w - 1, h / 2}, {w - 2, h / 2}, {w - 3, h / 2}}) &&
           any({{w / 2, 0}, {w / 2, 1}, {w / 2, 2}}) && any({{w / 2, h - 1}, {w / 2, h - 2}, {w / 2, h - 3}});
}

TEST_F(RenderTest, FrameLineIsRedWhenSelectedAndBlackOtherwise)
{
    SolidPicture picture(64, 48, 235, 128, 128, FRAME_STYLE_PLANAR);   // near white
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    QImage image = Paint();
    EXPECT_TRUE(EdgesHave(image, 0, 0, 0));
    EXPECT_FALSE(EdgesHave(image, 255, 0, 0));
    EXPECT_GT(Centre(image).red(), 200);

    QTest::mouseClick(render.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(render->DisplayFlag(), 1);
    image = Paint();
    EXPECT_TRUE(EdgesHave(image, 255, 0, 0));
    EXPECT_GT(Centre(image).red(), 200) << "the line covers only the edge";

    render->SetDisplayFlag(0);
    image = Paint();
    EXPECT_TRUE(EdgesHave(image, 0, 0, 0));
    EXPECT_FALSE(EdgesHave(image, 255, 0, 0));
}

TEST_F(RenderTest, WaitImageAfterThreeSecondsWithoutAPicture)
{
    SolidPicture picture(32, 32, kY, kU, kV, FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    Paint();
    EXPECT_FALSE(render->IsWaitShown());
    g_fakeTick += OpenglRender::WAIT_AFTER_MS;
    Paint();
    EXPECT_FALSE(render->IsWaitShown()) << "exactly 3000 ms is not yet a stall";
    g_fakeTick += 1;
    Paint();
    EXPECT_TRUE(render->IsWaitShown());
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    Paint();
    EXPECT_FALSE(render->IsWaitShown());
    // A stall brings the wait image up without anyone else repainting.
    g_fakeTick += OpenglRender::WAIT_AFTER_MS + 1;
    EXPECT_TRUE(QTest::qWaitFor([this] { return render->IsWaitShown(); }, 10000));
}

TEST_F(RenderTest, NothingPollsOnceTheWaitImageIsUp)
{
    // Rendering runs with no picture, as between two cameras: one paint shows the wait image.
    Paint();
    ASSERT_TRUE(render->IsWaitShown());
    EXPECT_TRUE(RunningTimers(render.get()).isEmpty()) << "a pane with nothing new to show keeps polling";
    SolidPicture picture(32, 32, kY, kU, kV, FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    Paint();
    EXPECT_FALSE(render->IsWaitShown());
    EXPECT_FALSE(RunningTimers(render.get()).isEmpty()) << "a shown picture is watched for a stall";
}

TEST_F(RenderTest, StoppingBlanksAndDropsQueuedPictures)
{
    SolidPicture picture(32, 32, kY, kU, kV, FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    render->SetStopRender(true);
    EXPECT_TRUE(Near(Centre(Paint()), 0, 0, 0, 1));
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);   // ignored while stopped
    render->SetStopRender(false);
    EXPECT_TRUE(Near(Centre(Paint()), 0, 0, 0, 1)) << "a picture queued before the stop came back";
    EXPECT_FALSE(render->IsWaitShown() && render->IsStopped());
}

TEST_F(RenderTest, PlayingGoesOnWhenTheContextIsMadeAgain)
{
    // Moving the pane into another window drops its GL context and makes a new one.
    QWidget window;
    window.resize(200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    render->setParent(&window);
    render->show();
    Paint();
    const bool initialised = render->IsInitialised();
    const bool stopped = render->IsStopped();
    SolidPicture picture(32, 32, kY, kU, kV, FRAME_STYLE_PLANAR);
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    const QColor colour = Centre(Paint());
    render->setParent(nullptr);   // the fixture owns it
    EXPECT_TRUE(initialised);
    EXPECT_FALSE(stopped) << "a lost context stopped the pictures for good";
    EXPECT_TRUE(Near(colour, 213, 114, 0)) << colour.name().toStdString();

    // A pane stopped before the context went stays stopped.
    render->SetStopRender(true);
    window.show();
    render->setParent(&window);
    render->show();
    Paint();
    const bool stillStopped = render->IsStopped();
    render->setParent(nullptr);
    EXPECT_TRUE(stillStopped);
}

TEST_F(RenderTest, PictureWithShortPitchIsDroppedAndTheShownOneStays)
{
    SolidPicture good(32, 32, kY, kU, kV, FRAME_STYLE_PLANAR);
    render->InputFrame(good.Source(), FRAME_STYLE_PLANAR);
    Paint();
    QSignalSpy updates(render.get(), &OpenglRender::signalUpdateView);
    SolidPicture bad(32, 32, 16, 128, 128, FRAME_STYLE_PLANAR);
    PlaneSource source = bad.Source();
    source.pitches[0] = 31;
    render->InputFrame(source, FRAME_STYLE_PLANAR);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_TRUE(Near(Centre(Paint()), 213, 114, 0));
}

TEST_F(RenderTest, DecodedFrameRecordFeedsTheSamePath)
{
    SolidPicture picture(64, 48, kY, kU, kV, FRAME_STYLE_SEMI_PLANAR);
    QSignalSpy updates(render.get(), &OpenglRender::signalUpdateView);
    render->InputFrame(picture.Frame(), FRAME_STYLE_SEMI_PLANAR);
    render->InputFrame(static_cast<const PC_FrameInfo*>(nullptr), FRAME_STYLE_SEMI_PLANAR);
    EXPECT_EQ(updates.count(), 1);
    EXPECT_TRUE(Near(Centre(Paint()), 213, 114, 0));
}

}  // namespace
