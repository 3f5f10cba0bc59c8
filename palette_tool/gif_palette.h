// GIF pictures (87a and 89a) as palette files: the palette is the global
// colour table followed by the local table of every frame that has one.
// Rewriting changes only those tables; image data, extensions and comments
// stay byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palette_files.h"
#include "picture_pixels.h"

bool hasGifSignature(ByteView bytes);

// Walks the whole block structure, checking every block against the end of
// the file, and collects the colour tables.
bool parseGif(ByteView bytes, PaletteFile& palette, std::string& error);

// A one-row GIF with one pixel per colour; the global table is padded with
// black to the power of two a GIF table needs.
bool freshGif(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
              std::string& error);

// The colour table index of every pixel of the first frame (LZW decoded,
// interlaced rows put in order).
bool decodeGifPixels(const PaletteFile& palette, PicturePixels& picture, std::string& error);
