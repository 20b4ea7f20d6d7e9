// The renderer under Xvfb with software GL: colours of each YUV style, the
// frame line, the wait animation and what stopping does to queued pictures.
#include "OpenglRender.h"
#include "TestPictures.h"

#include "Clock.h"
#include "RunningTimers.h"
#include "TempAppDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

uint64_t g_fakeTick = 0;
uint64_t FakeTick()
{
    return g_fakeTick;
}

// Y 128, U 64, V 192: U and V far apart, so a swap turns the reddish picture blue.
constexpr uint8_t kY = 128, kU = 64, kV = 192;

// The station's own wait animation, where the renderer looks for it.
bool PlaceWaitAnimation(const TempAppDir& appDir)
{
    return QDir().mkpath(appDir.file("Skin"))
           && QFile::copy(qEnvironmentVariable("STATION_SOURCE_DIR") + "/main/Skin/wait.gif",
                          appDir.file("Skin/wait.gif"));
}

QMovie* WaitMovie(OpenglRender* render)
{
    auto* label = render->findChild<QLabel*>();
    return label ? label->movie() : nullptr;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fakeTick = 100000;
        Clock::SetTickSource(&FakeTick);
        ASSERT_TRUE(PlaceWaitAnimation(appDir));
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
    QMovie* movie = WaitMovie(render.get());
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->state(), QMovie::Running);
    QSignalSpy frames(movie, &QMovie::frameChanged);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frames.count() >= 3; }, 20000)) << "the wait image does not animate";
    render->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
    Paint();
    EXPECT_FALSE(render->IsWaitShown());
    EXPECT_EQ(movie->state(), QMovie::NotRunning);
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

// The pane as the station holds it, in a panel of a window, with the wait
// image up over a picture that stalled.
class WaitOverPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fakeTick = 100000;
        Clock::SetTickSource(&FakeTick);
        ASSERT_TRUE(PlaceWaitAnimation(appDir));
        window = std::make_unique<QWidget>();
        window->resize(480, 320);
        holder = new QWidget(window.get());
        holder->setGeometry(10, 10, 400, 300);
        pane = new OpenglRender(holder);
        pane->setGeometry(20, 20, 240, 180);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        pane->grabFramebuffer();
        ASSERT_TRUE(pane->IsInitialised()) << "shader build failed";
        pane->SetStopRender(false);
        ShowPicture();
        Stall();
        ASSERT_TRUE(pane->IsWaitShown());
        label = pane->findChild<QLabel*>();
    }

    void TearDown() override
    {
        window.reset();
        Clock::SetTickSource(nullptr);
    }

    // Paints the pane at once, and on screen when the window is next composed.
    void Paint()
    {
        pane->grabFramebuffer();
        pane->update();
    }

    void ShowPicture()
    {
        pane->InputFrame(picture.Source(), FRAME_STYLE_PLANAR);
        Paint();
    }

    void Stall()
    {
        g_fakeTick += OpenglRender::WAIT_AFTER_MS + 1;
        Paint();
    }

    // The window as its widgets draw it, the pane's picture included, over a
    // rectangle of the pane. Not the screen: the windows of tests running
    // beside this one may lie over it.
    QImage Drawn(const QRect& inPane) const
    {
        const QRect inWindow(pane->mapTo(pane->window(), inPane.topLeft()), inPane.size());
        return pane->window()->grab(inWindow).toImage();
    }

    static bool IsPicture(const QColor& colour) { return Near(colour, 213, 114, 0); }

    static bool AllPicture(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!IsPicture(image.pixelColor(x, y)))
                    return false;
        return true;
    }

    // The wait image over the picture: the picture at the label's corners,
    // which the animation leaves clear, and the animation within.
    bool WaitDrawnOverPicture() const
    {
        const QImage drawn = Drawn(label->geometry());
        const int r = drawn.width() - 1;
        const int b = drawn.height() - 1;
        return drawn.width() == label->width() && IsPicture(drawn.pixelColor(0, 0)) && IsPicture(drawn.pixelColor(r, 0))
               && IsPicture(drawn.pixelColor(0, b)) && IsPicture(drawn.pixelColor(r, b)) && !AllPicture(drawn);
    }

    // Where the wait image shows on screen, in the pane's terms: a label with a
    // window of its own where that window is, any other where it is drawn.
    QPoint ShownAt() const
    {
        const QWindow* own = label->windowHandle();
        return own ? pane->mapFromGlobal(own->mapToGlobal(QPoint())) : label->pos();
    }

    TempAppDir appDir;
    SolidPicture picture{64, 48, kY, kU, kV, FRAME_STYLE_PLANAR};
    std::unique_ptr<QWidget> window;
    QWidget* holder = nullptr;
    OpenglRender* pane = nullptr;
    QLabel* label = nullptr;
};

// Counts the expose events of a window and the windows within it: a window
// of another test passing over them makes the window compose anew.
class ExposeCounter : public QObject {
public:
    explicit ExposeCounter(QWindow* window) : m_window(window) { qApp->installEventFilter(this); }
    ~ExposeCounter() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Expose)
            return false;
        const auto* window = qobject_cast<QWindow*>(watched);
        if (window && (window == m_window || m_window->isAncestorOf(window)))
            ++count;
        return false;
    }

    int count = 0;

private:
    QWindow* m_window;
};

TEST_F(WaitOverPictureTest, AnimatesOverThePictureWithoutRecomposingTheWindow)
{
    EXPECT_TRUE(WaitDrawnOverPicture()) << "the wait image is not drawn over the picture";
    QSignalSpy frames(label->movie(), &QMovie::frameChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.count() >= 2; }, 20000)) << "the wait image does not animate";
    // Each composition redraws the whole window in GL: in software, a frame
    // of a full-screen window costs some 20 ms.
    QSignalSpy composed(pane, &QOpenGLWidget::frameSwapped);
    ExposeCounter exposed(window->windowHandle());
    const int start = frames.count();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.count() >= start + 8; }, 20000));
    EXPECT_LE(composed.count() - exposed.count, 1)
        << "8 frames of the wait image composed the window " << composed.count() << " times, beside "
        << exposed.count << " exposes";
}

TEST_F(WaitOverPictureTest, StaysOverThePaneWhenItsPanelMoves)
{
    const QPoint centred = label->pos();
    holder->move(holder->pos() + QPoint(80, 30));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownAt() == centred; }, 10000))
        << "the wait image stayed where the pane was";

    // Moved while hidden, it comes up where the pane is now.
    ShowPicture();
    ASSERT_FALSE(pane->IsWaitShown());
    holder->move(holder->pos() - QPoint(80, 30));
    Stall();
    ASSERT_TRUE(pane->IsWaitShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownAt() == centred; }, 10000))
        << "the wait image came up where the pane was";
}

TEST_F(WaitOverPictureTest, GoesWithThePaneToAnotherWindow)
{
    QWidget other;
    other.resize(300, 240);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const QPoint centred = label->pos();
    pane->setParent(&other);
    pane->move(30, 30);
    pane->show();
    // The window the wait image first came up in goes before the pane.
    window.reset();
    ShowPicture();
    Stall();
    ASSERT_TRUE(pane->IsWaitShown());
    EXPECT_TRUE(WaitDrawnOverPicture()) << "the wait image is not drawn over the picture in the new window";
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownAt() == centred; }, 10000))
        << "the wait image is not over the pane in its new window";
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
