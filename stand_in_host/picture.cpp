#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bitmap_file.h"

namespace {

constexpr int kBuiltInWidth = 384;
constexpr int kBuiltInHeight = 256;
constexpr int kHorizon = 156;

struct Rgb {
    double r, g, b;
};

// A run of palette entries that shades one part of the scene from t = 0 to
// t = 1 through a few key colours.
struct Band {
    int first;
    int count;
    Rgb keys[4];
    int keyCount;
};

// 64 + 16 + 32 + 48 + 64 + 32 = 256 entries.
const Band kSky = {0, 64, {{18, 24, 84}, {92, 62, 148}, {236, 110, 92}, {255, 196, 120}}, 4};
const Band kSun = {64, 16, {{255, 252, 226}, {255, 226, 130}, {255, 160, 70}}, 3};
const Band kFarHills = {80, 32, {{58, 40, 96}, {118, 82, 140}, {190, 130, 150}}, 3};
const Band kNearHills = {112, 48, {{12, 44, 28}, {34, 104, 50}, {104, 156, 62}, {186, 196, 96}}, 4};
const Band kWater = {160, 64, {{8, 22, 56}, {24, 78, 120}, {70, 150, 170}, {255, 200, 120}}, 4};
const Band kSand = {224, 32, {{120, 84, 50}, {200, 160, 104}, {246, 222, 170}}, 3};

// A 4 x 4 ordered-dither threshold in [0, 1), so that gradients between
// neighbouring entries blend instead of banding.
double ditherAt(int x, int y) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (bayer[y & 3][x & 3] + 0.5) / 16.0;
}

double clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }

Rgb bandColour(const Band& band, double t) {
    const double scaled = clamp01(t) * (band.keyCount - 1);
    int key = int(scaled);
    if (key >= band.keyCount - 1) key = band.keyCount - 2;
    const double f = scaled - key;
    const Rgb& a = band.keys[key];
    const Rgb& b = band.keys[key + 1];
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

void fillBand(const Band& band, std::vector<uint8_t>& palette) {
    for (int i = 0; i < band.count; ++i) {
        const Rgb c = bandColour(band, double(i) / (band.count - 1));
        uint8_t* entry = &palette[size_t(band.first + i) * 4];
        entry[0] = uint8_t(std::lround(c.b));
        entry[1] = uint8_t(std::lround(c.g));
        entry[2] = uint8_t(std::lround(c.r));
        entry[3] = 0;
    }
}

// The entry of `band` for shade t at pixel (x, y), dithered.
uint8_t shadeIndex(const Band& band, double t, int x, int y) {
    int step = int(std::floor(clamp01(t) * (band.count - 1) + ditherAt(x, y)));
    if (step > band.count - 1) step = band.count - 1;
    return uint8_t(band.first + step);
}

const double kSunX = 250, kSunY = 98, kSunRadius = 24;

double farHillTop(int x) {
    return kHorizon - 34 - 16 * std::sin(x * 0.021 + 0.6) - 7 * std::sin(x * 0.057 + 2.0);
}

// A hill on the left whose slope runs on below the horizon into the lake.
double nearHillTop(int x) {
    const double d = x / 150.0;
    const double slope = x > 120 ? (x - 120) * 0.55 : 0.0;
    return kHorizon - 92 * std::exp(-d * d * 1.4) + 10 * std::sin(x * 0.045) + slope;
}

double shoreLine(int x) {
    return kBuiltInHeight - 40 + 16 * std::sin(x * 0.018 + 1.1) -
           20 * std::exp(-(x - 60) * (x - 60) / 5000.0);
}

// Which part of the scene (x, y) shows, and its shade there before stretching.
struct Shade {
    const Band* band;
    double t;
};

Shade sceneShade(int x, int y) {
    const double dx = x - kSunX, dy = y - kSunY;
    const double sunDistance = std::sqrt(dx * dx + dy * dy);
    const double shore = shoreLine(x);
    if (y >= shore) {
        // Sunlit at the water's edge, darker towards the front, faint ripples.
        const double depth = (y - shore) / (kBuiltInHeight - shore + 1.0);
        const double ripple = 0.06 * std::sin(x * 0.06 + y * 0.5 + 2.0 * std::sin(x * 0.013));
        return {&kSand, 0.95 - 0.85 * depth + ripple};
    }
    if (y >= nearHillTop(x)) {
        // Lit from the sun on the right: brighter towards the hill's top right.
        const double height = (kHorizon + 40 - y) / 140.0;
        const double light = x / 260.0;
        return {&kNearHills, 0.6 * height + 0.4 * light};
    }
    if (y >= kHorizon) {
        // The lake: darker with depth, the sun's reflection as a rippled column.
        const double depth = (y - kHorizon) / double(kBuiltInHeight - kHorizon);
        const double ripple = 0.5 + 0.5 * std::sin(y * 0.9 + std::sin(x * 0.15) * 2.0);
        const double column = std::exp(-(dx * dx) / (2 * 16.0 * 16.0 * (1 + depth * 3)));
        const double glow = column * (0.5 + 0.5 * ripple) * (1.0 - depth * 0.6);
        return {&kWater, 0.6 * (1.0 - depth) + 0.42 * glow + 0.04 * ripple};
    }
    if (y >= farHillTop(x)) {
        const double height = (kHorizon - y) / 60.0;
        const double haze = 1.0 - std::fabs(x - kSunX) / 300.0;
        return {&kFarHills, 0.6 * (1.0 - height) + 0.4 * haze};
    }
    if (sunDistance <= kSunRadius) return {&kSun, sunDistance / kSunRadius};
    // The sky: the vertical gradient warmed around the sun.
    const double halo = std::exp(-sunDistance / 70.0);
    return {&kSky, 0.82 * y / kHorizon + 0.3 * halo};
}

}  // namespace

