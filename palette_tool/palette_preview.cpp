#include "palette_preview.h"

#include <algorithm>

#include "bitmap_file.h"
#include "gif_palette.h"
#include "palette_transform.h"
#include "png_palette.h"
#include "preview_font.h"

// stb_image_write is built here and nowhere else; its own code is not held
// to this project's warning flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#pragma GCC diagnostic pop

const uint8_t kToneRangeFrameColours[kToneRangeCount - 1][3] = {
    {70, 110, 255},  // Lows
    {60, 200, 90},   // Mediums
    {255, 190, 40},  // Heights
};

namespace {

constexpr int kMargin = 12;
constexpr int kTextScale = 2;
constexpr int kCell = kPreviewSwatchSize + 2 * kPreviewFrameWidth;
constexpr int kPitch = kCell + 4;
constexpr int kBlockGap = 10;  // between one input/output pair of rows and the next
constexpr int kLabelWidth = 6 * 6 * kTextScale + 8;  // "Output"
constexpr int kTextHeight = kGlyphRows * kTextScale;
constexpr int kPictureTarget = 256;  // small pictures are scaled up towards this size
constexpr int kPictureMaxScale = 16;
constexpr int kPictureLargest = 1024;  // larger pictures show every n-th pixel
constexpr int kPictureGap = 16;
const uint8_t kBackground[3] = {48, 48, 48};
const uint8_t kTextColour[3] = {235, 235, 235};
const char* const kRangeNames[3] = {"Lows", "Mediums", "Heights"};

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

void fill(Canvas& canvas, int x, int y, int width, int height, const uint8_t colour[3]) {
    for (int row = std::max(0, y); row < std::min(canvas.height, y + height); ++row)
        for (int column = std::max(0, x); column < std::min(canvas.width, x + width); ++column)
            std::copy(colour, colour + 3, &canvas.rgb[3 * (size_t(row) * canvas.width + column)]);
}

void drawText(Canvas& canvas, int x, int y, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < kGlyphColumns; ++column)
                if (glyphInk(text[i], column, row))
                    fill(canvas, x + (int(i) * (kGlyphColumns + 1) + column) * kTextScale,
                         y + row * kTextScale, kTextScale, kTextScale, kTextColour);
}

// A colour square inside a frame of its range's colour; (x, y) is the square's corner.
void drawSwatch(Canvas& canvas, int x, int y, const PaletteColour& colour, int range) {
    fill(canvas, x - kPreviewFrameWidth, y - kPreviewFrameWidth, kCell, kCell,
         kToneRangeFrameColours[range]);
    const uint8_t rgb[3] = {colour.red, colour.green, colour.blue};
    fill(canvas, x, y, kPreviewSwatchSize, kPreviewSwatchSize, rgb);
}

// How a picture is shown: each source pixel `scale` times in each direction,
// taking every `step`-th source pixel.
struct PictureFit {
    int scale = 1, step = 1, width = 0, height = 0;
};

PictureFit fitPicture(uint32_t width, uint32_t height) {
    PictureFit fit;
    const uint32_t longest = std::max(width, height);
    if (longest == 0) return fit;
    if (longest > uint32_t(kPictureLargest))
        fit.step = int((longest + kPictureLargest - 1) / kPictureLargest);
    else
        fit.scale = std::max(1, std::min(kPictureMaxScale, kPictureTarget / int(longest)));
    fit.width = int((width + fit.step - 1) / fit.step) * fit.scale;
    fit.height = int((height + fit.step - 1) / fit.step) * fit.scale;
    return fit;
}

int legendTopFor(size_t colourCount) {
    const size_t shown = std::min(colourCount, kPreviewMostSwatches);
    const int blocks = int((shown + kPreviewSwatchesPerRow - 1) / kPreviewSwatchesPerRow);
    return kMargin + blocks * (2 * kPitch + kBlockGap);
}

// The top of the "Before" and "After" labels; the pictures lie below them.
int pictureLabelTop(size_t colourCount) {
    return legendTopFor(colourCount) + kCell + 2 * kBlockGap;
}

void drawPicture(Canvas& canvas, int x, int y, const PicturePixels& picture, const PictureFit& fit,
                 const std::vector<PaletteColour>& colours, size_t colourStart,
                 size_t colourCount) {
    const uint8_t black[3] = {0, 0, 0};
    for (int row = 0; row < fit.height; ++row) {
        const size_t sourceRow = size_t(row / fit.scale) * fit.step;
        uint8_t* out = &canvas.rgb[3 * (size_t(y + row) * canvas.width + x)];
        for (int column = 0; column < fit.width; ++column, out += 3) {
            const size_t value =
                picture.values[sourceRow * picture.width + size_t(column / fit.scale) * fit.step];
            if (value < colourCount && colourStart + value < colours.size()) {
                const PaletteColour& colour = colours[colourStart + value];
                out[0] = colour.red;
                out[1] = colour.green;
                out[2] = colour.blue;
            } else {
                std::copy(black, black + 3, out);
            }
        }
    }
}

