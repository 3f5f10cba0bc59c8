#include "colour_table_files.h"

#include "byte_fields.h"

namespace {

constexpr size_t kTableBytes = 3 * 256;
constexpr size_t kTableWithCountBytes = kTableBytes + 4;
constexpr uint16_t kNoTransparentIndex = 0xFFFF;


bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r'; }

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the line [begin, end) as "[blanks][#]RRGGBB[blanks]"; `digits` is
// where the six digits begin. A blank line gives false with `blank` set.
bool hexColourLine(ByteView bytes, size_t begin, size_t end,
                   PaletteColour& colour, size_t& digits, bool& blank) {
    while (begin < end && isBlank(bytes[begin])) ++begin;
    while (end > begin && isBlank(bytes[end - 1])) --end;
    blank = begin == end;
    if (begin < end && bytes[begin] == '#') ++begin;
    if (end - begin != 6) return false;
    int values[6];
    for (int i = 0; i < 6; ++i)
        if ((values[i] = hexValue(bytes[begin + i])) < 0) return false;
    colour = {uint8_t(values[0] * 16 + values[1]), uint8_t(values[2] * 16 + values[3]),
              uint8_t(values[4] * 16 + values[5])};
    digits = begin;
    return true;
}

size_t lineEnd(ByteView bytes, size_t begin) {
    while (begin < bytes.size() && bytes[begin] != '\n') ++begin;
    return begin;
}

void putHexColour(uint8_t* at, const PaletteColour& colour, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    const uint8_t values[3] = {colour.red, colour.green, colour.blue};
    for (int i = 0; i < 3; ++i) {
        at[2 * i] = uint8_t(digits[values[i] >> 4]);
        at[2 * i + 1] = uint8_t(digits[values[i] & 15]);
    }
}

}  // namespace

bool looksLikeHexPalette(ByteView bytes) {
    PaletteColour colour;
    size_t digits = 0;
    bool blank = false;
    return hexColourLine(bytes, 0, lineEnd(bytes, 0), colour, digits, blank);
}

bool parseHexPalette(ByteView bytes, PaletteFile& palette, std::string& error) {
    size_t line = 0;
    for (size_t begin = 0; begin < bytes.size(); ++line) {
        const size_t end = lineEnd(bytes, begin);
        PaletteColour colour;
        size_t digits = 0;
        bool blank = false;
        if (hexColourLine(bytes, begin, end, colour, digits, blank)) {
            if (palette.colours.size() == kMaxPaletteColours) {
                error = "more than " + std::to_string(kMaxPaletteColours) + " colours";
                return false;
            }
            palette.colours.push_back(colour);
            palette.hexDigitOffsets.push_back(digits);
        } else if (!blank) {
            std::string text(bytes.begin() + begin, bytes.begin() + end);
            if (!text.empty() && text.back() == '\r') text.pop_back();
            if (text.size() > 40) text = text.substr(0, 40) + "...";
            for (char& c : text)
                if (uint8_t(c) < 0x20 || uint8_t(c) >= 0x7F) c = '?';
            error =
                "line " + std::to_string(line + 1) + ": expected a colour as RRGGBB, found '" + text + "'";
            return false;
        }
        begin = end + 1;
    }
    return true;
}

void rewriteHexPalette(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                       PaletteOutput& output) {
    size_t keptFrom = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
        const PaletteColour& was = original.colours[i];
        if (colours[i].red == was.red && colours[i].green == was.green &&
            colours[i].blue == was.blue)
            continue;
        const size_t at = original.hexDigitOffsets[i];
        const uint8_t* digits = &original.bytes[at];
        bool upperCase = false;
        for (int d = 0; d < 6; ++d) upperCase = upperCase || (digits[d] >= 'A' && digits[d] <= 'F');
        keepRun(output, keptFrom, at);
        output.pieces.push_back({false, output.fresh.size(), 6});
        output.fresh.resize(output.fresh.size() + 6);
        putHexColour(&output.fresh[output.fresh.size() - 6], colours[i], upperCase);
        keptFrom = at + 6;
    }
    keepRun(output, keptFrom, original.bytes.size());
}

std::vector<uint8_t> freshHexPalette(const std::vector<PaletteColour>& colours) {
    std::vector<uint8_t> out(7 * colours.size(), '\n');
    for (size_t i = 0; i < colours.size(); ++i) putHexColour(&out[7 * i], colours[i], false);
    return out;
}

bool hasColourTableSize(ByteView bytes) {
    return bytes.size() == kTableBytes || bytes.size() == kTableWithCountBytes;
}

bool parseColourTable(ByteView bytes, PaletteFile& palette, std::string& error) {
    size_t count = 256;
    if (bytes.size() == kTableWithCountBytes) {
        count = readU16BE(&bytes[kTableBytes]);
        if (count == 0 || count > 256) {
            error = "the colour count " + std::to_string(count) + " after the colour table is not 1 to 256";
            return false;
        }
    }
    palette.rgbTables.push_back({0, count});
    for (size_t i = 0; i < count; ++i)
        palette.colours.push_back({bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]});
    return true;
}

void appendRgbTriples(const std::vector<PaletteColour>& colours, size_t first, size_t count,
                      std::vector<uint8_t>& bytes) {
    for (size_t i = first; i < first + count; ++i) {
        bytes.push_back(colours[i].red);
        bytes.push_back(colours[i].green);
        bytes.push_back(colours[i].blue);
    }
}

void rewriteRgbTables(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                      PaletteOutput& output) {
    size_t keptFrom = 0, colour = 0;
    for (const RgbTableSpan& table : original.rgbTables) {
        keepRun(output, keptFrom, table.offset);
        output.pieces.push_back({false, output.fresh.size(), 3 * table.count});
        appendRgbTriples(colours, colour, table.count, output.fresh);
        colour += table.count;
        keptFrom = table.offset + 3 * table.count;
    }
    keepRun(output, keptFrom, original.bytes.size());
}

bool freshColourTable(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
                      std::string& error) {
    if (colours.empty() || colours.size() > 256) {
        error = "a colour table file holds 1 to 256 colours, this palette has " +
                std::to_string(colours.size());
        return false;
    }
    out.assign(kTableBytes, 0);
    for (size_t i = 0; i < colours.size(); ++i) {
        out[3 * i] = colours[i].red;
        out[3 * i + 1] = colours[i].green;
        out[3 * i + 2] = colours[i].blue;
    }
    if (colours.size() < 256) {
        appendU16BE(out, uint16_t(colours.size()));
        appendU16BE(out, kNoTransparentIndex);
    }
    return true;
}
