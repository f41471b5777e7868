// sonomap-cli end to end: the real binary on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "platform/ByteOrder.h"
#include "support/DocumentTestFiles.h"
#include "support/OpenAlBackEnd.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

using namespace std::string_literals;

class CliTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args, const std::string& env = "") {
        return RunCli(dir, args, env);
    }
    std::string Write(const std::string& name, const TestSound& sound) {
        WriteBytes(dir.File(name), BuildSoundFile(sound));
        return dir.File(name);
    }

    TempDir dir;
};

TestSound Sample() {
    TestSound sound;
    sound.format = MakeFormat(2, 32000, 16);
    sound.samples = Pattern(4006);  // 1001 frames and a partial one
    sound.points = {{0, -90}, {1001, 45}};
    sound.chunkFrames = 1001;
    sound.bCarriedFlag = true;
    sound.carriedValue = 513;
    sound.chunksBefore = Chunk("LIST", Bytes(26, 'x'), false);
    sound.chunksAfter = Chunk("odd!", Bytes{1, 2, 3}, false);
    return sound;
}

const char* const kShorter =
    "This file has been modified outside of Sonomap.\n\nIt is shorter than it was when the "
    "AmbrelChunk was created.\nAny pan points which fall beyond the end of the file will be "
    "removed!";

}  // namespace

TEST_F(CliTest, InfoPrintsOneJsonObject) {
    const CliRun run = Cli("info " + Write("take.wav", Sample()));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(
        run.out,
        "{\n"
        "  \"type\": \"WAVE\",\n"
        "  \"channels\": 2,\n"
        "  \"sampleRate\": 32000,\n"
        "  \"bitsPerSample\": 16,\n"
        "  \"sampleFormat\": \"int\",\n"
        "  \"dataBytes\": 4006,\n"
        "  \"frames\": 1001,\n"
        "  \"panPoints\": [[0, -90], [1001, 45]],\n"
        "  \"frontal\": true,\n"
        "  \"trajectory\": [{\"frame\": 0, \"azimuth\": -90, \"elevation\": 0, \"distance\": 1, "
        "\"width\": 0}, {\"frame\": 1001, \"azimuth\": 45, \"elevation\": 0, \"distance\": 1, "
        "\"width\": 0}],\n"
        "  \"carriedFlag\": 1,\n"
        "  \"carriedValue\": 513,\n"
        "  \"unrecognizedChunks\": [{\"id\": \"LIST\", \"idHex\": \"4c495354\", \"size\": 26}, "
        "{\"id\": \"odd!\", \"idHex\": \"6f646421\", \"size\": 3}],\n"
        "  \"modified\": false,\n"
        "  \"messages\": []\n"
        "}\n");
}

TEST_F(CliTest, InfoCarriesTheMessagesOpeningShowed) {
    TestSound sound = Sample();
    sound.chunkFrames = 2000;
    sound.points.push_back({1500, 10});
    const CliRun run = Cli("info " + Write("cut.wav", sound));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, std::string(kShorter) + "\n");
    EXPECT_NE(run.out.find("\"panPoints\": [[0, -90], [1001, 45]]"), std::string::npos);
    EXPECT_NE(run.out.find("\"modified\": true"), std::string::npos);
    EXPECT_NE(run.out.find("\"messages\": [\"This file has been modified outside of "
                           "Sonomap.\\n\\nIt is shorter"),
              std::string::npos);
}

