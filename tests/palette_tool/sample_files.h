// Sample palette files for the palette tool's tests, built byte by byte here
// rather than by the tool's own writers, so that a fault in those writers
// cannot hide itself.
#pragma once

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

// An 8-bit BMP of width x height (negative height: top-down) with the given
// colour table; biClrUsed is the colour count, or 0 when `countAsZero` (then
// the table must hold 256 colours). Reserved bytes are 0xA0 + index and the
// pixels count through the palette, so that both show when moved.
inline std::vector<uint8_t> sampleBitmap(const std::vector<PaletteColour>& colours, int32_t width,
                                         int32_t height, uint32_t headerSize = 40,
                                         bool countAsZero = false) {
    const size_t rowBytes = (size_t(width) + 3) / 4 * 4;
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
    setU16(bytes, 28, 8);  // bits per pixel
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
        for (size_t x = 0; x < size_t(width); ++x)
            bytes[pixelOffset + row * rowBytes + x] =
                uint8_t((row * size_t(width) + x) % colours.size());
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
