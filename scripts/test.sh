#!/usr/bin/env bash
# Runs every test: the native build of the platform-free core (plain and under
# AddressSanitizer/UndefinedBehaviorSanitizer) and the Windows build under Wine
# on a private X display. Installs what is missing first.
#   BUILD_DIR=build (default)   where both builds and the Wine prefix live
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
jobs=$(nproc)

bash scripts/setup-machine.sh

echo "== Native build and tests"
cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

if [ -z "${SKIP_SANITIZERS:-}" ]; then
  echo "== Native core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B "$build/native-sanitize" -DCMAKE_BUILD_TYPE=Debug -DCOLOUR_BALANCE_SANITIZE=ON >/dev/null
  cmake --build "$build/native-sanitize" -j"$jobs" --target core_tests
  "$build/native-sanitize/tests/core/core_tests" --gtest_brief=1
fi

if [ -z "${SKIP_FUZZ:-}" ]; then
  echo "== Fuzzing clipboard palette blocks (${FUZZ_RUNS:=200000} runs from the checked-in corpus)"
  CC=clang CXX=clang++ cmake -S . -B "$build/fuzz" -DCOLOUR_BALANCE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/fuzz" -j"$jobs" --target palette_block_fuzz palette_file_fuzz
  rm -rf "$build/fuzz/corpus" && cp -r fuzz/corpus "$build/fuzz/corpus"
  "$build/fuzz/fuzz/palette_block_fuzz" -runs="$FUZZ_RUNS" -seed=1 -artifact_prefix="$build/fuzz/" \
    "$build/fuzz/corpus" 2>&1 | tail -n 2
  echo "== Fuzzing palette files ($FUZZ_RUNS runs from the checked-in corpus)"
  rm -rf "$build/fuzz/file-corpus" && cp -r fuzz/file-corpus "$build/fuzz/file-corpus"
  "$build/fuzz/fuzz/palette_file_fuzz" -runs="$FUZZ_RUNS" -seed=1 -artifact_prefix="$build/fuzz/" \
    "$build/fuzz/file-corpus" 2>&1 | tail -n 2
fi

echo "== Windows build"
cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build/windows" -j"$jobs"

echo "== Windows tests under Wine"
source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start "$build/windows"
ctest --test-dir "$build/windows" --output-on-failure --timeout 300
