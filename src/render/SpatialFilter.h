#pragma once

#include <cstdint>

// Places a mono stream between full left and full right, one sample at a time. Each output
// channel is a direct term plus a term through a recursive all-pole filter; the direction
// only picks four gains, the sample rate picks the filters and their relative delay.
// Samples are floats in 16-bit scale. No allocation after construction; not thread-safe.
class SpatialFilter {
  public:
    static constexpr int kUnsupportedRate = -1000;
    static constexpr int kDirections = 127;  // direction indexes 0 (left) .. 126 (right)
    static constexpr int kCentre = 63;

    struct Stereo {
        float left;
        float right;
    };

    SpatialFilter();

    // Resets every filter state and both delay rings, then picks the band of rate (Hz).
    // Returns the band 1..8, or kUnsupportedRate (the state is reset all the same).
    // The gains are left as they were.
    int SelectRate(int32_t rate);
    int GetBand() const { return m_band; }

    static int PanToDirectionIndex(int32_t pan);  // degrees -> index, truncating
    void SetDirection(int index);                 // clamps to 0..126
    // One input sample in, the stereo pair out. SelectRate and SetDirection come first.
    Stereo ProcessSample(float in) { return (this->*m_run)(in); }

    // ReadSample, ProcessSample and WriteSamplePair over count frames, with the same results:
    // in holds stored frames of channels samples (1, or 2 mixed as (L + R) / 2) of sampleWidth
    // bytes each (1 or 2); out receives count stereo pairs of that width. One direction holds
    // for all of them.
    void ProcessFrames(const uint8_t* in, int channels, int sampleWidth, uint32_t count,
                       uint8_t* out) {
        (this->*m_runFrames[sampleWidth == 1 ? 0 : 1][channels == 2 ? 1 : 0])(in, count, out);
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

    struct BandInfo {
        int32_t lowRate, highRate;  // Hz, inclusive
        int sections;               // per filter
        int writeIndexAfterReset;
        int directDelay;  // samples the direct terms lag the filtered ones (-1, 0 or +2)
        float kLeft, kRight;
        float left[4][2], right[4][2];  // (a1, a2) per section, section 1 first
    };
    static const BandInfo& Band(int band);  // band 1..8

  private:
    enum class Mode : uint8_t { DelayFiltered, NoDelay, DelayDirect };

    template <int Sections, Mode M>
    Stereo Run(float in);

    template <int Sections, Mode M, int Width, int Channels>
    void RunFrames(const uint8_t* in, uint32_t count, uint8_t* out);
    // The same through Run, one frame at a time.
    template <int Sections, Mode M, int Width, int Channels>
    void RunFramesOneByOne(const uint8_t* in, uint32_t count, uint8_t* out);
    template <int Sections, Mode M>
    void UseKernel();

    using Kernel = Stereo (SpatialFilter::*)(float);
    using FramesKernel = void (SpatialFilter::*)(const uint8_t*, uint32_t, uint8_t*);

    int m_band = 0;
    Kernel m_run;                    // fixed by SelectRate: the band's section count and delay
    FramesKernel m_runFrames[2][2];  // the same, by sample width and channel count

    unsigned m_write = 0;
    unsigned m_read = 0;
    // Lane 0 is the left filter, lane 1 the right one; the other lanes stay 0.
    alignas(16) float m_directGain[4] = {};
    alignas(16) float m_filteredGain[4] = {};
    alignas(16) float m_k[4] = {};
    alignas(16) float m_a1[4][4] = {};
    alignas(16) float m_a2[4][4] = {};
    alignas(16) float m_s1[4][4] = {};
    alignas(16) float m_s2[4][4] = {};
    alignas(16) float m_ring[8][4] = {};
};
