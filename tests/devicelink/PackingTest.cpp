// Plane packing, the three-buffer frame queue and the device registry: the
// parts of the video path that need no OpenGL.
#include "DeviceEntry.h"
#include "DeviceRegistry.h"
#include "FrameQueue.h"
#include "PlanePacker.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A decoded picture whose planes carry distinct row/column values and whose
// pitch padding is filled with 0xEE, so that a packer reading padding shows.
struct SourcePicture {
    std::vector<uint8_t> y, u, v;
    PlaneSource src;

    SourcePicture(int w, int h, int yPitch, int uPitch, int vPitch, bool semiPlanar)
    {
        src.width = w;
        src.height = h;
        src.pitches[0] = yPitch;
        src.pitches[1] = uPitch;
        src.pitches[2] = vPitch;
        src.pitches[3] = 7;
        Fill(y, yPitch, h, w, 0x00);
        const int chromaRow = semiPlanar ? w : w / 2;
        Fill(u, uPitch, h / 2, chromaRow, 0x40);
        Fill(v, vPitch, h / 2, chromaRow, 0x80);
        src.planes[0] = y.data();
        src.planes[1] = u.data();
        src.planes[2] = semiPlanar ? nullptr : v.data();
    }

    static uint8_t Value(int base, int row, int col) { return uint8_t(base + (row * 7 + col) % 61); }

    static void Fill(std::vector<uint8_t>& plane, int pitch, int rows, int rowBytes, int base)
    {
        plane.assign(size_t(std::max(pitch, 1)) * size_t(std::max(rows, 1)), 0xEE);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < rowBytes && c < pitch; ++c)
                plane[size_t(r) * pitch + c] = Value(base, r, c);
    }
};

// The packed layout written out plainly: Y rows, then U/V rows (semi-planar)
// or V rows then U rows (planar).
QByteArray ExpectedPacking(int w, int h, int style)
{
    QByteArray out;
    auto rows = [&out](int count, int bytes, int base) {
        for (int r = 0; r < count; ++r)
            for (int c = 0; c < bytes; ++c)
                out.append(char(SourcePicture::Value(base, r, c)));
    };
    rows(h, w, 0x00);
    if (style == FRAME_STYLE_SEMI_PLANAR) {
        rows(h / 2, w, 0x40);
    } else {
        rows(h / 2, w / 2, 0x80);   // V first
        rows(h / 2, w / 2, 0x40);   // then U
    }
    return out;
}

struct PackCase {
    const char* name;
    int width, height, yPitch, uPitch, vPitch, style;
};

