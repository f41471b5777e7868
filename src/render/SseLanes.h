#pragma once

// The SSE2 pieces the register kernels share: stored samples to and from lanes, one sample
// through the filter on the state in memory, and the delay terms of a bulk call. Inline
// templates, compiled for SSE2 wherever they are included: a file compiled for a wider set
// includes this before it switches.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "render/FilterState.h"
#include "render/SampleCodec.h"

namespace sse {

// ---- Stored samples in and out, on lanes ----

// Clipped, NaN as 0, truncated, and for 8 bits shifted and biased: the stored value of each
// lane, as WritePair computes it.
template <int Width>
[[gnu::always_inline]] inline __m128i StoredValues(__m128 values) {
    const __m128 ordered = _mm_cmpord_ps(values, values);
    const __m128 clipped =
        _mm_min_ps(_mm_max_ps(values, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    __m128i stored = _mm_cvttps_epi32(_mm_and_ps(clipped, ordered));
    if constexpr (Width == 1) {
        stored = _mm_add_epi32(_mm_srai_epi32(stored, 8), _mm_set1_epi32(128));
    }
    return stored;
}

// WritePair on lanes 0 and 1: left then right.
template <int Width>
[[gnu::always_inline]] inline void StorePair(__m128 pair, uint8_t* out) {
    if constexpr (Width == kFloatWidth) {
        _mm_storel_pi(reinterpret_cast<__m64*>(out), pair);
        return;
    }
    __m128i value = StoredValues<Width>(pair);
    if constexpr (Width == 1) {
        value = _mm_packus_epi16(_mm_packs_epi32(value, value), value);
        const auto bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(value));
        out[0] = static_cast<uint8_t>(bytes);
        out[1] = static_cast<uint8_t>(bytes >> 8);
    } else {
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packs_epi32(value, value));
        std::memcpy(out, &bytes, 4);
    }
}

// Four pairs, two to a register, in one store.
template <int Width>
[[gnu::always_inline]] inline void StoreFourPairs(__m128 pairs01, __m128 pairs23, uint8_t* out) {
    if constexpr (Width == kFloatWidth) {
        _mm_storeu_ps(reinterpret_cast<float*>(out), pairs01);
        _mm_storeu_ps(reinterpret_cast<float*>(out) + 4, pairs23);
        return;
    }
    const __m128i words =
        _mm_packs_epi32(StoredValues<Width>(pairs01), StoredValues<Width>(pairs23));
    if constexpr (Width == 1) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
    }
}

// ReadFrame of four frames, one per lane; exact, as integers of 16 bits and less are exact in
// a float.
template <int Width, int Channels>
[[gnu::always_inline]] inline __m128 LoadFourFrames(const uint8_t* in) {
    __m128i left, right;
    if constexpr (Width == kFloatWidth) {
        static_assert(Channels == 1, "the working form is mono");
        return _mm_loadu_ps(reinterpret_cast<const float*>(in));
    } else if constexpr (Width == 2 && Channels == 1) {
        const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
        return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16));
    } else if constexpr (Width == 2) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        left = _mm_srai_epi32(_mm_slli_epi32(raw, 16), 16);
        right = _mm_srai_epi32(raw, 16);
    } else if constexpr (Channels == 1) {
        int32_t bytes;
        std::memcpy(&bytes, in, 4);
        const __m128i zero = _mm_setzero_si128();
        const __m128i raw =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
        return _mm_cvtepi32_ps(_mm_slli_epi32(_mm_sub_epi32(raw, _mm_set1_epi32(128)), 8));
    } else {
        const __m128i zero = _mm_setzero_si128();
        const __m128i raw =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), zero);
        const __m128i bias = _mm_set1_epi32(128);
        left = _mm_slli_epi32(_mm_sub_epi32(_mm_and_si128(raw, _mm_set1_epi32(0xFFFF)), bias), 8);
        right = _mm_slli_epi32(_mm_sub_epi32(_mm_srli_epi32(raw, 16), bias), 8);
    }
    if constexpr (Channels == 2) {
        return _mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(left), _mm_cvtepi32_ps(right)),
                          _mm_set1_ps(0.5f));
    }
}

// One frame's filter input in every lane.
template <int Width, int Channels>
[[gnu::always_inline]] inline __m128 LoadFrame(const uint8_t* frame) {
    return _mm_set1_ps(SampleCodec::ReadFrame<Width, Channels>(frame));
}

