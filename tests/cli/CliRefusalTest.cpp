// Hostile input through the real sonomap-cli: SOFA files, batch manifests and outputs. Each row
// ends in its exit code and its message, within a bound (a FIFO read as a file would wait for
// ever), and leaves every file of the folder as it was: nothing made, nothing replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "../binaural/SofaTestSets.h"
#include "CliRun.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Row {
    const char* name;
    std::string manifest;  // written to m.jsonl before the run, when not empty
    std::string args;
    int exitCode;
    std::string said;     // on stderr
    bool bWhole = false;  // said is the whole of stderr
};

class CliRefusalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.Path() / "src");
        TestSound take;
        take.points = {{0, -90}, {1000, 90}};
        take.chunkFrames = FramesOf(take);
        WriteBytes(dir.File("src/take.wav"), BuildSoundFile(take));
        take.format = MakeFormat(1, 8000, 16);
        WriteBytes(dir.File("src/take8.wav"), BuildSoundFile(take));
        WriteBytes(dir.File("src/plain.wav"), BuildSoundFile(TestSound{}));
        std::ofstream(dir.File("src/text.wav")) << "root:x:0:0:root:/root:/bin/bash\n";
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    }

    // Every entry under the folder by its path: a regular file's bytes, or what it is. Nothing
    // but a regular file is opened. The command's own stdout and stderr are left out.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
            const std::string name = fs::relative(entry.path(), dir.Path()).string();
            if (name == "stdout" || name == "stderr") {
                continue;
            }
            struct stat info {};
            EXPECT_EQ(::lstat(entry.path().c_str(), &info), 0) << name;
            if (S_ISREG(info.st_mode)) {
                entries[name] = "file " + Slurp(entry.path().string());
            } else if (S_ISCHR(info.st_mode)) {
                entries[name] = "char device " + std::to_string(major(info.st_rdev)) + "," +
                                std::to_string(minor(info.st_rdev));
            } else {
                entries[name] = "mode " + std::to_string(info.st_mode & S_IFMT);
            }
        }
        return entries;
    }
    void Check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            if (!row.manifest.empty()) {
                std::ofstream(dir.File("m.jsonl")) << row.manifest << "\n";
            }
            const auto before = Snapshot();
            const CliRun run =
                RunCli(dir, row.args, "cd '" + dir.Path().string() + "' && timeout 10 ");
            EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
            if (row.bWhole) {
                EXPECT_EQ(run.err, row.said);
            } else {
                EXPECT_NE(run.err.find(row.said), std::string::npos) << run.err;
            }
            EXPECT_EQ(Snapshot(), before) << "a refused command changed the folder";
        }
    }

    // A manifest line of one ambix job writing out/o.wav, with extra keys and an event.
    static std::string Job(const std::string& keys, const std::string& event) {
        return R"({"output": "out/o.wav", "format": "ambix", )" + keys + R"("events": [)" + event +
               "]}";
    }
    static std::string Take(const std::string& keys = "") {
        return R"({"source": "src/take.wav", )" + keys + R"("trajectory": "stored"})";
    }

    TempDir dir;
};

