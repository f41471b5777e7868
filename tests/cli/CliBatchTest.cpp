// sonomap-cli batch end to end: manifests on disk, sources written by sox, the real binary
// (under GNU parallel for the shards), its files compared byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "CliRun.h"
#include "render/LoudnessMeter.h"
#include "render/SpeakerLayout.h"
#include "support/OpenAlBackEnd.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class CliBatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir.Path() / "src");
        Sox("-n -r 24000 -b 16 -c 1 src/a24.wav synth 0.5 pink vol 0.5");
        Sox("-n -r 48000 -b 16 -c 1 src/b48.wav synth 0.3 sine 700 vol 0.4");
        Sox("-n -r 48000 -b 24 -c 2 src/c48.wav synth 2 brownnoise vol 0.3");
        ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/c48.wav") +
                                  " --points '0:-40,48000:100:20:3:30'")
                      .exitCode,
                  0);
    }
    void Sox(const std::string& args) {
        ASSERT_EQ(
            std::system(
                ("cd " + SoxTools::Quote(dir.Path().string()) + " && sox -R " + args).c_str()),
            0)
            << args;
    }
    void WriteManifest(const std::string& name, const std::string& text) {
        std::ofstream(dir.File(name)) << text;
    }
    // A manifest of count scenes in turn of each format that mixes, every third with labels
    // (but stereo), mixing all three sources.
    std::string Scenes(int count) {
        const char* formats[] = {"ambix", "layout:4+5+0", "binaural", "stereo"};
        std::string text;
        for (int i = 0; i < count; ++i) {
            const std::string n = std::to_string(i);
            text +=
                R"({"output": "out/s)" + n + R"(.wav", "format": ")" + formats[i % 4] +
                R"(", "rate": 24000, )" +
                (i % 3 == 0 && i % 4 != 3 ? R"("labels": "out/s)" + n + R"(.csv", )" : "") +
                R"("duration": 2.5, "events": [)"
                R"({"source": "src/a24.wav", "onset": 0.)" +
                n + R"(, "class": 1, "trajectory": {"generate": "random:speed=90", "seed": )" + n +
                R"(}},)"
                R"({"source": "src/b48.wav", "onset": 1, "gain": -3, "class": 4, )"
                R"("trajectory": {"points": "0:170,14000:-170:40:0.3"}},)"
                R"({"source": "src/c48.wav", "onset": 1.2, "class": 1, "trajectory": "stored"}]})"
                "\n";
        }
        return text;
    }
    std::string Batch(const std::string& args, int expected = 0, const std::string& env = "") {
        const CliRun run = RunCli(dir, "batch " + dir.File("m.jsonl") + " " + args, env);
        EXPECT_EQ(run.exitCode, expected) << run.err;
        return run.err;
    }

    TempDir dir;
};

