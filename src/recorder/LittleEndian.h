// Little-endian field reads from the recorder file's bytes, right on any host.
#pragma once

#include <cstdint>

// The unsigned 16-bit value stored little-endian at p.
inline uint16_t nReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The unsigned 32-bit value stored little-endian at p.
inline uint32_t nReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