void makeBuiltInPicture(Picture& picture) {
    picture.name = "built-in landscape";
    picture.width = kBuiltInWidth;
    picture.height = kBuiltInHeight;
    picture.rowBytes = kBuiltInWidth;
    picture.palette.assign(size_t(kMaxPaletteEntries) * 4, 0);
    const Band* const bands[] = {&kSky, &kSun, &kFarHills, &kNearHills, &kWater, &kSand};
    for (const Band* band : bands) fillBand(*band, picture.palette);

    // Each part's shades are stretched to the whole run of its entries, so
    // that every entry of the palette appears in the picture.
    std::vector<Shade> shades(size_t(kBuiltInWidth) * kBuiltInHeight);
    double lowest[6], highest[6];
    for (int b = 0; b < 6; ++b) lowest[b] = 1e9, highest[b] = -1e9;
    for (int y = 0; y < kBuiltInHeight; ++y)
        for (int x = 0; x < kBuiltInWidth; ++x) {
            const Shade shade = sceneShade(x, y);
            shades[size_t(y) * kBuiltInWidth + x] = shade;
            const int b = int(std::find(bands, bands + 6, shade.band) - bands);
            lowest[b] = std::min(lowest[b], shade.t);
            highest[b] = std::max(highest[b], shade.t);
        }
    picture.pixels.resize(shades.size());
    for (int y = 0; y < kBuiltInHeight; ++y)
        for (int x = 0; x < kBuiltInWidth; ++x) {
            const Shade& shade = shades[size_t(y) * kBuiltInWidth + x];
            const int b = int(std::find(bands, bands + 6, shade.band) - bands);
            const double range = highest[b] - lowest[b];
            const double t = range > 0 ? (shade.t - lowest[b]) / range : 0.0;
            picture.pixels[size_t(y) * kBuiltInWidth + x] = shadeIndex(*shade.band, t, x, y);
        }
}

bool readBmpPicture(const uint8_t* bytes, size_t size, Picture& picture, std::string& problem) {
    BitmapFile bitmap;
    if (!readBitmapFile(bytes, size, bitmap, problem)) return false;
    // The host shows the pixels, so it takes them only as plain rows.
    if (bitmap.compression != kBitmapRgb || bitmap.bitsPerPixel != 8) {
        problem = "only uncompressed 8-bit BMP pictures can be opened";
        return false;
    }
    picture.width = bitmap.width;
    picture.height = int(bitmap.rows);
    picture.rowBytes = int(bitmap.rowBytes);
    picture.palette.assign(bytes + bitmap.tableOffset, bytes + bitmap.tableOffset + bitmap.colourCount * 4);
    picture.pixels.resize(bitmap.rowBytes * bitmap.rows);
    // BMP rows run bottom-up unless the height is negative.
    for (size_t row = 0; row < bitmap.rows; ++row) {
        const size_t sourceRow = bitmap.height > 0 ? bitmap.rows - 1 - row : row;
        std::memcpy(&picture.pixels[row * bitmap.rowBytes], bytes + bitmap.pixelOffset + sourceRow * bitmap.rowBytes,
                    bitmap.rowBytes);
    }
    return true;
}
