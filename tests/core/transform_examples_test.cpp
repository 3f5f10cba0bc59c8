// Worked examples of the palette transform, checked byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "palette_image.h"
#include "palette_transform.h"
#include "slider_state.h"

namespace {

SliderState defaultState() {
    SliderState state = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
    return state;
}

struct Colour {
    uint8_t red, green, blue;
};

Colour balanced(Colour in, const SliderState& state, bool preserve) {
    const uint8_t rgb[3] = {in.red, in.green, in.blue};
    uint8_t out[3];
    rebalanceColour(rgb, out, state, preserve);
    return {out[0], out[1], out[2]};
}

::testing::AssertionResult sameColour(Colour expected, Colour actual) {
    if (expected.red == actual.red && expected.green == actual.green && expected.blue == actual.blue)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected (" << int(expected.red) << ", " << int(expected.green) << ", "
           << int(expected.blue) << "), got (" << int(actual.red) << ", " << int(actual.green)
           << ", " << int(actual.blue) << ")";
}

// A palette image: header with biClrUsed = count, the colour table, 16 bytes of pixels.
std::vector<uint8_t> makeImage(const std::vector<Colour>& colours, uint8_t reserved = 0) {
    std::vector<uint8_t> image(kPaletteHeaderBytes + 4 * colours.size() + 16, 0xAB);
    std::fill(image.begin(), image.begin() + kPaletteHeaderBytes, 0);
    image[0] = 40;
    image[4] = 2;   // biWidth 2
    image[8] = 2;   // biHeight 2
    const uint32_t count = uint32_t(colours.size());
    std::memcpy(&image[32], &count, 4);
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* entry = &image[kPaletteHeaderBytes + 4 * i];
        entry[0] = colours[i].blue;
        entry[1] = colours[i].green;
        entry[2] = colours[i].red;
        entry[3] = reserved;
    }
    return image;
}

}  // namespace

TEST(TransformConstants, ExactSinglePrecisionValues) {
    EXPECT_EQ(double(kWeightRed), 0.2125999927520752);
    EXPECT_EQ(double(kWeightGreen), 0.7152000069618225);
    EXPECT_EQ(double(kWeightBlue), 0.0722000002861023);
    EXPECT_EQ(double(kLinearisingExponent), 2.200000047683716);
    EXPECT_EQ(double(kEncodingExponent), 0.45454543828964233);
    EXPECT_EQ(kEncodingExponent, 1.0f / kLinearisingExponent);
}

TEST(TransformZeroBalance, PlainModeLeavesEveryColourUnchanged) {
    const SliderState state = defaultState();
    for (int red = 0; red < 256; red += 5)
        for (int green = 0; green < 256; green += 3)
            for (int blue = 0; blue < 256; blue += 7) {
                const Colour in = {uint8_t(red), uint8_t(green), uint8_t(blue)};
                ASSERT_TRUE(sameColour(in, balanced(in, state, false)));
            }
}

TEST(TransformZeroBalance, PreservingModeGreysAndPrimaries) {
    // grey in -> grey out, and pure primaries at full intensity
    static const struct { Colour in, out; } samples[] = {
        {{0, 0, 0}, {0, 0, 0}},          {{1, 1, 1}, {1, 1, 1}},
        {{2, 2, 2}, {2, 2, 2}},          {{3, 3, 3}, {3, 3, 3}},
        {{5, 5, 5}, {5, 5, 5}},          {{50, 50, 50}, {50, 50, 50}},
        {{51, 51, 51}, {51, 51, 51}},    {{4, 4, 4}, {3, 3, 3}},
        {{128, 128, 128}, {127, 127, 127}}, {{204, 204, 204}, {203, 203, 203}},
        {{205, 205, 205}, {204, 204, 204}}, {{254, 254, 254}, {253, 253, 253}},
        {{255, 255, 255}, {254, 254, 254}}, {{255, 0, 0}, {254, 0, 0}},
        {{0, 255, 0}, {0, 254, 0}},      {{0, 0, 255}, {0, 0, 254}},
    };
    const SliderState state = defaultState();
    for (const auto& sample : samples)
        EXPECT_TRUE(sameColour(sample.out, balanced(sample.in, state, true)))
            << "input grey/primary " << int(sample.in.red) << "," << int(sample.in.green) << ","
            << int(sample.in.blue);
}

TEST(TransformClassification, GreysAtTheDefaultThresholdsInBothModes) {
    const SliderState state = defaultState();
    static const struct { uint8_t grey; int range; } samples[] = {
        {50, Lows}, {51, Mediums}, {204, Mediums}, {205, Heights}};
    for (bool preserve : {false, true})
        for (const auto& sample : samples) {
            const uint8_t rgb[3] = {sample.grey, sample.grey, sample.grey};
            EXPECT_EQ(sample.range, toneRangeOf(classifyingLuminance(rgb, preserve), state))
                << "grey " << int(sample.grey) << (preserve ? " preserving" : " plain");
        }
    const uint8_t grey51[3] = {51, 51, 51}, grey204[3] = {204, 204, 204};
    EXPECT_EQ(0.2f, classifyingLuminance(grey51, false));
    EXPECT_EQ(0.8f, classifyingLuminance(grey204, false));
}

