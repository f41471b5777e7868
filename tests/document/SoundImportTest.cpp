// Import as a document meets it: the untitled result, its first save, every refusal message,
// and the native open's one question when a file it refuses can be imported.
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/SoundImport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "document/CTesselDoc.h"
#include "formats/CSoundFile.h"
#include "support/DocumentTestFiles.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

using Answer = UserPrompts::Answer;
using Buttons = UserPrompts::Buttons;
using Icon = UserPrompts::Icon;

const char* const kNotASoundFile =
    "Error loading wave information... is this a valid '.wav' or '.aif' file?";
const char* const kBadFormat =
    "Invalid file format!\nFile must be mono or stereo, 8 or 16 bit, and the sample rate must be "
    "in the range 8k - 48k.";
const char* const kBadDeepFormat =
    "Invalid file format!\nFile must be mono or stereo, 8, 16, 24 or 32 bit or 32-bit float, and "
    "the sample rate must be in the range 6k - 48k.";

// 24-bit little-endian samples: each value v imports as (v + 128) >> 8.
Bytes Samples24(size_t frames, int channels) {
    Bytes out;
    for (size_t i = 0; i < frames * size_t(channels); ++i) {
        const auto v = static_cast<uint32_t>(int32_t(i % 200) * 25600 - 2560000);
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    }
    return out;
}

TestSound Sound24(uint32_t rate = 22050, uint16_t channels = 1) {
    TestSound sound;
    sound.format = MakeFormat(channels, rate, 24);
    sound.samples = Samples24(1000, channels);
    sound.points = {{0, -90}, {500, 30}, {1000, 90}};
    sound.chunkFrames = 1000;
    return sound;
}

// The fmt chunk of WAVE_FORMAT_EXTENSIBLE around 16-bit PCM: a file the native open refuses.
Bytes Extensible16(const Bytes& samples) {
    Bytes fmt;
    AppendU16(fmt, 0xFFFE, false);
    AppendU16(fmt, 2, false);
    AppendU32(fmt, 44100, false);
    AppendU32(fmt, 44100 * 4, false);
    AppendU16(fmt, 4, false);
    AppendU16(fmt, 16, false);
    AppendU16(fmt, 22, false);  // extension size
    AppendU16(fmt, 16, false);  // valid bits
    AppendU32(fmt, 3, false);   // front left and right
    Append(fmt, Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00,
                      0x38, 0x9B, 0x71});
    Bytes chunks = Chunk("fmt ", fmt, false);
    Append(chunks, Chunk("data", samples, false));
    return Form("RIFF", "WAVE", chunks, false);
}

class SoundImportTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    }
    std::string Write(const std::string& name, const TestSound& sound) {
        return Write(name, BuildSoundFile(sound));
    }
    // The one message an import of bytes shows.
    std::string ImportMessage(const std::string& name, const Bytes& bytes) {
        host.prompts.Clear();
        CTesselDoc doc(host);
        EXPECT_FALSE(SoundImport(host).ImportInto(doc, Write(name, bytes)));
        EXPECT_EQ(doc.GetFrameCount(), 0u);
        EXPECT_FALSE(host.prompts.IsProcessingWindowOpen());
        EXPECT_EQ(host.prompts.Boxes().size(), 1u);
        return host.prompts.Boxes().empty() ? "" : host.prompts.Boxes()[0].text;
    }

    TempDir dir;
    TestDocumentHost host;
};

}  // namespace