class PackTable : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackTable, PacksEveryPlaneByItsOwnPitch)
{
    const PackCase& c = GetParam();
    const bool semi = c.style == FRAME_STYLE_SEMI_PLANAR;
    SourcePicture pic(c.width, c.height, c.yPitch, c.uPitch, c.vPitch, semi);
    FrameBuffer buffer;
    ASSERT_TRUE(PlanePacker::Pack(pic.src, c.style, buffer));
    EXPECT_EQ(buffer.planes, ExpectedPacking(c.width, c.height, c.style));
    EXPECT_EQ(buffer.planes.size(), PlanePacker::PackedSize(c.width, c.height, c.style));
    EXPECT_EQ(buffer.width, c.width);
    EXPECT_EQ(buffer.height, c.height);
    EXPECT_EQ(buffer.style, c.style);
    EXPECT_EQ(buffer.pitches[0], c.yPitch);
    EXPECT_EQ(buffer.pitches[1], c.uPitch);
    EXPECT_EQ(buffer.pitches[2], c.vPitch);
    EXPECT_EQ(buffer.pitches[3], 7);
    const int luma = c.width * c.height;
    if (semi) {
        EXPECT_EQ(buffer.chromaOffset[0], luma);
        EXPECT_EQ(buffer.chromaBytes[0], (c.height / 2) * c.width);
    } else {
        EXPECT_EQ(buffer.chromaOffset[1], luma);                                  // V
        EXPECT_EQ(buffer.chromaOffset[0], luma + (c.height / 2) * (c.width / 2));   // U
        if (c.width % 2 == 0 && c.height % 2 == 0) {
            EXPECT_EQ(buffer.chromaOffset[0], luma * 5 / 4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PackTable,
    ::testing::Values(
        PackCase{"PlanarTight", 8, 4, 8, 4, 4, FRAME_STYLE_PLANAR},
        PackCase{"PlanarPaddedRows", 1280, 8, 1344, 672, 672, FRAME_STYLE_PLANAR},
        PackCase{"PlanarTightLumaWideChroma", 8, 4, 8, 16, 12, FRAME_STYLE_PLANAR},
        PackCase{"PlanarOddSize", 5, 5, 5, 2, 3, FRAME_STYLE_PLANAR},
        PackCase{"PlanarNoLuminanceOffset", 6, 2, 6, 3, 3, FRAME_STYLE_PLANAR_FULL},
        PackCase{"SemiPlanarTight", 8, 4, 8, 8, 0, FRAME_STYLE_SEMI_PLANAR},
        PackCase{"SemiPlanarPadded", 8, 6, 16, 32, 0, FRAME_STYLE_SEMI_PLANAR},
        PackCase{"SingleRow", 4, 1, 4, 2, 2, FRAME_STYLE_PLANAR}),
    [](const ::testing::TestParamInfo<PackCase>& info) { return std::string(info.param.name); });

TEST(PlanePacker, PaddedLumaRowsContributeTheirWidthOnly)
{
    SourcePicture pic(1280, 4, 1344, 672, 672, false);
    FrameBuffer buffer;
    ASSERT_TRUE(PlanePacker::Pack(pic.src, FRAME_STYLE_PLANAR, buffer));
    EXPECT_EQ(buffer.chromaOffset[1], 1280 * 4);
    EXPECT_EQ(buffer.planes.indexOf(char(0xEE)), -1) << "padding bytes were packed";
}

struct RejectCase {
    const char* name;
    int width, height, yPitch, uPitch, vPitch, style;
    bool dropY, dropU, dropV;
};

class RejectTable : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectTable, RefusesAndLeavesTheBufferAlone)
{
    const RejectCase& c = GetParam();
    SourcePicture pic(std::max(c.width, 1), std::max(c.height, 1), std::max(c.yPitch, 1), std::max(c.uPitch, 1),
                      std::max(c.vPitch, 1), false);
    pic.src.width = c.width;
    pic.src.height = c.height;
    pic.src.pitches[0] = c.yPitch;
    pic.src.pitches[1] = c.uPitch;
    pic.src.pitches[2] = c.vPitch;
    if (c.dropY) pic.src.planes[0] = nullptr;
    if (c.dropU) pic.src.planes[1] = nullptr;
    if (c.dropV) pic.src.planes[2] = nullptr;

    FrameBuffer buffer;
    buffer.width = 99;
    buffer.planes = "previous picture";
    EXPECT_NE(PlanePacker::Reject(pic.src, c.style), nullptr);
    EXPECT_FALSE(PlanePacker::Pack(pic.src, c.style, buffer));
    EXPECT_EQ(buffer.width, 99);
    EXPECT_EQ(buffer.planes, QByteArray("previous picture"));
}

INSTANTIATE_TEST_SUITE_P(
    BadPictures, RejectTable,
    ::testing::Values(
        RejectCase{"LumaPitchBelowWidth", 8, 4, 6, 4, 4, FRAME_STYLE_PLANAR, false, false, false},
        RejectCase{"UPitchBelowHalfWidth", 8, 4, 8, 3, 4, FRAME_STYLE_PLANAR, false, false, false},
        RejectCase{"VPitchZeroWhenPlanar", 8, 4, 8, 4, 0, FRAME_STYLE_PLANAR, false, false, false},
        RejectCase{"SemiPlanarPitchBelowWidth", 8, 4, 8, 6, 0, FRAME_STYLE_SEMI_PLANAR, false, false, false},
        RejectCase{"NoLumaPlane", 8, 4, 8, 4, 4, FRAME_STYLE_PLANAR, true, false, false},
        RejectCase{"NoVPlane", 8, 4, 8, 4, 4, FRAME_STYLE_PLANAR, false, false, true},
        RejectCase{"NoUVPlane", 8, 4, 8, 8, 0, FRAME_STYLE_SEMI_PLANAR, false, true, false},
        RejectCase{"ZeroWidth", 0, 4, 8, 4, 4, FRAME_STYLE_PLANAR, false, false, false},
        RejectCase{"NegativeHeight", 8, -4, 8, 4, 4, FRAME_STYLE_PLANAR, false, false, false},
        RejectCase{"HugeWidth", PlanePacker::MAX_SIDE + 2, 2, PlanePacker::MAX_SIDE + 2, 8194, 8194,
                   FRAME_STYLE_PLANAR, false, false, false}),
    [](const ::testing::TestParamInfo<RejectCase>& info) { return std::string(info.param.name); });

// --- frame queue -------------------------------------------------------------

// Runs a script against a queue: "I<n>" puts picture n in (its number in the
// width field), "P" paints the front, "D" discards, "B<n>" begins a fill of
// picture n and "E" ends the fill begun last. Returns the painted pictures.
QString RunQueue(const QString& script)
{
    FrameQueue queue;
    FrameQueue::Buffer pending;
    QStringList shown;
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        const QChar op = step.at(0);
        const int n = step.mid(1).toInt();
        if (op == 'I') {
            FrameQueue::Buffer b = queue.BeginFill();
            if (b)
                b->width = n;
            queue.EndFill(b, b != nullptr);
        } else if (op == 'B') {
            pending = queue.BeginFill();
            if (pending)
                pending->width = n;
        } else if (op == 'E') {
            queue.EndFill(pending, pending != nullptr);
            pending.reset();
        } else if (op == 'P') {
            queue.DrawFront([&shown](const FrameBuffer& b) { shown << QString::number(b.width); });
        } else if (op == 'D') {
            queue.Discard();
        }
    }
    return shown.join(' ');
}

struct QueueCase {
    const char* name;
    const char* script;
    const char* shown;
};

class QueueTable : public ::testing::TestWithParam<QueueCase> {};

TEST_P(QueueTable, ShowsPicturesInOrder)
{
    EXPECT_EQ(RunQueue(GetParam().script), QString(GetParam().shown)) << GetParam().script;
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, QueueTable,
    ::testing::Values(
        QueueCase{"NothingToPaint", "P P", ""},
        QueueCase{"OnePerPaint", "I1 P I2 P", "1 2"},
        QueueCase{"TwoBeforeOnePaintOldestFirst", "I1 I2 P P P", "1 2"},
        QueueCase{"FourthReplacesThird", "I1 I2 I3 I4 P P P P", "1 2 4"},
        QueueCase{"FreedBufferTakenBeforeOverwrite", "I1 I2 I3 P I4 I5 P P P", "1 2 3 5"},
        QueueCase{"DiscardDropsQueued", "I1 I2 D P I3 P", "3"},
        QueueCase{"DiscardDuringFillDropsIt", "B1 D E P", ""},
        QueueCase{"BufferBeingFilledIsNotPainted", "B1 P E P", "1"},
        QueueCase{"OverwrittenSlotHiddenWhileFilling", "I1 I2 I3 B4 P P P E P", "1 2 4"}),
    [](const ::testing::TestParamInfo<QueueCase>& info) { return std::string(info.param.name); });

TEST(FrameQueue, FailedFillFreesTheBuffer)
{
    FrameQueue queue;
    FrameQueue::Buffer b = queue.BeginFill();
    ASSERT_TRUE(b);
    EXPECT_FALSE(queue.EndFill(b, false));
    EXPECT_EQ(queue.UnshownCount(), 0);
    EXPECT_FALSE(queue.DrawFront({}));
}

TEST(FrameQueue, ConcurrentFillAndDrawNeverShowsAHalfFilledPicture)
{
    // Each picture holds one value in all its bytes; a paint that saw a buffer
    // while it was being filled would find mixed bytes.
    FrameQueue queue;
    std::atomic<bool> done{false};
    std::thread decoder([&] {
        for (int n = 1; n <= 3000; ++n) {
            FrameQueue::Buffer b = queue.BeginFill();
            if (!b)
                continue;
            b->planes.fill(char(n % 251), 4096);
            queue.EndFill(b, true);
        }
        done = true;
    });
    int mixed = 0;
    int painted = 0;
    while (!done || queue.UnshownCount() > 0) {
        queue.DrawFront([&](const FrameBuffer& b) {
            ++painted;
            if (!b.planes.isEmpty() && b.planes.count(b.planes.at(0)) != b.planes.size())
                ++mixed;
        });
    }
    decoder.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(painted, 0);
}

// --- device registry ---------------------------------------------------------

TEST(DeviceRegistry, MapsSerialsToEntriesUnderItsLock)
{
    DeviceRegistry registry;
    DeviceEntry a;
    DeviceEntry b;
    EXPECT_EQ(registry.Find("SN1"), nullptr);
    EXPECT_TRUE(registry.Add("SN1", &a));
    EXPECT_FALSE(registry.Add("SN1", &b)) << "a taken key keeps its entry";
    EXPECT_FALSE(registry.Add("", &b));
    EXPECT_FALSE(registry.Add("SN2", nullptr));
    EXPECT_EQ(registry.Find("SN1"), &a);
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(registry.Remove("SN1"), &a);
    EXPECT_EQ(registry.Remove("SN1"), nullptr);
    EXPECT_EQ(registry.Count(), 0);
}

}  // namespace
