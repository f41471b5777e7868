#include "scene/TravelKernels.h"

#include <atomic>
#include <cmath>

#include "scene/DelayInterpolator.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SONOMAP_TRAVEL_AVX 1
#endif

namespace {

std::atomic<bool> s_bWide{true};

template <int Taps>
float ReadOne(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
              double origin, int64_t shift, double position) {
    const double from = position - origin;
    const double whole = std::floor(from);
    const double at = whole + static_cast<double>(shift);
    if (!(at >= 0.0 && at <= static_cast<double>(frames - Taps))) {
        return 0.0f;
    }
    return interpolator.ReadOf<Taps>(signal + static_cast<int64_t>(at), from - whole);
}

// Four frames through the interpolator's four-lane read; false when one would leave the
// signal.
template <int Taps>
bool ReadFour(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
              double origin, int64_t shift, const double* p, size_t stride, float* out) {
    const float* taps[4];
    double fractions[4];
    for (size_t f = 0; f < 4; ++f) {
        const double from = p[f * stride] - origin;
        const double whole = std::floor(from);
        const double at = whole + static_cast<double>(shift);
        if (!(at >= 0.0 && at <= static_cast<double>(frames - Taps))) {
            return false;
        }
        taps[f] = signal + static_cast<int64_t>(at);
        fractions[f] = from - whole;
    }
    interpolator.ReadFour<Taps>(taps, fractions, out);
    return true;
}

#if SONOMAP_TRAVEL_AVX
bool HasAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}

// Two frames' four lanes side by side: lo's in the low half, hi's in the high.
[[gnu::target("avx"), gnu::always_inline]] inline __m256 Pair(const float* lo, const float* hi) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(lo)), _mm_loadu_ps(hi), 1);
}

// Eight frames at once, frames f and f + 4 in one register: each lane sums the taps four apart
// in order, and the lanes are added pairwise after a transpose, as the four-lane read does.
template <int Taps, bool Dense>
[[gnu::target("avx"), gnu::always_inline]] inline bool ReadEight(const float* table,
                                                                 const float* signal,
                                                                 int64_t frames, double origin,
                                                                 int64_t shift, const double* p,
                                                                 size_t stride, float* out) {
    const __m256d o = _mm256_set1_pd(origin);
    const __m256d s = _mm256_set1_pd(static_cast<double>(shift));
    __m256d from[2];
    if constexpr (Dense) {
        from[0] = _mm256_sub_pd(_mm256_loadu_pd(p), o);
        from[1] = _mm256_sub_pd(_mm256_loadu_pd(p + 4), o);
    } else {
        from[0] = _mm256_sub_pd(_mm256_set_pd(p[3 * stride], p[2 * stride], p[stride], p[0]), o);
        from[1] = _mm256_sub_pd(
            _mm256_set_pd(p[7 * stride], p[6 * stride], p[5 * stride], p[4 * stride]), o);
    }
    const __m256d lowest = _mm256_setzero_pd();
    const __m256d highest = _mm256_set1_pd(static_cast<double>(frames - Taps));
    alignas(16) int32_t at[8];
    alignas(16) int32_t row[8];
    for (int h = 0; h < 2; ++h) {
        const __m256d whole = _mm256_floor_pd(from[h]);
        const __m256d first = _mm256_add_pd(whole, s);
        const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(first, lowest, _CMP_GE_OQ),
                                             _mm256_cmp_pd(first, highest, _CMP_LE_OQ));
        if (_mm256_movemask_pd(inside) != 0xF) {
            return false;
        }
        const __m256d phase = _mm256_add_pd(
            _mm256_mul_pd(_mm256_sub_pd(from[h], whole),
                          _mm256_set1_pd(static_cast<double>(DelayInterpolator::kPhases))),
            _mm256_set1_pd(0.5));
        _mm_store_si128(reinterpret_cast<__m128i*>(at + 4 * h), _mm256_cvttpd_epi32(first));
        _mm_store_si128(reinterpret_cast<__m128i*>(row + 4 * h), _mm256_cvttpd_epi32(phase));
    }
    __m256 lanes[4];
#pragma GCC unroll 4
    for (int f = 0; f < 4; ++f) {
        const float* a = signal + at[f];
        const float* b = signal + at[f + 4];
        const float* ka = table + static_cast<size_t>(row[f]) * Taps;
        const float* kb = table + static_cast<size_t>(row[f + 4]) * Taps;
        __m256 sum = _mm256_mul_ps(Pair(a, b), Pair(ka, kb));
#pragma GCC unroll 4
        for (int n = 4; n < Taps; n += 4) {
            sum = _mm256_add_ps(sum, _mm256_mul_ps(Pair(a + n, b + n), Pair(ka + n, kb + n)));
        }
        lanes[f] = sum;
    }
    // Within each half: lane l of frames 0..3 (or 4..7) into one register per l.
    const __m256 t0 = _mm256_unpacklo_ps(lanes[0], lanes[1]);
    const __m256 t1 = _mm256_unpacklo_ps(lanes[2], lanes[3]);
    const __m256 t2 = _mm256_unpackhi_ps(lanes[0], lanes[1]);
    const __m256 t3 = _mm256_unpackhi_ps(lanes[2], lanes[3]);
    const __m256 l0 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 l1 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 l2 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 l3 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
    _mm256_storeu_ps(out, _mm256_add_ps(_mm256_add_ps(l0, l1), _mm256_add_ps(l2, l3)));
    return true;
}