TEST_F(SoundImportTest, AnImportIsAnUntitledModifiedWaveDocument) {
    const std::string path = Write("take.wav", Sound24());
    CTesselDoc doc(host);
    ASSERT_TRUE(SoundImport(host).ImportInto(doc, path, ImportOptions{16}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(doc.GetTitle(), "take (imported)");
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.GetImportSource(), path);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.CanSave());
    EXPECT_EQ(doc.GetFileType(), "WAVE");
    EXPECT_EQ(doc.GetFormat().bitsPerSample, 16);
    EXPECT_EQ(doc.GetFormat().channels, 1);
    EXPECT_EQ(doc.GetFormat().sampleRate, 22050u);
    EXPECT_EQ(doc.GetFrameCount(), 1000u);
    // Dithered, as every drop in depth is: within a step of the exact value.
    EXPECT_NEAR(doc.GetSample16(1, 1), (25600 - 2560000) / 256, 1);  // channels count from 1
    EXPECT_EQ(PointsOf(doc), (PanPairs{{0, -90}, {500, 30}, {1000, 90}}));
    EXPECT_NE(doc.GetOverview(), nullptr);
    EXPECT_EQ(host.prompts.ProcessingTexts(),
              (std::vector<std::string>{"Importing Waveform...", "Creating Waveform Overview...",
                                        "Parseing AmbrelChunk..."}));
    EXPECT_FALSE(host.prompts.IsProcessingWindowOpen());
    EXPECT_EQ(host.openFolder, dir.Path().string() + "/");
}

TEST_F(SoundImportTest, TheFirstSaveAsksForAWaveNameAndLeavesTheSourceAlone) {
    const std::string path = Write("take.wav", Sound24());
    const Bytes source = ReadBytes(path);
    CTesselDoc doc(host);
    ASSERT_TRUE(SoundImport(host).ImportInto(doc, path, ImportOptions{16}));
    host.saveNames.push_back(std::nullopt);
    EXPECT_FALSE(DocumentSave(doc).Save());
    ASSERT_EQ(host.saveRequests.size(), 1u);
    EXPECT_EQ(host.saveRequests[0].title, "Save As");
    EXPECT_EQ(host.saveRequests[0].proposedName, "take.wav");
    EXPECT_EQ(host.saveRequests[0].filterIndex, 1);
    EXPECT_TRUE(doc.IsModified());

    const std::string out = dir.File("take-16.wav");
    host.saveNames.push_back(TestDocumentHost::Name(out, 1));
    ASSERT_TRUE(DocumentSave(doc).Save());
    EXPECT_EQ(ReadBytes(path), source);
    EXPECT_EQ(doc.GetPathName(), out);
    EXPECT_EQ(doc.GetImportSource(), "");
    EXPECT_EQ(doc.GetTitle(), "take-16.wav");
    EXPECT_FALSE(doc.IsModified());
    // What was written opens natively, trajectory and all.
    CTesselDoc reopened(host);
    ASSERT_TRUE(DocumentOpen(reopened).Open(out));
    EXPECT_EQ(reopened.GetFormat().bitsPerSample, 16);
    EXPECT_EQ(reopened.GetFrameCount(), 1000u);
    EXPECT_EQ(PointsOf(reopened), PointsOf(doc));
}

TEST_F(SoundImportTest, ClosingAnUnsavedImportAsksByItsTitle) {
    CTesselDoc doc(host);
    ASSERT_TRUE(SoundImport(host).ImportInto(doc, Write("take.wav", Sound24())));
    host.prompts.Script(Answer::Cancel);
    EXPECT_FALSE(DocumentSave(doc).SaveModified());
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, "Save changes to take (imported)?");
}

