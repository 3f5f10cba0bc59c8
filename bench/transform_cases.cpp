#include "transform_cases.h"

#include <cmath>
#include <cstring>

#include "balance_pow.h"
#include "palette_image.h"
#include "palette_transform.h"
#include "seeded_random.h"

namespace {

BenchPalette emptyPalette(const char* name) {
    BenchPalette palette;
    palette.name = name;
    palette.bytes = kPaletteHeaderBytes + kPaletteEntryBytes * kBenchColours;
    palette.source.assign(size_t(palette.bytes), 0);
    palette.source[0] = 40;  // biSize
    const uint32_t count = kBenchColours;
    std::memcpy(&palette.source[32], &count, 4);  // biClrUsed, little-endian
    return palette;
}

void setColour(BenchPalette& palette, int index, uint8_t red, uint8_t green, uint8_t blue) {
    uint8_t* entry = &palette.source[size_t(kPaletteHeaderBytes + kPaletteEntryBytes * index)];
    entry[0] = blue;
    entry[1] = green;
    entry[2] = red;
}

template <double (*Power)(double, double)>
double thirteenPows(const BenchPalette& palette) {
    const double g = kLinearisingExponent, h = kEncodingExponent;
    const float full = float(Power(255.0, g));
    double total = full;
    for (int i = 0; i < kBenchColours; ++i) {
        const uint8_t* entry = &palette.source[size_t(kPaletteHeaderBytes + kPaletteEntryBytes * i)];
        float channel[3] = {float(entry[2]), float(entry[1]), float(entry[0])};
        float linear[3];
        for (int c = 0; c < 3; ++c) linear[c] = float(Power(channel[c], g));
        const float target = float((double(kWeightGreen) * linear[1] + double(kWeightRed) * linear[0] +
                                    double(kWeightBlue) * linear[2]) / full);
        total += float(Power(target, h));
        for (int c = 0; c < 3; ++c) channel[c] = float(Power(linear[c], h));
        for (int c = 0; c < 3; ++c) linear[c] = float(Power(channel[c], g));
        for (int c = 0; c < 3; ++c) total += float(Power(linear[c], h));
    }
    return total;
}

// Channel values, linear values up to full intensity and a little above, and
// luminances down to 1e-7, alternately with each exponent.
struct SweepBases {
    double bases[kSweepBases];
    SweepBases() {
        uint64_t seed = 77;
        for (int i = 0; i < kSweepBases; ++i) {
            const double unit = unitRandom(seed);
            switch (i % 4) {
                case 0: bases[i] = float(255.0 * unit); break;          // channel, exponent 2.2
                case 1: bases[i] = float(200000.0 * unit); break;       // linear, exponent 1/2.2
                case 2: bases[i] = double(int(256 * unit)); break;      // byte, exponent 2.2
                default: bases[i] = float(std::exp2(-23.0 * unit)); break;  // luminance, 1/2.2
            }
        }
    }
};

const SweepBases& sweepBases() {
    static const SweepBases bases;
    return bases;
}

template <double (*Power)(double, double)>
double powSweep() {
    const double exponents[2] = {kLinearisingExponent, kEncodingExponent};
    const double* bases = sweepBases().bases;
    double total = 0;
    for (int i = 0; i < kSweepBases; ++i) total += Power(bases[i], exponents[i & 1]);
    return total;
}

}  // namespace

// The transform compiled a second time with platformPow, in
// transform_platform_pow.cpp.
namespace with_platform_pow {
void rebalancePalette(const uint8_t* source, uint8_t* working, int32_t paletteBytes,
                      const SliderState& state, bool preserveBrightness);
}

BenchPalette makeRandomPalette() {
    BenchPalette palette = emptyPalette("random");
    uint64_t seed = 20261207;
    for (int i = 0; i < kBenchColours; ++i) {
        const uint64_t r = nextRandom(seed);
        setColour(palette, i, uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16));
    }
    palette.working = palette.source;
    return palette;
}

BenchPalette makeCubePalette() {
    BenchPalette palette = emptyPalette("cube");
    int index = 0;
    for (int red = 0; red < 6; ++red)
        for (int green = 0; green < 6; ++green)
            for (int blue = 0; blue < 6; ++blue)
                setColour(palette, index++, uint8_t(51 * red), uint8_t(51 * green), uint8_t(51 * blue));
    for (int step = 0; index < kBenchColours; ++step) {
        const uint8_t grey = uint8_t(step * 255 / 39);
        setColour(palette, index++, grey, grey, grey);
    }
    palette.working = palette.source;
    return palette;
}

SliderState benchSliderState() {
    SliderState state = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
    const float values[kToneRangeCount][kBalanceAxisCount] = {
        {0.25f, -0.5f, 0.125f}, {-0.375f, 0.5f, 0.0f}, {0.75f, 0.0f, -0.25f}, {0.0625f, -0.125f, 0.25f}};
    std::memcpy(state.balance, values, sizeof values);
    return state;
}

double platformPow(double x, double y) { return std::pow(x, y); }

void transformWithOwnPow(BenchPalette& palette, const SliderState& state, bool preserveBrightness) {
    rebalancePalette(palette.source.data(), palette.working.data(), palette.bytes, state, preserveBrightness);
}

void transformWithPlatformPow(BenchPalette& palette, const SliderState& state, bool preserveBrightness) {
    with_platform_pow::rebalancePalette(palette.source.data(), palette.working.data(), palette.bytes, state,
                                        preserveBrightness);
}

double thirteenPowsOwn(const BenchPalette& palette) { return thirteenPows<balancePow>(palette); }
double thirteenPowsPlatform(const BenchPalette& palette) { return thirteenPows<platformPow>(palette); }

double powSweepOwn() { return powSweep<balancePow>(); }
double powSweepPlatform() { return powSweep<platformPow>(); }
