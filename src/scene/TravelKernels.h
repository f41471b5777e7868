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

// The signal at eighths of a frame, for reads shared by many paths: out[8 i + p] is the 16-tap
// interpolator's (DelayInterpolator::Shared()) read at frame i + p / 8 for i in [0, n), where
// x points at frame i - 7 and holds n + 15 frames.
void Eighths(const float* x, size_t n, float* out);

// out[i] = the straight line between the two eighths of a frame either side of positions[i],
// read from up (count floats, its first the eighth at frame origin, a whole number); 0 where
// they would leave it. The same floats come wherever up starts. count < 2^31.
void ReadEighths(const float* up, int64_t count, double origin, const double* positions, size_t n,
                 float* out);

// sum[c * sumStride + i] = the sum over k in order of heard[k * stride + i] times reflection
// k's gain for channel c at frame i, gains[k * channels + c] + steps[k * channels + c] *
// (offset + i), for i < frames: many signals onto channels, each gain in a straight line.
void MixRun(const float* heard, size_t stride, size_t reflections, size_t frames,
            const float* gains, const float* steps, size_t channels, uint32_t offset, float* sum,
            size_t sumStride);

// positions[i] = leaves + (first + i - from) * slope for i < n: the heard frames of one edge's
// slope as a path's timing gives them.
void Line(int64_t first, size_t n, double leaves, double from, double slope, double* positions);

// The lengths of paths from images of one source to a listener. Image k stands, along axis a,
// at shift[a * stride + k] plus the source's own coordinate, or size[a] less it where
// mirrored[a * stride + k] is negative (as ImageSources::PositionOf places it); lengths[k] is
// its distance from listener less shorter, for k < paths.
void PathLengths(const double* shift, const double* mirrored, size_t stride, const double* size,
                 const double* source, const double* listener, double shorter, size_t paths,
                 double* lengths);

// Whether the wide loops run: the processor has AVX and UseWideLanes has not said no.
bool WideLanes();

// Process-wide; false keeps to four lanes on any processor (for tests).
void UseWideLanes(bool bWide);

}  // namespace TravelKernels
