// balancePow against correctly rounded results worked out at 113 bits (by
// bench/pow_accuracy --table), the cases at the ends of its domain, and the
// joins between its table intervals. Every build must give the same bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "balance_pow.h"
#include "palette_transform.h"

namespace {

struct PowerSample {
    double base, exponent, expected;
};

// Channel values with 2.2, linear values and luminances with 1/2.2 (among
// them full intensity, subnormal and tiny bases, and the edges of the
// logarithm's intervals around 1), seeded random bases, and a few other
// exponents, some above 8.
const PowerSample kSamples[] = {
    // base, exponent, correctly rounded power
    {0x1p+0, 0x1.19999ap+1, 0x1p+0},
    {0x1p+1, 0x1.19999ap+1, 0x1.2611190ebf1b8p+2},
    {0x1.8p+1, 0x1.19999ap+1, 0x1.66c5416a3de3fp+3},
    {0x1p+2, 0x1.19999ap+1, 0x1.51cb46b2355c6p+4},
    {0x1.4p+2, 0x1.19999ap+1, 0x1.13f22a01aec08p+5},
    {0x1.9p+5, 0x1.19999ap+1, 0x1.55acfb738cdbep+12},
    {0x1.98p+5, 0x1.19999ap+1, 0x1.64e3dccc50c9ep+12},
    {0x1.fcp+6, 0x1.19999ap+1, 0x1.4c03f5b0e20bp+15},
    {0x1p+7, 0x1.19999ap+1, 0x1.51cb4a5ac5c19p+15},
    {0x1.98p+7, 0x1.19999ap+1, 0x1.d6eb58e7cb913p+16},
    {0x1.9ap+7, 0x1.19999ap+1, 0x1.dc034772a96a8p+16},
    {0x1.fcp+7, 0x1.19999ap+1, 0x1.7d62b8ebf767fp+17},
    {0x1.fep+7, 0x1.19999ap+1, 0x1.80b26025eea9ep+17},
    {0x1.49c0cap+7, 0x1.19999ap+1, 0x1.26c9b3ab8606ep+16},
    {0x1.fdfffep+7, 0x1.19999ap+1, 0x1.80b25cd447c9ep+17},
    {0x1p-1, 0x1.19999ap+1, 0x1.bdb8ccb694eeep-3},
    {0x1.0624dd2f1a9fcp-10, 0x1.19999ap+1, 0x1.0db62f8c4ba23p-22},
    {0x1.b9cf8ep+6, 0x1.19999ap+1, 0x1.e86fb4bbf913p+14},
    {0x1.c8e98cd497316p+7, 0x1.19999ap+1, 0x1.2e0fef09dbe44p+17},
    {0x1.b7de33f91cf7p+7, 0x1.19999ap+1, 0x1.15d3874bb62ep+17},
    {0x1.f793ac309bcfep+6, 0x1.19999ap+1, 0x1.45b0546197ec8p+15},
    {0x1.940ce8p+6, 0x1.19999ap+1, 0x1.9147688bf3504p+14},
    {0x1.2c6658c0eee9cp+7, 0x1.19999ap+1, 0x1.e03eda8248273p+15},
    {0x1.d7635c4beebc3p+7, 0x1.19999ap+1, 0x1.43845d27a8742p+17},
    {0x1.cb824f61600dep+6, 0x1.19999ap+1, 0x1.0a426be8a3741p+15},
    {0x1.744c18p+5, 0x1.19999ap+1, 0x1.23c4f6a4d3ff1p+12},
    {0x1.1349a7277d439p+7, 0x1.19999ap+1, 0x1.8c540ee41766p+15},
    {0x1.968d715dcf2cdp+7, 0x1.19999ap+1, 0x1.d340679cc7df1p+16},
    {0x1.64c3ff245ef7p+7, 0x1.19999ap+1, 0x1.5e8a0ff3f370bp+16},
    {0x1.162138p+7, 0x1.19999ap+1, 0x1.9562c56fa0834p+15},
    {0x1.5c45b98f4b3d5p+7, 0x1.19999ap+1, 0x1.4c712b7fcc07bp+16},
    {0x1.b3d3b5faeb0b6p+7, 0x1.19999ap+1, 0x1.103df861a4e79p+17},
    {0x1.96c654be6b9b2p+7, 0x1.19999ap+1, 0x1.d3d04aab2e1aap+16},
    {0x1.37389ep+7, 0x1.19999ap+1, 0x1.0390a6e279a61p+16},
    {0x1.5a17c75ce5ac8p+5, 0x1.19999ap+1, 0x1.f0fa06c93d0cp+11},
    {0x1.85e280ffdcb4p+7, 0x1.19999ap+1, 0x1.aa2442b2fb88fp+16},
    {0x1.134277cd62a9p+5, 0x1.19999ap+1, 0x1.2c4b1848b57c5p+11},
    {0x1.76d3c6p+6, 0x1.19999ap+1, 0x1.542fa91118343p+14},
    {0x1.65681beeafap+1, 0x1.19999ap+1, 0x1.325ea9adc9e33p+3},
    {0x1.3a3829bc30b54p+7, 0x1.19999ap+1, 0x1.0919206503cbbp+16},
    {0x1.0fc1bce695064p+5, 0x1.19999ap+1, 0x1.23f34a116b42bp+11},
    {0x1.80b26p+17, 0x1.d1745cp-2, 0x1.fdfffd4d2afap+7},
    {0x1.86ap+17, 0x1.d1745cp-2, 0x1.00c759270f067p+8},
    {0x1.51cb4a3d70a3dp+15, 0x1.d1745cp-2, 0x1.fffffda09b6dcp+6},
    {0x1.711004189374cp+16, 0x1.d1745cp-2, 0x1.6d36ed17ff03fp+7},
    {0x1p+0, 0x1.d1745cp-2, 0x1p+0},
    {0x1p+1, 0x1.d1745cp-2, 0x1.5ecf523518e11p+0},
    {0x1p-15, 0x1.d1745cp-2, 0x1.22625169afb4dp-7},
    {0x1.c1938b629f319p-3, 0x1.d1745cp-2, 0x1.010100c9e8d24p-1},
    {0x1.8999fe8d9eed7p-22, 0x1.d1745cp-2, 0x1.3748b4ad7a1b1p-10},
    {0x1.4484bfeebc2ap-100, 0x1.d1745cp-2, 0x1.a0280c4ad3f52p-46},
    {0x0.0000000000001p-1022, 0x1.d1745cp-2, 0x1.c36153cc0ed62p-489},
    {0x0.0000001p-1022, 0x1.d1745cp-2, 0x1.a7d08fbfea343p-478},
    {0x1p-1022, 0x1.d1745cp-2, 0x1.5ed05b37ece2bp-465},
    {0x1.ffp-1, 0x1.d1745cp-2, 0x1.ff8b9306c24f7p-1},
    {0x1.fefffffffffffp-1, 0x1.d1745cp-2, 0x1.ff8b9306c24f6p-1},
    {0x1.01p+0, 0x1.d1745cp-2, 0x1.00743d6b02b76p+0},
    {0x1.00fffffffffffp+0, 0x1.d1745cp-2, 0x1.00743d6b02b76p+0},
    {0x1.69p-1, 0x1.d1745cp-2, 0x1.b4cde5b0bee19p-1},
    {0x1.69p+0, 0x1.d1745cp-2, 0x1.2b499f6475c49p+0},
    {0x1.fffffffffffffp-1, 0x1.d1745cp-2, 0x1p+0},
    {0x1.0000000000001p+0, 0x1.d1745cp-2, 0x1p+0},
    {0x1.a3870cp+16, 0x1.d1745cp-2, 0x1.831f54ec8803fp+7},
    {0x1.87e9f361d605p+12, 0x1.d1745cp-2, 0x1.a9bc5f9216eaep+5},
    {0x1.b8c564f5d1b78p+16, 0x1.d1745cp-2, 0x1.8be9a993fbfeap+7},
    {0x1.5cf7ab6638d02p+10, 0x1.d1745cp-2, 0x1.ae200dad6c897p+4},
    {0x1.8633f4p+15, 0x1.d1745cp-2, 0x1.11587458c4be7p+7},
    {0x1.6041341443353p-2, 0x1.d1745cp-2, 0x1.3b385c7fef6ccp-1},
    {0x1.6da1357c71427p+17, 0x1.d1745cp-2, 0x1.f259cac0241b2p+7},
    {0x1.10ce2c1b29256p-37, 0x1.d1745cp-2, 0x1.2ae6195360e71p-17},
    {0x1.02c068p+16, 0x1.d1745cp-2, 0x1.36c704ff7382cp+7},
    {0x1.8bdc0e06a4d49p-30, 0x1.d1745cp-2, 0x1.918f9fed2acaap-14},
    {0x1.5a781cd5c351fp+17, 0x1.d1745cp-2, 0x1.e64e3b6f13f6ep+7},
    {0x1.381a6a756b095p+10, 0x1.d1745cp-2, 0x1.98d78b894ad38p+4},
    {0x1.df4e26p+16, 0x1.d1745cp-2, 0x1.9b495d03f1b3dp+7},
    {0x1.1ca80c3254f6ap+17, 0x1.d1745cp-2, 0x1.bcc032eeef4ccp+7},
    {0x1.47e79573d1ba8p+17, 0x1.d1745cp-2, 0x1.da4888bbdcb45p+7},
    {0x1.77ecbbfd98dd9p-29, 0x1.d1745cp-2, 0x1.0cc0c24261909p-13},
    {0x1.235dfap+17, 0x1.d1745cp-2, 0x1.c17c800c14298p+7},
    {0x1.ab7b7c1767695p+16, 0x1.d1745cp-2, 0x1.86711c8bced12p+7},
    {0x1.0456703f5f26bp+9, 0x1.d1745cp-2, 0x1.12bda30a3de34p+4},
    {0x1.15c70823c42b5p-25, 0x1.d1745cp-2, 0x1.9cf90acdbb637p-12},
    {0x1.f9682p+14, 0x1.d1745cp-2, 0x1.c0b925bd58b35p+6},
    {0x1.32fbeca26fa9dp-11, 0x1.d1745cp-2, 0x1.1607d97aeddd2p-5},
    {0x1.79f21669f289fp+17, 0x1.d1745cp-2, 0x1.f9e97e6ad3dd1p+7},
    {0x1.8efb67125b401p-15, 0x1.d1745cp-2, 0x1.63477826eb10bp-7},
    {0x1.8p+0, 0x1.4p+3, 0x1.cd52p+5},
    {0x1.ff7ced916872bp-1, 0x1.f4p+9, 0x1.788526411ed72p-2},
    {0x1.8p+1, 0x1p-1, 0x1.bb67ae8584caap+0},
    {0x1p+1, 0x1p+3, 0x1p+8},
    {0x1.dp+2, 0x1.cp+1, 0x1.00856469e14c8p+10},
    {0x1.56e1fc2f8f359p-997, 0x1.199999999999ap+1, 0x0p+0},
};

std::string describe(double base, double exponent, double expected, double actual) {
    char text[160];
    std::snprintf(text, sizeof text, "balancePow(%a, %a): expected %a, got %a", base, exponent, expected, actual);
    return text;
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();
const double kExponents[] = {kLinearisingExponent, kEncodingExponent};

}  // namespace

TEST(BalancePow, SampleIsCorrectlyRounded) {
    for (const PowerSample& s : kSamples) {
        const double actual = balancePow(s.base, s.exponent);
        EXPECT_EQ(s.expected, actual) << describe(s.base, s.exponent, s.expected, actual);
    }
}

TEST(BalancePow, EndsOfTheDomain) {
    // base, exponent, expected: zero, one, infinity, overflow and underflow
    const PowerSample cases[] = {
        {0.0, kLinearisingExponent, 0.0},
        {0.0, kEncodingExponent, 0.0},
        {-0.0, kEncodingExponent, 0.0},
        {0.0, 1000.0, 0.0},
        {1.0, kLinearisingExponent, 1.0},
        {1.0, kEncodingExponent, 1.0},
        {1.0, 0.5, 1.0},
        {1.0, 1000.0, 1.0},
        {kInfinity, kLinearisingExponent, kInfinity},
        {kInfinity, kEncodingExponent, kInfinity},
        {1e300, kLinearisingExponent, kInfinity},
        {std::numeric_limits<double>::max(), 1.5, kInfinity},
        {2.0, 1024.0, kInfinity},
        {1e-300, kLinearisingExponent, 0.0},
        {std::numeric_limits<double>::denorm_min(), kLinearisingExponent, 0.0},
        {0.5, 1075.0, 0.0},
        {0.5, 1074.0, std::numeric_limits<double>::denorm_min()},
        {2.0, 1023.0, 0x1p1023},
        {0.5, 1022.0, 0x1p-1022},
    };
    for (const PowerSample& s : cases) {
        const double actual = balancePow(s.base, s.exponent);
        EXPECT_EQ(s.expected, actual) << describe(s.base, s.exponent, s.expected, actual);
        EXPECT_FALSE(std::signbit(actual)) << describe(s.base, s.exponent, s.expected, actual);
    }
}

TEST(BalancePow, NotANumberOutsideTheDomain) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double bases[] = {nan, -1.0, -0x1p-1074, -kInfinity};
    for (double base : bases) EXPECT_TRUE(std::isnan(balancePow(base, kEncodingExponent))) << base;
    EXPECT_TRUE(std::isnan(balancePow(2.0, nan)));
}

