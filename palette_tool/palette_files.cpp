#include "palette_files.h"

#include <cstdio>
#include <cstring>

#include "bitmap_file.h"
#include "byte_fields.h"

namespace {

// ---- Bytes ---------------------------------------------------------------

void putU16(std::vector<uint8_t>& bytes, uint32_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

void putU32(std::vector<uint8_t>& bytes, uint32_t value) {
    putU16(bytes, value & 0xFFFF);
    putU16(bytes, value >> 16);
}

void putText(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

bool startsWith(const std::vector<uint8_t>& bytes, const char* magic) {
    const size_t length = std::strlen(magic);
    return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A four-character code for a message, with anything unprintable as '?'.
std::string fourCharacterCode(const std::vector<uint8_t>& bytes, size_t at) {
    std::string code;
    for (size_t i = at; i < at + 4; ++i)
        code += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? char(bytes[i]) : '?';
    return code;
}

std::string number(uint64_t value) { return std::to_string(value); }

// ---- Text lines ------------------------------------------------------------

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Splits the file at LF, taking a CR before each LF as part of the line end.
void splitLines(const std::vector<uint8_t>& bytes, PaletteFile& palette) {
    palette.lines.clear();
    palette.crlfLineEnds = false;
    palette.finalLineEnd = !bytes.empty() && bytes.back() == '\n';
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = begin;
        while (end < bytes.size() && bytes[end] != '\n') ++end;
        size_t textEnd = end;
        const bool hasLineEnd = end < bytes.size();
        if (hasLineEnd && textEnd > begin && bytes[textEnd - 1] == '\r') {
            --textEnd;
            if (palette.lines.empty()) palette.crlfLineEnds = true;
        }
        palette.lines.push_back(
            {std::string(bytes.begin() + begin, bytes.begin() + textEnd), -1, 0});
        begin = end + 1;
    }
}

std::string joinLines(const PaletteFile& layout, const std::vector<std::string>& texts) {
    const char* lineEnd = layout.crlfLineEnds ? "\r\n" : "\n";
    std::string joined;
    for (size_t i = 0; i < texts.size(); ++i) {
        joined += texts[i];
        if (i + 1 < texts.size() || layout.finalLineEnd) joined += lineEnd;
    }
    return joined;
}

std::string trimmedRight(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

bool isBlankLine(const std::string& text) {
    for (char c : text)
        if (!isBlank(c)) return false;
    return true;
}

// Finds the next whitespace-separated token at or after `from`; false when
// only blanks are left.
bool nextToken(const std::string& text, size_t from, size_t& begin, size_t& end) {
    begin = from;
    while (begin < text.size() && isBlank(text[begin])) ++begin;
    if (begin == text.size()) return false;
    end = begin;
    while (end < text.size() && !isBlank(text[end])) ++end;
    return true;
}

std::string linePrefix(size_t lineIndex) { return "line " + number(lineIndex + 1) + ": "; }

// A colour value: decimal digits only, 0 to 255.
bool parseColourValue(const std::string& token, size_t lineIndex, uint8_t& value,
                      std::string& error) {
    unsigned long parsed = 0;
    for (char c : token) {
        if (c < '0' || c > '9') {
            error = linePrefix(lineIndex) + "'" + token +
                    "' is not a colour value (a whole number from 0 to 255)";
            return false;
        }
        if (parsed <= 255) parsed = parsed * 10 + unsigned(c - '0');
    }
    if (parsed > 255) {
        error = linePrefix(lineIndex) + "colour value " + token + " is out of range (0 to 255)";
        return false;
    }
    value = uint8_t(parsed);
    return true;
}

// Reads "red green blue" at the start of a line; `restStart` is where the
// text after the third value begins.
bool parseColourLine(const std::string& text, size_t lineIndex, PaletteColour& colour,
                     size_t& restStart, std::string& error) {
    uint8_t values[3];
    size_t begin = 0, end = 0;
    for (uint8_t& value : values) {
        if (!nextToken(text, end, begin, end)) {
            error = linePrefix(lineIndex) + "expected red, green and blue values";
            return false;
        }
        if (!parseColourValue(text.substr(begin, end - begin), lineIndex, value, error))
            return false;
    }
    colour = {values[0], values[1], values[2]};
    restStart = end;
    return true;
}

bool sameColour(const PaletteColour& a, const PaletteColour& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// ---- GIMP palettes ----------------------------------------------------------

const char kGimpMagic[] = "GIMP Palette";

// After the magic line: "Name:" and "Columns:" lines before the first colour,
// comments ('#') and blank lines anywhere, and colour lines "R G B name".
bool parseGimp(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error) {
    splitLines(bytes, palette);
    if (trimmedRight(palette.lines[0].text) != kGimpMagic) {
        error = "line 1: expected 'GIMP Palette'";
        return false;
    }
    bool inHeader = true;
    for (size_t i = 1; i < palette.lines.size(); ++i) {
        PaletteTextLine& line = palette.lines[i];
        size_t first = 0;
        while (first < line.text.size() && isBlank(line.text[first])) ++first;
        if (first == line.text.size() || line.text[first] == '#') continue;
        if (inHeader && (startsWith(line.text, "Name:") || startsWith(line.text, "Columns:")))
            continue;
        inHeader = false;
        PaletteColour colour;
        if (!parseColourLine(line.text, i, colour, line.nameStart, error)) return false;
        if (palette.colours.size() == kMaxPaletteColours) {
            error = "more than " + number(kMaxPaletteColours) + " colours";
            return false;
        }
        line.colour = long(palette.colours.size());
        palette.colours.push_back(colour);
    }
    return true;
}

std::string gimpColourText(const PaletteColour& colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d %3d %3d", colour.red, colour.green, colour.blue);
    return text;
}

std::vector<uint8_t> freshGimp(const std::vector<PaletteColour>& colours, const std::string& name) {
    std::string text = std::string(kGimpMagic) + "\nName: " + name + "\n#\n";
    for (size_t i = 0; i < colours.size(); ++i)
        text += gimpColourText(colours[i]) + "\tIndex " + number(i) + "\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

// ---- JASC palettes ------------------------------------------------------------

const char kJascMagic[] = "JASC-PAL";
const char kJascVersion[] = "0100";
constexpr size_t kJascHeaderLines = 3;  // magic, version, colour count

// "JASC-PAL", "0100", the colour count, then exactly that many "R G B"
// lines; only blank lines may follow them.
bool parseJasc(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error) {
    splitLines(bytes, palette);
    std::vector<PaletteTextLine>& lines = palette.lines;
    if (trimmedRight(lines[0].text) != kJascMagic) {
        error = "line 1: expected 'JASC-PAL'";
        return false;
    }
    if (lines.size() < kJascHeaderLines) {
        error = lines.size() < 2 ? "truncated: the version line is missing"
                                 : "truncated: the colour count line is missing";
        return false;
    }
    const std::string version = trimmedRight(lines[1].text);
    if (version != kJascVersion) {
        error = "line 2: unsupported JASC-PAL version '" + version + "' (expected 0100)";
        return false;
    }
    size_t begin = 0, end = 0, after = 0, dummy = 0;
    const std::string& countText = lines[2].text;
    bool countOk = nextToken(countText, 0, begin, end) && !nextToken(countText, end, after, dummy);
    unsigned long count = 0;
    for (size_t i = begin; countOk && i < end; ++i) {
        if (countText[i] < '0' || countText[i] > '9')
            countOk = false;
        else if (count <= kMaxPaletteColours)
            count = count * 10 + unsigned(countText[i] - '0');
    }
    if (!countOk) {
        error = "line 3: colour count '" + trimmedRight(countText) + "' is not a number";
        return false;
    }
    if (count > kMaxPaletteColours) {
        error = "line 3: colour count " + countText.substr(begin, end - begin) + " is more than " +
                number(kMaxPaletteColours);
        return false;
    }
    const size_t present = lines.size() - kJascHeaderLines;
    if (present < count) {
        error = "truncated: the count says " + number(count) + " colours, the file has " +
                number(present) + " colour lines";
        return false;
    }
    for (size_t i = kJascHeaderLines; i < kJascHeaderLines + count; ++i) {
        PaletteColour colour;
        size_t rest = 0;
        if (!parseColourLine(lines[i].text, i, colour, rest, error)) return false;
        if (nextToken(lines[i].text, rest, begin, end)) {
            error = linePrefix(i) + "expected only red, green and blue values, found '" +
                    lines[i].text.substr(begin, end - begin) + "' after them";
            return false;
        }
        lines[i].colour = long(palette.colours.size());
        lines[i].nameStart = rest;
        palette.colours.push_back(colour);
    }
    for (size_t i = kJascHeaderLines + count; i < lines.size(); ++i)
        if (!isBlankLine(lines[i].text)) {
            error = linePrefix(i) + "more colour lines than the count " + number(count) + " says";
            return false;
        }
    return true;
}

std::string jascColourText(const PaletteColour& colour) {
    return number(colour.red) + " " + number(colour.green) + " " + number(colour.blue);
}

std::vector<uint8_t> freshJasc(const std::vector<PaletteColour>& colours) {
    std::string text =
        std::string(kJascMagic) + "\r\n" + kJascVersion + "\r\n" + number(colours.size()) + "\r\n";
    for (const PaletteColour& colour : colours) text += jascColourText(colour) + "\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Both text formats written back in their own layout: lines without a colour
// and lines whose colour is unchanged stay as they were.
std::vector<uint8_t> rewriteTextPalette(const PaletteFile& original,
                                        const std::vector<PaletteColour>& colours) {
    std::vector<std::string> texts;
    for (const PaletteTextLine& line : original.lines) {
        if (line.colour < 0 || sameColour(colours[line.colour], original.colours[line.colour])) {
            texts.push_back(line.text);
            continue;
        }
        const PaletteColour& colour = colours[line.colour];
        texts.push_back(
            (original.format == GimpPalette ? gimpColourText(colour) : jascColourText(colour)) +
            line.text.substr(line.nameStart));
    }
    const std::string text = joinLines(original, texts);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// ---- RIFF palettes --------------------------------------------------------------

constexpr size_t kRiffHeaderBytes = 12;       // "RIFF", size, "PAL "
constexpr size_t kChunkHeaderBytes = 8;       // id, size
constexpr size_t kLogPaletteHeaderBytes = 4;  // palVersion, palNumEntries
constexpr uint32_t kLogPaletteVersion = 0x0300;
constexpr size_t kMaxRiffColours = 0xFFFF;

// "RIFF" size "PAL ", then chunks; the "data" chunk holds a LOGPALETTE:
// version, count, and count entries of red, green, blue, flags.
bool parseRiff(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error) {
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
        error = "truncated: the RIFF header says " + number(riffEnd) + " bytes, the file has " +
                number(bytes.size());
        return false;
    }
    uint64_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= riffEnd) {
        const std::string id = fourCharacterCode(bytes, size_t(at));
        const uint64_t body = at + kChunkHeaderBytes;
        const uint64_t size = readU32LE(&bytes[size_t(at + 4)]);
        if (body + size > riffEnd) {
            error = "truncated: chunk '" + id + "' needs " + number(size) + " bytes, " +
                    number(riffEnd - body) + " are left";
            return false;
        }
        if (id == "data") {
            if (size < kLogPaletteHeaderBytes) {
                error = "the 'data' chunk is too short for a palette (" + number(size) + " bytes)";
                return false;
            }
            const uint32_t count = readU16LE(&bytes[size_t(body + 2)]);
            if (kLogPaletteHeaderBytes + 4 * uint64_t(count) > size) {
                error = "the colour count " + number(count) +
                        " does not fit in the 'data' chunk of " + number(size) + " bytes";
                return false;
            }
            palette.bytes = bytes;
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
    putU32(bytes, uint32_t(4 + kChunkHeaderBytes + dataBytes));
    putText(bytes, "PAL data");
    putU32(bytes, dataBytes);
    putU16(bytes, kLogPaletteVersion);
    putU16(bytes, uint32_t(colours.size()));
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

// An 8-bit indexed BMP, read through readBitmapFile: its colour table is the
// palette.
bool parseBitmap(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error) {
    BitmapFile bitmap;
    if (!readBitmapFile(bytes.data(), bytes.size(), bitmap, error)) return false;
    palette.bytes = bytes;
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
    putU32(bytes, pixelOffset + rowBytes);  // bfSize
    putU32(bytes, 0);                       // bfReserved1, bfReserved2
    putU32(bytes, pixelOffset);             // bfOffBits
    putU32(bytes, kInfoHeaderBytes);        // biSize
    putU32(bytes, count);                   // biWidth
    putU32(bytes, 1);                       // biHeight
    putU16(bytes, 1);                       // biPlanes
    putU16(bytes, 8);                       // biBitCount
    putU32(bytes, kBitmapRgb);              // biCompression
    putU32(bytes, rowBytes);                // biSizeImage
    putU32(bytes, 2835);                    // biXPelsPerMeter: 72 dpi
    putU32(bytes, 2835);                    // biYPelsPerMeter
    putU32(bytes, count);                   // biClrUsed
    putU32(bytes, 0);                       // biClrImportant
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
        case IndexedBitmap: return "8-bit BMP image";
    }
    return "";
}

bool parsePalette(const std::vector<uint8_t>& bytes, PaletteFile& palette, std::string& error) {
    palette = PaletteFile();
    if (bytes.empty()) {
        error = "empty file";
        return false;
    }
    if (startsWith(bytes, kGimpMagic)) {
        palette.format = GimpPalette;
        return parseGimp(bytes, palette, error);
    }
    if (startsWith(bytes, kJascMagic)) {
        palette.format = JascPalette;
        return parseJasc(bytes, palette, error);
    }
    if (startsWith(bytes, "RIFF")) {
        palette.format = RiffPalette;
        return parseRiff(bytes, palette, error);
    }
    if (startsWith(bytes, "BM")) {
        palette.format = IndexedBitmap;
        return parseBitmap(bytes, palette, error);
    }
    error = "not a palette file (expected 'GIMP Palette', 'JASC-PAL', 'RIFF' or 'BM' at the start)";
    return false;
}

bool writePalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                  PaletteFormat format, const std::string& paletteName, std::vector<uint8_t>& out,
                  std::string& error) {
    if (colours.size() != original.colours.size()) {
        error = "the number of colours changed";
        return false;
    }
    if (format == original.format) {
        switch (format) {
            case GimpPalette:
            case JascPalette: out = rewriteTextPalette(original, colours); return true;
            case RiffPalette:
                out = original.bytes;
                for (size_t i = 0; i < colours.size(); ++i) {
                    uint8_t* entry = &out[original.tableOffset + 4 * i];
                    entry[0] = colours[i].red;
                    entry[1] = colours[i].green;
                    entry[2] = colours[i].blue;
                }
                return true;
            case IndexedBitmap:
                out = original.bytes;
                for (size_t i = 0; i < colours.size(); ++i) {
                    uint8_t* entry = &out[original.tableOffset + 4 * i];
                    entry[0] = colours[i].blue;
                    entry[1] = colours[i].green;
                    entry[2] = colours[i].red;
                }
                return true;
        }
    }
    switch (format) {
        case GimpPalette: out = freshGimp(colours, paletteName); return true;
        case JascPalette: out = freshJasc(colours); return true;
        case RiffPalette:
            if (colours.size() > kMaxRiffColours) {
                error = "a RIFF palette holds at most " + number(kMaxRiffColours) +
                        " colours, this palette has " + number(colours.size());
                return false;
            }
            out = freshRiff(colours);
            return true;
        case IndexedBitmap:
            if (colours.empty() || colours.size() > kMaxBitmapColours) {
                error = "an 8-bit BMP holds 1 to " + number(kMaxBitmapColours) +
                        " colours, this palette has " + number(colours.size());
                return false;
            }
            out = freshBitmap(colours);
            return true;
    }
    return false;
}