TEST_F(CliRefusalTest, EachHostileInputEndsInItsMessageAndChangesNothing) {
    const std::string render = "render src/take.wav -o out.wav ";
    const std::string binaural = render + "--binaural --hrtf ";
    const std::string batch = "batch m.jsonl";
    const std::string take = Take();
    Check({
        // SOFA files
        {"a FIFO as --hrtf", "", binaural + "./fifo", 1, "it is a FIFO, not a regular file"},
        {"Units of no length", "", binaural + SofaSetPath("units-furlong"), 1,
         "its SourcePosition is in \"furlong\", where a spherical position is in degree, "
         "degree, metre"},
        {"Units of three other things", "", binaural + SofaSetPath("units-receivers"), 1,
         "its ReceiverPosition is in \"banana, kelvin, parsec\""},
        {"a delay of 1e9 samples", "", binaural + SofaSetPath("delay-1e9"), 1,
         "its Data.Delay of 1000000000 samples is longer than the 1 s"},
        {"a delay of 4e9 samples", "", binaural + SofaSetPath("delay-4e9"), 1,
         "its Data.Delay of 4000000000 samples is longer than the 1 s"},
        {"a silent set", "", binaural + SofaSetPath("silent"), 1, "its responses are silent"},
        // A set the fuzzer made from a small one: libmysofa 1.3 reads it in a loop for ever.
        {"a file libmysofa never finishes", "",
         binaural + SONOMAP_TEST_DATA_DIR "/libmysofa-loops.sofa", 1,
         "cannot be used: libmysofa did not finish reading it within 5 s"},
        {"a set with nothing below 4 kHz, for an 8 kHz sound", "",
         "render src/take8.wav -o out.wav --binaural --hrtf " + SofaSetPath("nyquist-48000"), 1,
         "cannot be used at 8000 Hz: its responses keep nothing of their sound at that rate"},
        {"a FIFO as a batch's hrtf",
         R"({"output": "out/o.wav", "format": "binaural", "hrtf": "./fifo", "events": [)" + take +
             "]}",
         batch, 2,
         "m.jsonl:1: The HRTF file \"" + dir.File("fifo") + "\" cannot be used: it is a FIFO"},
        // Manifests
        {"a manifest that is not there", "", "batch nothere.jsonl", 2,
         "nothere.jsonl:0: the manifest cannot be read: No such file or directory"},
        {"a FIFO as the manifest", "", "batch fifo", 2,
         "fifo:0: the manifest cannot be read: it is a FIFO, not a regular file"},
        {"a gain past any number", Job("", Take(R"("gain": 1e999, )")), batch, 2,
         "m.jsonl:1: not JSON Sonomap can read: number overflow parsing '1e999'"},
        {"a key given twice", Job("", Take(R"("gain": -3, "gain": 2, )")), batch, 2,
         "m.jsonl:1: the key \"gain\" is given twice"},
        {"a key given twice in the job", Job(R"("rate": 8000, "rate": 9000, )", take), batch, 2,
         "m.jsonl:1: the key \"rate\" is given twice"},
        {"a point past the source's end",
         Job("", R"({"source": "src/take.wav", "trajectory": {"points": "0:10,1001:20"}})"), batch,
         2,
         "m.jsonl:1: events[0]: points: position 1001 lies past the end of the sound (1000 "
         "frames)"},
        {"\"stored\" where nothing is stored",
         Job("", R"({"source": "src/plain.wav", "trajectory": "stored"})"), batch, 2,
         "m.jsonl:1: events[0]: source src/plain.wav stores no trajectory"},
        {"a source that is no sound",
         Job("", R"({"source": "src/text.wav", "trajectory": "stored"})"), batch, 2,
         "m.jsonl:1: events[0]: source src/text.wav does not open: not a WAV or AIFF file"},
        {"a rate no document opens at", Job(R"("rate": 1000, )", take), batch, 2,
         "m.jsonl:1: \"rate\" 1000 lies outside 6000 .. 384000"},
        {"an onset past the scene", Job(R"("duration": 2, )", Take(R"("onset": 3, )")), batch, 2,
         "m.jsonl:1: events[0]: \"onset\" 3 lies at or past the end of the scene (\"duration\" "
         "2)"},
        // Outputs of a batch
        {"an output above the manifest's folder",
         R"({"output": "../x.wav", "format": "ambix", "events": [)" + take + "]}", batch, 2,
         "m.jsonl:1: \"output\" ../x.wav lies outside the manifest's folder; --allow-outside "
         "lets it"},
        {"an absolute output elsewhere",
         R"({"output": "/tmp/x.wav", "format": "ambix", "events": [)" + take + "]}", batch, 2,
         "m.jsonl:1: \"output\" /tmp/x.wav lies outside the manifest's folder"},
        {"a FIFO as an output",
         R"({"output": "fifo", "format": "ambix", "events": [)" + take + "]}", batch, 2,
         "m.jsonl:1: \"output\" " + dir.File("fifo") + " is a FIFO, not a regular file"},
        {"a folder as an output",
         R"({"output": "src", "format": "ambix", "events": [)" + take + "]}", batch, 2,
         "is a folder, not a regular file"},
        {"the manifest as an output",
         R"({"output": "m.jsonl", "format": "ambix", "events": [)" + take + "]}", batch, 2,
         "m.jsonl:1: " + dir.File("m.jsonl") + " would replace the manifest"},
        {"the manifest as labels", Job(R"("labels": "m.jsonl", )", Take(R"("class": 1, )")), batch,
         2, "would replace the manifest"},
        {"--manifest-out naming a source", Job("", take), batch + " --manifest-out src/take.wav", 2,
         "--manifest-out src/take.wav would replace a source of line 1"},
        {"--manifest-out naming the manifest", Job("", take), batch + " --manifest-out m.jsonl", 2,
         "--manifest-out m.jsonl would replace the manifest"},
        {"--manifest-out naming an output", Job("", take), batch + " --manifest-out out/o.wav", 2,
         "--manifest-out out/o.wav is a file line 1 writes"},
        {"a FIFO as the record to resume from", Job("", take),
         batch + " --resume --manifest-out fifo", 2,
         "--manifest-out fifo is a FIFO, not a regular file"},
        {"--resume with nothing to resume from", Job("", take), batch + " --resume", 2,
         "--resume without --manifest-out would render line 1 again"},
        {"a usage error of batch", "", batch + " --bogus", 2,
         "sonomap-cli batch: unknown option --bogus\n"
         "Try 'sonomap-cli batch --help' for more information.\n",
         true},
        // Outputs of a render
        {"-o naming nothing", "", "render src/take.wav -o ''", 2,
         "sonomap-cli render: -o names no file\nTry 'sonomap-cli render --help' for more "
         "information.\n",
         true},
        {"-o naming a folder", "", "render src/take.wav -o src", 2,
         "-o src is a folder; --output-dir writes into one"},
        {"-o naming a FIFO", "", "render src/take.wav -o fifo", 2,
         "-o fifo is a FIFO, not a regular file"},
        {"--report naming the input", "", render + "--report src/take.wav", 2,
         "--report src/take.wav would replace the input src/take.wav"},
        {"--report naming the output", "",
         "render src/take.wav -o src/plain.wav --report src/plain.wav", 2,
         "--report src/plain.wav would replace the output src/plain.wav"},
        {"--report naming the output as written", "", "render src/take.wav -o out --report out.wav",
         2, "--report out.wav would replace the output out.wav"},
        {"--report naming a FIFO", "", render + "--report fifo", 2,
         "--report fifo is a FIFO, not a regular file"},
    });
}

