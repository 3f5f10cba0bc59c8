// The palette balance transform: rewrites the red, green and blue bytes of
// every colour-table entry of the working palette image from the same entry of
// the untouched source image, by one slider state. Platform-free.
#pragma once

#include <cstdint>

#include "slider_state.h"

// Luminance weights and exponents, all single-precision values.
constexpr float kWeightRed = 0.2126f;
constexpr float kWeightGreen = 0.7152f;
constexpr float kWeightBlue = 0.0722f;
constexpr float kLinearisingExponent = 2.2f;
// The single-precision reciprocal of the single-precision 2.2 (one step below
// the float nearest to 1/2.2); the host's results depend on this exact value.
constexpr float kEncodingExponent = 0.45454544f;

// Rewrites bytes 0..2 of each working colour-table entry. `source` and
// `working` are two palette images of `paletteBytes` bytes each with the same
// header; the colour count is the source's biClrUsed, limited to the entries
// that lie wholly inside `paletteBytes`. A block shorter than its header is
// left alone. Reserved bytes, header and pixels of `working` are never written.
void rebalancePalette(const uint8_t* source, uint8_t* working, int32_t paletteBytes,
                      const SliderState& state, bool preserveBrightness);

// One colour through the transform, for tools and tests: rgb in, rgb out.
void rebalanceColour(const uint8_t in[3], uint8_t out[3], const SliderState& state,
                     bool preserveBrightness);

// Luminance that classifies a colour into Lows, Mediums or Heights (plain
// mode: on the 0..255 scale divided by 255; brightness-preserving mode: the
// perceived luminance of the linearised colour), and the range it gives.
float classifyingLuminance(const uint8_t rgb[3], bool preserveBrightness);
int toneRangeOf(float luminance, const SliderState& state);
