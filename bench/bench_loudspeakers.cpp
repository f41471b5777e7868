// The loudspeaker engines' costs. BM_PannerAlongPath: gains for a layout along a moving path,
// one set per block of frames, ramped across each block over 10 minutes of mono 44.1 kHz float
// noise into a block buffer (no file): the panner's calls against applying what they gave, in
// the same iterations. BM_LoudnessMeter: measuring 60 s of interleaved float noise a block at
// a time against a plain pass over the same samples (their largest magnitude), in the same
// iterations. Counters: real_time_x (seconds of sound per second), panner_share (the calls'
// part of the two), ns_per_gains, ratio_to_plain_pass, ns_per_sample, cpu_ns_per_sample (on
// the thread's processor clock, steadier on a busy machine) and seconds_per_10_minutes (what
// the meter adds to a 10-minute export of that layout).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "render/LoudnessMeter.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"

namespace {

constexpr uint32_t kRate = 44100;

std::vector<float> Noise(size_t count) {
    std::vector<float> samples(count);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    for (float& s : samples) {
        s = sample(rng);
    }
    return samples;
}

// out[f][c] = in[f] x (from[c] + f x step[c]), as a loudspeaker render applies gains.
template <size_t Channels>
void ApplyRamp(const float* in, size_t frames, const float* from, const float* to, float* out) {
    float step[Channels];
    for (size_t c = 0; c < Channels; ++c) {
        step[c] = (to[c] - from[c]) / static_cast<float>(frames);
    }
    for (size_t f = 0; f < frames; ++f) {
        const float t = static_cast<float>(f);
        for (size_t c = 0; c < Channels; ++c) {
            out[f * Channels + c] = in[f] * (from[c] + t * step[c]);
        }
    }
}

template <size_t Channels>
void PannerAlongPath(benchmark::State& state, const char* layoutName) {
    static const std::vector<float> mono = Noise(600 * size_t{kRate});
    const SpeakerLayout& layout = *SpeakerLayout::Find(layoutName);
    const PointSourcePanner panner(layout);
    const size_t block = static_cast<size_t>(state.range(0));
    const size_t blocks = mono.size() / block;
    std::vector<float> gains((blocks + 1) * Channels);
    std::vector<float> out(block * Channels);
    double gainsTotal = 0;
    double applyTotal = 0;
    for (auto _ : state) {
        // Twice round the head, rising and falling three times.
        auto start = std::chrono::steady_clock::now();
        double one[Channels];
        for (size_t b = 0; b <= blocks; ++b) {
            const double t = static_cast<double>(b) / static_cast<double>(blocks);
            panner.CalculateGains(-180 + 720 * t, 40 * std::sin(6 * std::numbers::pi * t), one);
            std::copy(one, one + Channels, gains.begin() + static_cast<ptrdiff_t>(b * Channels));
        }
        const double gainsSeconds = SecondsSince(start);
        start = std::chrono::steady_clock::now();
        for (size_t b = 0; b < blocks; ++b) {
            ApplyRamp<Channels>(mono.data() + b * block, block, gains.data() + b * Channels,
                                gains.data() + (b + 1) * Channels, out.data());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
        const double applySeconds = SecondsSince(start);
        state.SetIterationTime(gainsSeconds + applySeconds);
        gainsTotal += gainsSeconds;
        applyTotal += applySeconds;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["real_time_x"] = 600.0 * iterations / (gainsTotal + applyTotal);
    state.counters["panner_share"] = gainsTotal / (gainsTotal + applyTotal);
    state.counters["ns_per_gains"] =
        1e9 * gainsTotal / (iterations * static_cast<double>(blocks + 1));
}

void BM_PannerAlongPath9103(benchmark::State& state) {
    PannerAlongPath<24>(state, "9+10+3");
}
BENCHMARK(BM_PannerAlongPath9103)
    ->ArgName("block")
    ->Arg(256)
    ->Arg(32)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_PannerAlongPath050(benchmark::State& state) {
    PannerAlongPath<6>(state, "0+5+0");
}
BENCHMARK(BM_PannerAlongPath050)
    ->ArgName("block")
    ->Arg(256)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Args: the channel count, 6 and 24 being 0+5+0 and 9+10+3 by their weights (an LFE left out),
// the others all counted (16 is third-order AmbiX); the signal: 0 noise, 1 a 997 Hz sine at
// -6 dBFS, 2 the noise rising from -40 dB to 0 dB over the minute (every stretch can lift the
// true peak, so none is skipped).
void BM_LoudnessMeter(benchmark::State& state) {
    const auto channels = static_cast<size_t>(state.range(0));
    const int64_t signal = state.range(1);
    const SpeakerLayout* pLayout = channels == 6    ? SpeakerLayout::Find("0+5+0")
                                   : channels == 24 ? SpeakerLayout::Find("9+10+3")
                                                    : nullptr;
    const std::vector<LoudnessWeight> weights =
        pLayout != nullptr ? LoudnessMeter::WeightsFor(*pLayout)
                           : std::vector<LoudnessWeight>(channels, LoudnessWeight::Unit);
    constexpr size_t kSeconds = 60;
    constexpr size_t kBlock = 4096;
    // One second, fed sixty times: the export hands the meter each block just written.
    std::vector<float> second = Noise(kRate * channels);
    if (signal == 1) {
        for (size_t f = 0; f < kRate; ++f) {
            const auto value = static_cast<float>(
                0.5 * std::sin(2 * std::numbers::pi * 997 * static_cast<double>(f) / kRate));
            std::fill_n(second.begin() + static_cast<std::ptrdiff_t>(f * channels), channels,
                        value);
        }
    }
    std::vector<float> fed = second;
    double meterTotal = 0;
    double meterCpuTotal = 0;
    double plainTotal = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        float peak = 0;
        for (size_t s = 0; s < kSeconds; ++s) {
            for (size_t f = 0; f < kRate; f += kBlock) {
                const float* at = second.data() + f * channels;
                const size_t count = std::min(kBlock, kRate - f) * channels;
                for (size_t k = 0; k < count; ++k) {
                    peak = std::max(peak, std::abs(at[k]));
                }
            }
        }
        benchmark::DoNotOptimize(peak);
        plainTotal += SecondsSince(start);
        double meterSeconds = 0;
        LoudnessMeter meter(kRate, weights);
        for (size_t s = 0; s < kSeconds; ++s) {
            if (signal == 2) {  // untimed
                const auto gain = static_cast<float>(
                    std::pow(10.0, (-40.0 + 40.0 * static_cast<double>(s) / kSeconds) / 20));
                for (size_t k = 0; k < fed.size(); ++k) {
                    fed[k] = gain * second[k];
                }
            }
            start = std::chrono::steady_clock::now();
            const double cpuStart = ThreadCpuSeconds();
            for (size_t f = 0; f < kRate; f += kBlock) {
                meter.AddFrames(fed.data() + f * channels, std::min(kBlock, kRate - f));
            }
            if (s + 1 == kSeconds) {
                benchmark::DoNotOptimize(meter.IntegratedLoudness() + meter.TruePeak());
            }
            meterSeconds += SecondsSince(start);
            meterCpuTotal += ThreadCpuSeconds() - cpuStart;
        }
        state.SetIterationTime(meterSeconds);
        meterTotal += meterSeconds;
    }
    const double samples = static_cast<double>(state.iterations() * kSeconds * kRate * channels);
    state.counters["ratio_to_plain_pass"] = meterTotal / plainTotal;
    state.counters["ns_per_sample"] = 1e9 * meterTotal / samples;
    state.counters["cpu_ns_per_sample"] = 1e9 * meterCpuTotal / samples;
    state.counters["seconds_per_10_minutes"] =
        meterTotal / static_cast<double>(state.iterations()) * 600.0 / kSeconds;
}
BENCHMARK(BM_LoudnessMeter)
    ->ArgNames({"channels", "signal"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({6, 0})
    ->Args({16, 0})
    ->Args({24, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 2})
    ->Args({2, 2})
    ->Args({24, 2})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
