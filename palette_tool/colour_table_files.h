// Two plain palette formats: hex lists (.hex), one RRGGBB colour per line as
// palette sites publish them, and binary colour tables (.act), 256 red-green-
// blue triples optionally followed by a big-endian colour count and
// transparent index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palette_files.h"

// The first line holds a colour as RRGGBB (optionally after '#').
bool looksLikeHexPalette(ByteView bytes);
// Blank lines are allowed anywhere; every other line is one colour.
bool parseHexPalette(ByteView bytes, PaletteFile& palette, std::string& error);
// `original` with the digits of each changed colour rewritten in the case
// its line used: runs of the original around the new digits.
void rewriteHexPalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                       PaletteOutput& output);
std::vector<uint8_t> freshHexPalette(const std::vector<PaletteColour>& colours);

// 768 bytes, or 772 with the count and transparent index.
bool hasColourTableSize(ByteView bytes);
bool parseColourTable(ByteView bytes, PaletteFile& palette, std::string& error);
// Any file whose colours lie in `rgbTables`, written back: each table's
// triples anew, every other byte kept.
void rewriteRgbTables(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                      PaletteOutput& output);
// Appends colours[first, first + count) to `bytes` as red-green-blue triples.
void appendRgbTriples(const std::vector<PaletteColour>& colours, size_t first, size_t count,
                      std::vector<uint8_t>& bytes);
// 256 colours as 768 bytes; fewer as 772 bytes with the count, no
// transparent colour (0xFFFF) and the unused entries black.
bool freshColourTable(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
                      std::string& error);
