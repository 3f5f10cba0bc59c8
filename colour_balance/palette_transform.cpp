// Every named quantity is a float; each is computed in double precision from
// its operands and rounded to float once (toFloat). Sums run left to right and
// no multiply-add is fused (the build compiles with -ffp-contract=off), because
// the final conversion truncates and so shows every last-place difference.
#include "palette_transform.h"

#include "balance_pow.h"
#include "palette_image.h"

namespace {

inline float toFloat(double value) { return static_cast<float>(value); }

struct Rgb {
    float red, green, blue;
};

// Luminance on the given scale: 255 in the plain mode, W in the other.
inline float luminance(float red, float green, float blue, double scale) {
    return toFloat((double(kWeightGreen) * green + double(kWeightRed) * red +
                    double(kWeightBlue) * blue) / scale);
}

inline int classify(float luminance, const SliderState& state) {
    if (luminance < state.lowsBelow) return Lows;
    if (luminance > state.heightsAbove) return Heights;
    return Mediums;
}

// Plain mode, one channel: a negative value scales towards 0, a positive one
// moves towards 255.
inline float shiftChannel(float channel, float value) {
    if (value < 0) return toFloat(double(value) * channel + channel);
    return toFloat((255.0 - channel) * value + channel);
}

inline float plainChannel(float channel, float rangeValue, float allValue) {
    float result = shiftChannel(shiftChannel(channel, rangeValue), allValue);
    return result > 255.0f ? 255.0f : result;
}

Rgb plainColour(Rgb in, const SliderState& state) {
    const int range = classify(luminance(in.red, in.green, in.blue, 255.0), state);
    const float* v = state.balance[range];
    const float* a = state.balance[All];
    return {plainChannel(in.red, v[CyanRed], a[CyanRed]),
            plainChannel(in.green, v[MagentaGreen], a[MagentaGreen]),
            plainChannel(in.blue, v[YellowBlue], a[YellowBlue])};
}

inline float positivePart(float v) { return v >= 0 ? v : 0.0f; }
inline float negativePart(float v) { return v < 0 ? -v : 0.0f; }

inline float pushAmount(float first, float second, float third) {
    return toFloat(double(toFloat(double(first) + second + third)) / 3.0);
}

// Reduce, push towards full intensity, rescale to the target luminance and
// re-encode: one pass of the brightness-preserving mode over linear values.
Rgb shiftPass(Rgb linear, float target, const float values[3], float full) {
    const float cr = values[CyanRed], mg = values[MagentaGreen], yb = values[YellowBlue];
    const float push[3] = {
        pushAmount(negativePart(mg), positivePart(cr), negativePart(yb)),
        pushAmount(negativePart(cr), positivePart(mg), negativePart(yb)),
        pushAmount(negativePart(cr), positivePart(yb), negativePart(mg)),
    };
    const float channels[3] = {linear.red, linear.green, linear.blue};
    float moved[3];
    for (int c = 0; c < 3; ++c) {
        const double k = values[c] < 0 ? 1.0 + 0.5 * values[c] : 1.0;
        const float s = toFloat(k * channels[c]);
        moved[c] = toFloat(s + (double(full) - s) * push[c]);
    }
    const float shifted = luminance(moved[0], moved[1], moved[2], full);
    const float ratio = shifted == 0.0f ? 0.0f : toFloat(double(target) / shifted);
    float out[3];
    for (int c = 0; c < 3; ++c) {
        const float base = toFloat(double(moved[c]) * ratio);
        const float encoded = toFloat(balancePow(base, kEncodingExponent));
        out[c] = encoded > 255.0f ? 255.0f : encoded;
    }
    return {out[0], out[1], out[2]};
}

inline Rgb linearise(Rgb c) {
    return {toFloat(balancePow(c.red, kLinearisingExponent)),
            toFloat(balancePow(c.green, kLinearisingExponent)),
            toFloat(balancePow(c.blue, kLinearisingExponent))};
}

inline float fullIntensity() { return toFloat(balancePow(255.0, kLinearisingExponent)); }

Rgb preservingColour(Rgb in, const SliderState& state, float full) {
    const Rgb linear = linearise(in);
    const float target = luminance(linear.red, linear.green, linear.blue, full);
    const float perceived = toFloat(balancePow(target, kEncodingExponent));
    const int range = classify(perceived, state);
    const Rgb first = shiftPass(linear, target, state.balance[range], full);
    return shiftPass(linearise(first), target, state.balance[All], full);
}

inline uint8_t truncateToByte(float value) { return static_cast<uint8_t>(static_cast<int>(value)); }

// One colour through the mode that is on; channel values in and out on 0..255.
inline Rgb balancedColour(Rgb colour, const SliderState& state, bool preserveBrightness, float full) {
    return preserveBrightness ? preservingColour(colour, state, full) : plainColour(colour, state);
}

}  // namespace

void rebalanceColour(const uint8_t in[3], uint8_t out[3], const SliderState& state,
                     bool preserveBrightness) {
    const Rgb result = balancedColour({float(in[0]), float(in[1]), float(in[2])}, state,
                                      preserveBrightness, fullIntensity());
    out[0] = truncateToByte(result.red);
    out[1] = truncateToByte(result.green);
    out[2] = truncateToByte(result.blue);
}

float classifyingLuminance(const uint8_t rgb[3], bool preserveBrightness) {
    const float red = rgb[0], green = rgb[1], blue = rgb[2];
    if (!preserveBrightness) return luminance(red, green, blue, 255.0);
    const float full = fullIntensity();
    const Rgb linear = linearise({red, green, blue});
    return toFloat(balancePow(luminance(linear.red, linear.green, linear.blue, full),
                              kEncodingExponent));
}

int toneRangeOf(float luminance, const SliderState& state) { return classify(luminance, state); }

void rebalancePalette(const uint8_t* source, uint8_t* working, int32_t paletteBytes,
                      const SliderState& state, bool preserveBrightness) {
    const float full = fullIntensity();
    const uint32_t count = usablePaletteEntries(source, paletteBytes);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* in = source + kPaletteHeaderBytes + kPaletteEntryBytes * i;
        uint8_t* out = working + kPaletteHeaderBytes + kPaletteEntryBytes * i;
        const Rgb colour = {float(in[2]), float(in[1]), float(in[0])};
        const Rgb result = balancedColour(colour, state, preserveBrightness, full);
        out[2] = truncateToByte(result.red);
        out[1] = truncateToByte(result.green);
        out[0] = truncateToByte(result.blue);
    }
}
