#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/ChunkIndex.h"

// The "spce" chunk: the space a document's sound is heard in (Doppler, the air, a room), written
// only by a document that leaves the dry free field. A reader that knows nothing of it carries it
// over untouched; one of another version does too. docs/space-chunk.md describes it.
//
// Layout (packed; little-endian in WAV, big-endian in AIFF):
//   0  u16 version (1)   2 u16 flags: bit 0 Doppler, 1 air, 2 a room follows, 3 its late tail
//   4  u16 the room's reflection order (0 .. 12; 0 without a room)   6 u16 0
//   8  the room, when flag 2: u32 width, depth, height, then u32 the listener's x, y, z, all in
//      millimetres; then u16 six energy absorption coefficients in ten-thousandths (100 ..
//      10000) for the walls x = 0, x = width, y = 0, y = depth, the floor and the ceiling.
// Chunk size: 8, or 44 with a room. The helpers work in the file's byte order; judging the
// values is the caller's.

constexpr uint32_t kSpaceChunkId = ChunkId("spce");
constexpr uint16_t kSpaceChunkVersion = 1;
constexpr size_t kSpaceChunkHeaderBytes = 8;
constexpr size_t kSpaceChunkRoomBytes = 36;
// The largest chunk a reader takes in: a later version may say more, which is then not read.
constexpr size_t kSpaceChunkMaxBytes = 256;

struct SpaceChunkRoom {
    std::array<uint32_t, 3> sizeMm{};
    std::array<uint32_t, 3> listenerMm{};
    std::array<uint16_t, 6> absorption{};  // ten-thousandths
    uint16_t order = 0;
    bool bTail = false;
};

struct SpaceChunkContents {
    uint16_t version = kSpaceChunkVersion;
    bool bDoppler = false;
    bool bAir = false;
    std::optional<SpaceChunkRoom> room;
};

// The chunk's data in file order.
std::vector<uint8_t> BuildSpaceChunk(const SpaceChunkContents& contents, bool bBigEndian);
// Reads data in file order; none when it is shorter than its version says. Only the version is
// read from a chunk of another version.
std::optional<SpaceChunkContents> ParseSpaceChunk(const std::vector<uint8_t>& data,
                                                  bool bBigEndian);
