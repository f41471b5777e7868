#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Chunks of a file that its format does not write itself, copied whole so that a save can put
// them back unchanged. One zero-filled byte block: a 32-bit length (machine order) counting the
// bytes after it, then each chunk as it is to stand in a file: 4-byte id, 32-bit size in the
// byte order of the file it came from, the data, and a zero pad byte after odd-sized data.
// Made by CChunkFile::CollectUnrecognizedChunks; owned by whoever asked for it.
class UnrecognizedChunkBlock {
  public:
    struct Entry {
        std::string id;  // the four characters as they stand in the file
        uint32_t size;   // data bytes, pad byte not counted
    };

    // A zero-filled block with room for chunkBytes bytes of chunks.
    UnrecognizedChunkBlock(uint32_t chunkBytes, bool bBigEndian);

    // Bytes of chunks after the length field.
    uint32_t GetLength() const;
    uint8_t* GetChunkBytes() { return m_bytes.data() + 4; }
    const uint8_t* GetChunkBytes() const { return m_bytes.data() + 4; }
    // The whole block, length field included.
    const std::vector<uint8_t>& GetBytes() const { return m_bytes; }
    // Byte order of the sizes inside: that of the file the chunks came from.
    bool IsBigEndian() const { return m_bBigEndian; }
    // The chunks in file order, for display; stops at the first one that does not fit.
    std::vector<Entry> ListChunks() const;
    // Whether a chunk of this id (ChunkId's form) is among them.
    bool Holds(uint32_t id) const;
    // A copy without the chunks of this id; none when nothing else is left.
    std::unique_ptr<UnrecognizedChunkBlock> Without(uint32_t id) const;

  private:
    std::vector<uint8_t> m_bytes;
    bool m_bBigEndian;
};
