#include "formats/PlaceChunk.h"
#include "platform/ByteOrder.h"

std::optional<std::vector<uint8_t>> BuildPlaceChunk(const std::vector<PlaceChunkPoint>& points,
                                                    uint32_t frameCount, bool bBigEndian) {
    if (points.empty() || points.size() > kPlaceChunkMaxPoints) {
        return std::nullopt;
    }
    std::vector<uint8_t> data(kPlaceChunkHeaderBytes + kPlaceChunkPointBytes * points.size(), 0);
    ByteOrder::StoreU16(data.data(), kPlaceChunkVersion, bBigEndian);
    ByteOrder::StoreU(data.data() + 4, static_cast<uint32_t>(points.size()), 4, bBigEndian);
    ByteOrder::StoreU(data.data() + 8, frameCount, 4, bBigEndian);
    uint8_t* out = data.data() + kPlaceChunkHeaderBytes;
    for (const PlaceChunkPoint& point : points) {
        ByteOrder::StoreU(out, point.position, 4, bBigEndian);
        ByteOrder::StoreU(out + 4, static_cast<uint16_t>(point.azimuth), 2, bBigEndian);
        ByteOrder::StoreU(out + 6, static_cast<uint16_t>(point.elevation), 2, bBigEndian);
        ByteOrder::StoreU(out + 8, point.distanceCm, 2, bBigEndian);
        ByteOrder::StoreU(out + 10, point.width, 2, bBigEndian);
        out += kPlaceChunkPointBytes;
    }
    return data;
}

std::optional<PlaceChunkContents> ParsePlaceChunk(const std::vector<uint8_t>& data,
                                                  bool bBigEndian) {
    if (data.size() < kPlaceChunkHeaderBytes) {
        return std::nullopt;
    }
    const uint8_t* p = data.data();
    PlaceChunkContents contents;
    contents.version = ByteOrder::LoadU16(p, bBigEndian);
    contents.declaredCount = ByteOrder::LoadU32(p + 4, bBigEndian);
    contents.frameCount = ByteOrder::LoadU32(p + 8, bBigEndian);
    if (contents.version != kPlaceChunkVersion) {
        return contents;
    }
    const size_t fit = (data.size() - kPlaceChunkHeaderBytes) / kPlaceChunkPointBytes;
    const size_t count = contents.declaredCount < fit ? contents.declaredCount : fit;
    contents.points.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* point = p + kPlaceChunkHeaderBytes + i * kPlaceChunkPointBytes;
        PlaceChunkPoint read;
        read.position = ByteOrder::LoadU32(point, bBigEndian);
        read.azimuth = ByteOrder::LoadS16(point + 4, bBigEndian);
        read.elevation = ByteOrder::LoadS16(point + 6, bBigEndian);
        read.distanceCm = ByteOrder::LoadU16(point + 8, bBigEndian);
        read.width = ByteOrder::LoadU16(point + 10, bBigEndian);
        contents.points.push_back(read);
    }
    return contents;
}
