// The binaural export's loop and command over a scripted mixer: the direction at every wave
// frame against the points, blocks, progress, Cancel, the scale-down pass, the rates and every
// failure. The real mixer's sound is tested in tests/binaural.
#include "deliver/BinauralExport.h"
#include "document/DocumentOpen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "deliver/BinauralExportCommand.h"
#include "deliver/ExportTarget.h"
#include "deliver/MixerBinauralRenderer.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "document/CTesselDoc.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFile.h"
#include "render/TpdfDither.h"
#include "sofa/SofaHrtfSet.h"
#include "support/DocumentTestFiles.h"
#include "support/ScriptedPrompts.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

// A mixer that reads its wave one frame per output frame (or per `ratio` output frames),
// notes the direction each wave frame was read with, and writes a level of its own.
struct ScriptedMix {
    uint32_t ratio = 1;     // output frames per wave frame
    float level = 0.25f;    // the value of every output sample
    std::string openError;  // non-empty: Open fails with it
    int failRenderAt = -1;  // the nth Render call fails
    int opens = 0;
    std::vector<int32_t> directionCalls;
    std::vector<int32_t> placeCalls;  // the azimuth of each place set
    std::vector<int32_t> panAtFrame;  // the direction in force when each wave frame was read
    struct {
        uint16_t channels = 0;
        uint32_t sampleRate = 0;
        uint32_t frameCount = 0;
    } wave;                          // as the mixer was handed it
    std::vector<float> waveSamples;  // every sample the wave reads, as it reads them
};

class ScriptedRenderer : public MixerBinauralRenderer {
  public:
    explicit ScriptedRenderer(ScriptedMix& mix) : m_mix(mix) {}

    uint32_t OutputRate() const override { return m_mix.wave.sampleRate * m_mix.ratio; }
    std::string HrtfName() const override { return "scripted"; }
    std::string LastError() const override { return "the scripted mixer failed"; }

  protected:
    std::string OpenMix(const Stream& wave) override {
        ++m_mix.opens;
        m_mix.wave = {wave.channels, wave.sampleRate, wave.frameCount};
        m_mix.waveSamples.resize(size_t{wave.frameCount} * wave.channels);
        wave.read(0, wave.frameCount, m_mix.waveSamples.data());
        m_mix.panAtFrame.assign(wave.frameCount, 9999);
        m_out = 0;
        m_pan = 0;
        return m_mix.openError;
    }
    bool SetDirection(int32_t degrees) override {
        m_mix.directionCalls.push_back(degrees);
        m_pan = degrees;
        return true;
    }
    bool SetPlace(const PanPoint& place, float) override {
        m_mix.placeCalls.push_back(place.azimuth);
        m_pan = place.azimuth;
        return true;
    }
    bool MixFrames(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t& rendered,
                   uint32_t& position) override {
        if (m_mix.failRenderAt >= 0 && m_calls++ == m_mix.failRenderAt) {
            return false;
        }
        rendered = 0;
        while (rendered < maxFrames && Read() < untilFrame) {
            if (Read() < m_mix.wave.frameCount && m_out % m_mix.ratio == 0) {
                m_mix.panAtFrame[Read()] = m_pan;
            }
            out[2 * rendered] = m_mix.level;
            out[2 * rendered + 1] = -m_mix.level;
            ++rendered;
            ++m_out;
        }
        position = Read();
        return true;
    }

  private:
    uint32_t Read() const {
        return static_cast<uint32_t>(
            std::min<uint64_t>(m_out / m_mix.ratio, m_mix.wave.frameCount));
    }

    ScriptedMix& m_mix;
    uint64_t m_out = 0;
    int32_t m_pan = 0;
    int m_calls = 0;
};

TestSound MonoSound(uint32_t rate, uint32_t frames, std::vector<PanChunkPoint> points) {
    TestSound sound;
    sound.format = MakeFormat(1, rate, 16);
    sound.samples = Pattern(size_t{frames} * 2, rate);
    sound.points = std::move(points);
    sound.chunkFrames = frames;
    return sound;
}

class BinauralExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.rendererFactory = [this] { return std::make_unique<ScriptedRenderer>(mix); };
    }
    std::unique_ptr<CTesselDoc> Open(const TestSound& sound) {
        auto doc = OpenTestDocument(host, dir.File("in.wav"), sound);
        host.prompts.Clear();
        return doc;
    }
    bool Export(CTesselDoc& doc, const std::string& out, int filterIndex = 1) {
        host.saveNames.push_back(TestDocumentHost::Name(out, filterIndex));
        return BinauralExportCommand(doc).Run();
    }

    TempDir dir;
    TestDocumentHost host;
    ScriptedMix mix;
};

}  // namespace