// ---- One sample at a time, on the state in memory ----

template <int Sections, FilterMode M>
StereoSample Sample(FilterState& state, float in) {
    const __m128 x = _mm_set1_ps(in);
    const __m128 direct = _mm_mul_ps(x, _mm_load_ps(state.directGain));
    __m128 acc = _mm_mul_ps(_mm_mul_ps(x, _mm_load_ps(state.filteredGain)), _mm_load_ps(state.k));
    for (int n = 0; n < Sections; ++n) {
        const __m128 s1 = _mm_load_ps(state.s1[n]);
        const __m128 s2 = _mm_load_ps(state.s2[n]);
        // The a2 term first: it does not wait for the previous output, so the recursion
        // carries only one multiply and one subtraction from sample to sample.
        acc = _mm_sub_ps(_mm_sub_ps(acc, _mm_mul_ps(_mm_load_ps(state.a2[n]), s2)),
                         _mm_mul_ps(_mm_load_ps(state.a1[n]), s1));
        _mm_store_ps(state.s2[n], s1);
        _mm_store_ps(state.s1[n], acc);
    }
    __m128 out;
    if constexpr (M == FilterMode::NoDelay) {
        out = _mm_add_ps(acc, direct);
    } else {
        _mm_store_ps(state.ring[state.write], M == FilterMode::DelayFiltered ? acc : direct);
        const __m128 delayed = _mm_load_ps(state.ring[state.read]);
        out =
            M == FilterMode::DelayFiltered ? _mm_add_ps(delayed, direct) : _mm_add_ps(acc, delayed);
        state.write = (state.write + 1) & 7u;
        state.read = (state.read + 1) & 7u;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, out);
    return {lanes[0], lanes[1]};
}

template <int Sections, FilterMode M, int Width, int Channels>
void FramesOneByOne(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
        const StereoSample pair =
            Sample<Sections, M>(state, SampleCodec::ReadFrame<Width, Channels>(in));
        SampleCodec::WritePair(pair.left, pair.right, Width, out);
        in += Width * Channels;
        out += 2 * Width;
    }
}

// A failed SelectRate resets the ring's indexes but keeps the kernel, so they may stand level
// where the band delays; the bulk kernels then take the one-by-one path.
template <FilterMode M>
bool RingOutOfStep(const FilterState& state) {
    return M != FilterMode::NoDelay && ((state.write - state.read) & 7u) != RingDelay(M);
}

// The delay ring of a bulk call, in registers. The ring's write index runs kDelay entries ahead
// of its read index (SelectRate sets them so, and both step together), so only the kDelay
// values due next matter; they shift through registers instead of an indexed ring.
template <FilterMode M>
struct DueTerms {
    static constexpr int kDelay = M == FilterMode::DelayDirect ? 2 : 1;

    explicit DueTerms(const FilterState& state) {
        for (int d = 0; d < kDelay; ++d) {
            due[d] = _mm_load_ps(state.ring[(state.read + unsigned(d)) & 7u]);
        }
    }

    // Back into the ring, its indexes advanced by count frames.
    void Save(FilterState& state, uint32_t count) const {
        if constexpr (M != FilterMode::NoDelay) {
            state.write = (state.write + count) & 7u;
            state.read = (state.read + count) & 7u;
            for (int d = 0; d < kDelay; ++d) {
                _mm_store_ps(state.ring[(state.read + unsigned(d)) & 7u], due[d]);
            }
        }
    }

    // The last section's output and the direct term to the stereo pair, through the delay.
    [[gnu::always_inline]] __m128 Finish(__m128 acc, __m128 direct) {
        if constexpr (M == FilterMode::NoDelay) {
            return _mm_add_ps(acc, direct);
        } else {
            const __m128 delayed = due[0];
            for (int d = 0; d + 1 < kDelay; ++d) {
                due[d] = due[d + 1];
            }
            due[kDelay - 1] = M == FilterMode::DelayFiltered ? acc : direct;
            return M == FilterMode::DelayFiltered ? _mm_add_ps(delayed, direct)
                                                  : _mm_add_ps(acc, delayed);
        }
    }

    __m128 due[kDelay];
};

}  // namespace sse
