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

#include "byte_view.h"

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

// A colour line of a GIMP or JASC palette: where it begins and where its
// three values end. Writing the file back in its own format replaces just
// those bytes when the colour changed and keeps every other byte, line ends
// included, as it was.
struct PaletteColourLine {
    size_t start;      // first byte of the line
    size_t valuesEnd;  // first byte after the third value
};

// A palette file as read: its colours, plus what writing it back in its own
// format needs to leave every other byte as it was.
struct PaletteFile {
    // Moved, never copied: a copy's `bytes` would still point into the
    // original's heldBytes.
    PaletteFile() = default;
    PaletteFile(PaletteFile&&) = default;
    PaletteFile& operator=(PaletteFile&&) = default;
    PaletteFile(const PaletteFile&) = delete;
    PaletteFile& operator=(const PaletteFile&) = delete;

    PaletteFormat format = GimpPalette;
    std::vector<PaletteColour> colours;

    // The whole file as read, held by the caller (a mapped input file) or
    // in heldBytes; output pieces that keep bytes of the input point here.
    ByteView bytes;
    std::vector<uint8_t> heldBytes;

    // GIMP and JASC palettes: one entry per colour, in colour order.
    std::vector<PaletteColourLine> colourLines;

    // RIFF palettes and BMP images: the colour table of four-byte entries at
    // tableOffset is rewritten in place.
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

// A file to write, as pieces in file order: runs of the original file's bytes
// kept as they were, and runs of bytes made anew. An unchanged run of a large
// file is thus never copied on its way to the disk.
struct OutputPiece {
    bool kept;      // from PaletteFile::bytes; otherwise from PaletteOutput::fresh
    size_t offset;  // where the run begins in its source
    size_t size;
};

struct PaletteOutput {
    std::vector<uint8_t> fresh;
    std::vector<OutputPiece> pieces;
};

// Messages quote text from a file through this: at most kQuotedTextLength
// bytes followed by "..." when there were more, with the backslash and every
// byte outside printable ASCII written as an escape such as \x1b, so that a
// message stays one short line and sends nothing to the terminal.
constexpr size_t kQuotedTextLength = 40;

// Adds the run [from, to) of the original file to `output`, if not empty.
void keepRun(PaletteOutput& output, size_t from, size_t to);
std::string quotedText(const char* text, size_t length);

const char* formatDisplayName(PaletteFormat format);  // "GIMP palette", ...

// Recognises the format by the file's first bytes (never by its name) and
// reads it. Returns false with a one-line reason in `error` for anything
// malformed; the reason does not name the file. The palette points into
// `bytes`, which must outlive it.
bool parsePaletteBytes(ByteView bytes, PaletteFile& palette, std::string& error);
// The same for bytes the palette holds itself (pass them with std::move to
// hold just one copy of the file).
bool parsePalette(std::vector<uint8_t> bytes, PaletteFile& palette, std::string& error);

// Writes `colours` as a palette file of `format`. When `format` is the one
// `original` was read in, the file is `original` with its colours replaced and
// every other byte kept (a text line whose colour is unchanged stays as it
// was); otherwise a fresh file is made: `paletteName` names a new GIMP palette,
// and a new BMP is a one-row image with one pixel per colour.
// `colours` has as many entries as `original.colours`. Returns false with a
// reason when the colours cannot be stored in that format. A new GIMP palette
// keeps only the printable characters of `paletteName`.
bool writePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                  PaletteFormat format, const std::string& paletteName, std::vector<uint8_t>& out,
                  std::string& error);

// What writePalette writes, as pieces that point into original.bytes and
// output.fresh.
bool composePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                    PaletteFormat format, const std::string& paletteName, PaletteOutput& output,
                    std::string& error);
