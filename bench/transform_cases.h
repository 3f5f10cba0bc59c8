// What the transform benchmarks time, shared by the Google Benchmark program
// (native) and the plain timing program (both builds): two fixed 256-colour
// palettes, a slider state, the palette transform with the project's power
// function or with the platform's, a baseline that makes only the
// transform's 13 power evaluations per colour, and a plain sweep of powers.
#pragma once

#include <cstdint>
#include <vector>

#include "slider_state.h"

constexpr int kBenchColours = 256;

struct BenchPalette {
    const char* name;
    std::vector<uint8_t> source;   // header and 256 colour-table entries
    std::vector<uint8_t> working;  // rewritten by each run
    int32_t bytes;
};

// "random": 256 colours from a fixed seed, so few zero channels.
// "cube": the 6x6x6 colour cube (levels 0, 51, ... 255) and a 40-step grey
// ramp, a typical paint-program palette; a sixth of its channels are 0.
BenchPalette makeRandomPalette();
BenchPalette makeCubePalette();

// Nonzero values in every tone range and in All, default thresholds.
SliderState benchSliderState();

// std::pow: glibc's in the native build, MinGW-w64's in the Windows build.
double platformPow(double x, double y);

// The palette transform over the whole palette, with balancePow or with
// platformPow in its place.
void transformWithOwnPow(BenchPalette& palette, const SliderState& state, bool preserveBrightness);
void transformWithPlatformPow(BenchPalette& palette, const SliderState& state, bool preserveBrightness);

// The 13 power evaluations per colour of the brightness-preserving mode (and
// the one per call for full intensity), chained as the transform chains them
// but with nothing else around them. Returns a sum of the results so that
// nothing is left out.
double thirteenPowsOwn(const BenchPalette& palette);
double thirteenPowsPlatform(const BenchPalette& palette);

// One power per base over kSweepBases fixed bases, half with each exponent:
// channel values, linear values and small luminances. Returns their sum.
constexpr int kSweepBases = 4096;
double powSweepOwn();
double powSweepPlatform();