TEST_F(CliBatchTest, EveryMalformedLineIsNamedWithItsReasonAndNothingRenders) {
    const std::string good =
        R"({"output": "out/ok.wav", "format": "ambix", "events": [{"source": "src/c48.wav", )"
        R"("trajectory": "stored"}], "duration": 1})";
    struct Case {
        std::string line;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {R"({"output": "x.wav", "format": "ambix", "events": [})", "not JSON: "},
        {R"(["output"])", "a job must be a JSON object"},
        {R"({"format": "ambix", "events": []})", "\"output\" is missing"},
        {R"({"output": "x.wav", "format": "mp3", "events": []})", "\"mp3\" is none of"},
        {R"({"output": "x.wav", "format": "layout:7+1+0", "events": []})",
         "layout:7+1+0: Unknown loudspeaker layout '7+1+0'; the layouts are 0+2+0 (2.0), "
         "0+5+0 (5.1),"},
        {R"({"output": "x.aif", "format": "layout:0+5+0", "duration": 1, "rate": 8000, )"
         R"("events": []})",
         "format layout:0+5+0 writes a WAV file, not x.aif"},
        {R"({"output": "x.wav", "format": "layout:0+5+0", "order": 2, "events": []})",
         "\"order\" goes with format ambix"},
        {R"({"output": "x.wav", "format": "ambix", "order": 4, "events": []})",
         "\"order\" 4 lies outside 1 .. 3"},
        {R"({"output": "x.wav", "format": "ambix", "sampleFormat": "s8", "events": []})",
         "\"sampleFormat\" is s16, s24 or f32"},
        {R"({"output": "x.wav", "format": "ambix", "rate": 24000.5, "events": []})",
         "\"rate\" must be a whole number"},
        {R"({"output": "x.wav", "format": "ambix", "events": []})",
         "a job without events needs a \"duration\""},
        {R"({"output": "x.wav", "format": "ambix", "durration": 3, "events": []})",
         "unknown key \"durration\""},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/none.wav", )"
         R"("trajectory": "stored"}]})",
         "events[0]: source src/none.wav is not a file"},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/a24.wav", )"
         R"("onset": -1, "trajectory": "stored"}]})",
         "events[0]: \"onset\" -1 lies outside 0 .. 1000000 seconds"},
        {R"({"output": "x.wav", "format": "ambix", "labels": "x.csv", "events": [{"source": )"
         R"("src/a24.wav", "trajectory": "stored"}]})",
         "events[0]: \"class\" is missing, which the labels need"},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/a24.wav", )"
         R"("trajectory": {"points": "0:400"}}]})",
         "events[0]: points: "},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/a24.wav", )"
         R"("trajectory": {"generate": "zigzag"}}]})",
         "events[0]: generate: unknown shape 'zigzag'"},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/a24.wav", )"
         R"("trajectory": {"generate": "random:seed=2", "seed": 3}}]})",
         "the seed is given twice"},
        {R"({"output": "x.wav", "format": "ambix", "events": [{"source": "src/a24.wav", )"
         R"("trajectory": "moving"}]})",
         "events[0]: \"trajectory\" is \"stored\""},
        {R"({"output": "x.aif", "format": "adm", "events": [{"source": "src/a24.wav", )"
         R"("onset": 1, "trajectory": "stored"}, {"source": "src/b48.wav", "trajectory": "stored"}]})",
         "format adm writes a WAV file, not x.aif"},
        {R"({"output": "x.wav", "format": "adm", "order": 1, "events": [{"source": "src/a24.wav", )"
         R"("gain": -3, "trajectory": "stored"}]})",
         "\"order\" goes with format ambix"},
        {R"({"output": "x.wav", "format": "adm", "hrtf": "default-48000", "duration": 2, )"
         R"("events": [{"source": "src/a24.wav", "trajectory": "stored"}]})",
         "\"hrtf\" goes with format binaural"},
        {R"({"output": "x.wav", "format": "binaural", "hrtf": "default-48000", "events": [)"
         R"({"source": "src/a24.wav", "onset": 1, "trajectory": "stored"}]})",
         "hrtf default-48000 is a set of the mixer, which renders one event from its start"},
        {R"({"output": "x.wav", "format": "binaural", "hrtf": "sets/none.sofa", "events": [)"
         R"({"source": "src/a24.wav", "trajectory": "stored"}]})",
         "sets/none.sofa\" cannot be used: it cannot be read"},
        {R"({"output": "x.wav", "format": "stereo", "labels": "x.csv", "events": [{"source": )"
         R"("src/a24.wav", "class": 1, "trajectory": "stored"}]})",
         "labels would not match it"},
        {R"({"output": "x.wav", "format": "ambix", "hrtf": "default-48000", "duration": 1, )"
         R"("rate": 8000, "events": []})",
         "\"hrtf\" goes with format binaural"},
        {R"({"output": "x.aif", "format": "ambix", "duration": 1, "rate": 8000, "events": []})",
         "format ambix writes a WAV file, not x.aif"},
        {R"({"output": "out/ok.wav", "format": "ambix", "rate": 8000, "duration": 1, "events": []})",
         "out/ok.wav is written by line 1 too"},
        {R"({"output": "src/c48.wav", "format": "ambix", "rate": 8000, "duration": 1, "events": []})",
         "src/c48.wav would replace a source of line 1"},
    };
    // The good line first, a blank line (skipped, but counted) after it.
    std::string text = good + "\n\n";
    for (const Case& c : cases) {
        text += c.line + "\n";
    }
    WriteManifest("m.jsonl", text);
    const std::string err = Batch("", 2);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].line);
        const std::string prefix = "m.jsonl:" + std::to_string(i + 3) + ": ";
        const size_t at = err.find(prefix);
        ASSERT_NE(at, std::string::npos) << err;
        const std::string line = err.substr(at, err.find('\n', at) - at);
        EXPECT_NE(line.find(cases[i].reason), std::string::npos) << line;
    }
    EXPECT_EQ(err.find("m.jsonl:1:"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.Path() / "out")) << "a refused manifest rendered";
}

