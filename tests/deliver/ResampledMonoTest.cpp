// A sound brought to another rate as it is read gives the same floats as one read of the whole,
// for two readers taking turns far apart, for a read back before what is held, past the end,
// and for a stereo sound mixed to one channel.
#include "deliver/ResampledMono.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "scene/RenderInput.h"
#include "support/FileBytes.h"

namespace {

struct Read {
    uint64_t first;
    uint32_t count;
};

TEST(ResampledMono, PiecesFromTwoReadersAndBackAreTheWholeReadOnce) {
    constexpr uint32_t kRate = 48000, kOut = 24000, kFrames = kRate * 12;
    for (const uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
        SCOPED_TRACE(channels);
        std::vector<int16_t> samples(size_t{kFrames} * channels);
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> noise(-20000, 20000);
        for (int16_t& value : samples) {
            value = static_cast<int16_t>(noise(rng));
        }
        const std::unique_ptr<RenderInput> input =
            RenderInput::OfMemory(reinterpret_cast<const uint8_t*>(samples.data()),
                                  MakeFormat(channels, kRate, 16), kFrames);
        ResampledMono whole(*input, kOut);
        ASSERT_EQ(whole.Frames(), uint64_t{kFrames} / 2);
        std::vector<float> expected(whole.Frames() + 100);
        ASSERT_TRUE(whole.Read(0, static_cast<uint32_t>(expected.size()), expected.data()));
        EXPECT_TRUE(std::all_of(expected.end() - 100, expected.end(),
                                [](float value) { return value == 0.0f; }));
        EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.1f);

        // One reader ahead, one 3.5 s behind it, in turns; then back to the start; then past
        // the end.
        std::vector<Read> reads;
        for (uint64_t at = 0; at + 4096 < whole.Frames(); at += 4096) {
            reads.push_back({at, 4096});
            if (at >= 84000) {
                reads.push_back({at - 84000, 3000});
            }
        }
        reads.push_back({10, 5000});
        reads.push_back({whole.Frames() - 50, 120});
        ResampledMono pieces(*input, kOut);
        for (const Read& read : reads) {
            std::vector<float> out(read.count, -1.0f);
            ASSERT_TRUE(pieces.Read(read.first, read.count, out.data()));
            EXPECT_EQ(
                std::memcmp(out.data(), expected.data() + read.first, read.count * sizeof(float)),
                0)
                << "frames " << read.first << " to " << read.first + read.count;
        }
    }
}

}  // namespace
