#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "PcmFormat and the in-memory samples are little-endian");

// The PCM format header exactly as a WAV "fmt " chunk stores it: 16 bytes, packed,
// little-endian. Every sound file, the document and the mixer hold one.
#pragma pack(push, 1)
struct PcmFormat {
    uint16_t formatTag;       // 1 = PCM
    uint16_t channels;        // 1 or 2 in practice
    uint32_t sampleRate;      // frames per second
    uint32_t avgBytesPerSec;  // sampleRate * blockAlign
    uint16_t blockAlign;      // bytes per frame: channels * bitsPerSample / 8
    uint16_t bitsPerSample;   // 8 or 16 in practice
};
#pragma pack(pop)

static_assert(sizeof(PcmFormat) == 16, "PcmFormat must match the 16-byte fmt chunk");
