#pragma once

#include <cstdint>
#include <cstring>

// Byte layouts of the table files, decoded and encoded in one place. Control
// structures are little-endian; values inside records are big-endian.
namespace paradox::bytes {

inline uint16_t u16le(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t u32le(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }
inline uint64_t u64le(const uint8_t* p) { return u32le(p) | uint64_t(u32le(p + 4)) << 32; }
inline int16_t s16le(const uint8_t* p) { return int16_t(u16le(p)); }

inline void putU16le(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putU32le(uint8_t* p, uint32_t v)
{
    putU16le(p, uint16_t(v));
    putU16le(p + 2, uint16_t(v >> 16));
}
inline void putU64le(uint8_t* p, uint64_t v)
{
    putU32le(p, uint32_t(v));
    putU32le(p + 4, uint32_t(v >> 32));
}

inline uint64_t uBE(const uint8_t* p, int n)
{
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}
inline void putUBE(uint8_t* p, int n, uint64_t v)
{
    for (int i = n - 1; i >= 0; --i) {
        p[i] = uint8_t(v);
        v >>= 8;
    }
}

// Integers inside records and index entries: big-endian with the sign bit
// flipped, so that their bytes sort as the numbers do.
inline int64_t sortableSigned(const uint8_t* p, int n)
{
    const uint64_t raw = uBE(p, n) ^ (uint64_t(0x80) << (8 * (n - 1)));
    const int shift = 64 - 8 * n;
    return int64_t(raw << shift) >> shift;
}
inline void putSortableSigned(uint8_t* p, int n, int64_t v)
{
    putUBE(p, n, uint64_t(v) ^ (uint64_t(0x80) << (8 * (n - 1))));
}

inline bool allZero(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

} // namespace paradox::bytes
