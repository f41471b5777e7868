// The Ambisonics export, written to disk and read back through libsndfile and sox: the
// direction, energy and harmonics decoded from held places, the distance law, the formats and
// rates, and the refusals that must leave no file.
#include "deliver/AmbisonicsExportCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "document/CTesselDoc.h"
#include "formats/CWaveFile.h"
#include "formats/SndfileSource.h"
#include "platform/DistanceLaw.h"
#include "render/TpdfDither.h"
#include "support/DocumentTestFiles.h"
#include "support/FileSizeLimit.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The real SN3D harmonic of ACN index acn, from the associated Legendre functions (no
// Condon-Shortley phase) rather than the encoder's polynomials. AmbiX angles, degrees.
double Sn3d(int acn, double azimuth, double elevation) {
    const int n = static_cast<int>(std::sqrt(acn));
    const int m = acn - n * n - n;
    const int am = std::abs(m);
    const double x = std::sin(elevation * kDegree);
    double pmm = 1.0;
    for (int i = 1; i <= am; ++i) {
        pmm *= (2.0 * i - 1.0) * std::sqrt(1.0 - x * x);
    }
    double p = pmm;
    if (n > am) {
        double before = pmm;
        p = x * (2.0 * am + 1.0) * pmm;
        for (int l = am + 2; l <= n; ++l) {
            const double next = ((2.0 * l - 1.0) * x * p - (l + am - 1.0) * before) / (l - am);
            before = p;
            p = next;
        }
    }
    double ratio = 1.0;  // (n - |m|)! / (n + |m|)!
    for (int i = n - am + 1; i <= n + am; ++i) {
        ratio /= i;
    }
    const double norm = std::sqrt((m == 0 ? 1.0 : 2.0) * ratio);
    const double a = azimuth * kDegree;
    return norm * p * (m >= 0 ? std::cos(m * a) : std::sin(am * a));
}

struct Case {
    const char* name;
    uint16_t channels;  // of the sound; a stereo sound's right channel is silent
    int order;
    SampleFormat format;
    int typeId;  // 0 WAV, 1 AIFF
    uint32_t rate;
    int azimuth, elevation;
    uint32_t distanceCm;
    int width;
    double levelDb;  // tolerance of the W level against the distance law
};

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = 22050;
constexpr double kAmplitude = 12000.0;  // of the 16-bit noise

TestSound Noise(uint16_t channels) {
    return FirstChannelNoise(channels, kRate, kFrames, kAmplitude, 7);
}

class AmbisonicsExportTest : public ::testing::Test {
  protected:
    std::unique_ptr<CTesselDoc> Document(const TestSound& sound) {
        return MemoryDocument(host, sound);
    }
    TestDocumentHost host;
    TempDir dir;
};

}  // namespace

