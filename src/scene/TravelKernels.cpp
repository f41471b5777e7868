#include "scene/TravelKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

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

// Eight floats side by side; each lane does what the scalar code below does for one frame, so
// the sums are the same whether the compiler makes one AVX or two SSE operations of it.
using Eight = float __attribute__((vector_size(32)));

// By reference: a vector passed by value would change the calling convention with AVX.
[[gnu::always_inline]] inline void LoadEight(Eight& v, const float* at) {
    std::memcpy(&v, at, sizeof v);
}

[[gnu::always_inline]] inline void StoreEight(float* at, const Eight& v) {
    std::memcpy(at, &v, sizeof v);
}

// The interpolator's kernels at the eight eighths, tap by tap: columns[8 t + p] is tap t at
// fraction p / 8.
template <int Taps>
struct EighthColumns {
    alignas(32) float columns[Taps * 8];
    explicit EighthColumns(const DelayInterpolator& interpolator) {
        for (int p = 0; p < 8; ++p) {
            const float* row = interpolator.Table() +
                               static_cast<size_t>(p * (DelayInterpolator::kPhases / 8)) * Taps;
            for (int t = 0; t < Taps; ++t) {
                columns[8 * t + p] = row[t];
            }
        }
    }
};

template <int Taps>
[[gnu::always_inline]] inline void EighthsBody(const EighthColumns<Taps>& k, const float* x,
                                               size_t n, float* out) {
    size_t i = 0;
    // Four frames side by side: each frame's sum is a chain of adds in tap order, and four
    // chains keep the adder busy while each waits on its last add.
    for (; i + 4 <= n; i += 4) {
        const float* at = x + i;
        Eight column;
        LoadEight(column, k.columns);
        Eight sum0 = column * at[0], sum1 = column * at[1], sum2 = column * at[2],
              sum3 = column * at[3];
#pragma GCC unroll 16
        for (int t = 1; t < Taps; ++t) {
            LoadEight(column, k.columns + 8 * t);
            sum0 += column * at[t];
            sum1 += column * at[t + 1];
            sum2 += column * at[t + 2];
            sum3 += column * at[t + 3];
        }
        StoreEight(out + 8 * i, sum0);
        StoreEight(out + 8 * (i + 1), sum1);
        StoreEight(out + 8 * (i + 2), sum2);
        StoreEight(out + 8 * (i + 3), sum3);
    }
    for (; i < n; ++i) {
        const float* at = x + i;
        Eight column;
        LoadEight(column, k.columns);
        Eight sum = column * at[0];
        for (int t = 1; t < Taps; ++t) {
            LoadEight(column, k.columns + 8 * t);
            sum += column * at[t];
        }
        StoreEight(out + 8 * i, sum);
    }
}

// The eighth and its fraction come from the position alone (eight times it is exact), the
// place in up from whole numbers: the same floats wherever up starts.
float ReadEighthOne(const float* up, int64_t count, double origin, double position) {
    const double u = position * 8.0;
    const double whole = std::floor(u);
    const double at = whole - origin * 8.0;
    if (!(at >= 0.0 && at <= static_cast<double>(count - 2))) {
        return 0.0f;
    }
    const auto j = static_cast<int64_t>(at);
    const auto fraction = static_cast<float>(u - whole);
    return up[j] + fraction * (up[j + 1] - up[j]);
}

