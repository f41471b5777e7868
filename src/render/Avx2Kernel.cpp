#include "render/Avx2Kernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "render/KernelShapes.h"
#include "render/SseLanes.h"

// Everything from here on is compiled for AVX2 and runs only where the processor has it. The
// headers come first, so that nothing they define inline is compiled for AVX2 by mistake.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace {

// A register of four elements, element n being lanes 2n and 2n + 1: section n's left and right
// filter. Elements at and above the band's section count carry nothing that is used.
__m256 PackElements(const float (&lanes)[4][4]) {
    return _mm256_set_m128(_mm_movelh_ps(_mm_load_ps(lanes[2]), _mm_load_ps(lanes[3])),
                           _mm_movelh_ps(_mm_load_ps(lanes[0]), _mm_load_ps(lanes[1])));
}

// Lanes 0 and 1 of v in every element.
__m256 RepeatPair(__m128 v) {
    const __m128 pair = _mm_movelh_ps(v, v);
    return _mm256_set_m128(pair, pair);
}

// Element n - 1 moved to element n; element 0 keeps its own.
[[gnu::always_inline]] inline __m256 ShiftUp(__m256 v) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), _MM_SHUFFLE(2, 1, 0, 0)));
}

// Each frame's pair of four frames: [x0 x0 x1 x1 x2 x2 x3 x3].
[[gnu::always_inline]] inline __m256 Pairs(__m128 x) {
    return _mm256_set_m128(_mm_unpackhi_ps(x, x), _mm_unpacklo_ps(x, x));
}

// Element j of v in lanes 0 and 1 of the result (the other lanes are not used).
template <int J>
[[gnu::always_inline]] inline __m128 Element(__m256 v) {
    const __m128 half = J < 2 ? _mm256_castps256_ps128(v) : _mm256_extractf128_ps(v, 1);
    return J % 2 == 0 ? half : _mm_movehl_ps(half, half);
}

// Element J of x then of y, in each 128-bit half.
template <int J>
[[gnu::always_inline]] inline __m256d PickPair(__m256 x, __m256 y) {
    const __m256d dx = _mm256_castps_pd(x), dy = _mm256_castps_pd(y);
    return J % 2 == 0 ? _mm256_unpacklo_pd(dx, dy) : _mm256_unpackhi_pd(dx, dy);
}

// Element J of each of a, b, c and d, in that order.
template <int J>
[[gnu::always_inline]] inline __m256 Gather(__m256 a, __m256 b, __m256 c, __m256 d) {
    return _mm256_castpd_ps(
        _mm256_permute2f128_pd(PickPair<J>(a, b), PickPair<J>(c, d), J < 2 ? 0x20 : 0x31));
}

// sse::StoreFourPairs on one register of four pairs: the same lane operations, once.
template <int Width>
[[gnu::always_inline]] inline void StoreFourPairs(__m256 pairs, uint8_t* out) {
    if constexpr (Width == kFloatWidth) {
        _mm256_storeu_ps(reinterpret_cast<float*>(out), pairs);
        return;
    }
    const __m256 ordered = _mm256_cmp_ps(pairs, pairs, _CMP_ORD_Q);
    const __m256 clipped =
        _mm256_min_ps(_mm256_max_ps(pairs, _mm256_set1_ps(-32768.0f)), _mm256_set1_ps(32767.0f));
    __m256i stored = _mm256_cvttps_epi32(_mm256_and_ps(clipped, ordered));
    if constexpr (Width == 1) {
        stored = _mm256_add_epi32(_mm256_srai_epi32(stored, 8), _mm256_set1_epi32(128));
    }
    // Packing works within each half: gather the two halves' words into the low one.
    const __m128i words = _mm256_castsi256_si128(
        _mm256_permute4x64_epi64(_mm256_packs_epi32(stored, stored), _MM_SHUFFLE(3, 1, 2, 0)));
    if constexpr (Width == 1) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
    }
}

// The sections of one band in one register, skewed: at step t, element n runs section n for
// frame t - 2n, on the output section n - 1 gave two steps before. So frame t goes into section
// 0 as the last section's output for frame t - kLag comes out. At the edges of a call (the
// skew filling and draining) a section whose frame lies outside the call keeps its state.
template <int Sections, FilterMode M>
class SkewedRegister {
  public:
    static constexpr uint32_t kLag = 2 * (Sections - 1);

