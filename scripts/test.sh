#!/usr/bin/env bash
# Builds and runs every test of the library on both platforms:
#   1. Linux debug build: unit tests (benchmarks compiled, not run);
#   2. Windows x64 cross build (mingw-w64): the same unit tests under Wine;
#   3. Linux with address + undefined-behaviour sanitizers: the unit tests;
#   4. Linux with thread sanitizer: the unit tests;
#   5. clang + libFuzzer: a short bounded run of every fuzz target;
#   6. a consumer project outside the tree, against the installed package,
#      through find_package(Brimsel) and through pkg-config;
#   7. the Debian packages (lintian-clean) and the Windows zip, each with the
#      consumer built against it (the Windows one run under Wine);
#   8. the exported symbols of both builds against the checked-in lists;
#   9. the API reference: Doxygen over the public headers, no warnings.
# Installs what it needs first (scripts/setup.sh). Stops at the first red stage.
# Usage: scripts/test.sh [stage...]
#   stages: linux windows asan tsan fuzz consumer package symbols docs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${BRIMSEL_JOBS:-$(nproc)}
stages=("$@")
[ "${#stages[@]}" -gt 0 ] || stages=(linux windows asan tsan fuzz consumer package symbols docs)

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
  # A persistent server, so that each test program does not pay for Wine's start.
  "$ws" -p
  cmake/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true  # creates the prefix once
}

# Each step below is chained with && (or ends in `|| return 1`): a stage runs
# inside an `if`, where `set -e` does not apply, so nothing may fail silently.
consumer() {
  echo "=== consumer project against the installed package"
  local prefix="$root/build/consumer/prefix" pcdir
  rm -rf "$root/build/consumer"
  cmake --install build/linux-debug --prefix "$prefix" >/dev/null || return 1
  cmake -S tests/consumer -B build/consumer/cmake -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null || return 1
  cmake --build build/consumer/cmake || return 1
  build/consumer/cmake/consumer || return 1
  pcdir=$(dirname "$(find "$prefix" -name brimsel.pc | head -n 1)")
  # shellcheck disable=SC2046
  g++ -std=c++17 -o build/consumer/consumer-pc tests/consumer/main.cpp \
      $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs brimsel) || return 1
  LD_LIBRARY_PATH="$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir brimsel)" \
      build/consumer/consumer-pc || return 1
  passed=$((passed + 2))
}

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
    linux)    build linux-debug -DBRIMSEL_BUILD_BENCH=ON && run_ctest linux-debug ;;
    windows)  start_wine && build windows-cross && run_ctest windows-cross ;;
    asan)     build linux-asan && run_ctest linux-asan ;;
    tsan)     build linux-tsan && run_ctest linux-tsan ;;
    fuzz)     build fuzz -DBRIMSEL_FUZZ_SECONDS="${BRIMSEL_FUZZ_SECONDS:-10}" && run_ctest fuzz ;;
    consumer) { [ -d build/linux-debug ] || build linux-debug; } && consumer ;;
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
