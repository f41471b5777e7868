#include "render/DeepBlockCodec.h"

#include <cstddef>
#include <cstring>

#include "render/SampleCodec.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#define SONOMAP_BYTE_SHUFFLES 1
#endif

namespace {

template <int Bits, bool Float>
constexpr size_t kWidth = Float ? 4 : Bits / 8;

// The reference, and the tail of every block: SampleCodec itself, its branches folded.
template <int Bits, bool Float, int Channels>
void ReadOneByOne(const uint8_t* in, uint32_t from, uint32_t count, float* out) {
    constexpr size_t width = kWidth<Bits, Float>;
    for (uint32_t i = from; i < count; ++i) {
        const uint8_t* frame = in + size_t{i} * width * Channels;
        float sample = SampleCodec::ReadDeep(frame, Bits, Float);
        if constexpr (Channels == 2) {
            sample = (sample + SampleCodec::ReadDeep(frame + width, Bits, Float)) * 0.5f;
        }
        out[i] = sample;
    }
}

template <int Bits, bool Float>
void StoreOneByOne(const float* values, uint32_t from, uint32_t count, uint8_t* out) {
    constexpr size_t width = kWidth<Bits, Float>;
    for (uint32_t i = from; i < count; ++i) {
        SampleCodec::StoreDeep(values[i], Bits, Float, out + i * width);
    }
}

#if defined(__SSE2__)

// ReadDeep of four floats: scaled, infinities to full scale, NaN to 0.
inline __m128 FloatLanes(__m128 x) {
    const __m128 scaled = _mm_mul_ps(x, _mm_set1_ps(32768.0f));
    const __m128 sign = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)));
    const __m128 magnitude = _mm_andnot_ps(_mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)), x);
    const __m128 infinite = _mm_cmpeq_ps(magnitude, _mm_castsi128_ps(_mm_set1_epi32(0x7F800000)));
    const __m128 full = _mm_or_ps(sign, _mm_set1_ps(32768.0f));
    const __m128 value = _mm_or_ps(_mm_andnot_ps(infinite, scaled), _mm_and_ps(infinite, full));
    return _mm_and_ps(value, _mm_cmpord_ps(x, x));
}

// ReadDeep of four 32-bit integers: through a double, as one sample at a time does.
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

// Eight 24-bit samples from three 8-byte words, as floats in 16-bit scale: four in each half.
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

// (L + R) / 2 of four frames held as L R L R in first and second.
inline __m128 Mix(__m128 first, __m128 second) {
    const __m128 left = _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 right = _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1));
    return _mm_mul_ps(_mm_add_ps(left, right), _mm_set1_ps(0.5f));
}