// Channels [c0, c0 + Group) of MixRun.
template <size_t Group>
[[gnu::always_inline]] inline void MixGroup(const float* heard, size_t stride, size_t reflections,
                                            size_t frames, const float* gains, const float* steps,
                                            size_t channels, size_t c0, uint32_t offset, float* sum,
                                            size_t sumStride) {
    size_t i = 0;
    // Sixteen frames at a time: each reflection's gains are loaded once for both halves.
    for (; i + 16 <= frames; i += 16) {
        const Eight ramp = Eight{0, 1, 2, 3, 4, 5, 6, 7} + static_cast<float>(offset + i);
        const Eight ramp2 = Eight{0, 1, 2, 3, 4, 5, 6, 7} + static_cast<float>(offset + i + 8);
        Eight acc[Group] = {};
        Eight acc2[Group] = {};
        for (size_t k = 0; k < reflections; ++k) {
            Eight y, y2;
            LoadEight(y, heard + k * stride + i);
            LoadEight(y2, heard + k * stride + i + 8);
            const float* g = gains + k * channels + c0;
            const float* s = steps + k * channels + c0;
#pragma GCC unroll 4
            for (size_t c = 0; c < Group; ++c) {
                acc[c] += y * (g[c] + s[c] * ramp);
                acc2[c] += y2 * (g[c] + s[c] * ramp2);
            }
        }
#pragma GCC unroll 4
        for (size_t c = 0; c < Group; ++c) {
            StoreEight(sum + (c0 + c) * sumStride + i, acc[c]);
            StoreEight(sum + (c0 + c) * sumStride + i + 8, acc2[c]);
        }
    }
    for (; i + 8 <= frames; i += 8) {
        const auto base = static_cast<float>(offset + i);
        const Eight ramp = Eight{0, 1, 2, 3, 4, 5, 6, 7} + base;
        // Unrolled, so the sums stay in registers: -O2 kept them in memory, each reflection's
        // adds waiting on the last one's stores.
        Eight acc[Group] = {};
        for (size_t k = 0; k < reflections; ++k) {
            Eight y;
            LoadEight(y, heard + k * stride + i);
            const float* g = gains + k * channels + c0;
            const float* s = steps + k * channels + c0;
#pragma GCC unroll 4
            for (size_t c = 0; c < Group; ++c) {
                acc[c] += y * (g[c] + s[c] * ramp);
            }
        }
#pragma GCC unroll 4
        for (size_t c = 0; c < Group; ++c) {
            StoreEight(sum + (c0 + c) * sumStride + i, acc[c]);
        }
    }
    for (; i < frames; ++i) {
        const auto ramp = static_cast<float>(offset + i);
        float acc[Group] = {};
        for (size_t k = 0; k < reflections; ++k) {
            const float y = heard[k * stride + i];
            const float* g = gains + k * channels + c0;
            const float* s = steps + k * channels + c0;
            for (size_t c = 0; c < Group; ++c) {
                acc[c] += y * (g[c] + s[c] * ramp);
            }
        }
        for (size_t c = 0; c < Group; ++c) {
            sum[(c0 + c) * sumStride + i] = acc[c];
        }
    }
}

[[gnu::always_inline]] inline void MixBody(const float* heard, size_t stride, size_t reflections,
                                           size_t frames, const float* gains, const float* steps,
                                           size_t channels, uint32_t offset, float* sum,
                                           size_t sumStride) {
    for (size_t c0 = 0; c0 < channels; c0 += 4) {
        switch (std::min<size_t>(channels - c0, 4)) {
            case 4:
                MixGroup<4>(heard, stride, reflections, frames, gains, steps, channels, c0, offset,
                            sum, sumStride);
                break;
            case 3:
                MixGroup<3>(heard, stride, reflections, frames, gains, steps, channels, c0, offset,
                            sum, sumStride);
                break;
            case 2:
                MixGroup<2>(heard, stride, reflections, frames, gains, steps, channels, c0, offset,
                            sum, sumStride);
                break;
            default:
                MixGroup<1>(heard, stride, reflections, frames, gains, steps, channels, c0, offset,
                            sum, sumStride);
                break;
        }
    }
}

