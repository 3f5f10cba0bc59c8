// Sample palette files for the palette tool's tests, built byte by byte here
// rather than by the tool's own writers, so that a fault in those writers
// cannot hide itself.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "palette_files.h"

// The colours of data/dusk.gpl and data/dusk.pal, in order. Entries 0..8 are
// the greys 0, 4, 50, 51, 100, 128, 204, 205, 255 (the range edges of the
// default thresholds), then pure red, green and blue, then ordinary colours.
inline std::vector<PaletteColour> duskColours() {
    return {{0, 0, 0},       {4, 4, 4},       {50, 50, 50},    {51, 51, 51},    {100, 100, 100},
            {128, 128, 128}, {204, 204, 204}, {205, 205, 205}, {255, 255, 255}, {255, 0, 0},
            {0, 255, 0},     {0, 0, 255},     {34, 32, 52},    {69, 40, 60},    {102, 57, 49},
            {143, 86, 59},   {223, 113, 38},  {217, 160, 102}, {238, 195, 154}, {251, 242, 54},
            {153, 229, 80},  {106, 190, 48},  {55, 148, 110},  {75, 105, 47},   {82, 75, 36},
            {50, 60, 57},    {63, 63, 116},   {48, 96, 130},   {91, 110, 225},  {99, 155, 255},
            {95, 205, 228},  {203, 219, 252}};
}
constexpr size_t kDuskGrey4 = 1, kDuskGrey50 = 2, kDuskGrey51 = 3, kDuskGrey100 = 4,
                 kDuskGrey128 = 5, kDuskGrey204 = 6, kDuskGrey205 = 7, kDuskWhite = 8;

inline void setU16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

inline void setU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    setU16(bytes, at, value & 0xFFFF);
    setU16(bytes, at + 2, value >> 16);
}

inline std::vector<uint8_t> withU16(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    setU16(bytes, at, value);
    return bytes;
}

inline std::vector<uint8_t> withU32(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    setU32(bytes, at, value);
    return bytes;
}

inline std::vector<uint8_t> cutTo(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

inline void appendText(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

inline std::vector<uint8_t> textBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Where the colour table of sampleBitmap's image begins.
inline size_t sampleBitmapTableOffset(uint32_t headerSize = 40) { return 14 + headerSize; }

// A BMP of `bits` (1, 4 or 8) bits a pixel and width x height (negative
// height: top-down) with the given colour table; biClrUsed is the colour
// count, or 0 when `countAsZero` (then the table must hold 2^bits colours).
// Reserved bytes are 0xA0 + index and the pixels count through the palette,
// so that both show when moved.
inline std::vector<uint8_t> sampleBitmap(const std::vector<PaletteColour>& colours, int32_t width,
                                         int32_t height, uint32_t headerSize = 40,
                                         bool countAsZero = false, unsigned bits = 8) {
    const size_t rowBytes = (size_t(width) * bits + 31) / 32 * 4;
    const size_t rows = size_t(height < 0 ? -height : height);
    const size_t pixelOffset = 14 + headerSize + 4 * colours.size();
    std::vector<uint8_t> bytes(pixelOffset + rowBytes * rows, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    setU32(bytes, 2, uint32_t(bytes.size()));
    setU32(bytes, 10, uint32_t(pixelOffset));
    setU32(bytes, 14, headerSize);
    setU32(bytes, 18, uint32_t(width));
    setU32(bytes, 22, uint32_t(height));
    setU16(bytes, 26, 1);  // planes
    setU16(bytes, 28, bits);
    setU32(bytes, 34, uint32_t(rowBytes * rows));
    setU32(bytes, 46, countAsZero ? 0 : uint32_t(colours.size()));
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* entry = &bytes[14 + headerSize + 4 * i];
        entry[0] = colours[i].blue;
        entry[1] = colours[i].green;
        entry[2] = colours[i].red;
        entry[3] = uint8_t(0xA0 + i);
    }
    for (size_t row = 0; row < rows; ++row)
        for (size_t x = 0; x < size_t(width); ++x)  // the leftmost pixel in the top bits
            bytes[pixelOffset + row * rowBytes + x * bits / 8] |=
                uint8_t((row * size_t(width) + x) % colours.size() << (8 - bits - x * bits % 8));
    return bytes;
}

// A RIFF palette; with `extraChunks`, an odd-sized chunk (padded) before the
// "data" chunk and one after it. Flags bytes are 0x10 + index.
inline std::vector<uint8_t> sampleRiff(const std::vector<PaletteColour>& colours,
                                       bool extraChunks = false) {
    std::vector<uint8_t> bytes;
    appendText(bytes, "RIFF....PAL ");
    if (extraChunks) appendText(bytes, std::string("note\x03\0\0\0abc\0", 12));
    appendText(bytes, "data....");
    const size_t dataSizeAt = bytes.size() - 4;
    bytes.push_back(0x00);
    bytes.push_back(0x03);  // palVersion 0x0300
    bytes.push_back(uint8_t(colours.size()));
    bytes.push_back(uint8_t(colours.size() >> 8));
    for (size_t i = 0; i < colours.size(); ++i) {
        bytes.push_back(colours[i].red);
        bytes.push_back(colours[i].green);
        bytes.push_back(colours[i].blue);
        bytes.push_back(uint8_t(0x10 + i));
    }
    setU32(bytes, dataSizeAt, uint32_t(bytes.size() - dataSizeAt - 4));
    if (extraChunks) appendText(bytes, std::string("tail\x04\0\0\0wxyz", 12));
    setU32(bytes, 4, uint32_t(bytes.size() - 8));
    return bytes;
}

inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

inline bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

inline bool sameColours(const std::vector<PaletteColour>& a, const std::vector<PaletteColour>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].red != b[i].red || a[i].green != b[i].green || a[i].blue != b[i].blue)
            return false;
    return true;
}