// Device nodes of the test's own, made with mknod in its folder: /dev is never touched.
TEST_F(CliRefusalTest, DeviceNodesAreNeitherReadNorReplaced) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mknod needs root; these rows run where the tests run as root (CI)";
    }
    fs::create_directories(dir.Path() / "dev");
    fs::create_directories(dir.Path() / "devices");
    const auto node = [&](const std::string& name, unsigned minorNumber) {
        ASSERT_EQ(::mknod(dir.File(name).c_str(), S_IFCHR | 0666, makedev(1, minorNumber)), 0);
    };
    node("dev/null", 3);
    node("dev/zero", 5);
    node("dev/full", 7);
    node("devices/take.wav", 3);
    node("dev/out.wav", 3);
    const std::string take = Take();
    const std::string toNull = R"({"output": "dev/null", "format": "ambix", "events": [)";
    Check({
        {"/dev/zero as the manifest", "", "batch dev/zero", 2,
         "dev/zero:0: the manifest cannot be read: it is a character device, not a regular file"},
        {"/dev/zero as --hrtf", "", "render src/take.wav -o out.wav --binaural --hrtf dev/zero", 1,
         "it is a character device, not a regular file"},
        {"/dev/null as a batch's output", toNull + take + "]}", "batch m.jsonl", 2,
         "m.jsonl:1: \"output\" " + dir.File("dev/null") +
             " is a character device, not a regular file"},
        {"/dev/full as a batch's labels", Job(R"("labels": "dev/full", )", Take(R"("class": 1, )")),
         "batch m.jsonl", 2, " is a character device, not a regular file"},
        {"/dev/null as --manifest-out", Job("", take), "batch m.jsonl --manifest-out dev/null", 2,
         "--manifest-out dev/null is a character device, not a regular file"},
        {"/dev/full as -o", "", "render src/take.wav -o dev/full", 2,
         "-o dev/full is a character device, not a regular file"},
        {"a device where --output-dir writes", "", "render src/take.wav --output-dir devices", 2,
         "devices/take.wav is a character device, not a regular file"},
        {"/dev/null as --report", "", "render src/take.wav -o out.wav --report dev/null", 2,
         "--report dev/null is a character device, not a regular file"},
        {"a device as save-as's output", "", "save-as src/take.wav dev/out.wav", 1,
         "out.wav in " + dir.File("dev") +
             " is not a regular file, and Sonomap replaces only regular files."},
    });
}

