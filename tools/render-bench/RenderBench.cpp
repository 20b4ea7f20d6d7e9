// Time to pack one decoded 1920x1080 picture into a renderer buffer, for both
// plane layouts, with rows as tight as the width and with padded pitches
// (the decoder's usual alignment). The "Fresh" runs rotate over 16 source
// pictures (about 50 MB), so that, as with a decoder's output, the source is
// not already in the cache. A live stream at 25 pictures a second
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

struct Source {
    std::vector<uint8_t> y, u, v;
    PlaneSource planes;
};

Source MakeSource(int style, int padding)
{
    const bool semi = style == FRAME_STYLE_SEMI_PLANAR;
    const int yPitch = kWidth + padding;
    const int chromaPitch = semi ? kWidth + padding : kWidth / 2 + padding / 2;
    Source s;
    s.y.assign(size_t(yPitch) * kHeight, 0x60);
    s.u.assign(size_t(chromaPitch) * (kHeight / 2), 0x70);
    s.v.assign(semi ? 0 : s.u.size(), 0x90);
    s.planes.width = kWidth;
    s.planes.height = kHeight;
    s.planes.pitches[0] = yPitch;
    s.planes.pitches[1] = chromaPitch;
    s.planes.pitches[2] = semi ? 0 : chromaPitch;
    s.planes.planes[0] = s.y.data();
    s.planes.planes[1] = s.u.data();
    s.planes.planes[2] = semi ? nullptr : s.v.data();
    return s;
}

void PackPicture(benchmark::State& state, int style, int padding, int sourceCount)
{
    std::vector<Source> sources;
    for (int i = 0; i < sourceCount; ++i)
        sources.push_back(MakeSource(style, padding));

    FrameBuffer buffer;
    PlanePacker::Pack(sources[0].planes, style, buffer);   // the renderer's buffers are reused: warm one up
    size_t next = 0;
    for (auto _ : state) {
        PlanePacker::Pack(sources[next].planes, style, buffer);
        next = (next + 1) % sources.size();
        benchmark::DoNotOptimize(buffer.planes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * PlanePacker::PackedSize(kWidth, kHeight, style));
    // Inverted rate: elapsed seconds / (iterations x 0.4 ms) = 100 x time per picture / period.
    state.counters["percent_of_40ms"] = benchmark::Counter(double(state.iterations()) * kFramePeriodSec / 100.0,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

constexpr int kFreshSources = 16;

void BM_PackPlanarTight(benchmark::State& s) { PackPicture(s, FRAME_STYLE_PLANAR, 0, 1); }
void BM_PackPlanarPadded(benchmark::State& s) { PackPicture(s, FRAME_STYLE_PLANAR, 128, 1); }
void BM_PackPlanarPaddedFresh(benchmark::State& s) { PackPicture(s, FRAME_STYLE_PLANAR, 128, kFreshSources); }
void BM_PackSemiPlanarTight(benchmark::State& s) { PackPicture(s, FRAME_STYLE_SEMI_PLANAR, 0, 1); }
void BM_PackSemiPlanarPadded(benchmark::State& s) { PackPicture(s, FRAME_STYLE_SEMI_PLANAR, 128, 1); }
void BM_PackSemiPlanarPaddedFresh(benchmark::State& s) { PackPicture(s, FRAME_STYLE_SEMI_PLANAR, 128, kFreshSources); }

BENCHMARK(BM_PackPlanarTight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackPlanarPadded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackPlanarPaddedFresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackSemiPlanarTight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackSemiPlanarPadded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackSemiPlanarPaddedFresh)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
