#include "formats/PanChunk.h"

#include <cstring>
#include <utility>

namespace {

template <typename T>
T Load(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void Store(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

void Reverse(uint8_t* p, size_t width) {
    for (size_t i = 0; i < width / 2; ++i) {
        std::swap(p[i], p[width - 1 - i]);
    }
}

void ReverseHeader(uint8_t* chunk) {
    Reverse(chunk + 0, 4);
    Reverse(chunk + 4, 2);
    Reverse(chunk + 6, 4);
    Reverse(chunk + 10, 2);
    Reverse(chunk + 12, 2);
}

// Only the points that lie wholly inside the bytes are touched.
void ReversePoints(uint8_t* chunk, size_t size, size_t count) {
    const size_t fit = (size - kPanChunkHeaderBytes) / kPanChunkPointBytes;
    if (count > fit) {
        count = fit;
    }
    for (size_t i = 0; i < count; ++i) {
        uint8_t* point = chunk + kPanChunkHeaderBytes + i * kPanChunkPointBytes;
        Reverse(point, 4);
        Reverse(point + 4, 2);
    }
}

}  // namespace

std::optional<PanChunkBytes> BuildPanChunk(const std::vector<PanChunkPoint>& points,
                                           uint32_t frameCount, bool bCarriedFlag,
                                           uint16_t carriedValue) {
    if (points.empty() || points.size() > kPanChunkMaxPoints) {
        return std::nullopt;
    }
    PanChunkBytes chunk(PanChunkSize(points.size()), 0);
    Store<uint32_t>(chunk.data() + 0, kPanChunkVersion);
    Store<uint16_t>(chunk.data() + 4, static_cast<uint16_t>(points.size()));
    Store<uint32_t>(chunk.data() + 6, frameCount);
    Store<uint16_t>(chunk.data() + 10, bCarriedFlag ? 1 : 0);
    Store<uint16_t>(chunk.data() + 12, bCarriedFlag ? carriedValue : 0);
    uint8_t* out = chunk.data() + kPanChunkHeaderBytes;
    for (const PanChunkPoint& point : points) {
        Store<uint32_t>(out, point.position);
        Store<int16_t>(out + 4, static_cast<int16_t>(point.pan));
        out += kPanChunkPointBytes;
    }
    return chunk;
}

std::optional<PanChunkContents> ParsePanChunk(const PanChunkBytes& chunk) {
    if (chunk.size() < kPanChunkHeaderBytes) {
        return std::nullopt;
    }
    const uint8_t* p = chunk.data();
    PanChunkContents contents;
    contents.version = Load<uint32_t>(p + 0);
    contents.declaredCount = Load<uint16_t>(p + 4);
    contents.frameCount = Load<uint32_t>(p + 6);
    contents.carriedFlag = Load<uint16_t>(p + 10);
    contents.carriedValue = Load<uint16_t>(p + 12);
    const size_t fit = (chunk.size() - kPanChunkHeaderBytes) / kPanChunkPointBytes;
    const size_t count = contents.declaredCount < fit ? contents.declaredCount : fit;
    contents.points.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* point = p + kPanChunkHeaderBytes + i * kPanChunkPointBytes;
        contents.points.push_back({Load<uint32_t>(point), Load<int16_t>(point + 4)});
    }
    return contents;
}

uint16_t PanChunkPointCount(const PanChunkBytes& chunk) {
    return chunk.size() < kPanChunkHeaderBytes ? 0 : Load<uint16_t>(chunk.data() + 4);
}

void PanChunkFromBigEndian(uint8_t* chunk, size_t size) {
    if (size < kPanChunkHeaderBytes) {
        return;
    }
    ReverseHeader(chunk);
    ReversePoints(chunk, size, Load<uint16_t>(chunk + 4));
}

void PanChunkToBigEndian(uint8_t* chunk, size_t size) {
    if (size < kPanChunkHeaderBytes) {
        return;
    }
    ReversePoints(chunk, size, Load<uint16_t>(chunk + 4));
    ReverseHeader(chunk);
}
