#include "formats/UnrecognizedChunkBlock.h"

#include <cstring>

#include "formats/ChunkIndex.h"

UnrecognizedChunkBlock::UnrecognizedChunkBlock(uint32_t chunkBytes, bool bBigEndian)
    : m_bytes(size_t{chunkBytes} + 4, 0), m_bBigEndian(bBigEndian) {
    std::memcpy(m_bytes.data(), &chunkBytes, 4);
}

uint32_t UnrecognizedChunkBlock::GetLength() const {
    uint32_t length;
    std::memcpy(&length, m_bytes.data(), 4);
    return length;
}

std::vector<UnrecognizedChunkBlock::Entry> UnrecognizedChunkBlock::ListChunks() const {
    const uint64_t length = GetLength();
    const ChunkIndex index = ChunkIndex::OfBytes(GetChunkBytes(), length, m_bBigEndian);
    std::vector<Entry> entries;
    for (const ChunkIndex::Entry& chunk : index.Entries()) {
        if (chunk.End() > length) {
            break;  // a chunk must fit whole, pad byte included
        }
        entries.push_back({std::string(chunk.id.data(), 4), chunk.size});
    }
    return entries;
}
