#pragma once

#include <cstdint>

#include "trevant/trevant.h"

// A wave as the mixer keeps it: a view of the caller's samples, never a copy.
struct MixerWave {
    const unsigned char* data = nullptr;  // borrowed; the caller keeps it alive
    uint32_t frameCount = 0;              // whole frames in the range
    uint32_t sampleRate = 0;              // Hz
    uint16_t channels = 0;                // 1 or 2
    uint16_t bitsPerSample = 0;           // 8 (unsigned), 16, 24, 32 (signed, native order)
    bool bFloat = false;                  // 32-bit floats
    bool bMixed = false;                  // stereo already mixed: straight to the output
    // Frames that may be read: all of them, but for a growing wave what its writer says.
    uint32_t readyFrames = 0;
    // A wave read out by the caller (floats) instead of from data.
    MixerWaveReadProc read = nullptr;
    void* readUser = nullptr;

    // 24 and 32 bits and floats go to the device as floats (AL_EXT_FLOAT32).
    bool PlaysAsFloat() const { return read != nullptr || bFloat || bitsPerSample > 16; }

    uint32_t BytesPerFrame() const { return channels * bitsPerSample / 8u; }

    // The wave a source describes: PCM of 8, 16, 24 or 32 bits or 32-bit floats, 1 or 2
    // channels, 1 to 192 kHz. 0, or
    // AMBREL_WAVEMIX_ERR_BAD_PARAM / _BAD_FORMAT with *wave unchanged.
    static int FromSource(const MixerWaveSource& source, MixerWave* wave);
    // The wave a reader describes: 1 or 2 channels of floats, 1 to 192 kHz; as FromSource.
    static int FromReader(const MixerWaveReader& reader, MixerWave* wave);
};
