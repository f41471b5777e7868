// Integrated loudness and true peak against libebur128 on a table of signals, against outside
// tools on files sox makes (bs1770gain's loudness, sox's own 4x oversampling for the peak), and
// each channel counting by its weight.
#include "render/LoudnessMeter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "render/SpeakerLayout.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

using SoxTools::Command;
using SoxTools::Quote;

std::vector<float> FloatSamples(const std::string& path, const std::string& scratch) {
    const SoxTools::Outcome run =
        Command("sox " + Quote(path) + " -t raw -e floating-point -b 32 " + Quote(scratch));
    EXPECT_EQ(run.status, 0) << run.output;
    std::ifstream in(scratch, std::ios::binary | std::ios::ate);
    std::vector<float> samples(static_cast<size_t>(in.tellg()) / sizeof(float));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return samples;
}

// The number after key in text ("lufs=\"" -> -13.34); NaN when it is not there.
double NumberAfter(const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    return at == std::string::npos ? NAN : std::stod(text.substr(at + key.size()));
}

std::vector<float> Noise(size_t count, float level) {
    std::vector<float> samples(count);
    uint32_t state = 12345;
    for (float& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = level * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return samples;
}

// libebur128's integrated loudness and true peak of the same frames, each channel named by
// its weight.
std::pair<double, double> Reference(uint32_t rate, const std::vector<LoudnessWeight>& weights,
                                    const std::vector<float>& frames) {
    const auto channels = static_cast<unsigned>(weights.size());
    ebur128_state* state = ebur128_init(channels, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    for (unsigned c = 0; c < channels; ++c) {
        ebur128_set_channel(state, c,
                            weights[c] == LoudnessWeight::LeftOut    ? EBUR128_UNUSED
                            : weights[c] == LoudnessWeight::Surround ? EBUR128_LEFT_SURROUND
                                                                     : EBUR128_CENTER);
    }
    ebur128_add_frames_float(state, frames.data(), frames.size() / channels);
    double lufs = 0;
    ebur128_loudness_global(state, &lufs);
    double peak = 0;
    for (unsigned c = 0; c < channels; ++c) {
        double channelPeak = 0;
        ebur128_true_peak(state, c, &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    ebur128_destroy(&state);
    return {lufs, 20 * std::log10(peak)};
}

std::vector<LoudnessWeight> ExportLoudnessUnits(size_t channels) {
    return std::vector<LoudnessWeight>(channels, LoudnessWeight::Unit);
}

}  // namespace

TEST(LoudnessMeter, AgreesWithLibebur128OverATableOfSignals) {
    constexpr double kPi = std::numbers::pi;
    using Signal = std::function<float(size_t frame, size_t channel, double t)>;
    const auto sine = [](double hz, double level, double phase = 0) {
        return [=](size_t, size_t, double t) {
            return static_cast<float>(level * std::sin(2 * kPi * hz * t + phase));
        };
    };
    const std::vector<float> noise = Noise(48000 * 6 * 24, 1.0f);
    const auto noiseAt = [&noise](double level) {
        return [&noise, level](size_t f, size_t c, double) {
            return static_cast<float>(level) * noise[(f * 7 + c * 104729) % noise.size()];
        };
    };
    const std::vector<LoudnessWeight> mono{LoudnessWeight::Unit};
    const std::vector<LoudnessWeight> stereo{LoudnessWeight::Unit, LoudnessWeight::Unit};
    const struct {
        const char* what;
        uint32_t rate;
        std::vector<LoudnessWeight> weights;
        double seconds;
        Signal signal;
    } cases[] = {
        {"1 kHz sine at 48000", 48000, mono, 3, sine(1000, 0.1)},
        {"997 Hz sine at 44100, stereo", 44100, stereo, 4, sine(997, 0.5)},
        {"60 Hz sine at 8000", 8000, mono, 3, sine(60, 0.7)},
        {"sine at a quarter of 22050, peaking between samples", 22050, mono, 2,
         sine(22050 / 4.0, 0.9, kPi / 4)},
        {"sine near the top at 6000", 6000, mono, 3, sine(2900, 0.6)},
        {"noise at 44100, stereo", 44100, stereo, 5, noiseAt(0.3)},
        {"noise with stretches under both gates", 48000, mono, 12,
         [&](size_t f, size_t c, double t) {
             const double level = t < 4 ? 0.2 : t < 7 ? 0.00005 : t < 9 ? 0.01 : 0.3;
             return noiseAt(level)(f, c, t);
         }},
        {"a quiet sine alone under the absolute gate", 44100, mono, 3, sine(440, 0.0002)},
        {"0+5+0 with surrounds and a loud LFE", 48000,
         LoudnessMeter::WeightsFor(*SpeakerLayout::Find("0+5+0")), 4,
         [&](size_t f, size_t c, double t) {
             return c == 3 ? static_cast<float>(0.9 * std::sin(2 * kPi * 50 * t))
                           : noiseAt(0.05 * (c + 1))(f, c, t);
         }},
        {"9+10+3, 24 channels", 48000, LoudnessMeter::WeightsFor(*SpeakerLayout::Find("9+10+3")), 3,
         [&](size_t f, size_t c, double t) { return noiseAt(0.02 * (c % 7 + 1))(f, c, t); }},
    };
    for (const auto& c : cases) {
        const size_t channels = c.weights.size();
        const auto frames = static_cast<size_t>(c.seconds * c.rate);
        std::vector<float> samples(frames * channels);
        for (size_t f = 0; f < frames; ++f) {
            for (size_t k = 0; k < channels; ++k) {
                samples[f * channels + k] = c.signal(f, k, static_cast<double>(f) / c.rate);
            }
        }
        LoudnessMeter meter(c.rate, c.weights);
        // Uneven pieces, as exports hand them.
        for (size_t at = 0, piece = 1; at < frames; at += piece, piece = piece * 3 % 5001 + 1) {
            meter.AddFrames(samples.data() + at * channels, std::min(piece, frames - at));
        }
        const auto [lufs, peak] = Reference(c.rate, c.weights, samples);
        if (std::isinf(lufs)) {
            EXPECT_EQ(meter.IntegratedLoudness(), -INFINITY) << c.what;
        } else {
            EXPECT_NEAR(meter.IntegratedLoudness(), lufs, 0.05) << c.what;
        }
        EXPECT_NEAR(meter.TruePeak(), peak, 0.1) << c.what;
    }
}

TEST(LoudnessMeter, AgreesWithBs1770gainAndAFourTimesOversampledPeakOnRealFiles) {
    if (Command("command -v sox && command -v bs1770gain").status != 0) {
        GTEST_SKIP() << "sox or bs1770gain is missing";
    }
    const struct {
        const char* what;
        const char* layout;
        uint32_t rate;
        const char* format;   // sox's options for the file
        const char* effects;  // and what it writes into it
    } cases[] = {
        {"stereo noise rising and falling, gated", "0+2+0", 44100, "-b 24 -c 2",
         "synth 8 pinknoise pinknoise remix 1v0.5 2v0.2 tremolo 0.3 95"},
        {"stereo sines peaking between samples", "0+2+0", 44100, "-e floating-point -b 32 -c 2",
         "synth 3 sine 11025 0 12.5 sine 7000 remix 1 2v0.5 gain -4"},
        {"0+5+0 with a loud LFE", "0+5+0", 48000, "-b 24 -c 6",
         "synth 6 pinknoise pinknoise sine 440 sine 60 brownnoise pinknoise remix 1v0.5 2v0.3 "
         "3v0.2 4v0.9 5v0.4 6v0.25"},
    };
    const TempDir temp;
    for (const auto& c : cases) {
        const std::string file = temp.File("made.wav");
        // The same noise every run: a fresh seed now and then puts a peak between samples that
        // the standard's 48-tap interpolator reads 0.45 dB under sox's long filter.
        const SoxTools::Outcome made = Command("sox -R -n -r " + std::to_string(c.rate) + " " +
                                               c.format + " " + Quote(file) + " " + c.effects);
        ASSERT_EQ(made.status, 0) << c.what << ": " << made.output;
        const SpeakerLayout& layout = *SpeakerLayout::Find(c.layout);
        const std::vector<float> samples = FloatSamples(file, temp.File("made.raw"));
        LoudnessMeter meter(c.rate, LoudnessMeter::WeightsFor(layout));
        const size_t channels = layout.ChannelCount();
        const size_t frames = samples.size() / channels;
        for (size_t at = 0; at < frames; at += 1000) {
            meter.AddFrames(samples.data() + at * channels, std::min<size_t>(1000, frames - at));
        }

        const SoxTools::Outcome bs1770 = Command("bs1770gain -i --xml " + Quote(file));
        EXPECT_NEAR(meter.IntegratedLoudness(), NumberAfter(bs1770.output, "<integrated lufs=\""),
                    0.1)
            << c.what << ": " << bs1770.output;
        const SoxTools::Outcome oversampled =
            Command("sox " + Quote(file) + " -n rate -v " + std::to_string(4 * c.rate) + " stats");
        EXPECT_NEAR(meter.TruePeak(), NumberAfter(oversampled.output, "Pk lev dB"), 0.3)
            << c.what << ": " << oversampled.output;
    }
}

// Noise in one channel of a layout against the same noise in a mono file: a unit channel is as
// loud, a surround 1.5 dB louder (x1.41), an LFE silent, wherever the channel stands; the true
// peak counts every channel.
TEST(LoudnessMeter, EachChannelCountsByItsWeightWhereverItStands) {
    const struct {
        const char* layout;
        size_t channel;
        double louder;  // dB over mono; -infinity for none
    } cases[] = {
        {"0+5+0", 0, 0},   {"0+5+0", 4, 1.4922},   {"0+5+0", 3, -INFINITY},
        {"4+5+0", 8, 0},   {"9+10+3", 10, 1.4922}, {"9+10+3", 9, -INFINITY},
        {"9+10+3", 23, 0}, {"9+10+3", 0, 1.4922},
    };
    constexpr uint32_t kRate = 48000;
    const std::vector<float> noise = Noise(2 * kRate, 0.25f);
    LoudnessMeter mono(kRate, {LoudnessWeight::Unit});
    mono.AddFrames(noise.data(), noise.size());
    for (const auto& c : cases) {
        const SpeakerLayout& layout = *SpeakerLayout::Find(c.layout);
        const size_t channels = layout.ChannelCount();
        std::vector<float> frames(noise.size() * channels);
        for (size_t f = 0; f < noise.size(); ++f) {
            frames[f * channels + c.channel] = noise[f];
        }
        LoudnessMeter meter(kRate, LoudnessMeter::WeightsFor(layout));
        meter.AddFrames(frames.data(), noise.size());
        const double louder = meter.IntegratedLoudness() - mono.IntegratedLoudness();
        if (std::isinf(c.louder)) {
            EXPECT_EQ(meter.IntegratedLoudness(), -INFINITY) << c.layout << " " << c.channel;
        } else {
            EXPECT_NEAR(louder, c.louder, 0.001) << c.layout << " " << c.channel;
        }
        EXPECT_DOUBLE_EQ(meter.TruePeak(), mono.TruePeak()) << c.layout << " " << c.channel;
    }
}

TEST(LoudnessMeter, SilenceMeasuresNothing) {
    LoudnessMeter meter(44100, {LoudnessWeight::Unit, LoudnessWeight::Unit});
    EXPECT_EQ(meter.IntegratedLoudness(), -INFINITY);
    EXPECT_EQ(meter.TruePeak(), -INFINITY);
    const std::vector<float> silence(2 * 44100);
    meter.AddFrames(silence.data(), 44100);
    EXPECT_EQ(meter.IntegratedLoudness(), -INFINITY);
    EXPECT_EQ(meter.TruePeak(), -INFINITY);
}

// The same frames fed in pieces of 1, 7, 4096 frames or all at once, on the AVX2 path and the
// one for processors without it: the loudness comes out the same to the last bit whatever the
// pieces and the path (both filter with the same operations), the true peak within the fused
// multiply-adds' rounding, and both agree closely with libebur128, which filters every channel
// in one unbroken run, where the meter runs stretches side by side from a warm-up each.
TEST(LoudnessMeter, GivesTheSameWhateverThePiecesAndThePath) {
    constexpr uint32_t kRate = 24000;  // the segments last as long in seconds at every rate
    const std::vector<float> noise = Noise(kRate * 11, 1.0f);
    using Signal = std::function<float(size_t frame, size_t channel, double t)>;
    const auto noiseAt = [&noise](size_t f, size_t c, double level) {
        return static_cast<float>(level) * noise[(f * 3 + c * 7919) % noise.size()];
    };
    const struct {
        const char* what;
        double seconds;
        Signal signal;
    } signals[] = {
        {"steady noise", 7.37, [&](size_t f, size_t c, double) { return noiseAt(f, c, 0.3); }},
        {"a tone after 7 s of silence", 13,
         [](size_t, size_t c, double t) {
             return t < 7 ? 0.0f
                          : static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * t + c));
         }},
        {"noise growing louder all along", 7,
         [&](size_t f, size_t c, double t) { return noiseAt(f, c, 0.01 + 0.11 * t); }},
        {"a tone at -60 LUFS", 4,
         [](size_t, size_t, double t) {
             return static_cast<float>(0.0014 * std::sin(2 * std::numbers::pi * 1000 * t));
         }},
        {"1.5 s of noise, less than a segment", 1.5,
         [&](size_t f, size_t c, double) { return noiseAt(f, c, 0.2); }},
        {"0.3 s of noise, less than a block", 0.3,
         [&](size_t f, size_t c, double) { return noiseAt(f, c, 0.2); }},
    };
    const std::vector<std::vector<LoudnessWeight>> layouts = {
        ExportLoudnessUnits(1), ExportLoudnessUnits(2),
        LoudnessMeter::WeightsFor(*SpeakerLayout::Find("0+5+0")), ExportLoudnessUnits(16)};
    const size_t pieces[] = {1, 7, 4096, 0};  // 0: all at once
    for (const auto& signal : signals) {
        for (const auto& weights : layouts) {
            const size_t channels = weights.size();
            const auto frames = static_cast<size_t>(signal.seconds * kRate);
            std::vector<float> samples(frames * channels);
            for (size_t f = 0; f < frames; ++f) {
                for (size_t c = 0; c < channels; ++c) {
                    samples[f * channels + c] = signal.signal(f, c, static_cast<double>(f) / kRate);
                }
            }
            const auto [lufs, peak] = Reference(kRate, weights, samples);
            const std::string what = std::string(signal.what) + ", " + std::to_string(channels);
            double firstLufs = 0;
            double firstPeak = 0;
            for (const bool bWide : {true, false}) {
                LoudnessMeter::AllowWide(bWide);
                for (const size_t piece : pieces) {
                    LoudnessMeter meter(kRate, weights);
                    const size_t step = piece == 0 ? frames : piece;
                    for (size_t at = 0; at < frames; at += step) {
                        meter.AddFrames(samples.data() + at * channels,
                                        std::min(step, frames - at));
                    }
                    const std::string how =
                        what + (bWide ? " wide" : " narrow") + " by " + std::to_string(piece);
                    if (bWide && piece == pieces[0]) {
                        firstLufs = meter.IntegratedLoudness();
                        firstPeak = meter.TruePeak();
                        if (std::isinf(lufs)) {
                            EXPECT_EQ(firstLufs, -INFINITY) << how;
                        } else {
                            EXPECT_NEAR(firstLufs, lufs, 0.0005) << how;
                        }
                        EXPECT_NEAR(firstPeak, peak, 0.001) << how;
                    }
                    EXPECT_EQ(meter.IntegratedLoudness(), firstLufs) << how;
                    EXPECT_NEAR(meter.TruePeak(), firstPeak, 1e-4) << how;
                    // Each half alone gives the whole meter's figure, and nothing of the other.
                    LoudnessMeter loudness(kRate, weights, LoudnessMeter::Measures::LoudnessOnly);
                    LoudnessMeter truePeak(kRate, weights, LoudnessMeter::Measures::TruePeakOnly);
                    for (size_t at = 0; at < frames; at += step) {
                        const size_t n = std::min(step, frames - at);
                        loudness.AddFrames(samples.data() + at * channels, n);
                        truePeak.AddFrames(samples.data() + at * channels, n);
                    }
                    EXPECT_EQ(loudness.IntegratedLoudness(), meter.IntegratedLoudness()) << how;
                    EXPECT_EQ(truePeak.TruePeak(), meter.TruePeak()) << how;
                    EXPECT_EQ(loudness.TruePeak(), -INFINITY) << how;
                    EXPECT_EQ(truePeak.IntegratedLoudness(), -INFINITY) << how;
                }
            }
            LoudnessMeter::AllowWide(true);
        }
    }
}
