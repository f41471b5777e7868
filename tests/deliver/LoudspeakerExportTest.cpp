// Export Loudspeakers written to disk and read back through libsndfile: each layout's channels
// carry the panner's gains for the place held, with the distance law, the LFE silent, and the
// WAV header is extensible with the layout's mask.
#include "deliver/LoudspeakerExportCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "document/CTesselDoc.h"
#include "formats/SndfileSource.h"
#include "platform/ByteOrder.h"
#include "platform/DistanceLaw.h"
#include "render/PointSourcePanner.h"
#include "render/SpeakerLayout.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = 11025;
constexpr double kAmplitude = 6000.0;  // of the 16-bit noise

// Noise in the first channel; a stereo sound's right channel is silent, so only the source
// at the azimuth less half the width sounds.
TestSound Noise(uint16_t channels) {
    return FirstChannelNoise(channels, kRate, kFrames, kAmplitude, 11);
}

}  // namespace

TEST(LoudspeakerExport, EachLayoutCarriesThePannersGainsForTheHeldPlace) {
    const struct {
        const char* layout;
        uint16_t sourceChannels;
        SampleFormat format;
        int typeId;  // 0 WAV, 1 AIFF
        int azimuth, elevation;
        uint32_t distanceCm;
        int width;
    } cases[] = {
        {"0+2+0", 1, SampleFormat::F32, 0, -20, 0, 100, 0},
        {"0+5+0", 1, SampleFormat::S16, 0, 100, 0, 100, 0},
        {"2+5+0", 2, SampleFormat::F32, 0, 10, 20, 100, 60},
        {"4+5+0", 1, SampleFormat::S24, 0, 150, 30, 100, 0},
        {"4+5+1", 1, SampleFormat::F32, 1, 45, -40, 100, 0},
        {"3+7+0", 1, SampleFormat::F32, 0, -170, 45, 200, 0},
        {"4+9+0", 1, SampleFormat::S24, 1, -75, 15, 100, 0},
        {"9+10+3", 1, SampleFormat::F32, 0, 60, -30, 50, 0},
        {"9+10+3", 1, SampleFormat::F32, 0, 0, 90, 100, 0},
        {"0+7+0", 2, SampleFormat::S16, 0, 135, 0, 100, 30},
        {"4+7+0", 1, SampleFormat::F32, 0, -105, 60, 400, 0},
    };
    TestDocumentHost host;
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " at " + std::to_string(c.azimuth) + "," +
                     std::to_string(c.elevation));
        const SpeakerLayout* layout = SpeakerLayout::Find(c.layout);
        ASSERT_NE(layout, nullptr);
        const TestSound sound = Noise(c.sourceChannels);
        const std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
        for (size_t i = 0; i < 2; ++i) {
            PanPoint* point = PointAt(*doc, i);
            SetAzimuth(*point, c.azimuth);
            point->elevation = c.elevation;
            point->distanceCm = c.distanceCm;
            point->width = c.width;
        }
        const std::string path = dir.File(std::string("out") + (c.typeId == 1 ? ".aif" : ".wav"));
        AmbisonicsExport::Options options;
        options.format = c.format;
        options.pLayout = layout;
        ASSERT_TRUE(LoudspeakerExportCommand(*doc).RenderTo(path, c.typeId, options))
            << ::testing::PrintToString(host.prompts.Texts());

        const size_t channels = layout->ChannelCount();
        if (c.typeId == 0) {
            // "fmt " right after the form type: the extensible tag, the sub-format's tag and
            // the layout's mask.
            const Bytes bytes = ReadBytes(path);
            ASSERT_GT(bytes.size(), 60u);
            EXPECT_EQ(ByteOrder::LoadU32(bytes.data() + 12, false), 0x20746D66u);
            EXPECT_EQ(bytes[20] | bytes[21] << 8, 0xFFFE);
            EXPECT_EQ(bytes[44] | bytes[45] << 8, c.format == SampleFormat::F32 ? 3 : 1);
            EXPECT_EQ(ByteOrder::LoadU32(bytes.data() + 40, false), layout->ChannelMask());
        }
        SndfileSource file;
        ASSERT_TRUE(file.Open(path)) << file.GetError();
        ASSERT_EQ(file.GetChannels(), static_cast<int>(channels));
        ASSERT_EQ(file.GetFrames(), int64_t{kFrames});
        std::vector<double> samples(size_t{kFrames} * channels);
        ASSERT_EQ(file.ReadFrames(samples.data(), kFrames), int64_t{kFrames});

        PointSourcePanner panner(*layout);
        std::vector<double> gains(channels);
        const double azimuth = c.azimuth - (c.sourceChannels == 2 ? c.width / 2.0 : 0.0);
        panner.CalculateGains(azimuth, c.elevation, gains.data());
        const double power =
            FirstChannelPower(sound) * DistanceGain(c.distanceCm) * DistanceGain(c.distanceCm);
        // A WAV file's channels go in the mask's order, an AIFF file's in BS.2051's.
        std::vector<uint16_t> order = layout->WaveChannelOrder();
        if (c.typeId == 1) {
            std::iota(order.begin(), order.end(), uint16_t{0});
        }
        for (size_t k = 0; k < channels; ++k) {
            double sum = 0.0;
            for (uint32_t f = 0; f < kFrames; ++f) {
                sum += samples[f * channels + k] * samples[f * channels + k];
            }
            const size_t speaker = order[k];
            const double expected = power * gains[speaker] * gains[speaker];
            if (layout->Speakers()[speaker].bLfe) {
                EXPECT_EQ(sum, 0.0) << "the LFE " << k;
            } else if (expected < power * 1e-4) {
                EXPECT_LT(sum / kFrames, power * 2e-4) << "channel " << k;
            } else {
                EXPECT_NEAR(10.0 * std::log10(sum / kFrames / expected), 0.0, 0.02)
                    << "channel " << k << " " << layout->Speakers()[speaker].label;
            }
        }
    }
}
