#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/ChunkIndex.h"

// The "ach3" chunk: the whole place of each trajectory point, written right after "achk" by a
// document that leaves the front half-circle. A reader that knows only "achk" sees the
// frontal fold there and carries this chunk over untouched.
//
// Layout (packed; little-endian in WAV, big-endian in AIFF):
//   0  u16 version (1)   2  u16 0   4  u32 point count N (>= 1)   8  u32 frame count   12 u32 0
//   16 N points of 12 bytes: u32 position (frames), s16 azimuth, s16 elevation (whole
//      degrees), u16 distance (centimetres), u16 width (whole degrees)
// The points stand in the order of the "achk" points. Chunk size: 16 + 12 * N bytes.
// The helpers here work in the file's byte order; judging the contents is the caller's.

constexpr uint32_t kPlaceChunkId = ChunkId("ach3");
constexpr uint16_t kPlaceChunkVersion = 1;
constexpr size_t kPlaceChunkHeaderBytes = 16;
constexpr size_t kPlaceChunkPointBytes = 12;
constexpr size_t kPlaceChunkMaxPoints = 65535;
// The largest chunk a trajectory can need; reading never makes a bigger buffer.
constexpr size_t kPlaceChunkMaxBytes =
    kPlaceChunkHeaderBytes + kPlaceChunkPointBytes * kPlaceChunkMaxPoints;

struct PlaceChunkPoint {
    uint32_t position = 0;
    int16_t azimuth = 0;
    int16_t elevation = 0;
    uint16_t distanceCm = 0;
    uint16_t width = 0;
};

struct PlaceChunkContents {
    uint16_t version = 0;
    uint32_t declaredCount = 0;  // N as the header states it
    uint32_t frameCount = 0;
    // The points that lie wholly inside the bytes: fewer than declaredCount when it is short.
    std::vector<PlaceChunkPoint> points;
};

// The chunk's data in file order; none for no points or more than 65535.
std::optional<std::vector<uint8_t>> BuildPlaceChunk(const std::vector<PlaceChunkPoint>& points,
                                                    uint32_t frameCount, bool bBigEndian);
// Reads data in file order; none when shorter than the header. Only the header is read from a
// chunk of another version.
std::optional<PlaceChunkContents> ParsePlaceChunk(const std::vector<uint8_t>& data,
                                                  bool bBigEndian);
