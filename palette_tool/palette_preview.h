// The --preview picture: a row of the input colours with the output colours
// below, each swatch framed in the colour of its tone range, a legend, and
// for an indexed picture as input the picture before and after. Written as
// an RGB PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palette_files.h"
#include "picture_pixels.h"
#include "slider_state.h"

constexpr int kPreviewSwatchSize = 16;  // the colour square, inside its frame
constexpr int kPreviewFrameWidth = 3;
constexpr size_t kPreviewSwatchesPerRow = 32;
// A palette with more colours shows its first this many.
constexpr size_t kPreviewMostSwatches = 4096;

// Frame colours of Lows, Mediums and Heights, red-green-blue.
extern const uint8_t kToneRangeFrameColours[kToneRangeCount - 1][3];

// The top-left pixel of the colour square of entry `index` in the input row
// (output false) or the output row.
void previewSwatchPlace(size_t index, bool output, int& x, int& y);

// Where the top-left pixel of a width x height picture lies in the preview of
// a palette of `colourCount` colours, before (after false) or after: each
// shown pixel is `scale` preview pixels wide and high, and every `step`-th
// pixel of a large picture is shown.
void previewPicturePlace(size_t colourCount, uint32_t width, uint32_t height, bool after, int& x,
                         int& y, int& scale, int& step);

// The palette index of every pixel of an uncompressed 1-, 4- or 8-bit BMP read by
// parsePalette; other BMPs give an empty picture.
bool decodeBitmapPixels(const PaletteFile& palette, PicturePixels& picture);

// The preview of `input` rebalanced into `output` (as many colours), as PNG
// bytes. The frames follow the input colours' ranges, which decided their
// balance. Returns false with a one-line reason when the input picture cannot
// be decoded.
bool makePreview(const PaletteFile& input, const std::vector<PaletteColour>& output,
                 const SliderState& state, bool preserveBrightness, std::vector<uint8_t>& png,
                 std::string& error);
