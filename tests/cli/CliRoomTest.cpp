// A sound in a room through the real sonomap-cli: the direct sound and the first reflections at
// their paths' times and levels, the tail decaying at Eyring's RT60, the same share of early
// sound whichever renderer hears it, and every room or place that cannot be heard refused with
// its reason before any output exists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "CliRun.h"
#include "support/FileBytes.h"
#include "support/SoundIo.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kClick = 4800;  // the frame the click leaves at

// Every channel of a float WAV at rate.
std::vector<std::vector<double>> ReadFloats(const std::string& path, uint32_t rate = kRate) {
    const SoundContents sound = ReadSound(path);
    EXPECT_TRUE(sound.bOpened) << path;
    EXPECT_EQ(sound.format.sampleRate, rate);
    const size_t channels = sound.format.channels;
    std::vector<std::vector<double>> out(channels);
    const size_t frames = sound.samples.size() / (4 * std::max<size_t>(channels, 1));
    for (size_t f = 0; f < frames; ++f) {
        for (size_t c = 0; c < channels; ++c) {
            float value;
            std::memcpy(&value, sound.samples.data() + (f * channels + c) * 4, 4);
            out[c].push_back(value);
        }
    }
    return out;
}

// Energy of channels over frames [from, to).
double Energy(const std::vector<std::vector<double>>& channels, size_t from, size_t to) {
    double sum = 0.0;
    for (const std::vector<double>& x : channels) {
        for (size_t n = from; n < std::min(to, x.size()); ++n) {
            sum += x[n] * x[n];
        }
    }
    return sum;
}

class CliRoomTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args) { return RunCli(dir, args, "ALSOFT_DRIVERS=null "); }
    // A click at kClick, one second long, placed at points.
    std::string Click(const std::string& points) {
        std::vector<float> samples(kRate, 0.0f);
        samples[kClick] = 1.0f;
        Bytes bytes(samples.size() * 4);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        const std::string path = dir.File("click.wav");
        WriteBytes(path, WaveFile(PcmFormat{3, 1, kRate, kRate * 4, 4, 32}, bytes));
        EXPECT_EQ(Cli("set-points " + path + " --points " + points).exitCode, 0);
        return path;
    }
    std::vector<std::vector<double>> Render(const std::string& in, const std::string& options) {
        const std::string out = dir.File("room.wav");
        const CliRun run = Cli("render " + in + " -o " + out + " --sample-format f32 " + options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ReadFloats(out);
    }
    TempDir dir;
};

const char* kRoom = "--room 6,4,3 --listener-at 2.2,1.7,1.4 --absorption 0.3 --doppler";

// Paths as pyroomacoustics gives them for the room of kRoom, the click at 40, 10, 2 m, with the
// walls' sqrt(1 - 0.3) once.
const struct {
    double metres;
    double damping;
} kFirstPaths[] = {{2.0, 1.0},
                   {3.358410647, 0.83666},
                   {3.466598221, 0.83666},
                   {3.712796685, 0.83666},
                   {5.081331305, 0.83666},
                   {5.873771421, 0.83666},
                   {6.520438979, 0.83666}};

// Each path's arrival in w (the click leaving at kClick, frames at rate): when its energy's
// centre lies, in frames, and its level, dB of the energy the click would have at kRate. Each
// path heard less metres late.
std::vector<std::pair<double, double>> Arrivals(const std::vector<double>& w, uint32_t rate,
                                                double less = 0.0) {
    std::vector<std::pair<double, double>> out;
    const double scale = static_cast<double>(rate) / kRate;
    for (const auto& path : kFirstPaths) {
        const double at = (kClick + (path.metres - less) / 343.0 * kRate) * scale;
        const auto from = static_cast<size_t>(at) - 6, to = static_cast<size_t>(at) + 7;
        double energy = 0.0, moment = 0.0;
        for (size_t n = from; n < std::min(to, w.size()); ++n) {
            energy += w[n] * w[n];
            moment += static_cast<double>(n) * w[n] * w[n];
        }
        out.emplace_back(moment / energy, 10.0 * std::log10(energy / scale));
    }
    return out;
}

}  // namespace

