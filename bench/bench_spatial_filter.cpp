// Spatial filter throughput in frames/s: one sample at a time against a memcpy of the bytes
// the render produces, and the export's bulk calls on each kernel path against the SSE2 path
// in the same iterations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
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

// Stored 16-bit mono frames: noise for the first `loud` frames of every `period`, then silence.
std::vector<uint8_t> StoredNoise(size_t loud, size_t period) {
    std::vector<uint8_t> in(kFrames * 2, 0);
    std::mt19937 rng(2);
    for (size_t i = 0; i < kFrames; ++i) {
        if (i % period < loud) {
            const auto sample = static_cast<uint16_t>(rng());
            in[2 * i] = static_cast<uint8_t>(sample);
            in[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
        }
    }
    return in;
}

// This thread's processor time in seconds: on a shared machine, time spent preempted is not
// the kernel's.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// One export's worth of ProcessFrames on path: runs of 8192 frames (a block), each in its own
// direction, with denormals flushed as the export flushes them. Returns the thread's seconds.
double RenderFrames(SpatialFilter::KernelPath path, int band, const std::vector<uint8_t>& in,
                    std::vector<uint8_t>& out) {
    SpatialFilter filter;
    filter.UseKernelPath(path);
    filter.SelectRate(kBandRates[band]);
    const ScopedFlushDenormals flush;
    const double start = ThreadSeconds();
    int direction = 0;
    for (size_t i = 0; i < kFrames; i += 8192) {
        direction = (direction + 37) % 127;
        filter.SetDirection(direction);
        filter.ProcessFrames(&in[2 * i], 1, 2, 8192, &out[4 * i]);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    return ThreadSeconds() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The bulk kernel on noise, timed (processor time) per iteration beside the SSE2 path on the same
// noise and the same path on bursts of noise in silence, in rotating order so that all three see
// the same load. The ratios are of the medians over the iterations: sse2_ratio > 1 means faster
// than SSE2; silence_ratio is silence's time over noise's.
void BM_ProcessFrames(benchmark::State& state) {
    static const std::vector<uint8_t> noise = StoredNoise(kFrames, kFrames);
    static const std::vector<uint8_t> bursts = StoredNoise(1024, 16384);
    const int band = static_cast<int>(state.range(0));
    const auto path = static_cast<SpatialFilter::KernelPath>(state.range(1));
    if (!SpatialFilter::HasKernelPath(path)) {
        state.SkipWithError("the processor lacks this path");
        return;
    }
    std::vector<uint8_t> out(kFrames * 4);
    std::vector<double> ours, sse2, silence;
    int turn = 0;
    for (auto _ : state) {
        for (int k = 0; k < 3; ++k) {
            switch ((turn + k) % 3) {
                case 0:
                    ours.push_back(RenderFrames(path, band, noise, out));
                    break;
                case 1:
                    sse2.push_back(RenderFrames(SpatialFilter::KernelPath::Sse2, band, noise, out));
                    break;
                default:
                    silence.push_back(RenderFrames(path, band, bursts, out));
                    break;
            }
        }
        turn = (turn + 1) % 3;
        state.SetIterationTime(ours.back());
    }
    state.counters["sse2_ratio"] = Median(sse2) / Median(ours);
    state.counters["silence_ratio"] = Median(silence) / Median(ours);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kFrames));
}
// Bands 1..8 on the paths Plain (0), Sse2 (1) and Avx2 (2).
BENCHMARK(BM_ProcessFrames)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 8, 1), {0, 1, 2}})
    ->ArgNames({"band", "path"})
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

}  // namespace
