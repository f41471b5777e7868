// The export sample formats: their words, the quantiser at each width, and the encoder's runs.
#include "render/SampleFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/AmbisonicsEncoder.h"
#include "render/TpdfDither.h"

namespace {

// One sample of the format back as a float of full scale 1.0, in steps of the width.
double Decode(const uint8_t* at, SampleFormat format) {
    if (format == SampleFormat::S16) {
        return static_cast<int16_t>(at[0] | at[1] << 8) / 32768.0;
    }
    if (format == SampleFormat::S24) {
        return static_cast<int32_t>(uint32_t{at[0]} << 8 | uint32_t{at[1]} << 16 |
                                    uint32_t{at[2]} << 24) /
               256 / 8388608.0;
    }
    float value;
    std::memcpy(&value, at, 4);
    return value;
}

}  // namespace

TEST(SampleFormat, WordsAndSettingValuesGoBothWays) {
    const struct {
        const char* word;
        int index;
        int bits;
    } cases[] = {{"s16", 0, 16}, {"s24", 1, 24}, {"f32", 2, 32}};
    for (const auto& c : cases) {
        const std::optional<SampleFormat> format = ParseSampleFormat(c.word);
        ASSERT_TRUE(format.has_value()) << c.word;
        EXPECT_STREQ(SampleFormatName(*format), c.word);
        EXPECT_EQ(SampleFormatIndex(*format), c.index);
        EXPECT_EQ(SampleFormatFromIndex(c.index), format);
        EXPECT_EQ(SampleFormatBits(*format), c.bits);
    }
    for (const char* bad : {"", "S16", "s8", "f64", "s16 ", "float"}) {
        EXPECT_FALSE(ParseSampleFormat(bad).has_value()) << bad;
    }
    EXPECT_FALSE(SampleFormatFromIndex(3).has_value());
    EXPECT_FALSE(SampleFormatFromIndex(-1).has_value());
}

TEST(SampleFormat, EachWidthKeepsTheValueWithinItsDitherAndNeverClipsAtItsLimit) {
    const struct {
        SampleFormat format;
        double step;       // one step of the width
        double mostSteps;  // the largest error, in steps
    } cases[] = {{SampleFormat::S16, 1.0 / 32768, 1.5},
                 {SampleFormat::S24, 1.0 / 8388608, 1.5},
                 {SampleFormat::F32, 1.0, 0.0}};
    constexpr size_t kCount = 50000;
    std::vector<float> in(kCount);
    for (size_t i = 0; i < kCount; ++i) {
        in[i] = 0.9f * static_cast<float>(std::sin(0.001 * static_cast<double>(i)));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(SampleFormatName(c.format));
        const size_t width = static_cast<size_t>(SampleFormatBits(c.format) / 8);
        std::vector<uint8_t> out(kCount * width);
        TpdfDither dither;
        dither.QuantizeTo(in.data(), kCount, 0.5f, c.format, out.data());
        double largest = 0.0;
        double bias = 0.0;
        for (size_t i = 0; i < kCount; ++i) {
            const double error = Decode(&out[i * width], c.format) - 0.5 * in[i];
            largest = std::max(largest, std::fabs(error));
            bias += error;
        }
        EXPECT_LE(largest, c.mostSteps * c.step);
        EXPECT_NEAR(bias / kCount, 0.0, 0.02 * c.step);
        // The same seed gives the same bytes.
        std::vector<uint8_t> again(out.size());
        TpdfDither().QuantizeTo(in.data(), kCount, 0.5f, c.format, again.data());
        EXPECT_EQ(out, again);

        // At the limit the dither still has room: no value is cut, so none is biased.
        const float limit = TpdfDither::PeakLimit(c.format);
        const float peaks[] = {limit, -limit};
        double high = 0.0, low = 0.0;
        constexpr int kPairs = 4000;
        for (int i = 0; i < kPairs; ++i) {
            uint8_t pair[8];
            dither.QuantizeTo(peaks, 2, 1.0f, c.format, pair);
            high += Decode(pair, c.format);
            low += Decode(pair + width, c.format);
        }
        const double tolerance = c.format == SampleFormat::F32 ? 0.0 : 0.05 * c.step;
        EXPECT_NEAR(high / kPairs, limit, tolerance);
        EXPECT_NEAR(low / kPairs, -limit, tolerance);
    }
}

TEST(AmbisonicsEncoder, RunsJoinGainToGainAndAHeldRunIsExact) {
    const struct {
        int order;
        int sources;
    } cases[] = {{1, 1}, {2, 2}, {3, 1}, {3, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order * 10 + c.sources);
        const int channels = AmbisonicsEncoder::ChannelCount(c.order);
        std::vector<float> a(static_cast<size_t>(channels * c.sources));
        std::vector<float> b(a.size());
        std::vector<float> held(a.size());
        for (int s = 0; s < c.sources; ++s) {
            AmbisonicsEncoder::Harmonics(c.order, 30.0 + s, 10.0, 1.0, &a[s * channels]);
            AmbisonicsEncoder::Harmonics(c.order, 60.0 - s, -20.0, 2.0, &b[s * channels]);
        }
        constexpr uint32_t kRun = 64;
        const std::vector<float> ones(kRun * c.sources, 1.0f);
        std::vector<float> first(kRun * channels), second(kRun * channels), still(kRun * channels);
        AmbisonicsEncoder::EncodeRun(ones.data(), c.sources, kRun, a.data(), b.data(), channels,
                                     first.data());
        AmbisonicsEncoder::EncodeRun(ones.data(), c.sources, kRun, b.data(), b.data(), channels,
                                     second.data());
        for (int k = 0; k < channels; ++k) {
            float atA = 0.0f, atB = 0.0f;
            for (int s = 0; s < c.sources; ++s) {
                atA += a[s * channels + k];
                atB += b[s * channels + k];
            }
            EXPECT_FLOAT_EQ(first[k], atA) << k;
            // The step from the first run's last frame to the second's first is one run step.
            const float last = first[(kRun - 1) * channels + k];
            EXPECT_NEAR(second[k] - last, (atB - atA) / kRun, 1e-5f) << k;
            for (uint32_t f = 0; f < kRun; ++f) {
                EXPECT_EQ(second[f * channels + k], atB);
            }
        }
    }
}

