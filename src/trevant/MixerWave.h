#pragma once

#include <cstdint>

// A wave as the mixer keeps it: a view of the caller's samples, never a copy.
struct MixerWave {
    const unsigned char* data = nullptr;  // borrowed; the caller keeps it alive
    uint32_t frameCount = 0;              // whole frames in the range
    uint32_t sampleRate = 0;              // Hz
    uint16_t channels = 0;                // 1 or 2
    uint16_t bitsPerSample = 0;           // 8 (unsigned) or 16 (signed, native order)

    uint32_t BytesPerFrame() const { return channels * bitsPerSample / 8u; }
};
