// The stereo export end to end: blocks, progress, Cancel, messages, and the rendered samples
// against a separate evaluation of the stepping and the filter.
#include "deliver/StereoExport.h"
#include "deliver/StereoExportCommand.h"
#include "document/DocumentOpen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "document/CTesselDoc.h"
#include "formats/CWaveFile.h"
#include "platform/CFile.h"
#include "support/DocumentTestFiles.h"
#include "support/FileSizeLimit.h"
#include "support/FilterReference.h"
#include "support/ScriptedPrompts.h"
#include "support/SoundIo.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

TestSound MonoSound(uint32_t rate, uint16_t bits, uint32_t frames,
                    std::vector<PanChunkPoint> points) {
    TestSound sound;
    sound.format = MakeFormat(1, rate, bits);
    sound.samples = Pattern(size_t{frames} * bits / 8, rate + bits);
    sound.points = std::move(points);
    sound.chunkFrames = frames;
    return sound;
}

// The direction index in force at each frame, from the pan playback steps to.
std::vector<int> ExpectedDirections(const std::vector<PanChunkPoint>& points, uint32_t frames) {
    std::vector<int> dir;
    for (const int32_t pan : ExpectedPans(points, frames)) {
        dir.push_back(std::clamp((pan + 90) * 7 / 10, 0, 126));
    }
    return dir;
}

// The source as the filter sees it: one channel in 16-bit scale, two mixed as (L + R) / 2.
std::vector<float> FilterInput(const TestSound& sound) {
    const int width = sound.format.bitsPerSample / 8;
    const int channels = sound.format.channels;
    std::vector<float> in;
    for (size_t at = 0; at + size_t(width * channels) <= sound.samples.size();
         at += size_t(width * channels)) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            const uint8_t* s = &sound.samples[at + size_t(c * width)];
            sum += width == 1 ? (s[0] - 128) * 256.0 : double(int16_t(s[0] | s[1] << 8));
        }
        in.push_back(float(sum / channels));
    }
    return in;
}

int Stored(double value, int width) {
    const int clipped = value >= 32767.0    ? 32767
                        : value <= -32768.0 ? -32768
                                            : int(std::trunc(value));
    return width == 1 ? (clipped >> 8) + 128 : clipped;
}

// Largest difference in the output's own sample steps between the file and the evaluation.
int WorstDifference(const TestSound& sound, const std::string& outPath, int band) {
    const std::vector<float> in = FilterInput(sound);
    const auto want = FilterReference(
        band, in, ExpectedDirections(sound.points, static_cast<uint32_t>(in.size())));
    const SoundContents got = ReadSound(outPath);
    EXPECT_TRUE(got.bOpened);
    const int width = sound.format.bitsPerSample / 8;
    EXPECT_EQ(got.samples.size(), in.size() * 2 * size_t(width));
    int worst = 0;
    for (size_t t = 0; t < in.size() && (t + 1) * 2 * size_t(width) <= got.samples.size(); ++t) {
        for (int c = 0; c < 2; ++c) {
            const uint8_t* s = &got.samples[(2 * t + size_t(c)) * size_t(width)];
            const int value = width == 1 ? s[0] : int16_t(s[0] | s[1] << 8);
            const double expected = c == 0 ? want[t].left : want[t].right;
            worst = std::max(worst, std::abs(value - Stored(expected, width)));
        }
    }
    return worst;
}

class StereoExportTest : public ::testing::Test {
  protected:
    std::unique_ptr<CTesselDoc> Open(const TestSound& sound, const std::string& name = "in.wav") {
        auto doc = OpenTestDocument(host, dir.File(name), sound);
        host.prompts.Clear();
        return doc;
    }
    bool Export(CTesselDoc& doc, const std::string& out, int filterIndex = 1) {
        host.saveNames.push_back(TestDocumentHost::Name(out, filterIndex));
        return StereoExportCommand(doc).Run();
    }

    TempDir dir;
    TestDocumentHost host;
};

}  // namespace