// Four frames side by side, each lane the arithmetic of one frame alone (whole frames are exact
// in doubles).
[[gnu::always_inline]] inline void LineBody(int64_t first, size_t n, double leaves, double from,
                                            double slope, double* positions) {
    using Four = double __attribute__((vector_size(32)));
    // Whole numbers, exact as doubles: counted on rather than converted frame by frame, in two
    // counts side by side, so that no add waits on the last one's.
    Four t = static_cast<double>(first) + Four{0.0, 1.0, 2.0, 3.0};
    Four t2 = t + 4.0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8, t += 8.0, t2 += 8.0) {
        const Four position = leaves + (t - from) * slope;
        const Four position2 = leaves + (t2 - from) * slope;
        std::memcpy(positions + i, &position, sizeof position);
        std::memcpy(positions + i + 4, &position2, sizeof position2);
    }
    if (i + 4 <= n) {
        const Four position = leaves + (t - from) * slope;
        std::memcpy(positions + i, &position, sizeof position);
        i += 4;
    }
    for (; i < n; ++i) {
        positions[i] =
            leaves + (static_cast<double>(first + static_cast<int64_t>(i)) - from) * slope;
    }
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

[[gnu::target("avx")]] void EighthsWide(const EighthColumns<16>& k, const float* x, size_t n,
                                        float* out) {
    EighthsBody<16>(k, x, n, out);
}

[[gnu::target("avx")]] void MixWide(const float* heard, size_t stride, size_t reflections,
                                    size_t frames, const float* gains, const float* steps,
                                    size_t channels, uint32_t offset, float* sum,
                                    size_t sumStride) {
    MixBody(heard, stride, reflections, frames, gains, steps, channels, offset, sum, sumStride);
}

[[gnu::target("avx")]] void LineWide(int64_t first, size_t n, double leaves, double from,
                                     double slope, double* positions) {
    LineBody(first, n, leaves, from, slope, positions);
}

// Four paths at a time, each one's arithmetic as PathLengthOne's; the paths measured.
[[gnu::target("avx")]] size_t PathLengthsFour(const double* shift, const double* mirrored,
                                              size_t stride, const double* size,
                                              const double* source, const double* listener,
                                              double shorter, size_t paths, double* lengths) {
    size_t k = 0;
    for (; k + 4 <= paths; k += 4) {
        __m256d sum = _mm256_setzero_pd();
        for (size_t a = 0; a < 3; ++a) {
            const __m256d own = _mm256_set1_pd(source[a]);
            const __m256d turned = _mm256_sub_pd(_mm256_set1_pd(size[a]), own);
            const __m256d at = _mm256_add_pd(
                _mm256_loadu_pd(shift + a * stride + k),
                _mm256_blendv_pd(own, turned, _mm256_loadu_pd(mirrored + a * stride + k)));
            const __m256d d = _mm256_sub_pd(at, _mm256_set1_pd(listener[a]));
            sum = a == 0 ? _mm256_mul_pd(d, d) : _mm256_add_pd(sum, _mm256_mul_pd(d, d));
        }
        _mm256_storeu_pd(lengths + k, _mm256_sub_pd(_mm256_sqrt_pd(sum), _mm256_set1_pd(shorter)));
    }
    return k;
}

// Four reads of ReadEighthsWide, known to lie inside up.
[[gnu::target("avx"), gnu::always_inline]] inline void ReadFourInside(
    const float* up, const __m256d& u, const __m256d& whole, const __m256d& first, float* out) {
    const __m128 fraction = _mm256_cvtpd_ps(_mm256_sub_pd(u, whole));
    // Not negative: unsigned, so no instruction widens them for the address.
    alignas(16) uint32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm256_cvttpd_epi32(first));
    // Each read's two eighths side by side: (a0 b0 a1 b1) and (a2 b2 a3 b3).
    __m128 lo = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(up + at[0])));
    lo = _mm_loadh_pi(lo, reinterpret_cast<const __m64*>(up + at[1]));
    __m128 hi = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(up + at[2])));
    hi = _mm_loadh_pi(hi, reinterpret_cast<const __m64*>(up + at[3]));
    const __m128 a = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 b = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(out, _mm_add_ps(a, _mm_mul_ps(fraction, _mm_sub_ps(b, a))));
}