TEST_F(CliBatchTest, FailedJobsAreListedWithTheirLinesAndTheOthersFinish) {
    // What the lines say is checked before anything renders; these fail only as they render:
    // a folder that cannot be made (its parent is a file), a shape longer than its source.
    const std::string rest = R"(.wav", "format": "ambix", "events": [{"source": )";
    WriteManifest(
        "m.jsonl",
        R"({"output": "out/f1)" + rest +
            R"("src/b48.wav", "trajectory": "stored"}]})"
            "\n"
            R"({"output": "src/c48.wav/f2)" +
            rest +
            R"("src/b48.wav", "trajectory": "stored"}]})"
            "\n"
            R"({"output": "out/f3)" +
            rest +
            R"("src/a24.wav", "trajectory": {"generate": "sweep:to=12001"}}]})"
            "\n"
            R"({"output": "src/c48.wav/f4.wav", "format": "adm", "duration": 1, )"
            R"("events": [{"source": "src/b48.wav", "onset": 0.5, "trajectory": "stored"}]})"
            "\n");
    ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/b48.wav") + " --points '0:30'").exitCode,
              0);
    const std::string err = Batch("--manifest-out " + dir.File("record"), 1);
    EXPECT_NE(err.find("m.jsonl:2: src/c48.wav/f2.wav: Error writing wave data! The folder " +
                       dir.File("src/c48.wav") + " does not exist."),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("m.jsonl:3: out/f3.wav: " + dir.File("src/a24.wav") +
                       ": key 'to' is out of range (0 .. 12000): 12001"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("m.jsonl:4: src/c48.wav/f4.wav: "), std::string::npos) << err;
    EXPECT_NE(err.find("4 jobs: 1 rendered, 0 already done, 3 failed"), std::string::npos) << err;
    EXPECT_TRUE(fs::exists(dir.Path() / "out/f1.wav"));
    EXPECT_EQ(FilesIn(dir.Path() / "out"), 1u);
    EXPECT_NE(Slurp(dir.File("record")).find("  out/f1.wav\n"), std::string::npos);
    // By name: the hex of a hash may hold "f2".
    EXPECT_EQ(Slurp(dir.File("record")).find("/f2"), std::string::npos);
}

TEST_F(CliBatchTest, LabelsGiveEachEventsPlaceEveryTenthOfASecond) {
    // Output at 24 kHz: label frame f spans frames 2400 f .. 2400 f + 2399.
    //  a24 (12000 frames), onset 0.2 s (4800): -90 to +90 along the horizon, so at 0.1 s steps
    //    of its own a fifth of the way each, taken at its first frame in each label frame.
    //  b48 at 48 kHz (7200 output frames), onset 0.55 s: from 100 to 140 right at 2 m over its
    //    first 9600 frames, at the source frame of each output frame (two for one), then held;
    //    a second event of class 2, so source index 1; it starts inside label frame 5.
    //  b48 again, class 0, onset 0.95 s, cut by the 1 s duration: behind, 10 down, 0.5 m.
    for (const char* format : {"ambix", "layout:4+5+0", "binaural", "adm"}) {
        SCOPED_TRACE(format);
        WriteManifest("m.jsonl", R"({"output": "out/l.wav", "format": ")" + std::string(format) +
                                     R"(", "rate": 24000, "duration": 1, )"
                                     R"("labels": "out/l.csv", "events": [)"
                                     R"({"source": "src/a24.wav", "onset": 0.2, "class": 2, )"
                                     R"("trajectory": {"points": "0:-90,12000:90"}},)"
                                     R"({"source": "src/b48.wav", "onset": 0.55, "class": 2, )"
                                     R"("trajectory": {"points": "0:100:0:2,9600:140:0:2"}},)"
                                     R"({"source": "src/b48.wav", "onset": 0.95, "class": 0, )"
                                     R"("trajectory": {"points": "0:180:-10:0.5"}}]})"
                                     "\n");
        Batch("");
        EXPECT_EQ(Slurp(dir.File("out/l.csv")),
                  "2,2,0,90,0,100\n"
                  "3,2,0,54,0,100\n"
                  "4,2,0,18,0,100\n"
                  "5,2,0,-18,0,100\n"
                  "5,2,1,-100,0,200\n"
                  "6,2,0,-54,0,100\n"
                  "6,2,1,-110,0,200\n"
                  "7,2,1,-130,0,200\n"
                  "8,2,1,-140,0,200\n"
                  "9,0,0,180,-10,50\n");
    }
}

