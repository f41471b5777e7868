// A wave placed all around the head through the binaural export's mixer, HRTF on, on the
// loopback device: the distance law in the level, a stereo wave's width between the ears,
// and what behind and above do to the spectrum. The figures are printed for the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "binaural/TrevantBinauralRenderer.h"
#include "scene/RenderInput.h"
#include "support/BandLevels.h"
#include "support/Interaural.h"
#include "trajectory/PanPointList.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = kRate;  // 1 s

struct Spot {
    int32_t azimuth = 0;
    int32_t elevation = 0;
    uint32_t distanceCm = 100;
    int32_t width = 0;
};

struct Heard {
    std::vector<float> left;
    std::vector<float> right;
    uint32_t rate = 0;
};

// Mixes the whole wave (16-bit, 1 or 2 channels) standing at place, through the renderer's
// own walk of a trajectory that holds it there.
Heard RenderAt(const std::vector<uint8_t>& samples, uint16_t channels, const Spot& place) {
    TrevantBinauralRenderer renderer("", 0);
    PcmFormat format{};
    format.formatTag = kFormatTagPcm;
    format.channels = channels;
    format.sampleRate = kRate;
    format.bitsPerSample = 16;
    format.blockAlign = static_cast<uint16_t>(2 * channels);
    format.avgBytesPerSec = kRate * format.blockAlign;
    const auto frames = static_cast<uint32_t>(samples.size() / (2u * channels));
    const std::unique_ptr<RenderInput> input =
        RenderInput::OfMemory(samples.data(), format, frames);
    PanPointList points;
    points.AddPoint(
        PanPoint(0, Place{place.azimuth, place.elevation, place.distanceCm, place.width}));
    Heard heard;
    const std::string error = renderer.Open({input.get(), &points, {}});
    EXPECT_EQ(error, "");
    if (!error.empty()) {
        return heard;
    }
    heard.rate = renderer.OutputRate();
    std::vector<float> out(4096 * 2);
    for (int guard = 0; guard < 10000 && heard.left.size() < renderer.OutputFrames(); ++guard) {
        uint32_t rendered = 0;
        EXPECT_TRUE(renderer.Render(out.data(), 4096, rendered)) << renderer.LastError();
        if (rendered == 0) {
            break;
        }
        for (uint32_t i = 0; i < rendered; ++i) {
            heard.left.push_back(out[2 * i]);
            heard.right.push_back(out[2 * i + 1]);
        }
    }
    EXPECT_EQ(heard.left.size(), renderer.OutputFrames());
    return heard;
}

// Both ears' power over the middle of the sound, in dB.
double LevelDb(const Heard& heard) {
    const size_t n = heard.left.size();
    double sum = 1e-30;
    for (size_t i = n / 10; i < n - n / 10; ++i) {
        sum += double{heard.left[i]} * heard.left[i] + double{heard.right[i]} * heard.right[i];
    }
    return 10.0 * std::log10(sum);
}

Interaural Ears(const Heard& heard) {
    const size_t n = heard.left.size();
    return Interaural::Measure(heard.left, heard.right, n / 10, n - n / 10);
}

BandLevels Bands(const Heard& heard, int bandsPerOctave) {
    const size_t n = heard.left.size();
    return BandLevels::Measure(heard.left, heard.right, n / 10, n - n / 10, heard.rate,
                               bandsPerOctave);
}

// The band-by-band difference a - b, printed; returns the largest magnitude.
double PrintDifference(const char* what, const BandLevels& a, const BandLevels& b) {
    const std::vector<double> difference = a.Minus(b);
    std::printf("[ measured ] %s (Hz: dB):", what);
    double largest = 0.0;
    for (size_t i = 0; i < difference.size(); ++i) {
        std::printf(" %.0f: %+.1f", a.centresHz[i], difference[i]);
        largest = std::max(largest, std::fabs(difference[i]));
    }
    std::printf("\n");
    return largest;
}

// Noise on the left channel of a stereo wave, silence on the right.
std::vector<uint8_t> LeftOnly(const std::vector<uint8_t>& mono) {
    std::vector<uint8_t> stereo(mono.size() * 2, 0);
    for (size_t frame = 0; frame < mono.size() / 2; ++frame) {
        stereo[frame * 4] = mono[frame * 2];
        stereo[frame * 4 + 1] = mono[frame * 2 + 1];
    }
    return stereo;
}

}  // namespace

TEST(BinauralPlace, TheDistanceLawSetsTheLevelAgainstOneMetre) {
    const std::vector<uint8_t> noise = MakeNoise16(kFrames, 0.2);
    const double atOneMetre = LevelDb(RenderAt(noise, 1, {0, 0, 100, 0}));
    struct Row {
        uint32_t distanceCm;
        double expectedDb;
    };
    for (const Row& row : {Row{200, -6.02}, Row{50, 6.02}, Row{10, 12.04}}) {
        const double db = LevelDb(RenderAt(noise, 1, {0, 0, row.distanceCm, 0})) - atOneMetre;
        std::printf("[ measured ] %.2f m against 1 m: %+.2f dB (the law: %+.2f dB)\n",
                    row.distanceCm / 100.0, db, row.expectedDb);
        EXPECT_NEAR(db, row.expectedDb, 0.5) << row.distanceCm << " cm";
    }
}

TEST(BinauralPlace, AStereoWavesChannelsSpreadByTheWidth) {
    const std::vector<uint8_t> left = LeftOnly(MakeNoise16(kFrames, 0.2));
    // The left channel alone at -90 with width 180; with width 0 both stand ahead.
    const Interaural wide = Ears(RenderAt(left, 2, {0, 0, 100, 180}));
    const Interaural narrow = Ears(RenderAt(left, 2, {0, 0, 100, 0}));
    std::printf("[ measured ] left channel only, width 180: left ear %+.2f dB; width 0: %+.2f dB\n",
                wide.levelDb, narrow.levelDb);
    EXPECT_GE(wide.levelDb, 10.0);
    EXPECT_LE(std::fabs(narrow.levelDb), 0.5);
}

TEST(BinauralPlace, BehindAndAboveChangeTheSpectrum) {
    const std::vector<uint8_t> noise = MakeNoise16(kFrames, 0.2);
    struct Pair {
        const char* what;
        Spot a;
        Spot b;
    };
    for (const Pair& pair : {Pair{"180 against 0", {180, 0, 100, 0}, {0, 0, 100, 0}},
                             Pair{"135 against 45", {135, 0, 100, 0}, {45, 0, 100, 0}},
                             Pair{"60 up against level", {0, 60, 100, 0}, {0, 0, 100, 0}}}) {
        const Heard a = RenderAt(noise, 1, pair.a);
        const Heard b = RenderAt(noise, 1, pair.b);
        ASSERT_FALSE(a.left.empty() || b.left.empty());
        const std::string what = pair.what;
        PrintDifference((what + ", octaves").c_str(), Bands(a, 1), Bands(b, 1));
        const double largest =
            PrintDifference((what + ", third octaves").c_str(), Bands(a, 3), Bands(b, 3));
        EXPECT_GE(largest, 3.0) << pair.what;
    }
}
