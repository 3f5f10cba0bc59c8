// Reading and writing fixed-size integer fields in file and clipboard bytes.
// BMP, DIB, RIFF and GIF fields are little-endian; PNG and binary colour
// table (.act) fields are big-endian.
// The callers check bounds before they read; these only assemble bytes, so
// the results are the same on every host, whatever its own byte order.
#pragma once

#include <cstdint>
#include <vector>

inline uint16_t readU16LE(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t readU32LE(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline int32_t readS32LE(const uint8_t* p) { return int32_t(readU32LE(p)); }

inline uint16_t readU16BE(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

inline uint32_t readU32BE(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void writeU16LE(uint8_t* p, uint16_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

inline void writeU32LE(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

inline void writeU32BE(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * (3 - i)));
}

// Appending forms, for files built up front to back.
inline void appendU16LE(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

inline void appendU32LE(std::vector<uint8_t>& bytes, uint32_t value) {
    appendU16LE(bytes, uint16_t(value));
    appendU16LE(bytes, uint16_t(value >> 16));
}

inline void appendU16BE(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(uint8_t(value >> 8));
    bytes.push_back(uint8_t(value));
}

inline void appendU32BE(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 3; i >= 0; --i) bytes.push_back(uint8_t(value >> (8 * i)));
}
