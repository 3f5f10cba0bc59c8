// The indexed picture the stand-in host holds: 8-bit pixels and a palette
// of four-byte entries (blue, green, red, reserved) as a DIB colour table
// carries them. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxPaletteEntries = 256;

struct Picture {
    std::string name;             // shown in the window title
    int width = 0;
    int height = 0;
    int rowBytes = 0;             // width rounded up to four bytes, as in a DIB
    std::vector<uint8_t> pixels;  // top-down rows of rowBytes bytes
    std::vector<uint8_t> palette; // 4 bytes an entry, 1 to 256 entries
};

inline int paletteEntryCount(const Picture& picture) {
    return int(picture.palette.size() / 4);
}

// Paints the built-in picture: a landscape at sunset (sky, sun, far and near
// hills, a lake with the sun's reflection, a beach) in smooth, dithered
// gradients that use every one of its 256 palette entries.
void makeBuiltInPicture(Picture& picture);

// Reads an uncompressed 8-bit BMP file held in memory through readBitmapFile.
// False, with `problem` saying why, for anything else (other depths,
// compression, a file shorter than its headers say, a colour table of more
// than 256 entries).
bool readBmpPicture(const uint8_t* bytes, size_t size, Picture& picture, std::string& problem);
