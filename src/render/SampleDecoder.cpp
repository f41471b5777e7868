#include "render/SampleDecoder.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/ByteOrder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#define SONOMAP_BYTE_SHUFFLES 1
#endif

namespace {

inline float DecodeSample(const uint8_t* stored, int bits, bool bFloat) {
    if (bFloat) {
        float v;
        std::memcpy(&v, stored, sizeof v);
        if (std::isnan(v)) {
            return 0.0f;
        }
        if (std::isinf(v)) {
            return v > 0 ? 32768.0f : -32768.0f;
        }
        const float scaled = v * 32768.0f;
        return scaled > SampleDecoder::kLargest    ? SampleDecoder::kLargest
               : scaled < -SampleDecoder::kLargest ? -SampleDecoder::kLargest
                                                   : scaled;
    }
    switch (bits) {
        case 8:
            return static_cast<float>((static_cast<int>(stored[0]) - 128) * 256);
        case 16:
            return static_cast<float>(ByteOrder::LoadS16(stored, false));
        case 24:
            return static_cast<float>(ByteOrder::LoadS24(stored, false)) * (1.0f / 256.0f);
        default:
            return static_cast<float>(static_cast<double>(ByteOrder::LoadS32(stored, false)) *
                                      (1.0 / 65536.0));
    }
}

template <int Bits, bool Float>
constexpr size_t kWidth = Float ? 4 : Bits / 8;

// The reference, and the tail of every block.
template <int Bits, bool Float, int Channels>
void ReadOneByOne(const uint8_t* in, uint32_t from, uint32_t count, float* out) {
    constexpr size_t width = kWidth<Bits, Float>;
    for (uint32_t i = from; i < count; ++i) {
        const uint8_t* frame = in + size_t{i} * width * Channels;
        float sample = DecodeSample(frame, Bits, Float);
        if constexpr (Channels == 2) {
            sample = (sample + DecodeSample(frame + width, Bits, Float)) * 0.5f;
        }
        out[i] = sample;
    }
}

#if defined(__SSE2__)

// Four floats: scaled, infinities to full scale, NaN to 0, the rest held within kLargest.
inline __m128 FloatLanes(__m128 x) {
    const __m128 largest = _mm_set1_ps(SampleDecoder::kLargest);
    const __m128 scaled = _mm_min_ps(
        _mm_max_ps(_mm_mul_ps(x, _mm_set1_ps(32768.0f)), _mm_sub_ps(_mm_setzero_ps(), largest)),
        largest);
    const __m128 sign = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)));
    const __m128 magnitude = _mm_andnot_ps(_mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)), x);
    const __m128 infinite = _mm_cmpeq_ps(magnitude, _mm_castsi128_ps(_mm_set1_epi32(0x7F800000)));
    const __m128 full = _mm_or_ps(sign, _mm_set1_ps(32768.0f));
    const __m128 value = _mm_or_ps(_mm_andnot_ps(infinite, scaled), _mm_and_ps(infinite, full));
    return _mm_and_ps(value, _mm_cmpord_ps(x, x));
}

// Four 32-bit integers: through a double, as one sample at a time does.
inline __m128 Int32Lanes(__m128i v) {
    const __m128d scale = _mm_set1_pd(1.0 / 65536.0);
    const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtepi32_pd(v), scale));
    const __m128 high = _mm_cvtpd_ps(
        _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2))), scale));
    return _mm_movelh_ps(low, high);
}

template <bool Float>
inline __m128 LoadLanes(const uint8_t* in) {
    if constexpr (Float) {
        return FloatLanes(_mm_loadu_ps(reinterpret_cast<const float*>(in)));
    } else {
        return Int32Lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    }
}

// Eight 24-bit samples from three 8-byte words: four in each half.
inline void LoadEight24(const uint8_t* in, __m128& first, __m128& second) {
    uint64_t w[3];
    std::memcpy(w, in, sizeof w);
    // Each value at the top of its 32 bits, so an arithmetic shift brings its sign down.
    const auto top = [](uint64_t bits) { return static_cast<int32_t>(bits << 8 & 0xFFFFFF00u); };
    const __m128i low =
        _mm_setr_epi32(top(w[0]), top(w[0] >> 24), top(w[0] >> 48 | w[1] << 16), top(w[1] >> 8));
    const __m128i high = _mm_setr_epi32(top(w[1] >> 32), top(w[1] >> 56 | w[2] << 8),
                                        top(w[2] >> 16), top(w[2] >> 40));
    const __m128 scale = _mm_set1_ps(1.0f / 256.0f);
    first = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(low, 8)), scale);
    second = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(high, 8)), scale);
}

// Eight 16-bit samples: four in each half.
inline void LoadEight16(const uint8_t* in, __m128& first, __m128& second) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // Each sample into the top half of a 32-bit lane, shifted down with its sign.
    first = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
    second = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
}

// (L + R) / 2 of four frames held as L R L R in first and second.
inline __m128 Mix(__m128 first, __m128 second) {
    const __m128 left = _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 right = _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1));
    return _mm_mul_ps(_mm_add_ps(left, right), _mm_set1_ps(0.5f));
}

#if defined(SONOMAP_BYTE_SHUFFLES)
// Four 24-bit samples, each at the top of its lane.
[[gnu::target("ssse3")]] inline __m128 Lanes24(__m128i top) {
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(top, 8)), _mm_set1_ps(1.0f / 256.0f));
}