TEST_F(SoundImportTest, EveryRefusalSaysWhatIsWrong) {
    EXPECT_EQ(ImportMessage("three.wav", WaveFile(MakeFormat(3, 22050, 16), Bytes(60, 0))),
              "Can't import three.wav!\nIt has 3 channels; Sonomap takes mono or stereo sounds "
              "only.");
    EXPECT_EQ(ImportMessage("empty.wav", WaveFile(MakeFormat(2, 44100, 24), {})),
              "Can't import empty.wav!\nIt holds no sample frames.");
    EXPECT_EQ(ImportMessage("notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}),
              "Can't import notes.txt!\nlibsndfile reports: Format not recognised.");
    EXPECT_EQ(host.prompts.Boxes()[0].icon, Icon::None);
}

// An RF64 file whose 64-bit sizes lie: the fault in the file's own terms, libsndfile's words
// under it.
TEST_F(SoundImportTest, AnRf64FileWhoseSizesLieIsRefusedWithItsFault) {
    const auto rf64 = [](Bytes ds64, bool bDs64) {
        Bytes chunks;
        if (bDs64) {
            Append(chunks, Chunk("ds64", ds64, false));
        }
        Append(chunks, Chunk("fmt ", FmtPayload(MakeFormat(1, 22050, 16)), false));
        Append(chunks, ChunkDeclaring("data", 0xFFFFFFFFu, Pattern(200), false));
        return FormDeclaring("RF64", "WAVE", 0xFFFFFFFFu, chunks, false);
    };
    Bytes sizes(28, 0);
    sizes[8] = 0xF8;  // a data size of 2^64 - 8
    std::fill(sizes.begin() + 9, sizes.begin() + 16, 0xFF);
    const struct {
        const char* name;
        Bytes file;
        const char* said;
    } cases[] = {
        {"wraps.wav", rf64(sizes, true),
         "Its 'ds64' chunk gives the samples 18446744073709551608 bytes, but the file holds 200 "
         "after their start."},
        {"short.wav", rf64(Bytes(8, 0), true),
         "Its 'ds64' chunk is only 8 bytes long, too short for the sizes it must hold."},
        {"none.wav", rf64({}, false),
         "It is an RF64 file without the 'ds64' chunk that holds its sizes."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = ImportMessage(c.name, c.file);
        EXPECT_EQ(text.rfind("Can't import " + std::string(c.name) + "!\n" + c.said +
                                 "\nlibsndfile reports: ",
                             0),
                  0u)
            << text;
    }
}

TEST_F(SoundImportTest, SamplesBeyondFullScaleAreReported) {
    PcmFormat format = MakeFormat(1, 22050, 32);
    format.formatTag = 3;
    const float values[] = {0.5f, 2.0f, -3.0f};
    Bytes data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    CTesselDoc doc(host);
    ASSERT_TRUE(SoundImport(host).ImportInto(doc, Write("loud.wav", WaveFile(format, data)), {16}));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text,
              "2 samples of loud.wav lay beyond full scale and were clipped.");
    EXPECT_EQ(host.prompts.Boxes()[0].icon, Icon::Exclamation);
}

TEST_F(SoundImportTest, AReadErrorShowsLibsndfilesText) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox is not installed";
    }
    const std::string whole = dir.File("whole.flac");
    ASSERT_EQ(SoxTools::Command("sox -n -r 44100 -c 2 -b 24 " + SoxTools::Quote(whole) +
                                " synth 0.5 sine 440")
                  .status,
              0);
    const Bytes flac = ReadBytes(whole);
    const std::string text = ImportMessage("cut.flac", Bytes(flac.begin(), flac.begin() + 4000));
    EXPECT_EQ(text.rfind("Error importing cut.flac!\nlibsndfile reports: ", 0), 0u) << text;
}

TEST_F(SoundImportTest, ASoundTooLongForAWaveFileIsRefusedBeforeItIsRead) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox is not installed";
    }
    const std::string whole = dir.File("whole.flac");
    ASSERT_EQ(SoxTools::Command("sox -n -r 44100 -c 2 -b 16 " + SoxTools::Quote(whole) +
                                " synth 0.1 sine 440")
                  .status,
              0);
    // The stream's length, 36 bits of its STREAMINFO block, all ones.
    Bytes flac = ReadBytes(whole);
    flac[21] |= 0x0F;
    for (size_t i = 22; i < 26; ++i) {
        flac[i] = 0xFF;
    }
    EXPECT_EQ(ImportMessage("huge.flac", flac),
              "Can't import huge.flac!\nAt 68719476735 frames it is too long for a WAV or AIFF "
              "file.");
}

