#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CFile;

// A four-character chunk id as the interfaces take it: first character in the most
// significant byte, so ChunkId("RIFF") == 0x52494646.
constexpr uint32_t ChunkId(const char (&text)[5]) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3]));
}

// The chunks of a RIFF (little-endian sizes) or IFF (big-endian sizes) source that follow one
// another from a start position, found by one walk over their 8-byte headers and then asked as
// often as needed, as libsndfile keeps its READ_CHUNKS. Positions and sizes are bytes.
//
// The one end rule: a chunk is indexed when its whole header lies inside the source; the next
// header stands after its data and, for odd data, the pad byte; the walk ends at the first
// header that does not fit. Declared sizes are kept as they are and never sized anything: sums
// run in 64 bits, and heldBytes says how much of the data the source really holds. So a chunk
// whose data runs past the end is indexed (and is the last one), and the declared size of an
// enclosing form plays no part: a reader keeping to a form cuts the list there itself.
class ChunkIndex {
  public:
    struct Entry {
        std::array<char, 4> id;  // as it stands in the source, first character first
        uint32_t size;           // declared data bytes, machine order, pad byte not counted
        uint32_t heldBytes;      // data bytes the source really holds: size, or fewer at its end
        uint64_t headerOffset;   // position of the chunk's 8-byte header
        uint64_t dataOffset;     // position of its first data byte, headerOffset + 8

        // Where the header after this chunk stands: past the data and the pad byte of odd data.
        uint64_t End() const { return dataOffset + size + (size & 1u); }
        // Whether the source holds all the declared data (a missing pad byte does not count).
        bool IsWhole() const { return heldBytes == size; }
        // The id in ChunkId's form.
        uint32_t Id() const;
    };

    // Reads up to count bytes at position into out; returns how many arrived (fewer only at the
    // end of the source).
    using ReadAt = std::function<size_t(uint64_t position, uint8_t* out, size_t count)>;

    ChunkIndex() = default;
    // The walk over a source of length bytes, from start on.
    ChunkIndex(const ReadAt& read, uint64_t length, uint64_t start, bool bBigEndian);

    // The chunks of a file from start on. Moves the file's position; throws CFileException.
    static ChunkIndex OfFile(CFile& file, uint64_t start, bool bBigEndian);
    // The chunks of length bytes in memory from their first byte on.
    static ChunkIndex OfBytes(const uint8_t* bytes, uint64_t length, bool bBigEndian);

    const std::vector<Entry>& Entries() const { return m_entries; }
    // The first chunk with this id, or null.
    const Entry* Find(uint32_t id) const;
    uint64_t Start() const { return m_start; }
    // The length of the source when it was walked.
    uint64_t SourceLength() const { return m_length; }

  private:
    std::vector<Entry> m_entries;
    uint64_t m_start = 0;
    uint64_t m_length = 0;
};
