#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every test of the library on both platforms:
#   1. checks: the licence tag of every file (scripts/spdx.sh), the format of
#      every C++ file (scripts/format.sh) and the README's code blocks against
#      the files they quote (scripts/snippets.sh);
#   2. Linux debug build: unit tests, the examples and the README's tour
#      (benchmarks compiled, not run);
#   3. Windows x64 cross build (mingw-w64): the same tests under Wine; then
#      clang-tidy over both platforms' library sources (scripts/tidy.sh);
#   4. the static library on Linux and on Windows (under Wine): the example
#      programs and the tour linked with it, run as their tests;
#   5. Linux with address + undefined-behaviour sanitizers: the unit tests;
#   6. Linux with thread sanitizer: the unit tests;
#   7. clang + libFuzzer: a short bounded run of every fuzz target;
#   8. consumer projects outside the tree (scripts/check-consumers.sh): the
#      installed tree and the demo started from it, find_package against it
#      and against the build tree, pkg-config, add_subdirectory and
#      FetchContent with GoogleTest hidden, a configuration without
#      GoogleTest and Google Benchmark;
#   9. the binary interface of the Linux shared library against its baseline
#      with libabigail (scripts/abi-check.sh);
#  10. the Debian packages (lintian-clean) and the Windows zip, each with the
#      shared and the static library, and consumers built against them (the
#      Windows ones run under Wine);
#  11. the exported symbols of both builds against the checked-in lists;
#  12. the API reference: Doxygen over the public headers, no warnings.
# Installs what it needs first (scripts/setup.sh). Stops at the first red stage.
# Usage: scripts/test.sh [stage...]
#   stages: checks linux windows static asan tsan fuzz consumer abi package symbols docs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${BRIMSEL_JOBS:-$(nproc)}
stages=("$@")
[ "${#stages[@]}" -gt 0 ] || stages=(checks linux windows static asan tsan fuzz consumer abi package symbols docs)

scripts/setup.sh

logdir="$root/build/logs"
mkdir -p "$logdir"
passed=0
failed=0

# Runs ctest for a preset and adds its counts to the totals.
run_ctest() {
  local preset=$1; shift
  local log="$logdir/ctest-$preset.log"
  local rc=0
  ctest --preset "$preset" -j1 "$@" 2>&1 | tee "$log" || rc=$?
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local total fail
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    fail=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fail))
    failed=$((failed + fail))
  fi
  return $rc
}

build() {
  local preset=$1; shift
  echo "=== build $preset"
  cmake --preset "$preset" "$@" >"$logdir/configure-$preset.log" || { cat "$logdir/configure-$preset.log"; return 1; }
  cmake --build --preset "$preset" -j "$jobs"
}

start_wine() {
  export WINEDEBUG=-all
  local ws
  ws=$(ls /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver 2>/dev/null | head -n 1 || true)
  [ -n "$ws" ] || ws=$(command -v wineserver)
  # A persistent server, so that each test program does not pay for Wine's
  # start (it exits non-zero when one already runs).
  "$ws" -p || true
  cmake/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true  # creates the prefix once
}

# Each step below is chained with && (or ends in `|| return 1`): a stage runs
# inside an `if`, where `set -e` does not apply, so nothing may fail silently.
symbols() {
  echo "=== exported symbols"
  { [ -d build/linux-debug ] || build linux-debug; } || return 1
  { [ -d build/windows-cross ] || build windows-cross; } || return 1
  cmake --build --preset linux-debug --target brimsel >/dev/null || return 1
  cmake --build --preset windows-cross --target brimsel >/dev/null || return 1
  scripts/check-symbols.sh || return 1
  passed=$((passed + 1))
}

run_stage() {
  case "$1" in
    checks)   scripts/spdx.sh && scripts/format.sh && scripts/snippets.sh && passed=$((passed + 3)) ;;
    linux)    build linux-debug && run_ctest linux-debug ;;
    windows)  start_wine && build windows-cross && run_ctest windows-cross &&
              scripts/tidy.sh && passed=$((passed + 1)) ;;
    static)   start_wine && build linux-static && run_ctest linux-static &&
              build windows-static && run_ctest windows-static ;;
    asan)     build linux-asan && run_ctest linux-asan ;;
    tsan)     build linux-tsan && run_ctest linux-tsan ;;
    fuzz)     build fuzz -DBRIMSEL_FUZZ_SECONDS="${BRIMSEL_FUZZ_SECONDS:-10}" && run_ctest fuzz ;;
    consumer) { [ -d build/linux-debug ] || build linux-debug; } && scripts/check-consumers.sh &&
              passed=$((passed + 7)) ;;
    abi)      echo "=== binary interface" && scripts/abi-check.sh && passed=$((passed + 1)) ;;
    package)  echo "=== packages" && scripts/package.sh && passed=$((passed + 2)) ;;
    symbols)  symbols ;;
    docs)     echo "=== API reference" && scripts/docs.sh && passed=$((passed + 1)) ;;
    *) echo "unknown stage: $1" >&2; return 2 ;;
  esac
}

for stage in "${stages[@]}"; do
  started=$SECONDS
  if ! run_stage "$stage"; then
    failed=$((failed + 1))
    echo "=== stage $stage FAILED"
    echo "${passed} passed, ${failed} failed"
    exit 1
  fi
  echo "=== stage $stage done in $((SECONDS - started)) s"
done

echo "${passed} passed, ${failed} failed"
scripts/test-ratio.sh
[ "$failed" -eq 0 ]
