#pragma once

#include <cstdint>

// Stored samples of every depth into floats, a block at a time: the one place that turns a
// sound's bytes into values for rendering. Stored samples are 8-bit unsigned with 128 as
// silence, 16-, 24- or 32-bit signed little-endian, or 32-bit floats; values come out in the
// filter's 16-bit scale (full scale 32768). A float that is not a number reads as silence, an
// infinity as full scale, and a finite value past 32768 full scales is held there, so that no
// renderer's gains and sums can overflow. Counts are frames; the caller owns every buffer.
class SampleDecoder {
  public:
    struct Layout {
        int bits = 16;  // 8, 16, 24 or 32
        bool bFloat = false;
        int channels = 1;  // 1 or 2, interleaved
    };

    // Held here: 2^15 full scales, in the 16-bit scale.
    static constexpr float kLargest = 32768.0f * 32768.0f;

    // Whether the processor can take the 24-bit byte shuffles (built in, and SSSE3 there).
    static bool HasByteShuffles();

    // count frames from in. bMix: one float a frame, the two channels mixed as (L + R) / 2
    // (a mono sound's own sample); else every sample, interleaved. bByteShuffles only where
    // HasByteShuffles(); the values are the same without.
    static void Decode(const uint8_t* in, const Layout& layout, uint32_t count, bool bMix,
                       bool bByteShuffles, float* out);
    static void Decode(const uint8_t* in, const Layout& layout, uint32_t count, bool bMix,
                       float* out) {
        Decode(in, layout, count, bMix, HasByteShuffles(), out);
    }

    // One stored sample as Decode reads it: the reference of every block path.
    static float DecodeOne(const uint8_t* stored, int bits, bool bFloat);
};