TEST_F(BinauralExportTest, EveryWaveFrameIsReadWithTheDirectionPlaybackGivesIt) {
    const std::vector<std::vector<PanChunkPoint>> trajectories = {
        {{1000, 90}},
        {{0, -90}, {8192, 90}, {12001, -30}, {19999, 17}},
        {{300, 45}, {301, -45}, {5000, -44}},
    };
    for (const auto& points : trajectories) {
        SCOPED_TRACE(points.size());
        mix = ScriptedMix{};
        auto doc = Open(MonoSound(22050, 20000, points));
        ASSERT_TRUE(Export(*doc, dir.File("out.wav")));
        EXPECT_EQ(mix.panAtFrame, ExpectedPans(points, 20000));
        // The mixer hears of a direction only when it changes.
        for (size_t i = 1; i < mix.directionCalls.size(); ++i) {
            EXPECT_NE(mix.directionCalls[i], mix.directionCalls[i - 1]) << i;
        }
    }
}

TEST_F(BinauralExportTest, WritesFullBlocksThenTheRestWithProgressAndTheSoundsFrameCount) {
    auto doc = Open(MonoSound(22050, 20000, {{0, -45}}));
    CFile file(dir.File("blocks.wav"), CFile::Mode::ReadWriteCreate);
    RecordingWaveFile writer(file);
    ScriptedRenderer renderer(mix);
    BinauralExport exporter(RenderInput::OfDocument(*doc), doc->GetPanPoints(), renderer);
    ASSERT_TRUE(exporter.StartTrajectory());
    ASSERT_EQ(exporter.OpenMixer(), "");
    ASSERT_TRUE(writer.CreateHeader(*exporter.OutputFormat(), exporter.OutputDataBytes()));
    ScriptedPrompts prompts;
    EXPECT_EQ(exporter.Render(writer, *prompts.OpenProgressDialog()),
              BinauralExport::Outcome::Finished);
    EXPECT_EQ(writer.blocks, (std::vector<uint32_t>{32768, 32768, 14464}));
    EXPECT_EQ(mix.opens, 1);  // the mixer opened for the checks is the one that renders

    EXPECT_TRUE(Export(*doc, dir.File("out.wav")));
    EXPECT_EQ(host.prompts.ProgressCalls(),
              (Calls{"open", "range 0 100", "pos 0", "status (0 of 20000)", "pos 40",
                     "status (8192 of 20000)", "cancel?", "pos 81", "status (16384 of 20000)",
                     "cancel?", "close"}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    const SoundContents result = ReadSound(dir.File("out.wav"));
    ASSERT_TRUE(result.bOpened);
    EXPECT_EQ(result.format.channels, 2);
    EXPECT_EQ(result.format.bitsPerSample, 16);
    EXPECT_EQ(result.format.sampleRate, 22050u);
    EXPECT_EQ(result.dataBytes, 80000u);
    EXPECT_FALSE(result.bHasPan);
    EXPECT_EQ(host.exportFolder, dir.Path().string() + "/");
}

TEST_F(BinauralExportTest, AMixerAtAnotherRateGivesTheSoundsLengthAtThatRate) {
    mix.ratio = 2;
    auto doc = Open(MonoSound(22050, 3001, {{0, 30}, {3000, -30}}));
    ASSERT_TRUE(Export(*doc, dir.File("out.aif"), 2));
    const SoundContents result = ReadSound(dir.File("out.aif"));
    ASSERT_TRUE(result.bOpened);
    EXPECT_EQ(result.typeName, "AIFF");
    EXPECT_EQ(result.format.sampleRate, 44100u);
    EXPECT_EQ(result.dataBytes, 6002u * 4);
    EXPECT_EQ(mix.panAtFrame, ExpectedPans({{0, 30}, {3000, -30}}, 3001));
}

TEST_F(BinauralExportTest, AMixPastFullScaleIsScaledDownAsAWholeAndTheMessageSaysByHowMuch) {
    mix.level = 1.5f;
    auto doc = Open(MonoSound(22050, 20000, {{0, 0}}));
    const size_t files = FilesIn(dir.Path());
    ASSERT_TRUE(Export(*doc, dir.File("loud.wav")));
    EXPECT_EQ(mix.opens, 1);                    // the scaled pass reads the kept mix back
    EXPECT_EQ(FilesIn(dir.Path()), files + 1);  // and the kept mix left nothing beside it
    const double db = 20.0 * std::log10(1.5 / TpdfDither::kPeakLimit);
    EXPECT_EQ(host.prompts.Texts(),
              (std::vector<std::string>{BinauralExportCommand::ScaledDownText(db)}));
    EXPECT_NE(host.prompts.Texts()[0].find("scaled down by 3.6 dB"), std::string::npos);
    EXPECT_EQ(host.prompts.Boxes()[0].icon, UserPrompts::Icon::Information);

    // Every sample is the level scaled to just below full scale, give or take the dither.
    const SoundContents result = ReadSound(dir.File("loud.wav"));
    ASSERT_EQ(result.dataBytes, 80000u);
    int16_t low = 32767;
    int16_t high = -32768;
    for (size_t i = 0; i < result.samples.size(); i += 4) {
        int16_t left = 0;
        std::memcpy(&left, &result.samples[i], 2);
        low = std::min(low, left);
        high = std::max(high, left);
    }
    EXPECT_GE(low, 32765);
    EXPECT_LE(high, 32767);

    // Read back or mixed again, the scaled file is the same.
    mix = ScriptedMix{};
    mix.level = 1.5f;
    ScriptedRenderer renderer(mix);
    BinauralExport again(RenderInput::OfDocument(*doc), doc->GetPanPoints(), renderer);
    ASSERT_EQ(again.OpenMixer(), "");
    const auto progress = host.prompts.OpenProgressDialog();
    {
        ExportTarget target(dir.File("again.wav"), kSoundTypeWave);
        BinauralExport::Outcome outcome = BinauralExport::Outcome::NeedsScaling;
        for (int pass = 0; pass < 2 && outcome == BinauralExport::Outcome::NeedsScaling; ++pass) {
            CSoundFile* writer = target.Begin(*again.OutputFormat(true), again.OutputDataBytes());
            ASSERT_NE(writer, nullptr);
            outcome = again.Render(*writer, *progress);
        }
        EXPECT_EQ(outcome, BinauralExport::Outcome::Finished);
        ASSERT_TRUE(target.Finish(false, host.prompts));
    }
    EXPECT_EQ(mix.opens, 2);
    EXPECT_EQ(ReadBytes(dir.File("again.wav")), ReadBytes(dir.File("loud.wav")));

    // Below full scale nothing is scaled and nothing is said.
    mix = ScriptedMix{};
    mix.level = 0.99f;
    host.prompts.Clear();
    ASSERT_TRUE(Export(*doc, dir.File("fine.wav")));
    EXPECT_EQ(mix.opens, 1);
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(BinauralExportCommand::ScaledDownText(0.01),
              "The mix would have gone past full scale, so it was scaled down by 0.1 dB.");
}

TEST_F(BinauralExportTest, CancelAtABlockLeavesNoFileAndKeepsAnOlderOne) {
    auto doc = Open(MonoSound(22050, 20000, {{0, 10}}));
    const std::string out = dir.File("out.wav");
    WriteBytes(out, {1, 2, 3});
    const size_t files = FilesIn(dir.Path());
    host.prompts.ScriptCancelAt(1);
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_EQ(ReadBytes(out), (Bytes{1, 2, 3}));
    EXPECT_EQ(FilesIn(dir.Path()), files);
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(host.prompts.ProgressCalls().back(), "close");
}

TEST_F(BinauralExportTest, MixerFailuresAreShownAndLeaveNoFile) {
    auto doc = Open(MonoSound(22050, 20000, {{0, 10}}));
    const std::string out = dir.File("out.wav");
    WriteBytes(out, {9});
    const size_t files = FilesIn(dir.Path());

    mix.openError = "AmbrelWaveMix Error 14...";
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"AmbrelWaveMix Error 14..."}));
    EXPECT_TRUE(host.prompts.ProgressCalls().empty());  // refused before the output began

    host.prompts.Clear();
    mix = ScriptedMix{};
    mix.failRenderAt = 1;  // one call a block: the direction stays
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"the scripted mixer failed"}));
    EXPECT_EQ(ReadBytes(out), (Bytes{9}));
    EXPECT_EQ(FilesIn(dir.Path()), files);

    host.prompts.Clear();
    host.rendererFactory = nullptr;
    EXPECT_FALSE(Export(*doc, out));
    ASSERT_EQ(host.prompts.Texts().size(), 1u);
    EXPECT_NE(host.prompts.Texts()[0].find("no mixer library"), std::string::npos);

    // Cancelling the save dialog does nothing at all.
    host.prompts.Clear();
    host.saveNames.push_back(std::nullopt);
    EXPECT_FALSE(BinauralExportCommand(*doc).Run());
    EXPECT_TRUE(host.prompts.Boxes().empty());
}

