// A source resampled once and replayed for every later render of it gives the very floats its
// own resampling gives, in every case: the recording render, the replaying ones, one cut short
// (never kept), travel (never shared), a budget too small (never kept). And the peak scan the
// mixes take skips not-a-number samples as the plain loop does.
#include "deliver/ResampledSources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "deliver/AmbisonicsExport.h"
#include "render/TpdfDither.h"
#include "scene/RenderInput.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "trajectory/PanPointList.h"

namespace {

struct Sound {
    PcmFormat format{};
    std::vector<int16_t> samples;
    uint32_t frames = 0;
};

Sound Noise(int channels, uint32_t rate, uint32_t frames) {
    Sound sound;
    sound.format = MakeFormat(static_cast<uint16_t>(channels), rate, 16);
    sound.frames = frames;
    std::mt19937 rng(rate + static_cast<uint32_t>(channels));
    std::uniform_int_distribution<int> value(-12000, 12000);
    sound.samples.resize(size_t{frames} * static_cast<size_t>(channels));
    for (int16_t& sample : sound.samples) {
        sample = static_cast<int16_t>(value(rng));
    }
    return sound;
}

struct Case {
    const char* name;
    int channels;
    uint32_t inRate;
    uint32_t outRate;
    bool bDoppler;
    bool bCut;  // the mix ends before the sound does
    size_t budgetBytes;
    bool bKept;  // what the first render leaves to share
};

// frames output frames of sound at outRate along points, added by AddNext in pieces of 700.
std::vector<float> Mixed(const Sound& sound, const PanPointList& points, const Case& row,
                         ResampledSources* shared, uint64_t frames) {
    AmbisonicsExport::Options options;
    options.order = 1;
    options.rate = row.outRate;
    SceneSpace space;
    space.acoustics.bDoppler = row.bDoppler;
    AmbisonicsExport exporter(
        RenderInput::OfMemory(reinterpret_cast<const uint8_t*>(sound.samples.data()), sound.format,
                              sound.frames),
        points, options, space);
    exporter.UseBlockFrames(1024);
    if (shared != nullptr) {
        exporter.ShareResampling(*shared, "noise");
    }
    const auto channels = static_cast<size_t>(exporter.Channels());
    std::vector<float> out(frames * channels, 0.0f);
    for (uint64_t at = 0; at < frames; at += 700) {
        const uint64_t n = std::min<uint64_t>(700, frames - at);
        EXPECT_EQ(exporter.AddNext(out.data() + at * channels, n, 0.5f),
                  AmbisonicsExport::Outcome::Finished);
    }
    return out;
}

size_t Differences(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) {
        return std::max(a.size(), b.size());
    }
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        differ += std::memcmp(&a[i], &b[i], sizeof(float)) == 0 ? 0 : 1;
    }
    return differ;
}

TEST(ResampledSources, ReplaysAreTheResamplingsOwnFloatsAndOnlyWholeDrySoundsAreKept) {
    const Case cases[] = {
        {"mono down", 1, 48000, 24000, false, false, 64 << 20, true},
        {"mono up", 1, 22050, 48000, false, false, 64 << 20, true},
        {"two channels", 2, 44100, 32000, false, false, 64 << 20, true},
        {"cut short", 1, 48000, 24000, false, true, 64 << 20, false},
        {"with travel", 1, 48000, 24000, true, false, 64 << 20, false},
        {"over the budget", 1, 48000, 24000, false, false, 4096, false},
        {"same rate", 1, 24000, 24000, false, false, 64 << 20, false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const uint32_t frames = row.inRate * 3 / 2;
        const Sound sound = Noise(row.channels, row.inRate, frames);
        PanPointList points;
        points.AddPoint(PanPoint(0, Place{-120, 20, 300, 0}));
        points.AddPoint(PanPoint(frames - 1, Place{150, -10, 80, 40}));
        const uint64_t whole = uint64_t{frames} * row.outRate / row.inRate + 2000;
        const uint64_t length = row.bCut ? whole / 3 : whole;

        const std::vector<float> own = Mixed(sound, points, row, nullptr, length);
        ResampledSources shared(row.budgetBytes);
        const std::vector<float> first = Mixed(sound, points, row, &shared, length);
        EXPECT_EQ(shared.KeptBytes() > 0, row.bKept);
        const std::vector<float> second = Mixed(sound, points, row, &shared, length);
        const std::vector<float> third = Mixed(sound, points, row, &shared, length);
        EXPECT_EQ(Differences(own, first), 0u);
        EXPECT_EQ(Differences(own, second), 0u);
        EXPECT_EQ(Differences(own, third), 0u);
    }
}

TEST(ResampledSources, KeysOfAFileChangeWithItsContentAndAMissingFileHasNone) {
    EXPECT_EQ(ResampledSources::KeyOfFile("/nonexistent/sound.wav"), "");
    const TempDir temp;
    const std::string path = temp.File("key.wav");
    WriteBytes(path, {1});
    const std::string before = ResampledSources::KeyOfFile(path);
    EXPECT_NE(before, "");
    WriteBytes(path, {1, 2, 3});
    EXPECT_NE(ResampledSources::KeyOfFile(path), before);
}

TEST(TpdfDitherPeak, EveryLengthAndPlaceGivesThePlainLoopsPeak) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float specials[] = {nan, -nan, inf, -inf, -0.0f, 1e-40f, -3.5f};
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (size_t length = 0; length <= 37; ++length) {
        for (const float special : specials) {
            for (size_t at = 0; at < std::max<size_t>(length, 1); ++at) {
                std::vector<float> samples(length);
                for (float& sample : samples) {
                    sample = value(rng);
                }
                if (at < length) {
                    samples[at] = special;
                }
                float plain = 0.0f;
                for (const float sample : samples) {
                    plain = std::max(plain, std::fabs(sample));
                }
                const float peak = TpdfDither::Peak(samples.data(), samples.size());
                ASSERT_EQ(std::memcmp(&peak, &plain, sizeof peak), 0)
                    << "length " << length << ", " << special << " at " << at;
            }
        }
    }
}

}  // namespace
