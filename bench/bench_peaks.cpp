#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/ScriptedPrompts.h"
#include "views/peaks/MasterOverview.h"
#include "views/peaks/WaveImage.h"

// Peak images of a 600 MB sound held in memory: 16-bit stereo at 44100 Hz, about 56 minutes.
namespace {

constexpr uint32_t kFrames = 600u * 1000u * 1000u / 4u;

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

void BM_BuildMasterOverview600MB(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    for (auto _ : state) {
        auto image = BuildMasterOverview(data, prompts);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.dataBytes);
}
BENCHMARK(BM_BuildMasterOverview600MB)->Unit(benchmark::kMillisecond);

WaveImage MakeView() {
    WaveImage view;
    view.m_imageWidth = 1000;
    view.m_imageHeight = 200;
    view.m_totalWidth = kFrames / 100;  // 100 frames per column
    return view;
}

void BM_WaveImageFullRebuild(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view = MakeView();
    for (auto _ : state) {
        view.m_fullRebuild = true;
        BuildWaveImage(view, data, 500000, prompts);
        benchmark::DoNotOptimize(view.m_pImage.get());
    }
}
BENCHMARK(BM_WaveImageFullRebuild)->Unit(benchmark::kMicrosecond);

void BM_WaveImageScroll50(benchmark::State& state) {
    const SampleData& data = LargeSound();
    ScriptedPrompts prompts;
    WaveImage view = MakeView();
    BuildWaveImage(view, data, 500000, prompts);
    uint32_t left = 500000;
    for (auto _ : state) {
        left = left == 500000 ? 500050 : 500000;
        BuildWaveImage(view, data, left, prompts);
        benchmark::DoNotOptimize(view.m_pImage.get());
    }
}
BENCHMARK(BM_WaveImageScroll50)->Unit(benchmark::kMicrosecond);

}  // namespace