TEST(SampleFormat, BrokenOrOverloadedMixesHoldToTheRangeWithTheRightSign) {
    const float nan = std::nanf("");
    const float inf = HUGE_VALF;
    const std::vector<float> in = {nan, inf, -inf, 2.0f, -2.0f, 3e9f, -3e9f};
    const struct {
        SampleFormat format;
        std::vector<double> expected;
    } cases[] = {
        {SampleFormat::S16, {0, 32767, -32768, 32767, -32768, 32767, -32768}},
        {SampleFormat::S24, {0, 8388607, -8388608, 8388607, -8388608, 8388607, -8388608}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SampleFormatName(c.format));
        const size_t width = static_cast<size_t>(SampleFormatBits(c.format) / 8);
        const double full = c.format == SampleFormat::S16 ? 32768.0 : 8388608.0;
        std::vector<uint8_t> out(in.size() * width);
        TpdfDither().QuantizeTo(in.data(), in.size(), 1.0f, c.format, out.data());
        for (size_t i = 0; i < in.size(); ++i) {
            EXPECT_EQ(Decode(&out[i * width], c.format) * full, c.expected[i]) << i;
        }
    }
}

// The 16-bit dither gives one sequence whatever the calls: one long call (in stretches side by
// side, on AVX2 where there is one) equals many short ones in order, and the generators carry
// on from where the call left them.
TEST(TpdfDither, SixteenBitsGiveTheSameSamplesInOneCallOrManyOnEitherPath) {
    const struct {
        size_t count;
        size_t piece;  // a multiple of 4, so the short calls draw the same groups
    } cases[] = {{3, 4}, {1027, 4}, {4096, 1024}, {32771, 64}, {100000, 4096}, {262147, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<float> in(c.count + 9);
        for (size_t i = 0; i < in.size(); ++i) {
            in[i] = 1.2f * static_cast<float>(std::sin(0.0007 * static_cast<double>(i * i)));
        }
        in[in.size() / 2] = std::nanf("");
        in[in.size() / 3] = -HUGE_VALF;
        const auto render = [&](bool bWide, size_t piece) {
            TpdfDither dither;
            dither.UseWideLanes(bWide);
            std::vector<uint8_t> out(2 * in.size());
            for (size_t done = 0; done < c.count; done += piece) {
                const size_t n = std::min(piece, c.count - done);
                dither.QuantizeTo(&in[done], n, 0.7f, SampleFormat::S16, &out[2 * done]);
            }
            // The next call carries on with the generators where this one left them.
            dither.QuantizeTo(&in[c.count], 9, 0.7f, SampleFormat::S16, &out[2 * c.count]);
            return out;
        };
        const std::vector<uint8_t> inOrder = render(false, c.piece);
        EXPECT_EQ(render(false, c.count), inOrder);
        EXPECT_EQ(render(true, c.count), inOrder);
        EXPECT_EQ(render(true, c.piece), inOrder);
    }
}

// The encoder's lanes give, bit for bit, each channel's straight-line gain times each source,
// the sources summed in order.
TEST(AmbisonicsEncoder, EveryOrderAndSourceCountGivesTheSumsOfTheGainLines) {
    const struct {
        int order;
        int sources;
        uint32_t frames;
    } cases[] = {{1, 1, 256}, {1, 2, 5}, {2, 1, 256}, {2, 2, 1}, {3, 1, 7}, {3, 2, 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order * 100 + c.sources * 10);
        const int channels = AmbisonicsEncoder::ChannelCount(c.order);
        std::vector<float> from(static_cast<size_t>(channels * c.sources));
        std::vector<float> to(from.size());
        for (int s = 0; s < c.sources; ++s) {
            AmbisonicsEncoder::Harmonics(c.order, 170.0 - 40 * s, 35.0, 1.7, &from[s * channels]);
            AmbisonicsEncoder::Harmonics(c.order, -80.0 + s, -60.0, 0.3, &to[s * channels]);
        }
        std::vector<float> in(size_t{c.frames} * c.sources);
        for (size_t i = 0; i < in.size(); ++i) {
            in[i] = static_cast<float>(std::cos(1.3 * static_cast<double>(i))) * 0.9f;
        }
        std::vector<float> out(size_t{c.frames} * channels);
        AmbisonicsEncoder::EncodeRun(in.data(), c.sources, c.frames, from.data(), to.data(),
                                     channels, out.data());
        const float scale = 1.0f / static_cast<float>(c.frames);
        for (uint32_t f = 0; f < c.frames; ++f) {
            const float t = static_cast<float>(f);
            for (int k = 0; k < channels; ++k) {
                float want = 0.0f;
                for (int s = 0; s < c.sources; ++s) {
                    const size_t g = static_cast<size_t>(s * channels + k);
                    const float term =
                        in[size_t{f} * c.sources + s] * (from[g] + t * ((to[g] - from[g]) * scale));
                    want = s == 0 ? term : want + term;
                }
                ASSERT_EQ(out[size_t{f} * channels + k], want) << f << " " << k;
            }
        }
    }
}
