#include "render/TpdfDither.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// Long 16-bit calls run in stretches on AVX2, chosen at run time.
#define SONOMAP_DITHER_STRETCHES 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint32_t XorShift(uint32_t r) {
    r ^= r << 13;
    r ^= r >> 17;
    r ^= r << 5;
    return r;
}

constexpr float kUnit = 1.0f / 65536.0f;

#if defined(__SSE2__)
// The most samples one pass takes, so a stretch's length stays within 32 bits.
constexpr size_t kMostPerPass = size_t{1} << 30;

[[gnu::always_inline]] inline __m128i Advance(__m128i lanes) {
    lanes = _mm_xor_si128(lanes, _mm_slli_epi32(lanes, 13));
    lanes = _mm_xor_si128(lanes, _mm_srli_epi32(lanes, 17));
    return _mm_xor_si128(lanes, _mm_slli_epi32(lanes, 5));
}

// Four samples of one group, the lanes already stepped, as 32-bit integers.
[[gnu::always_inline]] inline __m128i Group(__m128i lanes, __m128 samples, __m128 scales) {
    const __m128i spread =
        _mm_sub_epi32(_mm_and_si128(lanes, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(lanes, 16));
    const __m128 dither = _mm_mul_ps(_mm_cvtepi32_ps(spread), _mm_set1_ps(kUnit));
    __m128 value = _mm_add_ps(_mm_mul_ps(samples, scales), dither);
    // A broken mix (NaN) is silence; the range is held before the conversion, which would
    // turn anything past 32 bits (an infinity too) into the most negative value.
    value = _mm_and_ps(value, _mm_cmpord_ps(value, value));
    value = _mm_min_ps(_mm_max_ps(value, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    return _mm_cvtps_epi32(value);
}

// One generator through count samples, the last group possibly short.
void QuantizeInOrder(__m128i& lanes, const float* in, size_t count, __m128 scales, uint8_t* out) {
    for (size_t i = 0; i < count; i += 4) {
        lanes = Advance(lanes);
        const size_t n = std::min<size_t>(4, count - i);
        if (n == 4) {
            const __m128i whole = Group(lanes, _mm_loadu_ps(in + i), scales);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * i),
                             _mm_packs_epi32(whole, whole));
        } else {
            float group[4] = {};
            std::memcpy(group, in + i, n * sizeof(float));
            const __m128i whole = Group(lanes, _mm_loadu_ps(group), scales);
            int16_t result[8];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(result), _mm_packs_epi32(whole, whole));
            std::memcpy(out + 2 * i, result, n * sizeof(int16_t));
        }
    }
}
#endif

#if defined(SONOMAP_DITHER_STRETCHES)
// xorshift32 is linear over GF(2), so 2^i steps at once are a 32 x 32 bit matrix, kept as the
// images of the 32 unit vectors. Jumping ahead lets a long call run several stretches of the
// one sequence side by side, where a single generator's chain would bound the speed.
struct JumpTable {
    uint32_t images[32][32];
};

uint32_t Apply(const uint32_t (&images)[32], uint32_t x) {
    uint32_t y = 0;
    for (int b = 0; b < 32; ++b) {
        if ((x >> b) & 1u) {
            y ^= images[b];
        }
    }
    return y;
}

const JumpTable& Jumps() {
    static const JumpTable table = [] {
        JumpTable t{};
        for (int b = 0; b < 32; ++b) {
            t.images[0][b] = XorShift(1u << b);
        }
        for (int i = 1; i < 32; ++i) {
            for (int b = 0; b < 32; ++b) {
                t.images[i][b] = Apply(t.images[i - 1], t.images[i - 1][b]);
            }
        }
        return t;
    }();
    return table;
}

// Each lane's generator steps steps (fewer than 2^32) later.
__m128i JumpLanes(__m128i lanes, size_t steps) {
    alignas(16) uint32_t values[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(values), lanes);
    for (uint32_t& value : values) {
        size_t rest = steps;
        for (int i = 0; rest != 0; ++i, rest >>= 1) {
            if (rest & 1u) {
                value = Apply(Jumps().images[i], value);
            }
        }
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(values));
}

// A call is cut into this many stretches of whole groups once each has at least
// kStretchSteps steps; shorter calls run as one.
constexpr size_t kStretches = 4;
constexpr size_t kStretchSteps = 64;

// Everything from here to the pop is compiled for AVX2 and runs only where the processor has
// it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

[[gnu::always_inline]] inline __m256i Step256(__m256i v) {
    v = _mm256_xor_si256(v, _mm256_slli_epi32(v, 13));
    v = _mm256_xor_si256(v, _mm256_srli_epi32(v, 17));
    return _mm256_xor_si256(v, _mm256_slli_epi32(v, 5));
}

