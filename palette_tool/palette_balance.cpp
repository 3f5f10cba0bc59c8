#include "palette_balance.h"

#include <cstdio>

#include "palette_image.h"
#include "palette_transform.h"
#include "settings_file.h"

std::vector<PaletteColour> rebalanceColours(const std::vector<PaletteColour>& colours,
                                            const SliderState& state, bool preserveBrightness) {
    const size_t imageBytes = kPaletteHeaderBytes + kPaletteEntryBytes * colours.size();
    std::vector<uint8_t> source(imageBytes, 0);
    source[0] = uint8_t(kPaletteHeaderBytes);  // biSize
    const uint32_t count = uint32_t(colours.size());
    for (int i = 0; i < 4; ++i) source[32 + i] = uint8_t(count >> (8 * i));  // biClrUsed
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* entry = &source[kPaletteHeaderBytes + kPaletteEntryBytes * i];
        entry[0] = colours[i].blue;
        entry[1] = colours[i].green;
        entry[2] = colours[i].red;
    }
    std::vector<uint8_t> working = source;
    rebalancePalette(source.data(), working.data(), int32_t(imageBytes), state, preserveBrightness);
    std::vector<PaletteColour> result(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* entry = &working[kPaletteHeaderBytes + kPaletteEntryBytes * i];
        result[i] = {entry[2], entry[1], entry[0]};
    }
    return result;
}

std::string rangesTable(const std::vector<PaletteColour>& colours, const SliderState& state,
                        bool preserveBrightness) {
    char line[160];
    std::snprintf(line, sizeof line, "Lows below %s, Heights above %s, %s luminance\n",
                  sliderStepText(state.lowsBelow).c_str(),
                  sliderStepText(state.heightsAbove).c_str(),
                  preserveBrightness ? "brightness-preserving" : "plain");
    std::string table = line;
    table += "Entry  Red  Green  Blue  Luminance  Range\n";
    size_t counts[3] = {0, 0, 0};
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t rgb[3] = {colours[i].red, colours[i].green, colours[i].blue};
        const float luminance = classifyingLuminance(rgb, preserveBrightness);
        const int range = toneRangeOf(luminance, state);
        ++counts[range];
        std::snprintf(line, sizeof line, "%5lu  %3d  %5d  %4d  %9.6f  %s\n",
                      static_cast<unsigned long>(i), rgb[0], rgb[1], rgb[2], double(luminance),
                      rangeDisplayName(range));
        table += line;
    }
    std::snprintf(line, sizeof line, "Lows: %lu, Mediums: %lu, Heights: %lu\n",
                  static_cast<unsigned long>(counts[Lows]),
                  static_cast<unsigned long>(counts[Mediums]),
                  static_cast<unsigned long>(counts[Heights]));
    return table + line;
}