TEST_F(BinauralExportTest, ATwoChannelSoundReachesTheMixerAsOneChannel) {
    TestSound sound;
    sound.format = MakeFormat(2, 22050, 16);
    sound.samples.clear();
    for (const int16_t value : {1000, 3001, -1000, -2001, 32767, 32767, -32768, -32768}) {
        AppendU16(sound.samples, static_cast<uint16_t>(value), false);
    }
    sound.points = {{0, -20}};
    sound.chunkFrames = 4;
    auto doc = Open(sound);
    ASSERT_TRUE(Export(*doc, dir.File("out.wav")));
    ASSERT_EQ(mix.wave.frameCount, 4u);
    ASSERT_EQ(mix.wave.channels, 1);
    // (L + R) / 2 in whole 16-bit steps toward zero, as a 16-bit mix holds it.
    std::vector<float> mono(4);
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = mix.waveSamples[i] * 32768.0f;
    }
    EXPECT_EQ(mono, (std::vector<float>{2000, -1500, 32767, -32768}));
}

TEST(TpdfDither, AddsUpToTwoStepsOfNoiseWithoutBiasAndNeverClipsAtTheLimit) {
    constexpr size_t kCount = 200000;
    TpdfDither dither;
    std::vector<int16_t> out(kCount);
    const std::vector<float> silence(kCount, 0.0f);
    dither.Quantize(silence.data(), kCount, 1.0f, out.data());
    double sum = 0.0;
    int ones = 0;
    for (const int16_t v : out) {
        ASSERT_GE(v, -1);
        ASSERT_LE(v, 1);
        sum += v;
        ones += v != 0 ? 1 : 0;
    }
    EXPECT_NEAR(sum / kCount, 0.0, 0.01);
    // Triangular over two steps: a quarter of the values round away from zero.
    EXPECT_NEAR(double(ones) / kCount, 0.25, 0.01);

    // A quarter of a step survives on average, which plain rounding would lose.
    const std::vector<float> quarter(kCount, 0.25f / 32768.0f);
    dither.Quantize(quarter.data(), kCount, 1.0f, out.data());
    sum = 0.0;
    for (const int16_t v : out) {
        sum += v;
    }
    EXPECT_NEAR(sum / kCount, 0.25, 0.01);

    const std::vector<float> peak = {TpdfDither::kPeakLimit, -TpdfDither::kPeakLimit};
    for (int i = 0; i < 1000; ++i) {
        int16_t pair[2];
        dither.Quantize(peak.data(), 2, 1.0f, pair);
        ASSERT_LE(pair[0], 32767);
        ASSERT_GE(pair[0], 32765);
        ASSERT_GE(pair[1], -32767);
    }
    // The same seed gives the same file.
    TpdfDither first;
    TpdfDither second;
    std::vector<int16_t> a(100);
    std::vector<int16_t> b(100);
    first.Quantize(quarter.data(), 100, 1.0f, a.data());
    second.Quantize(quarter.data(), 100, 1.0f, b.data());
    EXPECT_EQ(a, b);
    EXPECT_EQ(TpdfDither::Peak(peak.data(), 2), TpdfDither::kPeakLimit);
}

