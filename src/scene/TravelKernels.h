#pragma once

#include <cstddef>
#include <cstdint>

class DelayInterpolator;

// The propagation stage's innermost loops: the reads between samples and the air's filter,
// eight frames to a register where the processor has AVX, four otherwise. Every frame's value
// comes from the same float operations in the same order either way, so the samples do not
// depend on the processor.
namespace TravelKernels {

// out[i] = the interpolator's read at from = positions[i * stride] - origin (stride in doubles)
// of the Taps() frames of signal from floor(from) + shift on, at the fraction from -
// floor(from); 0 where those frames would leave signal[0, frames). frames < 2^31.
void ReadRun(const DelayInterpolator& interpolator, const float* signal, int64_t frames,
             double origin, int64_t shift, const double* positions, size_t stride, size_t n,
             float* out);

// sum[j] = centre * x[j], then sum[j] += k[m - 1] * (x[j - m] + x[j + m]) for m = 1 .. half:
// a symmetric filter run tap by tap over n frames, each frame's taps added in the same order
// whatever n is.
void FilterSymmetric(const float* x, size_t n, float centre, const float* k, size_t half,
                     float* sum);

// Process-wide; false keeps to four lanes on any processor (for tests).
void UseWideLanes(bool bWide);

}  // namespace TravelKernels
