// Indexed PNG pictures (colour type 3, bit depths 1 to 8) as palette files:
// the PLTE chunk is the palette. Rewriting changes only PLTE's colours and
// its CRC; every other chunk stays byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palette_files.h"
#include "picture_pixels.h"

bool hasPngSignature(ByteView bytes);

// Checks every chunk's length and CRC, and refuses a PNG without a palette.
bool parsePng(ByteView bytes, PaletteFile& palette, std::string& error);

// `original` (read by parsePng) with its PLTE colours replaced.
void rewritePng(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                PaletteOutput& output);

// A one-row 8-bit indexed PNG with one pixel per colour, in palette order.
bool freshPng(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
              std::string& error);

// The palette index of every pixel of a PNG read by parsePng (inflated and
// unfiltered, interlaced passes put in place).
bool decodePngPixels(const PaletteFile& palette, PicturePixels& picture, std::string& error);
