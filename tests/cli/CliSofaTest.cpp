// render --binaural through SOFA files with the real sonomap-cli: a file that cannot serve is
// refused with its name and reason, exit 1, and no output is made or touched; --list-hrtfs
// starts with the default set, and each SOFA set renders at the sound's own rate.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../binaural/SofaTestSets.h"
#include "CliRun.h"
#include "sofa/SofaHrtfSet.h"
#include "support/DocumentTestFiles.h"
#include "support/SoxTools.h"

namespace {

class CliSofaTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args) { return RunCli(dir, args, "ALSOFT_DRIVERS=null "); }
    std::string Take() {
        TestSound sound;
        sound.format = MakeFormat(1, 11025, 16);
        sound.samples = Pattern(4000);
        sound.points = {{0, -60}, {1999, 80}};
        sound.chunkFrames = 2000;
        WriteBytes(dir.File("take.wav"), BuildSoundFile(sound));
        return dir.File("take.wav");
    }
    TempDir dir;
};

}  // namespace

TEST_F(CliSofaTest, AFileThatCannotServeIsRefusedWithItsReasonAndNothingIsWritten) {
    const std::string take = Take();
    const std::string text = dir.File("words.sofa");
    std::ofstream(text) << "not an HRTF";
    const std::string cut = dir.File("cut.sofa");
    const std::string whole = Slurp(SofaHrtfSet::DefaultPath());
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() / 2);
    const struct {
        std::string file;
        const char* reason;
    } cases[] = {
        {dir.File("missing.sofa"), "it cannot be read"},
        {text, "it is not a SOFA file"},
        {cut, "it is cut short"},
        {SofaSetPath("general-fir"), "not SimpleFreeFieldHRIR"},
        {SofaSetPath("one-ear"), "it holds one ear only"},
        {SofaSetPath("no-measurements"), "it holds no measurements"},
        {SofaSetPath("rate-zero"), "its sampling rate of 0 Hz cannot be resampled"},
    };
    const std::string kept = dir.File("kept.wav");
    std::ofstream(kept) << "an older file";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        for (const std::string& out : {dir.File("new.wav"), kept}) {
            const CliRun run =
                Cli("render " + take + " -o " + out + " --binaural --hrtf " + c.file);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_NE(run.err.find("\"" + c.file + "\" cannot be used: "), std::string::npos)
                << run.err;
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.File("new.wav")));
        EXPECT_EQ(Slurp(kept), "an older file");
    }
}

TEST_F(CliSofaTest, ListHrtfsStartsWithTheDefaultSetAndEachSofaSetRendersAtTheSoundsRate) {
    const CliRun list = Cli("render --list-hrtfs");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::istringstream lines(list.out);
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first, SofaHrtfSet::DefaultPath());

    const std::string take = Take();
    std::string previous;
    for (const std::string& hrtf : {std::string(), first, SofaSetPath("grid-96000")}) {
        SCOPED_TRACE(hrtf);
        const std::string out = dir.File("out.wav");
        const CliRun run = Cli("render " + take + " -o " + out + " --binaural" +
                               (hrtf.empty() ? "" : " --hrtf " + hrtf));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(SoxTools::Describe(out), "2 11025 16 2000");
        // No --hrtf is the default set; another set is another sound.
        const std::string samples = Slurp(out);
        EXPECT_EQ(samples == previous, hrtf == first);
        previous = samples;
    }
}