TEST_F(AmbisonicsExportTest, HeldPlacesDecodeToTheirDirectionEnergyAndHarmonics) {
    const Case cases[] = {
        {"right-s16", 1, 1, SampleFormat::S16, 0, 0, 90, 0, 100, 0, 0.01},
        {"left-up-s24", 1, 1, SampleFormat::S24, 0, 0, -60, 40, 100, 0, 0.01},
        {"behind-below-f32-aiff", 1, 1, SampleFormat::F32, 1, 0, 150, -25, 100, 0, 0.01},
        {"near-48k", 1, 1, SampleFormat::S16, 0, 48000, 30, 10, 50, 0, 0.3},
        {"far-aiff-s24", 1, 1, SampleFormat::S24, 1, 0, -120, 0, 400, 0, 0.01},
        {"closest-scaled", 1, 1, SampleFormat::S16, 0, 0, 10, 0, 10, 0, 0.01},
        {"stereo-left-of-the-width", 2, 1, SampleFormat::F32, 0, 0, 20, 15, 100, 80, 0.01},
        {"order2", 1, 2, SampleFormat::F32, 0, 0, 70, 35, 100, 0, 0.01},
        {"order2-s24-48k", 1, 2, SampleFormat::S24, 0, 48000, -140, -50, 100, 0, 0.3},
        {"order3", 1, 3, SampleFormat::F32, 0, 0, -35, 20, 100, 0, 0.01},
        {"order3-s16-aiff", 1, 3, SampleFormat::S16, 1, 0, 110, 60, 100, 0, 0.01},
        {"order3-stereo", 2, 3, SampleFormat::F32, 1, 0, -80, -10, 100, 40, 0.01},
    };
    const bool bSox = SoxTools::Available();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TestSound sound = Noise(c.channels);
        const std::unique_ptr<CTesselDoc> doc = Document(sound);
        for (size_t i = 0; i < 2; ++i) {
            PanPoint* point = PointAt(*doc, i);
            SetAzimuth(*point, c.azimuth);
            point->elevation = c.elevation;
            point->distanceCm = c.distanceCm;
            point->width = c.width;
        }
        const std::string path = dir.File(std::string(c.name) + (c.typeId == 1 ? ".aif" : ".wav"));
        AmbisonicsExport::Options options;
        options.order = c.order;
        options.format = c.format;
        options.rate = c.rate;
        ASSERT_TRUE(AmbisonicsExportCommand(*doc).RenderTo(path, c.typeId, options))
            << ::testing::PrintToString(host.prompts.Texts());

        SndfileSource file;
        ASSERT_TRUE(file.Open(path)) << file.GetError();
        const int channels = (c.order + 1) * (c.order + 1);
        const uint32_t rate = c.rate != 0 ? c.rate : kRate;
        ASSERT_EQ(file.GetChannels(), channels);
        EXPECT_EQ(file.GetSampleRate(), static_cast<int>(rate));
        const int64_t frames = int64_t{kFrames} * rate / kRate;
        EXPECT_EQ(file.GetFrames(), frames);
        std::vector<double> samples(static_cast<size_t>(frames) * channels);
        ASSERT_EQ(file.ReadFrames(samples.data(), frames), frames);
        if (bSox) {
            const SoxTools::Outcome stat =
                SoxTools::Command("sox " + SoxTools::Quote(path) + " -n stat 2>&1");
            EXPECT_EQ(stat.status, 0) << stat.output;
        }

        // Correlations with W over the whole (held) sound.
        std::vector<double> withW(channels, 0.0);
        double energy = 0.0;
        for (int64_t f = 0; f < frames; ++f) {
            const double* frame = &samples[static_cast<size_t>(f) * channels];
            for (int k = 0; k < channels; ++k) {
                withW[k] += frame[0] * frame[k];
            }
            energy += frame[1] * frame[1] + frame[2] * frame[2] + frame[3] * frame[3];
        }
        // A stereo sound's left channel alone sounds, at the azimuth less half the width.
        const double azimuth = -(c.azimuth - (c.channels == 2 ? c.width / 2.0 : 0.0));
        const double found = std::atan2(withW[1], withW[3]) / kDegree;
        const double foundUp = std::atan2(withW[2], std::hypot(withW[1], withW[3])) / kDegree;
        const double apart =
            std::acos(std::clamp(std::sin(foundUp * kDegree) * std::sin(c.elevation * kDegree) +
                                     std::cos(foundUp * kDegree) * std::cos(c.elevation * kDegree) *
                                         std::cos((found - azimuth) * kDegree),
                                 -1.0, 1.0)) /
            kDegree;
        EXPECT_LT(apart, 0.5) << found << " " << foundUp;
        EXPECT_NEAR(10.0 * std::log10(energy / withW[0]), 0.0, 0.05);
        if (c.azimuth > 0 && c.azimuth < 180 && c.channels == 1) {
            EXPECT_LT(withW[1], 0.0) << "a place to the right is negative Y";
        }
        for (int k = 4; k < channels; ++k) {
            const double expected = Sn3d(k, azimuth, c.elevation);
            EXPECT_NEAR(withW[k] / withW[0], expected, 0.01 * std::max(std::fabs(expected), 0.05))
                << "channel " << k;
        }
        // W carries the distance law, scaled down as a whole only where it would pass full
        // scale (the noise's peak at the largest gain).
        const double gain = DistanceGain(c.distanceCm);
        const double peak = kAmplitude / 32768.0 * gain;
        const double limit = TpdfDither::PeakLimit(c.format);
        const double scale = peak > limit ? limit / peak : 1.0;
        const double levelDb = 10.0 * std::log10(withW[0] / frames / FirstChannelPower(sound));
        EXPECT_NEAR(levelDb, 20.0 * std::log10(gain * scale), c.levelDb);
    }
}

