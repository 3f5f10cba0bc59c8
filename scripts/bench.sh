#!/usr/bin/env bash
# Runs every benchmark and prints one table: the transform natively and under
# Wine, the host link against the stand-in host, a 200-step drag, start-up
# time, a soak of applies, palette-balance's peak memory on padded palettes and
# palette-balance on indexed PNGs. Each program takes its own medians over
# several runs or rounds, and takes its ratios within one run.
#   BUILD_DIR=build (default)   SOAK_APPLIES=100000 (default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
jobs=$(nproc)
bash scripts/setup-machine.sh

echo "== Building the benchmarks (native and Windows)"
cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs" --target transform_timing palette_memory_bench palette_balance
cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build/windows" -j"$jobs" --target transform_timing host_link_bench drag_bench \
  startup_bench soak_bench

results=$build/bench-results
mkdir -p "$results"
source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start "$build/windows"
run_wine() { "$build/windows/wine-run.sh" "$@" </dev/null; }

echo "== Transform, native";       "$build/native/bench/transform_timing" 300 >"$results/transform-native.txt"
echo "== palette-balance memory";  "$build/native/bench/palette_memory_bench" >"$results/palette-memory.txt"
echo "== Transform, under Wine";   run_wine "$build/windows/bench/transform_timing.exe" 300 >"$results/transform-wine.txt"
echo "== Host link";               run_wine "$build/windows/bench/host_link_bench.exe" 60 >"$results/host-link.txt"
echo "== Drag of 200 steps";       run_wine "$build/windows/bench/drag_bench.exe" --steps=200 --runs=5 >"$results/drag.txt"
echo "== Start-up";                run_wine "$build/windows/bench/startup_bench.exe" >"$results/startup.txt"
echo "== Soak of ${SOAK_APPLIES:=100000} applies (about 15 minutes on an idle machine)"
run_wine "$build/windows/bench/soak_bench.exe" --applies="$SOAK_APPLIES" >"$results/soak.txt"

echo "== palette-balance on indexed PNGs"
bash scripts/bench-palette-tool.sh "$build/native/palette_tool/palette-balance" "$results/palette-tool-work" \
  >"$results/palette-tool.txt"
rm -rf "$results/palette-tool-work"

python3 scripts/bench_table.py "$results"
