// A sound brought to another rate as it is read gives the same floats as one read of the whole,
// for three readers taking turns far apart, for a read back before what is held, past the end,
// for a stereo sound mixed to one channel, and with silence fed after the sound.
#include "deliver/ResampledMono.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "formats/ImportResampler.h"
#include "scene/RenderInput.h"
#include "support/FileBytes.h"

namespace {

struct Read {
    uint64_t first;
    uint32_t count;
};

TEST(ResampledMono, PiecesFromThreeReadersAndBackAreTheWholeReadOnce) {
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

        // One reader ahead, one 3.5 s behind it and one 0.8 s behind, in turns; then back to
        // the start; then past the end.
        std::vector<Read> reads;
        for (uint64_t at = 0; at + 4096 < whole.Frames(); at += 4096) {
            reads.push_back({at, 4096});
            if (at >= 84000) {
                reads.push_back({at - 84000, 3000});
            }
            if (at >= 20000) {
                reads.push_back({at - 20000, 4096});
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

        // Fed a tenth of a second of silence after the sound, as a resampler fed the same in
        // one piece gives it: the filter's last ringing past the sound's own frames too.
        const uint32_t fed = kFrames + kRate / 10;
        std::vector<float> mono(fed, 0.0f);
        input->ReadMono(0, kFrames, mono.data());
        std::vector<double> in(mono.begin(), mono.end());
        ImportResampler reference(kRate, kOut, 1);
        std::vector<double> once;
        ASSERT_TRUE(reference.Process(in.data(), fed, once) && reference.Finish(once));
        ResampledMono padded(*input, kOut, fed);
        EXPECT_EQ(padded.Frames(), whole.Frames());
        std::vector<float> out(once.size() + 10, -1.0f);
        ASSERT_TRUE(padded.Read(0, static_cast<uint32_t>(out.size()), out.data()));
        for (size_t f = 0; f < out.size(); ++f) {
            ASSERT_EQ(out[f], f < once.size() ? static_cast<float>(once[f]) : 0.0f) << f;
        }
        EXPECT_GT(std::fabs(out[whole.Frames() + 2]), 1e-6f);
    }
}

}  // namespace