TEST_F(CliBatchTest, ASceneOfOneEventIsTheRenderOfThatSound) {
    struct Case {
        std::string job;       // format keys of the manifest line
        std::string source;    // with the trajectory stored
        std::string render;    // the same as render options
        std::string env = "";  // of the render
    };
    std::vector<Case> cases = {
        {R"("format": "ambix")", "src/c48.wav", "--ambix"},
        // Resampled by libsoxr's plain kernels, which the batch keeps to on every machine.
        {R"("format": "ambix", "order": 3, "sampleFormat": "f32", "rate": 48000)", "src/a24.wav",
         "--ambix --order 3 --sample-format f32 --rate 48000", "SOXR_USE_SIMD64=0 "},
        // With an LFE, which stays silent under the dither.
        {R"("format": "layout:0+5+0", "sampleFormat": "s24")", "src/c48.wav",
         "--layout 0+5+0 --sample-format s24"},
        {R"("format": "layout:9+10+3", "rate": 48000)", "src/a24.wav",
         "--layout 9+10+3 --rate 48000", "SOXR_USE_SIMD64=0 "},
        {R"("format": "stereo")", "src/c48.wav", ""},
        {R"("format": "adm", "sampleFormat": "s16")", "src/c48.wav", "--adm --sample-format s16"},
        // No hrtf: the SOFA set render --binaural takes without --hrtf.
        {R"("format": "binaural", "sampleFormat": "s24")", "src/c48.wav",
         "--binaural --sample-format s24"},
    };
#ifdef SONOMAP_CLI_HAS_MIXER
    cases.push_back({R"("format": "binaural", "hrtf": "default-48000")", "src/a24.wav",
                     "--binaural --hrtf default-48000"});
#endif
    ASSERT_EQ(
        RunCli(dir, "set-points " + dir.File("src/a24.wav") + " --points '0:-170:30:0.3'").exitCode,
        0);
    // The binaural render needs no audio back end at all.
    const std::string noBackEnd = "ALSOFT_DRIVERS="s + OpenAlBackEnd::kNoDevice + " ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        WriteManifest("m.jsonl", R"({"output": "scene.wav", )" + c.job +
                                     R"(, "events": [{"source": ")" + c.source +
                                     R"(", "trajectory": "stored"}]})"
                                     "\n");
        Batch("", 0, noBackEnd);
        ASSERT_EQ(RunCli(dir,
                         "render " + dir.File(c.source) + " -o " + dir.File("render.wav") + " " +
                             c.render,
                         noBackEnd + c.env)
                      .exitCode,
                  0);
        EXPECT_EQ(Slurp(dir.File("scene.wav")), Slurp(dir.File("render.wav")));
    }
    // Points of the job's own in place of the source's: the render of the source given them.
    WriteManifest("m.jsonl", R"({"output": "scene.wav", "format": "stereo", "events": [{"source": )"
                             R"("src/b48.wav", "trajectory": {"points": "0:-60,9000:120:0:2"}}]})"
                             "\n");
    Batch("");
    ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/b48.wav") +
                              " --points '0:-60,9000:120:0:2' --save-as " + dir.File("b.wav"))
                  .exitCode,
              0);
    ASSERT_EQ(RunCli(dir, "render " + dir.File("b.wav") + " -o " + dir.File("render.wav")).exitCode,
              0);
    EXPECT_EQ(Slurp(dir.File("scene.wav")), Slurp(dir.File("render.wav")));
}

// The samples of a WAV file of 32-bit floats, read past its chunks to "data".
std::vector<float> FloatsOf(const std::string& path) {
    const std::string bytes = Slurp(path);
    size_t at = 12;
    while (at + 8 <= bytes.size() && bytes.compare(at, 4, "data") != 0) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        at += 8 + size + (size & 1);
    }
    std::vector<float> samples;
    if (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        samples.resize(std::min<size_t>(size, bytes.size() - at - 8) / 4);
        std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * 4);
    }
    return samples;
}

