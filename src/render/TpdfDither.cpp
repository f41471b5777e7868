#include "render/TpdfDither.h"

#include <algorithm>
#include <cmath>

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
