#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Uses the library the ways an adopter does, each from a project outside the
# tree (tests/consumer, one shared main.cpp), and checks what they get:
#   1. the Linux debug build installed into a prefix: headers with
#      <brimsel/config.h>, the API reference, the licence; brimsel-demo runs
#      from the prefix (RPATH $ORIGIN/../lib), also after the prefix has moved;
#   2. find_package(Brimsel) against the installed prefix, and against the
#      build tree itself;
#   3. pkg-config against the moved prefix (brimsel.pc finds its own place);
#   4. add_subdirectory and FetchContent (static) with GoogleTest hidden: they
#      get Brimsel::brimsel and nothing else (no tests, examples, internal
#      library, API reference, install rules), and the project's own install
#      and package settings stay its own; the static program needs no
#      libbrimsel.so and sees BRIMSEL_STATIC through the target alone;
#   5. a top-level configuration without GoogleTest and Google Benchmark: the
#      tests and benchmarks are left out with a message, the build type
#      defaults to Release and warnings are no errors.
# Needs build/linux-debug (scripts/test.sh linux builds it).
# Usage: scripts/check-consumers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work="$root/build/consumer"
debug="$root/build/linux-debug"
[ -f "$debug/CMakeCache.txt" ] || { echo "check-consumers: build linux-debug first" >&2; exit 2; }
fail() { echo "check-consumers: FAILED: $*" >&2; exit 1; }
step() { echo "=== consumer: $*"; }
rm -rf "$work"
mkdir -p "$work"

# configure <source> <build> [cmake options...]: quiet unless it fails.
configure() {
  local src=$1 bin=$2
  shift 2
  cmake -S "$src" -B "$bin" -G Ninja "$@" >"$bin.configure.log" 2>&1 \
    || { cat "$bin.configure.log" >&2; fail "configuring $src"; }
}
# expect_output <program> <regex>: runs it; its output must match.
expect_output() {
  local out
  out=$("$1") || fail "$1 exited $?"
  grep -Eq "$2" <<<"$out" || fail "$1 printed: $out"
  echo "$(basename "$1"): $out"
}

step "install, and the demo started from the prefix"
prefix="$work/prefix"
cmake --build "$debug" >/dev/null
cmake --install "$debug" --prefix "$prefix" >/dev/null
for f in include/brimsel/brimsel.h include/brimsel/config.h share/doc/brimsel/html/index.html \
         share/doc/brimsel/LICENSE lib/cmake/Brimsel/BrimselConfig.cmake lib/pkgconfig/brimsel.pc; do
  [ -f "$prefix/$f" ] || fail "the install lacks $f"
done
readelf -d "$prefix/bin/brimsel-demo" | grep -q 'R\(UN\)\?PATH.*\[\$ORIGIN/\.\./lib\]' \
  || fail "brimsel-demo has no RPATH \$ORIGIN/../lib: $(readelf -d "$prefix/bin/brimsel-demo" | grep PATH)"
mv "$prefix" "$work/moved"
prefix="$work/moved"
(cd / && env -u LD_LIBRARY_PATH "$prefix/bin/brimsel-demo" >"$work/demo.log") \
  || { cat "$work/demo.log"; fail "brimsel-demo does not run from the moved prefix"; }
echo "brimsel-demo ran from $prefix: $(tail -n 1 "$work/demo.log")"

step "find_package(Brimsel) against the installed prefix and against the build tree"
configure tests/consumer "$work/installed" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Debug
grep -q "^Brimsel_DIR:PATH=$prefix/" "$work/installed/CMakeCache.txt" || fail "the installed package was not used"
cmake --build "$work/installed" >/dev/null
expect_output "$work/installed/app" "shared library, works"
configure tests/consumer "$work/buildtree" -DCMAKE_PREFIX_PATH="$debug" -DCMAKE_BUILD_TYPE=Debug
grep -q "^Brimsel_DIR:PATH=$debug\$" "$work/buildtree/CMakeCache.txt" || fail "the build tree's package was not used"
cmake --build "$work/buildtree" >/dev/null
expect_output "$work/buildtree/app" "shared library, works"

