#!/bin/sh
# wine-run.sh --marks-start starts a program again only when Wine failed to
# start it, never a program that started and then failed.
#   wine_run_test.sh WINE_RUN TEST_PROGRAM
run=$1 program=$2
fail() { echo "FAILED: $*"; exit 1; }
retries() { printf '%s\n' "$1" | grep -c 'starting it again'; }

out=$("$run" --marks-start "${program%.exe}-missing.exe" 2>&1)
status=$?
echo "$out"
[ "$status" -ne 0 ] || fail "a program that Wine cannot start reported success"
[ "$(retries "$out")" -eq 2 ] || fail "a program that Wine cannot start was not tried three times"

# gtest cannot write its report under a file, so the program starts and fails.
out=$("$run" --marks-start "$program" --gtest_filter=None --gtest_output='xml:Z:\etc\passwd\report.xml' 2>&1)
status=$?
echo "$out"
[ "$status" -ne 0 ] || fail "the exit code of a program that started and failed was lost"
[ "$(retries "$out")" -eq 0 ] || fail "a program that started and failed was started again"
[ "$(printf '%s\n' "$out" | grep -c 'Running 0 tests')" -eq 1 ] || fail "the program did not run exactly once"

out=$("$run" --marks-start "$program" --gtest_filter=None 2>&1) || fail "a passing program failed: $out"
[ "$(retries "$out")" -eq 0 ] || fail "a passing program was started again"

leftover=$(find "$(dirname "$run")" -maxdepth 1 -name 'wine-run.*' -type d)
[ -z "$leftover" ] || fail "start marks were left behind: $leftover"
echo "PASSED"