TEST_F(CliRoomTest, TheDirectSoundAndItsFirstReflectionsArriveAtTheirPathsTimesAndLevels) {
    const std::string click = Click("0:40:10:2");
    const std::vector<std::vector<double>> w =
        Render(click, std::string("--ambix ") + kRoom + " --reflections 1 --room-tail off");
    const std::vector<std::pair<double, double>> arrivals = Arrivals(w[0], kRate);
    for (size_t k = 0; k < arrivals.size(); ++k) {
        SCOPED_TRACE(kFirstPaths[k].metres);
        EXPECT_NEAR(arrivals[k].first, kClick + kFirstPaths[k].metres / 343.0 * kRate, 1.0);
        EXPECT_NEAR(arrivals[k].second,
                    20.0 * std::log10(kFirstPaths[k].damping / kFirstPaths[k].metres), 1.0);
    }
}

TEST_F(CliRoomTest, ABatchAtAnotherRateHearsTheRoomAtThatRate) {
    // The batch's scenes at the sound's rate and at others, where the room is heard at the
    // output's rate: the same times, and the reflections' levels against the direct sound's.
    // Without Doppler the direct sound is undelayed (and read from the room's resampled sound),
    // the reflections its path behind.
    const std::string click = Click("0:40:10:2");
    const struct {
        uint32_t rate;
        bool bDoppler;
    } cases[] = {{kRate, true},  {24000, true},  {44100, true},
                 {kRate, false}, {24000, false}, {44100, false}};
    for (const auto& [rate, bDoppler] : cases) {
        SCOPED_TRACE(testing::Message() << rate << (bDoppler ? " Doppler" : ""));
        std::ofstream(dir.File("m.jsonl"))
            << R"({"output": ")" << dir.File("out.wav")
            << R"(", "format": "ambix", "sampleFormat": "f32", "rate": )" << rate
            << R"(, "duration": 1, "doppler": )" << (bDoppler ? "true" : "false")
            << R"(, "room": {"size": [6, 4, 3], )"
            << R"("listener": [2.2, 1.7, 1.4], "absorption": 0.3, "reflections": 1, )"
            << R"("tail": false}, "events": [{"source": ")" << click
            << R"(", "onset": 0, "class": 0, )"
            << R"("trajectory": {"points": "0:40:10:2"}}]})"
            << "\n";
        std::filesystem::remove(dir.File("out.wav"));
        const CliRun run = Cli("batch " + dir.File("m.jsonl"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<double> w = ReadFloats(dir.File("out.wav"), rate)[0];
        const double less = bDoppler ? 0.0 : kFirstPaths[0].metres;
        const std::vector<std::pair<double, double>> arrivals = Arrivals(w, rate, less);
        const double scale = static_cast<double>(rate) / kRate;
        for (size_t k = 0; k < arrivals.size(); ++k) {
            SCOPED_TRACE(kFirstPaths[k].metres);
            EXPECT_NEAR(arrivals[k].first,
                        (kClick + (kFirstPaths[k].metres - less) / 343.0 * kRate) * scale, 1.0);
            EXPECT_NEAR(arrivals[k].second - arrivals[0].second,
                        20.0 * std::log10(kFirstPaths[k].damping * 2.0 / kFirstPaths[k].metres),
                        1.0);
        }
    }
}

