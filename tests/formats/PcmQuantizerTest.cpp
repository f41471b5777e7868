#include "formats/PcmQuantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<int> Convert16(PcmQuantizer& quantizer, const std::vector<double>& in) {
    std::vector<uint8_t> bytes(in.size() * 2);
    quantizer.Convert(in.data(), in.size(), bytes.data());
    std::vector<int> out;
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    }
    return out;
}

std::vector<int> Convert8(PcmQuantizer& quantizer, const std::vector<double>& in) {
    std::vector<uint8_t> bytes(in.size());
    quantizer.Convert(in.data(), in.size(), bytes.data());
    return {bytes.begin(), bytes.end()};
}

constexpr double kLsb16 = 1.0 / 32768.0;

}  // namespace

TEST(PcmQuantizer, WithoutDitherRoundsHalfUpAndClipsOnlyBeyondFullScale) {
    PcmQuantizer quantizer(16, false);
    EXPECT_EQ(Convert16(quantizer, {0.0, 0.5 * kLsb16, -0.5 * kLsb16, 1.5 * kLsb16, -1.5 * kLsb16,
                                    100.25 * kLsb16, -100.75 * kLsb16}),
              (std::vector<int>{0, 1, 0, 2, -1, 100, -101}));
    EXPECT_EQ(quantizer.GetClippedCount(), 0u);
    // Full scale itself is the largest and the smallest value, not an overload.
    EXPECT_EQ(Convert16(quantizer, {1.0, -1.0, 32767.5 * kLsb16}),
              (std::vector<int>{32767, -32768, 32767}));
    EXPECT_EQ(quantizer.GetClippedCount(), 0u);
    EXPECT_EQ(Convert16(quantizer, {1.5, -1.0000001, 1e300, -INFINITY}),
              (std::vector<int>{32767, -32768, 32767, -32768}));
    EXPECT_EQ(quantizer.GetClippedCount(), 4u);
    EXPECT_EQ(Convert16(quantizer, {std::numeric_limits<double>::quiet_NaN()}),
              std::vector<int>{0});
}

TEST(PcmQuantizer, RoundsThroughThe32BitStepAsSoxDoes) {
    // Just below a half step at 16 bits, but within half a 32-bit step of it: the first
    // rounding lands on the half step and the second goes up. Rounding once would give 0.
    const double x = (0.5 - 1.0 / 65536.0 * 0.25) * kLsb16;
    bool bClipped = true;
    EXPECT_EQ(PcmQuantizer::ToInt32(x, bClipped), 32768);
    EXPECT_FALSE(bClipped);
    PcmQuantizer quantizer(16, false);
    EXPECT_EQ(Convert16(quantizer, {x, -x}), (std::vector<int>{1, 0}));
    // Half a 32-bit step goes away from zero on both sides.
    EXPECT_EQ(PcmQuantizer::ToInt32(2.5 / 2147483648.0, bClipped), 3);
    EXPECT_EQ(PcmQuantizer::ToInt32(-2.5 / 2147483648.0, bClipped), -3);
}

TEST(PcmQuantizer, EightBitsAreUnsignedWith128AsSilence) {
    PcmQuantizer quantizer(8, false);
    EXPECT_EQ(Convert8(quantizer, {0.0, 1.0, -1.0, 0.5 / 128, -0.5 / 128, 64.0 / 128, 2.0}),
              (std::vector<int>{128, 255, 0, 129, 128, 192, 255}));
    EXPECT_EQ(quantizer.GetClippedCount(), 1u);
    EXPECT_EQ(quantizer.GetBits(), 8);
}

TEST(PcmQuantizer, TpdfDitherStaysWithinOneLsbAndAveragesOut) {
    // A value a third of the way between two steps: dither must spread it over the steps
    // around it so that the mean comes back, with the error of TPDF dither.
    const double value = (1000.0 + 1.0 / 3.0) * kLsb16;
    std::vector<double> in(200000, value);
    PcmQuantizer quantizer(16, true);
    const std::vector<int> out = Convert16(quantizer, in);
    double sum = 0, squares = 0;
    int lowest = out[0], highest = out[0];
    for (int v : out) {
        const double error = v - (1000.0 + 1.0 / 3.0);
        sum += v;
        squares += error * error;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_GE(lowest, 999);
    EXPECT_LE(highest, 1002);
    EXPECT_NEAR(sum / double(out.size()), 1000.0 + 1.0 / 3.0, 0.01);
    // Rounding error (1/12 of an LSB squared) plus the dither's own (1/6): 0.5 LSB RMS.
    EXPECT_NEAR(std::sqrt(squares / double(out.size())), 0.5, 0.03);
    EXPECT_EQ(quantizer.GetClippedCount(), 0u);
}

TEST(PcmQuantizer, DitherIsTheSameForTheSameSeedAndDiffersForAnother) {
    std::vector<double> in(1000);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = std::sin(double(i) * 0.01) * 0.3;
    }
    PcmQuantizer a(16, true, 42), b(16, true, 42), c(16, true, 43), plain(16, false);
    const std::vector<int> first = Convert16(a, in);
    EXPECT_EQ(first, Convert16(b, in));
    EXPECT_NE(first, Convert16(c, in));
    EXPECT_NE(first, Convert16(plain, in));
    // The generator goes on across calls rather than starting again.
    EXPECT_NE(Convert16(a, in), first);
}

TEST(PcmQuantizer, DitherNeverWrapsAtFullScale) {
    PcmQuantizer quantizer(16, true);
    const std::vector<int> out = Convert16(quantizer, std::vector<double>(1000, 1.0));
    for (int v : out) {
        EXPECT_GE(v, 32766);
        EXPECT_LE(v, 32767);
    }
    PcmQuantizer eight(8, true);
    for (int v : Convert8(eight, std::vector<double>(1000, -1.0))) {
        EXPECT_LE(v, 1);
    }
}
