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

bool UnrecognizedChunkBlock::Holds(uint32_t id) const {
    const ChunkIndex index = ChunkIndex::OfBytes(GetChunkBytes(), GetLength(), m_bBigEndian);
    for (const ChunkIndex::Entry& chunk : index.Entries()) {
        if (chunk.End() > GetLength()) {
            break;
        }
        if (chunk.Id() == id) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<UnrecognizedChunkBlock> UnrecognizedChunkBlock::Without(uint32_t id) const {
    const uint64_t length = GetLength();
    const ChunkIndex index = ChunkIndex::OfBytes(GetChunkBytes(), length, m_bBigEndian);
    std::vector<const ChunkIndex::Entry*> kept;
    uint64_t total = 0;
    for (const ChunkIndex::Entry& chunk : index.Entries()) {
        if (chunk.End() > length) {
            break;
        }
        if (chunk.Id() != id) {
            kept.push_back(&chunk);
            total += chunk.End() - chunk.headerOffset;
        }
    }
    if (total == 0) {
        return nullptr;
    }
    auto block =
        std::make_unique<UnrecognizedChunkBlock>(static_cast<uint32_t>(total), m_bBigEndian);
    uint8_t* out = block->GetChunkBytes();
    for (const ChunkIndex::Entry* chunk : kept) {
        const uint64_t bytes = chunk->End() - chunk->headerOffset;
        std::memcpy(out, GetChunkBytes() + chunk->headerOffset, bytes);
        out += bytes;
    }
    return block;
}