TEST_F(CliRoomTest, TheTailFallsAtEyringsRt60AndEveryRendererHearsTheSameShareOfEarlySound) {
    const struct {
        const char* room;
        double eyring;
    } rooms[] = {{"--room 6,4,3 --absorption 0.2", 0.481},
                 {"--room 10,8,4 --absorption 0.1", 1.609},
                 {"--room 4,3,2.5 --absorption 0.4", 0.160}};
    const std::string click = Click("0:40:10:1");
    for (const auto& room : rooms) {
        SCOPED_TRACE(room.room);
        const std::vector<std::vector<double>> w =
            Render(click, std::string("--ambix --doppler ") + room.room);
        // Schroeder's backward integral over W from the click, -5 to -25 dB, times 3.
        std::vector<double> decay(w[0].size() - kClick);
        double sum = 0.0;
        for (size_t n = decay.size(); n-- > 0;) {
            sum += w[0][kClick + n] * w[0][kClick + n];
            decay[n] = sum;
        }
        const auto fall = [&](double db) {
            return static_cast<double>(
                std::find_if(decay.begin(), decay.end(),
                             [&](double e) { return 10.0 * std::log10(e / decay[0]) <= db; }) -
                decay.begin());
        };
        const double rt60 = (fall(-25.0) - fall(-5.0)) / kRate * 3.0;
        std::printf("[ measured ] %s: T20 %.3f s, Eyring %.3f s\n", room.room, rt60, room.eyring);
        EXPECT_NEAR(rt60 / room.eyring, 1.0, 0.2);
    }

    // The early reflections against the direct sound: the same within 3 dB in AmbiX W, both
    // ears and the loudspeakers.
    const std::string near = Click("0:40:10:2");
    const double direct = kClick + 2.0 / 343.0 * kRate;
    const auto ratio = [&](const std::vector<std::vector<double>>& channels) {
        const auto d = static_cast<size_t>(direct);
        return 10.0 * std::log10(Energy(channels, d + 170, d + kRate / 12) /
                                 Energy(channels, d - 40, d + 170));
    };
    const std::string room = std::string(kRoom) + " --reflections 3 --room-tail off";
    std::vector<std::vector<double>> ambix = Render(near, "--ambix " + room);
    ambix.resize(1);  // W
    const double w = ratio(ambix);
    for (const char* kind : {"--binaural", "--layout 0+5+0"}) {
        const double other = ratio(Render(near, std::string(kind) + " " + room));
        std::printf("[ measured ] early over direct: W %.2f dB, %s %.2f dB\n", w, kind, other);
        EXPECT_NEAR(other, w, 3.0) << kind;
    }
    // ADM: the direct sound's object at its own level, then the room as a first-order HOA
    // object levelled to it, so the two together hold W's share.
    std::vector<std::vector<double>> adm = Render(near, "--adm --order 1 " + room);
    ASSERT_EQ(adm.size(), 5u);
    const Bytes file = ReadBytes(dir.File("room.wav"));
    const std::string text(file.begin(), file.end());
    EXPECT_NE(text.find("typeDefinition=\"HOA\""), std::string::npos);
    EXPECT_NE(text.find("<order>1</order>"), std::string::npos);
    EXPECT_EQ(text.find("<order>2</order>"), std::string::npos);
    adm.resize(2);
    std::printf("[ measured ] early over direct: W %.2f dB, ADM %.2f dB\n", w, ratio(adm));
    EXPECT_NEAR(ratio(adm), w, 1.0);
}

TEST_F(CliRoomTest, ARoomOrAPlaceThatCannotBeHeardIsRefusedAndNothingIsWritten) {
    const std::string click = Click("0:0:0:1,24000:90:0:2.5");
    const struct {
        const char* options;
        int exitCode;
        const char* words;
    } cases[] = {
        {"--room 6,4", 2, "--room is three sizes in metres"},
        {"--room 6,0,3", 2, "the room's depth of 0 m"},
        {"--room 6,-4,3", 2, "the room's depth of -4 m"},
        {"--room 6,4,3 --listener-at 7,2,1", 2, "the listener at x 7 m is outside the room"},
        {"--room 6,4,3 --absorption 1.5", 2, "the absorption of x = 0, 1.5, lies outside"},
        {"--room 6,4,3 --absorption 0.3,0.3,0.3,0.3,0.3,0.001", 2, "the ceiling, 0.001"},
        {"--room 6,4,3 --absorption 0.3,0.3", 2, "--absorption is one coefficient or six"},
        {"--room 6,4,3 --reflections 13", 2, "--reflections is an order from 0 to 12"},
        {"--room 6,4,3 --room-tail maybe", 2, "--room-tail is on or off"},
        {"--absorption 0.3", 2, "--absorption goes with --room"},
        // Heard from the middle of a 4 m wide room, 2.5 m to the right is past its wall.
        {"--room 4,6,3", 1, "outside the room (4 x 6 x 3 m)"},
#ifdef SONOMAP_CLI_HAS_MIXER
        {"--room 6,4,3 --binaural --hrtf default-48000", 1, "choose a SOFA set"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string out = dir.File("refused.wav");
        const CliRun run = Cli("render " + click + " -o " + out + " " + c.options);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // The first frame outside is named: the path crosses x = 4 between its two points.
    const CliRun run = Cli("render " + click + " -o " + dir.File("x.wav") + " --room 4,6,3");
    EXPECT_NE(run.err.find("At frame 18334 (0:00.381)"), std::string::npos) << run.err;
}
