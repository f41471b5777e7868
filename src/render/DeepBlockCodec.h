#pragma once

#include <cstdint>

// Deep stored samples (24- or 32-bit signed little-endian integers, or 32-bit floats) to and
// from the spatial filter's working form, a block at a time: the same values as SampleCodec's
// ReadDeep and StoreDeep one sample at a time, in tight loops. Counts are frames; nothing is
// allocated, the caller owns every buffer. bByteShuffles packs and unpacks 24-bit samples with
// SSSE3 byte shuffles, for callers that checked HasByteShuffles; the bytes are the same.
class DeepBlockCodec {
  public:
    static bool HasByteShuffles();  // built in, and the processor runs them

    // count stored frames of channels (1, or 2 mixed as (L + R) / 2) samples in, count floats
    // in 16-bit scale out.
    static void ReadMono(const uint8_t* in, int channels, int bits, bool bFloat, uint32_t count,
                         bool bByteShuffles, float* out);
    // count pairs of floats in 16-bit scale in, count stored stereo frames out.
    static void StorePairs(const float* pairs, uint32_t count, int bits, bool bFloat,
                           bool bByteShuffles, uint8_t* out);
};