inline std::string colourText(const PaletteColour& colour) {
    return "(" + std::to_string(colour.red) + ", " + std::to_string(colour.green) + ", " +
           std::to_string(colour.blue) + ")";
}

// ---- Indexed pictures, built here with zlib but none of the tool's code ----

inline void appendU32Big(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(value >> shift));
}

inline void appendPngChunk(std::vector<uint8_t>& png, const char* type,
                           const std::vector<uint8_t>& data) {
    appendU32Big(png, uint32_t(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    appendU32Big(png, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// Where the PLTE chunk of samplePng's picture begins (after the signature and IHDR).
constexpr size_t kSamplePngPaletteChunk = 8 + 25;

// An indexed PNG of width x height at `depth` bits with the given PLTE
// colours: pixel values count through the palette, and a tEXt chunk (and a tRNS chunk with
// `transparency`) lies between PLTE and IDAT, which is split in two.
inline std::vector<uint8_t> samplePng(const std::vector<PaletteColour>& colours, int depth,
                                      uint32_t width, uint32_t height, bool transparency = false) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    appendU32Big(header, width);
    appendU32Big(header, height);
    for (uint8_t byte : {uint8_t(depth), uint8_t(3), uint8_t(0), uint8_t(0), uint8_t(0)})
        header.push_back(byte);
    appendPngChunk(png, "IHDR", header);
    std::vector<uint8_t> table;
    for (const PaletteColour& colour : colours)
        for (uint8_t value : {colour.red, colour.green, colour.blue}) table.push_back(value);
    appendPngChunk(png, "PLTE", table);
    if (transparency) appendPngChunk(png, "tRNS", {0, 128, 255});
    appendPngChunk(png, "tEXt", textBytes(std::string("Comment\0sample", 14)));
    const size_t used = std::min<size_t>(colours.size(), size_t(1) << depth);
    const size_t stride = (width * depth + 7) / 8;
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);  // filter type None
        std::vector<uint8_t> row(stride, 0);
        for (uint32_t x = 0; x < width; ++x) {
            const size_t value = (y * width + x) % used;
            row[x * depth / 8] |= uint8_t(value << (8 - depth - (x * depth) % 8));
        }
        rows.insert(rows.end(), row.begin(), row.end());
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, rows.data(), uLong(rows.size()));
    packed.resize(packedSize);
    const size_t half = packed.size() / 2;
    appendPngChunk(png, "IDAT", std::vector<uint8_t>(packed.begin(), packed.begin() + half));
    appendPngChunk(png, "IDAT", std::vector<uint8_t>(packed.begin() + half, packed.end()));
    appendPngChunk(png, "IEND", {});
    return png;
}

// GIF image data for `pixels`: every pixel its own code, with a clear code
// often enough that the code width never grows.
inline void appendGifImageData(std::vector<uint8_t>& gif, const std::vector<uint8_t>& pixels,
                               unsigned minimumCodeSize) {
    const unsigned clear = 1u << minimumCodeSize, width = minimumCodeSize + 1;
    std::vector<unsigned> codes = {clear};
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i > 0 && i % (clear - 2) == 0) codes.push_back(clear);
        codes.push_back(pixels[i]);
    }
    codes.push_back(clear + 1);
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    unsigned count = 0;
    for (unsigned code : codes)
        for (bits |= code << count, count += width; count >= 8; count -= 8, bits >>= 8)
            data.push_back(uint8_t(bits));
    if (count > 0) data.push_back(uint8_t(bits));
    gif.push_back(uint8_t(minimumCodeSize));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t length = std::min<size_t>(255, data.size() - at);
        gif.push_back(uint8_t(length));
        gif.insert(gif.end(), data.begin() + at, data.begin() + at + length);
    }
    gif.push_back(0);
}

