#include "render/TpdfDither.h"

#include <algorithm>
#include <cmath>
#include <cstring>

float TpdfDither::NextUniform() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return static_cast<float>(m_state >> 8) * (1.0f / 16777216.0f);
}

void TpdfDither::Quantize(const float* in, size_t count, float gain, int16_t* out) {
    const float scale = gain * 32768.0f;
    for (size_t i = 0; i < count; ++i) {
        const float dither = NextUniform() - NextUniform();
        const float value = std::floor(in[i] * scale + dither + 0.5f);
        // A broken mix (NaN) must not become undefined behaviour in the cast.
        out[i] = std::isnan(value) ? int16_t{0}
                                   : static_cast<int16_t>(std::clamp(value, -32768.0f, 32767.0f));
    }
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