// As Group, for one group of each of two stretches.
[[gnu::always_inline]] inline __m256i Group256(__m256i v, const float* first, const float* second,
                                               __m256 scales) {
    const __m256i spread =
        _mm256_sub_epi32(_mm256_and_si256(v, _mm256_set1_epi32(0xFFFF)), _mm256_srli_epi32(v, 16));
    const __m256 dither = _mm256_mul_ps(_mm256_cvtepi32_ps(spread), _mm256_set1_ps(kUnit));
    const __m256 samples = _mm256_set_m128(_mm_loadu_ps(second), _mm_loadu_ps(first));
    __m256 value = _mm256_add_ps(_mm256_mul_ps(samples, scales), dither);
    value = _mm256_and_ps(value, _mm256_cmp_ps(value, value, _CMP_ORD_Q));
    value =
        _mm256_min_ps(_mm256_max_ps(value, _mm256_set1_ps(-32768.0f)), _mm256_set1_ps(32767.0f));
    return _mm256_cvtps_epi32(value);
}

// kStretches stretches of length groups each, from starts on, two in each 256-bit register;
// returns the last stretch's lanes at its end. On SSE2 alone the stretches cost more than
// they save, so there a call runs in order.
__m128i QuantizeStretchesAvx2(const __m128i (&starts)[kStretches], const float* in, size_t length,
                              __m128 scales128, uint8_t* out) {
    static_assert(kStretches == 4);
    // Stretches 0 and 1 in one register, 2 and 3 in the other, kept in registers.
    __m256i lanes01 = _mm256_set_m128i(starts[1], starts[0]);
    __m256i lanes23 = _mm256_set_m128i(starts[3], starts[2]);
    const __m256 scales = _mm256_set_m128(scales128, scales128);
    const size_t apart = 4 * length;  // samples from one stretch to the next
    for (size_t at = 0; at < apart; at += 4) {
        lanes01 = Step256(lanes01);
        lanes23 = Step256(lanes23);
        const __m256i whole01 = Group256(lanes01, in + at, in + apart + at, scales);
        const __m256i whole23 = Group256(lanes23, in + 2 * apart + at, in + 3 * apart + at, scales);
        // Per 128-bit half: stretches 0 and 2 below, 1 and 3 above.
        const __m256i packed = _mm256_packs_epi32(whole01, whole23);
        const __m128i low = _mm256_castsi256_si128(packed);
        const __m128i high = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * at), low);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * (apart + at)), high);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * (2 * apart + at)),
                         _mm_unpackhi_epi64(low, low));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * (3 * apart + at)),
                         _mm_unpackhi_epi64(high, high));
    }
    return _mm256_extracti128_si256(lanes23, 1);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool HasAvx2() {
    static const bool bHas = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return bHas;
}
#endif

}  // namespace

TpdfDither::TpdfDither(uint32_t seed) : m_state(seed != 0 ? seed : 1u) {
    // Four different non-zero starts from the one seed.
    uint32_t mix = m_state;
    for (uint32_t& lane : m_lanes) {
        mix = mix * 0x9E3779B9u + 0x7F4A7C15u;
        lane = (mix ^ (mix >> 15)) | 1u;
    }
}

float TpdfDither::NextUniform() {
    m_state = XorShift(m_state);
    return static_cast<float>(m_state >> 8) * (1.0f / 16777216.0f);
}

void TpdfDither::UseWideLanes(bool bWide) {
    m_bWideLanes = bWide;
}

void TpdfDither::Quantize(const float* in, size_t count, float gain, int16_t* out) {
    Quantize16(in, count, gain, reinterpret_cast<uint8_t*>(out));
}

void TpdfDither::Quantize16(const float* in, size_t count, float gain, uint8_t* out) {
    const float scale = gain * 32768.0f;
#if defined(__SSE2__)
    __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_lanes));
    const __m128 scales = _mm_set1_ps(scale);
    for (size_t pass = 0; pass < count; pass += kMostPerPass) {
        const float* from = in + pass;
        uint8_t* to = out + 2 * pass;
        const size_t n = std::min(kMostPerPass, count - pass);
        size_t done = 0;
#if defined(SONOMAP_DITHER_STRETCHES)
        // Group g of the pass is step g of every lane, wherever it is computed.
        const size_t length = n / 4 / kStretches;
        if (m_bWideLanes && length >= kStretchSteps && HasAvx2()) {
            __m128i starts[kStretches] = {lanes};
            for (size_t s = 1; s < kStretches; ++s) {
                starts[s] = JumpLanes(starts[s - 1], length);
            }
            lanes = QuantizeStretchesAvx2(starts, from, length, scales, to);
            done = 4 * kStretches * length;
        }
#endif
        QuantizeInOrder(lanes, from + done, n - done, scales, to + 2 * done);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(m_lanes), lanes);
