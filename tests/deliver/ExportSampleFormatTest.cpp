// The stereo export asked for a sample format: the same filtered sound, held exactly where the
// format is as fine as the source or finer, and within the dither where it is coarser.
#include <gtest/gtest.h>

#include <cmath>

#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "formats/SndfileSource.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

std::vector<double> ReadAll(const std::string& path, int& bits) {
    SndfileSource file;
    EXPECT_TRUE(file.Open(path)) << file.GetError();
    bits = file.GetSourceBits();
    std::vector<double> samples(static_cast<size_t>(file.GetFrames()) * 2);
    EXPECT_EQ(file.ReadFrames(samples.data(), file.GetFrames()), file.GetFrames());
    return samples;
}

}  // namespace

TEST(ExportSampleFormat, TheStereoExportWritesTheFormatAskedAndDithersOnlyWhenCoarser) {
    const struct {
        const char* name;
        uint16_t sourceBits;
        std::optional<SampleFormat> format;
        int typeId;
        int bits;          // as libsndfile reads them; 0 for floats
        double mostSteps;  // largest difference from the source-width render, in output steps
    } cases[] = {
        {"16-as-is", 16, std::nullopt, 0, 16, 0.0},
        {"16-s16", 16, SampleFormat::S16, 0, 16, 0.0},
        {"16-s24", 16, SampleFormat::S24, 1, 24, 0.0},
        {"16-f32", 16, SampleFormat::F32, 0, 0, 0.0},
        {"8-s16", 8, SampleFormat::S16, 0, 16, 0.0},
        {"24-s16", 24, SampleFormat::S16, 0, 16, 1.5},
        {"24-f32-aiff", 24, SampleFormat::F32, 1, 0, 0.0},
        {"32-s24", 32, SampleFormat::S24, 0, 24, 1.5},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDocumentHost host;
        TestSound sound;
        sound.format = MakeFormat(1, 22050, c.sourceBits);
        sound.samples = Pattern(size_t{3000} * (c.sourceBits / 8u), 3);
        sound.points = {{0, -60}, {2999, 70}};
        sound.chunkFrames = 3000;
        const std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
        const std::string plain = dir.File(std::string(c.name) + "-plain.wav");
        const std::string asked = dir.File(std::string(c.name) + (c.typeId == 1 ? ".aif" : ".wav"));
        ASSERT_TRUE(StereoExportCommand(*doc).RenderTo(plain, 0));
        ASSERT_TRUE(StereoExportCommand(*doc).RenderTo(asked, c.typeId, c.format));
        int plainBits = 0, bits = 0;
        const std::vector<double> reference = ReadAll(plain, plainBits);
        const std::vector<double> written = ReadAll(asked, bits);
        EXPECT_EQ(plainBits, c.sourceBits);
        EXPECT_EQ(bits, c.bits);
        ASSERT_EQ(written.size(), reference.size());
        const double step = c.bits == 0 ? 1.0 : std::ldexp(1.0, 1 - c.bits);
        double largest = 0.0;
        for (size_t i = 0; i < written.size(); ++i) {
            largest = std::max(largest, std::fabs(written[i] - reference[i]));
        }
        EXPECT_LE(largest, c.mostSteps * step + 1e-12);
    }
}
