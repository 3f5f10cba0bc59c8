#include "palette_files.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "colour_table_files.h"
#include "gif_palette.h"
#include "png_palette.h"

#include "bitmap_file.h"
#include "byte_fields.h"

namespace {

// ---- Bytes ---------------------------------------------------------------

void putText(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

bool startsWith(ByteView bytes, const char* magic) {
    const size_t length = std::strlen(magic);
    return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

// A four-character code for a message, with anything unprintable as '?'.
std::string fourCharacterCode(ByteView bytes, size_t at) {
    std::string code;
    for (size_t i = at; i < at + 4; ++i)
        code += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? char(bytes[i]) : '?';
    return code;
}


// ---- Text lines ------------------------------------------------------------

// Text palettes are read in place, one line at a time: a line is a view into
// PaletteFile::bytes, and only the colour lines leave a record behind.
using Text = std::string_view;

Text textOf(ByteView bytes) {
    return Text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Walks a file from line to line. Lines end at LF; a CR right before the LF
// belongs to the line end.
struct LineReader {
    Text file;
    size_t next = 0;    // where the next line begins
    size_t number = 0;  // of the line last read, from 1
};

bool readLine(LineReader& reader, Text& line, size_t& start) {
    if (reader.next >= reader.file.size()) return false;
    start = reader.next;
    const size_t lineFeed = reader.file.find('\n', start);
    size_t end = lineFeed == Text::npos ? reader.file.size() : lineFeed;
    reader.next = lineFeed == Text::npos ? reader.file.size() : lineFeed + 1;
    if (lineFeed != Text::npos && end > start && reader.file[end - 1] == '\r') --end;
    line = reader.file.substr(start, end - start);
    ++reader.number;
    return true;
}

Text trimmedRight(Text text) {
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

bool isBlankLine(Text text) { return trimmedRight(text).empty(); }

// Finds the next whitespace-separated token at or after `from`; false when
// only blanks are left.
bool nextToken(Text text, size_t from, size_t& begin, size_t& end) {
    begin = from;
    while (begin < text.size() && isBlank(text[begin])) ++begin;
    if (begin == text.size()) return false;
    end = begin;
    while (end < text.size() && !isBlank(text[end])) ++end;
    return true;
}

std::string quoted(Text text) { return quotedText(text.data(), text.size()); }

std::string linePrefix(size_t lineNumber) { return "line " + std::to_string(lineNumber) + ": "; }

// A colour value: decimal digits only, 0 to 255.
bool parseColourValue(Text token, size_t lineNumber, uint8_t& value, std::string& error) {
    unsigned long parsed = 0;
    for (char c : token) {
        if (c < '0' || c > '9') {
            error = linePrefix(lineNumber) + "'" + quoted(token) +
                    "' is not a colour value (a whole number from 0 to 255)";
            return false;
        }
        if (parsed <= 255) parsed = parsed * 10 + unsigned(c - '0');
    }
    if (parsed > 255) {
        error = linePrefix(lineNumber) + "colour value " + quoted(token) +
                " is out of range (0 to 255)";
        return false;
    }
    value = uint8_t(parsed);
    return true;
}

// Reads "red green blue" at the start of a line; `valuesEnd` is where the
// text after the third value begins.
bool parseColourLine(Text text, size_t lineNumber, PaletteColour& colour, size_t& valuesEnd,
                     std::string& error) {
    uint8_t values[3];
    size_t begin = 0, end = 0;
    for (uint8_t& value : values) {
        if (!nextToken(text, end, begin, end)) {
            error = linePrefix(lineNumber) + "expected red, green and blue values";
            return false;
        }
        if (!parseColourValue(text.substr(begin, end - begin), lineNumber, value, error))
            return false;
    }
    colour = {values[0], values[1], values[2]};
    valuesEnd = end;
    return true;
}

bool sameColour(const PaletteColour& a, const PaletteColour& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool startsWith(Text text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

void addColourLine(PaletteFile& palette, const PaletteColour& colour, size_t start,
                   size_t valuesEnd) {
    palette.colours.push_back(colour);
    palette.colourLines.push_back({start, start + valuesEnd});
}

// ---- GIMP palettes ----------------------------------------------------------

const char kGimpMagic[] = "GIMP Palette";

// After the magic line: "Name:" and "Columns:" lines before the first colour,
// comments ('#') and blank lines anywhere, and colour lines "R G B name".
bool parseGimp(PaletteFile& palette, std::string& error) {
    LineReader reader{textOf(palette.bytes)};
    Text line;
    size_t start = 0;
    if (!readLine(reader, line, start) || trimmedRight(line) != kGimpMagic) {
        error = "line 1: expected 'GIMP Palette'";
        return false;
    }
    bool inHeader = true;
    while (readLine(reader, line, start)) {
        size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        if (first == line.size() || line[first] == '#') continue;
        if (inHeader && (startsWith(line, "Name:") || startsWith(line, "Columns:"))) continue;
        inHeader = false;
        PaletteColour colour;
        size_t valuesEnd = 0;
        if (!parseColourLine(line, reader.number, colour, valuesEnd, error)) return false;
        if (palette.colours.size() == kMaxPaletteColours) {
            error = "more than " + std::to_string(kMaxPaletteColours) + " colours";
            return false;
        }
        addColourLine(palette, colour, start, valuesEnd);
    }
    return true;
}

std::string gimpColourText(const PaletteColour& colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d %3d %3d", colour.red, colour.green, colour.blue);
    return text;
}

// A name on the "Name:" line: no line break nor other control character may
// reach the file, where it would start a line of its own.
std::string printableName(const std::string& name) {
    std::string printable;
    for (char c : name)
        if (uint8_t(c) >= 0x20 && uint8_t(c) != 0x7F) printable += c;
    return printable;
}

std::vector<uint8_t> freshGimp(const std::vector<PaletteColour>& colours, const std::string& name) {
    std::string text = std::string(kGimpMagic) + "\nName: " + printableName(name) + "\n#\n";
    for (size_t i = 0; i < colours.size(); ++i)
        text += gimpColourText(colours[i]) + "\tIndex " + std::to_string(i) + "\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

// ---- JASC palettes ------------------------------------------------------------

const char kJascMagic[] = "JASC-PAL";
const char kJascVersion[] = "0100";

// "JASC-PAL", "0100", the colour count, then exactly that many "R G B"
// lines; only blank lines may follow them.
bool parseJasc(PaletteFile& palette, std::string& error) {
    LineReader reader{textOf(palette.bytes)};
    Text line;
    size_t start = 0;
    if (!readLine(reader, line, start) || trimmedRight(line) != kJascMagic) {
        error = "line 1: expected 'JASC-PAL'";
        return false;
    }
    if (!readLine(reader, line, start)) {
        error = "truncated: the version line is missing";
        return false;
    }
    if (trimmedRight(line) != kJascVersion) {
        error = "line 2: unsupported JASC-PAL version '" + quoted(trimmedRight(line)) +
                "' (expected 0100)";
        return false;
    }
    if (!readLine(reader, line, start)) {
        error = "truncated: the colour count line is missing";
        return false;
    }
    size_t begin = 0, end = 0, after = 0, dummy = 0;
    bool countOk = nextToken(line, 0, begin, end) && !nextToken(line, end, after, dummy);
    unsigned long count = 0;
    for (size_t i = begin; countOk && i < end; ++i) {
        if (line[i] < '0' || line[i] > '9')
            countOk = false;
        else if (count <= kMaxPaletteColours)
            count = count * 10 + unsigned(line[i] - '0');
    }
    if (!countOk) {
        error = "line 3: colour count '" + quoted(trimmedRight(line)) + "' is not a number";
        return false;
    }
    if (count > kMaxPaletteColours) {
        error = "line 3: colour count " + quoted(line.substr(begin, end - begin)) +
                " is more than " + std::to_string(kMaxPaletteColours);
        return false;
    }
    palette.colours.reserve(count);
    palette.colourLines.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (!readLine(reader, line, start)) {
            error = "truncated: the count says " + std::to_string(count) + " colours, the file has " +
                    std::to_string(i) + " colour lines";
            return false;
        }
        PaletteColour colour;
        size_t valuesEnd = 0;
        if (!parseColourLine(line, reader.number, colour, valuesEnd, error)) return false;
        if (nextToken(line, valuesEnd, begin, end)) {
            error = linePrefix(reader.number) +
                    "expected only red, green and blue values, found '" +
                    quoted(line.substr(begin, end - begin)) + "' after them";
            return false;
        }
        addColourLine(palette, colour, start, valuesEnd);
    }
    while (readLine(reader, line, start))
        if (!isBlankLine(line)) {
            error = linePrefix(reader.number) + "more colour lines than the count " +
                    std::to_string(count) + " says";
            return false;
        }
    return true;
}

std::string jascColourText(const PaletteColour& colour) {
    return std::to_string(colour.red) + " " + std::to_string(colour.green) + " " + std::to_string(colour.blue);
}

std::vector<uint8_t> freshJasc(const std::vector<PaletteColour>& colours) {
    std::string text =
        std::string(kJascMagic) + "\r\n" + kJascVersion + "\r\n" + std::to_string(colours.size()) + "\r\n";
    for (const PaletteColour& colour : colours) text += jascColourText(colour) + "\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

// ---- Output pieces ------------------------------------------------------------

void addFresh(PaletteOutput& output, const std::string& text) {
    output.pieces.push_back({false, output.fresh.size(), text.size()});
    output.fresh.insert(output.fresh.end(), text.begin(), text.end());
}

// Both text formats written back in their own layout: the values of a
// changed colour line are written anew, every other byte is kept.
void rewriteTextPalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                        PaletteOutput& output) {
    size_t keptFrom = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
        if (sameColour(colours[i], original.colours[i])) continue;
        const PaletteColourLine& line = original.colourLines[i];
        keepRun(output, keptFrom, line.start);
        addFresh(output, original.format == GimpPalette ? gimpColourText(colours[i])
                                                        : jascColourText(colours[i]));
        keptFrom = line.valuesEnd;
    }
    keepRun(output, keptFrom, original.bytes.size());
}

// RIFF palettes and BMP images written back: the colour table anew (its
// flag or reserved bytes as they were), the rest kept.
void rewriteColourTable(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                        PaletteOutput& output) {
    const size_t tableBytes = 4 * colours.size();
    keepRun(output, 0, original.tableOffset);
    output.fresh.assign(original.bytes.begin() + original.tableOffset,
                        original.bytes.begin() + original.tableOffset + tableBytes);
    const bool blueFirst = original.format == IndexedBitmap;
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* entry = &output.fresh[4 * i];
        entry[0] = blueFirst ? colours[i].blue : colours[i].red;
        entry[1] = colours[i].green;
        entry[2] = blueFirst ? colours[i].red : colours[i].blue;
    }
    if (tableBytes > 0) output.pieces.push_back({false, 0, tableBytes});
    keepRun(output, original.tableOffset + tableBytes, original.bytes.size());
}

// ---- RIFF palettes --------------------------------------------------------------

constexpr size_t kRiffHeaderBytes = 12;       // "RIFF", size, "PAL "
constexpr size_t kChunkHeaderBytes = 8;       // id, size
constexpr size_t kLogPaletteHeaderBytes = 4;  // palVersion, palNumEntries
constexpr uint32_t kLogPaletteVersion = 0x0300;
constexpr size_t kMaxRiffColours = 0xFFFF;

// "RIFF" size "PAL ", then chunks; the "data" chunk holds a LOGPALETTE:
// version, count, and count entries of red, green, blue, flags.
bool parseRiff(ByteView bytes, PaletteFile& palette, std::string& error) {
    if (bytes.size() < kRiffHeaderBytes) {
        error = "truncated: too short for a RIFF header";
        return false;
    }
    if (std::memcmp(&bytes[8], "PAL ", 4) != 0) {
        error = "a RIFF file, but not a palette (form type '" + fourCharacterCode(bytes, 8) +
                "', expected 'PAL ')";
        return false;
    }
    const uint64_t riffEnd = uint64_t(readU32LE(&bytes[4])) + 8;
    if (riffEnd > bytes.size()) {
        error = "truncated: the RIFF header says " + std::to_string(riffEnd) + " bytes, the file has " +
                std::to_string(bytes.size());
        return false;
    }
    uint64_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= riffEnd) {
        const std::string id = fourCharacterCode(bytes, size_t(at));
        const uint64_t body = at + kChunkHeaderBytes;
        const uint64_t size = readU32LE(&bytes[size_t(at + 4)]);
        if (body + size > riffEnd) {
            error = "truncated: chunk '" + id + "' needs " + std::to_string(size) + " bytes, " +
                    std::to_string(riffEnd - body) + " are left";
            return false;
        }
        if (id == "data") {
            if (size < kLogPaletteHeaderBytes) {
                error = "the 'data' chunk is too short for a palette (" + std::to_string(size) + " bytes)";
                return false;
            }
            const uint32_t count = readU16LE(&bytes[size_t(body + 2)]);
            if (kLogPaletteHeaderBytes + 4 * uint64_t(count) > size) {
                error = "the colour count " + std::to_string(count) +
                        " does not fit in the 'data' chunk of " + std::to_string(size) + " bytes";
                return false;
            }
            palette.tableOffset = size_t(body + kLogPaletteHeaderBytes);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* entry = &bytes[palette.tableOffset + 4 * i];
                palette.colours.push_back({entry[0], entry[1], entry[2]});
            }
            return true;
        }
        at = body + size + (size & 1);  // chunks are padded to an even length
    }
    error = "no 'data' chunk in the RIFF palette";
    return false;
}

std::vector<uint8_t> freshRiff(const std::vector<PaletteColour>& colours) {
    const uint32_t dataBytes = uint32_t(kLogPaletteHeaderBytes + 4 * colours.size());
    std::vector<uint8_t> bytes;
    putText(bytes, "RIFF");
    appendU32LE(bytes, uint32_t(4 + kChunkHeaderBytes + dataBytes));
    putText(bytes, "PAL data");
    appendU32LE(bytes, dataBytes);
    appendU16LE(bytes, kLogPaletteVersion);
    appendU16LE(bytes, uint32_t(colours.size()));
    for (const PaletteColour& colour : colours) {
        bytes.push_back(colour.red);
        bytes.push_back(colour.green);
        bytes.push_back(colour.blue);
        bytes.push_back(0);  // peFlags
    }
    return bytes;
}

// ---- BMP images ----------------------------------------------------------------

constexpr size_t kFileHeaderBytes = 14;   // BITMAPFILEHEADER
constexpr size_t kInfoHeaderBytes = 40;   // BITMAPINFOHEADER

// An indexed BMP of 1, 4 or 8 bits, read through readBitmapFile: its colour table is the
// palette.
bool parseBitmap(ByteView bytes, PaletteFile& palette, std::string& error) {
    BitmapFile bitmap;
    if (!readBitmapFile(bytes.data(), bytes.size(), bitmap, error)) return false;
    palette.tableOffset = bitmap.tableOffset;
    for (size_t i = 0; i < bitmap.colourCount; ++i) {
        const uint8_t* entry = &bytes[palette.tableOffset + 4 * i];
        palette.colours.push_back({entry[2], entry[1], entry[0]});
    }
    return true;
}

// A one-row 8-bit image with one pixel per colour, in palette order.
std::vector<uint8_t> freshBitmap(const std::vector<PaletteColour>& colours) {
    const uint32_t count = uint32_t(colours.size());
    const uint32_t rowBytes = (count + 3) / 4 * 4;
    const uint32_t pixelOffset = uint32_t(kFileHeaderBytes + kInfoHeaderBytes + 4 * count);
    std::vector<uint8_t> bytes;
    putText(bytes, "BM");
    appendU32LE(bytes, pixelOffset + rowBytes);  // bfSize
    appendU32LE(bytes, 0);                       // bfReserved1, bfReserved2
    appendU32LE(bytes, pixelOffset);             // bfOffBits
    appendU32LE(bytes, kInfoHeaderBytes);        // biSize
    appendU32LE(bytes, count);                   // biWidth
    appendU32LE(bytes, 1);                       // biHeight
    appendU16LE(bytes, 1);                       // biPlanes
    appendU16LE(bytes, 8);                       // biBitCount
    appendU32LE(bytes, kBitmapRgb);              // biCompression
    appendU32LE(bytes, rowBytes);                // biSizeImage
    appendU32LE(bytes, 2835);                    // biXPelsPerMeter: 72 dpi
    appendU32LE(bytes, 2835);                    // biYPelsPerMeter
    appendU32LE(bytes, count);                   // biClrUsed
    appendU32LE(bytes, 0);                       // biClrImportant
    for (const PaletteColour& colour : colours) {
        bytes.push_back(colour.blue);
        bytes.push_back(colour.green);
        bytes.push_back(colour.red);
        bytes.push_back(0);
    }
    for (uint32_t i = 0; i < rowBytes; ++i) bytes.push_back(i < count ? uint8_t(i) : 0);
    return bytes;
}

}  // namespace

const char* formatDisplayName(PaletteFormat format) {
    switch (format) {
        case GimpPalette: return "GIMP palette";
        case JascPalette: return "JASC palette";
        case RiffPalette: return "RIFF palette";
        case IndexedBitmap: return "indexed BMP image";
        case IndexedPng: return "indexed PNG image";
        case IndexedGif: return "GIF image";
        case HexPalette: return "hex colour list";
        case ActPalette: return "colour table file";
    }
    return "";
}

std::string quotedText(const char* text, size_t length) {
    static const char kHexDigits[] = "0123456789abcdef";
    std::string quoted;
    for (size_t i = 0; i < length && i < kQuotedTextLength; ++i) {
        const uint8_t byte = uint8_t(text[i]);
        if (byte == '\\')
            quoted += "\\\\";
        else if (byte >= 0x20 && byte < 0x7F)
            quoted += char(byte);
        else
            quoted += {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
    }
    if (length > kQuotedTextLength) quoted += "...";
    return quoted;
}

namespace {

// Reads palette.bytes with the reader its signature names; `recognised` is
// false when the file has none of the signatures.
bool readSignedFile(PaletteFile& palette, bool& recognised, std::string& error) {
    const ByteView file = palette.bytes;
    recognised = true;
    if (startsWith(file, kGimpMagic)) {
        palette.format = GimpPalette;
        return parseGimp(palette, error);
    }
    if (startsWith(file, kJascMagic)) {
        palette.format = JascPalette;
        return parseJasc(palette, error);
    }
    if (startsWith(file, "RIFF")) {
        palette.format = RiffPalette;
        return parseRiff(file, palette, error);
    }
    if (startsWith(file, "BM")) {
        palette.format = IndexedBitmap;
        return parseBitmap(file, palette, error);
    }
    if (hasPngSignature(file)) {
        palette.format = IndexedPng;
        return parsePng(file, palette, error);
    }
    if (hasGifSignature(file)) {
        palette.format = IndexedGif;
        return parseGif(file, palette, error);
    }
    if (looksLikeHexPalette(file)) {
        palette.format = HexPalette;
        return parseHexPalette(file, palette, error);
    }
    recognised = false;
    return false;
}

// A colour table has no signature of its own, and its first colour can
// spell "BM" or "RIFF" or read as a hex line by chance. When that format's
// reader refuses a file of a colour table's size, the file is read as a
// colour table. Text palettes and pictures with longer signatures are never
// taken for one, so that their own reasons are reported.
bool mayBeColourTable(const PaletteFile& palette, bool recognised) {
    if (!hasColourTableSize(palette.bytes)) return false;
    return !recognised || palette.format == RiffPalette || palette.format == IndexedBitmap ||
           palette.format == HexPalette;
}

// Forgets what a refused reader collected, keeping the file.
void restartReading(PaletteFile& palette) {
    PaletteFile fresh;
    fresh.heldBytes = std::move(palette.heldBytes);  // the buffer stays where it was
    fresh.bytes = palette.bytes;
    palette = std::move(fresh);
}

bool readPaletteFile(PaletteFile& palette, std::string& error) {
    if (palette.bytes.empty()) {
        error = "empty file";
        return false;
    }
    bool recognised = false;
    if (readSignedFile(palette, recognised, error)) return true;
    if (mayBeColourTable(palette, recognised)) {
        const std::string signedReason = error;
        restartReading(palette);
        palette.format = ActPalette;
        if (parseColourTable(palette.bytes, palette, error)) return true;
        if (recognised) error = signedReason;
        return false;
    }
    if (!recognised)
        error =
            "not a palette file (expected 'GIMP Palette', 'JASC-PAL', 'RIFF', 'BM', a PNG or GIF "
            "signature, RRGGBB lines, or a colour table of 768 or 772 bytes)";
    return false;
}

}  // namespace

bool parsePaletteBytes(ByteView bytes, PaletteFile& palette, std::string& error) {
    palette = PaletteFile();
    palette.bytes = bytes;
    return readPaletteFile(palette, error);
}

bool parsePalette(std::vector<uint8_t> bytes, PaletteFile& palette, std::string& error) {
    palette = PaletteFile();
    palette.heldBytes = std::move(bytes);
    palette.bytes = viewOf(palette.heldBytes);
    return readPaletteFile(palette, error);
}

namespace {

// A fresh file of `format` holding `colours`.
bool freshPalette(const std::vector<PaletteColour>& colours, PaletteFormat format,
                  const std::string& paletteName, std::vector<uint8_t>& out, std::string& error) {
    switch (format) {
        case GimpPalette: out = freshGimp(colours, paletteName); return true;
        case JascPalette: out = freshJasc(colours); return true;
        case RiffPalette:
            if (colours.size() > kMaxRiffColours) {
                error = "a RIFF palette holds at most " + std::to_string(kMaxRiffColours) +
                        " colours, this palette has " + std::to_string(colours.size());
                return false;
            }
            out = freshRiff(colours);
            return true;
        case IndexedBitmap:
            if (colours.empty() || colours.size() > kMaxBitmapColours) {
                error = "an 8-bit BMP holds 1 to " + std::to_string(kMaxBitmapColours) +
                        " colours, this palette has " + std::to_string(colours.size());
                return false;
            }
            out = freshBitmap(colours);
            return true;
        case IndexedPng: return freshPng(colours, out, error);
        case IndexedGif: return freshGif(colours, out, error);
        case HexPalette: out = freshHexPalette(colours); return true;
        case ActPalette: return freshColourTable(colours, out, error);
    }
    return false;
}

}  // namespace

void keepRun(PaletteOutput& output, size_t from, size_t to) {
    if (to > from) output.pieces.push_back({true, from, to - from});
}

bool composePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                    PaletteFormat format, const std::string& paletteName, PaletteOutput& output,
                    std::string& error) {
    output = PaletteOutput();
    if (colours.size() != original.colours.size()) {
        error = "the number of colours changed";
        return false;
    }
    if (format == original.format) {
        switch (format) {
            case GimpPalette:
            case JascPalette: rewriteTextPalette(original, colours, output); return true;
            case RiffPalette:
            case IndexedBitmap: rewriteColourTable(original, colours, output); return true;
            case IndexedPng: rewritePng(original, colours, output); return true;
            case IndexedGif:
            case ActPalette: rewriteRgbTables(original, colours, output); return true;
            case HexPalette: rewriteHexPalette(original, colours, output); return true;
        }
    }
    if (!freshPalette(colours, format, paletteName, output.fresh, error)) return false;
    output.pieces.push_back({false, 0, output.fresh.size()});
    return true;
}

bool writePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                  PaletteFormat format, const std::string& paletteName, std::vector<uint8_t>& out,
                  std::string& error) {
    PaletteOutput output;
    if (!composePalette(original, colours, format, paletteName, output, error)) return false;
    out.clear();
    for (const OutputPiece& piece : output.pieces) {
        const uint8_t* from =
            (piece.kept ? original.bytes.data() : output.fresh.data()) + piece.offset;
        out.insert(out.end(), from, from + piece.size);
    }
    return true;
}
