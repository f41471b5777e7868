// sonomap-cli import end to end: the real binary on files sox wrote and on crafted ones.
#include <gtest/gtest.h>

#include <fstream>

#include "CliRun.h"
#include "support/DocumentTestFiles.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

using namespace SoxTools;

class CliImport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Available()) {
            GTEST_SKIP() << "sox and sndfile-programs are not installed";
        }
    }
    int Cli(const std::string& args) {
        const CliRun run = RunCli(dir, args);
        out = run.out;
        err = run.err;
        return run.exitCode;
    }
    std::string Sox(const std::string& name, const std::string& options) {
        const std::string path = dir.File(name);
        const Outcome made = Command("sox -n " + options + " " + Quote(path) +
                                     " synth 0.2 sine 441 sine 662 gain -1");
        EXPECT_EQ(made.status, 0) << made.output;
        return path;
    }

    // The bytes of sox's raw little-endian reading of path with this encoding ("-e" value and
    // "-b" option).
    std::vector<uint8_t> RawOf(const std::string& path, const std::string& encoding) {
        const std::string raw = dir.File("raw.raw");
        const Outcome made =
            Command("sox -D " + Quote(path) + " -t raw -L -e " + encoding + " " + Quote(raw));
        EXPECT_EQ(made.status, 0) << made.output;
        std::ifstream file(raw, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
        EXPECT_FALSE(bytes.empty());
        return bytes;
    }

    TempDir dir;
    std::string out, err;
};

}  // namespace

// Asked for 16 bits, 24-bit and float WAV, FLAC and RF64 each become a 16-bit WAV whose samples
// are sox's own conversion of the source.
TEST_F(CliImport, TheEverydayFormatsImportWithSoxsSamples) {
    const std::string wav24 = Sox("a.wav", "-r 44100 -c 2 -b 24 -e signed-integer");
    const std::string rf64 = dir.File("a.rf64");
    ASSERT_EQ(Command("sndfile-convert -pcm24 " + Quote(wav24) + " " + Quote(rf64)).status, 0);
    struct Input {
        std::string path, reference;
    };
    const Input inputs[] = {
        {wav24, wav24},
        {Sox("f.wav", "-r 48000 -c 1 -b 32 -e floating-point"), dir.File("f.wav")},
        {Sox("a.flac", "-r 22050 -c 2 -b 24"), dir.File("a.flac")},
        {rf64, wav24},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.path);
        const std::string output = dir.File("out.wav");
        std::remove(output.c_str());
        ASSERT_EQ(
            Cli("import " + Quote(input.path) + " " + Quote(output) + " --bits 16 --no-dither"), 0)
            << err;
        EXPECT_EQ(err, "");
        EXPECT_EQ(Info("-t", output), "wav");
        EXPECT_EQ(Info("-b", output), "16");
        EXPECT_EQ(Info("-r", output), Info("-r", input.reference));
        EXPECT_EQ(Info("-c", output), Info("-c", input.reference));
        EXPECT_TRUE(SoxPcm(output, 16, false, dir.File("ours.raw")) ==
                    SoxPcm(input.reference, 16, false, dir.File("ref.raw")));
        // With dither (the default) it is as close as dither allows.
        std::remove(output.c_str());
        ASSERT_EQ(Cli("import " + Quote(input.path) + " " + Quote(output) + " --bits 16"), 0)
            << err;
        EXPECT_LE(RmsDifference(Samples16(SoxPcm(output, 16, false, dir.File("ours.raw"))),
                                Samples16(SoxPcm(input.reference, 16, false, dir.File("r.raw")))),
                  1.0);
    }
}

