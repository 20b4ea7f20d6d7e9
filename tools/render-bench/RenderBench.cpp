// Time to pack one decoded 1920x1080 picture into a renderer buffer, for both
// plane layouts, with rows as tight as the width and with padded pitches
// (the decoder's usual alignment). A live stream at 25 pictures a second
// leaves 40 ms per picture; the counter "percent_of_40ms" is the part of
// that period the packing takes, in percent.
#include "FrameBuffer.h"
#include "PlanePacker.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kFramePeriodSec = 0.040;

void PackPicture(benchmark::State& state, int style, int padding)
{
    const bool semi = style == FRAME_STYLE_SEMI_PLANAR;
    const int yPitch = kWidth + padding;
    const int chromaPitch = semi ? kWidth + padding : kWidth / 2 + padding / 2;
    std::vector<uint8_t> y(size_t(yPitch) * kHeight, 0x60);
    std::vector<uint8_t> u(size_t(chromaPitch) * (kHeight / 2), 0x70);
    std::vector<uint8_t> v(semi ? 0 : u.size(), 0x90);
    PlaneSource src;
    src.width = kWidth;
    src.height = kHeight;
    src.pitches[0] = yPitch;
    src.pitches[1] = chromaPitch;
    src.pitches[2] = semi ? 0 : chromaPitch;
    src.planes[0] = y.data();
    src.planes[1] = u.data();
    src.planes[2] = semi ? nullptr : v.data();

    FrameBuffer buffer;
    PlanePacker::Pack(src, style, buffer);   // the renderer's buffers are reused: warm one up
    for (auto _ : state) {
        PlanePacker::Pack(src, style, buffer);
        benchmark::DoNotOptimize(buffer.planes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * PlanePacker::PackedSize(kWidth, kHeight, style));
    // Inverted rate: elapsed seconds / (iterations x 0.4 ms) = 100 x time per picture / period.
    state.counters["percent_of_40ms"] = benchmark::Counter(double(state.iterations()) * kFramePeriodSec / 100.0,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PackPlanarTight(benchmark::State& s) { PackPicture(s, FRAME_STYLE_PLANAR, 0); }
void BM_PackPlanarPadded(benchmark::State& s) { PackPicture(s, FRAME_STYLE_PLANAR, 128); }
void BM_PackSemiPlanarTight(benchmark::State& s) { PackPicture(s, FRAME_STYLE_SEMI_PLANAR, 0); }
void BM_PackSemiPlanarPadded(benchmark::State& s) { PackPicture(s, FRAME_STYLE_SEMI_PLANAR, 128); }

BENCHMARK(BM_PackPlanarTight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackPlanarPadded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackSemiPlanarTight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackSemiPlanarPadded)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
