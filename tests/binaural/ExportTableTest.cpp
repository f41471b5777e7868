// Every export of a 24-bit or float copy of a sound gives what the 16-bit sound gives, for a
// mono sound and for a stereo one with a width, along a path all around: samples reach every
// renderer through one reader, whatever their depth. Only the stereo filter keeps the source's
// own width inside (it stores its output at that width), so there a deeper copy may differ by
// less than one 16-bit step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "binaural/TrevantBinauralRenderer.h"
#include "deliver/AdmExportCommand.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "support/DocumentTestFiles.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kFrames = 11025;

struct Depth {
    const char* name;
    uint16_t bits;
    bool bFloat;
};

struct Renderer {
    const char* name;
    // Renders doc into path as 32-bit floats, so no dither stands between the two.
    std::function<bool(const CTesselDoc&, const std::string&)> render;
    double tolerance;  // of full scale
};

const Renderer kRenderers[] = {
    {"stereo",
     [](const CTesselDoc& doc, const std::string& path) {
         return StereoExportCommand(doc).RenderTo(path, kSoundTypeWave, SampleFormat::F32);
     },
     1.0 / 32768},
    {"binaural",
     [](const CTesselDoc& doc, const std::string& path) {
         return BinauralExportCommand(doc).RenderTo(path, kSoundTypeWave, SampleFormat::F32);
     },
     0.0},
    {"ambix",
     [](const CTesselDoc& doc, const std::string& path) {
         AmbisonicsExport::Options options;
         options.format = SampleFormat::F32;
         return AmbisonicsExportCommand(doc).RenderTo(path, kSoundTypeWave, options);
     },
     0.0},
    {"adm",
     [](const CTesselDoc& doc, const std::string& path) {
         return AdmExportCommand(doc).RenderTo(path, SampleFormat::F32);
     },
     0.0},
};

// Noise at half scale, 16-bit, and the same samples at a deeper depth: exactly the same values.
Bytes Samples(int channels, const Depth& depth) {
    std::mt19937 random(static_cast<uint32_t>(channels));
    Bytes out;
    for (uint32_t i = 0; i < kFrames * static_cast<uint32_t>(channels); ++i) {
        // The left channel alone sounds in the second half: a width must show.
        const bool bSilent = channels == 2 && i % 2 == 1 && i > kFrames;
        const auto value = static_cast<int16_t>(
            bSilent ? 0 : std::uniform_int_distribution<int>(-16384, 16383)(random));
        if (depth.bFloat) {
            const float f = value / 32768.0f;
            uint8_t bytes[4];
            std::memcpy(bytes, &f, 4);
            out.insert(out.end(), bytes, bytes + 4);
        } else {
            const auto v = static_cast<uint32_t>(static_cast<int32_t>(value)) << (depth.bits - 16);
            for (int b = 0; b < depth.bits / 8; ++b) {
                out.push_back(static_cast<uint8_t>(v >> (8 * b)));
            }
        }
    }
    return out;
}

std::vector<float> Floats(const std::string& path) {
    const SoundContents read = ReadSound(path);
    EXPECT_TRUE(read.bOpened) << path;
    EXPECT_EQ(read.format.bitsPerSample, 32) << path;
    std::vector<float> values(read.samples.size() / 4);
    std::memcpy(values.data(), read.samples.data(), values.size() * 4);
    return values;
}

}  // namespace

TEST(ExportTable, DeepCopiesExportAsTheSixteenBitSoundDoes) {
    TempDir dir;
    TestDocumentHost host;
    host.rendererFactory = [] { return std::make_unique<TrevantBinauralRenderer>("", 0); };
    const Depth kSixteen{"s16", 16, false};
    for (const int channels : {1, 2}) {
        const int32_t width = channels == 2 ? 120 : 0;
        const std::vector<PanPoint> path = {PlacePoint(0, -120, 20, 150, width),
                                            PlacePoint(kFrames / 2, 150, -10, 80, width),
                                            PlacePoint(kFrames, 60, 40, 300, width)};
        const auto documentOf = [&](const Depth& depth) {
            TestSound sound;
            sound.format = MakeFormat(static_cast<uint16_t>(channels), kRate, depth.bits);
            if (depth.bFloat) {
                sound.format.formatTag = kFormatTagFloat;
            }
            sound.samples = Samples(channels, depth);
            auto doc = MemoryDocument(host, sound);
            doc->LoadTrajectory(path);
            return doc;
        };
        const auto reference = documentOf(kSixteen);
        for (const Renderer& renderer : kRenderers) {
            SCOPED_TRACE(::testing::Message() << renderer.name << ", " << channels << " ch");
            const std::string name = std::string(renderer.name) + std::to_string(channels);
            ASSERT_TRUE(renderer.render(*reference, dir.File(name + "-s16.wav")));
            const std::vector<float> expected = Floats(dir.File(name + "-s16.wav"));
            ASSERT_FALSE(expected.empty());
            for (const Depth& depth : {Depth{"s24", 24, false}, Depth{"f32", 32, true}}) {
                SCOPED_TRACE(depth.name);
                const std::string out = dir.File(name + "-" + depth.name + ".wav");
                ASSERT_TRUE(renderer.render(*documentOf(depth), out));
                const std::vector<float> got = Floats(out);
                ASSERT_EQ(got.size(), expected.size());
                double worst = 0.0;
                size_t at = 0;
                for (size_t i = 0; i < got.size(); ++i) {
                    if (std::fabs(double(got[i]) - expected[i]) > worst) {
                        worst = std::fabs(double(got[i]) - expected[i]);
                        at = i;
                    }
                }
                EXPECT_LE(worst, renderer.tolerance) << "sample " << at;
            }
        }
    }
}
