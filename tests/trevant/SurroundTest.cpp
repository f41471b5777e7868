// Loudspeaker feeds through the mixer on OpenAL Soft's wave-file writer, configured for
// SONOMAP_SURROUND_CHANNELS channels: every channel of a mixed wave reaches the loudspeaker of
// its name, at its level, and nothing else.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numbers>

#include "MixerTestSupport.h"
#include "support/TempDir.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

std::string OutputPath() {
    return WaveWriterEnvironment::OutputPath();
}

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new WaveWriterEnvironment(
    SONOMAP_SURROUND_CHANNELS == 6 ? "channels=surround51\n" : "channels=surround71\n"));

constexpr uint32_t kRate = 44100;

}  // namespace

TEST(SurroundTest, EachChannelOfAMixedWaveReachesItsOwnLoudspeaker) {
    constexpr unsigned kChannels = SONOMAP_SURROUND_CHANNELS;
    constexpr uint32_t kFrames = kRate / 2;
    constexpr unsigned kLfe = 3;
    // A 1 kHz tone on every channel, each at its own level (the LFE at 60 Hz, which it passes).
    std::vector<float> samples(size_t{kFrames} * kChannels);
    for (uint32_t f = 0; f < kFrames; ++f) {
        for (unsigned c = 0; c < kChannels; ++c) {
            const double hz = c == kLfe ? 60.0 : 1000.0;
            samples[size_t{f} * kChannels + c] = static_cast<float>(
                0.05 * (c + 1) * std::sin(2 * std::numbers::pi * hz * f / kRate));
        }
    }
    const MixerSessionConfig config = MakeConfig(kRate);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u) << "error " << AmbrelWaveMixGetLastError();
    ASSERT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    // Debian 12's OpenAL Soft cannot tell; a later one tells what it was configured for.
    uint32_t told = 0;
    const int code = AmbrelWaveMixGetOutputChannels(session, &told);
    EXPECT_TRUE(code == AMBREL_WAVEMIX_ERR_OUTPUT_UNTOLD ||
                (code == AMBREL_WAVEMIX_OK && told == kChannels))
        << code << " " << told;
    ASSERT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
    MixerPcmFormat format{3,
                          static_cast<uint16_t>(kChannels),
                          kRate,
                          kRate * kChannels * 4,
                          static_cast<uint16_t>(kChannels * 4),
                          32};
    const MixerWaveSource source{&format, samples.data(), static_cast<uint32_t>(samples.size() * 4),
                                 0, 0};
    // Loudspeaker feeds are heard only as they are.
    EXPECT_EQ(AmbrelWaveMixOpenWave(session, &source, 0, AMBREL_WAVEMIX_WAVE_MEMORY), 0u);
    const AmbrelWaveMixWave wave = AmbrelWaveMixOpenWave(
        session, &source, 0, AMBREL_WAVEMIX_WAVE_MEMORY | AMBREL_WAVEMIX_WAVE_MIXED);
    ASSERT_NE(wave, 0u) << AmbrelWaveMixGetLastError();
    EXPECT_EQ(AmbrelWaveMixSetVolume(session, 0, 0, 32767), 0);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
    EXPECT_TRUE(done.Wait(1, 5000));
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);

    unsigned channels = 0;
    uint32_t rate = 0;
    std::vector<float> out;
    uint32_t mask = 0;
    ASSERT_TRUE(ReadFloatWavFrames(OutputPath(), channels, rate, out, &mask));
    ASSERT_EQ(channels, kChannels);
    // The file names its loudspeakers in the mask's order: front left, right, centre, LFE,
    // then 5.1's sides, or 7.1's backs and then sides.
    EXPECT_EQ(mask, kChannels == 6 ? 0x60Fu : 0x63Fu);
    const size_t frames = out.size() / channels;
    std::vector<double> power(channels, 0.0);
    for (size_t f = 0; f < frames; ++f) {
        for (unsigned c = 0; c < channels; ++c) {
            power[c] += double{out[f * channels + c]} * out[f * channels + c];
        }
    }
    // Each loudspeaker carries what its channel held over the frames played.
    for (unsigned c = 0; c < channels; ++c) {
        const double expected = 0.05 * (c + 1) / std::sqrt(2.0);
        const double rms = std::sqrt(power[c] / static_cast<double>(kFrames));
        EXPECT_NEAR(Db(rms / expected), 0.0, 0.5) << "loudspeaker " << c;
    }
}
