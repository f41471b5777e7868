// The stage's wide loops give the very floats the four-lane ones and a single read give, on
// runs of every length, near and beyond the signal's ends.
#include "scene/TravelKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "scene/DelayInterpolator.h"

namespace {

struct Lanes {
    explicit Lanes(bool bWide) { TravelKernels::UseWideLanes(bWide); }
    ~Lanes() { TravelKernels::UseWideLanes(true); }
};

bool Same(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TravelKernels, ReadsOfAnyRunAreSingleReadsOnEitherWidth) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> signal(200);
    for (float& value : signal) {
        value = sample(rng);
    }
    const auto frames = static_cast<int64_t>(signal.size());
    struct Case {
        const char* name;
        double origin;
        int64_t shift;
        double low, high;  // positions drawn from
    };
    // Inside only; reaching past both ends (silence there); an origin far below the positions.
    const Case cases[] = {{"inside", 0.0, -7, 7.0, 180.0},
                          {"past the ends", 0.0, -3, -40.0, 240.0},
                          {"far origin", -1.0e6 - 0.25, -1000000 - 7, 7.0, 180.0}};
    const DelayInterpolator* interpolators[] = {&DelayInterpolator::Shared(),
                                                &DelayInterpolator::Short()};
    for (const Case& c : cases) {
        std::uniform_real_distribution<double> at(c.low, c.high);
        for (const DelayInterpolator* interpolator : interpolators) {
            for (const size_t n : {size_t{1}, size_t{3}, size_t{4}, size_t{7}, size_t{8}, size_t{9},
                                   size_t{31}, size_t{200}}) {
                // Positions three doubles apart, as in an array of records.
                std::vector<double> positions(n * 3);
                for (size_t i = 0; i < n; ++i) {
                    positions[i * 3] = i % 5 == 0 ? std::floor(at(rng)) : at(rng);
                }
                std::vector<float> expected(n);
                for (size_t i = 0; i < n; ++i) {
                    const double from = positions[i * 3] - c.origin;
                    const double first = std::floor(from) + static_cast<double>(c.shift);
                    if (first >= 0.0 &&
                        first <= static_cast<double>(frames - interpolator->Taps())) {
                        expected[i] = interpolator->Read(
                            signal.data() + static_cast<int64_t>(first), from - std::floor(from));
                    }
                }
                for (const bool bWide : {true, false}) {
                    const Lanes lanes(bWide);
                    std::vector<float> out(n, 99.0f);
                    TravelKernels::ReadRun(*interpolator, signal.data(), frames, c.origin, c.shift,
                                           positions.data(), 3, n, out.data());
                    for (size_t i = 0; i < n; ++i) {
                        ASSERT_TRUE(Same(out[i], expected[i]))
                            << c.name << ", " << interpolator->Taps() << " taps, run of " << n
                            << (bWide ? " wide" : " four") << ", frame " << i << ": " << out[i]
                            << " vs " << expected[i];
                    }
                }
            }
        }
    }
}

TEST(TravelKernels, SymmetricFilterOfAnyLengthIsTheFrameByFrameSum) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (const size_t half : {size_t{12}, size_t{5}}) {
        std::vector<float> k(half);
        for (float& value : k) {
            value = sample(rng) * 0.1f;
        }
        const float centre = 0.7f;
        for (const size_t n : {size_t{0}, size_t{1}, size_t{4}, size_t{7}, size_t{8}, size_t{13},
                               size_t{16}, size_t{1000}}) {
            std::vector<float> x(n + 2 * half);
            for (float& value : x) {
                value = sample(rng);
            }
            const float* middle = x.data() + half;
            std::vector<float> expected(n);
            for (size_t j = 0; j < n; ++j) {
                const float* at = middle + j;
                float acc = centre * at[0];
                for (size_t m = 1; m <= half; ++m) {
                    acc += k[m - 1] * (*(at - m) + at[m]);
                }
                expected[j] = acc;
            }
            for (const bool bWide : {true, false}) {
                const Lanes lanes(bWide);
                std::vector<float> sum(n + 1, 99.0f);
                TravelKernels::FilterSymmetric(middle, n, centre, k.data(), half, sum.data());
                for (size_t j = 0; j < n; ++j) {
                    ASSERT_TRUE(Same(sum[j], expected[j]))
                        << half << " taps a side, " << n << " frames" << (bWide ? " wide" : " four")
                        << ", frame " << j;
                }
                EXPECT_EQ(sum[n], 99.0f) << "wrote past " << n << " frames";
            }
        }
    }
}

}  // namespace