// Eight reads at a time, each frame's arithmetic as ReadEighthOne's; the frames read. One test
// of the eight places' least and most: a tenth faster than a test of each four.
[[gnu::target("avx")]] size_t ReadEighthsWide(const float* up, int64_t count, double origin,
                                              const double* p, size_t n, float* out) {
    const __m256d o = _mm256_set1_pd(origin * 8.0);
    const __m256d eight = _mm256_set1_pd(8.0);
    const __m256d lowest = _mm256_setzero_pd();
    const __m256d highest = _mm256_set1_pd(static_cast<double>(count - 2));
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256d u0 = _mm256_mul_pd(_mm256_loadu_pd(p + i), eight);
        const __m256d u1 = _mm256_mul_pd(_mm256_loadu_pd(p + i + 4), eight);
        const __m256d whole0 = _mm256_floor_pd(u0);
        const __m256d whole1 = _mm256_floor_pd(u1);
        const __m256d first0 = _mm256_sub_pd(whole0, o);
        const __m256d first1 = _mm256_sub_pd(whole1, o);
        const __m256d inside =
            _mm256_and_pd(_mm256_cmp_pd(_mm256_min_pd(first0, first1), lowest, _CMP_GE_OQ),
                          _mm256_cmp_pd(_mm256_max_pd(first0, first1), highest, _CMP_LE_OQ));
        if (_mm256_movemask_pd(inside) != 0xF) {
            for (size_t f = 0; f < 8; ++f) {
                out[i + f] = ReadEighthOne(up, count, origin, p[i + f]);
            }
            continue;
        }
        ReadFourInside(up, u0, whole0, first0, out + i);
        ReadFourInside(up, u1, whole1, first1, out + i + 4);
    }
    return i;
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
    ReadRunOf<16>(interpolator, signal, frames, origin, shift, positions, stride, n, out);
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

void Eighths(const float* x, size_t n, float* out) {
    static const EighthColumns<16> s_columns(DelayInterpolator::Shared());
    const EighthColumns<16>& columns = s_columns;
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        EighthsWide(columns, x, n, out);
        return;
    }
#endif
    EighthsBody<16>(columns, x, n, out);
}

void ReadEighths(const float* up, int64_t count, double origin, const double* positions, size_t n,
                 float* out) {
    size_t i = 0;
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        i = ReadEighthsWide(up, count, origin, positions, n, out);
    }
#endif
    for (; i < n; ++i) {
        out[i] = ReadEighthOne(up, count, origin, positions[i]);
    }
}

void MixRun(const float* heard, size_t stride, size_t reflections, size_t frames,
            const float* gains, const float* steps, size_t channels, uint32_t offset, float* sum,
            size_t sumStride) {
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        MixWide(heard, stride, reflections, frames, gains, steps, channels, offset, sum, sumStride);
        return;
    }
#endif
    MixBody(heard, stride, reflections, frames, gains, steps, channels, offset, sum, sumStride);
}

void Line(int64_t first, size_t n, double leaves, double from, double slope, double* positions) {
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        LineWide(first, n, leaves, from, slope, positions);
        return;
    }
#endif
    LineBody(first, n, leaves, from, slope, positions);
}

void PathLengths(const double* shift, const double* mirrored, size_t stride, const double* size,
                 const double* source, const double* listener, double shorter, size_t paths,
                 double* lengths) {
    size_t k = 0;
#if SONOMAP_TRAVEL_AVX
    if (Wide()) {
        k = PathLengthsFour(shift, mirrored, stride, size, source, listener, shorter, paths,
                            lengths);
    }
#endif
    for (; k < paths; ++k) {
        double sum = 0.0;
        for (size_t a = 0; a < 3; ++a) {
            const double own = mirrored[a * stride + k] < 0.0 ? size[a] - source[a] : source[a];
            const double d = (shift[a * stride + k] + own) - listener[a];
            sum = a == 0 ? d * d : sum + d * d;
        }
        lengths[k] = std::sqrt(sum) - shorter;
    }
}

bool WideLanes() {
    return Wide();
}

void UseWideLanes(bool bWide) {
    s_bWide.store(bWide, std::memory_order_relaxed);
}

}  // namespace TravelKernels