TEST_F(AmbisonicsExportTest, APlaceThatMovesChangesTheGainsWithoutSteps) {
    // A sound of constant samples swept from right to left: each channel moves by far less
    // than a step of its own size from one frame to the next.
    TestSound sound = Noise(1);
    for (size_t i = 0; i < sound.samples.size(); i += 2) {
        sound.samples[i] = 0x00;
        sound.samples[i + 1] = 0x40;
    }
    const std::unique_ptr<CTesselDoc> doc = Document(sound);
    SetAzimuth(*PointAt(*doc, 0), 90);
    SetAzimuth(*PointAt(*doc, 1), -90);
    // The same file in the plain form, and as RF64 when the plain form's limit is lowered.
    for (const uint64_t limit : {uint64_t{0}, uint64_t{4096}}) {
        SCOPED_TRACE(limit);
        CWaveFile::SetPlainFormLimit(limit);
        const std::string path = dir.File("sweep.wav");
        AmbisonicsExport::Options options;
        options.format = SampleFormat::F32;
        const bool bWritten = AmbisonicsExportCommand(*doc).RenderTo(path, 0, options);
        CWaveFile::SetPlainFormLimit(0);
        ASSERT_TRUE(bWritten);
        std::ifstream head(path, std::ios::binary);
        char id[5] = {};
        head.read(id, 4);
        EXPECT_STREQ(id, limit == 0 ? "RIFF" : "RF64");
        SndfileSource file;
        ASSERT_TRUE(file.Open(path));
        std::vector<double> samples(size_t{kFrames} * 4);
        ASSERT_EQ(file.ReadFrames(samples.data(), kFrames), kFrames);
        // 180 degrees over kFrames frames: Y = -0.5 sin(az) moves at most 0.5 * pi / kFrames a
        // frame.
        const double most = 0.5 * std::numbers::pi / kFrames;
        double largest = 0.0;
        for (uint32_t f = 1; f < kFrames; ++f) {
            largest = std::max(largest, std::fabs(samples[f * 4 + 1] - samples[(f - 1) * 4 + 1]));
        }
        EXPECT_LT(largest, 1.5 * most);
        EXPECT_NEAR(samples[1], -0.5, 1e-3);
        EXPECT_NEAR(samples[size_t{kFrames - 1} * 4 + 1], 0.5, 1e-3);
    }
}

TEST_F(AmbisonicsExportTest, RefusalsAndCancelLeaveNoFileAndKeepAnOlderOne) {
    const struct {
        const char* name;
        bool bNoPoints;
        int cancelAt;
        rlim_t sizeLimit;  // 0: none; else the disk is full past it
        const char* message;
    } cases[] = {
        {"no-points", true, 0, 0, "No Pan Events to track!"},
        {"cancel", false, 1, 0, nullptr},
        {"disk-full", false, 0, 20000, "Error writing wave data!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSound sound = Noise(1);
        sound.samples.resize(sound.samples.size() * 2);  // two blocks, so Cancel is read
        sound.chunkFrames = kFrames * 2;
        if (c.bNoPoints) {
            sound.points.clear();
        }
        host.prompts.Clear();
        host.prompts.ScriptCancelAt(c.cancelAt);
        const std::unique_ptr<CTesselDoc> doc = Document(sound);
        const std::string path = dir.File(std::string(c.name) + ".wav");
        WriteBytes(path, Bytes{1, 2, 3});
        {
            std::optional<FileSizeLimit> limit;
            if (c.sizeLimit != 0) {
                limit.emplace(c.sizeLimit);
            }
            EXPECT_FALSE(AmbisonicsExportCommand(*doc).RenderTo(path, 0, {}));
        }
        EXPECT_EQ(ReadBytes(path), (Bytes{1, 2, 3}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  static_cast<long>(&c - cases + 1));
        if (c.message != nullptr) {
            EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>{c.message});
        }
    }
}
