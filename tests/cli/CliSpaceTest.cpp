// Sound that travels, through the real sonomap-cli: what --doppler and --air do, measured on the
// files every kind of render writes (the pitch a moving source is heard at, the delay of its
// path, how clean the interpolation keeps a tone, a jump that fades instead of sweeping, the
// air's absorption against ISO 9613-1), and renders without them byte for byte what the build
// before them wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "CliRun.h"
#include "sofa/RealFft.h"
#include "support/FileBytes.h"
#include "support/SoundIo.h"

namespace {

constexpr uint32_t kRate = 48000;

// The channels of a WAV file as doubles of full scale 1.0.
struct Heard {
    uint32_t rate = 0;
    std::vector<std::vector<double>> channels;
    size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

Heard ReadHeard(const std::string& path) {
    const SoundContents sound = ReadSound(path);
    Heard heard;
    EXPECT_TRUE(sound.bOpened) << path;
    if (!sound.bOpened) {
        return heard;
    }
    heard.rate = sound.format.sampleRate;
    const int channels = sound.format.channels;
    const int bytes = sound.format.bitsPerSample / 8;
    const size_t frames = sound.samples.size() / static_cast<size_t>(channels * bytes);
    heard.channels.assign(static_cast<size_t>(channels), std::vector<double>(frames));
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const uint8_t* at = sound.samples.data() + (f * channels + c) * bytes;
            double value = 0.0;
            if (sound.format.formatTag == 3 || (sound.format.formatTag == 0xFFFE && bytes == 4)) {
                float f32;
                std::memcpy(&f32, at, 4);
                value = f32;
            } else if (bytes == 2) {
                value = static_cast<int16_t>(at[0] | at[1] << 8) / 32768.0;
            } else if (bytes == 3) {
                value = static_cast<int32_t>(
                            static_cast<uint32_t>(at[0] << 8 | at[1] << 16 | at[2] << 24)) /
                        2147483648.0;
            }
            heard.channels[static_cast<size_t>(c)][f] = value;
        }
    }
    return heard;
}

// A mono float WAV of samples at kRate.
void WriteMono(const std::string& path, const std::vector<float>& samples) {
    const PcmFormat format{3, 1, kRate, kRate * 4, 4, 32};
    Bytes bytes(samples.size() * 4);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    WriteBytes(path, WaveFile(format, bytes));
}

std::vector<float> Tone(double hz, double seconds, double amplitude = 0.5) {
    std::vector<float> samples(static_cast<size_t>(seconds * kRate));
    for (size_t n = 0; n < samples.size(); ++n) {
        samples[n] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * n / kRate));
    }
    return samples;
}

// The mean frequency between frames [from, to), from its upward zero crossings.
double Frequency(const std::vector<double>& x, size_t from, size_t to) {
    double first = -1.0, last = -1.0;
    int periods = -1;
    for (size_t n = from; n + 1 < to; ++n) {
        if (x[n] <= 0.0 && x[n + 1] > 0.0) {
            const double at = static_cast<double>(n) + x[n] / (x[n] - x[n + 1]);
            if (first < 0.0) {
                first = at;
            }
            last = at;
            ++periods;
        }
    }
    return periods > 0 ? periods / (last - first) * kRate : 0.0;
}

// The power spectrum of size frames from `from`, through a four-term Blackman-Harris window
// unless the frames come windowed (size a power of two).
std::vector<double> Spectrum(const std::vector<double>& x, size_t from, uint32_t size,
                             bool bWindowed = false) {
    RealFft fft(size);
    std::vector<float> time(size), spectrum(2 * fft.Bins() + 2);
    for (uint32_t n = 0; n < size; ++n) {
        const double p = 2.0 * std::numbers::pi * n / size;
        const double window = bWindowed ? 1.0
                                        : 0.35875 - 0.48829 * std::cos(p) +
                                              0.14128 * std::cos(2 * p) - 0.01168 * std::cos(3 * p);
        time[n] = static_cast<float>(from + n < x.size() ? x[from + n] * window : 0.0);
    }
    fft.Forward(time.data(), spectrum.data());
    std::vector<double> power(fft.Bins());
    for (uint32_t k = 0; k < fft.Bins(); ++k) {
        const double re = spectrum[k], im = spectrum[fft.ImaginaryAt() + k];
        power[k] = re * re + im * im;
    }
    return power;
}

