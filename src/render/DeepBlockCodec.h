#pragma once

#include <cstdint>

// The spatial filter's working form to deep stored samples (24- or 32-bit signed
// little-endian integers, or 32-bit floats), a block at a time: the same values as
// SampleCodec's StoreDeep one sample at a time, in tight loops (reading is SampleDecoder's).
// Counts are frames; nothing is allocated, the caller owns every buffer. bByteShuffles packs
// 24-bit samples with SSSE3 byte shuffles, for callers that checked HasByteShuffles; the bytes
// are the same.
class DeepBlockCodec {
  public:
    static bool HasByteShuffles();  // built in, and the processor runs them

    // count pairs of floats in 16-bit scale in, count stored stereo frames out.
    static void StorePairs(const float* pairs, uint32_t count, int bits, bool bFloat,
                           bool bByteShuffles, uint8_t* out);
};
