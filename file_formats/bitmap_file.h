// The layout of an indexed BMP file held in memory: a 14-byte file
// header, an info header laid out as BITMAPINFOHEADER, a colour table of
// blue-green-red-reserved entries right after it, then the pixels. Read by
// the stand-in host (its picture) and by palette-balance (the colour table
// as a palette). Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kBitmapRgb = 0;   // BI_RGB: rows of packed pixels, padded to four bytes
constexpr uint32_t kBitmapRle8 = 1;  // BI_RLE8: run-length encoded 8-bit pixels
constexpr size_t kBitmapMaxColours = 256;
constexpr int32_t kBitmapMaxSide = 16384;

struct BitmapFile {
    int32_t width = 0;
    int32_t height = 0;         // negative: the rows run top-down
    uint32_t bitsPerPixel = 0;  // 1, 4 or 8; a row's first pixel in its first byte's top bits
    uint32_t compression = 0;   // kBitmapRgb, or kBitmapRle8 with 8 bits a pixel
    size_t tableOffset = 0;     // the colour table, from the start of the file
    size_t colourCount = 0;     // 1 to 2^bitsPerPixel (biClrUsed 0 means all of them)
    size_t pixelOffset = 0;
    size_t rowBytes = 0;        // of an uncompressed row
    size_t rows = 0;
};

// Reads and checks the headers of `bytes`: the signature "BM", a known info
// header size (40, 52, 56, 108 or 124), 1, 4 or 8 bits per pixel, BI_RGB (or
// BI_RLE8 with 8 bits), a size of 1 to 16384 pixels a side, at most as many
// colours as the pixels can index, a colour table
// that ends before the pixels and pixel data that the file holds in full.
// False with a one-line reason in `error` otherwise.
bool readBitmapFile(const uint8_t* bytes, size_t size, BitmapFile& bitmap, std::string& error);