// ISO 9613-1's absorption coefficient in dB per metre at 20 degrees C, 50 % relative humidity
// and 101.325 kPa (equations 3 to 5 and B.1), the reference the renders are held to.
double IsoDbPerMetre(double f) {
    const double t = 293.15, t0 = 293.15, t01 = 273.16;
    const double psat = std::pow(10.0, -6.8346 * std::pow(t01 / t, 1.261) + 4.6151);
    const double h = 50.0 * psat;
    const double frO = 24.0 + 4.04e4 * h * (0.02 + h) / (0.391 + h);
    const double frN = std::pow(t / t0, -0.5) *
                       (9.0 + 280.0 * h * std::exp(-4.170 * (std::pow(t / t0, -1.0 / 3) - 1)));
    return 8.686 * f * f *
           (1.84e-11 * std::sqrt(t / t0) +
            std::pow(t / t0, -2.5) * (0.01275 * std::exp(-2239.1 / t) / (frO + f * f / frO) +
                                      0.1068 * std::exp(-3352.0 / t) / (frN + f * f / frN)));
}

// SHA-256 of a file, as sha256sum prints it.
std::string Sha256(const std::string& path) {
    std::string line;
    if (FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r")) {
        char text[128] = {};
        if (std::fgets(text, sizeof text, pipe) != nullptr) {
            line = text;
        }
        pclose(pipe);
    }
    return line.substr(0, 64);
}

class CliSpaceTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args) { return RunCli(dir, args, "ALSOFT_DRIVERS=null "); }
    // A mono sound at dir/name with points.
    std::string Sound(const std::string& name, const std::vector<float>& samples,
                      const std::string& points) {
        const std::string path = dir.File(name);
        WriteMono(path, samples);
        EXPECT_EQ(Cli("set-points " + path + " --points " + points).exitCode, 0);
        return path;
    }
    Heard Render(const std::string& in, const std::string& options) {
        const std::string out = dir.File("out.wav");
        const CliRun run = Cli("render " + in + " -o " + out + " " + options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ReadHeard(out);
    }
    TempDir dir;
};

// The kinds of render a sound is heard through, and the channel that hears a source ahead.
struct Kind {
    const char* name;
    const char* options;
    size_t channel;
};
const Kind kKinds[] = {
    {"AmbiX W", "--ambix --sample-format f32", 0},
    {"binaural, the left ear", "--binaural --sample-format f32", 0},
    {"the stereo export's left", "--sample-format f32", 0},
};

}  // namespace

TEST_F(CliSpaceTest, TheMovingSourcesPitchFollowsItsDelayInEveryKind) {
    // 68.6 m in 4 s is a twentieth of the speed of sound.
    const uint32_t frames = 4 * kRate;
    const std::string away =
        Sound("away.wav", Tone(1000.0, 4.0), "0:0:0:1," + std::to_string(frames) + ":0:0:69.6");
    const std::string near =
        Sound("near.wav", Tone(1000.0, 4.0), "0:0:0:69.6," + std::to_string(frames) + ":0:0:1");
    for (const Kind& kind : kKinds) {
        for (const auto& [in, expected] : {std::pair{away, 1000.0 / 1.05}, {near, 1000.0 / 0.95}}) {
            SCOPED_TRACE(std::string(kind.name) + " " + in);
            const Heard heard = Render(in, std::string(kind.options) + " --doppler");
            ASSERT_GT(heard.Frames(), size_t{3 * kRate});
            const double hz = Frequency(heard.channels[kind.channel], kRate, 3 * kRate);
            std::printf("[ measured ] %s: %.3f Hz against %.3f Hz\n", kind.name, hz, expected);
            EXPECT_NEAR(hz / expected, 1.0, 0.001);
        }
    }
}

