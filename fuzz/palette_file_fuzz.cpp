// Feeds arbitrary files through palette-balance's readers and writers and
// checks the round trips the tool promises: a file read and written back with
// its colours unchanged keeps every byte; changed colours written in any
// format read back as written; and every refusal is one short printable line.
// The same bytes go through the settings-file reader, shared with the plugin:
// a settings file read and written back reads back as the same record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "palette_files.h"
#include "settings_file.h"

namespace {

bool sameColours(const std::vector<PaletteColour>& a, const std::vector<PaletteColour>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].red != b[i].red || a[i].green != b[i].green || a[i].blue != b[i].blue)
            return false;
    return true;
}

// A reason is one line of printable text, whatever the file held.
void checkReason(const std::string& error) {
    if (error.empty() || error.size() > 240) std::abort();
    for (char c : error)
        if (uint8_t(c) < 0x20 || uint8_t(c) >= 0x7F) std::abort();
}

// Written in `format`, the colours read back as they are, in that format;
// only a colour count that the format cannot hold may be refused.
void checkWrittenAndReadBack(const PaletteFile& palette, const std::vector<PaletteColour>& colours,
                             PaletteFormat format, const std::string& name) {
    std::vector<uint8_t> out;
    std::string error;
    if (!writePalette(palette, colours, format, name, out, error)) {
        checkReason(error);
        const bool tableFormat = format == IndexedBitmap || format == IndexedPng ||
                                 format == IndexedGif || format == ActPalette;
        const bool countRefused =
            (tableFormat && (colours.empty() || colours.size() > 256)) ||
            (format == RiffPalette && colours.size() > 65535);
        if (!countRefused) std::abort();
        return;
    }
    // An empty hex list is an empty file, which no reader takes.
    if (format == HexPalette && colours.empty()) return;
    PaletteFile readBack;
    if (!parsePalette(out, readBack, error)) std::abort();
    if (readBack.format != format) std::abort();
    // A new GIF's table is padded with black to a power of two.
    if (format == IndexedGif && readBack.colours.size() > colours.size())
        readBack.colours.resize(colours.size());
    if (!sameColours(colours, readBack.colours)) std::abort();
}

bool sameSettings(const BalanceSettings& a, const BalanceSettings& b) {
    return std::memcmp(a.states, b.states, sizeof a.states) == 0 && a.currentState == b.currentState &&
           a.currentRange == b.currentRange && a.preserveBrightness == b.preserveBrightness;
}

// Read as a settings file: refused with one printable line, or read as a
// record that, written in either line end, reads back bit for bit and is
// written again as the same text.
void checkSettingsFile(const std::string& text) {
    BalanceSettings settings;
    std::string error;
    if (!parseSettingsText(text, settings, error)) {
        checkReason(error);
        return;
    }
    for (const char* lineEnd : {"\n", "\r\n"}) {
        const std::string written = formatSettingsText(settings, lineEnd);
        BalanceSettings readBack;
        if (!parseSettingsText(written, readBack, error) || !sameSettings(settings, readBack) ||
            formatSettingsText(readBack, lineEnd) != written)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    checkSettingsFile(std::string(input.begin(), input.end()));
    PaletteFile palette;
    std::string error;
    if (!parsePalette(input, palette, error)) {
        checkReason(error);
        return 0;
    }
    std::vector<uint8_t> out;
    if (!writePalette(palette, palette.colours, palette.format, "unused", out, error) ||
        out != input)
        std::abort();

    // Some colours changed, some not, so that both kinds of line are written;
    // the name of a new GIMP palette comes from the file too.
    std::vector<PaletteColour> changed = palette.colours;
    for (size_t i = 0; i < changed.size(); ++i)
        if ((i + size) % 3 != 0)
            changed[i] = {uint8_t(changed[i].red ^ size), uint8_t(changed[i].green + 1),
                          uint8_t(255 - changed[i].blue)};
    const std::string name(input.begin(), input.begin() + (size < 12 ? size : 12));
    for (PaletteFormat format : {GimpPalette, JascPalette, RiffPalette, IndexedBitmap, IndexedPng,
                                 IndexedGif, HexPalette, ActPalette})
        checkWrittenAndReadBack(palette, changed, format, name);
    return 0;
}