TEST_F(CliBatchTest, EventsAreAddedAtTheirOnsetsWithTheirGainsAndCutAtTheDuration) {
    ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/a24.wav") + " --points '0:-70,9000:150:40'")
                  .exitCode,
              0);
    ASSERT_EQ(
        RunCli(dir, "set-points " + dir.File("src/b48.wav") + " --points '0:20:-30:2'").exitCode,
        0);
    struct Case {
        std::string format;  // of the manifest
        std::string render;  // the same as render options
        size_t channels;
        std::string first = "src/a24.wav";  // resampled where render can resample too
        size_t firstFrames = 24000;         // at 48 kHz
    };
    const std::vector<Case> cases = {
        {"ambix", "--ambix --rate 48000", 4},
        {"layout:0+5+0", "--layout 0+5+0 --rate 48000", 6},
        {"layout:7.1", "--layout 7.1 --rate 48000", 8},
        {"stereo", "", 2, "src/c48.wav", 96000},
        {"binaural", "--binaural", 2, "src/c48.wav", 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        // At 48 kHz: the first from frame 4800 at -6 dB, b48 from frame 12000, the scene cut at
        // 26400 frames (2400 into a24's last 2400).
        WriteManifest("m.jsonl",
                      R"({"output": "scene.wav", "format": ")" + c.format +
                          R"(", "sampleFormat": "f32", "rate": 48000, "duration": 0.55, )"
                          R"("events": [)"
                          R"({"source": ")" +
                          c.first +
                          R"(", "onset": 0.1, "gain": -6, )"
                          R"("trajectory": "stored"},)"
                          R"({"source": "src/b48.wav", "onset": 0.25, "trajectory": "stored"}]})"
                          "\n");
        Batch("");
        const std::string options = " " + c.render + " --sample-format f32";
        ASSERT_EQ(RunCli(dir, "render " + dir.File(c.first) + " -o " + dir.File("a.wav") + options,
                         "SOXR_USE_SIMD64=0 ")
                      .exitCode,
                  0);
        ASSERT_EQ(
            RunCli(dir, "render " + dir.File("src/b48.wav") + " -o " + dir.File("b.wav") + options)
                .exitCode,
            0);
        const std::vector<float> scene = FloatsOf(dir.File("scene.wav"));
        const std::vector<float> a = FloatsOf(dir.File("a.wav"));
        const std::vector<float> b = FloatsOf(dir.File("b.wav"));
        const size_t n = c.channels;
        ASSERT_EQ(a.size(), c.firstFrames * n);
        ASSERT_EQ(b.size(), 14400u * n);
        ASSERT_EQ(scene.size(), 26400u * n);
        const auto gain = static_cast<float>(std::pow(10.0, -6.0 / 20.0));
        size_t wrong = 0, sounding = 0;
        for (size_t i = 0; i < scene.size(); ++i) {
            const size_t frame = i / n;
            float expected = 0.0f;
            if (frame >= 4800) {
                expected += a[i - 4800 * n] * gain;
            }
            if (frame >= 12000) {
                expected += b[i - 12000 * n];
            }
            wrong += scene[i] != expected ? 1 : 0;
        }
        // A panner feeds only the speakers near the place: count frames, not samples.
        for (size_t at = 0; at < scene.size(); at += n) {
            sounding += std::any_of(scene.begin() + at, scene.begin() + at + n,
                                    [](float v) { return v != 0.0f; });
        }
        EXPECT_EQ(wrong, 0u);
        EXPECT_GT(sounding, 26400u / 2) << "a silent scene sums trivially";
    }
}

// The axml chunk's text of a file.
std::string AxmlOf(const std::string& path) {
    const std::string bytes = Slurp(path);
    const size_t from = bytes.find("<?xml");
    const size_t to = bytes.find("</ebuCoreMain>");
    return from == std::string::npos || to == std::string::npos ? ""
                                                                : bytes.substr(from, to - from);
}

// An axml time (hh:mm:ss.zzzzz) in units of 10 us.
long long TimeUnits(const std::string& text) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    EXPECT_EQ(std::sscanf(text.c_str(), "%u:%u:%u.%u", &h, &m, &s, &f), 4) << text;
    return ((h * 60LL + m) * 60 + s) * 100000 + f;
}