TEST_F(CliSpaceTest, AClickStillAt34Point3MetresArrives4800FramesLateAndTheRenderLastsUntilItHas) {
    std::vector<float> click(kRate, 0.0f);
    click[1000] = 0.9f;
    const std::string in = Sound("click.wav", click, "0:30:0:34.3");
    for (const char* options :
         {"--ambix --sample-format f32", "--layout 0+5+0 --sample-format f32",
          "--adm --sample-format f32", "--sample-format f32", "--binaural --sample-format f32"}) {
        SCOPED_TRACE(options);
        const Heard heard = Render(in, std::string(options) + " --doppler");
        // What is still on its way when the sound ends is heard too.
        EXPECT_EQ(heard.Frames(), size_t{kRate} + 4800);
        if (std::string(options).find("ambix") != std::string::npos) {
            const std::vector<double>& w = heard.channels[0];
            const auto peak = static_cast<size_t>(
                std::max_element(w.begin(), w.end(),
                                 [](double a, double b) { return std::fabs(a) < std::fabs(b); }) -
                w.begin());
            EXPECT_NEAR(static_cast<double>(peak), 1000.0 + 4800.0, 1.0);
        }
    }
    // Without Doppler it is heard as it leaves, and the render is the sound's length.
    const Heard dry = Render(in, "--ambix --sample-format f32");
    EXPECT_EQ(dry.Frames(), size_t{kRate});
}

TEST_F(CliSpaceTest, AnEightKilohertzToneOnAMovingPathStaysCleanAndAJumpFadesWithoutAClick) {
    const uint32_t frames = 4 * kRate;
    const std::string tone =
        Sound("tone8k.wav", Tone(8000.0, 4.0), "0:0:0:1," + std::to_string(frames) + ":0:0:69.6");
    const Heard heard = Render(tone, "--ambix --sample-format f32 --doppler");
    const std::vector<double> power = Spectrum(heard.channels[0], kRate, 1u << 16);
    const size_t top =
        static_cast<size_t>(std::max_element(power.begin(), power.end()) - power.begin());
    const double binHz = static_cast<double>(kRate) / (1u << 16);
    double worst = 0.0;
    for (size_t k = 0; k < power.size(); ++k) {
        if (std::fabs(static_cast<double>(k) - static_cast<double>(top)) * binHz > 150.0) {
            worst = std::max(worst, power[k]);
        }
    }
    const double spurDb = 10.0 * std::log10(worst / power[top]);
    std::printf("[ measured ] 8 kHz heard at %.1f Hz; the worst beyond 150 Hz: %.1f dB\n",
                top * binHz, spurDb);
    EXPECT_LE(spurDb, -60.0);

    // A jump from 2 m to 60 m halfway: a 500 Hz tone keeps every 10 ms of it clean above 3 kHz.
    const std::string jump = Sound("jump.wav", Tone(500.0, 3.0),
                                   "0:0:0:2," + std::to_string(3 * kRate / 2) + ":0:0:2," +
                                       std::to_string(3 * kRate / 2) + ":0:0:60");
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const Heard jumped = Render(jump, std::string(kind.options) + " --doppler");
        const std::vector<double>& x = jumped.channels[kind.channel];
        double loudestDb = -1000.0;
        const size_t window = kRate / 100;
        for (size_t at = kRate / 5; at + 512 < x.size() - kRate / 5; at += window / 2) {
            std::vector<double> slice(x.begin() + static_cast<ptrdiff_t>(at),
                                      x.begin() + static_cast<ptrdiff_t>(at + window));
            slice.resize(512, 0.0);
            // A Hann window over the 10 ms, so the window's own edges add nothing.
            for (size_t n = 0; n < window; ++n) {
                slice[n] *= 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / window);
            }
            const std::vector<double> p = Spectrum(slice, 0, 512, true);
            double all = 0.0, high = 0.0;
            for (size_t k = 0; k < p.size(); ++k) {
                all += p[k];
                high += k * static_cast<double>(kRate) / 512 > 3000.0 ? p[k] : 0.0;
            }
            if (all > 0.0) {
                loudestDb = std::max(loudestDb, 10.0 * std::log10(high / all + 1e-30));
            }
        }
        std::printf("[ measured ] %s: above 3 kHz in the worst 10 ms: %.1f dB\n", kind.name,
                    loudestDb);
        EXPECT_LE(loudestDb, -40.0);
    }
}

