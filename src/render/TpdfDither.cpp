#include "render/TpdfDither.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TpdfDither::TpdfDither(uint32_t seed) : m_state(seed != 0 ? seed : 1u) {
    // Four different non-zero starts from the one seed.
    uint32_t mix = m_state;
    for (uint32_t& lane : m_lanes) {
        mix = mix * 0x9E3779B9u + 0x7F4A7C15u;
        lane = (mix ^ (mix >> 15)) | 1u;
    }
}

float TpdfDither::NextUniform() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return static_cast<float>(m_state >> 8) * (1.0f / 16777216.0f);
}

void TpdfDither::Quantize(const float* in, size_t count, float gain, int16_t* out) {
    const float scale = gain * 32768.0f;
    constexpr float kUnit = 1.0f / 65536.0f;
#if defined(__SSE2__)
    __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_lanes));
    const __m128 scales = _mm_set1_ps(scale);
    const __m128 unit = _mm_set1_ps(kUnit);
    const __m128i low = _mm_set1_epi32(0xFFFF);
    for (size_t i = 0; i < count; i += 4) {
        lanes = _mm_xor_si128(lanes, _mm_slli_epi32(lanes, 13));
        lanes = _mm_xor_si128(lanes, _mm_srli_epi32(lanes, 17));
        lanes = _mm_xor_si128(lanes, _mm_slli_epi32(lanes, 5));
        const __m128i spread = _mm_sub_epi32(_mm_and_si128(lanes, low), _mm_srli_epi32(lanes, 16));
        const __m128 dither = _mm_mul_ps(_mm_cvtepi32_ps(spread), unit);
        const size_t n = std::min<size_t>(4, count - i);
        __m128 samples;
        if (n == 4) {
            samples = _mm_loadu_ps(in + i);
        } else {
            float group[4] = {};
            std::memcpy(group, in + i, n * sizeof(float));
            samples = _mm_loadu_ps(group);
        }
        __m128 value = _mm_add_ps(_mm_mul_ps(samples, scales), dither);
        // A broken mix (NaN) is silence; the range is held before the conversion, which would
        // turn anything past 32 bits (an infinity too) into the most negative value.
        value = _mm_and_ps(value, _mm_cmpord_ps(value, value));
        value = _mm_min_ps(_mm_max_ps(value, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
        const __m128i whole = _mm_cvtps_epi32(value);
        const __m128i packed = _mm_packs_epi32(whole, whole);
        if (n == 4) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), packed);
        } else {
            int16_t result[8];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(result), packed);
            std::memcpy(out + i, result, n * sizeof(int16_t));
        }
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(m_lanes), lanes);
#else
    for (size_t i = 0; i < count; i += 4) {
        for (size_t lane = 0; lane < 4; ++lane) {
            uint32_t& r = m_lanes[lane];
            r ^= r << 13;
            r ^= r >> 17;
            r ^= r << 5;
            if (i + lane >= count) {
                continue;
            }
            const auto spread = static_cast<int32_t>(r & 0xFFFFu) - static_cast<int32_t>(r >> 16);
            const float value = in[i + lane] * scale + static_cast<float>(spread) * kUnit;
            out[i + lane] =
                std::isnan(value)
                    ? int16_t{0}
                    : static_cast<int16_t>(std::clamp(std::nearbyint(value), -32768.0f, 32767.0f));
        }
    }
#endif
}

float TpdfDither::Peak(const float* in, size_t count) {
    float peak = 0.0f;
    for (size_t i = 0; i < count; ++i) {
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
        static_assert(sizeof(int16_t) == 2);
        constexpr size_t kRun = 1024;
        int16_t run[kRun];
        for (size_t done = 0; done < count; done += kRun) {
            const size_t n = std::min(kRun, count - done);
            Quantize(in + done, n, gain, run);
            std::memcpy(out + 2 * done, run, 2 * n);
        }
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