#if defined(SONOMAP_BYTE_SHUFFLES)
// Four 24-bit samples, each at the top of its lane, as floats in 16-bit scale.
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
    } else {
        // Eight samples a step: eight frames of one channel, four of two.
        constexpr uint32_t step = 8 / Channels;
        for (; i + step <= count; i += step) {
            __m128 first, second;
            LoadEight24(in + size_t{i} * 3 * Channels, first, second);
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

// StoreDeep's integers of four values, in float: scaling by a power of two is exact there, and
// every value that truncates within the range is a float of its own. NaN becomes 0, and what
// lies past the range its end.
template <int Bits>
inline __m128i StoredInts(__m128 values) {
    const __m128 scaled =
        _mm_and_ps(_mm_mul_ps(values, _mm_set1_ps(Bits == 24 ? 256.0f : 65536.0f)),
                   _mm_cmpord_ps(values, values));
    if constexpr (Bits == 24) {
        return _mm_cvttps_epi32(
            _mm_min_ps(_mm_max_ps(scaled, _mm_set1_ps(-8388608.0f)), _mm_set1_ps(8388607.0f)));
    } else {
        // 2^31 and above truncate to 0x80000000, which the mask turns into 0x7FFFFFFF.
        const __m128 clipped = _mm_max_ps(scaled, _mm_set1_ps(-2147483648.0f));
        const __m128 above = _mm_cmpge_ps(clipped, _mm_set1_ps(2147483648.0f));
        return _mm_xor_si128(_mm_cvttps_epi32(clipped), _mm_castps_si128(above));
    }
}

// Eight 24-bit values, low bytes first, in three 8-byte words.
inline void StoreEight24(const int32_t* ints, uint8_t* out) {
    uint64_t v[8];
    for (int n = 0; n < 8; ++n) {
        v[n] = static_cast<uint32_t>(ints[n]) & 0xFFFFFFu;
    }
    const uint64_t words[3] = {v[0] | v[1] << 24 | v[2] << 48,
                               v[2] >> 16 | v[3] << 8 | v[4] << 32 | v[5] << 56,
                               v[5] >> 8 | v[6] << 16 | v[7] << 40};
    std::memcpy(out, words, sizeof words);
}

#if defined(SONOMAP_BYTE_SHUFFLES)
// The stored 24-bit integers of four values in bytes 0 to 11, low bytes first; the rest zero.
[[gnu::target("ssse3")]] inline __m128i Packed24(const float* values) {
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm_shuffle_epi8(StoredInts<24>(_mm_loadu_ps(values)), pack);
}

// Sixteen values a step, their low three bytes packed by byte shuffles into three stores;
// returns the values done.
[[gnu::target("ssse3")]] uint32_t StoreShuffled24(const float* values, uint32_t count,
                                                  uint8_t* out) {
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i a = Packed24(values + i);
        const __m128i b = Packed24(values + i + 4);
        const __m128i c = Packed24(values + i + 8);
        const __m128i d = Packed24(values + i + 12);
        auto* to = reinterpret_cast<__m128i*>(out + size_t{i} * 3);
        _mm_storeu_si128(to, _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(to + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(to + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    return i;
}
#endif

template <int Bits, bool Float>
void Store(const float* values, uint32_t i, uint32_t count, uint8_t* out) {
    if constexpr (Float) {
        for (; i + 4 <= count; i += 4) {
            const __m128 four = _mm_loadu_ps(values + i);
            const __m128 scaled = _mm_mul_ps(four, _mm_set1_ps(1.0f / 32768.0f));
            _mm_storeu_ps(reinterpret_cast<float*>(out + size_t{i} * 4),
                          _mm_and_ps(scaled, _mm_cmpord_ps(four, four)));
        }
    } else if constexpr (Bits == 32) {
        for (; i + 4 <= count; i += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size_t{i} * 4),
                             StoredInts<32>(_mm_loadu_ps(values + i)));
        }
    } else {
        for (; i + 8 <= count; i += 8) {
            alignas(16) int32_t ints[8];
            _mm_store_si128(reinterpret_cast<__m128i*>(ints),
                            StoredInts<24>(_mm_loadu_ps(values + i)));
            _mm_store_si128(reinterpret_cast<__m128i*>(ints + 4),
                            StoredInts<24>(_mm_loadu_ps(values + i + 4)));
            StoreEight24(ints, out + size_t{i} * 3);
        }
    }
    StoreOneByOne<Bits, Float>(values, i, count, out);
}

#else

template <int Bits, bool Float, int Channels>
void Read(const uint8_t* in, uint32_t from, uint32_t count, float* out) {
    ReadOneByOne<Bits, Float, Channels>(in, from, count, out);
}

template <int Bits, bool Float>
void Store(const float* values, uint32_t from, uint32_t count, uint8_t* out) {
    StoreOneByOne<Bits, Float>(values, from, count, out);
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

template <int Bits, bool Float>
void ReadChannels(const uint8_t* in, int channels, uint32_t count, bool bByteShuffles, float* out) {
    if (channels == 2) {
        ReadFrames<Bits, Float, 2>(in, count, bByteShuffles, out);
    } else {
        ReadFrames<Bits, Float, 1>(in, count, bByteShuffles, out);
    }
}

}  // namespace

bool DeepBlockCodec::HasByteShuffles() {
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

void DeepBlockCodec::ReadMono(const uint8_t* in, int channels, int bits, bool bFloat,
                              uint32_t count, bool bByteShuffles, float* out) {
    if (bFloat) {
        ReadChannels<32, true>(in, channels, count, bByteShuffles, out);
    } else if (bits == 24) {
        ReadChannels<24, false>(in, channels, count, bByteShuffles, out);
    } else {
        ReadChannels<32, false>(in, channels, count, bByteShuffles, out);
    }
}

void DeepBlockCodec::StorePairs(const float* pairs, uint32_t count, int bits, bool bFloat,
                                bool bByteShuffles, uint8_t* out) {
    if (bFloat) {
        Store<32, true>(pairs, 0, 2 * count, out);
    } else if (bits == 24) {
        uint32_t from = 0;
#if defined(SONOMAP_BYTE_SHUFFLES)
        if (bByteShuffles) {
            from = StoreShuffled24(pairs, 2 * count, out);
        }
#else
        (void)bByteShuffles;
#endif
        Store<24, false>(pairs, from, 2 * count, out);
    } else {
        Store<32, false>(pairs, 0, 2 * count, out);
    }
}
