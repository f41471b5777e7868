#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "PcmFormat and the in-memory samples are little-endian");

// The PCM format header exactly as a WAV "fmt " chunk stores it: 16 bytes, packed,
// little-endian. Every sound file, the document and the mixer hold one.
#pragma pack(push, 1)
struct PcmFormat {
    uint16_t formatTag;       // 1 = integer PCM, 3 = IEEE float
    uint16_t channels;        // 1 or 2 in practice
    uint32_t sampleRate;      // frames per second
    uint32_t avgBytesPerSec;  // sampleRate * blockAlign
    uint16_t blockAlign;      // bytes per frame: channels * bitsPerSample / 8
    uint16_t bitsPerSample;   // 8, 16, 24 or 32: the bytes each sample takes in memory
};
#pragma pack(pop)

static_assert(sizeof(PcmFormat) == 16, "PcmFormat must match the 16-byte fmt chunk");

constexpr uint16_t kFormatTagPcm = 1;
constexpr uint16_t kFormatTagFloat = 3;

// Samples in memory, little-endian and interleaved: 8-bit unsigned (128 silence), 16-, 24- or
// 32-bit signed integers, or 32-bit IEEE floats (full scale 1.0). The deep ones are those past
// the 8- and 16-bit path.
inline bool IsDeepFormat(const PcmFormat& format) {
    return format.formatTag == kFormatTagFloat || format.bitsPerSample == 24 ||
           format.bitsPerSample == 32;
}

// Deep samples the document keeps: integers of 24 or 32 bits, floats of 32, each sample taking
// exactly bits / 8 bytes of a frame.
inline bool IsKeptDeepFormat(const PcmFormat& format) {
    const bool bDepth = format.formatTag == kFormatTagFloat
                            ? format.bitsPerSample == 32
                            : format.formatTag == kFormatTagPcm &&
                                  (format.bitsPerSample == 24 || format.bitsPerSample == 32);
    return bDepth && format.blockAlign == format.channels * (format.bitsPerSample / 8u);
}
