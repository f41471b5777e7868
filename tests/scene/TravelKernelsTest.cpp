// The stage's wide loops give the very floats the four-lane ones and a single read give, on
// runs of every length, near and beyond the signal's ends. A room's reads between eighths of a
// frame are the interpolator's reads, keep a click's energy, and do not depend on where the
// eighths start; its mix is each reflection's signal at its moving gains, summed.
#include "scene/TravelKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "scene/DelayInterpolator.h"
#include "scene/ImageSources.h"

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
    const DelayInterpolator* interpolators[] = {&DelayInterpolator::Shared()};
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

// n values of uniform noise in -1 .. 1.
std::vector<float> Noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& value : x) {
        value = sample(rng);
    }
    return x;
}

// A source's eighths made on either width, the straight line between them read on either width.
std::vector<float> EighthsOf(const std::vector<float>& x, bool bWide) {
    const Lanes lanes(bWide);
    const size_t n = x.size() - 15;
    std::vector<float> up(n * 8);
    TravelKernels::Eighths(x.data(), n, up.data());
    return up;
}

std::vector<float> ReadEighths(const std::vector<float>& up, double origin,
                               const std::vector<double>& positions, bool bWide) {
    const Lanes lanes(bWide);
    std::vector<float> out(positions.size(), 99.0f);
    TravelKernels::ReadEighths(up.data(), static_cast<int64_t>(up.size()), origin, positions.data(),
                               positions.size(), out.data());
    return out;
}

TEST(TravelKernels, EighthsAreTheInterpolatorsReadsAndAClickKeepsItsEnergyBetweenThem) {
    const std::vector<float> x = Noise(215, 5);
    const std::vector<float> up = EighthsOf(x, true);
    ASSERT_EQ(up, EighthsOf(x, false));
    const DelayInterpolator& interpolator = DelayInterpolator::Shared();
    for (size_t i = 0; i < 200; ++i) {
        for (int p = 0; p < 8; ++p) {
            ASSERT_NEAR(up[i * 8 + static_cast<size_t>(p)],
                        interpolator.Read(x.data() + i, p / 8.0), 1e-5)
                << "frame " << i << ", eighth " << p;
        }
    }
    // A click at frame 100 read at every frame from 0 shifted by a fraction: within 1 dB of its
    // energy wherever it falls between samples (linear reads of the frames alone lose 3 dB half
    // way).
    std::vector<float> click(215, 0.0f);
    click[100 + 7] = 1.0f;
    const std::vector<float> clickUp = EighthsOf(click, true);
    for (const double fraction : {0.0, 0.1, 0.25, 0.4375, 0.5, 0.8125}) {
        std::vector<double> positions(200);
        for (size_t i = 0; i < positions.size(); ++i) {
            positions[i] = static_cast<double>(i) + fraction;
        }
        double energy = 0.0;
        for (const float value : ReadEighths(clickUp, 0.0, positions, true)) {
            energy += double{value} * value;
        }
        EXPECT_NEAR(10.0 * std::log10(energy), 0.0, 1.0) << "fraction " << fraction;
    }
}

TEST(TravelKernels, ReadsBetweenEighthsAreTheSameWhereverTheEighthsStartOnEitherWidth) {
    std::mt19937 rng(9);
    const std::vector<float> x = Noise(1015, 9);
    const std::vector<float> up = EighthsOf(x, true);
    // The eighths from frame -300 (as a block's first reads reach back), and the same ones cut
    // to start 317 frames later.
    const double origin = -300.0;
    const std::vector<float> later(up.begin() + 317 * 8, up.end());
    std::uniform_real_distribution<double> inside(20.0, 690.0);
    std::uniform_real_distribution<double> anywhere(-400.0, 800.0);
    for (const size_t n : {size_t{1}, size_t{3}, size_t{4}, size_t{9}, size_t{257}}) {
        std::vector<double> positions(n);
        std::vector<double> wide(n);
        for (size_t i = 0; i < n; ++i) {
            positions[i] = inside(rng);
            wide[i] = i % 3 == 0 ? anywhere(rng) : positions[i];
        }
        EXPECT_EQ(ReadEighths(up, origin, positions, true),
                  ReadEighths(later, origin + 317.0, positions, true))
            << n << " reads";
        const std::vector<float> out = ReadEighths(up, origin, wide, true);
        EXPECT_EQ(out, ReadEighths(up, origin, wide, false)) << n << " reads";
        for (size_t i = 0; i < n; ++i) {
            // Past either end of the eighths: silence.
            if (wide[i] < origin || wide[i] >= origin + 1015.0 - 15.0) {
                EXPECT_EQ(out[i], 0.0f) << wide[i];
            }
        }
    }
}

