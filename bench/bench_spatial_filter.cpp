// Spatial filter throughput in frames/s, against a memcpy of the bytes the render produces.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "render/ScopedFlushDenormals.h"
#include "render/SpatialFilter.h"

namespace {

constexpr size_t kFrames = 1 << 20;
const int kBandRates[9] = {0, 8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};

// Noise for the first `loud` frames of every `period`, silence for the rest.
std::vector<float> Noise(size_t loud, size_t period) {
    std::vector<float> in(kFrames, 0.0f);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> sample(-32768.0f, 32767.0f);
    for (size_t i = 0; i < kFrames; ++i) {
        if (i % period < loud) {
            in[i] = sample(rng);
        }
    }
    return in;
}

void Render(benchmark::State& state, const std::vector<float>& in, bool flush) {
    const int band = static_cast<int>(state.range(0));
    std::vector<SpatialFilter::Stereo> out(kFrames);
    SpatialFilter filter;
    for (auto _ : state) {
        filter.SelectRate(kBandRates[band]);
        const ScopedFlushDenormals* guard = flush ? new ScopedFlushDenormals : nullptr;
        int direction = 0;
        for (size_t i = 0; i < kFrames; ++i) {
            if (i % 100 == 0) {
                direction = (direction + 37) % 127;
                filter.SetDirection(direction);
            }
            out[i] = filter.ProcessSample(in[i]);
        }
        delete guard;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kFrames));
}

void BM_ProcessSampleNoise(benchmark::State& state) {
    static const std::vector<float> in = Noise(kFrames, kFrames);
    Render(state, in, true);
}
BENCHMARK(BM_ProcessSampleNoise)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);

// Short bursts, each followed by a long silence in which the recursive states decay
// through the subnormal range.
void BM_ProcessSampleNoiseThenSilence(benchmark::State& state) {
    static const std::vector<float> in = Noise(1024, 16384);
    Render(state, in, true);
}
BENCHMARK(BM_ProcessSampleNoiseThenSilence)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);

// The same without flushing, to show what the guard is for.
void BM_ProcessSampleNoiseThenSilenceNoFlush(benchmark::State& state) {
    static const std::vector<float> in = Noise(1024, 16384);
    Render(state, in, false);
}
BENCHMARK(BM_ProcessSampleNoiseThenSilenceNoFlush)->Arg(8)->Unit(benchmark::kMillisecond);

// Baseline: copying the bytes one render writes (two floats a frame).
void BM_MemcpyRenderBytes(benchmark::State& state) {
    std::vector<SpatialFilter::Stereo> from(kFrames, {1.0f, 2.0f}), to(kFrames);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrames * sizeof(SpatialFilter::Stereo));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kFrames));
}
BENCHMARK(BM_MemcpyRenderBytes)->Unit(benchmark::kMillisecond);

}  // namespace