TEST_F(SoundImportTest, WithoutAnOfferTheNativeRefusalStaysAsItWas) {
    CTesselDoc doc(host);
    EXPECT_FALSE(DocumentOpen(doc).Open(Write("take.wav", Sound24(96000))));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, kBadDeepFormat);
    EXPECT_EQ(host.prompts.Boxes()[0].buttons, Buttons::Ok);
}

TEST_F(SoundImportTest, TheNativeOpenOffersImportWithOneQuestion) {
    host.offersImport = true;
    const std::string path = Write("take.wav", Sound24(96000));
    host.prompts.Script(Answer::Yes);
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    const UserPrompts::Box& box = host.prompts.Boxes()[0];
    EXPECT_EQ(box.text, std::string(kBadDeepFormat) +
                            "\n\nSonomap can import it instead (WAV (Microsoft), Signed 24 bit "
                            "PCM, mono, 96000 Hz) as a new 24-bit document at 48000 Hz.\nImport "
                            "it?");
    EXPECT_EQ(box.buttons, Buttons::YesNo);
    EXPECT_EQ(box.defaultAnswer, Answer::No);
    EXPECT_EQ(box.icon, Icon::Question);
    EXPECT_EQ(box.helpId, 105u);
    // The offer names the file and why the native open refused it, on a line of its own.
    EXPECT_EQ(box.informative, "Sonomap cannot open " + path +
                                   ": its sample rate of 96000 Hz is outside the 6000 to 48000 "
                                   "Hz Sonomap plays; File > Import resamples it to 48000 Hz.");
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.GetTitle(), "take (imported)");
    EXPECT_EQ(doc.GetImportSource(), path);
    EXPECT_EQ(doc.GetFrameCount(), 500u);
    EXPECT_EQ(PointsOf(doc).size(), 3u);

    host.prompts.Clear();
    host.prompts.Script(Answer::No);
    CTesselDoc declined(host);
    EXPECT_FALSE(DocumentOpen(declined).Open(path));
    EXPECT_EQ(host.prompts.Boxes().size(), 1u);
}

TEST_F(SoundImportTest, TheOfferFollowsWhicheverRefusalTheOpenGave) {
    host.offersImport = true;
    Bytes samples(400);
    const std::string extensible = Write("ext.wav", Extensible16(samples));
    host.prompts.Script(Answer::Yes);
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(extensible));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text.rfind(std::string(kNotASoundFile) + "\n\n", 0), 0u);
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 104u);
    EXPECT_EQ(doc.GetFormat().channels, 2);
    EXPECT_EQ(doc.GetFrameCount(), 100u);

    // A rate above the highest is offered at the rate it will have.
    host.prompts.Clear();
    TestSound high;
    high.format = MakeFormat(1, 96000, 16);
    CTesselDoc declined(host);
    EXPECT_FALSE(DocumentOpen(declined).Open(Write("high.wav", high)));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    const std::string& text = host.prompts.Boxes()[0].text;
    EXPECT_NE(text.find("96000 Hz) as a new 16-bit document at 48000 Hz.\nImport it?"),
              std::string::npos)
        << text;
}

TEST_F(SoundImportTest, WhatImportRefusesTooIsSaidUnderTheRefusal) {
    host.offersImport = true;
    CTesselDoc doc(host);
    EXPECT_FALSE(DocumentOpen(doc).Open(
        Write("three.wav", WaveFile(MakeFormat(3, 22050, 16), Bytes(60, 0)))));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text,
              std::string(kBadFormat) +
                  "\n\nIt has 3 channels; Sonomap takes mono or stereo sounds only.");
    EXPECT_EQ(host.prompts.Boxes()[0].buttons, Buttons::Ok);
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 105u);

    // What libsndfile cannot read either gets the refusal as it always was.
    host.prompts.Clear();
    CTesselDoc noise(host);
    EXPECT_FALSE(DocumentOpen(noise).Open(Write("notes.wav", Bytes{'R', 'I', 'F', 'F', 1, 2, 3})));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, kNotASoundFile);
}
