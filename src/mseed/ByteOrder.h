// Byte-order helpers. Output records are big-endian whatever the host;
// nSwap16/nSwap32 reverse bytes unconditionally, nToBig16/nToBig32 (and
// their inverses nFromBig16/nFromBig32) swap only on a little-endian host.
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
