// A palette image is a packed device-independent bitmap exactly as the
// clipboard format CF_DIB carries it: a 40-byte BITMAPINFOHEADER, a colour
// table of biClrUsed four-byte entries (blue, green, red, reserved) starting
// at byte 40, then the pixel data. Platform-free: the header is read byte by
// byte, little-endian, so this builds and is fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kPaletteHeaderBytes = 40;
constexpr int32_t kPaletteEntryBytes = 4;

// Header fields that the plugin reads.
int32_t paletteHeaderSize(const uint8_t* block);    // biSize
int32_t paletteWidth(const uint8_t* block);         // biWidth
int32_t paletteHeight(const uint8_t* block);        // biHeight
uint32_t paletteColourCount(const uint8_t* block);  // biClrUsed

// Length of a palette image by the host's size rule,
// biSize + 4 * (biWidth * biHeight + biClrUsed), evaluated in 64-bit
// arithmetic (exactly, up to +-2^62). The rule assumes four bytes per pixel;
// the result may be negative or huge for a header that does not describe
// such an image.
int64_t paletteSizeRule(const uint8_t* block);

// How many bytes of a clipboard block of `available` bytes to copy: the size
// rule's length, or the whole block where the rule asks for more than the
// block holds or for less than the header and its colour table; at most
// INT32_MAX. Returns -1 for a
// block too short to hold the 40-byte header, which cannot be a palette image.
int32_t boundedPaletteBytes(const uint8_t* block, size_t available);

// Number of colour-table entries that lie wholly inside a block of
// `blockBytes` bytes, at most the header's biClrUsed; 0 for a block shorter
// than the header.
uint32_t usablePaletteEntries(const uint8_t* block, int32_t blockBytes);
