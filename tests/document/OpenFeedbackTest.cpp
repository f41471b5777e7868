// What a document tells the user beyond the message texts: the line naming the file and the
// reason under a refusal, the status line of a file shorter than its header, of a save and of
// an export, the export's proposed name and its progress times. The sound files come from sox
// where a real tool writes that kind of file, byte by byte where none would.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

const char* const kNotASound =
    "Error loading wave information... is this a valid '.wav' or '.aif' file?";
const char* const kBadFormat =
    "Invalid file format!\nFile must be mono or stereo, 8 or 16 bit, and the sample rate must be "
    "in the range 8k - 48k.";
const char* const kEditable =
    "; Sonomap edits 8-, 16-, 24- and 32-bit PCM and 32-bit floating point.";

class OpenFeedbackTest : public ::testing::Test {
  protected:
    // The one box an open that fails shows, or a failure.
    UserPrompts::Box Refusal(const std::string& path) {
        host.prompts.Clear();
        CTesselDoc doc(host);
        EXPECT_FALSE(DocumentOpen(doc).Open(path)) << path;
        EXPECT_EQ(host.prompts.Boxes().size(), 1u) << path;
        return host.prompts.Boxes().empty() ? UserPrompts::Box{} : host.prompts.Boxes().back();
    }
    std::string Sox(const std::string& name, const std::string& options) {
        const std::string path = dir.File(name);
        const SoxTools::Outcome made =
            SoxTools::Command("sox -n -r 22050 -c 1 " + options + " " + SoxTools::Quote(path) +
                              " synth 0.5 sine 440");
        EXPECT_EQ(made.status, 0) << made.output;
        return path;
    }
    // 88244 as "88,244": sizes here stay below a million.
    static std::string Thousands(uintmax_t value) {
        const std::string low = std::to_string(value % 1000 + 1000).substr(1);
        return value < 1000 ? std::to_string(value) : std::to_string(value / 1000) + "," + low;
    }
    static std::string Line(const std::string& path, const std::string& reason) {
        return "Sonomap cannot open " + path + ": " + reason;
    }

    TempDir dir;
    TestDocumentHost host;
};

}  // namespace

TEST_F(OpenFeedbackTest, FilesSoxWritesThatSonomapCannotEditKeepTheTextAndSayWhy) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox is not installed";
    }
    const std::string doubles = Sox("double.wav", "-b 64 -e floating-point");
    UserPrompts::Box box = Refusal(doubles);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative,
              Line(doubles, "64-bit floating-point samples are not supported") + kEditable);

    const std::string aifc16 = Sox("plain.aifc", "-b 16 -e signed-integer");
    box = Refusal(aifc16);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative, Line(aifc16,
                                    "it is an AIFF-C file; Sonomap opens plain AIFF "
                                    "(File > Import... takes AIFF-C)."));

    const std::string alaw = Sox("alaw.wav", "-b 8 -e a-law");
    box = Refusal(alaw);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative,
              Line(alaw, "the samples are compressed (format 0x0006)") + kEditable);
}

TEST_F(OpenFeedbackTest, FilesNoToolWritesNameTheirFaultUnderTheSameMessage) {
    const std::string noise = dir.File("noise.wav");
    WriteBytes(noise, Pattern(4000, 99));
    UserPrompts::Box box = Refusal(noise);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative, Line(noise, "not a WAV or AIFF file."));

    const std::string noFormat = dir.File("nofmt.wav");
    WriteBytes(noFormat, Form("RIFF", "WAVE", Chunk("data", Pattern(200), false), false));
    box = Refusal(noFormat);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative, Line(noFormat, "the file holds no 'fmt ' chunk."));

    const std::string noData = dir.File("nodata.wav");
    WriteBytes(noData, Form("RIFF", "WAVE",
                            Chunk("fmt ", FmtPayload(MakeFormat(1, 22050, 16)), false), false));
    box = Refusal(noData);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative, Line(noData, "the file holds no 'data' chunk."));

    const std::string empty = dir.File("empty.wav");
    WriteBytes(empty, {});
    box = Refusal(empty);
    EXPECT_EQ(box.text, kNotASound);
    EXPECT_EQ(box.informative, Line(empty, "the file is empty."));

    // A rate the format check refuses.
    TestSound slow;
    slow.format = MakeFormat(1, 4000, 16);
    const std::string slowPath = dir.File("slow.wav");
    WriteBytes(slowPath, BuildSoundFile(slow));
    box = Refusal(slowPath);
    EXPECT_EQ(box.text, kBadFormat);
    EXPECT_EQ(box.informative,
              Line(slowPath,
                   "its sample rate of 4000 Hz is outside the 6000 to 48000 Hz Sonomap "
                   "plays; File > Import resamples it to 8000 Hz."));
}

