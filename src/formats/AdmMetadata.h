#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/ChunkIndex.h"

class CFile;

// Object-based audio metadata of a broadcast WAV file: the "chna" chunk (which track plays
// which object) and the "axml" chunk (the XML model of the objects and their positions over
// time). Sonomap writes one object of type Objects per sound channel, each with one block per
// trajectory segment, and reads back files of that shape.
//
// Places here are in Sonomap's own sense (azimuth positive to the right); the XML holds the
// negated azimuth, as its model counts azimuth positive to the left. Times are sample frames.

constexpr uint32_t kChnaChunkId = ChunkId("chna");
constexpr uint32_t kAxmlChunkId = ChunkId("axml");
// The distance that a normalised distance of 1 stands for, in metres: the farthest point a
// trajectory may reach.
constexpr double kAdmAbsoluteDistanceM = 100.0;

// Where one channel's object is at a frame. Azimuth in degrees (may be fractional: a stereo
// sound's channels sit half its width to either side), elevation in degrees, distance in cm.
struct AdmPlace {
    uint32_t position = 0;
    double azimuth = 0.0;
    double elevation = 0.0;
    double distanceCm = 100.0;

    bool operator==(const AdmPlace&) const = default;
};

// One block of an object: rtime and duration in frames, and the place it ends at. A hold
// block is no point of the trajectory: the start straight ahead, where the trajectory comes
// from before its first point, or the last stretch of the sound after its last point, keeping
// its place. It is written with a jump so it is not mistaken for a point.
struct AdmBlock {
    uint32_t start = 0;
    uint32_t length = 0;
    AdmPlace place;
    bool bHold = false;
};

// The blocks of one channel whose trajectory points are places, in frame order, over a sound
// of frameCount frames: the start straight ahead (of no length) unless a point is at frame 0,
// a block from the sound's start (or from the point before) to each point, then a hold to the
// end. Contiguous from frame 0 to frameCount.
std::vector<AdmBlock> AdmBlocksOf(const std::vector<AdmPlace>& places, uint32_t frameCount);

// The "chna" chunk's data for channels tracks, track n (1-based) naming ATU_0000000n,
// AT_0003100n_01 and AP_0003100n.
std::vector<uint8_t> BuildChnaChunk(uint16_t channels);

// The "axml" chunk's data: the XML document for channels objects, each with its blocks.
// title names the programme; rate and bits describe the tracks.
std::vector<uint8_t> BuildAxmlChunk(const std::vector<std::vector<AdmBlock>>& channels,
                                    const std::string& title, uint32_t rate, uint16_t bits,
                                    uint32_t frameCount);

// The most XML an axml chunk may hold to be read, in bytes, and the most tags ('<') and
// attributes ('=') in it: far more than 65535 blocks a channel need, far less than would
// take gigabytes to parse.
constexpr uint64_t kAdmAxmlMaxBytes = uint64_t{64} << 20;
constexpr size_t kAdmAxmlMaxTags = size_t{1} << 22;
constexpr size_t kAdmAxmlMaxAttributes = size_t{1} << 22;

// The chunks of a WAV, RF64 or BW64 file that carry metadata; none when the file is not of
// these forms. The walk ends at the end of the file whatever the sizes declare. chna is
// capped in size; an axml larger than kAdmAxmlMaxBytes is not read (axml holds nothing), its
// declared size tells. Throws CFileException when a read fails.
struct AdmChunks {
    std::optional<std::vector<uint8_t>> chna;
    std::optional<std::vector<uint8_t>> axml;
    uint64_t axmlDeclaredBytes = 0;
};
std::optional<AdmChunks> ReadAdmChunks(CFile& file);

// What the metadata of a file of channels channels at rate yields: the places of each
// channel's object, one per block that ends at a point; or, when the file holds what Sonomap
// cannot take as a trajectory, the reason naming what it holds. Neither when the XML holds no
// audio model.
struct AdmReading {
    std::vector<std::vector<AdmPlace>> channels;
    std::string refusal;  // empty when channels holds the places
};
AdmReading ParseAdm(const std::vector<uint8_t>& chna, const std::vector<uint8_t>& axml,
                    int channels, uint32_t rate);
// The same from the chunks a file holds, refusing an axml too large to read by its size.
AdmReading ParseAdm(const AdmChunks& chunks, int channels, uint32_t rate);