TEST_F(StereoExportTest, SixteenBitsWriteFullBlocksThenTheRestWithProgressAfterEach) {
    const TestSound sound = MonoSound(22050, 16, 20000, {{0, -45}});
    auto doc = Open(sound);

    // The blocks as the sound file receives them.
    CFile file(dir.File("blocks.wav"), CFile::Mode::ReadWriteCreate);
    RecordingWaveFile writer(file);
    StereoExport exporter(RenderInput::OfDocument(*doc), doc->GetPanPoints());
    ASSERT_TRUE(exporter.SelectRate());
    ASSERT_TRUE(exporter.StartTrajectory());
    ASSERT_TRUE(writer.CreateHeader(*StereoExport::OutputFormat(doc->GetFormat(), 20000),
                                    exporter.OutputDataBytes()));
    ScriptedPrompts prompts;
    EXPECT_EQ(exporter.Render(writer, *prompts.OpenProgressDialog()),
              StereoExport::Outcome::Finished);
    EXPECT_EQ(writer.blocks, (std::vector<uint32_t>{32768, 32768, 14464}));

    // The same through the command, with the progress window's calls.
    const std::string out = dir.File("out.wav");
    EXPECT_TRUE(Export(*doc, out));
    EXPECT_EQ(host.prompts.ProgressCalls(),
              (Calls{"open", "range 0 100", "pos 0", "status (0 of 20000)", "pos 40",
                     "status (8192 of 20000)", "cancel?", "pos 81", "status (16384 of 20000)",
                     "cancel?", "close"}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(SoxTools::Describe(out), "2 22050 16 20000");
    const SoundContents result = ReadSound(out);
    EXPECT_EQ(result.format.channels, 2);
    EXPECT_EQ(result.format.blockAlign, 4);
    EXPECT_EQ(result.format.avgBytesPerSec, 22050u * 4);
    EXPECT_EQ(result.dataBytes, 80000u);
    EXPECT_FALSE(result.bHasPan);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(StereoExportTest, EightBitsFillOneBlockExactlyAndLeaveNothingPending) {
    const TestSound sound = MonoSound(11025, 8, 16384, {{100, 30}});
    auto doc = Open(sound);
    CFile file(dir.File("blocks.wav"), CFile::Mode::ReadWriteCreate);
    RecordingWaveFile writer(file);
    StereoExport exporter(RenderInput::OfDocument(*doc), doc->GetPanPoints());
    ASSERT_TRUE(exporter.SelectRate() && exporter.StartTrajectory());
    writer.CreateHeader(*StereoExport::OutputFormat(doc->GetFormat(), 16384),
                        exporter.OutputDataBytes());
    ScriptedPrompts prompts;
    EXPECT_EQ(exporter.Render(writer, *prompts.OpenProgressDialog()),
              StereoExport::Outcome::Finished);
    EXPECT_EQ(writer.blocks, (std::vector<uint32_t>{32768}));
    EXPECT_EQ(prompts.ProgressCalls(),
              (Calls{"open", "range 0 100", "pos 0", "status (0 of 16384)", "pos 100",
                     "status (16384 of 16384)", "cancel?", "close"}));
}

TEST_F(StereoExportTest, RampToASinglePointThenHoldsFullRight) {
    const std::vector<PanChunkPoint> points = {{1000, 90}};
    const std::vector<int> want = ExpectedDirections(points, 3000);
    EXPECT_EQ(want[0], 63);
    EXPECT_EQ(want[999], 125);
    EXPECT_EQ(want[1000], 126);
    EXPECT_EQ(want[2999], 126);

    const TestSound sound = MonoSound(22050, 16, 3000, points);
    auto doc = Open(sound);
    const std::string out = dir.File("ramp.wav");
    ASSERT_TRUE(Export(*doc, out));
    EXPECT_LE(WorstDifference(sound, out, 4), 2);
}

TEST_F(StereoExportTest, SamplesMatchTheEvaluationInEveryBandWidthAndType) {
    const uint32_t rates[8] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
    // Ramps both ways, a jump between two points at one frame, and a hold after the last.
    const std::vector<PanChunkPoint> points = {{0, -90},    {700, 90},  {1500, 90},
                                               {1500, -20}, {2600, 60}, {9000, 10}};
    for (int band = 1; band <= 8; ++band) {
        for (const uint16_t bits : {uint16_t{8}, uint16_t{16}}) {
            for (const int type : {1, 2}) {
                const TestSound sound = MonoSound(rates[band - 1], bits, 12000, points);
                auto doc = Open(sound);
                const std::string out =
                    dir.File("b" + std::to_string(band) + "-" + std::to_string(bits) +
                             (type == 1 ? ".wav" : ".aif"));
                ASSERT_TRUE(Export(*doc, out, type)) << out;
                EXPECT_LE(WorstDifference(sound, out, band), 2) << out;
                EXPECT_EQ(ReadSound(out).typeName, type == 1 ? "WAVE" : "AIFF") << out;
                EXPECT_EQ(SoxTools::Describe(out), "2 " + std::to_string(rates[band - 1]) + " " +
                                                       std::to_string(bits) + " 12000")
                    << out;
            }
        }
    }
}

TEST_F(StereoExportTest, TwoChannelSourceIsMixedDownAndWrittenAsTwoChannels) {
    TestSound sound;
    sound.format = MakeFormat(2, 44100, 16);
    sound.samples = Pattern(5000 * 4, 9);
    sound.points = {{0, -60}, {4000, 45}};
    sound.chunkFrames = 5000;
    auto doc = Open(sound);
    const std::string out = dir.File("mix.aif");
    ASSERT_TRUE(Export(*doc, out, 2));
    EXPECT_EQ(SoxTools::Describe(out), "2 44100 16 5000");
    EXPECT_LE(WorstDifference(sound, out, 7), 2);
}

TEST_F(StereoExportTest, PlacesAllAroundAreFoldedOntoTheFrontWithTheDistanceAsLoudness) {
    // The same sound three ways: frontal at 60, behind-right at 120 (which folds onto 60) and
    // straight behind at 2 m (which folds onto 0, 6 dB down). Quiet, so 6 dB up cannot clip.
    TestSound sound = MonoSound(44100, 16, 6000, {{0, 60}});
    for (size_t i = 0; i + 1 < sound.samples.size(); i += 2) {
        const auto quiet =
            static_cast<uint16_t>(int16_t(sound.samples[i] | sound.samples[i + 1] << 8) / 8);
        sound.samples[i] = static_cast<uint8_t>(quiet);
        sound.samples[i + 1] = static_cast<uint8_t>(quiet >> 8);
    }
    auto place = [&](const std::string& name, int azimuth, uint32_t cm) {
        auto doc = Open(sound, name + ".wav");
        doc->BeginGroup(UndoKind::Replace);
        while (const PanPoint* first = doc->NextPoint(nullptr)) {
            doc->RemovePoint(first);
        }
        PanPoint point;
        SetAzimuth(point, azimuth);
        point.distanceCm = cm;
        doc->AddPoint(point);
        doc->EndGroup();
        const std::string out = dir.File(name + "-out.wav");
        EXPECT_TRUE(Export(*doc, out));
        return ReadSound(out).samples;
    };
    auto level = [](const Bytes& samples) {
        double sum = 0;
        for (size_t i = 0; i + 1 < samples.size(); i += 2) {
            const double v = int16_t(samples[i] | samples[i + 1] << 8);
            sum += v * v;
        }
        return 10.0 * std::log10(sum);
    };
    const Bytes front = place("front", 60, 100);
    EXPECT_TRUE(host.prompts.StatusTexts().back().find("cannot hold") == std::string::npos);
    EXPECT_EQ(place("behind-right", 120, 100), front);
    EXPECT_NE(host.prompts.StatusTexts().back().find(
                  "A stereo file cannot hold behind or above: the trajectory is folded onto the "
                  "front, with its distance as loudness."),
              std::string::npos);
    const Bytes ahead = place("ahead", 0, 100);
    EXPECT_NEAR(level(place("behind-far", 180, 200)) - level(ahead), -6.02, 0.05);
    EXPECT_NEAR(level(place("ahead-near", 0, 50)) - level(ahead), 6.02, 0.1);
}

TEST_F(StereoExportTest, CancelAtABlockBoundaryLeavesNoFileAndAShortSoundNeverReadsIt) {
    auto doc = Open(MonoSound(22050, 16, 20000, {{0, 0}}));
    host.prompts.ScriptCancelAt(1);
    const std::string out = dir.File("cancelled.wav");
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(FilesIn(dir.Path()), 1u);  // the source only: no temp file either
    EXPECT_EQ(host.prompts.ProgressCalls(),
              (Calls{"open", "range 0 100", "pos 0", "status (0 of 20000)", "pos 40",
                     "status (8192 of 20000)", "cancel?", "close"}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(host.exportFolder, "");

    // An older file of that name was never touched, so it survives the Cancel.
    WriteBytes(out, Bytes{'o', 'l', 'd'});
    host.prompts.Clear();
    host.prompts.ScriptCancelAt(1);
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_EQ(ReadBytes(out), (Bytes{'o', 'l', 'd'}));

    auto shortDoc = Open(MonoSound(22050, 16, 8191, {{0, 0}}), "short.wav");
    host.prompts.ScriptCancelAt(1);
    const std::string shortOut = dir.File("short-out.wav");
    EXPECT_TRUE(Export(*shortDoc, shortOut));
    EXPECT_EQ(ReadSound(shortOut).dataBytes, 8191u * 4);
    const Calls& calls = host.prompts.ProgressCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "cancel?"), 0);
}

TEST_F(StereoExportTest, DialogChecksAndTheRememberedFolder) {
    auto doc = Open(MonoSound(22050, 16, 1000, {{10, 10}}));
    host.exportFolder = dir.Path().string() + "/";

    host.saveNames.push_back(std::nullopt);  // Cancel in the dialog
    EXPECT_FALSE(StereoExportCommand(*doc).Run());
    ASSERT_EQ(host.saveRequests.size(), 1u);
    const SaveNameRequest& request = host.saveRequests[0];
    EXPECT_EQ(request.title, "Export Stereo File As...");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].name, "Windows Wave");
    EXPECT_EQ(request.filters[0].pattern, "*.WAV");
    EXPECT_EQ(request.filters[1].name, "Macintosh AIFF");
    EXPECT_EQ(request.filters[1].pattern, "*.AIF");
    EXPECT_EQ(request.startFolder, dir.Path().string() + "/");
    EXPECT_TRUE(request.bHideReadOnly);
    EXPECT_FALSE(request.bOwnDocument);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    EXPECT_TRUE(host.prompts.ProgressCalls().empty());

    fs::create_directory(dir.Path() / "sub");
    const std::string out = (dir.Path() / "sub" / "x.aif").string();
    EXPECT_TRUE(Export(*doc, out, 2));
    EXPECT_EQ(host.exportFolder, (dir.Path() / "sub").string() + "/");
    EXPECT_EQ(ReadSound(out).typeName, "AIFF");
}

TEST_F(StereoExportTest, NoPanPointsIsRefusedBeforeAnyFileExists) {
    auto doc = Open(MonoSound(22050, 16, 1000, {}));
    const std::string out = dir.File("none.wav");
    EXPECT_FALSE(Export(*doc, out));
    EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"No Pan Events to track!"}));
    // The line under it says how to give the sound a path.
    EXPECT_NE(host.prompts.Boxes()[0].informative.find("sonomap-cli set-points FILE --points"),
              std::string::npos);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    EXPECT_TRUE(host.prompts.ProgressCalls().empty());
}

TEST_F(StereoExportTest, AFailedBlockWriteSaysSoOnceAndLeavesNoFile) {
    auto doc = Open(MonoSound(22050, 16, 40000, {{0, 0}}));
    const std::string out = dir.File("full.wav");
    {
        const FileSizeLimit limit(50000);
        EXPECT_FALSE(Export(*doc, out));
    }
    EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"Error writing wave data!"}));
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    const Calls& calls = host.prompts.ProgressCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "cancel?"), 1);  // stopped at block 2
    EXPECT_EQ(calls.back(), "close");
    EXPECT_EQ(host.exportFolder, dir.Path().string() + "/");
}