    explicit SkewedRegister(const FilterState& state)
        : m_a1(PackElements(state.a1)),
          m_a2(PackElements(state.a2)),
          m_s1(PackElements(state.s1)),
          m_s2(PackElements(state.s2)),
          m_r1(m_s1),
          m_r2(m_s2),
          m_directGain(_mm_load_ps(state.directGain)),
          m_filteredGain(_mm_load_ps(state.filteredGain)),
          m_k(_mm_load_ps(state.k)),
          m_directGain4(RepeatPair(m_directGain)),
          m_filteredGain4(RepeatPair(m_filteredGain)),
          m_k4(RepeatPair(m_k)),
          m_terms(state) {}

    // Back into the state, after count frames.
    void Save(FilterState& state, uint32_t count) const {
        const __m128 zero = _mm_setzero_ps();
        const __m128 s1[2] = {_mm256_castps256_ps128(m_s1), _mm256_extractf128_ps(m_s1, 1)};
        const __m128 s2[2] = {_mm256_castps256_ps128(m_s2), _mm256_extractf128_ps(m_s2, 1)};
        for (int n = 0; n < Sections; ++n) {
            const __m128 one =
                n % 2 == 0 ? _mm_movelh_ps(s1[n / 2], zero) : _mm_movehl_ps(zero, s1[n / 2]);
            const __m128 two =
                n % 2 == 0 ? _mm_movelh_ps(s2[n / 2], zero) : _mm_movehl_ps(zero, s2[n / 2]);
            _mm_store_ps(state.s1[n], one);
            _mm_store_ps(state.s2[n], two);
        }
        m_terms.Save(state, count);
    }

    template <int Width, int Channels>
    void Run(const uint8_t* in, uint32_t count, uint8_t* out) {
        const uint64_t steps = uint64_t{count} + kLag;
        uint64_t t = 0;
        for (; t < kLag && t < steps; ++t) {
            EdgeStep<Width, Channels>(in, t, count, out);
        }
        if (count >= kLag + 4) {
            // Every section has its frames from here, so its state is also the register's
            // last two outputs.
            for (; t + 4 <= count; t += 4) {
                FourSteps<Width, Channels>(in, static_cast<uint32_t>(t), out);
            }
            m_r1 = m_s1;
            m_r2 = m_s2;
        }
        for (; t < steps; ++t) {
            EdgeStep<Width, Channels>(in, t, count, out);
        }
    }

  private:
    // fed: the filter input of section 0's frame in lanes 0 and 1.
    [[gnu::always_inline]] __m256 Step(__m128 fed) {
        const __m256 x = _mm256_blend_ps(ShiftUp(m_s2), _mm256_castps128_ps256(fed), 0x03);
        const __m256 y =
            _mm256_sub_ps(_mm256_sub_ps(x, _mm256_mul_ps(m_a2, m_s2)), _mm256_mul_ps(m_a1, m_s1));
        m_s2 = m_s1;
        m_s1 = y;
        return y;
    }

    // Step t at an edge, where some sections have no frame: those keep their state, and the
    // next section's input comes from the last two outputs instead.
    template <int Width, int Channels>
    void EdgeStep(const uint8_t* in, uint64_t t, uint32_t count, uint8_t* out) {
        constexpr size_t frameBytes = size_t{Width} * Channels;
        int bits = 0;
        for (int n = 0; n < Sections; ++n) {
            if (t >= uint64_t(2 * n) && t - uint64_t(2 * n) < count) {
                bits |= 1 << n;
            }
        }
        const __m256i bitOfLane = _mm256_setr_epi32(1, 1, 2, 2, 4, 4, 8, 8);
        const __m256 active = _mm256_castsi256_ps(_mm256_cmpgt_epi32(
            _mm256_and_si256(_mm256_set1_epi32(bits), bitOfLane), _mm256_setzero_si256()));
        __m128 fed = _mm_setzero_ps();
        if (t < count) {
            fed = Feed(sse::LoadFrame<Width, Channels>(in + t * frameBytes));
        }
        const __m256 x = _mm256_blend_ps(ShiftUp(m_r2), _mm256_castps128_ps256(fed), 0x03);
        const __m256 y =
            _mm256_sub_ps(_mm256_sub_ps(x, _mm256_mul_ps(m_a2, m_s2)), _mm256_mul_ps(m_a1, m_s1));
        m_r2 = m_r1;
        m_r1 = y;
        m_s2 = _mm256_blendv_ps(m_s2, m_s1, active);
        m_s1 = _mm256_blendv_ps(m_s1, y, active);
        if (t >= kLag) {
            const uint64_t frame = t - kLag;
            const __m128 direct =
                _mm_mul_ps(sse::LoadFrame<Width, Channels>(in + frame * frameBytes), m_directGain);
            sse::StorePair<Width>(m_terms.Finish(Element<Sections - 1>(y), direct),
                                  out + frame * 2 * Width);
        }
    }

