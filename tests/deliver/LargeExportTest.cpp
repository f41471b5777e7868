// The stereo and binaural exports past the plain form's size, with the limit lowered so a
// few kilobytes stand for 4 GiB: a WAV file becomes RF64 that sox and libsndfile read as the
// plain export of the same sound, and an AIFF file is refused before any file exists.
#include <gtest/gtest.h>

#include <algorithm>

#include "deliver/BinauralExportCommand.h"
#include "deliver/MixerBinauralRenderer.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "formats/CWaveFile.h"
#include "formats/SndfileSource.h"
#include "support/DocumentTestFiles.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

constexpr uint32_t kFrames = 20000;  // 80000 bytes of 16-bit stereo
constexpr uint64_t kLowLimit = 65536;

// Mixes each wave frame into a left and right that follow the direction, one output frame
// per wave frame, so the file depends on every sample and every step of the trajectory.
class LevelRenderer : public MixerBinauralRenderer {
  public:
    uint32_t OutputRate() const override { return m_wave.sampleRate; }
    std::string HrtfName() const override { return "levels"; }
    std::string LastError() const override { return "the level mixer failed"; }

  protected:
    std::string OpenMix(const Stream& wave) override {
        m_wave = wave;
        m_read = 0;
        m_direction = 0;
        return {};
    }
    bool SetDirection(int32_t degrees) override {
        m_direction = degrees;
        return true;
    }
    bool SetPlace(const PanPoint& place, float) override {
        m_direction = place.azimuth;
        return true;
    }
    bool MixFrames(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t& rendered,
                   uint32_t& position) override {
        rendered = 0;
        while (rendered < maxFrames && Read() < untilFrame) {
            float sample = 0.0f;
            if (m_read < m_wave.frameCount) {
                m_wave.read(m_read, 1, &sample);
            }
            const float right = static_cast<float>(m_direction + 90) / 180.0f;
            out[2 * rendered] = sample * (1.0f - right) * 0.5f;
            out[2 * rendered + 1] = sample * right * 0.5f;
            ++rendered;
            ++m_read;
        }
        position = Read();
        return true;
    }

  private:
    uint32_t Read() const { return std::min(m_read, m_wave.frameCount); }

    Stream m_wave;
    uint32_t m_read = 0;
    int32_t m_direction = 0;
};

std::string FormId(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return bytes.size() < 4 ? "" : std::string(bytes.begin(), bytes.begin() + 4);
}

std::vector<double> Samples(const std::string& path) {
    SndfileSource file;
    EXPECT_TRUE(file.Open(path)) << file.GetError();
    std::vector<double> samples(static_cast<size_t>(std::max<int64_t>(file.GetFrames(), 0)) * 2);
    EXPECT_EQ(file.ReadFrames(samples.data(), file.GetFrames()), file.GetFrames());
    return samples;
}

// Lowers the limit for one export and puts it back.
class PlainFormLimit {
  public:
    explicit PlainFormLimit(uint64_t bytes) { CWaveFile::SetPlainFormLimit(bytes); }
    ~PlainFormLimit() { CWaveFile::SetPlainFormLimit(0); }
};

}  // namespace

TEST(LargeExport, PastThePlainLimitAWavIsRf64AndAnAiffIsRefusedLeavingNoFile) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox or libsndfile's programs are missing";
    }
    const struct {
        const char* name;
        bool bBinaural;
        std::optional<SampleFormat> format;
        int typeId;
        const char* formId;   // null: refused with message
        const char* message;  // for a refusal
    } cases[] = {
        {"stereo-as-is", false, std::nullopt, kSoundTypeWave, "RF64", nullptr},
        {"stereo-s24", false, SampleFormat::S24, kSoundTypeWave, "RF64", nullptr},
        {"stereo-f32", false, SampleFormat::F32, kSoundTypeWave, "RF64", nullptr},
        {"binaural-s16", true, SampleFormat::S16, kSoundTypeWave, "RF64", nullptr},
        {"binaural-f32", true, SampleFormat::F32, kSoundTypeWave, "RF64", nullptr},
        {"stereo-aiff", false, std::nullopt, kSoundTypeAiff, nullptr,
         "The stereo file would be too large for an AIFF file; WAV takes it."},
        {"binaural-aiff", true, SampleFormat::S16, kSoundTypeAiff, nullptr,
         "The binaural file would be too large for an AIFF file; WAV takes it."},
    };
    TempDir dir;
    TestDocumentHost host;
    host.rendererFactory = [] { return std::make_unique<LevelRenderer>(); };
    TestSound sound;
    sound.samples = Pattern(size_t{kFrames} * 2, 7);
    sound.points = {{0, -90}, {5000, 60}, {12345, -20}, {19999, 90}};
    sound.chunkFrames = kFrames;
    const std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, dir.File("in.wav"), sound);
    const auto render = [&](bool bBinaural, const std::string& path, int typeId,
                            std::optional<SampleFormat> format) {
        return bBinaural ? BinauralExportCommand(*doc).RenderTo(path, typeId,
                                                                format.value_or(SampleFormat::S16))
                         : StereoExportCommand(*doc).RenderTo(path, typeId, format);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.prompts.Clear();
        const std::string plain = dir.File(std::string(c.name) + "-plain.wav");
        const std::string large =
            dir.File(std::string(c.name) + (c.typeId == kSoundTypeAiff ? ".aif" : ".wav"));
        ASSERT_TRUE(render(c.bBinaural, plain, kSoundTypeWave, c.format));
        ASSERT_EQ(FormId(plain), "RIFF");
        if (c.formId == nullptr) {
            WriteBytes(large, Bytes{1, 2, 3});
        }
        const size_t files = FilesIn(dir.Path());
        host.prompts.Clear();
        bool bWritten = false;
        {
            const PlainFormLimit limit(kLowLimit);
            bWritten = render(c.bBinaural, large, c.typeId, c.format);
        }
        if (c.formId == nullptr) {
            EXPECT_FALSE(bWritten);
            EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(ReadBytes(large), (Bytes{1, 2, 3}));
            EXPECT_EQ(FilesIn(dir.Path()), files);
            continue;
        }
        ASSERT_TRUE(bWritten) << ::testing::PrintToString(host.prompts.Texts());
        EXPECT_EQ(FormId(large), c.formId);
        // sox reads the frames the plain file holds; libsndfile the same samples.
        EXPECT_EQ(SoxTools::Info("-s", large), std::to_string(kFrames));
        EXPECT_EQ(SoxTools::Describe(large), SoxTools::Describe(plain));
        const std::vector<double> expected = Samples(plain);
        ASSERT_EQ(expected.size(), size_t{kFrames} * 2);
        EXPECT_EQ(Samples(large), expected);
    }
}
