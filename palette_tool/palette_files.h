// Palette files that the palette tool reads and writes: GIMP palettes (.gpl),
// JASC palettes ("JASC-PAL"), Microsoft RIFF palettes ("RIFF" "PAL ") and
// 8-bit indexed BMP images, whose colour table is the palette. Everything here
// works on bytes in memory; file_access.h moves them to and from disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum PaletteFormat { GimpPalette, JascPalette, RiffPalette, IndexedBitmap };

struct PaletteColour {
    uint8_t red, green, blue;
};

// Text formats hold at most this many colours; RIFF palettes count them in
// 16 bits, and the balance works on one in-memory palette image of them all.
constexpr size_t kMaxPaletteColours = 65536;
// An 8-bit BMP colour table holds at most 256 entries.
constexpr size_t kMaxBitmapColours = 256;

// One line of a GIMP or JASC palette, kept as read so that writing the file
// back in its own format changes only the lines whose colour changed.
struct PaletteTextLine {
    std::string text;  // without its line end
    long colour;       // index into PaletteFile::colours, or -1 for a line without one
    size_t nameStart;  // GIMP colour lines: where the part after the three values begins
};

// A palette file as read: its colours, plus what writing it back in its own
// format needs to leave every other byte as it was.
struct PaletteFile {
    PaletteFormat format = GimpPalette;
    std::vector<PaletteColour> colours;

    // GIMP and JASC palettes.
    std::vector<PaletteTextLine> lines;
    bool crlfLineEnds = false;  // the first line ended in CR LF
    bool finalLineEnd = true;   // the last line had a line end

    // RIFF palettes and BMP images: the whole file; the colour table of
    // four-byte entries at tableOffset is rewritten in place.
    std::vector<uint8_t> bytes;
    size_t tableOffset = 0;
};

const char* formatDisplayName(PaletteFormat format);  // "GIMP palette", ...

// Recognises the format by the file's first bytes (never by its name) and
// reads it. Returns false with a one-line reason in `error` for anything
// malformed; the reason does not name the file.
bool parsePalette(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error);

// Writes `colours` as a palette file of `format`. When `format` is the one
// `original` was read in, the file is `original` with its colours replaced and
// every other byte kept (a text line whose colour is unchanged stays as it
// was); otherwise a fresh file is made: `paletteName` names a new GIMP palette,
// and a new BMP is a one-row image with one pixel per colour.
// `colours` has as many entries as `original.colours`. Returns false with a
// reason when the colours cannot be stored in that format.
bool writePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                  PaletteFormat format, const std::string& paletteName, std::vector<uint8_t>& out,
                  std::string& error);
