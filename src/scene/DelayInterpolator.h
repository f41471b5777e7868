#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

// Reads a signal between its samples: a Kaiser-windowed sinc, tabulated at kPhases fractions
// of a frame. At a whole frame it is that frame exactly. Shared, read-only once made.
class DelayInterpolator {
  public:
    static constexpr int kPhases = 2048;

    // 16 taps: flat enough that an 8 kHz tone at 48 kHz read at moving positions keeps every
    // other component 90 dB down, and a click keeps its energy within 1 dB (a linear or cubic
    // interpolator loses 2 to 3 dB half way between samples).
    static const DelayInterpolator& Shared();

    int Taps() const { return m_taps; }
    // Taps before and after the frame at or before the position: the position p reads frames
    // floor(p) - Before() .. floor(p) + After().
    int Before() const { return m_taps / 2 - 1; }
    int After() const { return m_taps / 2; }

    // The signal at a position between its frames: taps points at its frame
    // floor(position) - Before(), and Taps() frames from there are read; fraction is the
    // position less its floor (0 <= fraction <= 1).
    float Read(const float* taps, double fraction) const {
        const float* kernel = m_table.data() + static_cast<size_t>(fraction * kPhases + 0.5) *
                                                   static_cast<size_t>(m_taps);
        return Dot<16>(taps, kernel);
    }

    // Read for an interpolator of Taps taps (16: Shared()), without asking.
    template <int Taps>
    float ReadOf(const float* taps, double fraction) const {
        return Dot<Taps>(taps, Row<Taps>(fraction));
    }
    // Four of those at once, each the same number ReadOf gives: the four frames' lanes are
    // summed side by side.
    template <int Taps>
    void ReadFour(const float* const taps[4], const double fractions[4], float* out) const {
#if defined(__SSE__)
        __m128 lanes[4];
        for (int f = 0; f < 4; ++f) {
            const float* kernel = Row<Taps>(fractions[f]);
            __m128 sum = _mm_mul_ps(_mm_loadu_ps(taps[f]), _mm_loadu_ps(kernel));
            for (int n = 4; n < Taps; n += 4) {
                sum = _mm_add_ps(sum,
                                 _mm_mul_ps(_mm_loadu_ps(taps[f] + n), _mm_loadu_ps(kernel + n)));
            }
            lanes[f] = sum;
        }
        _MM_TRANSPOSE4_PS(lanes[0], lanes[1], lanes[2], lanes[3]);
        _mm_storeu_ps(out,
                      _mm_add_ps(_mm_add_ps(lanes[0], lanes[1]), _mm_add_ps(lanes[2], lanes[3])));
#else
        for (int f = 0; f < 4; ++f) {
            out[f] = ReadOf<Taps>(taps[f], fractions[f]);
        }
#endif
    }

    // The most the sum of a kernel's magnitudes reaches: no read passes the signal's peak by
    // more.
    float LargestSum() const {
        return m_largestSum;
    }

    // The kernels, (kPhases + 1) rows of Taps() floats: row (size_t)(fraction * kPhases + 0.5)
    // is the kernel at fraction.
    const float* Table() const {
        return m_table.data();
    }

  private:
    template <int Taps>
    const float* Row(double fraction) const {
        return m_table.data() + static_cast<size_t>(fraction * kPhases + 0.5) * Taps;
    }

    // The sum of taps times kernel over Taps taps, in four lanes added pairwise at the end,
    // the same sums on every processor.
    template <int Taps>
    static float Dot(const float* taps, const float* kernel) {
        float lanes[4] = {taps[0] * kernel[0], taps[1] * kernel[1], taps[2] * kernel[2],
                          taps[3] * kernel[3]};
        for (int n = 4; n < Taps; n += 4) {
            for (int l = 0; l < 4; ++l) {
                lanes[l] += taps[n + l] * kernel[n + l];
            }
        }
        return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    }

    // taps: a multiple of 4.
    DelayInterpolator(int taps, double beta);

    int m_taps;
    std::vector<float> m_table;  // (kPhases + 1) x taps, the kernel at each fraction
    float m_largestSum = 1.0f;
};
