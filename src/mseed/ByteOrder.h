// Byte-order helpers. Output records are big-endian whatever the host;
// nSwap16/nSwap32 reverse bytes unconditionally, nToBig16/nToBig32 (and
// their inverses nFromBig16/nFromBig32) swap only on a little-endian host.
// Records read from elsewhere may be of either order: nLoad16/nLoad32 read
// a number stored in the order given, whatever the host's.
#pragma once

#include <bit>
#include <cstdint>

// Reverses the two bytes of v.
constexpr uint16_t nSwap16(uint16_t v) {
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}

// Reverses the four bytes of v: b0 b1 b2 b3 become b3 b2 b1 b0.
constexpr uint32_t nSwap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

constexpr bool bHostIsLittleEndian = std::endian::native == std::endian::little;

// Host order to big-endian (and back: the conversion is its own inverse).
constexpr uint16_t nToBig16(uint16_t v) {
    return bHostIsLittleEndian ? nSwap16(v) : v;
}
constexpr uint32_t nToBig32(uint32_t v) {
    return bHostIsLittleEndian ? nSwap32(v) : v;
}
constexpr uint16_t nFromBig16(uint16_t v) {
    return nToBig16(v);
}
constexpr uint32_t nFromBig32(uint32_t v) {
    return nToBig32(v);
}

// The 16-bit number stored at p, big-endian when bBig, else little-endian.
constexpr uint16_t nLoad16(const unsigned char* p, bool bBig) {
    return bBig ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

// The 32-bit number stored at p, big-endian when bBig, else little-endian.
constexpr uint32_t nLoad32(const unsigned char* p, bool bBig) {
    const uint32_t nHigh = nLoad16(p + (bBig ? 0 : 2), bBig);
    const uint32_t nLow = nLoad16(p + (bBig ? 2 : 0), bBig);
    return nHigh << 16 | nLow;
}