TEST_F(CliSpaceTest, AirAt100MetresTakesWhatIso9613TakesOver99Metres) {
    std::vector<float> noise(6 * kRate);
    uint32_t state = 12345;
    for (float& sample : noise) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<float>(static_cast<int32_t>(state) / 2147483648.0 * 0.5);
    }
    const std::string nearSound = Sound("near.wav", noise, "0:0:0:1");
    const std::string farSound = Sound("far.wav", noise, "0:0:0:100");
    for (const Kind& kind : {kKinds[0], kKinds[2]}) {
        SCOPED_TRACE(kind.name);
        const Heard nearHeard = Render(nearSound, std::string(kind.options) + " --air");
        const Heard farHeard = Render(farSound, std::string(kind.options) + " --air");
        const uint32_t size = 1u << 18;
        const std::vector<double> a = Spectrum(nearHeard.channels[kind.channel], kRate / 2, size);
        const std::vector<double> b = Spectrum(farHeard.channels[kind.channel], kRate / 2, size);
        const double binHz = static_cast<double>(kRate) / size;
        double worst = 0.0;
        for (const double centre :
             {500.0, 630.0, 800.0, 1000.0, 1250.0, 1600.0, 2000.0, 2500.0, 3150.0, 4000.0, 5000.0,
              6300.0, 8000.0, 10000.0, 12500.0, 16000.0}) {
            const double low = centre / std::pow(2.0, 1.0 / 6),
                         high = centre * std::pow(2.0, 1.0 / 6);
            double sumA = 0.0, sumB = 0.0, iso = 0.0;
            int bins = 0;
            for (auto k = static_cast<size_t>(low / binHz); k * binHz < high; ++k) {
                sumA += a[k];
                sumB += b[k];
                // White noise: the band loses the mean of what each of its frequencies loses.
                iso += std::pow(10.0, -IsoDbPerMetre(k * binHz) * 99.0 / 10.0);
                ++bins;
            }
            const double measured = 10.0 * std::log10(sumA / sumB) - 40.0;
            const double expected = -10.0 * std::log10(iso / bins);
            worst = std::max(worst, std::fabs(measured - expected));
            EXPECT_NEAR(measured, expected, 1.0) << centre << " Hz";
        }
        std::printf("[ measured ] %s: air over 99 m within %.2f dB of ISO 9613-1\n", kind.name,
                    worst);
    }
}

namespace {

// The outputs of every kind of render and batch scene of three sounds, made without --doppler
// or --air, each with the SHA-256 the build before the propagation stage wrote: a render that
// asks for no travel stays byte for byte what it was. To make the table again with another
// build's sonomap-cli, run this test with SONOMAP_SPACE_TEST_CLI naming it and
// SONOMAP_SPACE_TEST_PRINT=1; the rows are printed instead of checked.
struct Golden {
    const char* name;
    const char* sha256;
};
const Golden kGolden[] = {
#include "CliSpaceGolden.inc"
};

}  // namespace

