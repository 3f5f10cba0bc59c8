// The plugin's palette transform applied to the colours of a palette file,
// and the table that shows where the tone ranges fall.
#pragma once

#include <string>
#include <vector>

#include "palette_files.h"
#include "slider_state.h"

// The colours rebalanced exactly as the plugin rebalances the host's palette:
// they are laid out as an in-memory palette image (a 40-byte header with
// biSize 40 and biClrUsed = the count, then blue-green-red-reserved entries)
// and passed through rebalancePalette. `colours` holds at most
// kMaxPaletteColours entries.
std::vector<PaletteColour> rebalanceColours(const std::vector<PaletteColour>& colours,
                                            const SliderState& state, bool preserveBrightness);

// One row per entry: index, red, green, blue, the luminance that classifies
// it in the chosen mode, and its range ("Lows", "Mediums", "Heights"); then a
// count per range.
std::string rangesTable(const std::vector<PaletteColour>& colours, const SliderState& state,
                        bool preserveBrightness);
