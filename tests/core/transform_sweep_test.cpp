// A fixed, seeded sweep of 100,352 colours under varied settings in both modes;
// the digest of all output bytes must be the same in every build, so a power
// function or compiler that differs anywhere shows here.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "palette_image.h"
#include "palette_transform.h"
#include "seeded_random.h"

namespace {

// A balance value as the sliders make it (a multiple of 1/256), or now and
// then an arbitrary float in [-1, +1], or 0.
float randomBalance(uint64_t& seed) {
    const uint64_t r = nextRandom(seed);
    switch (r % 4) {
        case 0: return 0.0f;
        case 1: return float((double((r >> 8) % 2000001) - 1000000.0) / 1000000.0);
        default: return float((double((r >> 8) % 513) - 256.0) / 256.0);
    }
}

uint64_t fnv1a(uint64_t hash, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

uint64_t sweepDigest() {
    constexpr int kPalettes = 392, kColours = 256;
    const int32_t bytes = kPaletteHeaderBytes + 4 * kColours;
    std::vector<uint8_t> source(bytes, 0), working(bytes, 0);
    source[0] = 40;
    source[33] = 1;  // biClrUsed 256
    uint64_t seed = 20261207;
    uint64_t digest = 0xCBF29CE484222325ull;
    for (int p = 0; p < kPalettes; ++p) {
        for (int i = 0; i < kColours; ++i) {
            const uint64_t r = nextRandom(seed);
            for (int c = 0; c < 4; ++c) source[kPaletteHeaderBytes + 4 * i + c] = uint8_t(r >> (8 * c));
            if (i < 16) {  // greys and near-greys, where the exponent pair is closest to identity
                const uint8_t grey = uint8_t(r >> 40);
                for (int c = 0; c < 3; ++c) source[kPaletteHeaderBytes + 4 * i + c] = uint8_t(grey + (c == 0 ? (i & 1) : 0));
            }
        }
        SliderState state;
        state.lowsBelow = (p % 3 == 0) ? kDefaultLowsBelow : float(nextRandom(seed) % 257 / 256.0);
        state.heightsAbove = (p % 3 == 0) ? kDefaultHeightsAbove : float(nextRandom(seed) % 257 / 256.0);
        for (auto& range : state.balance)
            for (float& value : range) value = randomBalance(seed);
        const bool preserve = (p % 2) == 0;
        working = source;
        rebalancePalette(source.data(), working.data(), bytes, state, preserve);
        digest = fnv1a(digest, working.data() + kPaletteHeaderBytes, 4 * kColours);
    }
    return digest;
}

// The digest of the sweep's output; the same in the native and Windows builds.
constexpr uint64_t kGoldenSweepDigest = 0xb6684e26cb8ee4e1ull;

}  // namespace

TEST(TransformSweep, DigestMatchesTheGoldenValueInEveryBuild) {
    const uint64_t digest = sweepDigest();
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(digest));
    EXPECT_EQ(kGoldenSweepDigest, digest) << "sweep digest " << text;
}
