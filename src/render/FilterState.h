#pragma once

#include <cstdint>

// What the spatial filter's kernels share: the engine's state, laid out for four-lane
// registers, and the kernel entry points a band's shape selects. The SpatialFilter owns the
// state; a kernel only works on the one it is handed.

// Which terms the band's delay ring holds back: the filtered ones by a sample, none, or the
// direct ones by two samples.
enum class FilterMode : uint8_t { DelayFiltered, NoDelay, DelayDirect };

// Entries the ring's write index runs ahead of its read index after a successful SelectRate.
constexpr unsigned RingDelay(FilterMode mode) {
    return mode == FilterMode::DelayDirect ? 2u : mode == FilterMode::DelayFiltered ? 1u : 0u;
}

// Lane 0 is the left filter, lane 1 the right one; lanes 2 and 3 stay 0. Gains and samples
// are in 16-bit scale; a1 and a2 are per section, section 1 first.
struct FilterState {
    alignas(16) float directGain[4] = {};
    alignas(16) float filteredGain[4] = {};
    alignas(16) float k[4] = {};
    alignas(16) float a1[4][4] = {};
    alignas(16) float a2[4][4] = {};
    alignas(16) float s1[4][4] = {};  // each section's previous output
    alignas(16) float s2[4][4] = {};  // and the one before
    alignas(16) float ring[8][4] = {};
    unsigned write = 0;  // ring indexes, 0..7
    unsigned read = 0;
};

struct StereoSample {
    float left;
    float right;
};

// One input sample in, the stereo pair out.
using SampleKernel = StereoSample (*)(FilterState& state, float in);
// count stored frames in (the sample width and channel count are the kernel's own), count
// stored stereo pairs of that width out; the same bytes as SampleKernel one frame at a time.
using FramesKernel = void (*)(FilterState& state, const uint8_t* in, uint32_t count, uint8_t* out);

// The kernels' pseudo sample width of their working form: floats in 16-bit scale, stored as
// they are, never clipped.
constexpr int kFloatWidth = 4;

// The entry points for one band shape (section count and mode).
struct FilterKernels {
    SampleKernel sample;
    FramesKernel frames[2][2];  // by sample width (1, 2 bytes) and channel count (1, 2)
    // Mono floats in 16-bit scale in, float pairs out as they come (nothing clipped): the
    // working form deeper samples are converted to and from.
    FramesKernel floats;
};