// Powers that other correctly rounded operations give exactly: x^1 = x,
// x^2 = x*x, x^0.5 = sqrt(x). Bases spread over 2^-40 .. 2^40 with random
// last bits, so that every entry of both tables takes part; every other base
// is a float, as the transform passes them.
TEST(BalancePow, MatchesExactOperations) {
    uint64_t seed = 99;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        double x = std::ldexp(1.0 + double(seed >> 12) * 0x1p-52, -40 + int((seed >> 4) % 80));
        if (i % 2) x = float(x);
        const double squared = x * x, root = std::sqrt(x);
        EXPECT_EQ(x, balancePow(x, 1.0)) << describe(x, 1.0, x, balancePow(x, 1.0));
        EXPECT_EQ(squared, balancePow(x, 2.0)) << describe(x, 2.0, squared, balancePow(x, 2.0));
        EXPECT_EQ(root, balancePow(x, 0.5)) << describe(x, 0.5, root, balancePow(x, 0.5));
    }
}

// A wrong entry in the logarithm's or the exponential's table shows as a step
// at the edge of its interval; the power must never decrease as the base
// grows. Checked across the edges of the logarithm's intervals (multiples of
// 2^-9 near 1, scaled by powers of two), and along a fine sweep of bases.
TEST(BalancePow, NeverDecreasesAcrossIntervalEdges) {
    for (double y : kExponents) {
        for (int scale : {-20, -1, 0, 1, 7, 17}) {
            for (int step = 360; step <= 724; ++step) {
                const double edge = std::ldexp(step / 512.0, scale);
                // neighbouring doubles, then neighbouring floats
                for (bool floats : {false, true}) {
                    double x = floats ? std::nextafter(std::nextafter(float(edge), 0.0f), 0.0f)
                                      : std::nextafter(std::nextafter(edge, 0), 0);
                    double previous = balancePow(x, y);
                    for (int i = 0; i < 4; ++i) {
                        x = floats ? std::nextafter(float(x), HUGE_VALF) : std::nextafter(x, kInfinity);
                        const double current = balancePow(x, y);
                        ASSERT_LE(previous, current) << describe(x, y, previous, current) << " after the base below";
                        previous = current;
                    }
                }
            }
        }
    }
}

TEST(BalancePow, NeverDecreasesAlongASweep) {
    for (double y : kExponents) {
        double previous = 0;
        for (int i = 0; i <= 200000; ++i) {
            const double x = std::exp2(-30.0 + 48.0 * i / 200000.0);  // 1e-9 .. 262144
            const double current = balancePow(x, y);
            ASSERT_LE(previous, current) << describe(x, y, previous, current) << " after the base below";
            previous = current;
        }
    }
}