// What the refusals leave allowed: named as written, written where allowed, and the reasons
// where something was not written.
TEST_F(CliRefusalTest, WhatIsAllowedIsWrittenAndNamedAsWritten) {
    // An output without an extension is the file with the type's, and is named so.
    CliRun run = RunCli(dir, "render " + dir.File("src/take.wav") + " -o " + dir.File("named"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.File("named.wav")));
    EXPECT_FALSE(fs::exists(dir.File("named")));
    EXPECT_EQ(run.err.rfind(dir.File("named.wav") + ": ", 0), 0u) << run.err;

    // Outside the manifest's folder when asked.
    fs::create_directories(dir.Path() / "sub");
    std::ofstream(dir.File("sub/m.jsonl"))
        << R"({"output": "../outside.wav", "format": "ambix", "events": [)"
        << R"({"source": "../src/take.wav", "trajectory": "stored"}]})"
        << "\n";
    run = RunCli(dir, "batch " + dir.File("sub/m.jsonl") + " --allow-outside");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.File("outside.wav")));

    // A line's own hash is enough to resume from.
    run = RunCli(dir, "batch " + dir.File("sub/m.jsonl") + " --allow-outside --manifest-out " +
                          dir.File("sub/record"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string hash = Slurp(dir.File("sub/record")).substr(0, 64);
    std::ofstream(dir.File("sub/m.jsonl"))
        << R"({"output": "../outside.wav", "format": "ambix", "sha256": ")" << hash
        << R"(", "events": [{"source": "../src/take.wav", "trajectory": "stored"}]})"
        << "\n";
    run = RunCli(dir, "batch " + dir.File("sub/m.jsonl") + " --allow-outside --resume");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("1 jobs: 0 rendered, 1 already done, 0 failed"), std::string::npos)
        << run.err;

    // The report gives the reason of an output not written.
    fs::create_directories(dir.Path() / "out");
    run = RunCli(dir, "render " + dir.File("src/take.wav") + " " + dir.File("src/text.wav") +
                          " --output-dir " + dir.File("out") + " --report " + dir.File("r.json"));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const std::string report = Slurp(dir.File("r.json"));
    EXPECT_NE(report.find("\"reason\": \"Error loading wave information... is this a valid "
                          "'.wav' or '.aif' file? Sonomap cannot open " +
                          dir.File("src/text.wav") + ": not a WAV or AIFF file.\""),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("\"reason\"", report.find("\"reason\"") + 1), std::string::npos)
        << "only the output not written has a reason: " << report;

    // A report the disk cannot take is not left behind cut short: sixteen short outputs fit
    // under a limit of 2 KiB a file (four of the shell's 512-byte blocks), their report does
    // not.
    fs::create_directories(dir.Path() / "many");
    fs::create_directories(dir.Path() / "rendered");
    std::string inputs;
    for (int i = 0; i < 16; ++i) {
        TestSound tiny;
        tiny.samples = Pattern(40);
        tiny.points = {{0, 30}};
        tiny.chunkFrames = FramesOf(tiny);
        const std::string name = "many/s" + std::to_string(i) + ".wav";
        WriteBytes(dir.File(name), BuildSoundFile(tiny));
        inputs += " " + dir.File(name);
    }
    run = RunCli(dir,
                 "render" + inputs + " --jobs 1 --output-dir " + dir.File("rendered") +
                     " --report " + dir.File("rendered/r.json"),
                 "trap '' XFSZ; ulimit -f 4; ");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("the report could not be written to " + dir.File("rendered/r.json") +
                           ": The file grew past the largest size allowed"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(FilesIn(dir.Path() / "rendered"), 16u) << "the outputs, and no report";
}

}  // namespace
