#include "formats/ChunkIndex.h"
#include "platform/ByteOrder.h"

#include <algorithm>
#include <cstring>

#include "platform/CFile.h"

namespace {

constexpr uint64_t kHeaderBytes = 8;

}  // namespace

uint32_t ChunkIndex::Entry::Id() const {
    return (static_cast<uint32_t>(static_cast<uint8_t>(id[0])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 8) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3]));
}

ChunkIndex::ChunkIndex(const ReadAt& read, uint64_t length, uint64_t start, bool bBigEndian)
    : m_start(start), m_length(length) {
    uint64_t at = start;
    uint8_t header[kHeaderBytes];
    // In 64 bits: at stays below length + 2^33, so no declared size can wrap it.
    while (at <= length && length - at >= kHeaderBytes &&
           read(at, header, kHeaderBytes) == kHeaderBytes) {
        Entry entry{};
        std::memcpy(entry.id.data(), header, 4);
        entry.size = ByteOrder::LoadU32(header + 4, bBigEndian);
        entry.headerOffset = at;
        entry.dataOffset = at + kHeaderBytes;
        entry.heldBytes =
            static_cast<uint32_t>(std::min<uint64_t>(entry.size, length - entry.dataOffset));
        m_entries.push_back(entry);
        at = entry.End();
    }
}

ChunkIndex ChunkIndex::OfFile(CFile& file, uint64_t start, bool bBigEndian) {
    auto read = [&file](uint64_t position, uint8_t* out, size_t count) {
        file.Seek(static_cast<int64_t>(position), CFile::SeekFrom::Begin);
        return file.Read(out, count);
    };
    return ChunkIndex(read, file.GetLength(), start, bBigEndian);
}

ChunkIndex ChunkIndex::OfBytes(const uint8_t* bytes, uint64_t length, bool bBigEndian) {
    // The walk asks only for bytes inside the source.
    auto read = [bytes](uint64_t position, uint8_t* out, size_t count) {
        std::memcpy(out, bytes + position, count);
        return count;
    };
    return ChunkIndex(read, length, 0, bBigEndian);
}

const ChunkIndex::Entry* ChunkIndex::Find(uint32_t id) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [id](const Entry& entry) { return entry.Id() == id; });
    return found == m_entries.end() ? nullptr : &*found;
}
