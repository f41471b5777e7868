#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/ChunkIndex.h"

class CFile;

// Object-based audio metadata of a broadcast WAV file: the "chna" chunk (which track plays
// which object) and the "axml" chunk (the XML model of the objects and their positions over
// time). Sonomap writes one object of type Objects per sound channel, its blocks following
// the trajectory, and reads files of that shape as the model's renderers play them.
//
// Places here are in Sonomap's own sense (azimuth positive to the right); the XML holds the
// negated azimuth, as its model counts azimuth positive to the left. The model's distance is
// normalised, 1 lying on the loudspeakers; Sonomap's metres are that distance, so 1 m lies on
// the loudspeakers. Times are sample frames.

constexpr uint32_t kChnaChunkId = ChunkId("chna");
constexpr uint32_t kAxmlChunkId = ChunkId("axml");

// Where one channel's object is at a frame. Azimuth in degrees (may be fractional: a stereo
// sound's channels sit half its width to either side), elevation in degrees, distance in cm.
struct AdmPlace {
    uint32_t position = 0;
    double azimuth = 0.0;
    double elevation = 0.0;
    double distanceCm = 100.0;

    bool operator==(const AdmPlace&) const = default;
};

// One block of an object: rtime and duration in frames, and the place it reaches at its end,
// or, with bJump, at its start (jumpPosition with an interpolationLength of 0), holding it.
struct AdmBlock {
    uint32_t start = 0;
    uint32_t length = 0;
    AdmPlace place;
    bool bJump = false;
};

// The integrated loudness (LUFS) and true peak (dBTP) of the samples written.
struct AdmLoudness {
    double integratedLufs = 0.0;
    double truePeakDbtp = 0.0;
};

// The "chna" chunk's data for channels tracks, track n (1-based) naming ATU_0000000n,
// AT_0003100n_01 and AP_0003100n; with hoaOrder, (hoaOrder + 1)^2 tracks more after them, in
// ACN order, naming the HOA object's formats.
std::vector<uint8_t> BuildChnaChunk(uint16_t channels, int hoaOrder = 0);

// The "axml" chunk's data: the XML document for channels objects, each with its blocks.
// title names the programme; rate and bits describe the tracks. The programme keeps room of
// kAdmLoudnessRoomBytes for its loudness, filled by AdmLoudnessText once it is measured.
// objects, when given, names each channel's object and places it in the programme: its start
// and duration in frames, its blocks' times counted from that start. Without it every object
// is named after the title (and its side, for two) and lasts the whole programme. A note, when
// given, is a comment in the programme for whoever reads the XML.
struct AdmObjectSpan {
    std::string name;
    uint32_t start = 0;
    uint32_t duration = 0;
};
// hoa, when given, adds an object of type HOA beside the channels' objects (a room around
// them, say): AmbiX of its order (ACN, SN3D) on the tracks after theirs, for the programme.
struct AdmHoaObject {
    std::string name;
    int order = 1;
};
std::vector<uint8_t> BuildAxmlChunk(const std::vector<std::vector<AdmBlock>>& channels,
                                    const std::string& title, uint32_t rate, uint16_t bits,
                                    uint32_t frameCount,
                                    const std::vector<AdmObjectSpan>* objects = nullptr,
                                    const AdmHoaObject* hoa = nullptr,
                                    const std::string& note = {});
constexpr size_t kAdmLoudnessRoomBytes = 192;
// The offset of that room in an axml chunk BuildAxmlChunk made; none when it has none.
std::optional<size_t> AdmLoudnessRoomAt(const std::vector<uint8_t>& axml);
// The programme's loudnessMetadata, padded with spaces to kAdmLoudnessRoomBytes; a value
// that is not finite (silence) is left out, and the room stays blank without either.
std::vector<uint8_t> AdmLoudnessText(const AdmLoudness& loudness);

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
// channel's object where a renderer of the model puts them (a first block, and a block after a
// gap, from its start; every other block at its end, or after its interpolationLength when it
// jumps; a held place again at the block's end; times offset by the object's start, and
// blocks past its duration cut there), in frame order, two at one frame for a jump; or, when
// the file holds what Sonomap cannot take as a trajectory, the reason naming what it holds.
// Neither when the XML holds no audio model.
struct AdmReading {
    std::vector<std::vector<AdmPlace>> channels;
    std::string refusal;  // empty when channels holds the places
};
AdmReading ParseAdm(const std::vector<uint8_t>& chna, const std::vector<uint8_t>& axml,
                    int channels, uint32_t rate);
// The same from the chunks a file holds, refusing an axml too large to read by its size.
AdmReading ParseAdm(const AdmChunks& chunks, int channels, uint32_t rate);