#else
    for (size_t i = 0; i < count; i += 4) {
        for (size_t lane = 0; lane < 4; ++lane) {
            uint32_t& r = m_lanes[lane];
            r = XorShift(r);
            if (i + lane >= count) {
                continue;
            }
            const auto spread = static_cast<int32_t>(r & 0xFFFFu) - static_cast<int32_t>(r >> 16);
            const float value = in[i + lane] * scale + static_cast<float>(spread) * kUnit;
            const auto sample =
                std::isnan(value)
                    ? int16_t{0}
                    : static_cast<int16_t>(std::clamp(std::nearbyint(value), -32768.0f, 32767.0f));
            std::memcpy(out + 2 * (i + lane), &sample, 2);
        }
    }
#endif
}

float TpdfDither::Peak(const float* in, size_t count) {
    float peak = 0.0f;
    size_t i = 0;
#if defined(__SSE2__)
    // maxps gives its second operand where either is not a number, as std::max below keeps
    // its first: a not-a-number sample lifts no peak either way.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 low = _mm_setzero_ps(), high = low;
    for (; i + 8 <= count; i += 8) {
        low = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(in + i), magnitude), low);
        high = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(in + i + 4), magnitude), high);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm_max_ps(low, high));
    peak = std::max({lanes[0], lanes[1], lanes[2], lanes[3]});
#endif
    for (; i < count; ++i) {
        peak = std::max(peak, std::fabs(in[i]));
    }
    return peak;
}

float TpdfDither::PeakLimit(SampleFormat format) {
    switch (format) {
        case SampleFormat::S16:
            return kPeakLimit;
        case SampleFormat::S24:
            return 8388606.0f / 8388608.0f;
        default:
            return 1.0f;
    }
}

void TpdfDither::Quantize24(const float* in, size_t count, float gain, uint8_t* out, bool bDither) {
    // Doubles: a float's 24-bit mantissa would round the dither away near full scale.
    const double scale = static_cast<double>(gain) * 8388608.0;
    for (size_t i = 0; i < count; ++i) {
        const double dither = bDither ? static_cast<double>(NextUniform()) - NextUniform() : 0.0;
        const double value = std::floor(in[i] * scale + dither + 0.5);
        const auto sample =
            std::isnan(value) ? 0 : static_cast<int32_t>(std::clamp(value, -8388608.0, 8388607.0));
        const auto bits = static_cast<uint32_t>(sample);
        out[3 * i] = static_cast<uint8_t>(bits);
        out[3 * i + 1] = static_cast<uint8_t>(bits >> 8);
        out[3 * i + 2] = static_cast<uint8_t>(bits >> 16);
    }
}

void TpdfDither::QuantizeTo(const float* in, size_t count, float gain, SampleFormat format,
                            uint8_t* out, bool bDither) {
    if (format == SampleFormat::S16 && !bDither) {
        Round(in, count, gain, 16, out);
    } else if (format == SampleFormat::S16) {
        // Little-endian in memory (PcmFormat asserts it), so the 16-bit path writes in place.
        Quantize16(in, count, gain, out);
    } else if (format == SampleFormat::S24) {
        Quantize24(in, count, gain, out, bDither);
    } else if (gain == 1.0f) {
        std::memcpy(out, in, 4 * count);
    } else {
        for (size_t i = 0; i < count; ++i) {
            const float value = in[i] * gain;
            std::memcpy(out + 4 * i, &value, 4);
        }
    }
}

void TpdfDither::Round(const float* in, size_t count, float gain, int bits, uint8_t* out) {
    const double top = bits == 16 ? 32767.0 : 8388607.0;
    const double scale = static_cast<double>(gain) * (top + 1.0);
    const size_t width = static_cast<size_t>(bits / 8);
    for (size_t i = 0; i < count; ++i) {
        const double value = std::floor(in[i] * scale + 0.5);
        const auto bitsOf = static_cast<uint32_t>(
            std::isnan(value) ? 0 : static_cast<int32_t>(std::clamp(value, -top - 1.0, top)));
        for (size_t b = 0; b < width; ++b) {
            out[i * width + b] = static_cast<uint8_t>(bitsOf >> (8 * b));
        }
    }
}
