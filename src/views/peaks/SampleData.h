#pragma once

#include <cstdint>

class PeakSummary;

// A non-owning view of a document's samples: interleaved frames, 8-bit samples unsigned with
// silence at 128, 16-bit samples signed little-endian with silence at 0. The document owns the
// buffer and must keep it alive while the view is in use.
struct SampleData {
    const uint8_t* samples = nullptr;
    uint32_t dataBytes = 0;   // bytes in the buffer, a trailing partial frame included
    uint32_t frameCount = 0;  // whole frames
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint32_t sampleRate = 0;  // frames per second
    // Block extremes of the same samples, owned by the document; none where not built.
    const PeakSummary* summary = nullptr;
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
