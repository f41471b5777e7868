// A first-order bus heard through the folded filters is what six SOFA renders of the virtual
// loudspeakers' feeds add up to, for sets of long and short responses at several rates. (A start
// part way is RoomBusTest's, through the binaural render in a room.)
#include "sofa/AmbisonicEars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "SofaTestSets.h"

namespace {

constexpr uint32_t kBlock = AmbisonicEars::kBlockFrames;
constexpr uint32_t kBlocks = 40;

std::vector<float> Bus(uint32_t seed) {
    // Four unlike channels: W loudest, the others each its own noise.
    std::vector<float> bus(size_t{kBlocks} * kBlock * 4);
    for (size_t c = 0; c < 4; ++c) {
        const std::vector<float> noise = WhiteNoise(size_t{kBlocks} * kBlock, seed + c);
        for (size_t n = 0; n < noise.size(); ++n) {
            bus[n * 4 + c] = noise[n] * (c == 0 ? 1.0f : 0.4f);
        }
    }
    return bus;
}

TEST(AmbisonicEars, IsTheSixVirtualLoudspeakersSummed) {
    struct Case {
        const char* set;
        uint32_t rate;
    };
    for (const Case& c : {Case{"default", 44100}, Case{"default", 48000}, Case{"grid-44100", 48000},
                          Case{"taps-128-48000", 48000}}) {
        SCOPED_TRACE(std::string(c.set) + " at " + std::to_string(c.rate));
        const auto bank = PreparedBank(c.set, c.rate);
        const std::vector<float> bus = Bus(c.rate);
        const size_t frames = bus.size() / 4;

        std::vector<float> expected(2 * frames, 0.0f);
        for (size_t k = 0; k < AmbisonicEars::kSpeakers; ++k) {
            std::vector<float> feed(frames);
            for (size_t n = 0; n < frames; ++n) {
                feed[n] = AmbisonicEars::SpeakerFeed(k, bus.data() + n * 4);
            }
            const SofaHeading heading = AmbisonicEars::SpeakerHeading(k);
            const Ears ears = RenderSofa(bank, 1, feed, [&](uint64_t) {
                return SoundPlace{heading.azimuth, heading.elevation, 100.0, 0.0};
            });
            ASSERT_EQ(ears.left.size(), frames);
            for (size_t n = 0; n < frames; ++n) {
                expected[2 * n] += ears.left[n];
                expected[2 * n + 1] += ears.right[n];
            }
        }

        AmbisonicEars ears(bank);
        std::vector<float> whole(expected.size(), 0.0f);
        for (size_t b = 0; b < kBlocks; ++b) {
            ears.Process(bus.data() + b * kBlock * 4, whole.data() + b * kBlock * 2);
        }
        double energy = 0.0, error = 0.0;
        for (size_t i = 0; i < whole.size(); ++i) {
            const double difference = static_cast<double>(whole[i]) - expected[i];
            energy += static_cast<double>(expected[i]) * expected[i];
            error += difference * difference;
        }
        EXPECT_GT(energy, 100.0);
        // Rounding apart: single-precision transforms summed in another order.
        EXPECT_LT(10.0 * std::log10(error / energy), -110.0);
    }
}

}  // namespace
