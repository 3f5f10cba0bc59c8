// Accuracy of balancePow against a 113-bit reference (libquadmath's powq),
// with the platform's pow beside it. Native only; run by hand.
//   pow_accuracy [bases]     bases per exponent (default 10,000,000) for the
//                            transform's two exponents, plus every integer
//                            0..255, plus smaller runs for other exponents
//   pow_accuracy --table     the sample table of balance_pow_test.cpp
// The error of a result is |result - exact| in units of the last place of
// the correctly rounded result; "not correctly rounded" counts results that
// differ from the reference rounded to double.
#include <quadmath.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "balance_pow.h"
#include "palette_transform.h"
#include "seeded_random.h"

namespace {

struct Tally {
    const char* name;
    long count = 0;
    long notRounded = 0;
    double worstUlps = 0;
    double worstBase = 0;
    double worstExponent = 0;
};

// |result - exact| in units of the last place of the rounded exact value.
double ulpError(double result, __float128 exact) {
    const double rounded = double(exact);
    if (rounded == 0 || std::isinf(rounded)) return result == rounded ? 0.0 : HUGE_VAL;
    int exponent;
    std::frexp(rounded, &exponent);
    const double ulp = std::ldexp(1.0, std::max(exponent - 53, -1074));
    return double(fabsq(__float128(result) - exact) / ulp);
}

void record(Tally& tally, double result, __float128 exact, double x, double y) {
    ++tally.count;
    if (result != double(exact)) ++tally.notRounded;
    const double ulps = ulpError(result, exact);
    if (ulps > tally.worstUlps) {
        tally.worstUlps = ulps;
        tally.worstBase = x;
        tally.worstExponent = y;
    }
}

void check(double x, double y, Tally& own, Tally& platform) {
    const __float128 exact = powq(__float128(x), __float128(y));
    record(own, balancePow(x, y), exact, x, y);
    record(platform, std::pow(x, y), exact, x, y);
}

void report(const Tally& tally) {
    std::printf("  %-10s max %.6f ulp (at %a ^ %a), not correctly rounded %ld of %ld (%.2e)\n", tally.name,
                tally.worstUlps, tally.worstBase, tally.worstExponent, tally.notRounded, tally.count,
                double(tally.notRounded) / double(tally.count));
}

// A base for the transform's exponents: channel values, linear values, small
// luminances; every fourth one a float, as the transform passes them.
double transformBase(uint64_t& seed, long i) {
    const double unit = unitRandom(seed);
    double base;
    switch (i % 3) {
        case 0: base = 256.0 * unit; break;
        case 1: base = 200000.0 * unit; break;
        default: base = std::exp2(-40.0 + 58.0 * unit); break;  // 1e-12 .. 2.6e5
    }
    return (i / 3) % 4 == 0 ? double(float(base)) : base;
}

void transformExponents(long bases) {
    const double exponents[2] = {kLinearisingExponent, kEncodingExponent};
    Tally ownAll = {"own"}, platformAll = {"platform"};
    for (double y : exponents) {
        Tally own = {"own"}, platform = {"platform"};
        for (int i = 0; i < 256; ++i) check(i, y, own, platform);
        uint64_t seed = y > 1 ? 1 : 2;
        for (long i = 0; i < bases; ++i) check(transformBase(seed, i), y, own, platform);
        std::printf("exponent %a (%.9g): %ld bases\n", y, y, own.count);
        report(own);
        report(platform);
        for (Tally* total : {&ownAll, &platformAll}) {
            const Tally& part = total == &ownAll ? own : platform;
            total->count += part.count;
            total->notRounded += part.notRounded;
            if (part.worstUlps > total->worstUlps) {
                total->worstUlps = part.worstUlps;
                total->worstBase = part.worstBase;
                total->worstExponent = part.worstExponent;
            }
        }
    }
    std::printf("both exponents:\n");
    report(ownAll);
    report(platformAll);
}

// Other exponents: (0, 8] through the common path, (8, 1024] through the
// careful one, with bases whose power stays within the double range; and
// subnormal bases.
void otherExponents(long bases) {
    struct Run {
        const char* label;
        double low, high;  // exponent range
    };
    const Run runs[] = {{"exponents (0, 8]", 0.0, 8.0}, {"exponents (8, 1024]", 8.0, 1024.0}};
    uint64_t seed = 3;
    for (const Run& run : runs) {
        Tally own = {"own"}, platform = {"platform"};
        for (long i = 0; i < bases; ++i) {
            const double y = run.low == 0 ? 8.0 * unitRandom(seed) + 0x1p-30
                                          : std::exp2(3.0 + 7.0 * unitRandom(seed));
            const double logLimit = 700.0 / y;  // keeps |y log x| below 700
            const double x = std::exp((2.0 * unitRandom(seed) - 1.0) * std::min(logLimit, 40.0));
            check(x, y, own, platform);
        }
        std::printf("%s, random bases:\n", run.label);
        report(own);
        report(platform);
    }
    Tally own = {"own"}, platform = {"platform"};
    for (long i = 0; i < bases / 10; ++i) {
        const double x = std::ldexp(1.0 + unitRandom(seed), -1023 - int(nextRandom(seed) % 52));
        check(x, kEncodingExponent, own, platform);
    }
    std::printf("subnormal bases, exponent 1/2.2:\n");
    report(own);
    report(platform);
}

// The bases of the test's sample table: the transform's landmarks and the
// edges of the logarithm's intervals, then seeded random ones.
void printTable() {
    const double g = kLinearisingExponent, h = kEncodingExponent;
    std::vector<double> channelBases = {1, 2, 3, 4, 5, 50, 51, 127, 128, 204, 205, 254, 255,
                                        double(float(164.87654)), double(float(254.99998)), 0.5, 1e-3};
    std::vector<double> linearBases = {196964.75, 200000, 43237.645, 94480.016, 1, 2, 3.0517578125e-05,
                                       0.2195197, 3.6657e-07, 1e-30, 0x1p-1074, 0x1p-1050, 0x1p-1022,
                                       0.998046875, std::nextafter(0.998046875, 0), 1.00390625,
                                       std::nextafter(1.00390625, 0), 0.705078125, 1.41015625,
                                       std::nextafter(1.0, 0), std::nextafter(1.0, 2)};
    uint64_t seed = 4;
    for (int i = 0; i < 24; ++i) channelBases.push_back(transformBase(seed, 3 * i));
    for (int i = 0; i < 24; ++i) linearBases.push_back(transformBase(seed, 3 * i + 1 + i % 2));
    struct Pair {
        double x, y;
    };
    std::vector<Pair> pairs;
    for (double x : channelBases) pairs.push_back({x, g});
    for (double x : linearBases) pairs.push_back({x, h});
    const Pair others[] = {{1.5, 10.0}, {0.999, 1000.0}, {3.0, 0.5}, {2.0, 8.0}, {7.25, 3.5}, {1e-300, 2.2}};
    for (const Pair& p : others) pairs.push_back(p);

    std::printf("    // base, exponent, correctly rounded power\n");
    int skipped = 0;
    for (const Pair& p : pairs) {
        const double exact = double(powq(__float128(p.x), __float128(p.y)));
        if (balancePow(p.x, p.y) != exact) {  // never put a known miss into the table
            ++skipped;
            continue;
        }
        std::printf("    {%a, %a, %a},\n", p.x, p.y, exact);
    }
    std::fprintf(stderr, "%d bases left out: not correctly rounded\n", skipped);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--table") == 0) {
        printTable();
        return 0;
    }
    const long bases = argc > 1 ? std::atol(argv[1]) : 10000000;
    transformExponents(bases);
    otherExponents(bases / 10);
    return 0;
}
