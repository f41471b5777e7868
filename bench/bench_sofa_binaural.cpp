// Sonomap's own binaural renderer over 10 minutes of mono at 48 kHz with the default SOFA set
// (MIT KEMAR, resampled to 48 kHz), all in memory: along a path that moves all the time (round
// the head, up and down, near and far, so every block crosses over to a new filter) against
// the same sound held still, which convolves each block once with the same filter length (the
// floor of the renderer), in alternating order in the same iterations. The input is a minute
// of seeded noise read over and over; the output is taken a block of 4096 frames at a time, as
// an export does. Counters: real_time_x (seconds of sound per second of the moving render) and
// ratio_to_static. Then the time to read and prepare the default set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "binaural/HrtfFilterBank.h"
#include "binaural/SofaBinauralStream.h"
#include "binaural/SofaHrtfSet.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint64_t kFrames = 600ull * kRate;
constexpr uint32_t kCallFrames = 4096;

class NoiseSource : public SofaBinauralStream::Source {
  public:
    NoiseSource(const std::vector<float>& noise, bool bMoving)
        : m_noise(noise), m_bMoving(bMoving) {}
    void ReadFrames(uint64_t first, uint32_t frames, float* out) override {
        while (frames > 0) {
            const size_t at = first % m_noise.size();
            const auto take = static_cast<uint32_t>(std::min<size_t>(frames, m_noise.size() - at));
            std::memcpy(out, m_noise.data() + at, take * sizeof(float));
            out += take;
            first += take;
            frames -= take;
        }
    }
    SoundPlace PlaceAt(uint64_t frame) override {
        if (!m_bMoving) {
            return {30.0, 10.0, 100.0, 0.0};
        }
        const double t = static_cast<double>(frame) / kRate;
        return {std::remainder(40.0 * t, 360.0), 50.0 * std::sin(0.3 * t),
                175.0 + 125.0 * std::sin(0.11 * t), 0.0};
    }

  private:
    const std::vector<float>& m_noise;
    bool m_bMoving;
};

double RenderSeconds(const std::shared_ptr<const HrtfFilterBank>& bank,
                     const std::vector<float>& noise, bool bMoving) {
    NoiseSource source(noise, bMoving);
    std::vector<float> out(2 * kCallFrames);
    const auto start = std::chrono::steady_clock::now();
    SofaBinauralStream stream(bank, 1, source);
    for (uint64_t done = 0; done < kFrames; done += kCallFrames) {
        stream.Render(out.data(), kCallFrames);
        benchmark::DoNotOptimize(out.data());
    }
    return SecondsSince(start);
}

void BM_SofaBinaural10Minutes(benchmark::State& state) {
    const SofaHrtfSet::Loaded loaded = SofaHrtfSet::Load(SofaHrtfSet::DefaultPath());
    if (loaded.set == nullptr) {
        state.SkipWithError(loaded.message.c_str());
        return;
    }
    const HrtfFilterBank::Prepared prepared = HrtfFilterBank::Prepare(*loaded.set, kRate);
    if (prepared.bank == nullptr) {
        state.SkipWithError(prepared.message.c_str());
        return;
    }
    std::vector<float> noise(60 * kRate);
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    for (float& sample : noise) {
        sample = uniform(rng);
    }
    double movingTotal = 0;
    double staticTotal = 0;
    bool bMovingFirst = true;
    for (auto _ : state) {
        double moving = 0;
        double still = 0;
        if (bMovingFirst) {
            moving = RenderSeconds(prepared.bank, noise, true);
            still = RenderSeconds(prepared.bank, noise, false);
        } else {
            still = RenderSeconds(prepared.bank, noise, false);
            moving = RenderSeconds(prepared.bank, noise, true);
        }
        bMovingFirst = !bMovingFirst;
        state.SetIterationTime(moving);
        movingTotal += moving;
        staticTotal += still;
    }
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / movingTotal;
    state.counters["ratio_to_static"] = movingTotal / staticTotal;
    state.counters["partitions"] = prepared.bank->Partitions();
}
BENCHMARK(BM_SofaBinaural10Minutes)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

// Reading the default set and making it ready at 48 kHz: what choosing a set costs before its
// first block.
void BM_SofaDefaultSetReady(benchmark::State& state) {
    for (auto _ : state) {
        const SofaHrtfSet::Loaded loaded = SofaHrtfSet::Load(SofaHrtfSet::DefaultPath());
        if (loaded.set == nullptr) {
            state.SkipWithError(loaded.message.c_str());
            return;
        }
        benchmark::DoNotOptimize(HrtfFilterBank::Prepare(*loaded.set, kRate).bank);
    }
}
BENCHMARK(BM_SofaDefaultSetReady)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
