#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "peaks/MasterOverview.h"
#include "peaks/PeakSummary.h"
#include "peaks/WaveImage.h"
#include "support/ScriptedPrompts.h"

// Peak images of a one-hour sound held in memory: 16-bit stereo at 44100 Hz, 635 MB.
namespace {

constexpr uint32_t kFrames = 3600u * 44100u;

const SampleData& LargeSound() {
    static std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> b(static_cast<size_t>(kFrames) * 4);
        uint32_t state = 12345;
        for (size_t i = 0; i < b.size(); ++i) {
            state = state * 1103515245u + 12345u;
            b[i] = static_cast<uint8_t>(state >> 24);
        }
        return b;
    }();
    static SampleData data{bytes.data(), static_cast<uint32_t>(bytes.size()), kFrames, 2, 16,
                           44100};
    return data;
}

// The same samples with the summary an open builds for them.
const SampleData& LargeSoundWithSummary() {
    static const std::unique_ptr<PeakSummary> summary = PeakSummary::Build(LargeSound());
    static const SampleData data = [] {
        SampleData d = LargeSound();
        d.summary = summary.get();
        return d;
    }();
    return data;
}

// The least any overview must do: the largest and smallest of both channels over the same
// frames (every 4th), in one plain loop.
void BM_StridedReadBaseline(benchmark::State& state) {
    const SampleData& data = LargeSound();
    for (auto _ : state) {
        const int16_t* p = reinterpret_cast<const int16_t*>(data.samples);
        int lo0 = 0, hi0 = 0, lo1 = 0, hi1 = 0;
        for (uint64_t f = 0; f < data.frameCount; f += 4) {
            lo0 = std::min<int>(lo0, p[2 * f]);
            hi0 = std::max<int>(hi0, p[2 * f]);
            lo1 = std::min<int>(lo1, p[2 * f + 1]);
            hi1 = std::max<int>(hi1, p[2 * f + 1]);
        }
        benchmark::DoNotOptimize(lo0 + hi0 + lo1 + hi1);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.dataBytes);
}
BENCHMARK(BM_StridedReadBaseline)->Unit(benchmark::kMillisecond);

void BM_BuildMasterOverviewOneHour(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    for (auto _ : state) {
        auto image = BuildMasterOverview(data, prompts);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.dataBytes);
}
BENCHMARK(BM_BuildMasterOverviewOneHour)->Unit(benchmark::kMillisecond);

WaveImage::Target ViewAt(uint32_t left) {
    return {1000, 200, kFrames / 100, left};  // 100 frames per column
}

void BM_WaveImageFullRebuild(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view;
    for (auto _ : state) {
        view.Invalidate();
        view.Update(data, ViewAt(500000), prompts);
        benchmark::DoNotOptimize(view.Image());
    }
}
BENCHMARK(BM_WaveImageFullRebuild)->Unit(benchmark::kMicrosecond);

void BM_WaveImageScroll50(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view;
    view.Update(data, ViewAt(500000), prompts);
    uint32_t left = 500000;
    for (auto _ : state) {
        left = left == 500000 ? 500050 : 500000;
        view.Update(data, ViewAt(left), prompts);
        benchmark::DoNotOptimize(view.Image());
    }
}
BENCHMARK(BM_WaveImageScroll50)->Unit(benchmark::kMicrosecond);

// A wave view of a 1920 x 600 window over the same sound, as the editor's view drives it.
WaveImage::Target WindowAt(uint32_t totalWidth, uint32_t left) {
    return {1920, 600, totalWidth, left};
}

// Show All: every column of the window drawn from scratch over the whole sound, reading every
// frame it scans (no summary). Its baseline is BM_StridedReadBaseline, which reads the same
// frames; BM_WaveViewZoomOneHour1920x600/z:0 is the same draw with the summary.
void BM_WaveViewShowAll1920x600(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view;
    for (auto _ : state) {
        view.Invalidate();
        view.Update(data, WindowAt(1920, 0), prompts);
        benchmark::DoNotOptimize(view.Image());
    }
}
BENCHMARK(BM_WaveViewShowAll1920x600)->Unit(benchmark::kMillisecond);