TEST_F(CliTest, InfoIsValidUtf8JsonForAnyChunkIdAndFileName) {
    TestSound sound = Sample();
    sound.bAiff = true;
    sound.chunkFrames = 2000;  // a message to carry too
    sound.chunksBefore = Chunk("\xFF\x00\x1F\x7F", Bytes{1, 2}, true);
    sound.chunksAfter = Chunk("\xC3\xA9\x22\\", Bytes{3}, true);
    const std::string name = "take-\xE9\xFF.aif";  // a Latin-1 name: not UTF-8
    const CliRun run = Cli("info '" + Write(name, sound) + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json info;
    ASSERT_NO_THROW(info = nlohmann::json::parse(run.out)) << run.out;  // strict about UTF-8
    ASSERT_EQ(info["unrecognizedChunks"].size(), 2u);
    EXPECT_EQ(info["unrecognizedChunks"][0]["id"], "\xC3\xBF\x00\x1F\x7F"s);
    EXPECT_EQ(info["unrecognizedChunks"][0]["idHex"], "ff001f7f");
    EXPECT_EQ(info["unrecognizedChunks"][1]["id"], "\xC3\xA9\"\\");
    EXPECT_EQ(info["unrecognizedChunks"][1]["idHex"], "c3a9225c");
    ASSERT_EQ(info["messages"].size(), 1u);
    EXPECT_EQ(info["messages"][0], kShorter);
}

TEST_F(CliTest, ARefusedFileIsReportedOnStderr) {
    WriteBytes(dir.File("text.wav"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'u', 'n', 'd'});
    CliRun run = Cli("info " + dir.File("text.wav"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    // The message as the editor shows it, then the line that names the file and the reason.
    EXPECT_EQ(run.err,
              "Error loading wave information... is this a valid '.wav' or '.aif' file?\n"
              "Sonomap cannot open " +
                  dir.File("text.wav") + ": not a WAV or AIFF file.\n");

    TestSound fast = Sample();
    fast.format = MakeFormat(1, 96000, 16);
    run = Cli("set-points " + Write("fast.wav", fast) + " --points 0:0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Invalid file format!\nFile must be mono or stereo", 0), 0u);
}

TEST_F(CliTest, SetPointsReplacesTheTrajectoryInPlace) {
    const std::string path = Write("take.wav", Sample());
    CliRun run = Cli("set-points " + path + " --points '100:10, 50:-20,1001:90'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = Cli("info " + path);
    EXPECT_NE(run.out.find("\"panPoints\": [[50, -20], [100, 10], [1001, 90]]"), std::string::npos);
    EXPECT_NE(run.out.find("\"carriedValue\": 513"), std::string::npos);
    EXPECT_NE(run.out.find("{\"id\": \"LIST\", \"idHex\": \"4c495354\", \"size\": 26}, "
                           "{\"id\": \"odd!\""),
              std::string::npos);

    std::ofstream(dir.File("points.csv")) << "position,pan\n# a comment\n\n7,-7\n8:8\n";
    run = Cli("set-points " + path + " --points-file " + dir.File("points.csv"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(Cli("info " + path).out.find("\"panPoints\": [[7, -7], [8, 8]]"), std::string::npos);

    run = Cli("set-points " + path + " --points ''");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = Cli("info " + path);
    EXPECT_NE(run.out.find("\"panPoints\": []"), std::string::npos);
    EXPECT_NE(run.out.find("\"carriedFlag\": 0"), std::string::npos);
}

TEST_F(CliTest, SetPointsTakesPlacesAllAroundAndInfoGivesThemBack) {
    const std::string path = Write("take.wav", Sample());
    const char* const kTrajectory =
        "\"trajectory\": [{\"frame\": 0, \"azimuth\": -170, \"elevation\": 10, \"distance\": 2.5, "
        "\"width\": 30}, {\"frame\": 500, \"azimuth\": 120, \"elevation\": 0, \"distance\": 1, "
        "\"width\": 0}, {\"frame\": 1001, \"azimuth\": 180, \"elevation\": -90, \"distance\": "
        "0.1, \"width\": 180}]";
    for (const char* type : {"wav", "aiff"}) {
        const std::string out = dir.File(std::string("around.") + type);
        const CliRun set =
            Cli("set-points " + path +
                " --points '0:-170:10:2.5:30,500:120,1001:-180:-90:0.1:180' --save-as " + out +
                " --type " + type);
        ASSERT_EQ(set.exitCode, 0) << set.err;
        const CliRun info = Cli("info " + out);
        EXPECT_NE(info.out.find("\"frontal\": false"), std::string::npos) << type;
        EXPECT_NE(info.out.find(kTrajectory), std::string::npos) << info.out;
        // What a reader of the pan points alone sees: the fold onto the front.
        EXPECT_NE(info.out.find("\"panPoints\": [[0, -10], [500, 60], [1001, 0]]"),
                  std::string::npos)
            << info.out;
    }
    std::ofstream(dir.File("places.csv"))
        << "frame,azimuth,elevation,distance,width\n0,90\n10,-135,45,12.75,90\n";
    ASSERT_EQ(Cli("set-points " + path + " --points-file " + dir.File("places.csv")).exitCode, 0);
    EXPECT_NE(Cli("info " + path)
                  .out.find("{\"frame\": 10, \"azimuth\": -135, \"elevation\": 45, "
                            "\"distance\": 12.75, \"width\": 90}"),
              std::string::npos);
}

TEST_F(CliTest, SetPointsCanSaveAsTheOtherTypeLeavingTheInputAlone) {
    const std::string path = Write("take.wav", Sample());
    const Bytes before = ReadBytes(path);
    const CliRun run =
        Cli("set-points " + path + " --points 5:5 --save-as " + dir.File("out") + " --type aiff");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err,
              "Due to file type conversion, unrecognized chunks will NOT be translated to the new "
              "output file!\n");
    EXPECT_EQ(ReadBytes(path), before);
    const CliRun info = Cli("info " + dir.File("out.aif"));
    EXPECT_NE(info.out.find("\"type\": \"AIFF\""), std::string::npos);
    EXPECT_NE(info.out.find("\"panPoints\": [[5, 5]]"), std::string::npos);
    EXPECT_NE(info.out.find("\"unrecognizedChunks\": []"), std::string::npos);
}

TEST_F(CliTest, SaveAsFollowsTheExtensionThenTheDocumentsType) {
    const std::string path = Write("take.wav", Sample());
    EXPECT_EQ(Cli("save-as " + path + " " + dir.File("a.aiff")).exitCode, 0);
    EXPECT_NE(Cli("info " + dir.File("a.aiff")).out.find("\"type\": \"AIFF\""), std::string::npos);

    CliRun run = Cli("save-as " + dir.File("a.aiff") + " " + dir.File("b.wav"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");  // no chunks left to lose
    EXPECT_NE(Cli("info " + dir.File("b.wav")).out.find("\"type\": \"WAVE\""), std::string::npos);

    run = Cli("save-as " + path + " " + dir.File("c.snd"));
    EXPECT_EQ(run.exitCode, 0);
    run = Cli("info " + dir.File("c.snd"));
    EXPECT_NE(run.out.find("\"type\": \"WAVE\""), std::string::npos);
    EXPECT_NE(run.out.find("\"id\": \"LIST\""), std::string::npos);  // same type: chunks kept

    EXPECT_EQ(Cli("save-as " + path + " " + dir.File("d.wav") + " --type aiff").exitCode, 0);
    EXPECT_EQ(ReadBytes(dir.File("d.wav"))[0], 'F');

    run = Cli("save-as " + path + " " + dir.File("missing/e.wav"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.empty());
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndHelpWithZero) {
    const std::string path = Write("take.wav", Sample());
    const char* const bad[] = {
        "", "info", "info a b", "set-points x.wav", "save-as only-one", "info x --bogus",
    };
    for (const char* args : bad) {
        EXPECT_EQ(Cli(args).exitCode, 2) << args;
    }
    EXPECT_EQ(Cli("frobnicate").exitCode, 2);
    EXPECT_EQ(Cli("set-points " + path + " --points 1:1 --points-file f").exitCode, 2);
    // A value out of range is named.
    const std::pair<const char*, const char*> outOfRange[] = {
        {"1:181", "azimuth 181 lies outside -180 ... 180 degrees"},
        {"1:0:91", "elevation 91 lies outside -90 ... 90 degrees"},
        {"1:0:0:0.05", "distance 0.05 lies outside 0.1 ... 100 metres"},
        {"1:0:0:100.5", "distance 100.5 lies outside 0.1 ... 100 metres"},
        {"1:0:0:1:181", "width 181 lies outside 0 ... 180 degrees"},
        {"1:0:0:1:0:0", "not a point"},
    };
    for (const auto& [points, named] : outOfRange) {
        const CliRun run = Cli("set-points " + path + " --points " + points);
        EXPECT_EQ(run.exitCode, 2) << points;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    }
    EXPECT_EQ(Cli("set-points " + path + " --points 1-1").exitCode, 2);
    EXPECT_EQ(Cli("set-points " + path + " --points 1:1 --type wav").exitCode, 2);
    EXPECT_EQ(Cli("save-as " + path + " o.wav --type mp3").exitCode, 2);
    const CliRun pastTheEnd = Cli("set-points " + path + " --points 1002:0");
    EXPECT_EQ(pastTheEnd.exitCode, 2);
    EXPECT_NE(pastTheEnd.err.find("past the end of the sound (1001 frames)"), std::string::npos);

    for (const char* command : {"--help", "info --help", "set-points --help", "save-as --help"}) {
        const CliRun help = Cli(command);
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: sonomap-cli", 0), 0u) << command;
    }
}

// More points than a file holds fail with the limit and the way out; --thin keeps the fewest
// within its tolerance, after new points or alone on the file's own.
TEST_F(CliTest, SetPointsThinsWhatAFileCannotHold) {
    TestSound sound;
    sound.samples = Pattern(2 * 80000);
    const std::string path = Write("long.wav", sound);
    {
        std::ofstream csv(dir.File("flutter.csv"));
        for (int i = 1; i <= 70001; ++i) {
            csv << i << "," << (i % 2) << "\n";  // a degree's flutter
        }
    }
    const std::string flutter = " --points-file " + dir.File("flutter.csv");
    const struct {
        std::string args;
        int exitCode;
        std::string said;  // on stderr
        int points;        // in the file afterwards, -1 unchanged
    } cases[] = {
        {flutter, 1,
         "Error saving achunk!\nA sound file holds at most 65,535 pan points, and "
         "this trajectory has 70,001. Thin it to fewer: Save offers to, and "
         "sonomap-cli set-points takes --thin DEGREES.",
         -1},
        {flutter + " --thin 0.5", 1, "Error saving achunk!", -1},
        {flutter + " --thin 1", 0, "", 2},
        {" --points 0:0,100:10,200:20,300:25,400:0", 0, "", 5},
        {" --thin 3", 0, "", 4},
        {" --thin 0", 2, "--thin is DEGREES from 0.01 to 45, not '0'", -1},
        {" --thin one", 2, "--thin is DEGREES from 0.01 to 45, not 'one'", -1},
    };
    int points = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun run = Cli("set-points " + path + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        const std::string info = Cli("info " + path).out;
        const nlohmann::json json = nlohmann::json::parse(info);
        if (c.points >= 0) {
            points = c.points;
        }
        EXPECT_EQ(json["panPoints"].size(), static_cast<size_t>(points));
    }
}

TEST_F(CliTest, RenderFollowsTheExtensionOrTheTypeOption) {
    const std::string path = Write("take.wav", Sample());
    CliRun run = Cli("render " + path + " -o " + dir.File("out.aiff"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Not a terminal: no progress lines, only what was measured of the output.
    EXPECT_EQ(run.err, dir.File("out.aiff") + ": -inf LUFS, true peak 0.8 dBTP\n");
    const Bytes aiff = ReadBytes(dir.File("out.aiff"));
    ASSERT_GT(aiff.size(), 12u);
    EXPECT_EQ(std::string(aiff.begin() + 8, aiff.begin() + 12), "AIFF");

    EXPECT_EQ(Cli("render " + path + " -o " + dir.File("out.snd")).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.snd"))[0], 'R');
    EXPECT_EQ(Cli("render " + path + " -o " + dir.File("typed.wav") + " --type aiff").exitCode, 0);
    EXPECT_EQ(ReadBytes(dir.File("typed.wav"))[0], 'F');

    // The input is the open document: it cannot be its own output.
    run = Cli("render " + path + " -o " + path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("take.wav: not rendered"), std::string::npos);
}

TEST_F(CliTest, RenderBatchReportsTheBadFileAndFinishesTheOthers) {
    TestSound noPoints = Sample();
    noPoints.points.clear();
    const std::string good1 = Write("one.wav", Sample());
    const std::string bad = Write("two.wav", noPoints);
    const std::string good3 = Write("three.wav", Sample());
    std::filesystem::create_directory(dir.Path() / "out");
    const CliRun run = Cli("render " + good1 + " " + bad + " " + good3 + " --output-dir " +
                           dir.File("out") + " --type aiff --jobs 2");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(bad + ": No Pan Events to track!\nThe sound has no trajectory"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Pan Points in the editor, or with sonomap-cli set-points"),
              std::string::npos);
    EXPECT_NE(run.err.find("sonomap-cli render: " + bad + ": not rendered"), std::string::npos);
    EXPECT_EQ(run.err.find("one.wav: not"), std::string::npos);
    EXPECT_EQ(run.err.find("three.wav: not"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/two.aif")));
    for (const char* name : {"out/one.aif", "out/three.aif"}) {
        const std::string command = "soxi -t -c -r " + dir.File(name) + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << name;
        const Bytes file = ReadBytes(dir.File(name));
        ASSERT_GT(file.size(), 12u) << name;
        EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "AIFF") << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "out"), {}), 2);
}

TEST_F(CliTest, RenderUsageErrors) {
    const std::string path = Write("take.wav", Sample());
    const std::string other = Write("other.wav", Sample());
    const std::string cases[] = {
        "render",
        "render " + path,
        "render " + path + " -o a.wav --output-dir " + dir.File(""),
        "render " + path + " " + other + " -o a.wav",
        "render " + path + " -o a.wav --type mp3",
        "render " + path + " -o a.wav --jobs 0",
        "render " + path + " -o a.wav --jobs two",
        "render " + path + " " + path + " --output-dir " + dir.File("o"),
        "render " + path + " -x a.wav",
        "render " + path + " -o a.wav --adm --binaural",
        "render " + path + " -o a.wav --adm --sample-format s12",
        "render " + path + " -o a.aif --adm --type aiff",
    };
    // One line says what is wrong, a second where the help is: the help itself is not
    // repeated.
    for (const std::string& args : cases) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.err.rfind("sonomap-cli render: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_NE(run.err.find("\nTry 'sonomap-cli render --help' for more information.\n"),
                  std::string::npos)
            << run.err;
    }
    for (const auto& [args, line] :
         {std::pair<std::string, std::string>{"", "sonomap-cli: name a command"},
          {"paint x.wav", "sonomap-cli: unknown command 'paint'"},
          {"import", "sonomap-cli import: name IN and OUT"},
          {"batch", "sonomap-cli batch: name one MANIFEST"},
          {"info", "sonomap-cli info: name one FILE"}}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.err.rfind(line, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    }
    const CliRun help = Cli("render --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: sonomap-cli render IN...", 0), 0u);
    const std::string overview = Cli("--help").out;
    for (const char* option : {"render IN...", "--layout NAME", "--loudness LUFS", "--report"}) {
        EXPECT_NE(overview.find(option), std::string::npos) << option;
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

namespace {

// The binaural render needs no sound card, no sound server and no audio back end at all.
const std::string kNoBackEnd = "ALSOFT_DRIVERS="s + OpenAlBackEnd::kNoDevice + " ";

// A build without the mixer library has no binaural render; its CLI says so.
bool CliHasMixer() {
#ifdef SONOMAP_CLI_HAS_MIXER
    return true;
#else
    return false;
#endif
}

TestSound MonoNoise(uint32_t rate, uint32_t frames, std::vector<PanChunkPoint> points,
                    bool bLoud = false) {
    TestSound sound;
    sound.format = MakeFormat(1, rate, 16);
    sound.samples = Pattern(size_t{frames} * 2, rate);
    if (!bLoud) {
        // Pattern bytes are full-scale noise; a quarter of it leaves the mix headroom.
        for (size_t i = 1; i < sound.samples.size(); i += 2) {
            sound.samples[i] = static_cast<uint8_t>(static_cast<int8_t>(sound.samples[i]) / 4);
        }
    }
    sound.points = std::move(points);
    sound.chunkFrames = frames;
    return sound;
}

}  // namespace

TEST_F(CliTest, ListHrtfsPrintsOneNameALineAsHrtfTakesThem) {
    const CliRun run = Cli("render --list-hrtfs", kNoBackEnd);
    if (!CliHasMixer()) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.err.find("no mixer library"), std::string::npos);
        GTEST_SKIP() << "built without the mixer library";
    }
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> names;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line);
    }
    ASSERT_FALSE(names.empty());
    EXPECT_NE(std::find(names.begin(), names.end(), "default-48000"), names.end());

    // Each name picks its data set, and with it the output rate.
    const std::string in = Write("in.wav", MonoNoise(22050, 4410, {{0, 60}}));
    const CliRun chosen =
        Cli("render " + in + " -o " + dir.File("b.wav") + " --binaural --hrtf default-48000",
            kNoBackEnd);
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_EQ(SoxTools::Info("-r", dir.File("b.wav")), "48000");
    // Names with spaces are one argument.
    const std::string spaced = names.back();
    EXPECT_EQ(
        Cli("render " + in + " -o " + dir.File("c.wav") + " --binaural --hrtf '" + spaced + "'")
            .exitCode,
        0);
}

TEST_F(CliTest, RenderBinauralWritesSixteenBitStereoAtTheHrtfsRateAndSaysWhenItScales) {
    if (!CliHasMixer()) {
        EXPECT_EQ(Cli("render x.wav -o y.wav --binaural").exitCode, 1);
        GTEST_SKIP() << "built without the mixer library";
    }
    const std::string in = Write("in.wav", MonoNoise(22050, 22050, {{0, -90}, {22049, 90}}));
    const std::string loud = Write("loud.wav", MonoNoise(44100, 44100, {{0, 80}}, true));
    std::filesystem::create_directory(dir.Path() / "out");
    const CliRun run = Cli("render " + in + " " + loud + " --output-dir " + dir.File("out") +
                               " --type aiff --binaural --hrtf default-44100 --jobs 2",
                           kNoBackEnd);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const auto& [name, description] :
         {std::pair{"out/in.aif", "2 44100 16 44100"}, {"out/loud.aif", "2 44100 16 44100"}}) {
        EXPECT_EQ(SoxTools::Describe(dir.File(name)), description) << name;
    }
    // Only the loud one was scaled, and stderr says by how much.
    EXPECT_NE(run.err.find(loud + ": The mix would have gone past full scale, so it was scaled "
                                  "down by "),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find(in + ":"), std::string::npos) << run.err;
}

TEST_F(CliTest, RenderBinauralUsageErrors) {
    const std::string path = Write("take.wav", MonoNoise(22050, 100, {{0, 0}}));
    EXPECT_EQ(Cli("render " + path + " -o a.wav --hrtf default-44100").exitCode, 2);
    EXPECT_EQ(Cli("render --list-hrtfs " + path).exitCode, 2);
    EXPECT_EQ(Cli("render --list-hrtfs --binaural").exitCode, 2);
    if (CliHasMixer()) {
        const CliRun unknown =
            Cli("render " + path + " -o " + dir.File("a.wav") + " --binaural --hrtf nothing");
        EXPECT_EQ(unknown.exitCode, 2);
        EXPECT_NE(unknown.err.find("--list-hrtfs"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.File("a.wav")));
    }
}

// Export ADM through the command line, then import: the same trajectory comes back, at the
// sound's own samples or, asked for, as floats that hold every 16-bit sample exactly.
TEST_F(CliTest, RenderAdmImportsBackToTheSameTrajectory) {
    const std::string in = Write("take.wav", MonoNoise(22050, 4000, {{0, 0}}));
    ASSERT_EQ(Cli("set-points " + in + " --points 100:-150:30:2.5,3000:45:-20:0.5").exitCode, 0);
    const std::string adm = dir.File("take-adm.wav");
    const CliRun render = Cli("render " + in + " -o " + adm + " --adm --sample-format s16");
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const std::string back = dir.File("back.wav");
    const CliRun import = Cli("import " + adm + " " + back);
    ASSERT_EQ(import.exitCode, 0) << import.err;
    // The trajectory's JSON array, which holds no ']' of its own before its end.
    const auto trajectory = [](const std::string& info) {
        const size_t at = info.find("\"trajectory\": [");
        return at == std::string::npos ? std::string() : info.substr(at, info.find(']', at) - at);
    };
    const std::string before = trajectory(Cli("info " + in).out);
    EXPECT_NE(before.find("\"azimuth\": -150"), std::string::npos) << before;
    EXPECT_EQ(trajectory(Cli("info " + back).out), before);
    const std::string deep = dir.File("deep.wav");
    const CliRun deeper = Cli("render " + in + " -o " + deep + " --adm --sample-format f32");
    ASSERT_EQ(deeper.exitCode, 0) << deeper.err;
    const std::string info = Cli("info " + deep).out;
    EXPECT_NE(info.find("\"sampleFormat\": \"float\""), std::string::npos) << info;
    const std::string deepBack = dir.File("deep-back.wav");
    ASSERT_EQ(Cli("import " + deep + " " + deepBack).exitCode, 0);
    EXPECT_EQ(trajectory(Cli("info " + deepBack).out), before);
    if (SoxTools::Available()) {
        const std::vector<uint8_t> samples = SoxTools::SoxPcm(in, 16, false, dir.File("a.raw"));
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(SoxTools::SoxPcm(deep, 16, false, dir.File("b.raw")), samples);
    }
}

// A file cut short: the line the editor's status bar shows is among the messages, for a WAV
// and an AIFF alike; a whole file has none.
TEST_F(CliTest, InfoOnAFileCutShortCarriesTheStatusLine) {
    for (bool bAiff : {false, true}) {
        SCOPED_TRACE(bAiff ? "AIFF" : "WAV");
        TestSound sound;
        sound.bAiff = bAiff;
        sound.samples = Pattern(4000);
        const std::string name = bAiff ? "cut.aif" : "cut.wav";
        const std::string path = Write(name, sound);
        nlohmann::json info = nlohmann::json::parse(Cli("info " + path).out);
        EXPECT_TRUE(info["messages"].empty());

        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1000);
        const CliRun run = Cli("info " + path);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_NO_THROW(info = nlohmann::json::parse(run.out)) << run.out;
        ASSERT_EQ(info["messages"].size(), 1u);
        EXPECT_EQ(info["messages"][0], name +
                                           " is shorter than its header says: 1,000 of 4,000 "
                                           "bytes of sample data (0:00.022 of sound) are missing.");
    }
}

TEST_F(CliTest, RenderAmbixAndSampleFormatsWriteWhatTheyAskFor) {
    const std::string in = Write("in.wav", MonoNoise(22050, 4410, {{0, 60}}));
    struct Case {
        std::string args;
        std::string output;
        std::string description;  // "channels rate bits frames" as soxi reads them
        bool bMixer;
    };
    const Case cases[] = {
        {"--ambix", "a.wav", "4 22050 16 4410", false},
        {"--ambix --order 2 --sample-format s24", "b.wav", "9 22050 24 4410", false},
        {"--ambix --order 3 --rate 48000 --sample-format f32", "c.aif", "16 48000 32 9600", false},
        {"--layout 9+10+3 --sample-format s24", "h.wav", "24 22050 24 4410", false},
        {"--layout 0+5+0 --rate 48000 --sample-format s24", "i.aif", "6 48000 24 9600", false},
        {"--binaural --hrtf default-44100 --sample-format s24", "d.wav", "2 44100 24 8820", true},
        {"--binaural --hrtf default-44100 --sample-format f32", "e.aif", "2 44100 32 8820", true},
        {"--binaural --sample-format f32", "j.wav", "2 22050 32 4410", false},
        {"--sample-format s24", "f.wav", "2 22050 24 4410", false},
        {"", "g.wav", "2 22050 16 4410", false},
    };
    for (const Case& c : cases) {
        if (c.bMixer && !CliHasMixer()) {
            continue;
        }
        const CliRun run =
            Cli("render " + in + " -o " + dir.File(c.output) + " " + c.args, kNoBackEnd);
        EXPECT_EQ(run.exitCode, 0) << c.args << ": " << run.err;
        EXPECT_EQ(SoxTools::Describe(dir.File(c.output)), c.description) << c.args;
    }
}

TEST_F(CliTest, RenderAmbixUsageErrorsNameTheOption) {
    const std::string in = Write("in.wav", MonoNoise(22050, 100, {{0, 0}}));
    const std::string out = " -o " + dir.File("a.wav");
    const std::pair<std::string, std::string> cases[] = {
        {"--ambix --order 0", "--order"},
        {"--ambix --order 4", "--order"},
        {"--ambix --order one", "--order"},
        {"--ambix --rate 44100", "--rate"},
        {"--ambix --rate fast", "--rate"},
        {"--ambix --sample-format s8", "--sample-format"},
        {"--binaural --sample-format F32", "--sample-format"},
        {"--order 2", "--order"},
        {"--rate 48000", "--rate"},
        {"--ambix --binaural", "--ambix"},
        {"--layout 5.1.3",
         "0+2+0 (2.0), 0+5+0 (5.1), 2+5+0 (5.1.2), 4+5+0 (5.1.4), 4+5+1, 3+7+0, 4+9+0 (9.1.4), "
         "9+10+3 (22.2), 0+7+0 (7.1), 4+7+0 (7.1.4)"},
        {"--layout 7.1.2", "7.1.2 is not an ITU-R BS.2051 layout; the nearest are 5.1.2"},
        {"--layout 4+5+0 --ambix", "--layout"},
        {"--layout 4+5+0 --order 2", "--order"},
    };
    for (const auto& [args, named] : cases) {
        const CliRun run = Cli("render " + in + out + " " + args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.err.find(named), std::string::npos) << args << ": " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.wav")));
}

// The names people use render their BS.2051 layout, and the WAV file's mask names its
// loudspeakers: ffprobe, when it is here, shows the layout (FFmpeg before 6.1 has no name for
// 7.1.4, and lists its loudspeakers instead of "12 channels" alone).
TEST_F(CliTest, RenderLayoutsByTheirCommonNamesWithTheChannelMask) {
    const std::string in = Write("in.wav", MonoNoise(22050, 2205, {{0, 30}, {2204, 120}}));
    const bool bProbe = SoxTools::Command("command -v ffprobe").status == 0;
    const struct {
        const char* name;
        size_t channels;
        uint32_t mask;
        std::vector<std::string> probed;  // what ffprobe may say
    } cases[] = {
        {"5.1", 6, 0x60F, {"6,5.1(side)"}},
        {"7.1", 8, 0x63F, {"8,7.1"}},
        {"7.1.4",
         12,
         0x2D63F,
         {"12,7.1.4", "12,12 channels (FL+FR+FC+LFE+BL+BR+SL+SR+TFL+TFR+TBL+TBR)"}},
        {"5.1.4", 10, 0x2D60F, {"10,5.1.4", "10,10 channels (FL+FR+FC+LFE+SL+SR+TFL+TFR+TBL+TBR)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.File(std::string("layout-") + c.name + ".wav");
        const CliRun run = Cli("render " + in + " -o " + out + " --layout " + c.name);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Bytes file = ReadBytes(out);
        ASSERT_GT(file.size(), 60u);
        EXPECT_EQ(file[22] | file[23] << 8, static_cast<int>(c.channels));
        EXPECT_EQ(ByteOrder::LoadU32(file.data() + 40, false), c.mask);
        if (bProbe) {
            SoxTools::Outcome probe = SoxTools::Command(
                "ffprobe -v error -show_entries stream=channels,channel_layout "
                "-of csv=p=0 " +
                out);
            ASSERT_EQ(probe.status, 0);
            while (!probe.output.empty() && probe.output.back() == '\n') {
                probe.output.pop_back();
            }
            EXPECT_NE(std::find(c.probed.begin(), c.probed.end(), probe.output), c.probed.end())
                << probe.output;
        }
    }
}

// Each render measures the file it wrote: the report and stderr agree with bs1770gain on that
// file (an AmbiX file by its W channel alone), and a silent render (floats, so no dither)
// reports no number.
TEST_F(CliTest, RenderReportsTheLoudnessOfEachOutputAsBs1770gainMeasuresIt) {
    if (SoxTools::Command("command -v bs1770gain").status != 0) {
        GTEST_SKIP() << "bs1770gain is missing";
    }
    const std::string in = Write("in.wav", MonoNoise(22050, 66150, {{0, -70}, {66149, 120}}));
    const struct {
        const char* args;
        const char* remix;  // sox effect giving what bs1770gain should measure; "" for all
    } cases[] = {
        {"", ""},
        {"--sample-format f32", ""},
        {"--ambix --order 2", "remix 1"},
        {"--layout 0+5+0 --sample-format s24", ""},
        {"--layout 0+2+0 --sample-format f32", ""},
        {"--adm", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string out = dir.File("out.wav");
        const std::string report = dir.File("report.json");
        const CliRun run =
            Cli("render " + in + " -o " + out + " --report " + report + " " + c.args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::string measured = out;
        if (*c.remix != '\0') {
            measured = dir.File("measured.wav");
            ASSERT_EQ(SoxTools::Command("sox " + out + " " + measured + " " + c.remix).status, 0);
        }
        const SoxTools::Outcome bs1770 = SoxTools::Command("bs1770gain -i --xml " + measured);
        const size_t at = bs1770.output.find("<integrated lufs=\"");
        ASSERT_NE(at, std::string::npos) << bs1770.output;
        const double lufs = std::stod(bs1770.output.substr(at + 18));
        nlohmann::json json;
        std::ifstream(report) >> json;
        ASSERT_EQ(json["outputs"].size(), 1u) << json.dump();
        const nlohmann::json& entry = json["outputs"][0];
        EXPECT_EQ(entry["output"], out);
        EXPECT_NEAR(entry["integratedLufs"].get<double>(), lufs, 0.1) << bs1770.output;
        EXPECT_LT(entry["truePeakDbtp"].get<double>(), 0.0);
        EXPECT_NE(run.err.find(out + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" LUFS, true peak "), std::string::npos) << run.err;
    }
    const std::string silent = Write("silent.wav", [] {
        TestSound sound = MonoNoise(22050, 22050, {{0, 0}});
        std::fill(sound.samples.begin(), sound.samples.end(), 0);
        return sound;
    }());
    const std::string report = dir.File("silent.json");
    const CliRun run = Cli("render " + silent + " -o " + dir.File("s.wav") +
                           " --layout 4+5+0 --sample-format f32 --report " + report);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json json;
    std::ifstream(report) >> json;
    EXPECT_TRUE(json["outputs"][0]["integratedLufs"].is_null()) << json.dump();
    EXPECT_TRUE(json["outputs"][0]["truePeakDbtp"].is_null()) << json.dump();
}

// --loudness turns every kind of output to the target, as bs1770gain measures the file too,
// and leaves nothing of its measuring render behind. An output it cannot turn (its true peak
// would pass -1 dBTP, it is silent, its 8-bit samples cannot take the gain) is refused: the
// older file of that name stays as it was.
TEST_F(CliTest, RenderTurnsEachOutputToTheLoudnessTargetOrRefusesIt) {
    const bool bMeter = SoxTools::Command("command -v bs1770gain").status == 0;
    const std::string in = Write("in.wav", MonoNoise(22050, 66150, {{0, -70}, {66149, 120}}));
    const struct {
        const char* args;
        double target;
        const char* remix;  // sox effect giving what bs1770gain should measure; "" for all
    } cases[] = {
        {"", -23.0, ""},
        {"--sample-format s24", -16.0, ""},
        {"--binaural", -30.0, ""},
        {"--ambix --sample-format f32", -23.0, "remix 1"},
        {"--layout 0+5+0", -18.5, ""},
        {"--adm", -24.0, ""},
    };
    const auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.File(""))) {
            const std::string name = entry.path().filename().string();
            if (name != "stdout" && name != "stderr") {  // the run's own
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string out = dir.File("out.wav");
        const std::string report = dir.File("report.json");
        const CliRun run = Cli("render " + in + " -o " + out + " --report " + report +
                                   " --loudness " + std::to_string(c.target) + " " + c.args,
                               kNoBackEnd);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        nlohmann::json json;
        std::ifstream(report) >> json;
        const nlohmann::json& entry = json["outputs"][0];
        EXPECT_NEAR(entry["integratedLufs"].get<double>(), c.target, 0.05) << json.dump();
        EXPECT_TRUE(entry["gainDb"].is_number()) << json.dump();
        EXPECT_NE(run.err.find("(turned by "), std::string::npos) << run.err;
        EXPECT_EQ(listing(), (std::vector<std::string>{"in.wav", "out.wav", "report.json"}));
        if (bMeter) {
            std::string measured = out;
            if (*c.remix != '\0') {
                measured = dir.File("measured.wav");
                ASSERT_EQ(SoxTools::Command("sox " + out + " " + measured + " " + c.remix).status,
                          0);
            }
            const SoxTools::Outcome bs1770 = SoxTools::Command("bs1770gain -i --xml " + measured);
            const size_t at = bs1770.output.find("<integrated lufs=\"");
            ASSERT_NE(at, std::string::npos) << bs1770.output;
            EXPECT_NEAR(std::stod(bs1770.output.substr(at + 18)), c.target, 0.1);
            std::filesystem::remove(dir.File("measured.wav"));
        }
    }

    const std::string loud = Write("loud.wav", MonoNoise(22050, 22050, {{0, 30}}, true));
    const std::string silent = Write("silent.wav", [] {
        TestSound sound = MonoNoise(22050, 22050, {{0, 0}});
        std::fill(sound.samples.begin(), sound.samples.end(), 0);
        return sound;
    }());
    const std::string eight = Write("eight.wav", [] {
        TestSound sound = MonoNoise(22050, 22050, {{0, 0}});
        sound.format = MakeFormat(1, 22050, 8);
        return sound;
    }());
    const struct {
        std::string in;
        const char* args;
        const char* reason;
    } refused[] = {
        {loud, "--loudness -3", "past -1 dBTP"},
        {silent, "--loudness -23 --sample-format f32", "it is silent"},
        {eight, "--loudness -23", "A loudness target needs 16- or 24-bit or float samples"},
    };
    const std::vector<std::string> before = listing();
    const Bytes older = ReadBytes(dir.File("out.wav"));
    for (const auto& c : refused) {
        SCOPED_TRACE(c.args);
        const CliRun run = Cli("render " + c.in + " -o " + dir.File("out.wav") + " " + c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(listing(), before);
        EXPECT_EQ(ReadBytes(dir.File("out.wav")), older);
    }
    for (const char* value : {"-80", "3", "-23x", ""}) {
        EXPECT_EQ(Cli("render " + in + " -o " + dir.File("x.wav") + " --loudness '" + value + "'")
                      .exitCode,
                  2)
            << value;
    }
}