// The groups of eight of a run, as far as they go; the frames read.
template <int Taps, bool Dense>
[[gnu::target("avx")]] size_t ReadRunEightOf(const DelayInterpolator& interpolator,
                                             const float* signal, int64_t frames, double origin,
                                             int64_t shift, const double* p, size_t stride,
                                             size_t n, float* out) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        if (!ReadEight<Taps, Dense>(interpolator.Table(), signal, frames, origin, shift,
                                    p + i * stride, stride, out + i)) {
            for (size_t f = 0; f < 8; ++f) {
                out[i + f] =
                    ReadOne<Taps>(interpolator, signal, frames, origin, shift, p[(i + f) * stride]);
            }
        }
    }
    return i;
}

template <int Taps>
size_t ReadRunEight(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
                    double origin, int64_t shift, const double* p, size_t stride, size_t n,
                    float* out) {
    return stride == 1 ? ReadRunEightOf<Taps, true>(interpolator, signal, frames, origin, shift, p,
                                                    stride, n, out)
                       : ReadRunEightOf<Taps, false>(interpolator, signal, frames, origin, shift, p,
                                                     stride, n, out);
}

template <size_t Half>
[[gnu::target("avx")]] size_t FilterEight(const float* x, size_t n, float centre, const float* k,
                                          float* sum) {
    const __m256 middle = _mm256_set1_ps(centre);
    __m256 taps[Half];
    for (size_t m = 0; m < Half; ++m) {
        taps[m] = _mm256_set1_ps(k[m]);
    }
    size_t j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256 acc = _mm256_mul_ps(middle, _mm256_loadu_ps(x + j));
#pragma GCC unroll 16
        for (size_t m = 1; m <= Half; ++m) {
            const __m256 pair =
                _mm256_add_ps(_mm256_loadu_ps(x + j - m), _mm256_loadu_ps(x + j + m));
            acc = _mm256_add_ps(acc, _mm256_mul_ps(taps[m - 1], pair));
        }
        _mm256_storeu_ps(sum + j, acc);
    }
    return j;
}
#endif

bool Wide() {
#if SONOMAP_TRAVEL_AVX
    static const bool bAvx = HasAvx();
    return bAvx && s_bWide.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

template <int Taps>
void ReadRunOf(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
               double origin, int64_t shift, const double* p, size_t stride, size_t n, float* out) {
    size_t i = 0;
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        i = ReadRunEight<Taps>(interpolator, signal, frames, origin, shift, p, stride, n, out);
    }
#endif
    for (; i + 4 <= n; i += 4) {
        if (!ReadFour<Taps>(interpolator, signal, frames, origin, shift, p + i * stride, stride,
                            out + i)) {
            for (size_t f = 0; f < 4; ++f) {
                out[i + f] =
                    ReadOne<Taps>(interpolator, signal, frames, origin, shift, p[(i + f) * stride]);
            }
        }
    }
    for (; i < n; ++i) {
        out[i] = ReadOne<Taps>(interpolator, signal, frames, origin, shift, p[i * stride]);
    }
}

}  // namespace

namespace TravelKernels {

void ReadRun(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
             double origin, int64_t shift, const double* positions, size_t stride, size_t n,
             float* out) {
    if (interpolator.Taps() == 8) {
        ReadRunOf<8>(interpolator, signal, frames, origin, shift, positions, stride, n, out);
    } else {
        ReadRunOf<16>(interpolator, signal, frames, origin, shift, positions, stride, n, out);
    }
}

void FilterSymmetric(const float* x, size_t n, float centre, const float* k, size_t half,
                     float* __restrict sum) {
    size_t j = 0;
#if SONOMAP_TRAVEL_AVX
    if (half == 12 && Wide()) {
        j = FilterEight<12>(x, n, centre, k, sum);
    }
#endif
#if defined(__SSE__)
    const __m128 middle = _mm_set1_ps(centre);
    for (; j + 4 <= n; j += 4) {
        __m128 acc = _mm_mul_ps(middle, _mm_loadu_ps(x + j));
        for (size_t m = 1; m <= half; ++m) {
            const __m128 pair = _mm_add_ps(_mm_loadu_ps(x + j - m), _mm_loadu_ps(x + j + m));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(k[m - 1]), pair));
        }
        _mm_storeu_ps(sum + j, acc);
    }
#endif
    for (; j < n; ++j) {
        const float* at = x + j;  // j - m would wrap below 0: step back from the frame instead
        float acc = centre * at[0];
        for (size_t m = 1; m <= half; ++m) {
            acc += k[m - 1] * (*(at - m) + at[m]);
        }
        sum[j] = acc;
    }
}

void UseWideLanes(bool bWide) {
    s_bWide.store(bWide, std::memory_order_relaxed);
}

}  // namespace TravelKernels