// A two-frame 89a GIF of 6 x 4: a global table of `global` colours (a power
// of two), a graphic control and a comment extension, frame 1 drawn from the
// global table and frame 2 with a local table of `local` colours (a power of
// two; none when empty). Pixel values count through each frame's table.
inline std::vector<uint8_t> sampleGif(const std::vector<PaletteColour>& global,
                                      const std::vector<PaletteColour>& local) {
    auto sizeBits = [](size_t count) {
        uint8_t bits = 0;
        while ((size_t(2) << bits) < count) ++bits;
        return bits;
    };
    auto appendTable = [](std::vector<uint8_t>& gif, const std::vector<PaletteColour>& table) {
        for (const PaletteColour& colour : table)
            for (uint8_t value : {colour.red, colour.green, colour.blue}) gif.push_back(value);
    };
    std::vector<uint8_t> gif = textBytes("GIF89a");
    for (uint8_t byte : {6, 0, 4, 0}) gif.push_back(byte);
    gif.push_back(uint8_t(0xF0 | sizeBits(global.size())));
    gif.push_back(0);
    gif.push_back(0);
    appendTable(gif, global);
    appendText(gif, std::string("\x21\xF9\x04\x04\x0A\x00\x01\x00", 8));  // graphic control
    appendText(gif, std::string("\x21\xFE\x05hello\x00", 9));             // comment
    for (int frame = 0; frame < 2; ++frame) {
        const bool hasLocal = frame == 1 && !local.empty();
        const std::vector<PaletteColour>& table = hasLocal ? local : global;
        appendText(gif, std::string("\x2C\0\0\0\0\x06\0\x04\0", 9));
        gif.push_back(hasLocal ? uint8_t(0x80 | sizeBits(local.size())) : 0);
        if (hasLocal) appendTable(gif, local);
        std::vector<uint8_t> pixels;
        for (size_t i = 0; i < 24; ++i) pixels.push_back(uint8_t(i % table.size()));
        appendGifImageData(gif, pixels, std::max<unsigned>(2, sizeBits(table.size()) + 1));
    }
    gif.push_back(0x3B);
    return gif;
}

// A colour table file: 256 triples, then with `count` the count and a
// transparent index.
inline std::vector<uint8_t> sampleColourTable(const std::vector<PaletteColour>& colours,
                                              bool count) {
    std::vector<uint8_t> bytes(768, 0x5A);
    for (size_t i = 0; i < colours.size(); ++i) {
        bytes[3 * i] = colours[i].red;
        bytes[3 * i + 1] = colours[i].green;
        bytes[3 * i + 2] = colours[i].blue;
    }
    if (count)
        for (uint8_t byte :
             {uint8_t(colours.size() >> 8), uint8_t(colours.size()), uint8_t(0), uint8_t(3)})
            bytes.push_back(byte);
    return bytes;
}