step "pkg-config against the moved prefix"
pc=(env PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config)
"${pc[@]}" --cflags brimsel | grep -q -- "-I$prefix/lib/pkgconfig/../../include" \
  || fail "brimsel.pc does not find its prefix from its own place: $("${pc[@]}" --cflags brimsel)"
mkdir -p "$work/pc"
cp tests/consumer/main.cpp "$work/pc/"
# The README's command, as printed.
(cd "$work/pc" && export PKG_CONFIG_PATH="$prefix/lib/pkgconfig" &&
# [snippet:pkg-config]
c++ -std=c++17 -o app main.cpp $(pkg-config --cflags --libs brimsel)
# [/snippet]
) || fail "the pkg-config consumer does not build"
LD_LIBRARY_PATH="$("${pc[@]}" --variable=libdir brimsel)" expect_output "$work/pc/app" "shared library, works"

# subproject <kind> <cmake options...>: lays out tests/consumer/<kind> as a
# project of its own and builds it with GoogleTest out of sight.
subproject() {
  local kind=$1 src="$work/$1/src" bin="$work/$1/build"
  shift
  step "$kind: Brimsel::brimsel and nothing else"
  mkdir -p "$src/third_party"
  cp "tests/consumer/$kind/CMakeLists.txt" tests/consumer/main.cpp "$src/"
  ln -s "$root" "$src/third_party/brimsel"
  configure "$src" "$bin" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DBRIMSEL_GTEST_SOURCE_DIR=/nonexistent \
            -DBRIMSEL_WERROR=ON "$@"
  ! grep -Eq "^(GTest_DIR|GTEST_[A-Z_]*):" "$bin/CMakeCache.txt" || fail "$kind: GoogleTest was looked for"
  cmake --build "$bin" >/dev/null
  local extra
  extra=$(ninja -C "$bin" -t targets all | sed 's/:.*//; s|.*/||' \
          | grep -E '^(brimsel-(demo|tour|daemon|client|bench)|test_|fuzz_|brimsel_internal|brimsel_docs|gtest)' \
          || true)
  [ -z "$extra" ] || fail "$kind: Brimsel added targets besides its library: $extra"
  ctest --test-dir "$bin" -N | grep -q "Total Tests: 0" || fail "$kind: Brimsel added tests"
  grep -q 'CPACK_PACKAGE_NAME "app"' "$bin/CPackConfig.cmake" || fail "$kind: the project's package name changed"
  ! grep -qi "brimsel" "$bin/CPackConfig.cmake" || fail "$kind: Brimsel changed the project's package"
  cmake --install "$bin" --prefix "$work/$kind/prefix" >/dev/null
  local installed
  installed=$(cd "$work/$kind/prefix" && find . -type f | sort)
  [ "$installed" = "./bin/app" ] || fail "$kind: the install holds more than the project's program: $installed"
}

subproject subdirectory
expect_output "$work/subdirectory/build/app" "shared library, works"

subproject fetchcontent -DFETCHCONTENT_SOURCE_DIR_BRIMSEL="$root" -DBUILD_SHARED_LIBS=OFF
! readelf -d "$work/fetchcontent/build/app" | grep -q 'NEEDED.*libbrimsel' || fail "the static program needs libbrimsel"
expect_output "$work/fetchcontent/build/app" "static library, works"

step "top level without GoogleTest and Google Benchmark"
log="$work/toplevel.configure.log"
configure . "$work/toplevel" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DBRIMSEL_GTEST_SOURCE_DIR=/nonexistent \
          -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
for message in "unit tests off: GoogleTest was not found" "benchmarks off: not found: Google Benchmark" \
               "no CMAKE_BUILD_TYPE given, building Release"; do
  grep -q "Brimsel: $message" "$log" || fail "no message \"$message\" (see $log)"
done
grep -q "^CMAKE_BUILD_TYPE:STRING=Release$" "$work/toplevel/CMakeCache.txt" || fail "the build type is not Release"
grep -q "^BRIMSEL_WERROR:BOOL=OFF$" "$work/toplevel/CMakeCache.txt" || fail "BRIMSEL_WERROR is not OFF by default"
grep -q "Werror" "$work/toplevel/build.ninja" && fail "-Werror without BRIMSEL_WERROR"
echo "check-consumers: every way of using the library works"
