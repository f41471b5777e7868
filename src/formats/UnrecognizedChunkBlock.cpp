#include "formats/UnrecognizedChunkBlock.h"

#include <cstring>

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
    std::vector<Entry> entries;
    const uint8_t* bytes = GetChunkBytes();
    const uint64_t length = GetLength();
    uint64_t at = 0;
    while (at + 8 <= length) {
        uint32_t size;
        std::memcpy(&size, bytes + at + 4, 4);
        if (m_bBigEndian) {
            size = __builtin_bswap32(size);
        }
        const uint64_t next = at + 8 + size + (size & 1u);
        if (next > length) {
            break;
        }
        entries.push_back({std::string(reinterpret_cast<const char*>(bytes + at), 4), size});
        at = next;
    }
    return entries;
}
