// What the binaural export puts in a file, measured at the ears: the time and level
// differences of a direction, a movement across, every rate, a mix too loud for full scale,
// and sox reading each file. Everything runs on the loopback device: this binary gives
// OpenAL Soft no back end at all, as on a machine without sound card or sound server.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "BinauralFixture.h"
#include "support/OpenAlBackEnd.h"
#include "support/SoundIo.h"
#include "support/SoxTools.h"
#include "trajectory/SoundPlace.h"

namespace {

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new OpenAlBackEnd::Environment(OpenAlBackEnd::kNoDevice));

using BinauralMix = BinauralFixture;

double Ms(int frames, uint32_t rate) {
    return frames * 1000.0 / rate;
}

// The ears over the steady part of a half-second burst.
Interaural Ears(const StereoSamples& heard) {
    const size_t size = heard.left.size();
    return Interaural::Measure(heard.left, heard.right, size / 10, size - size / 10);
}

PanPoint PlacePoint(uint32_t frame, int azimuth, uint32_t cm = 100, int width = 0) {
    PanPoint point;
    point.position = frame;
    SetAzimuth(point, azimuth);
    point.distanceCm = cm;
    point.width = width;
    return point;
}

double LevelDb(const StereoSamples& heard) {
    double sum = 0;
    for (size_t i = 0; i < heard.left.size(); ++i) {
        sum += double(heard.left[i]) * heard.left[i] + double(heard.right[i]) * heard.right[i];
    }
    return 10.0 * std::log10(sum);
}

}  // namespace

TEST_F(BinauralMix, ADirectionReachesTheNearEarFirstAndLouderAndAheadReachesBothAlike) {
    const Interaural left = Ears(ExportAndRead(Noise(44100, 22050, 0.3, {{0, -90}}), "l.wav"));
    const Interaural right = Ears(ExportAndRead(Noise(44100, 22050, 0.3, {{0, 90}}), "r.wav"));
    const Interaural ahead = Ears(ExportAndRead(Noise(44100, 22050, 0.3, {{0, 0}}), "c.wav"));
    std::printf(
        "[ measured ] -90: left leads by %.3f ms, %.2f dB louder; +90: %.3f ms, %.2f dB;"
        " 0: %d frames, %.2f dB\n",
        Ms(left.lagFrames, 44100), left.levelDb, Ms(-right.lagFrames, 44100), -right.levelDb,
        ahead.lagFrames, ahead.levelDb);

    EXPECT_GE(Ms(left.lagFrames, 44100), 0.4);
    EXPECT_LE(Ms(left.lagFrames, 44100), 0.9);
    EXPECT_GE(left.levelDb, 6.0);
    // The mirror image.
    EXPECT_NEAR(right.lagFrames, -left.lagFrames, 1);
    EXPECT_NEAR(right.levelDb, -left.levelDb, 1.0);
    EXPECT_LE(std::abs(ahead.lagFrames), 2);
    EXPECT_LE(std::fabs(ahead.levelDb), 1.0);
}

TEST_F(BinauralMix, AMovementFromLeftToRightMovesTheLevelDifferenceAcross) {
    constexpr uint32_t kFrames = 88200;
    const StereoSamples heard =
        ExportAndRead(Noise(44100, kFrames, 0.3, {{0, -90}, {kFrames - 1, 90}}), "move.wav");
    ASSERT_EQ(heard.left.size(), kFrames);
    std::vector<double> levels;
    for (uint32_t tenth = 0; tenth < 10; ++tenth) {
        const size_t begin = size_t{tenth} * kFrames / 10;
        levels.push_back(
            Interaural::Measure(heard.left, heard.right, begin, begin + kFrames / 10, 0).levelDb);
    }
    std::printf("[ measured ] level difference by tenth (dB, + is left):");
    for (const double level : levels) {
        std::printf(" %.1f", level);
    }
    std::printf("\n");
    EXPECT_GE(levels.front(), 6.0);
    EXPECT_LE(levels.back(), -6.0);
    EXPECT_NEAR(levels[4] + levels[5], 0.0, 3.0);  // across the middle
    for (size_t i = 1; i < levels.size(); ++i) {
        EXPECT_LT(levels[i], levels[i - 1] + 0.5) << i;
    }
}

TEST_F(BinauralMix, EverySoundRateComesOutWithHrtfAtTheRateTheHrtfSupports) {
    for (const auto& [rate, output] :
         {std::pair{8000u, 44100u}, {22050u, 44100u}, {44100u, 44100u}, {48000u, 48000u}}) {
        SCOPED_TRACE(rate);
        const uint32_t frames = rate / 2;
        const std::string name = "rate" + std::to_string(rate) + ".wav";
        const StereoSamples heard = ExportAndRead(Noise(rate, frames, 0.3, {{0, 90}}), name);
        EXPECT_EQ(heard.rate, output);
        EXPECT_EQ(heard.left.size(), output / 2);
        // Binaural, not plain panning: the far ear hears the sound late and softer, but it hears
        // it (plain panning leaves it silent). A sound of 8000 Hz has no highs, which the head
        // shadows most, so its level difference is the smallest.
        const Interaural ears = Ears(heard);
        std::printf("[ measured ] %u Hz -> %u Hz: right leads by %.3f ms, %.2f dB louder\n", rate,
                    output, Ms(-ears.lagFrames, output), -ears.levelDb);
        EXPECT_GE(Ms(-ears.lagFrames, output), 0.4);
        EXPECT_LE(Ms(-ears.lagFrames, output), 0.9);
        EXPECT_LE(ears.levelDb, -3.0);
        EXPECT_GT(ears.levelDb, -30.0);
        EXPECT_EQ(SoxTools::Describe(dir.File(name)),
                  "2 " + std::to_string(output) + " 16 " + std::to_string(output / 2));
    }
}