TEST_F(CliBatchTest, AnAdmSceneGivesEachEventItsOwnObjectAndTracksFromItsOnset) {
    ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/a24.wav") + " --points '0:-70,9000:150:40'")
                  .exitCode,
              0);
    // At 48 kHz, cut at 26400 frames: a24 resampled from frame 4800 (its 24000 cut to 21600),
    // b48 at -6 dB from 12000 (14400), c48 (stereo, 24-bit) from 24000 (cut to 2400).
    const std::string events =
        R"("rate": 48000, "duration": 0.55, "events": [)"
        R"({"source": "src/a24.wav", "onset": 0.1, "trajectory": "stored"},)"
        R"({"source": "src/b48.wav", "onset": 0.25, "gain": -6, )"
        R"("trajectory": {"points": "0:20:-30:2"}},)"
        R"({"source": "src/c48.wav", "onset": 0.5, "trajectory": "stored"}]})";
    WriteManifest("m.jsonl", R"({"output": "f32.wav", "format": "adm", "sampleFormat": "f32", )" +
                                 events + "\n" + R"({"output": "own.wav", "format": "adm", )" +
                                 events + "\n");
    Batch("");
    Sox("src/b48.wav -e floating-point -b 32 b.wav");
    Sox("src/c48.wav -e floating-point -b 32 c.wav");
    Sox("src/a24.wav -e floating-point -b 32 a.wav");
    const std::vector<float> scene = FloatsOf(dir.File("f32.wav"));
    const std::vector<float> a = FloatsOf(dir.File("a.wav"));
    const std::vector<float> b = FloatsOf(dir.File("b.wav"));
    const std::vector<float> c = FloatsOf(dir.File("c.wav"));
    ASSERT_EQ(scene.size(), 26400u * 4);
    ASSERT_EQ(b.size(), 14400u);
    const auto gain = static_cast<float>(std::pow(10.0, -6.0 / 20.0));
    size_t wrong = 0;
    double aPower = 0.0;
    for (size_t frame = 0; frame < 26400; ++frame) {
        const float* at = scene.data() + frame * 4;
        const float expected[] = {0.0f, frame >= 12000 ? b[frame - 12000] * gain : 0.0f,
                                  frame >= 24000 ? c[(frame - 24000) * 2] : 0.0f,
                                  frame >= 24000 ? c[(frame - 24000) * 2 + 1] : 0.0f};
        wrong += (frame < 4800 && at[0] != 0.0f) ? 1 : 0;
        aPower += double{at[0]} * at[0];
        for (size_t track = 1; track < 4; ++track) {
            wrong += at[track] != expected[track] ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0u);
    // The resampled track keeps its source's power (pink noise has no band near the old rate).
    double sourcePower = 0.0;
    for (size_t i = 0; i < 10800; ++i) {
        sourcePower += double{a[i]} * a[i];
    }
    EXPECT_NEAR(10 * std::log10((aPower / 21600) / (sourcePower / 10800)), 0.0, 0.5);

    // One object per track, each from its onset for as long as it sounds, its blocks counted
    // from its start and ending with it.
    const std::string axml = AxmlOf(dir.File("f32.wav"));
    const std::regex object(R"re(audioObjectName="([^"]+)" start="([^"]+)" duration="([^"]+)")re");
    const std::regex block(R"re(rtime="([^"]+)" duration="([^"]+)")re");
    struct Object {
        std::string name, start, duration;
    };
    const std::vector<Object> expected = {{"a24.wav", "00:00:00.10000", "00:00:00.45000"},
                                          {"b48.wav", "00:00:00.25000", "00:00:00.30000"},
                                          {"c48.wav left", "00:00:00.50000", "00:00:00.05000"},
                                          {"c48.wav right", "00:00:00.50000", "00:00:00.05000"}};
    std::vector<Object> found;
    for (auto it = std::sregex_iterator(axml.begin(), axml.end(), object);
         it != std::sregex_iterator(); ++it) {
        found.push_back({(*it)[1], (*it)[2], (*it)[3]});
    }
    ASSERT_EQ(found.size(), expected.size()) << axml;
    for (size_t n = 0; n < expected.size(); ++n) {
        SCOPED_TRACE(expected[n].name);
        EXPECT_EQ(found[n].name, expected[n].name);
        EXPECT_EQ(found[n].start, expected[n].start);
        EXPECT_EQ(found[n].duration, expected[n].duration);
        const size_t from = axml.find("<audioChannelFormat audioChannelFormatID=\"AC_0003100" +
                                      std::to_string(n + 1));
        const std::string channel =
            axml.substr(from, axml.find("</audioChannelFormat>", from) - from);
        std::smatch first, last;
        ASSERT_TRUE(std::regex_search(channel, first, block));
        for (auto it = std::sregex_iterator(channel.begin(), channel.end(), block);
             it != std::sregex_iterator(); ++it) {
            last = *it;
        }
        EXPECT_EQ(first[1].str(), "00:00:00.00000");
        EXPECT_EQ(TimeUnits(last[1]) + TimeUnits(last[2]), TimeUnits(expected[n].duration));
    }
    EXPECT_NE(axml.find("<integratedLoudness>"), std::string::npos) << "measured as written";

    // With no sampleFormat, the finest of the sounds' own: c48's 24 bits.
    const std::string own = Slurp(dir.File("own.wav"));
    const size_t fmt = own.find("fmt ");
    ASSERT_NE(fmt, std::string::npos);
    EXPECT_EQ(static_cast<uint8_t>(own[fmt + 8 + 14]), 24u);
    EXPECT_EQ(static_cast<uint8_t>(own[fmt + 8 + 2]), 4u) << "channels";
}

// Power of each channel of interleaved stereo floats.
std::pair<double, double> ChannelPowers(const std::vector<float>& samples) {
    double left = 0, right = 0;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        left += double{samples[i]} * samples[i];
        right += double{samples[i + 1]} * samples[i + 1];
    }
    const double frames = std::max<double>(1.0, static_cast<double>(samples.size() / 2));
    return {left / frames, right / frames};
}

TEST_F(CliBatchTest, TwoChannelScenesResampleEachRenderedEventToTheScenesRate) {
    // a24 far to the left, rendered at 24 kHz and taken to 48 kHz: twice the frames, and the
    // same power in each ear as the render at the sound's own rate (pink noise keeps its power
    // under a rate change that adds no band above the old one).
    ASSERT_EQ(RunCli(dir, "set-points " + dir.File("src/a24.wav") + " --points '0:-80'").exitCode,
              0);
    for (const char* format : {"stereo", "binaural"}) {
        SCOPED_TRACE(format);
        WriteManifest("m.jsonl", R"({"output": "scene.wav", "format": ")" + std::string(format) +
                                     R"(", "sampleFormat": "f32", "rate": 48000, "events": [)"
                                     R"({"source": "src/a24.wav", "trajectory": "stored"}]})"
                                     "\n");
        Batch("");
        ASSERT_EQ(
            RunCli(dir, "render " + dir.File("src/a24.wav") + " -o " + dir.File("a.wav") +
                            (format == "binaural"s ? " --binaural" : "") + " --sample-format f32")
                .exitCode,
            0);
        const std::vector<float> scene = FloatsOf(dir.File("scene.wav"));
        const std::vector<float> own = FloatsOf(dir.File("a.wav"));
        ASSERT_EQ(own.size(), 12000u * 2);
        ASSERT_EQ(scene.size(), 24000u * 2);
        const auto [sceneLeft, sceneRight] = ChannelPowers(scene);
        const auto [ownLeft, ownRight] = ChannelPowers(own);
        EXPECT_NEAR(10 * std::log10(sceneLeft / ownLeft), 0.0, 0.5);
        EXPECT_NEAR(10 * std::log10(sceneRight / ownRight), 0.0, 0.5);
        EXPECT_GT(sceneLeft, sceneRight * 2) << "the left ear leads";
    }
}