TEST(TravelKernels, LinesOfAnyLengthAreEachFramesOwnPositionOnEitherWidth) {
    for (const size_t n : {size_t{1}, size_t{3}, size_t{4}, size_t{7}, size_t{8}, size_t{9},
                           size_t{17}, size_t{130}}) {
        for (const bool bWide : {true, false}) {
            const Lanes lanes(bWide);
            std::vector<double> positions(n + 1, -1.0);
            const int64_t first = 4'000'000'017;
            TravelKernels::Line(first, n, 123.25, 3'999'999'000.5, 1.0003, positions.data());
            for (size_t i = 0; i < n; ++i) {
                const double t = static_cast<double>(first + static_cast<int64_t>(i));
                ASSERT_EQ(positions[i], 123.25 + (t - 3'999'999'000.5) * 1.0003)
                    << n << " frames, frame " << i << (bWide ? " wide" : "");
            }
            EXPECT_EQ(positions[n], -1.0) << "wrote past the line";
        }
    }
}

TEST(TravelKernels, MixedRunsAreEachSignalAtItsMovingGainsSummedOnEitherWidth) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    struct Case {
        size_t channels, reflections, frames;
        uint32_t offset;
    };
    const Case cases[] = {{1, 1, 1, 0},    {2, 3, 7, 5},     {4, 31, 256, 0}, {4, 2, 13, 9},
                          {5, 6, 40, 100}, {16, 4, 19, 200}, {3, 9, 31, 512}, {4, 62, 512, 0}};
    for (const Case& c : cases) {
        const size_t stride = c.frames + 3;
        std::vector<float> heard(c.reflections * stride);
        std::vector<float> gains(c.reflections * c.channels);
        std::vector<float> steps(gains.size());
        for (float& value : heard) {
            value = sample(rng);
        }
        for (size_t g = 0; g < gains.size(); ++g) {
            gains[g] = sample(rng);
            steps[g] = sample(rng) / 256.0f;
        }
        std::vector<float> sums[2];
        for (const bool bWide : {true, false}) {
            const Lanes lanes(bWide);
            std::vector<float>& sum = sums[bWide ? 0 : 1];
            sum.assign(c.channels * (c.frames + 1), 99.0f);
            TravelKernels::MixRun(heard.data(), stride, c.reflections, c.frames, gains.data(),
                                  steps.data(), c.channels, c.offset, sum.data(), c.frames + 1);
        }
        EXPECT_EQ(sums[0], sums[1]) << c.channels << " channels, " << c.frames << " frames";
        for (size_t ch = 0; ch < c.channels; ++ch) {
            for (size_t i = 0; i < c.frames; ++i) {
                double expected = 0.0;
                for (size_t k = 0; k < c.reflections; ++k) {
                    const size_t g = k * c.channels + ch;
                    expected += double{heard[k * stride + i]} *
                                (double{gains[g]} + double{steps[g]} * (c.offset + i));
                }
                ASSERT_NEAR(sums[0][ch * (c.frames + 1) + i], expected, 1e-4)
                    << c.channels << " channels, channel " << ch << ", frame " << i;
            }
            EXPECT_EQ(sums[0][ch * (c.frames + 1) + c.frames], 99.0f) << "wrote past the run";
        }
    }
}

}  // namespace

TEST(TravelKernels, PathLengthsAreEachImagesDistanceOnEitherWidth) {
    // Order 3: 63 images, not a multiple of four.
    Room room;
    room.width = 6.3;
    const ImageSources images(room, 3);
    const size_t paths = images.Images().size();
    const double size[] = {room.width, room.depth, room.height};
    const double listener[] = {2.2, 1.7, 1.4};
    std::vector<double> shift(3 * paths), mirrored(3 * paths);
    for (size_t k = 0; k < 3 * paths; ++k) {
        const int n = images.Images()[k % paths].index[k / paths];
        shift[k] = n * size[k / paths];
        mirrored[k] = n % 2 == 0 ? 0.0 : -1.0;
    }
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> inside(0.0, 1.0);
    for (int trial = 0; trial < 20; ++trial) {
        const std::array<double, 3> source{inside(rng) * size[0], inside(rng) * size[1],
                                           inside(rng) * size[2]};
        const double shorter = trial % 2 == 0 ? 0.0 : 1.25;
        std::vector<double> expected(paths);
        for (size_t k = 0; k < paths; ++k) {
            const std::array<double, 3> at = images.PositionOf(images.Images()[k], source);
            const double dx = at[0] - listener[0], dy = at[1] - listener[1],
                         dz = at[2] - listener[2];
            expected[k] = std::sqrt(dx * dx + dy * dy + dz * dz) - shorter;
        }
        for (const bool bWide : {true, false}) {
            const Lanes lanes(bWide);
            std::vector<double> lengths(paths);
            TravelKernels::PathLengths(shift.data(), mirrored.data(), paths, size, source.data(),
                                       listener, shorter, paths, lengths.data());
            EXPECT_EQ(lengths, expected) << (bWide ? "wide" : "four lanes");
        }
    }
}