TEST_F(OpenFeedbackTest, AWaveCutShortOpensAndSaysHowMuchIsMissing) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox is not installed";
    }
    // 0.5 s of 16-bit mono at 22050 Hz: 22,050 bytes of samples, the last 1,000 cut off.
    const std::string path = Sox("cut.wav", "-b 16 -e signed-integer");
    const auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size - 1000);
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(doc.GetFrameCount(), (22050u - 1000u) / 2u);
    ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
    EXPECT_EQ(host.prompts.StatusTexts()[0],
              "cut.wav is shorter than its header says: 1,000 of 22,050 bytes of sample data "
              "(0:00.022 of sound) are missing.");

    // A whole file says nothing.
    host.prompts.Clear();
    CTesselDoc whole(host);
    ASSERT_TRUE(DocumentOpen(whole).Open(Sox("whole.wav", "-b 16 -e signed-integer")));
    EXPECT_TRUE(host.prompts.StatusTexts().empty());
}

TEST_F(OpenFeedbackTest, SaveAndExportSayWhatTheyWroteWhereAndHowBig) {
    TestSound sound;
    sound.samples = Pattern(2u * 22050u * 2u);  // two seconds
    sound.points = {{0, -45}};
    sound.chunkFrames = 44100;
    const std::string path = dir.File("take.wav");
    WriteBytes(path, BuildSoundFile(sound));
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    EXPECT_TRUE(doc.WhyNoExport().empty());

    host.prompts.Clear();
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(DocumentSave(doc).WriteTo(path));
    ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
    EXPECT_EQ(host.prompts.StatusTexts()[0], "Saved take.wav in " + dir.File("") + " (" +
                                                 Thousands(std::filesystem::file_size(path)) +
                                                 " bytes).");

    // The export proposes a name beside the source's in the export folder.
    host.exportFolder = dir.File("");
    host.prompts.Clear();
    const std::string out = dir.File("mix.wav");
    host.saveNames.push_back(TestDocumentHost::Name(out, 1));
    ASSERT_TRUE(StereoExportCommand(doc).Run());
    ASSERT_FALSE(host.saveRequests.empty());
    EXPECT_EQ(host.saveRequests.back().proposedName, "take-stereo.wav");
    EXPECT_EQ(host.saveRequests.back().startFolder, dir.File(""));
    const std::vector<std::string>& times = host.prompts.ProgressTimes();
    ASSERT_GE(times.size(), 2u);
    EXPECT_EQ(times.front(), "0:00 of 0:02");
    // The times go with the frame counts: one for each full block written, none for the rest.
    size_t statusLines = 0;
    for (const std::string& call : host.prompts.ProgressCalls()) {
        statusLines += call.rfind("status ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(times.size(), statusLines);
    EXPECT_EQ(times.back(), "0:01 of 0:02");
    // 44,100 stereo 16-bit frames and a 44-byte header.
    ASSERT_EQ(std::filesystem::file_size(out), 44u + 44100u * 4u);
    ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
    // Then what was measured of the file.
    const std::string line = host.prompts.StatusTexts()[0];
    const std::string written = "Exported mix.wav in " + dir.File("") + " (176,444 bytes).";
    EXPECT_EQ(line.substr(0, written.size()), written);
    EXPECT_NE(line.find(" Loudness -"), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 6), " dBTP.") << line;
}

TEST_F(OpenFeedbackTest, ExportSaysWhyItIsGreyed) {
    const std::string mono = dir.File("mono.wav");
    WriteBytes(mono, BuildSoundFile(TestSound()));
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(mono));
    ASSERT_FALSE(doc.CanExport());
    EXPECT_NE(doc.WhyNoExport().find("Edit: Pan Points"), std::string::npos) << doc.WhyNoExport();

    TestSound stereo;
    stereo.format = MakeFormat(2, 22050, 16);
    const std::string stereoPath = dir.File("stereo.wav");
    WriteBytes(stereoPath, BuildSoundFile(stereo));
    CTesselDoc stereoDoc(host);
    ASSERT_TRUE(DocumentOpen(stereoDoc).Open(stereoPath));
    ASSERT_FALSE(stereoDoc.CanExport());
    // A stereo sound takes a trajectory as a mono one does.
    EXPECT_EQ(stereoDoc.WhyNoExport(), doc.WhyNoExport());
}
