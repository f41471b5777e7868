// The listener's head through the real sonomap-cli: one table of orientations across every kind
// of render (binaural ears, the AmbiX field's direction, a loudspeaker layout's feeds, the stereo
// filter's fold, ADM's places), the option's two spellings and its wrapping, the refusals, and
// a batch scene whose labels follow the head.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "support/FileBytes.h"
#include "support/Interaural.h"
#include "support/SoundIo.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// The channels of a float WAV file.
std::vector<std::vector<float>> ReadFloats(const std::string& path) {
    const SoundContents sound = ReadSound(path);
    EXPECT_TRUE(sound.bOpened) << path;
    std::vector<std::vector<float>> channels;
    if (!sound.bOpened || sound.format.bitsPerSample != 32) {
        return channels;
    }
    const size_t count = sound.format.channels;
    const size_t frames = sound.samples.size() / (count * 4);
    channels.assign(count, std::vector<float>(frames));
    for (size_t f = 0; f < frames; ++f) {
        for (size_t c = 0; c < count; ++c) {
            std::memcpy(&channels[c][f], sound.samples.data() + (f * count + c) * 4, 4);
        }
    }
    return channels;
}

double Dot(const std::vector<float>& a, const std::vector<float>& b) {
    double sum = 0.0;
    for (size_t n = 0; n < a.size(); ++n) {
        sum += double{a[n]} * b[n];
    }
    return sum;
}

// What each row looks at in its output.
enum class Look {
    Ears,       // binaural: the ear a dB louder (positive: left) and leading by b .. c ms
    Direction,  // AmbiX: heard at azimuth a, elevation b (degrees, Sonomap's), within 2
    Share,      // a layout: channel a carries at least b of the energy
    SameAs,     // the very bytes of the render of reference without a head
    AdmPlace,   // ADM: the file's trajectory read back at azimuth a, elevation b
};

struct Row {
    const char* name;
    const char* options;  // the kind of render
    const char* head;     // as the command line takes it, "--head ..." or "--head=..."
    const char* points;   // the source's one place
    Look look;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    const char* reference = "";  // SameAs: the points rendered without a head
    const char* referenceHead = "";
};

const Row kRows[] = {
    {"binaural, turned right", "--binaural --sample-format f32", "--head 90,0,0", "0:0", Look::Ears,
     6.0, 0.4, 0.9},
    {"binaural, turned left", "--binaural --sample-format f32", "--head -90,0,0", "0:0", Look::Ears,
     -6.0, 0.4, 0.9},
    {"AmbiX, turned toward the source", "--ambix --sample-format f32", "--head 30,0,0", "0:30",
     Look::Direction, 0.0, 0.0},
    {"AmbiX, nose up", "--ambix --sample-format f32", "--head 0,20,0", "0:0", Look::Direction, 0.0,
     -20.0},
    {"AmbiX, right ear down", "--ambix --sample-format f32", "--head 0,0,30", "0:90",
     Look::Direction, 90.0, 30.0},
    // Facing the source at the right, nose up 30 and the right ear 20 down: 11.17 right and
    // 28.02 below, as the three turns in their order put it.
    {"AmbiX, yaw, pitch and roll", "--ambix --sample-format f32", "--head 90,30,20", "0:90",
     Look::Direction, 11.17, -28.02},
    {"AmbiX order 3, turned right", "--ambix --order 3 --sample-format f32", "--head 90,0,0", "0:0",
     Look::Direction, -90.0, 0.0},
    {"0+5+0, turned left", "--layout 0+5+0 --sample-format f32", "--head -30,0,0", "0:0",
     Look::Share, 1, 0.9},
    {"stereo filter, turned past the side: folded", "--sample-format f32", "--head 120,0,0", "0:0",
     Look::SameAs, 0, 0, 0, "0:-120", ""},
    {"both spellings", "--ambix --sample-format f32", "--head=-90,0,0", "0:20", Look::SameAs, 0, 0,
     0, "0:20", "--head -90,0,0"},
    {"angles wrap", "--binaural --sample-format f32", "--head 270,-360,720", "0:45", Look::SameAs,
     0, 0, 0, "0:45", "--head -90,0,0"},
    {"ADM, turned right", "--adm --sample-format f32", "--head 90,0,0", "0:0", Look::AdmPlace,
     -90.0, 0.0},
    {"ADM, turned and tilted", "--adm --sample-format f32", "--head 0,0,30", "0:90", Look::AdmPlace,
     90.0, 30.0},
};

class CliHeadTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args) { return RunCli(dir, args, "ALSOFT_DRIVERS=null "); }
    // A second of mono noise at dir/name placed at points.
    std::string Noise(const std::string& name, const std::string& points) {
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> noise(-0.25f, 0.25f);
        std::vector<float> samples(kRate);
        for (float& sample : samples) {
            sample = noise(rng);
        }
        const PcmFormat format{3, 1, kRate, kRate * 4, 4, 32};
        Bytes bytes(samples.size() * 4);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        const std::string path = dir.File(name);
        WriteBytes(path, WaveFile(format, bytes));
        EXPECT_EQ(Cli("set-points " + path + " --points " + points).exitCode, 0);
        return path;
    }
    TempDir dir;
};

}  // namespace

TEST_F(CliHeadTest, EveryKindOfRenderHearsTheSceneAsTheTurnedHeadDoes) {
    int index = 0;
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const std::string stem = "row" + std::to_string(index++);
        const std::string in = Noise(stem + ".wav", row.points);
        const std::string out = dir.File(stem + "-out.wav");
        const CliRun run = Cli("render " + in + " -o " + out + " " + row.options + " " + row.head);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        if (row.look == Look::SameAs) {
            const std::string reference = Noise(stem + "-ref.wav", row.reference);
            const std::string refOut = dir.File(stem + "-ref-out.wav");
            ASSERT_EQ(Cli("render " + reference + " -o " + refOut + " " + row.options + " " +
                          row.referenceHead)
                          .exitCode,
                      0);
            EXPECT_TRUE(ReadBytes(out) == ReadBytes(refOut));
            continue;
        }
        if (row.look == Look::AdmPlace) {
            EXPECT_NE(Slurp(out).find("Places as heard by a listener whose head is turned"),
                      std::string::npos);
            EXPECT_NE(run.err.find("Places as heard"), std::string::npos) << run.err;
            // Import reads an ADM file's objects back into points.
            const std::string imported = dir.File(stem + "-imported.wav");
            ASSERT_EQ(Cli("import " + out + " " + imported).exitCode, 0);
            const CliRun info = Cli("info " + imported);
            ASSERT_EQ(info.exitCode, 0) << info.err;
            const nlohmann::json places = nlohmann::json::parse(info.out).at("trajectory");
            ASSERT_FALSE(places.empty()) << info.out;
            for (const nlohmann::json& place : places) {
                EXPECT_NEAR(place.at("azimuth").get<double>(), row.a, 0.5) << place;
                EXPECT_NEAR(place.at("elevation").get<double>(), row.b, 0.5) << place;
            }
            std::printf("[ measured ] %s: ADM place read back at %s\n", row.name,
                        places.front().dump().c_str());
            continue;
        }
        const std::vector<std::vector<float>> channels = ReadFloats(out);
        ASSERT_FALSE(channels.empty());
        const size_t frames = channels[0].size();
        if (row.look == Look::Ears) {
            const Interaural ears =
                Interaural::Measure(channels[0], channels[1], kRate / 10, frames - kRate / 10, 64);
            const double leadMs = 1000.0 * ears.lagFrames / kRate;
            std::printf("[ measured ] %s: left %+.1f dB, left leads by %.3f ms\n", row.name,
                        ears.levelDb, leadMs);
            if (row.a > 0) {
                EXPECT_GE(ears.levelDb, row.a);
                EXPECT_GE(leadMs, row.b);
                EXPECT_LE(leadMs, row.c);
            } else {
                EXPECT_LE(ears.levelDb, row.a);
                EXPECT_GE(-leadMs, row.b);
                EXPECT_LE(-leadMs, row.c);
            }
        } else if (row.look == Look::Direction) {
            // First order, SN3D, ACN: W Y Z X; AmbiX counts azimuth to the left.
            const double y = Dot(channels[0], channels[1]);
            const double z = Dot(channels[0], channels[2]);
            const double x = Dot(channels[0], channels[3]);
            const double azimuth = -std::atan2(y, x) * kDegrees;
            const double elevation = std::atan2(z, std::hypot(x, y)) * kDegrees;
            std::printf("[ measured ] %s: heard at azimuth %.2f, elevation %.2f\n", row.name,
                        azimuth, elevation);
            EXPECT_NEAR(std::remainder(azimuth - row.a, 360.0), 0.0, 2.0);
            EXPECT_NEAR(elevation, row.b, 2.0);
        } else if (row.look == Look::Share) {
            double total = 0.0;
            for (const std::vector<float>& channel : channels) {
                total += Dot(channel, channel);
            }
            const auto speaker = static_cast<size_t>(row.a);
            const double share = Dot(channels[speaker], channels[speaker]) / total;
            std::printf("[ measured ] %s: channel %zu carries %.1f %% of the energy\n", row.name,
                        speaker, 100.0 * share);
            EXPECT_GE(share, row.b);
        }
    }
}

