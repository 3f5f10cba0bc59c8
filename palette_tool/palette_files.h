// Palette files that the palette tool reads and writes: GIMP palettes (.gpl),
// JASC palettes ("JASC-PAL"), Microsoft RIFF palettes ("RIFF" "PAL "), 8-bit
// indexed BMP images, whose colour table is the palette, indexed PNG and GIF
// pictures (png_palette.h, gif_palette.h), hex lists and binary colour tables
// (colour_table_files.h). Everything here works on bytes in memory;
// file_access.h moves them to and from disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum PaletteFormat {
    GimpPalette,
    JascPalette,
    RiffPalette,
    IndexedBitmap,
    IndexedPng,
    IndexedGif,
    HexPalette,
    ActPalette
};

struct PaletteColour {
    uint8_t red, green, blue;
};

// Text formats hold at most this many colours; RIFF palettes count them in
// 16 bits, and the balance works on one in-memory palette image of them all.
constexpr size_t kMaxPaletteColours = 65536;
// An 8-bit BMP colour table holds at most 256 entries, as do a PNG's PLTE
// chunk, each GIF colour table and a binary colour table file.
constexpr size_t kMaxBitmapColours = 256;

// Red-green-blue triples lying one after another in a file's bytes: a PNG's
// PLTE chunk, a GIF colour table, a binary colour table.
struct RgbTableSpan {
    size_t offset;  // of the first triple
    size_t count;   // of triples
};

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
    // PNG, GIF, hex and colour table files keep their whole file here too.
    std::vector<uint8_t> bytes;
    size_t tableOffset = 0;

    // PNG, GIF and colour table files: every table of triples, in the order
    // their colours appear in `colours` (a GIF's global table, then the local
    // table of each frame that has one).
    std::vector<RgbTableSpan> rgbTables;
    size_t paletteChunkOffset = 0;  // PNG: the PLTE chunk's length field, to redo its CRC

    // Hex lists: where each colour's six digits begin.
    std::vector<size_t> hexDigitOffsets;

    // Pictures (BMP, PNG, GIF): where the preview finds the picture to draw
    // (BMP: unused; PNG: the IHDR chunk's data; GIF: the first frame's image
    // descriptor) and which entries of `colours` its pixel values select.
    size_t pictureOffset = 0;
    size_t pictureColourStart = 0;
    size_t pictureColourCount = 0;
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
