// Sonomap's own binaural renderer against the files themselves: a source held at a measured
// direction is the input through that measurement's responses, whatever the set and the rates;
// between measurements it lies between them; distance and a stereo sound's width are heard as
// everywhere else in Sonomap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "SofaTestSets.h"
#include "platform/DistanceLaw.h"
#include "sofa/SofaBinauralRenderer.h"
#include "support/Interaural.h"

namespace {

// Sonomap's azimuth of a SOFA azimuth: the same direction turned the other way.
double SonomapAzimuth(double sofaAzimuth) {
    const double az = std::remainder(-sofaAzimuth, 360.0);
    return az <= -180.0 ? az + 360.0 : az;
}

PlaceOfFrame Held(double azimuth, double elevation, double distanceCm = 100.0, double width = 0.0) {
    return [=](uint64_t) { return SoundPlace{azimuth, elevation, distanceCm, width}; };
}

double RmsDb(const std::vector<float>& samples, size_t from) {
    double sum = 0.0;
    for (size_t n = from; n < samples.size(); ++n) {
        sum += double{samples[n]} * samples[n];
    }
    return 10.0 * std::log10(sum / static_cast<double>(samples.size() - from));
}

TEST(SofaRender, HeldAtAMeasuredDirectionIsThatMeasurement) {
    struct Case {
        const char* set;
        uint32_t rate;   // the sound's
        double azimuth;  // SOFA's, to the left
        double elevation;
        double neighbour;  // SOFA azimuth of the measurement 5 degrees away, or NAN
    };
    const Case cases[] = {
        {"default", 44100, 0, 0, 5},
        {"default", 48000, 60, 0, 65},
        {"default", 8000, 330, 10, 335},
        {"default", 96000, 225, -20, 230},
        {"default", 16000, 180, 0, 175},
        {"grid-8000", 48000, 15, 0, NAN},
        {"grid-44100", 44100, 300, 30, NAN},
        {"grid-48000", 8000, 90, -60, NAN},
        {"grid-96000", 22050, 165, 60, NAN},
        {"grid-48000", 48000, 0, 90, NAN},
        {"cartesian-48000", 48000, 45, -30, NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " at " + std::to_string(c.rate) + " Hz, " +
                     std::to_string(c.azimuth) + "/" + std::to_string(c.elevation));
        const std::vector<float> input = PinkNoise(c.rate / 8 + 2048, 3);
        const auto bank = PreparedBank(c.set, c.rate);
        const Ears out = RenderSofa(bank, 1, input, Held(SonomapAzimuth(c.azimuth), c.elevation));
        const std::string path = SofaSetPath(c.set);
        const Ears own = MeasuredPair(path, c.azimuth, c.elevation, c.rate);
        const size_t from = own.left.size() + 320;
        size_t lag = 0;
        EXPECT_LT(MatchErrorDb(out, input, own, from, input.size(), &lag), -40.0);
        // The delay the renderer owns to, so a caller can take it off.
        EXPECT_EQ(lag, SofaBinauralRenderer(bank, 1).Latency());
        if (!std::isnan(c.neighbour)) {
            const Ears next = MeasuredPair(path, c.neighbour, c.elevation, c.rate);
            const double error = MatchErrorDb(out, input, next, from, input.size());
            EXPECT_GT(error, -20.0);
            EXPECT_LT(error, -3.0);
        }
    }
}

// The sets of make_sofa.py give each direction its own delay and level per ear, so the time
// and level differences between the ears tell where a render took its filters from.
TEST(SofaRender, BetweenMeasuredDirectionsLiesBetweenTheNeighbours) {
    struct Case {
        const char* set;
        uint32_t rate;
        double azimuth[2];  // Sonomap's, of the two measured neighbours
        double elevation[2];
        double t;  // how far from the first to the second
    };
    const Case cases[] = {
        {"grid-48000", 48000, {0, 15}, {0, 0}, 1.0 / 3},
        {"grid-44100", 44100, {90, 90}, {0, 30}, 0.5},
        {"cartesian-48000", 48000, {-30, -45}, {30, 30}, 0.25},
        {"grid-8000", 96000, {-120, -135}, {-30, -30}, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " at " + std::to_string(c.rate));
        const std::vector<float> input = WhiteNoise(c.rate / 4, 5);
        auto measure = [&](double azimuth, double elevation) {
            const Ears out =
                RenderSofa(PreparedBank(c.set, c.rate), 1, input, Held(azimuth, elevation));
            return Interaural::Measure(out.left, out.right, 2048, out.left.size(), 200);
        };
        const Interaural a = measure(c.azimuth[0], c.elevation[0]);
        const Interaural b = measure(c.azimuth[1], c.elevation[1]);
        const Interaural mid = measure(c.azimuth[0] + c.t * (c.azimuth[1] - c.azimuth[0]),
                                       c.elevation[0] + c.t * (c.elevation[1] - c.elevation[0]));
        // Well inside the span of the two, in level and in time: neither end.
        const double levelSpan = b.levelDb - a.levelDb;
        ASSERT_GT(std::abs(levelSpan), 1.0);
        const double levelAt = (mid.levelDb - a.levelDb) / levelSpan;
        EXPECT_GT(levelAt, 0.1) << a.levelDb << " " << mid.levelDb << " " << b.levelDb;
        EXPECT_LT(levelAt, 0.9) << a.levelDb << " " << mid.levelDb << " " << b.levelDb;
        const int lagSpan = b.lagFrames - a.lagFrames;
        ASSERT_GE(std::abs(lagSpan), 5);
        const double lagAt = static_cast<double>(mid.lagFrames - a.lagFrames) / lagSpan;
        EXPECT_GT(lagAt, 0.1) << a.lagFrames << " " << mid.lagFrames << " " << b.lagFrames;
        EXPECT_LT(lagAt, 0.9) << a.lagFrames << " " << mid.lagFrames << " " << b.lagFrames;
    }
}

// Responses far shorter than the resampler's filter (128 taps, or one) keep the level difference
// between the ears the file gives them at any rate, and sound: a 48 kHz set used to render an
// 8 kHz sound as silence, and one tap at another rate crashed.
TEST(SofaRender, ShortResponsesKeepTheirLevelDifferenceAtAnyRate) {
    struct Case {
        const char* set;
        uint32_t rate;
        double azimuth;  // SOFA's, to the left
    };
    const Case cases[] = {
        {"taps-128-48000", 8000, 60},  {"taps-128-48000", 8000, 255},
        {"taps-128-48000", 11025, 90}, {"taps-128-48000", 22050, 300},
        {"taps-1-48000", 8000, 60},    {"taps-1-48000", 22050, 285},
        {"taps-1-48000", 96000, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " at " + std::to_string(c.rate) + " Hz, " +
                     std::to_string(c.azimuth));
        // The set's own: the energy of each ear's response at its own rate.
        const Ears own = MeasuredPair(SofaSetPath(c.set), c.azimuth, 0, 48000);
        double energy[2] = {0.0, 0.0};
        for (size_t n = 0; n < own.left.size(); ++n) {
            energy[0] += double{own.left[n]} * own.left[n];
            energy[1] += double{own.right[n]} * own.right[n];
        }
        const double setDb = 10.0 * std::log10(energy[0] / energy[1]);
        ASSERT_GT(std::abs(setDb), 3.0) << "a set without a level difference shows nothing";

        const std::vector<float> input = WhiteNoise(c.rate / 2 + 4096, 13);
        const auto bank = PreparedBank(c.set, c.rate);
        ASSERT_NE(bank, nullptr);
        const Ears out = RenderSofa(bank, 1, input, Held(SonomapAzimuth(c.azimuth), 0));
        const size_t from = 2048;
        EXPECT_NEAR(RmsDb(out.left, from) - RmsDb(out.right, from), setDb, 0.5);
        // Sound, at about the input's level (the set is scaled to unit power).
        EXPECT_GT(std::max(RmsDb(out.left, from), RmsDb(out.right, from)),
                  RmsDb(input, from) - 12.0);
    }
}

TEST(SofaRender, DistanceIsSonomapsLawAsTheGain) {
    const std::vector<float> input = WhiteNoise(24000, 9);
    const auto bank = PreparedBank("default", 48000);
    const double atOneMetre = RmsDb(RenderSofa(bank, 1, input, Held(30, 10)).left, 2048);
    for (const double distanceCm : {50.0, 400.0, 10.0, 1000.0}) {
        SCOPED_TRACE(distanceCm);
        const Ears out = RenderSofa(bank, 1, input, Held(30, 10, distanceCm));
        EXPECT_NEAR(RmsDb(out.left, 2048) - atOneMetre,
                    20.0 * std::log10(DistanceGain(static_cast<uint32_t>(distanceCm))), 0.01);
    }
}

// A stereo sound is two sources: each channel alone is the mono render at its own azimuth,
// the left channel to the left, sample for sample.
TEST(SofaRender, StereoIsTwoSourcesAroundTheAzimuth) {
    struct Case {
        double azimuth, elevation, width;
        int channel;  // the one that is not silent
    };
    const Case cases[] = {{0, 0, 60, 0}, {0, 0, 60, 1}, {170, 20, 40, 1}, {-90, -10, 180, 0}};
    const auto bank = PreparedBank("default", 44100);
    const std::vector<float> mono = WhiteNoise(20000, 11);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.azimuth) + " width " + std::to_string(c.width) + " channel " +
                     std::to_string(c.channel));
        std::vector<float> stereo(mono.size() * 2, 0.0f);
        for (size_t n = 0; n < mono.size(); ++n) {
            stereo[2 * n + static_cast<size_t>(c.channel)] = mono[n];
        }
        const Ears two = RenderSofa(bank, 2, stereo, Held(c.azimuth, c.elevation, 100, c.width));
        const double side = c.channel == 0 ? -c.width / 2 : c.width / 2;
        const Ears one = RenderSofa(bank, 1, mono, Held(c.azimuth + side, c.elevation));
        ASSERT_EQ(two.left.size(), one.left.size());
        EXPECT_EQ(std::memcmp(two.left.data(), one.left.data(), one.left.size() * 4), 0);
        EXPECT_EQ(std::memcmp(two.right.data(), one.right.data(), one.right.size() * 4), 0);
    }
}

}  // namespace
