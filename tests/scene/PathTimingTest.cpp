// A path's timing asked in any pieces gives the same emissions as asked frame by frame (the run
// along one edge's slope and the step-by-step walk agree), its positions alone are those
// emissions' positions and fades, and four reads between samples at
// once give the numbers one read at a time gives.
#include "scene/PathTiming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "scene/DelayInterpolator.h"

namespace {

// Delays in frames for a source that approaches, recedes, jumps twice (one way, then back) and
// stands still, at 48 kHz (343 m/s: 140 frames a metre).
double Delay(int64_t frame) {
    const double t = static_cast<double>(frame) / 48000.0;
    if (t < 0.5) {
        return 140.0 * (3.0 - 4.0 * t);  // approaching at 4 m/s
    }
    if (t < 0.8) {
        return 140.0 * (1.0 + 20.0 * (t - 0.5));  // receding at 20 m/s
    }
    if (t < 1.1) {
        return 140.0 * 40.0;  // a jump out to 40 m
    }
    if (t < 1.4) {
        return 140.0 * 2.0;  // and back
    }
    return 140.0 * 2.0 + 3.0 * std::sin(t * 40.0);  // wobbling in place
}

bool Same(const PathTiming::Emission& a, const PathTiming::Emission& b) {
    if (a.position != b.position || a.place != b.place || a.share != b.share) {
        return false;
    }
    return a.share == 1.0f || (a.fading == b.fading && a.fadingPlace == b.fadingPlace);
}

}  // namespace

TEST(PathTiming, AnyPiecesGiveTheEmissionsFrameByFrameGives) {
    constexpr int64_t kFrames = 48000 * 2;
    PathTiming single(48000, 140.0 * 40.0, Delay);
    std::vector<PathTiming::Emission> expected(kFrames);
    for (int64_t t = 0; t < kFrames; ++t) {
        single.Emissions(t, 1, &expected[static_cast<size_t>(t)]);
    }
    size_t fades = 0;
    for (const PathTiming::Emission& e : expected) {
        fades += e.share < 1.0f ? 1 : 0;
    }
    EXPECT_GT(fades, 0u) << "the path's jumps must fade";
    for (const uint32_t piece : {7u, 256u, 4096u, 48000u}) {
        SCOPED_TRACE(piece);
        PathTiming timing(48000, 140.0 * 40.0, Delay);
        std::vector<PathTiming::Emission> got(kFrames);
        for (int64_t t = 0; t < kFrames; t += piece) {
            const auto count = static_cast<uint32_t>(std::min<int64_t>(piece, kFrames - t));
            timing.Emissions(t, count, &got[static_cast<size_t>(t)]);
        }
        size_t differ = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            differ += Same(got[i], expected[i]) ? 0 : 1;
        }
        EXPECT_EQ(differ, 0u);

        PathTiming alone(48000, 140.0 * 40.0, Delay);
        std::vector<double> positions(piece);
        std::vector<PathTiming::Fade> found;
        size_t wrong = 0, faded = 0;
        for (int64_t t = 0; t < kFrames; t += piece) {
            const auto count = static_cast<uint32_t>(std::min<int64_t>(piece, kFrames - t));
            alone.Positions(t, count, positions.data(), found);
            size_t next = 0;
            for (uint32_t i = 0; i < count; ++i) {
                const PathTiming::Emission& e = expected[static_cast<size_t>(t) + i];
                wrong += positions[i] == e.position ? 0 : 1;
                if (e.share < 1.0f) {
                    const bool bFound = next < found.size() && found[next].frame == i &&
                                        found[next].share == e.share &&
                                        found[next].fading == e.fading;
                    wrong += bFound ? 0 : 1;
                    next += bFound ? 1 : 0;
                    ++faded;
                }
            }
            wrong += found.size() - next;
        }
        EXPECT_EQ(wrong, 0u);
        EXPECT_EQ(faded, fades);
    }
}

// Each interpolator's four reads at once against its reads one at a time, bit for bit.
template <int Taps>
void CheckFourReads(const DelayInterpolator& interpolator) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    std::vector<float> signal(64);
    for (float& value : signal) {
        value = sample(rng);
    }
    for (int round = 0; round < 1000; ++round) {
        const float* taps[4];
        double fractions[4];
        for (size_t f = 0; f < 4; ++f) {
            taps[f] = signal.data() + (rng() % 48);
            fractions[f] = round == 0 ? static_cast<double>(f) / 3.0 : fraction(rng);
        }
        float four[4];
        interpolator.ReadFour<Taps>(taps, fractions, four);
        for (size_t f = 0; f < 4; ++f) {
            const float one = interpolator.Read(taps[f], fractions[f]);
            ASSERT_EQ(std::memcmp(&four[f], &one, sizeof one), 0)
                << Taps << " taps, round " << round << ", read " << f << ": " << four[f] << " vs "
                << one;
        }
    }
}

TEST(DelayInterpolator, FourReadsAtOnceAreTheReadsOneAtATime) {
    CheckFourReads<16>(DelayInterpolator::Shared());
}