// Without --bits the document is as deep as the source: the same samples where the rate stays,
// and sox's own conversion at 16-bit scale where it changes (or 64-bit floats become 32-bit).
TEST_F(CliImport, ImportKeepsTheSourcesDepth) {
    struct Case {
        const char* name;
        const char* make;  // sox options of the source
        const char* out;   // the imported file's name
        int bits;
        const char* form;  // "int" or "float"
        unsigned rate;     // the imported rate
        bool bExact;       // the source's own samples (no resampling, no narrower floats)
    };
    const Case cases[] = {
        {"s16.flac", "-r 44100 -c 2 -b 16", "a.wav", 16, "int", 44100, true},
        {"s24.flac", "-r 44100 -c 2 -b 24", "b.wav", 24, "int", 44100, true},
        {"s24.wav", "-r 22050 -c 1 -b 24 -e signed-integer", "c.aif", 24, "int", 22050, true},
        {"s32.wav", "-r 32000 -c 2 -b 32 -e signed-integer", "d.wav", 32, "int", 32000, true},
        {"s32.aiff", "-r 48000 -c 1 -b 32 -e signed-integer", "e.wav", 32, "int", 48000, true},
        {"f32.wav", "-r 44100 -c 2 -b 32 -e floating-point", "f.aif", 32, "float", 44100, true},
        {"f32.aifc", "-t aifc -r 16000 -c 1 -b 32 -e floating-point", "g.wav", 32, "float", 16000,
         true},
        {"f64.wav", "-r 8000 -c 1 -b 64 -e floating-point", "h.wav", 32, "float", 8000, false},
        {"r96.flac", "-r 96000 -c 2 -b 24", "i.wav", 24, "int", 48000, false},
        {"r88.wav", "-r 88200 -c 1 -b 32 -e floating-point", "j.wav", 32, "float", 44100, false},
        {"r4k.wav", "-r 4000 -c 1 -b 24 -e signed-integer", "k.aif", 24, "int", 8000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = Sox(c.name, c.make);
        const std::string output = dir.File(c.out);
        ASSERT_EQ(Cli("import " + Quote(in) + " " + Quote(output)), 0) << err;
        ASSERT_EQ(Cli("info " + Quote(output)), 0) << err;
        EXPECT_NE(out.find("\"bitsPerSample\": " + std::to_string(c.bits) + ","), std::string::npos)
            << out;
        EXPECT_NE(out.find(std::string("\"sampleFormat\": \"") + c.form + "\""), std::string::npos)
            << out;
        EXPECT_EQ(Info("-r", output), std::to_string(c.rate));
        EXPECT_EQ(Info("-c", output), Info("-c", in));
        if (c.bExact) {
            const std::string encoding = std::string(c.form) == "float"
                                             ? "floating-point -b 32"
                                             : "signed-integer -b " + std::to_string(c.bits);
            EXPECT_TRUE(RawOf(output, encoding) == RawOf(in, encoding));
        } else {
            const std::vector<int16_t> ours =
                Samples16(SoxPcm(output, 16, false, dir.File("ours.raw")));
            const std::vector<int16_t> sox = Samples16(
                SoxPcm(in, 16, false, dir.File("sox.raw"), "rate -v " + std::to_string(c.rate)));
            ASSERT_EQ(ours.size(), sox.size());
            // Up-sampling differs from sox's by a step here and there, as at 16 bits.
            EXPECT_LE(Compare(ours, sox).largest, 2);
            EXPECT_LT(RmsDifference(ours, sox), 0.5);
        }
    }
}

TEST_F(CliImport, TypeAndBitsChooseTheOutput) {
    const std::string in = Sox("a.wav", "-r 32000 -c 1 -b 24 -e signed-integer");
    ASSERT_EQ(Cli("import " + Quote(in) + " " + Quote(dir.File("o.aif")) + " --bits 8"), 0) << err;
    EXPECT_EQ(Info("-t", dir.File("o.aif")), "aiff");
    EXPECT_EQ(Info("-b", dir.File("o.aif")), "8");
    ASSERT_EQ(Cli("import " + Quote(in) + " " + Quote(dir.File("o.snd")) + " --type aiff"), 0)
        << err;
    EXPECT_EQ(Info("-t", dir.File("o.snd")), "aiff");
    // The result is a native document: info reads it.
    ASSERT_EQ(Cli("info " + Quote(dir.File("o.aif"))), 0) << err;
    EXPECT_NE(out.find("\"bitsPerSample\": 8,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"sampleRate\": 32000,"), std::string::npos) << out;
}

TEST_F(CliImport, UsageErrorsExitWith2) {
    const std::string in = Sox("a.wav", "-r 32000 -c 1 -b 24 -e signed-integer");
    const std::string o = Quote(dir.File("o.wav"));
    EXPECT_EQ(Cli("import " + Quote(in)), 2);
    EXPECT_NE(err.find("sonomap-cli import: name IN and OUT"), std::string::npos) << err;
    EXPECT_NE(err.find("Try 'sonomap-cli import --help' for more information."), std::string::npos)
        << err;
    EXPECT_EQ(Cli("import " + Quote(in) + " " + o + " --bits 12"), 2);
    EXPECT_NE(err.find("--bits is 8, 16, 24 or 32, not '12'"), std::string::npos) << err;
    EXPECT_EQ(Cli("import " + Quote(in) + " " + o + " --type flac"), 2);
    EXPECT_NE(err.find("--type is wav or aiff, not 'flac'"), std::string::npos) << err;
    EXPECT_EQ(Cli("import " + Quote(in) + " " + o + " --dither"), 2);
    EXPECT_NE(err.find("unknown option --dither"), std::string::npos) << err;
    // Import never writes over its source, whatever the name it is given by.
    const std::string before = Slurp(in);
    EXPECT_EQ(Cli("import " + Quote(in) + " " + Quote(dir.Path().string() + "/./a.wav")), 2);
    EXPECT_NE(err.find("OUT must differ from IN"), std::string::npos) << err;
    EXPECT_EQ(Slurp(in), before);
    EXPECT_EQ(Cli("import --help"), 0);
    EXPECT_EQ(out.rfind("usage: sonomap-cli import IN OUT", 0), 0u) << out;
}

TEST_F(CliImport, RefusalsExitWith1WithTheirMessage) {
    const std::string three = Sox("three.wav", "-r 44100 -c 3 -b 24");
    EXPECT_EQ(Cli("import " + Quote(three) + " " + Quote(dir.File("o.wav"))), 1);
    EXPECT_EQ(err,
              "Can't import three.wav!\nIt has 3 channels; Sonomap takes mono or stereo "
              "sounds only.\n");
    WriteBytes(dir.File("notes.txt"), Bytes{'n', 'o', 't', 'e', 's'});
    EXPECT_EQ(Cli("import " + Quote(dir.File("notes.txt")) + " " + Quote(dir.File("o.wav"))), 1);
    EXPECT_EQ(err, "Can't import notes.txt!\nlibsndfile reports: Format not recognised.\n");
    EXPECT_FALSE(std::ifstream(dir.File("o.wav")).good()) << "a refusal must leave no file";
}

TEST_F(CliImport, ARateBelow6000HzImportsAt8000Hz) {
    // A second at 4000 Hz: a second at 8000 Hz, as sox reads it back.
    const std::string low = Sox("low.wav", "-r 4000 -c 1 -b 16");
    ASSERT_EQ(Cli("import " + Quote(low) + " " + Quote(dir.File("o.wav"))), 0) << err;
    EXPECT_EQ(SoxTools::Describe(dir.File("o.wav")), "1 8000 16 1600");
}

TEST_F(CliImport, APanChunkRidesAlongAndInfoStillRefusesTheSource) {
    // A 24-bit WAV at 96 kHz with a trajectory: the native open refuses its rate, import keeps
    // the points on the same moments.
    TestSound sound;
    sound.format = MakeFormat(1, 96000, 24);
    sound.samples = Bytes(3 * 400, 0);
    sound.points = {{0, -90}, {400, 90}};
    sound.chunkFrames = 400;
    const std::string in = dir.File("pan.wav");
    WriteBytes(in, BuildSoundFile(sound));
    EXPECT_EQ(Cli("info " + Quote(in)), 1);
    EXPECT_NE(err.find("Invalid file format!"), std::string::npos) << err;
    ASSERT_EQ(Cli("import " + Quote(in) + " " + Quote(dir.File("o.wav"))), 0) << err;
    ASSERT_EQ(Cli("info " + Quote(dir.File("o.wav"))), 0) << err;
    EXPECT_NE(out.find("\"panPoints\": [[0, -90], [200, 90]],"), std::string::npos) << out;
    EXPECT_NE(out.find("\"messages\": []"), std::string::npos) << out;
}
