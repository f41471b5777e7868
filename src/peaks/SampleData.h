#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

class PeakSummary;

// A non-owning view of a document's samples: interleaved frames, 8-bit samples unsigned with
// silence at 128, 16-, 24- and 32-bit samples signed little-endian and 32-bit floats (full scale
// 1.0), all with silence at 0. The document owns the buffer and must keep it alive while the
// view is in use.
struct SampleData {
    const uint8_t* samples = nullptr;
    uint32_t dataBytes = 0;   // bytes in the buffer, a trailing partial frame included
    uint32_t frameCount = 0;  // whole frames
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint32_t sampleRate = 0;  // frames per second
    // Block extremes of the same samples, owned by the document; none where not built.
    const PeakSummary* summary = nullptr;
    bool bFloat = false;  // 32-bit IEEE floats rather than integers
};

// The smallest and largest sample value of a run of frames in one channel.
struct SamplePeak {
    int min;
    int max;
};

// One sample of a frame (0-based) and a channel (1-based). A frame at or past the frame count, or
// a channel outside 1 ... channels, reads as silence: the peak scan's last reads rely on that.
int GetSample8(const SampleData& data, uint64_t frame, int channel);
int GetSample16(const SampleData& data, uint64_t frame, int channel);

// The pictures draw deep samples (24 and 32 bits, floats) at 16-bit scale: an integer's top 16
// bits, a float times 32768 rounded down and clipped, NaN as silence. So a deep sound draws as
// the 16-bit sound its truncation gives.
inline int DeepPictureValue(const uint8_t* at, int bits, bool bFloat) {
    if (bFloat) {
        float v;
        std::memcpy(&v, at, sizeof v);
        if (!(v == v)) {
            return 0;
        }
        const float scaled = std::floor(v * 32768.0f);
        return scaled >= 32767.0f ? 32767 : scaled <= -32768.0f ? -32768 : static_cast<int>(scaled);
    }
    int16_t top;
    std::memcpy(&top, at + (bits == 24 ? 1 : 2), sizeof top);
    return top;
}

// A deep sample as DeepPictureValue draws it, with GetSample16's rules for frame and channel.
int GetSampleDeep(const SampleData& data, uint64_t frame, int channel);
