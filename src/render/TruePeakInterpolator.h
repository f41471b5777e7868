#pragma once

#include <cstddef>

// The true peak's 4x interpolation (ITU-R BS.1770-4): a Hann-windowed sinc of 49 taps as four
// phases of kTaps, which passes the band up to 0.9 of the source's Nyquist rate flat and rolls
// off above, as libebur128's does, so both tell the same peak. With AVX2 and FMA (bWide) each
// product is rounded into its sum at once, so a peak may differ from another processor's in
// the seventh digit.
namespace TruePeakInterpolator {

constexpr int kTaps = 13;

// The largest magnitude of phases 1 to 3 at each of n frames of one channel's samples, which
// hold kTaps - 1 samples of history before them. Phase 0 is the sample itself (its other
// taps are sin(k pi)'s rounding, under 1e-16), which the sample peak counts; the oldest tap
// of the others is 0. bWide only where the processor has AVX2 and FMA.
float LargestOfPhases123(const float* samples, size_t n, bool bWide);

// The most any phase can give for inputs within +-1: a stretch whose sample peak times this
// cannot pass the true peak found so far need not be interpolated.
float LargestGain();

}  // namespace TruePeakInterpolator