TEST(TransformClassification, LowsTestComesFirstWhenThresholdsCross) {
    SliderState state = defaultState();
    state.lowsBelow = 0.9f;
    state.heightsAbove = 0.1f;
    const uint8_t grey[3] = {128, 128, 128};
    EXPECT_EQ(Lows, toneRangeOf(classifyingLuminance(grey, false), state));
}

TEST(TransformPlainMode, Grey100WithMediumsAndAll) {
    SliderState state = defaultState();
    state.balance[Mediums][CyanRed] = 0.5f;
    state.balance[Mediums][YellowBlue] = -0.5f;
    EXPECT_TRUE(sameColour({177, 100, 50}, balanced({100, 100, 100}, state, false)));
    state.balance[All][MagentaGreen] = -1.0f;
    EXPECT_TRUE(sameColour({177, 0, 50}, balanced({100, 100, 100}, state, false)));
}

TEST(TransformBothModes, BlackWithLowsAtPlusOne) {
    SliderState state = defaultState();
    for (float& value : state.balance[Lows]) value = 1.0f;
    EXPECT_TRUE(sameColour({255, 255, 255}, balanced({0, 0, 0}, state, false)));
    EXPECT_TRUE(sameColour({0, 0, 0}, balanced({0, 0, 0}, state, true)));
}

TEST(TransformPreservingMode, Grey128WithMediumsCyanRed) {
    SliderState state = defaultState();
    state.balance[Mediums][CyanRed] = 1.0f;
    EXPECT_TRUE(sameColour({164, 115, 115}, balanced({128, 128, 128}, state, true)));
    state.balance[Mediums][CyanRed] = -1.0f;
    EXPECT_TRUE(sameColour({71, 138, 138}, balanced({128, 128, 128}, state, true)));
}

TEST(RebalancePalette, RewritesOnlyColourBytesAndKeepsReservedBytes) {
    const std::vector<Colour> colours = {{100, 100, 100}, {10, 200, 30}, {255, 255, 255}};
    const std::vector<uint8_t> source = makeImage(colours, 0x11);
    std::vector<uint8_t> working = makeImage(colours, 0x77);  // different reserved bytes
    SliderState state = defaultState();
    state.balance[All][CyanRed] = 0.25f;
    rebalancePalette(source.data(), working.data(), int32_t(working.size()), state, false);
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* entry = &working[kPaletteHeaderBytes + 4 * i];
        const Colour expected = balanced(colours[i], state, false);
        EXPECT_TRUE(sameColour(expected, {entry[2], entry[1], entry[0]})) << "entry " << i;
        EXPECT_EQ(0x77, entry[3]) << "reserved byte of entry " << i;
    }
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + kPaletteHeaderBytes, working.begin()));
    EXPECT_TRUE(std::equal(source.end() - 16, source.end(), working.end() - 16)) << "pixels changed";
}

TEST(RebalancePalette, ZeroCountOnlyThePassedStateAndShortBlocks) {
    SliderState state = defaultState();
    state.balance[All][YellowBlue] = -0.75f;
    const std::vector<Colour> colours = {{30, 60, 90}, {200, 100, 50}};

    // biClrUsed 0: nothing written
    std::vector<uint8_t> source = makeImage(colours);
    source[32] = 0;
    std::vector<uint8_t> working = source;
    rebalancePalette(source.data(), working.data(), int32_t(working.size()), state, true);
    EXPECT_EQ(source, working);

    // a count far beyond the block: only whole entries inside the block are written
    source = makeImage(colours);
    source[32] = 0xFF;
    source[33] = 0xFF;
    const int32_t bytes = kPaletteHeaderBytes + 4 + 2;  // one whole entry, half of the next
    std::vector<uint8_t> guarded(source.begin(), source.begin() + bytes);
    std::vector<uint8_t> out = guarded;
    rebalancePalette(guarded.data(), out.data(), bytes, state, false);
    const Colour first = balanced(colours[0], state, false);
    EXPECT_TRUE(sameColour(first, {out[42], out[41], out[40]}));
    EXPECT_EQ(guarded[44], out[44]);
    EXPECT_EQ(guarded[45], out[45]);

    // a block shorter than the header is left alone
    std::vector<uint8_t> tiny(20, 0x5A), tinyOut(20, 0x5A);
    rebalancePalette(tiny.data(), tinyOut.data(), 20, state, true);
    EXPECT_EQ(tiny, tinyOut);
}

TEST(RebalancePalette, OnlyThePassedStateCounts) {
    balanceSettings.states[1].balance[All][CyanRed] = 1.0f;  // the other state
    const std::vector<Colour> colours = {{128, 128, 128}};
    const std::vector<uint8_t> source = makeImage(colours);
    std::vector<uint8_t> working = source;
    rebalancePalette(source.data(), working.data(), int32_t(working.size()),
                     balanceSettings.states[0], false);
    EXPECT_EQ(source, working);
    initBalanceSettings();
}
