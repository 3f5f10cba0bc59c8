// A small bitmap font for the words of the preview picture: 5 x 9 cells
// (7 rows above the baseline, 2 below), drawn at a whole-number scale.
#pragma once

#include <cstdint>
#include <string>

constexpr int kGlyphColumns = 5, kGlyphRows = 9, kGlyphBaselineRows = 7;

// Whether the pixel at (column, row) of the character's cell is ink. Letters
// the font lacks, and spaces, have none.
bool glyphInk(char character, int column, int row);

// Width in font pixels of `text` with one blank column between letters.
int textColumns(const std::string& text);
