// Plain timing loop over the transform cases, for the Windows build (which has
// no Google Benchmark) and as a same-run cross-check natively. The cases run
// in interleaved rounds so that a busy machine slows them alike; each figure
// is the median over the rounds, and the ratios compare figures of one run.
//   transform_timing [rounds]     default 300 rounds of about 1 ms per case
//                                 (about 4 s natively, 30 s under Wine)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
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

const TimingCase& caseNamed(const std::vector<TimingCase>& cases, const std::string& label) {
    for (const TimingCase& c : cases)
        if (label == c.label) return c;
    std::fprintf(stderr, "no case %s\n", label.c_str());
    std::exit(1);
}

// The median of the per-round ratios of two cases: samples of one round were
// taken moments apart, so a busy machine disturbs both alike.
double pairedRatio(const std::vector<TimingCase>& cases, const std::string& top, const std::string& bottom) {
    const TimingCase& a = caseNamed(cases, top);
    const TimingCase& b = caseNamed(cases, bottom);
    std::vector<double> ratios;
    for (size_t i = 0; i < a.samples.size(); ++i) ratios.push_back(a.samples[i] / b.samples[i]);
    return median(ratios);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 300;
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

    // Calibrate each case to about 1 ms per sample, after a warm-up.
    for (TimingCase& c : cases) {
        timeRuns(c, palettes, state, 3);
        const double once = std::max(timeRuns(c, palettes, state, 5), 0.01);
        c.repeats = std::max(1, int(1000.0 / once));
    }
    for (int round = 0; round < rounds; ++round)
        for (TimingCase& c : cases) c.samples.push_back(timeRuns(c, palettes, state, c.repeats));

    std::printf("Median of %d interleaved rounds, microseconds per run (256 colours; the sweep: %d powers)\n",
                rounds, kSweepBases);
    for (const TimingCase& c : cases) std::printf("  %-42s %10.2f\n", c.label, median(c.samples));

    const double sweepOwn = median(caseNamed(cases, "pow sweep own").samples);
    const double sweepPlatform = median(caseNamed(cases, "pow sweep platform").samples);
    std::printf("Per power call: own %.2f ns, platform %.2f ns\n", 1000.0 * sweepOwn / kSweepBases,
                1000.0 * sweepPlatform / kSweepBases);
    std::printf("Ratios, median of the per-round ratios:\n");
    for (const std::string palette : {"random", "cube"}) {
        std::printf("  %s palette, preserving transform / its 13 pows: own %.3f, platform %.3f\n", palette.c_str(),
                    pairedRatio(cases, palette + " transform preserving own pow", palette + " 13 pows own"),
                    pairedRatio(cases, palette + " transform preserving platform pow", palette + " 13 pows platform"));
        std::printf("  %s palette, own pow / platform pow: transform %.3f, 13 pows %.3f\n", palette.c_str(),
                    pairedRatio(cases, palette + " transform preserving own pow",
                                palette + " transform preserving platform pow"),
                    pairedRatio(cases, palette + " 13 pows own", palette + " 13 pows platform"));
    }
    std::printf("  pow sweep, own / platform: %.3f\n", pairedRatio(cases, "pow sweep own", "pow sweep platform"));
    return 0;
}
