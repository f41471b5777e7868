#include "formats/PcmQuantizer.h"
#include "platform/ByteOrder.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kInt32Scale = 2147483648.0;  // 2^31: full scale at 32 bits
constexpr int32_t kInt32Max = 2147483647;
constexpr int32_t kInt32Min = -2147483647 - 1;

int KnownBits(int bits) {
    return bits == 8 || bits == 24 || bits == 32 ? bits : 16;
}

}  // namespace

PcmQuantizer::PcmQuantizer(int bits, bool bDither, uint64_t seed, bool bFloat)
    : m_bits(bFloat ? 32 : KnownBits(bits)),
      m_bFloat(bFloat),
      m_bDither(bDither && !bFloat),
      m_state(seed == 0 ? kDefaultSeed : seed) {}

int32_t PcmQuantizer::ToInt32(double x, bool& bClipped) {
    const double scaled = x * kInt32Scale;
    bClipped = false;
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled < 0) {
        if (scaled <= kInt32Min - 0.5) {
            bClipped = scaled < kInt32Min;
            return kInt32Min;
        }
        return static_cast<int32_t>(scaled - 0.5);
    }
    if (scaled >= kInt32Max + 0.5) {
        // Full scale itself (+1.0) is one step past the largest value, not a real overload.
        bClipped = scaled > kInt32Scale;
        return kInt32Max;
    }
    return static_cast<int32_t>(scaled + 0.5);
}

double PcmQuantizer::NextUniform() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    const uint64_t bits = m_state * 0x2545F4914F6CDD1Dull;
    return static_cast<double>(bits >> 11) * (1.0 / 9007199254740992.0);  // 53 bits
}

int32_t PcmQuantizer::Quantize(double x) {
    bool bClipped = false;
    const int32_t wide = ToInt32(x, bClipped);
    const int shift = 32 - m_bits;
    const int64_t top = (int64_t{1} << (m_bits - 1)) - 1;
    const int64_t bottom = -top - 1;
    int32_t value;
    if (shift == 0 && !m_bDither) {
        value = wide;
    } else if (!m_bDither) {
        // Half up; the few values that would round past the top are clipped to it.
        const int64_t rounded = (int64_t{wide} + (int64_t{1} << (shift - 1))) >> shift;
        value = static_cast<int32_t>(rounded > top ? top : rounded);
    } else {
        const double noise = NextUniform() + NextUniform() - 1.0;
        const double exact = static_cast<double>(wide) / static_cast<double>(int64_t{1} << shift);
        const double rounded = std::floor(exact + noise + 0.5);
        value = rounded > static_cast<double>(top)      ? static_cast<int32_t>(top)
                : rounded < static_cast<double>(bottom) ? static_cast<int32_t>(bottom)
                                                        : static_cast<int32_t>(rounded);
    }
    if (bClipped) {
        ++m_clipped;
    }
    return value;
}

void PcmQuantizer::Convert(const double* in, size_t count, uint8_t* out) {
    if (m_bFloat) {
        for (size_t i = 0; i < count; ++i) {
            const auto value = static_cast<float>(in[i]);
            std::memcpy(out + 4 * i, &value, sizeof value);
        }
        return;
    }
    if (m_bits == 24 || m_bits == 32) {
        const size_t width = static_cast<size_t>(m_bits / 8);
        for (size_t i = 0; i < count; ++i) {
            ByteOrder::StoreU(out + width * i, static_cast<uint32_t>(Quantize(in[i])),
                              static_cast<int>(width), false);
        }
        return;
    }
    if (m_bits == 8) {
        for (size_t i = 0; i < count; ++i) {
            out[i] = static_cast<uint8_t>(Quantize(in[i]) + 128);
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        ByteOrder::StoreU16(out + 2 * i, static_cast<uint16_t>(Quantize(in[i])), false);
    }
}
