#pragma once

#include <cstdint>

// Integers in a file's byte order, little-endian (RIFF) or big-endian (IFF): the one helper
// every reader and writer of the core uses. Loads take the first byte of the value; stores
// write exactly its width. Signed loads extend the sign.
namespace ByteOrder {

inline uint64_t LoadU(const uint8_t* at, int bytes, bool bBigEndian) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const uint64_t byte = at[bBigEndian ? i : bytes - 1 - i];
        value = value << 8 | byte;
    }
    return value;
}

inline void StoreU(uint8_t* at, uint64_t value, int bytes, bool bBigEndian) {
    for (int i = 0; i < bytes; ++i) {
        at[bBigEndian ? bytes - 1 - i : i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint16_t LoadU16(const uint8_t* at, bool bBigEndian) {
    return static_cast<uint16_t>(LoadU(at, 2, bBigEndian));
}
inline uint32_t LoadU32(const uint8_t* at, bool bBigEndian) {
    return static_cast<uint32_t>(LoadU(at, 4, bBigEndian));
}
inline uint64_t LoadU64(const uint8_t* at, bool bBigEndian) {
    return LoadU(at, 8, bBigEndian);
}
inline int16_t LoadS16(const uint8_t* at, bool bBigEndian) {
    return static_cast<int16_t>(LoadU16(at, bBigEndian));
}
inline int32_t LoadS24(const uint8_t* at, bool bBigEndian) {
    // The value at the top of 32 bits, so the shift down brings its sign with it.
    return static_cast<int32_t>(static_cast<uint32_t>(LoadU(at, 3, bBigEndian)) << 8) >> 8;
}
inline int32_t LoadS32(const uint8_t* at, bool bBigEndian) {
    return static_cast<int32_t>(LoadU32(at, bBigEndian));
}

inline void StoreU16(uint8_t* at, uint16_t value, bool bBigEndian) {
    StoreU(at, value, 2, bBigEndian);
}
inline void StoreU32(uint8_t* at, uint32_t value, bool bBigEndian) {
    StoreU(at, value, 4, bBigEndian);
}
inline void StoreU64(uint8_t* at, uint64_t value, bool bBigEndian) {
    StoreU(at, value, 8, bBigEndian);
}

}  // namespace ByteOrder
