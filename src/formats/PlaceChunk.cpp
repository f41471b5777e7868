#include "formats/PlaceChunk.h"

namespace {

// Unsigned values of width bytes in the file's order.
uint32_t Get(const uint8_t* p, size_t width, bool bBigEndian) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        const uint32_t byte = p[bBigEndian ? i : width - 1 - i];
        value = (value << 8) | byte;
    }
    return value;
}

void Put(uint8_t* p, uint32_t value, size_t width, bool bBigEndian) {
    for (size_t i = 0; i < width; ++i) {
        p[bBigEndian ? width - 1 - i : i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildPlaceChunk(const std::vector<PlaceChunkPoint>& points,
                                                    uint32_t frameCount, bool bBigEndian) {
    if (points.empty() || points.size() > kPlaceChunkMaxPoints) {
        return std::nullopt;
    }
    std::vector<uint8_t> data(kPlaceChunkHeaderBytes + kPlaceChunkPointBytes * points.size(), 0);
    Put(data.data(), kPlaceChunkVersion, 2, bBigEndian);
    Put(data.data() + 4, static_cast<uint32_t>(points.size()), 4, bBigEndian);
    Put(data.data() + 8, frameCount, 4, bBigEndian);
    uint8_t* out = data.data() + kPlaceChunkHeaderBytes;
    for (const PlaceChunkPoint& point : points) {
        Put(out, point.position, 4, bBigEndian);
        Put(out + 4, static_cast<uint16_t>(point.azimuth), 2, bBigEndian);
        Put(out + 6, static_cast<uint16_t>(point.elevation), 2, bBigEndian);
        Put(out + 8, point.distanceCm, 2, bBigEndian);
        Put(out + 10, point.width, 2, bBigEndian);
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
    contents.version = static_cast<uint16_t>(Get(p, 2, bBigEndian));
    contents.declaredCount = Get(p + 4, 4, bBigEndian);
    contents.frameCount = Get(p + 8, 4, bBigEndian);
    if (contents.version != kPlaceChunkVersion) {
        return contents;
    }
    const size_t fit = (data.size() - kPlaceChunkHeaderBytes) / kPlaceChunkPointBytes;
    const size_t count = contents.declaredCount < fit ? contents.declaredCount : fit;
    contents.points.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* point = p + kPlaceChunkHeaderBytes + i * kPlaceChunkPointBytes;
        PlaceChunkPoint read;
        read.position = Get(point, 4, bBigEndian);
        read.azimuth = static_cast<int16_t>(Get(point + 4, 2, bBigEndian));
        read.elevation = static_cast<int16_t>(Get(point + 6, 2, bBigEndian));
        read.distanceCm = static_cast<uint16_t>(Get(point + 8, 2, bBigEndian));
        read.width = static_cast<uint16_t>(Get(point + 10, 2, bBigEndian));
        contents.points.push_back(read);
    }
    return contents;
}
