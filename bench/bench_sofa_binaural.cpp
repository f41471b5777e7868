// Sonomap's own binaural renderer over 10 minutes of mono at 48 kHz with the default SOFA set
// (MIT KEMAR, resampled to 48 kHz), all in memory: along a path that moves all the time (round
// the head, up and down, near and far, so every block crosses over to a new filter) against
// the same sound held still, which convolves each block once with the same filter length (the
// floor of the renderer), taking turns call by call in the same iterations. The input is a minute
// of seeded noise read over and over; the output is taken a block of 4096 frames at a time, as
// an export does. Counters: real_time_x (seconds of sound per second of the moving render) and
// ratio_to_static on the steady clock, and the same of the thread's processor time
// (cpu_real_time_x, cpu_ratio_to_static), which a machine busy with other work disturbs less.
// Then the time to read and prepare the default set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "sofa/HrtfFilterBank.h"
#include "sofa/SofaBinauralStream.h"
#include "sofa/SofaHrtfSet.h"

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
    SofaHeading HeadingAt(uint64_t frame) override {
        if (!m_bMoving) {
            return {30.0, 10.0, 0.0, 1.0};
        }
        const double t = static_cast<double>(frame) / kRate;
        return {std::remainder(40.0 * t, 360.0), 50.0 * std::sin(0.3 * t), 0.0,
                100.0 / (175.0 + 125.0 * std::sin(0.11 * t))};
    }

  private:
    const std::vector<float>& m_noise;
    bool m_bMoving;
};

// Seconds of the moving render and of the held one, on the steady clock and of the thread's
// processor time: the two take turns call by call, so a machine busy with other work slows
// both alike.
struct Seconds {
    double moving = 0;
    double held = 0;
    double movingCpu = 0;
    double heldCpu = 0;
};

Seconds RenderSeconds(const std::shared_ptr<const HrtfFilterBank>& bank,
                      const std::vector<float>& noise) {
    NoiseSource movingSource(noise, true);
    NoiseSource heldSource(noise, false);
    std::vector<float> out(2 * kCallFrames);
    Seconds seconds;
    auto timed = [&](double& wall, double& cpu, auto&& work) {
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = ThreadCpuSeconds();
        work();
        cpu += ThreadCpuSeconds() - startCpu;
        wall += SecondsSince(start);
    };
    std::unique_ptr<SofaBinauralStream> pMoving;
    std::unique_ptr<SofaBinauralStream> pHeld;
    timed(seconds.moving, seconds.movingCpu,
          [&] { pMoving = std::make_unique<SofaBinauralStream>(bank, 1, movingSource); });
    timed(seconds.held, seconds.heldCpu,
          [&] { pHeld = std::make_unique<SofaBinauralStream>(bank, 1, heldSource); });
    for (uint64_t done = 0; done < kFrames; done += kCallFrames) {
        timed(seconds.moving, seconds.movingCpu, [&] {
            pMoving->Render(out.data(), kCallFrames);
            benchmark::DoNotOptimize(out.data());
        });
        timed(seconds.held, seconds.heldCpu, [&] {
            pHeld->Render(out.data(), kCallFrames);
            benchmark::DoNotOptimize(out.data());
        });
    }
    return seconds;
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
    Seconds total;
    for (auto _ : state) {
        const Seconds seconds = RenderSeconds(prepared.bank, noise);
        state.SetIterationTime(seconds.moving);
        total.moving += seconds.moving;
        total.held += seconds.held;
        total.movingCpu += seconds.movingCpu;
        total.heldCpu += seconds.heldCpu;
    }
    const auto sound = 600.0 * static_cast<double>(state.iterations());
    state.counters["real_time_x"] = sound / total.moving;
    state.counters["ratio_to_static"] = total.moving / total.held;
    state.counters["cpu_real_time_x"] = sound / total.movingCpu;
    state.counters["cpu_ratio_to_static"] = total.movingCpu / total.heldCpu;
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
