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

    TempDir dir;
    std::string out, err;
};

}  // namespace

// The done-when formats: 24-bit and float WAV, FLAC and RF64 each become a 16-bit WAV whose
// samples are sox's own conversion of the source.
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
        ASSERT_EQ(Cli("import " + Quote(input.path) + " " + Quote(output) + " --no-dither"), 0)
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
        ASSERT_EQ(Cli("import " + Quote(input.path) + " " + Quote(output)), 0) << err;
        EXPECT_LE(RmsDifference(Samples16(SoxPcm(output, 16, false, dir.File("ours.raw"))),
                                Samples16(SoxPcm(input.reference, 16, false, dir.File("r.raw")))),
                  1.0);
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
    EXPECT_NE(err.find("usage: sonomap-cli import IN OUT"), std::string::npos) << err;
    EXPECT_EQ(Cli("import " + Quote(in) + " " + o + " --bits 24"), 2);
    EXPECT_NE(err.find("--bits is 8 or 16, not '24'"), std::string::npos) << err;
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