TEST_F(BinauralMix, AChosenHrtfIsTheOneThatMixes) {
    hrtfName = "default-48000";
    const StereoSamples heard = ExportAndRead(Noise(44100, 4410, 0.3, {{0, -45}}), "h.wav");
    EXPECT_EQ(heard.rate, 48000u);
    EXPECT_EQ(heard.left.size(), 4800u);

    hrtfName = "no such HRTF";
    auto doc = Open(Noise(44100, 4410, 0.3, {{0, -45}}));
    EXPECT_FALSE(Export(*doc, dir.File("none.wav")));
    ASSERT_EQ(host.prompts.Texts().size(), 1u);
    EXPECT_EQ(host.prompts.Texts()[0].rfind("AmbrelWaveMix Error 14...", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.wav")));
}

TEST_F(BinauralMix, AFullScaleSoundIsScaledDownAndTheMessageSaysByHowMuch) {
    auto doc = Open(Noise(44100, 44100, 1.0, {{0, 70}}));
    const std::string out = dir.File("loud.aif");
    ASSERT_TRUE(Export(*doc, out, 2));
    ASSERT_EQ(host.prompts.Texts().size(), 1u);
    const std::string text = host.prompts.Texts()[0];
    std::printf("[ measured ] %s\n", text.c_str());
    EXPECT_EQ(text.rfind("The mix would have gone past full scale, so it was scaled down by ", 0),
              0u);
    const double db = std::atof(text.c_str() + text.find(" by ") + 4);
    EXPECT_GT(db, 0.0);
    EXPECT_LT(db, 12.0);

    // The loudest sample now sits just below full scale: nothing was clipped.
    StereoSamples heard;
    ASSERT_TRUE(ReadStereo16(out, &heard));
    EXPECT_LE(heard.peak, 32767);
    EXPECT_GE(heard.peak, 32700);
    EXPECT_EQ(SoxTools::Describe(out), "2 44100 16 44100");
    EXPECT_TRUE(SoxReads(out));
}

TEST_F(BinauralMix, SoxReadsTheWaveAndTheAiffFile) {
    auto doc = Open(Noise(22050, 30000, 0.3, {{0, -90}, {29999, 90}}));
    ASSERT_TRUE(Export(*doc, dir.File("out.wav"), 1));
    ASSERT_TRUE(Export(*doc, dir.File("out.aif"), 2));
    for (const char* name : {"out.wav", "out.aif"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(SoxTools::Describe(dir.File(name)), "2 44100 16 60000");
        EXPECT_TRUE(SoxReads(dir.File(name)));
    }
    EXPECT_EQ(ReadSound(dir.File("out.aif")).samples, ReadSound(dir.File("out.wav")).samples);
}

TEST_F(BinauralMix, PlacesAllAroundAreHeardAsThePreviewPlacesThem) {
    const TestSound noise = Noise(44100, 22050, 0.2, {{0, 0}});
    // The distance law through the export: ahead at 2 m is 6 dB below ahead at 1 m.
    const double near = LevelDb(ExportAndRead(noise, "ahead.wav"));
    const double far = LevelDb(ExportPlaces(noise, {PlacePoint(0, 0, 200)}, "far.wav"));
    std::printf("[ measured ] ahead at 2 m against 1 m: %.2f dB\n", far - near);
    EXPECT_NEAR(far - near, -6.02, 0.3);

    // Right, round behind, to the left: the louder ear changes sides.
    constexpr uint32_t kFrames = 88200;
    const StereoSamples round = ExportPlaces(
        Noise(44100, kFrames, 0.2, {{0, 0}}),
        {PlacePoint(0, 90), PlacePoint(kFrames / 2, 180), PlacePoint(kFrames - 1, -90)},
        "round.wav");
    const auto tenth = [&](uint32_t k) {
        const size_t begin = size_t{k} * kFrames / 10;
        return Interaural::Measure(round.left, round.right, begin, begin + kFrames / 10, 0).levelDb;
    };
    EXPECT_LE(tenth(0), -6.0);
    EXPECT_GE(tenth(9), 6.0);

    // A stereo sound whose right channel is silent: spread wide, its left channel is on the
    // left; with no width it comes from straight ahead.
    TestSound stereo = noise;
    stereo.format = MakeFormat(2, 44100, 16);
    stereo.samples.clear();
    for (size_t i = 0; i + 1 < noise.samples.size(); i += 2) {
        stereo.samples.insert(stereo.samples.end(), {noise.samples[i], noise.samples[i + 1], 0, 0});
    }
    const StereoSamples wide = ExportPlaces(stereo, {PlacePoint(0, 0, 100, 180)}, "wide.wav");
    const StereoSamples narrow = ExportPlaces(stereo, {PlacePoint(0, 0, 150, 0)}, "narrow.wav");
    EXPECT_GE(Ears(wide).levelDb, 10.0);
    EXPECT_LE(std::fabs(Ears(narrow).levelDb), 1.0);
}
