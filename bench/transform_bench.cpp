// Google Benchmark figures (native build) for the palette transform: both
// modes on both palettes with the project's power function and with the
// platform's, the 13-power baseline with each, and a plain sweep of powers.
// transform_timing prints the same cases as ratios within one run.
#include <benchmark/benchmark.h>

#include "transform_cases.h"

namespace {

void transformOwn(benchmark::State& state, BenchPalette (*make)(), bool preserve) {
    BenchPalette palette = make();
    const SliderState settings = benchSliderState();
    for (auto _ : state) {
        transformWithOwnPow(palette, settings, preserve);
        benchmark::DoNotOptimize(palette.working.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBenchColours);
}

void transformPlatform(benchmark::State& state, BenchPalette (*make)(), bool preserve) {
    BenchPalette palette = make();
    const SliderState settings = benchSliderState();
    for (auto _ : state) {
        transformWithPlatformPow(palette, settings, preserve);
        benchmark::DoNotOptimize(palette.working.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBenchColours);
}

void thirteenOwn(benchmark::State& state, BenchPalette (*make)()) {
    const BenchPalette palette = make();
    for (auto _ : state) benchmark::DoNotOptimize(thirteenPowsOwn(palette));
    state.SetItemsProcessed(state.iterations() * kBenchColours);
}

void thirteenPlatform(benchmark::State& state, BenchPalette (*make)()) {
    const BenchPalette palette = make();
    for (auto _ : state) benchmark::DoNotOptimize(thirteenPowsPlatform(palette));
    state.SetItemsProcessed(state.iterations() * kBenchColours);
}

void sweepOwn(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(powSweepOwn());
    state.SetItemsProcessed(state.iterations() * kSweepBases);
}

void sweepPlatform(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(powSweepPlatform());
    state.SetItemsProcessed(state.iterations() * kSweepBases);
}

}  // namespace

BENCHMARK_CAPTURE(transformOwn, random_preserving, makeRandomPalette, true);
BENCHMARK_CAPTURE(transformPlatform, random_preserving, makeRandomPalette, true);
BENCHMARK_CAPTURE(thirteenOwn, random, makeRandomPalette);
BENCHMARK_CAPTURE(thirteenPlatform, random, makeRandomPalette);
BENCHMARK_CAPTURE(transformOwn, random_plain, makeRandomPalette, false);
BENCHMARK_CAPTURE(transformOwn, cube_preserving, makeCubePalette, true);
BENCHMARK_CAPTURE(transformPlatform, cube_preserving, makeCubePalette, true);
BENCHMARK_CAPTURE(thirteenOwn, cube, makeCubePalette);
BENCHMARK_CAPTURE(thirteenPlatform, cube, makeCubePalette);
BENCHMARK_CAPTURE(transformOwn, cube_plain, makeCubePalette, false);
BENCHMARK(sweepOwn);
BENCHMARK(sweepPlatform);

BENCHMARK_MAIN();