// The dialog says which set the export will use, and the finished export's line names the set
// that mixed: a SOFA file by its path, one of the mixer's by its name.
TEST_F(BinauralExportTest, TheDialogAndTheFinishedLineNameTheSet) {
    using namespace std::string_literals;
    const std::shared_ptr<SofaSetChoice> sofa = SofaSetChoice::Load(SofaHrtfSet::DefaultPath());
    const struct {
        const char* name;
        std::function<std::unique_ptr<BinauralRenderer>()> make;
        std::string note;
        std::string line;
    } cases[] = {
        {"the default SOFA set", [sofa] { return std::make_unique<SofaExportRenderer>(sofa); },
         "Binaural set: "s + SofaHrtfSet::DefaultPath() + " (File > Preferences",
         " Binaural set: "s + SofaHrtfSet::DefaultPath() + "."},
        {"one of the mixer's that fits", [this] { return std::make_unique<ScriptedRenderer>(mix); },
         "Binaural set: the mixer's set that fits the sound", " Binaural set: scripted."},
    };
    auto doc = Open(MonoSound(44100, 4410, {{0, -30}, {4409, 60}}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.rendererFactory = c.make;
        host.prompts.Clear();
        host.saveRequests.clear();
        ASSERT_TRUE(Export(*doc, dir.File("named.wav")))
            << ::testing::PrintToString(host.prompts.Texts());
        ASSERT_EQ(host.saveRequests.size(), 1u);
        EXPECT_EQ(host.saveRequests[0].reason.rfind(c.note, 0), 0u) << host.saveRequests[0].reason;
        ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
        EXPECT_NE(host.prompts.StatusTexts()[0].find(c.line), std::string::npos)
            << host.prompts.StatusTexts()[0];
    }
}
