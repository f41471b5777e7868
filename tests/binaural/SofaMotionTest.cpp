// Sonomap's own binaural renderer with the sound moving: no clicks as the filters change, and
// the same samples however the caller cuts its calls, wherever it starts and whatever the
// width of the processor's vector units.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "SofaTestSets.h"
#include "sofa/RealFft.h"
#include "sofa/SpectrumKernels.h"

namespace {

// The most energy above 4 kHz in any 85 ms window (Blackman-Harris, half overlapping) of
// [from, to), relative to the window's energy below it, dB.
double WorstHighBandDb(const std::vector<float>& samples, uint32_t rate, size_t from, size_t to) {
    const auto window = static_cast<uint32_t>(0.085 * rate);
    uint32_t size = 1;
    while (size < window) {
        size *= 2;
    }
    const RealFft fft(size);
    std::vector<float> time(size);
    std::vector<float> spectrum(2 * size_t{fft.Bins()});
    const float* re = spectrum.data();
    const float* im = re + fft.Bins();
    double worst = -1e300;
    for (size_t start = from; start + window <= to; start += window / 2) {
        std::fill(time.begin(), time.end(), 0.0f);
        for (uint32_t n = 0; n < window; ++n) {
            const double x = 2.0 * std::numbers::pi * n / (window - 1);
            const double w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                             0.01168 * std::cos(3 * x);
            time[n] = static_cast<float>(samples[start + n] * w);
        }
        fft.Forward(time.data(), spectrum.data());
        double low = 0.0;
        double high = 0.0;
        for (uint32_t k = 0; k < fft.Bins(); ++k) {
            const double power = double{re[k]} * re[k] + double{im[k]} * im[k];
            (static_cast<double>(k) * rate / size > 4000.0 ? high : low) += power;
        }
        worst = std::max(worst, 10.0 * std::log10(high / low));
    }
    return worst;
}

TEST(SofaMotion, AToneGoingRoundOnceASecondHasNoClicks) {
    struct Case {
        const char* set;
        uint32_t rate;
        double elevation;  // of the orbit
        double tilt;       // degrees up and down once a turn
    };
    const Case cases[] = {
        {"default", 48000, 0, 0},
        {"default", 44100, 20, 30},
        {"default", 22050, -10, 0},
        {"grid-96000", 48000, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " at " + std::to_string(c.rate));
        const size_t frames = 2 * size_t{c.rate};
        std::vector<float> tone(frames);
        for (size_t n = 0; n < frames; ++n) {
            tone[n] =
                static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * n / c.rate));
        }
        const PlaceOfFrame orbit = [&](uint64_t frame) {
            const double turns = static_cast<double>(frame) / c.rate;
            const double up = c.elevation + c.tilt * std::sin(2 * std::numbers::pi * turns);
            return SoundPlace{std::remainder(360.0 * turns, 360.0), up, 100.0, 0.0};
        };
        const Ears out = RenderSofa(PreparedBank(c.set, c.rate), 1, tone, orbit);
        // From when the filter is full of tone to before the tone ends.
        const size_t from = c.rate / 10;
        EXPECT_LT(WorstHighBandDb(out.left, c.rate, from, frames), -60.0);
        EXPECT_LT(WorstHighBandDb(out.right, c.rate, from, frames), -60.0);
    }
}

// A stereo sound flying around, up, down, near and far, with its width changing.
SoundPlace Flight(uint64_t frame, uint32_t rate) {
    const double t = static_cast<double>(frame) / rate;
    return {std::remainder(250.0 * t, 360.0), 60.0 * std::sin(1.3 * t), 30.0 + 150.0 * t,
            90.0 + 80.0 * std::sin(2.0 * t)};
}

TEST(SofaMotion, SameSamplesHoweverTheCallsAreCutAndWhereverTheyStart) {
    struct Case {
        const char* set;
        uint32_t rate;
        std::vector<uint32_t> calls;
        uint64_t from;
        bool bFourLanes = false;  // the kernels of machines without AVX
    };
    const Case cases[] = {
        {"default", 44100, {1}, 0},
        {"default", 44100, {7, 256, 1000, 3}, 0},
        {"default", 44100, {44100}, 0},
        {"default", 44100, {4096}, 256 * 40},
        {"default", 44100, {333}, 12345},
        {"default", 44100, {500}, 700},
        {"default", 44100, {4096}, 0, true},
        {"grid-8000", 32000, {100, 256, 513}, 0},
        {"grid-8000", 32000, {4096}, 256 * 10 + 1},
        {"grid-8000", 32000, {999}, 5000, true},
    };
    std::vector<float> input = WhiteNoise(2 * 44100, 13);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " calls of " + std::to_string(c.calls.front()) +
                     " from " + std::to_string(c.from));
        const auto bank = PreparedBank(c.set, c.rate);
        const PlaceOfFrame flight = [&](uint64_t frame) { return Flight(frame, c.rate); };
        const Ears whole = RenderSofa(bank, 2, input, flight, {256});
        SpectrumKernels::UseWideLanes(!c.bFourLanes);
        const Ears cut = RenderSofa(bank, 2, input, flight, c.calls, c.from);
        SpectrumKernels::UseWideLanes(true);
        ASSERT_EQ(cut.left.size(), whole.left.size() - c.from);
        EXPECT_EQ(std::memcmp(cut.left.data(), whole.left.data() + c.from, cut.left.size() * 4), 0);
        EXPECT_EQ(std::memcmp(cut.right.data(), whole.right.data() + c.from, cut.right.size() * 4),
                  0);
    }
}

}  // namespace
