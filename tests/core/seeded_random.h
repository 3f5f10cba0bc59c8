// splitmix64: a fully specified generator, so that a seeded sweep draws the
// same numbers on every platform and compiler. Shared by the transform sweep
// test and the benchmarks that draw their palettes and bases from it.
#pragma once

#include <cstdint>

inline uint64_t nextRandom(uint64_t& seed) {
    uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A double in [0, 1) from the top 53 bits of the next draw.
inline double unitRandom(uint64_t& seed) { return double(nextRandom(seed) >> 11) * 0x1p-53; }