    [[gnu::always_inline]] __m128 Feed(__m128 x) const {
        return _mm_mul_ps(_mm_mul_ps(x, m_filteredGain), m_k);
    }

    // Steps t .. t + 3, every section with its frame: frames t .. t + 3 in, the stereo pairs
    // of frames t - kLag .. t - kLag + 3 out.
    template <int Width, int Channels>
    [[gnu::always_inline]] void FourSteps(const uint8_t* in, uint32_t t, uint8_t* out) {
        constexpr size_t frameBytes = size_t{Width} * Channels;
        const __m256 fed = _mm256_mul_ps(
            _mm256_mul_ps(Pairs(sse::LoadFourFrames<Width, Channels>(in + t * frameBytes)),
                          m_filteredGain4),
            m_k4);
        const __m256 ya = Step(Element<0>(fed));
        const __m256 yb = Step(Element<1>(fed));
        const __m256 yc = Step(Element<2>(fed));
        const __m256 yd = Step(Element<3>(fed));
        const __m256 acc = Gather<Sections - 1>(ya, yb, yc, yd);
        const uint32_t first = t - kLag;
        const __m256 direct = _mm256_mul_ps(
            Pairs(sse::LoadFourFrames<Width, Channels>(in + first * frameBytes)), m_directGain4);
        __m128* due = m_terms.due;
        __m256 sum;
        if constexpr (M == FilterMode::DelayFiltered) {
            const __m256 delayed =
                _mm256_blend_ps(ShiftUp(acc), _mm256_castps128_ps256(due[0]), 0x03);
            sum = _mm256_add_ps(delayed, direct);
            due[0] = Element<3>(acc);
        } else if constexpr (M == FilterMode::NoDelay) {
            sum = _mm256_add_ps(acc, direct);
        } else {
            const __m256 delayed =
                _mm256_set_m128(_mm256_castps256_ps128(direct), _mm_movelh_ps(due[0], due[1]));
            sum = _mm256_add_ps(acc, delayed);
            due[0] = Element<2>(direct);
            due[1] = Element<3>(direct);
        }
        StoreFourPairs<Width>(sum, out + size_t{first} * 2 * Width);
    }

    __m256 m_a1, m_a2;
    __m256 m_s1, m_s2;  // each section's last two outputs, for its own recursion
    __m256 m_r1, m_r2;  // the register's last two outputs, at the edges
    __m128 m_directGain, m_filteredGain, m_k;
    __m256 m_directGain4, m_filteredGain4, m_k4;  // the gains repeated for four frames
    sse::DueTerms<M> m_terms;
};

template <int Sections, FilterMode M>
struct Avx2Kernel {
    static StereoSample Sample(FilterState& state, float in) {
        return sse::Sample<Sections, M>(state, in);
    }

    template <int Width, int Channels>
    static void Frames(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out) {
        if (sse::RingOutOfStep<M>(state)) {
            sse::FramesOneByOne<Sections, M, Width, Channels>(state, in, count, out);
            return;
        }
        SkewedRegister<Sections, M> skewed(state);
        skewed.template Run<Width, Channels>(in, count, out);
        skewed.Save(state, count);
    }
};

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const FilterKernels* FindAvx2Kernels(int sections, FilterMode mode) {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) {
        return nullptr;
    }
    return KernelShapes<Avx2Kernel>::Find(sections, mode);
}
#else
const FilterKernels* FindAvx2Kernels(int, FilterMode) {
    return nullptr;
}
#endif