// A scroll of 50 columns at 1000 frames per column: the kept columns move, 50 are drawn.
void BM_WaveViewScroll50At1000(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view;
    const uint32_t home = 100000;
    view.Update(data, WindowAt(kFrames / 1000, home), prompts);
    uint32_t left = home;
    for (auto _ : state) {
        left = left == home ? home + 50 : home;
        view.Update(data, WindowAt(kFrames / 1000, left), prompts);
        benchmark::DoNotOptimize(view.Image());
    }
}
BENCHMARK(BM_WaveViewScroll50At1000)->Unit(benchmark::kMicrosecond);

// Its baseline: the plain strided read of the 50 exposed columns' frames.
void BM_StridedRead50ColumnsAt1000(benchmark::State& state) {
    const SampleData& data = LargeSound();
    const int16_t* p = reinterpret_cast<const int16_t*>(data.samples);
    uint64_t first = 100000ull * 1000;
    for (auto _ : state) {
        first = first == 100000ull * 1000 ? 101920ull * 1000 : 100000ull * 1000;
        int lo = 0, hi = 0;
        for (uint64_t f = first; f < first + 50 * 1000; f += 4) {
            lo = std::min<int>({lo, p[2 * f], p[2 * f + 1]});
            hi = std::max<int>({hi, p[2 * f], p[2 * f + 1]});
        }
        benchmark::DoNotOptimize(lo + hi);
    }
}
BENCHMARK(BM_StridedRead50ColumnsAt1000)->Unit(benchmark::kMicrosecond);

// The summary built from the samples in memory in one pass, against the strided read above.
void BM_BuildPeakSummaryOneHour(benchmark::State& state) {
    const SampleData& data = LargeSound();
    for (auto _ : state) {
        auto summary = PeakSummary::Build(data);
        benchmark::DoNotOptimize(summary.get());
        state.counters["summary_mb"] = static_cast<double>(summary->Bytes()) / 1e6;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.dataBytes);
}
BENCHMARK(BM_BuildPeakSummaryOneHour)->Unit(benchmark::kMillisecond);

double SecondsToDraw(WaveImage& view, const SampleData& data, const WaveImage::Target& target,
                     UserPrompts& prompts) {
    const auto start = std::chrono::steady_clock::now();
    view.Invalidate();
    view.Update(data, target, prompts);
    benchmark::DoNotOptimize(view.Image());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A full draw of a 1920 x 600 window of the one-hour sound at zoom 2^z (z = 0: Show All; each
// step doubles the total width, up to one frame per column), centred on the middle, as every
// Zoom In and Zoom Out draws it. Times the draw with the summary; the same draw reading every
// frame, in the same iterations, is the baseline (ratio_to_full_scan).
void BM_WaveViewZoomOneHour1920x600(benchmark::State& state) {
    const SampleData& fast = LargeSoundWithSummary();
    const SampleData& plain = LargeSound();
    const auto z = static_cast<uint32_t>(state.range(0));
    const uint32_t totalWidth = z >= 17 ? kFrames : std::min(1920u << z, kFrames);
    const WaveImage::Target target{1920, 600, totalWidth, (totalWidth - 1920) / 2};
    ScriptedPrompts prompts;
    WaveImage withSummary;
    WaveImage fullScan;
    double ours = 0;
    double baseline = 0;
    for (auto _ : state) {
        const double seconds = SecondsToDraw(withSummary, fast, target, prompts);
        baseline += SecondsToDraw(fullScan, plain, target, prompts);
        ours += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["frames_per_column"] = static_cast<double>(kFrames) / totalWidth;
    state.counters["full_scan_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["ratio_to_full_scan"] = ours / baseline;
}
BENCHMARK(BM_WaveViewZoomOneHour1920x600)
    ->ArgName("z")
    ->DenseRange(0, 17)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
