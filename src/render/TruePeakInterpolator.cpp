#include "render/TruePeakInterpolator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

using TruePeakInterpolator::kTaps;

namespace {

// The 49 taps as 4 phases of 13, oldest sample first (the last tap of phases 1 to 3 is 0).
constexpr int kPhases = 4;
using Interpolator = std::array<std::array<float, kTaps>, kPhases>;

Interpolator MakeInterpolator() {
    constexpr int kLength = 49;
    Interpolator phases{};
    for (int j = 0; j < kLength; ++j) {
        const double m = j - (kLength - 1) / 2.0;
        const double x = m * std::numbers::pi / kPhases;
        const double sinc = m == 0 ? 1.0 : std::sin(x) / x;
        const double window = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * j / (kLength - 1)));
        // Reversed within each phase, so tap k meets the k-th oldest sample of the window.
        phases[j % kPhases][kTaps - 1 - j / kPhases] = static_cast<float>(sinc * window);
    }
    return phases;
}

const Interpolator kInterpolator = MakeInterpolator();

float TapSumOfLargestPhase() {
    float largest = 0;
    for (const auto& phase : kInterpolator) {
        float sum = 0;
        for (const float tap : phase) {
            sum += std::fabs(tap);
        }
        largest = std::max(largest, sum);
    }
    return largest;
}

#if defined(__x86_64__)
// Phase 2 is symmetric and phase 3 is phase 1 reversed, so over the pairs of samples k and
// kTaps - k of a window, with s their sum and d their difference: phase 2 is the sum of
// middle x s, phases 1 and 3 are E + O and E - O, E the sum of even x s and O of odd x d.
// Half the products of the direct sums, eight outputs to a register.
constexpr int kPairs = (kTaps - 1) / 2;
struct Folded {
    alignas(32) float even[kPairs][8];
    alignas(32) float odd[kPairs][8];
    alignas(32) float middle[kPairs][8];
};

Folded MakeFolded() {
    Folded folded{};
    for (int i = 0; i < kPairs; ++i) {
        const double low = kInterpolator[1][i + 1];
        const double high = kInterpolator[1][kTaps - 1 - i];
        for (float& lane : folded.even[i]) {
            lane = static_cast<float>(0.5 * (low + high));
        }
        for (float& lane : folded.odd[i]) {
            lane = static_cast<float>(0.5 * (low - high));
        }
        for (float& lane : folded.middle[i]) {
            lane = kInterpolator[2][i + 1];
        }
    }
    return folded;
}

const Folded kFolded = MakeFolded();

// One pair of taps into eight outputs of each phase's sums.
__attribute__((target("avx2,fma"), always_inline)) inline void AddPair(const float* low,
                                                                       const float* high,
                                                                       __m256 even, __m256 odd,
                                                                       __m256 middle, __m256& e,
                                                                       __m256& o, __m256& m) {
    const __m256 a = _mm256_loadu_ps(low);
    const __m256 c = _mm256_loadu_ps(high);
    const __m256 sum = _mm256_add_ps(a, c);
    e = _mm256_fmadd_ps(even, sum, e);
    m = _mm256_fmadd_ps(middle, sum, m);
    o = _mm256_fmadd_ps(odd, _mm256_sub_ps(a, c), o);
}

__attribute__((target("avx2,fma"), always_inline)) inline __m256 LargestOfPhases(__m256 e, __m256 o,
                                                                                 __m256 m,
                                                                                 __m256 magnitude) {
    const __m256 first = _mm256_and_ps(_mm256_add_ps(e, o), magnitude);
    const __m256 third = _mm256_and_ps(_mm256_sub_ps(e, o), magnitude);
    return _mm256_max_ps(_mm256_max_ps(first, third), _mm256_and_ps(m, magnitude));
}

// 24 outputs of every phase at once, nine chains of fused multiply-adds in flight.
__attribute__((target("avx2,fma"))) float InterpolateWide(const float* samples, size_t n,
                                                          size_t& done) {
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    __m256 largest = _mm256_setzero_ps();
    // The last 24 overlap the ones before where n is not a multiple: outputs seen twice
    // change no largest.
    for (size_t from = 0; n >= 24 && from < n; from += 24) {
        const size_t f = std::min(from, n - 24);
        __m256 e0 = _mm256_setzero_ps(), e1 = e0, e2 = e0;
        __m256 o0 = e0, o1 = e0, o2 = e0;
        __m256 m0 = e0, m1 = e0, m2 = e0;
        for (int i = 0; i < kPairs; ++i) {
            const __m256 even = _mm256_load_ps(kFolded.even[i]);
            const __m256 odd = _mm256_load_ps(kFolded.odd[i]);
            const __m256 middle = _mm256_load_ps(kFolded.middle[i]);
            const float* low = samples + f + i + 1;
            const float* high = samples + f + kTaps - 1 - i;
            AddPair(low, high, even, odd, middle, e0, o0, m0);
            AddPair(low + 8, high + 8, even, odd, middle, e1, o1, m1);
            AddPair(low + 16, high + 16, even, odd, middle, e2, o2, m2);
        }
        largest = _mm256_max_ps(largest, LargestOfPhases(e0, o0, m0, magnitude));
        largest = _mm256_max_ps(largest, LargestOfPhases(e1, o1, m1, magnitude));
        largest = _mm256_max_ps(largest, LargestOfPhases(e2, o2, m2, magnitude));
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, largest);
    done = n >= 24 ? n : 0;
    return *std::max_element(lanes, lanes + 8);
}
#endif

}  // namespace

float TruePeakInterpolator::LargestOfPhases123(const float* samples, size_t n, bool bWide) {
    float found = 0;
    size_t f = 0;
#if defined(__x86_64__)
    if (bWide) {
        found = InterpolateWide(samples, n, f);
    }
#endif
#if defined(__SSE2__)
    // Eight outputs of every phase at once: 32 sums in 8 registers, independent of each
    // other, so the additions overlap rather than wait on one another.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 largest = _mm_setzero_ps();
    for (; f + 8 <= n; f += 8) {
        __m128 low[kPhases], high[kPhases];
        for (int p = 1; p < kPhases; ++p) {
            low[p] = _mm_setzero_ps();
            high[p] = _mm_setzero_ps();
        }
        for (int k = 1; k < kTaps; ++k) {
            const __m128 a = _mm_loadu_ps(samples + f + k);
            const __m128 b = _mm_loadu_ps(samples + f + 4 + k);
            for (int p = 1; p < kPhases; ++p) {
                const __m128 tap = _mm_set1_ps(kInterpolator[p][k]);
                low[p] = _mm_add_ps(low[p], _mm_mul_ps(tap, a));
                high[p] = _mm_add_ps(high[p], _mm_mul_ps(tap, b));
            }
        }
        for (int p = 1; p < kPhases; ++p) {
            largest = _mm_max_ps(largest, _mm_and_ps(low[p], magnitude));
            largest = _mm_max_ps(largest, _mm_and_ps(high[p], magnitude));
        }
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, largest);
    found = std::max({found, lanes[0], lanes[1], lanes[2], lanes[3]});
#endif
    for (; f < n; ++f) {
        for (int p = 1; p < kPhases; ++p) {
            float sum = 0;
            for (int k = 1; k < kTaps; ++k) {
                sum += kInterpolator[p][k] * samples[f + k];
            }
            found = std::max(found, std::fabs(sum));
        }
    }
    return found;
}

float TruePeakInterpolator::LargestGain() {
    static const float gain = TapSumOfLargestPhase();
    return gain;
}
