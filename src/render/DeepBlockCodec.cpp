#include "render/DeepBlockCodec.h"

#include <cstddef>
#include <cstring>

#include "render/SampleCodec.h"
#include "render/SampleDecoder.h"

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

template <int Bits, bool Float>
void StoreOneByOne(const float* values, uint32_t from, uint32_t count, uint8_t* out) {
    constexpr size_t width = kWidth<Bits, Float>;
    for (uint32_t i = from; i < count; ++i) {
        SampleCodec::StoreDeep(values[i], Bits, Float, out + i * width);
    }
}

#if defined(__SSE2__)

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

template <int Bits, bool Float>
void Store(const float* values, uint32_t from, uint32_t count, uint8_t* out) {
    StoreOneByOne<Bits, Float>(values, from, count, out);
}

#endif

}  // namespace

bool DeepBlockCodec::HasByteShuffles() {
    return SampleDecoder::HasByteShuffles();
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