TEST_F(CliBatchTest, AnyJobCountGivesTheSameBytes) {
    WriteManifest("m.jsonl", Scenes(7));
    Batch("--jobs 1 --manifest-out " + dir.File("one.sha256") + "");
    for (const char* jobs : {"2", "5"}) {
        fs::remove_all(dir.Path() / "out");
        Batch(std::string("--jobs ") + jobs + " --manifest-out " + dir.File("many.sha256"));
        EXPECT_EQ(Slurp(dir.File("one.sha256")), Slurp(dir.File("many.sha256"))) << jobs;
    }
    // Seven outputs and two label files (s3 is stereo, without), each listed once, in the
    // manifest's order.
    const std::string record = Slurp(dir.File("one.sha256"));
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 9) << record;
    EXPECT_EQ(record.find("  out/s0.wav\n"), 64u) << record;
    EXPECT_EQ(SoxTools::Command("cd " + SoxTools::Quote(dir.Path().string()) +
                                " && sha256sum --quiet -c one.sha256")
                  .status,
              0);
}

TEST_F(CliBatchTest, ThreeShardsUnderGnuParallelMakeTheSingleRun) {
    WriteManifest("m.jsonl", Scenes(8));
    Batch("--jobs 2");
    fs::rename(dir.Path() / "out", dir.Path() / "single");
    const SoxTools::Outcome run = SoxTools::Command(
        "cd " + SoxTools::Quote(dir.Path().string()) +
        " && parallel --will-cite --halt now,fail=1 -j 3 " + SONOMAP_CLI_PATH +
        " batch m.jsonl --jobs 1 --shard {}/3 --manifest-out shard{}.sha256 ::: 0 1 2");
    ASSERT_EQ(run.status, 0) << run.output;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "single")) {
        ++files;
        const fs::path sharded = dir.Path() / "out" / entry.path().filename();
        EXPECT_EQ(Slurp(entry.path().string()), Slurp(sharded.string())) << sharded;
    }
    EXPECT_EQ(files, 10u);
    EXPECT_EQ(FilesIn(dir.Path() / "out"), files);
    // Shard 1 of 3 holds jobs 1, 4 and 7, and only them.
    const std::string shard1 = Slurp(dir.File("shard1.sha256"));
    EXPECT_NE(shard1.find("out/s1.wav\n"), std::string::npos) << shard1;
    EXPECT_NE(shard1.find("out/s7.wav\n"), std::string::npos) << shard1;
    EXPECT_EQ(std::count(shard1.begin(), shard1.end(), '\n'), 3) << shard1;
}