TEST_F(CliSpaceTest, RendersThatAskForNoTravelAreByteForByteWhatTheyWere) {
    const char* other = std::getenv("SONOMAP_SPACE_TEST_CLI");
    const bool bPrint = std::getenv("SONOMAP_SPACE_TEST_PRINT") != nullptr;
    const std::string cli = other != nullptr ? other : SONOMAP_CLI_PATH;
    const auto run = [&](const std::string& args) {
        const std::string command = "ALSOFT_DRIVERS=null " + cli + " " + args + " >'" +
                                    dir.File("stdout") + "' 2>'" + dir.File("stderr") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << args << "\n" << Slurp(dir.File("stderr"));
    };
    // Three sounds: frontal 16-bit mono, stereo 24-bit with width, float all around.
    struct Input {
        const char* name;
        PcmFormat format;
        uint32_t frames;
        const char* points;
    };
    const Input inputs[] = {
        {"m16", MakeFormat(1, 22050, 16), 13000, "0:-90,4000:90,8000:-30,8000:45,12900:0"},
        {"s24", MakeFormat(2, 44100, 24), 22050,
         "0:0:0:1:0,5000:135:30:3.5:60,11000:-150:-20:0.4:120,11000:60:45:12:30,22000:180:0:2:90"},
        {"f48", PcmFormat{3, 1, 48000, 192000, 4, 32}, 24000,
         "0:-45:10:0.3,8000:90:-30:7,16000:-170:60:1.5,23900:20:0:25"},
    };
    std::vector<std::string> paths;
    for (const Input& input : inputs) {
        Bytes samples = Pattern(size_t{input.frames} * input.format.blockAlign, 7);
        if (input.format.formatTag == 3) {
            // Floats within full scale, not the pattern's bits.
            for (size_t i = 0; i < input.frames; ++i) {
                const float value = (static_cast<int>(samples[i * 4]) - 128) / 160.0f;
                std::memcpy(samples.data() + i * 4, &value, 4);
            }
        }
        const std::string path = dir.File(std::string(input.name) + ".wav");
        WriteBytes(path, WaveFile(input.format, samples));
        run("set-points " + path + " --points " + input.points);
        paths.push_back(path);
    }
    std::vector<std::pair<std::string, std::string>> outputs;  // name, file
    const struct {
        const char* kind;
        const char* options;
    } kinds[] = {{"stereo", ""},
                 {"binaural", "--binaural --sample-format f32"},
                 {"ambix1", "--ambix --sample-format f32"},
                 {"ambix3", "--ambix --order 3"},
                 {"4+5+0", "--layout 4+5+0"},
                 {"adm", "--adm"}};
    for (size_t i = 0; i < paths.size(); ++i) {
        for (const auto& kind : kinds) {
            const std::string name = std::string(inputs[i].name) + " " + kind.kind;
            const std::string out =
                dir.File(std::string(inputs[i].name) + "-" + kind.kind + ".wav");
            run("render " + paths[i] + " -o '" + out + "' " + kind.options);
            outputs.push_back({name, out});
        }
    }
    // Scenes of two sounds at two rates, cut at a length, in every format a batch mixes.
    const std::string events =
        "[{\"source\": \"m16.wav\", \"onset\": 0.1, \"gain\": -3, \"class\": 1, \"trajectory\": "
        "\"stored\"}, "
        "{\"source\": \"f48.wav\", \"onset\": 0.25, \"class\": 2, \"trajectory\": {\"points\": "
        "\"0:120:10:2,20000:-60:-10:0.5\"}}]";
    std::string manifest;
    for (const char* format : {"ambix", "layout:0+5+0", "stereo", "binaural", "adm"}) {
        const std::string out = std::string("scene-") + (format[0] == 'l' ? "layout" : format);
        manifest += std::string("{\"output\": \"") + out + ".wav\", \"format\": \"" + format +
                    "\", \"rate\": 48000, \"duration\": 0.8, " +
                    (std::string(format) == "stereo" ? "" : "\"labels\": \"" + out + ".csv\", ") +
                    "\"events\": " + events + "}\n";
        outputs.push_back({out, dir.File(out + ".wav")});
        if (std::string(format) != "stereo") {
            outputs.push_back({out + " labels", dir.File(out + ".csv")});
        }
    }
    std::ofstream(dir.File("scenes.jsonl")) << manifest;
    run("batch " + dir.File("scenes.jsonl") + " --jobs 1");

    for (const auto& output : outputs) {
        const std::string& name = output.first;
        const std::string hash = Sha256(output.second);
        if (bPrint) {
            std::printf("    {\"%s\", \"%s\"},\n", name.c_str(), hash.c_str());
            continue;
        }
        const auto golden = std::find_if(std::begin(kGolden), std::end(kGolden),
                                         [&](const Golden& g) { return name == g.name; });
        ASSERT_NE(golden, std::end(kGolden)) << name;
        EXPECT_EQ(hash, golden->sha256) << name;
    }
}