TEST_F(CliHeadTest, AHeadThatIsNotThreeNumbersIsRefusedAndNothingIsWritten) {
    const std::string in = Noise("in.wav", "0:0");
    const char* const bad[] = {"--head 1,2",       "--head 1,2,3,4",   "--head a,b,c",
                               "--head ''",        "--head=",          "--head nan,0,0",
                               "--head 0x10,0,0",  "--head ' 1,2,3'",  "--head 1,,3",
                               "--head 1e999,0,0", "--head 10,20,30,", "--head"};
    for (const char* head : bad) {
        SCOPED_TRACE(head);
        const std::string out = dir.File("refused.wav");
        const CliRun run = Cli("render " + in + " -o " + out + " --ambix " + head);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("--head"), std::string::npos) << run.err;
        EXPECT_FALSE(std::ifstream(out).good());
    }
}

TEST_F(CliHeadTest, ABatchSceneIsRenderedForItsHeadAndItsLabelsFollowIt) {
    Noise("src.wav", "0:0");
    const std::string manifest = dir.File("scenes.jsonl");
    std::ofstream(manifest)
        << R"({"output": "turned.wav", "format": "ambix", "labels": "turned.csv", "head": [90, 0, 0], )"
        << R"("events": [{"source": "src.wav", "class": 2, "trajectory": "stored"}]})"
        << "\n"
        << R"({"output": "straight.wav", "format": "ambix", "labels": "straight.csv", )"
        << R"("events": [{"source": "src.wav", "class": 2, "trajectory": "stored"}]})"
        << "\n";
    const CliRun run = Cli("batch " + manifest + " --jobs 1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The scene is what render --ambix --head writes.
    const std::string rendered = dir.File("rendered.wav");
    ASSERT_EQ(Cli("render " + dir.File("src.wav") + " -o " + rendered + " --ambix --head 90,0,0")
                  .exitCode,
              0);
    EXPECT_TRUE(ReadBytes(dir.File("turned.wav")) == ReadBytes(rendered));
    // frame,class,source,azimuth,elevation,distance: ahead turned 90 right is the left, which
    // the labels count as +90.
    const std::string turned = Slurp(dir.File("turned.csv"));
    const std::string straight = Slurp(dir.File("straight.csv"));
    EXPECT_EQ(turned.rfind("0,2,0,90,0,100\n", 0), 0u) << turned;
    EXPECT_EQ(straight.rfind("0,2,0,0,0,100\n", 0), 0u) << straight;

    std::ofstream(manifest) << R"({"output": "bad.wav", "format": "ambix", "head": [90, 0], )"
                            << R"("events": [{"source": "src.wav", "trajectory": "stored"}]})"
                            << "\n";
    const CliRun refused = Cli("batch " + manifest);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("\"head\" is [yaw, pitch, roll]"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::ifstream(dir.File("bad.wav")).good());
}
