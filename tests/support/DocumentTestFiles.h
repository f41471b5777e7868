#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/PanChunk.h"
#include "support/FileBytes.h"

class CTesselDoc;
class DocumentHost;

// Sound files for document tests, written byte by byte so each case says exactly what the
// file holds.
struct TestSound {
    PcmFormat format = MakeFormat(1, 22050, 16);
    Bytes samples = Pattern(2000);      // in memory order
    std::vector<PanChunkPoint> points;  // empty: no pan chunk
    uint32_t chunkFrames = 0;           // frame count stored in the pan chunk
    bool bCarriedFlag = false;
    uint16_t carriedValue = 0;
    uint32_t chunkVersion = kPanChunkVersion;
    Bytes chunksBefore;  // whole chunks placed before the format chunk
    Bytes chunksAfter;   // whole chunks placed after everything else
    bool bAiff = false;
};

Bytes BuildSoundFile(const TestSound& sound);
uint32_t FramesOf(const TestSound& sound);

// frames of 16-bit noise, uniform within +-amplitude (of 32768), from seed in the first of
// channels, the others silent; held straight ahead by points at the first and last frames.
TestSound FirstChannelNoise(uint16_t channels, uint32_t rate, uint32_t frames, double amplitude,
                            unsigned seed);
// The mean square of a 16-bit sound's first channel, at full scale 1.
double FirstChannelPower(const TestSound& sound);

// A document holding sound's samples and points, as an open of its file would, made in memory:
// unmodified, titled "memory.wav" (or .aif), with no file behind it. The overview and the peak
// summary are built when host shows views, as open builds them.
std::unique_ptr<CTesselDoc> MemoryDocument(DocumentHost& host, const TestSound& sound);
// Writes sound to path and opens it as a document of host; a failed open fails the test.
std::unique_ptr<CTesselDoc> OpenTestDocument(DocumentHost& host, const std::string& path,
                                             const TestSound& sound);
// The sound the Point Properties tests edit, in memory and not modified: mono 8-bit, 44100
// frames at 44100 Hz, with points at 1000, 2000 and 3000 (pans -10, 20, 30).
std::unique_ptr<CTesselDoc> PointPropertiesDocument(DocumentHost& host);