TEST_F(CliBatchTest, AResumeAfterAKillRendersOnlyWhatIsNotInPlaceWithItsHash) {
    WriteManifest("m.jsonl", Scenes(12));
    Batch("--jobs 2 --manifest-out " + dir.File("reference.sha256"));
    fs::rename(dir.Path() / "out", dir.Path() / "reference");

    // Killed outright once at least one job is recorded.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(SONOMAP_CLI_PATH, SONOMAP_CLI_PATH, "batch", dir.File("m.jsonl").c_str(), "--jobs",
                "1", "--manifest-out", dir.File("run.sha256").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Slurp(dir.File("run.sha256")).find("out/s1.wav") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // What a killed run leaves in place is whole; a file cut short by a disk or a person is
    // not taken as done, nor is a stranger's file at an output's name.
    ASSERT_TRUE(fs::exists(dir.Path() / "out/s0.wav"));
    fs::resize_file(dir.Path() / "out/s0.wav", 1000);
    std::ofstream(dir.File("out/s11.wav")) << "not a scene";

    const std::string err = Batch("--jobs 2 --resume --manifest-out " + dir.File("run.sha256"));
    EXPECT_NE(err.find("12 jobs: "), std::string::npos) << err;
    EXPECT_EQ(err.find(", 0 already done"), std::string::npos) << err;
    EXPECT_NE(err.find(", 0 failed"), std::string::npos) << err;
    EXPECT_EQ(Slurp(dir.File("run.sha256")), Slurp(dir.File("reference.sha256")));
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "reference")) {
        ++files;
        EXPECT_EQ(Slurp(entry.path().string()),
                  Slurp((dir.Path() / "out" / entry.path().filename()).string()))
            << entry.path().filename();
    }
    EXPECT_EQ(FilesIn(dir.Path() / "out"), files) << "a temp file was left";
    // Everything in place: a second resume renders nothing.
    EXPECT_NE(Batch("--resume --manifest-out " + dir.File("run.sha256"))
                  .find("0 rendered, 12 already done"),
              std::string::npos);
}

}  // namespace

TEST_F(CliBatchTest, ALoudnessTargetTurnsEachKindOfSceneToItOrRefusesItsLine) {
    // c48 lasts 2 s, enough for the gated measure; each output as the meter of the exports
    // counts it (AmbiX by W, 0+5+0 by its weights, the rest every channel at 1).
    const struct {
        const char* output;
        const char* format;
        double target;
        int channels;
        std::vector<LoudnessWeight> weights;
    } cases[] = {
        {"one.wav", "stereo", -23.0, 2, {}},
        {"mix.wav", "ambix", -23.0, 4, {LoudnessWeight::Unit}},
        {"feeds.wav", "layout:0+5+0", -27.5, 6, {}},
        {"objects.wav", "adm", -30.0, 2, {}},
    };
    std::string manifest;
    for (const auto& c : cases) {
        manifest += R"({"output": ")" + std::string(c.output) + R"(", "format": ")" + c.format +
                    R"(", "sampleFormat": "f32", "loudness": )" + std::to_string(c.target) +
                    R"(, "events": [{"source": "src/c48.wav", "trajectory": "stored"}]})"
                    "\n";
    }
    WriteManifest("m.jsonl", manifest);
    Batch("--jobs 1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<LoudnessWeight> weights = c.weights;
        if (std::string(c.format).rfind("layout:", 0) == 0) {
            weights = LoudnessMeter::WeightsFor(*SpeakerLayout::Find("0+5+0"));
        }
        weights.resize(static_cast<size_t>(c.channels),
                       c.weights.empty() ? LoudnessWeight::Unit : LoudnessWeight::LeftOut);
        const std::vector<float> samples = FloatsOf(dir.File(c.output));
        ASSERT_FALSE(samples.empty());
        LoudnessMeter meter(48000, weights);
        meter.AddFrames(samples.data(), samples.size() / static_cast<size_t>(c.channels));
        EXPECT_NEAR(meter.IntegratedLoudness(), c.target, 0.05);
    }
    // Nothing of the measuring renders stays beside the outputs.
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 4u + 1u + 2u);  // the outputs, the manifest, stdout and stderr

    // A target outside -70 .. 0 refuses the line before anything renders; one the sound cannot
    // reach without passing -1 dBTP refuses that job alone, with the figures.
    const struct {
        const char* loudness;
        int exitCode;
        const char* words;
    } refusals[] = {
        {"-80", 2, "\"loudness\" -80 lies outside -70 .. 0 LUFS"},
        {"\"loud\"", 2, "\"loudness\" must be a number"},
        {"-1", 1, "past -1 dBTP"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.loudness);
        WriteManifest("m.jsonl", R"({"output": "refused.wav", "format": "ambix", "loudness": )" +
                                     std::string(r.loudness) +
                                     R"(, "events": [{"source": "src/c48.wav", "trajectory": )"
                                     R"("stored"}]})"
                                     "\n");
        const std::string err = Batch("--jobs 1", r.exitCode);
        EXPECT_NE(err.find(r.words), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir.File("refused.wav")));
    }
}