bool decodePicture(const PaletteFile& input, PicturePixels& picture, std::string& error) {
    switch (input.format) {
        case IndexedBitmap: return decodeBitmapPixels(input, picture);
        case IndexedPng: return decodePngPixels(input, picture, error);
        case IndexedGif: return decodeGifPixels(input, picture, error);
        default: picture = PicturePixels(); return true;
    }
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

void previewSwatchPlace(size_t index, bool output, int& x, int& y) {
    const int block = int(index / kPreviewSwatchesPerRow);
    x = kMargin + kLabelWidth + int(index % kPreviewSwatchesPerRow) * kPitch + kPreviewFrameWidth;
    y = kMargin + block * (2 * kPitch + kBlockGap) + (output ? kPitch : 0) + kPreviewFrameWidth;
}

void previewPicturePlace(size_t colourCount, uint32_t width, uint32_t height, bool after, int& x,
                         int& y, int& scale, int& step) {
    const PictureFit fit = fitPicture(width, height);
    x = kMargin + (after ? fit.width + kPictureGap : 0);
    y = pictureLabelTop(colourCount) + kTextHeight + 4;
    scale = fit.scale;
    step = fit.step;
}

bool decodeBitmapPixels(const PaletteFile& palette, PicturePixels& picture) {
    picture = PicturePixels();
    const ByteView bytes = palette.bytes;
    BitmapFile bitmap;
    std::string unused;  // parsePalette has read these headers already
    if (!readBitmapFile(bytes.data(), bytes.size(), bitmap, unused)) return true;
    // Run-length encoded pixels are not drawn; the colours still are.
    if (bitmap.compression != kBitmapRgb ||
        uint64_t(bitmap.width) * bitmap.rows > kMaxPicturePixels)
        return true;
    picture.width = uint32_t(bitmap.width);
    picture.height = uint32_t(bitmap.rows);
    picture.values.resize(size_t(bitmap.width) * bitmap.rows);
    const unsigned bits = bitmap.bitsPerPixel, mask = (1u << bits) - 1;
    for (size_t y = 0; y < bitmap.rows; ++y) {
        // Rows run bottom-up unless the height is negative.
        const size_t sourceRow = bitmap.height < 0 ? y : bitmap.rows - 1 - y;
        const uint8_t* row = &bytes[bitmap.pixelOffset + sourceRow * bitmap.rowBytes];
        // A byte holds 8 / bits pixels, the leftmost in its top bits.
        for (size_t x = 0; x < size_t(bitmap.width); ++x) {
            const size_t bit = x * bits;
            picture.values[y * size_t(bitmap.width) + x] =
                uint8_t(row[bit / 8] >> (8 - bits - bit % 8) & mask);
        }
    }
    return true;
}

bool makePreview(const PaletteFile& input, const std::vector<PaletteColour>& output,
                 const SliderState& state, bool preserveBrightness, std::vector<uint8_t>& png,
                 std::string& error) {
    PicturePixels picture;
    if (!decodePicture(input, picture, error)) return false;
    const PictureFit fit = fitPicture(picture.width, picture.height);
    const size_t shown = std::min(input.colours.size(), kPreviewMostSwatches);
    const int columns = int(std::min(shown, kPreviewSwatchesPerRow));

    const int legendTop = legendTopFor(input.colours.size());
    int legendWidth = 0;
    for (const char* name : kRangeNames)
        legendWidth += kCell + 6 + textColumns(name) * kTextScale + 20;
    const int pictureTop = pictureLabelTop(input.colours.size());
    Canvas canvas;
    canvas.width = 2 * kMargin + std::max({kLabelWidth + columns * kPitch, legendWidth,
                                           2 * fit.width + kPictureGap});
    canvas.height = fit.width > 0 ? pictureTop + kTextHeight + 4 + fit.height + kMargin
                                  : legendTop + kCell + kMargin;
    canvas.rgb.resize(3 * size_t(canvas.width) * canvas.height);
    fill(canvas, 0, 0, canvas.width, canvas.height, kBackground);

    const int textOffset = (kCell - kGlyphBaselineRows * kTextScale) / 2 - kPreviewFrameWidth;
    for (size_t i = 0; i < shown; ++i) {
        const uint8_t rgb[3] = {input.colours[i].red, input.colours[i].green,
                                input.colours[i].blue};
        const int range = toneRangeOf(classifyingLuminance(rgb, preserveBrightness), state);
        int x, y;
        for (bool isOutput : {false, true}) {
            previewSwatchPlace(i, isOutput, x, y);
            drawSwatch(canvas, x, y, isOutput ? output[i] : input.colours[i], range);
            if (i % kPreviewSwatchesPerRow == 0)
                drawText(canvas, kMargin, y + textOffset, isOutput ? "Output" : "Input");
        }
    }
    int x = kMargin;
    for (int range = 0; range < 3; ++range) {
        fill(canvas, x, legendTop, kCell, kCell, kToneRangeFrameColours[range]);
        fill(canvas, x + kPreviewFrameWidth, legendTop + kPreviewFrameWidth, kPreviewSwatchSize,
             kPreviewSwatchSize, kBackground);
        drawText(canvas, x + kCell + 6, legendTop + textOffset + kPreviewFrameWidth,
                 kRangeNames[range]);
        x += kCell + 6 + textColumns(kRangeNames[range]) * kTextScale + 20;
    }
    if (fit.width > 0) {
        int left, right, top, scale, step;
        previewPicturePlace(input.colours.size(), picture.width, picture.height, false, left, top,
                            scale, step);
        previewPicturePlace(input.colours.size(), picture.width, picture.height, true, right, top,
                            scale, step);
        drawText(canvas, left, pictureTop, "Before");
        drawText(canvas, right, pictureTop, "After");
        // A BMP's pixels select from its whole colour table.
        const size_t count =
            input.format == IndexedBitmap ? input.colours.size() : input.pictureColourCount;
        drawPicture(canvas, left, top, picture, fit, input.colours, input.pictureColourStart,
                    count);
        drawPicture(canvas, right, top, picture, fit, output, input.pictureColourStart, count);
    }
    png.clear();
    if (!stbi_write_png_to_func(appendBytes, &png, canvas.width, canvas.height, 3,
                                canvas.rgb.data(), canvas.width * 3)) {
        error = "cannot encode the preview picture";
        return false;
    }
    return true;
}
