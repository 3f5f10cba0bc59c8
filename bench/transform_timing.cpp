// Plain timing loop over the transform cases, for the Windows build (which has
// no Google Benchmark) and as a same-run cross-check natively. The cases run
// in interleaved rounds so that a busy machine slows them alike; each figure
// is the median over the rounds, and the ratios compare figures of one run.
//   transform_timing [rounds]     default 60 rounds, about 10 s
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "transform_cases.h"

namespace {

enum CaseKind { TransformOwn, TransformPlatform, ThirteenOwn, ThirteenPlatform, SweepOwn, SweepPlatform };

struct TimingCase {
    const char* label;
    CaseKind kind;
    bool preserve;
    int palette;      // index into the palettes, for the palette cases
    int repeats;      // runs per timed sample, set by calibration
    std::vector<double> samples;  // microseconds per run
};

volatile double timingSink;  // keeps the baselines' sums alive

void runOnce(TimingCase& c, std::vector<BenchPalette>& palettes, const SliderState& state) {
    switch (c.kind) {
        case TransformOwn: transformWithOwnPow(palettes[c.palette], state, c.preserve); break;
        case TransformPlatform: transformWithPlatformPow(palettes[c.palette], state, c.preserve); break;
        case ThirteenOwn: timingSink = thirteenPowsOwn(palettes[c.palette]); break;
        case ThirteenPlatform: timingSink = thirteenPowsPlatform(palettes[c.palette]); break;
        case SweepOwn: timingSink = powSweepOwn(); break;
        case SweepPlatform: timingSink = powSweepPlatform(); break;
    }
}

// Microseconds per run over `repeats` runs.
double timeRuns(TimingCase& c, std::vector<BenchPalette>& palettes, const SliderState& state, int repeats) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) runOnce(c, palettes, state);
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(stop - start).count() / repeats;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double medianOf(const std::vector<TimingCase>& cases, const char* label) {
    for (const TimingCase& c : cases)
        if (std::string_view(c.label) == label) return median(c.samples);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 60;
    std::vector<BenchPalette> palettes = {makeRandomPalette(), makeCubePalette()};
    const SliderState state = benchSliderState();

    std::vector<TimingCase> cases = {
        {"random transform preserving own pow", TransformOwn, true, 0, 1, {}},
        {"random transform preserving platform pow", TransformPlatform, true, 0, 1, {}},
        {"random transform plain", TransformOwn, false, 0, 1, {}},
        {"random 13 pows own", ThirteenOwn, true, 0, 1, {}},
        {"random 13 pows platform", ThirteenPlatform, true, 0, 1, {}},
        {"cube transform preserving own pow", TransformOwn, true, 1, 1, {}},
        {"cube transform preserving platform pow", TransformPlatform, true, 1, 1, {}},
        {"cube transform plain", TransformOwn, false, 1, 1, {}},
        {"cube 13 pows own", ThirteenOwn, true, 1, 1, {}},
        {"cube 13 pows platform", ThirteenPlatform, true, 1, 1, {}},
        {"pow sweep own", SweepOwn, true, 0, 1, {}},
        {"pow sweep platform", SweepPlatform, true, 0, 1, {}},
    };

    // Calibrate each case to about 3 ms per sample, after a warm-up.
    for (TimingCase& c : cases) {
        const double once = std::max(timeRuns(c, palettes, state, 3), 0.01);
        c.repeats = std::max(1, int(3000.0 / once));
    }
    for (int round = 0; round < rounds; ++round)
        for (TimingCase& c : cases) c.samples.push_back(timeRuns(c, palettes, state, c.repeats));

    std::printf("Median of %d interleaved rounds, microseconds per run (256 colours; the sweep: %d powers)\n",
                rounds, kSweepBases);
    for (const TimingCase& c : cases) std::printf("  %-42s %10.2f\n", c.label, median(c.samples));

    const double sweepOwn = medianOf(cases, "pow sweep own"), sweepPlatform = medianOf(cases, "pow sweep platform");
    std::printf("Per power call: own %.2f ns, platform %.2f ns\n", 1000.0 * sweepOwn / kSweepBases,
                1000.0 * sweepPlatform / kSweepBases);
    for (const char* palette : {"random", "cube"}) {
        char label[96];
        auto figure = [&](const char* what) {
            std::snprintf(label, sizeof label, "%s %s", palette, what);
            return medianOf(cases, label);
        };
        const double own = figure("transform preserving own pow");
        const double platform = figure("transform preserving platform pow");
        const double pows = figure("13 pows own"), platformPows = figure("13 pows platform");
        std::printf("%s palette:\n", palette);
        std::printf("  preserving transform / its 13 pows: own %.3f, platform %.3f\n", own / pows,
                    platform / platformPows);
        std::printf("  own pow / platform pow: transform %.3f, 13 pows %.3f\n", own / platform, pows / platformPows);
    }
    std::printf("pow sweep own / platform: %.3f\n", sweepOwn / sweepPlatform);
    return 0;
}
