#include "formats/SpaceChunk.h"

#include "platform/ByteOrder.h"

namespace {

constexpr uint16_t kDoppler = 1u << 0;
constexpr uint16_t kAir = 1u << 1;
constexpr uint16_t kRoom = 1u << 2;
constexpr uint16_t kTail = 1u << 3;

}  // namespace

std::vector<uint8_t> BuildSpaceChunk(const SpaceChunkContents& contents, bool bBigEndian) {
    std::vector<uint8_t> data(kSpaceChunkHeaderBytes + (contents.room ? kSpaceChunkRoomBytes : 0),
                              0);
    uint16_t flags = (contents.bDoppler ? kDoppler : 0) | (contents.bAir ? kAir : 0);
    if (contents.room) {
        flags |= kRoom | (contents.room->bTail ? kTail : 0);
    }
    ByteOrder::StoreU16(data.data(), kSpaceChunkVersion, bBigEndian);
    ByteOrder::StoreU16(data.data() + 2, flags, bBigEndian);
    if (const std::optional<SpaceChunkRoom>& room = contents.room) {
        ByteOrder::StoreU16(data.data() + 4, room->order, bBigEndian);
        uint8_t* out = data.data() + kSpaceChunkHeaderBytes;
        for (const uint32_t mm : room->sizeMm) {
            ByteOrder::StoreU(out, mm, 4, bBigEndian);
            out += 4;
        }
        for (const uint32_t mm : room->listenerMm) {
            ByteOrder::StoreU(out, mm, 4, bBigEndian);
            out += 4;
        }
        for (const uint16_t alpha : room->absorption) {
            ByteOrder::StoreU16(out, alpha, bBigEndian);
            out += 2;
        }
    }
    return data;
}

std::optional<SpaceChunkContents> ParseSpaceChunk(const std::vector<uint8_t>& data,
                                                  bool bBigEndian) {
    if (data.size() < 2) {
        return std::nullopt;
    }
    SpaceChunkContents contents;
    contents.version = ByteOrder::LoadU16(data.data(), bBigEndian);
    if (contents.version != kSpaceChunkVersion) {
        return contents;
    }
    if (data.size() < kSpaceChunkHeaderBytes) {
        return std::nullopt;
    }
    const uint16_t flags = ByteOrder::LoadU16(data.data() + 2, bBigEndian);
    contents.bDoppler = (flags & kDoppler) != 0;
    contents.bAir = (flags & kAir) != 0;
    if ((flags & kRoom) == 0) {
        return contents;
    }
    if (data.size() < kSpaceChunkHeaderBytes + kSpaceChunkRoomBytes) {
        return std::nullopt;
    }
    SpaceChunkRoom room;
    room.order = ByteOrder::LoadU16(data.data() + 4, bBigEndian);
    room.bTail = (flags & kTail) != 0;
    const uint8_t* in = data.data() + kSpaceChunkHeaderBytes;
    for (uint32_t& mm : room.sizeMm) {
        mm = ByteOrder::LoadU32(in, bBigEndian);
        in += 4;
    }
    for (uint32_t& mm : room.listenerMm) {
        mm = ByteOrder::LoadU32(in, bBigEndian);
        in += 4;
    }
    for (uint16_t& alpha : room.absorption) {
        alpha = ByteOrder::LoadU16(in, bBigEndian);
        in += 2;
    }
    contents.room = room;
    return contents;
}
