#pragma once

#include <cstdint>

#include "render/FilterState.h"
#include "render/SpatialFilterTables.h"

// Places a mono stream between full left and full right, one sample at a time. Each output
// channel is a direct term plus a term through a recursive all-pole filter; the direction
// only picks four gains, the sample rate picks the filters and their relative delay.
// Samples are floats in 16-bit scale. No allocation after construction; not thread-safe.
class SpatialFilter {
  public:
    static constexpr int kUnsupportedRate = -1000;
    static constexpr int kDirections = 127;  // direction indexes 0 (left) .. 126 (right)
    static constexpr int kCentre = 63;

    using Stereo = StereoSample;

    // The instruction sets the kernels are written for; every path gives the same bytes. A new
    // filter takes DefaultKernelPath: the widest one the processor runs, unless the
    // environment variable SONOMAP_FILTER_KERNEL names another (plain, sse2 or avx2).
    enum class KernelPath { Plain, Sse2, Avx2 };
    static bool HasKernelPath(KernelPath path);  // built in, and the processor runs it
    static KernelPath DefaultKernelPath();

    SpatialFilter();

    // Renders through path from here on, the state carried over; false, changing nothing,
    // when HasKernelPath(path) is false.
    bool UseKernelPath(KernelPath path);
    KernelPath GetKernelPath() const { return m_path; }

    // Resets every filter state and both delay rings, then picks the band of rate (Hz).
    // Returns the band 1..8, or kUnsupportedRate (the state is reset all the same).
    // The gains are left as they were.
    int SelectRate(int32_t rate);

    static int PanToDirectionIndex(int32_t pan);  // degrees -> index, truncating
    void SetDirection(int index);                 // clamps to 0..126
    // One input sample in, the stereo pair out. SelectRate and SetDirection come first.
    Stereo ProcessSample(float in) { return m_pKernels->sample(m_state, in); }

    // ReadSample, ProcessSample and WriteSamplePair over count frames, with the same results:
    // in holds stored frames of channels samples (1, or 2 mixed as (L + R) / 2) of sampleWidth
    // bytes each (1 or 2); out receives count stereo pairs of that width. One direction holds
    // for all of them.
    void ProcessFrames(const uint8_t* in, int channels, int sampleWidth, uint32_t count,
                       uint8_t* out) {
        m_pKernels->frames[sampleWidth == 1 ? 0 : 1][channels == 2 ? 1 : 0](m_state, in, count,
                                                                            out);
    }

    // One direction over count mono samples already read as floats in 16-bit scale (deeper
    // sounds, or samples carrying a gain): count stereo pairs of floats out, nothing clipped.
    // The same values as ProcessSample one at a time, through the bulk kernels.
    void ProcessFloatFrames(const float* in, uint32_t count, float* pairs) {
        m_pKernels->floats(m_state, reinterpret_cast<const uint8_t*>(in), count,
                           reinterpret_cast<uint8_t*>(pairs));
    }

    // A stored sample (8-bit unsigned, or 16-bit signed little-endian) in 16-bit scale.
    static float ReadSample(const uint8_t* stored, int sampleWidth);
    // Clips, truncates and stores left then right in the given width (1 or 2 bytes each).
    static void WriteSamplePair(float left, float right, int sampleWidth, uint8_t* out);

    // The tables, for tests and tools: gains by direction index 0..127 (127 is 0, unused).
    static float DirectGainLeft(int index);
    static float DirectGainRight(int index);
    static float FilteredGainLeft(int index);
    static float FilteredGainRight(int index);

    using BandInfo = RateBand;
    static const BandInfo& Band(int band);  // band 1..8

  private:
    void PickKernels();

    int m_band = 0;
    KernelPath m_path;
    const FilterKernels* m_pKernels = nullptr;  // the band's shape on m_path
    FilterState m_state;
};
