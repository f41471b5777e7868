#pragma once

#include <cstddef>
#include <cstdint>

// The convolver's loops over spectra and blocks, four floats a step, or eight where the
// processor has AVX. Every lane is an ordinary float operation, taken in the same order either
// way, so the wide loops give the same samples, only sooner. Arrays are of
// HrtfFilterBank::kPaddedBins real parts then as many imaginary parts, or of a block.
struct SpectrumKernels {
    // sum = the sum over the partitions, in order, of x[p] * h[p], bin by bin.
    void (*multiplyAdd)(const float* const* x, const float* const* h, uint32_t partitions,
                        float* sum);
    // out = the sum of scale[i] * spectra[i] over count (1 to 3) arrays of floats values (a
    // multiple of eight).
    void (*blend)(const float* const* spectra, const float* scale, int count, size_t floats,
                  float* out);
    // old moves to next in a straight line across a block, reaching it at the last frame.
    void (*crossFade)(float* old, const float* next);

    // The kernels to use: the widest the processor runs, unless UseWideLanes(false).
    static const SpectrumKernels& Find();
    // Process-wide; false keeps every new convolver to four lanes (for tests).
    static void UseWideLanes(bool bWide);
};
