#include "render/AmbisonicsEncoder.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The gains of frame f of a run: from + f x step, computed afresh each frame (no running sum,
// so a long run does not drift). The channel count is fixed per instance so the loop over the
// channels unrolls and vectorises.
template <int Channels, int Sources>
void EncodeFixed(const float* in, uint32_t frames, const float* from, const float* to, float* out) {
    float step[Sources * Channels];
    const float scale = 1.0f / static_cast<float>(frames);
    for (int k = 0; k < Sources * Channels; ++k) {
        step[k] = (to[k] - from[k]) * scale;
    }
    for (uint32_t f = 0; f < frames; ++f) {
        const float t = static_cast<float>(f);
        float* frame = out + size_t{f} * Channels;
        const float s0 = in[size_t{f} * Sources];
        for (int k = 0; k < Channels; ++k) {
            frame[k] = s0 * (from[k] + t * step[k]);
        }
        if constexpr (Sources == 2) {
            const float s1 = in[size_t{f} * 2 + 1];
            for (int k = 0; k < Channels; ++k) {
                frame[k] += s1 * (from[Channels + k] + t * step[Channels + k]);
            }
        }
    }
}

#if defined(__SSE2__)
// The same sums in the same order, four channels to a register: bit for bit what EncodeFixed
// gives. The frame number counts up in a float, exact up to 2^24 frames.
template <int Channels, int Sources>
void EncodeLanes(const float* in, uint32_t frames, const float* from, const float* to, float* out) {
    constexpr int kGroups = Channels / 4;
    constexpr int kRest = Channels % 4;
    float step[Sources * Channels];
    const float scale = 1.0f / static_cast<float>(frames);
    for (int k = 0; k < Sources * Channels; ++k) {
        step[k] = (to[k] - from[k]) * scale;
    }
    __m128 starts[Sources][kGroups];
    __m128 steps[Sources][kGroups];
    for (int s = 0; s < Sources; ++s) {
        for (int g = 0; g < kGroups; ++g) {
            starts[s][g] = _mm_loadu_ps(from + s * Channels + 4 * g);
            steps[s][g] = _mm_loadu_ps(step + s * Channels + 4 * g);
        }
    }
    __m128 t = _mm_setzero_ps();
    for (uint32_t f = 0; f < frames; ++f) {
        float* frame = out + size_t{f} * Channels;
        const float* samples = in + size_t{f} * Sources;
        const __m128 s0 = _mm_set1_ps(samples[0]);
        for (int g = 0; g < kGroups; ++g) {
            __m128 sum = _mm_mul_ps(s0, _mm_add_ps(starts[0][g], _mm_mul_ps(t, steps[0][g])));
            if constexpr (Sources == 2) {
                const __m128 s1 = _mm_set1_ps(samples[1]);
                sum = _mm_add_ps(
                    sum, _mm_mul_ps(s1, _mm_add_ps(starts[1][g], _mm_mul_ps(t, steps[1][g]))));
            }
            _mm_storeu_ps(frame + 4 * g, sum);
        }
        if constexpr (kRest != 0) {
            const float tf = static_cast<float>(f);
            for (int k = 4 * kGroups; k < Channels; ++k) {
                frame[k] = samples[0] * (from[k] + tf * step[k]);
                if constexpr (Sources == 2) {
                    frame[k] += samples[1] * (from[Channels + k] + tf * step[Channels + k]);
                }
            }
        }
        t = _mm_add_ps(t, _mm_set1_ps(1.0f));
    }
}
#endif

template <int Channels>
void EncodeSources(const float* in, int sources, uint32_t frames, const float* from,
                   const float* to, float* out) {
#if defined(__SSE2__)
    if (frames < (1u << 24)) {
        if (sources == 2) {
            EncodeLanes<Channels, 2>(in, frames, from, to, out);
        } else {
            EncodeLanes<Channels, 1>(in, frames, from, to, out);
        }
        return;
    }
#endif
    if (sources == 2) {
        EncodeFixed<Channels, 2>(in, frames, from, to, out);
    } else {
        EncodeFixed<Channels, 1>(in, frames, from, to, out);
    }
}

}  // namespace

void AmbisonicsEncoder::Harmonics(int order, double azimuth, double elevation, double gain,
                                  float* out) {
    const double theta = azimuth * std::numbers::pi / 180.0;
    const double phi = elevation * std::numbers::pi / 180.0;
    HarmonicsOf(order, std::cos(theta) * std::cos(phi), std::sin(theta) * std::cos(phi),
                std::sin(phi), gain, out);
}

void AmbisonicsEncoder::HarmonicsOf(int order, double x, double y, double z, double gain,
                                    float* out) {
    double h[kMaxChannels];
    h[0] = 1.0;
    h[1] = y;
    h[2] = z;
    h[3] = x;
    const double s3 = std::sqrt(3.0);
    h[4] = s3 * x * y;
    h[5] = s3 * y * z;
    h[6] = 0.5 * (3.0 * z * z - 1.0);
    h[7] = s3 * x * z;
    h[8] = 0.5 * s3 * (x * x - y * y);
    const double s58 = std::sqrt(5.0 / 8.0);
    const double s38 = std::sqrt(3.0 / 8.0);
    const double s15 = std::sqrt(15.0);
    h[9] = s58 * y * (3.0 * x * x - y * y);
    h[10] = s15 * x * y * z;
    h[11] = s38 * y * (5.0 * z * z - 1.0);
    h[12] = 0.5 * z * (5.0 * z * z - 3.0);
    h[13] = s38 * x * (5.0 * z * z - 1.0);
    h[14] = 0.5 * s15 * z * (x * x - y * y);
    h[15] = s58 * x * (x * x - 3.0 * y * y);
    const int channels = ChannelCount(order < 1 ? 1 : order > kMaxOrder ? kMaxOrder : order);
    for (int k = 0; k < channels; ++k) {
        out[k] = static_cast<float>(h[k] * gain);
    }
}

void AmbisonicsEncoder::EncodeRun(const float* in, int sources, uint32_t frames, const float* from,
                                  const float* to, int channels, float* out) {
    if (frames == 0) {
        return;
    }
    // The AmbiX orders' counts, then the loudspeaker layouts'.
    switch (channels) {
        case 4:
            EncodeSources<4>(in, sources, frames, from, to, out);
            break;
        case 9:
            EncodeSources<9>(in, sources, frames, from, to, out);
            break;
        case 16:
            EncodeSources<16>(in, sources, frames, from, to, out);
            break;
        case 2:
            EncodeSources<2>(in, sources, frames, from, to, out);
            break;
        case 6:
            EncodeSources<6>(in, sources, frames, from, to, out);
            break;
        case 8:
            EncodeSources<8>(in, sources, frames, from, to, out);
            break;
        case 10:
            EncodeSources<10>(in, sources, frames, from, to, out);
            break;
        case 11:
            EncodeSources<11>(in, sources, frames, from, to, out);
            break;
        case 12:
            EncodeSources<12>(in, sources, frames, from, to, out);
            break;
        case 14:
            EncodeSources<14>(in, sources, frames, from, to, out);
            break;
        case 24:
            EncodeSources<24>(in, sources, frames, from, to, out);
            break;
        default:
            throw std::invalid_argument("no run encoder for this channel count");
    }
}
