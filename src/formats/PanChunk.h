#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The "achk" pan chunk: the pan trajectory stored inside a WAV or AIFF file.
//
// Layout (packed; little-endian in WAV, big-endian in AIFF, always little-endian in memory):
//   0  u32 version (6)          4  u16 point count N        6  u32 frame count of the sound
//   10 u16 carried flag field   12 u16 carried value        14 18 reserved bytes (zero)
//   32 N points of 6 bytes: u32 position (frames), s16 pan (whole degrees, -90 .. +90)
// Chunk size: 32 + 6 * N bytes, always even.
//
// These helpers work on plain data and on the in-memory bytes that CSoundFile::ReadPanChunk
// returns and CSoundFile::WritePanChunk takes. Judging the contents (version, frame count,
// points beyond the end of the sound) is left to the caller.

// The chunk's bytes in memory, fields in the machine's order; owned by the holder.
using PanChunkBytes = std::vector<uint8_t>;

struct PanChunkPoint {
    uint32_t position;  // sample frame from the start of the sound
    int32_t pan;        // whole degrees; the chunk keeps the low 16 bits
};

struct PanChunkContents {
    uint32_t version = 0;
    uint16_t declaredCount = 0;  // N as the header states it
    uint32_t frameCount = 0;     // length of the sound when the chunk was written, frames
    uint16_t carriedFlag = 0;    // raw field: the flag is set exactly when this is 1
    uint16_t carriedValue = 0;
    // The points that fit in the chunk, pans sign-extended from 16 bits. Fewer than
    // declaredCount when the chunk is shorter than its count needs.
    std::vector<PanChunkPoint> points;
};

constexpr uint32_t kPanChunkVersion = 6;
constexpr size_t kPanChunkHeaderBytes = 32;
constexpr size_t kPanChunkPointBytes = 6;
constexpr size_t kPanChunkMaxPoints = 65535;
// A chunk needs its header and one point to count as present.
constexpr size_t kPanChunkMinBytes = kPanChunkHeaderBytes + kPanChunkPointBytes;
// The largest chunk a 16-bit count can describe; reading never makes a bigger buffer.
constexpr size_t kPanChunkMaxBytes =
    kPanChunkHeaderBytes + kPanChunkPointBytes * kPanChunkMaxPoints;

// Bytes of a chunk of pointCount points.
constexpr size_t PanChunkSize(size_t pointCount) {
    return kPanChunkHeaderBytes + kPanChunkPointBytes * pointCount;
}

// Builds a chunk in memory order: version 6, the points in the given order, the frame count,
// flag field 1/0 and the value (0 when the flag is clear). None when points is empty or holds
// more than 65535 points: such a trajectory has no valid chunk.
std::optional<PanChunkBytes> BuildPanChunk(const std::vector<PanChunkPoint>& points,
                                           uint32_t frameCount, bool bCarriedFlag,
                                           uint16_t carriedValue);

// Reads a chunk in memory order. Only the points that lie wholly inside the bytes are read.
// None when the bytes are shorter than the 32-byte header.
std::optional<PanChunkContents> ParsePanChunk(const PanChunkBytes& chunk);

// The stored point count of a chunk in memory order (0 when shorter than the header).
uint16_t PanChunkPointCount(const PanChunkBytes& chunk);

// AIFF byte order, in place. N is taken in the machine's order: after converting the header
// when reading, before converting it when writing. Points past the end of the bytes are left.
void PanChunkFromBigEndian(uint8_t* chunk, size_t size);
void PanChunkToBigEndian(uint8_t* chunk, size_t size);