// Sixteen 24-bit samples a step, put in place by byte shuffles; returns the frames done. The
// last four are taken from the step's last 16 bytes, so no load reaches past the step.
template <int Channels>
[[gnu::target("ssse3")]] uint32_t ReadShuffled24(const uint8_t* in, uint32_t count, float* out) {
    const __m128i spread = _mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
    const __m128i spreadLast =
        _mm_setr_epi8(-1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15);
    constexpr uint32_t step = 16 / Channels;
    uint32_t i = 0;
    for (; i + step <= count; i += step) {
        const uint8_t* at = in + size_t{i} * 3 * Channels;
        const auto load = [at](int offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset));
        };
        const __m128 a = Lanes24(_mm_shuffle_epi8(load(0), spread));
        const __m128 b = Lanes24(_mm_shuffle_epi8(load(12), spread));
        const __m128 c = Lanes24(_mm_shuffle_epi8(load(24), spread));
        const __m128 d = Lanes24(_mm_shuffle_epi8(load(32), spreadLast));
        if constexpr (Channels == 1) {
            _mm_storeu_ps(out + i, a);
            _mm_storeu_ps(out + i + 4, b);
            _mm_storeu_ps(out + i + 8, c);
            _mm_storeu_ps(out + i + 12, d);
        } else {
            _mm_storeu_ps(out + i, Mix(a, b));
            _mm_storeu_ps(out + i + 4, Mix(c, d));
        }
    }
    return i;
}
#endif

template <int Bits, bool Float, int Channels>
void Read(const uint8_t* in, uint32_t i, uint32_t count, float* out) {
    if constexpr (kWidth<Bits, Float> == 4) {
        for (; i + 4 <= count; i += 4) {
            const uint8_t* frames = in + size_t{i} * 4 * Channels;
            if constexpr (Channels == 1) {
                _mm_storeu_ps(out + i, LoadLanes<Float>(frames));
            } else {
                _mm_storeu_ps(out + i,
                              Mix(LoadLanes<Float>(frames), LoadLanes<Float>(frames + 16)));
            }
        }
    } else if constexpr (Bits == 24 || Bits == 16) {
        // Eight samples a step: eight frames of one channel, four of two.
        constexpr uint32_t step = 8 / Channels;
        for (; i + step <= count; i += step) {
            __m128 first, second;
            if constexpr (Bits == 24) {
                LoadEight24(in + size_t{i} * 3 * Channels, first, second);
            } else {
                LoadEight16(in + size_t{i} * 2 * Channels, first, second);
            }
            if constexpr (Channels == 1) {
                _mm_storeu_ps(out + i, first);
                _mm_storeu_ps(out + i + 4, second);
            } else {
                _mm_storeu_ps(out + i, Mix(first, second));
            }
        }
    }
    ReadOneByOne<Bits, Float, Channels>(in, i, count, out);
}

#else

template <int Bits, bool Float, int Channels>
void Read(const uint8_t* in, uint32_t from, uint32_t count, float* out) {
    ReadOneByOne<Bits, Float, Channels>(in, from, count, out);
}

#endif

template <int Bits, bool Float, int Channels>
void ReadFrames(const uint8_t* in, uint32_t count, bool bByteShuffles, float* out) {
    uint32_t from = 0;
#if defined(SONOMAP_BYTE_SHUFFLES)
    if constexpr (Bits == 24 && !Float) {
        if (bByteShuffles) {
            from = ReadShuffled24<Channels>(in, count, out);
        }
    }
#else
    (void)bByteShuffles;
#endif
    Read<Bits, Float, Channels>(in, from, count, out);
}

// Every sample of count frames of channels, or each frame mixed to one.
template <int Bits, bool Float>
void ReadChannels(const uint8_t* in, int channels, uint32_t count, bool bMix, bool bByteShuffles,
                  float* out) {
    if (channels == 2 && bMix) {
        ReadFrames<Bits, Float, 2>(in, count, bByteShuffles, out);
    } else {
        ReadFrames<Bits, Float, 1>(in, count * static_cast<uint32_t>(channels), bByteShuffles, out);
    }
}

}  // namespace

bool SampleDecoder::HasByteShuffles() {
#if defined(SONOMAP_BYTE_SHUFFLES)
    static const bool bHas = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return bHas;
#else
    return false;
#endif
}

float SampleDecoder::DecodeOne(const uint8_t* stored, int bits, bool bFloat) {
    return DecodeSample(stored, bits, bFloat);
}

void SampleDecoder::Decode(const uint8_t* in, const Layout& layout, uint32_t count, bool bMix,
                           bool bByteShuffles, float* out) {
    const int channels = layout.channels == 2 ? 2 : 1;
    if (layout.bFloat) {
        ReadChannels<32, true>(in, channels, count, bMix, bByteShuffles, out);
    } else if (layout.bits == 8) {
        ReadChannels<8, false>(in, channels, count, bMix, bByteShuffles, out);
    } else if (layout.bits == 16) {
        ReadChannels<16, false>(in, channels, count, bMix, bByteShuffles, out);
    } else if (layout.bits == 24) {
        ReadChannels<24, false>(in, channels, count, bMix, bByteShuffles, out);
    } else {
        ReadChannels<32, false>(in, channels, count, bMix, bByteShuffles, out);
    }
}
