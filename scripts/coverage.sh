#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Line and branch coverage of the library (src/ and include/; never the tests,
# benchmarks or examples) over the Linux test suite:
#   1. builds the `coverage` preset (GCC, Debug, --coverage);
#   2. forgets the counts of any earlier run and runs every Linux test;
#   3. has gcovr read the counts, print the totals and the files sorted from
#      the least covered up, and write an HTML report to
#      build/coverage/report/index.html.
# Branches on the exception paths the compiler adds to every call that may
# throw, and branches the compiler proves unreachable, are left out of the
# branch figure: they are not decisions of the library's code.
# Exits non-zero when a test fails, or when the line coverage is below
# BRIMSEL_COVERAGE_MIN percent (default 90; 0 to only report).
# Usage: scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${BRIMSEL_JOBS:-$(nproc)}
minimum=${BRIMSEL_COVERAGE_MIN:-90}
build="$root/build/coverage"
report="$build/report"

if ! command -v gcovr >/dev/null; then
  echo "coverage: installing gcovr"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends gcovr >/dev/null
fi

echo "=== build coverage"
mkdir -p "$build"
cmake --preset coverage >"$build/configure.log" || { cat "$build/configure.log"; exit 1; }
cmake --build --preset coverage -j "$jobs"

# Counts add up across runs; start from zero so the figure is this run's.
find "$build" -name '*.gcda' -delete

echo "=== tests"
tests_rc=0
ctest --preset coverage -j1 || tests_rc=$?

echo "=== coverage of the library"
rm -rf "$report"
mkdir -p "$report"
gcovr_rc=0
gcovr --root "$root" --object-directory "$build" \
  --filter "$root/src/" --filter "$root/include/" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --gcov-ignore-parse-errors \
  --exclude-directories "$build/CMakeFiles/[0-9]" \
  -j "$jobs" \
  --sort-percentage \
  --txt - \
  --html-details "$report/index.html" --html-title "Brimsel coverage" \
  --json-summary-pretty --json-summary "$report/summary.json" \
  --print-summary \
  --fail-under-line "$minimum" || gcovr_rc=$?

echo "HTML report: $report/index.html"
if [ "$tests_rc" -ne 0 ]; then
  echo "coverage: some tests failed (the figures above count only what ran)" >&2
  exit "$tests_rc"
fi
if [ "$gcovr_rc" -ne 0 ]; then
  echo "coverage: line coverage below ${minimum}% (or gcovr failed)" >&2
fi
exit "$gcovr_rc"
