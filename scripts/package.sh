#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the release packages and checks them the way a user meets them. Each
# platform has two release builds of the library: the static one
# (build/package-<platform>-static, BUILD_SHARED_LIBS=OFF) and the shared one
# (build/package-<platform>), whose cpack run takes the static library's
# development files in as well (BRIMSEL_PACKAGE_STATIC_DIR).
#   linux:   for /usr; cpack makes libbrimsel3 and libbrimsel-dev; checks
#            their contents (the licence in both copyright files, the static
#            library in -dev), the SONAME, the shlibs file and the
#            dependencies, runs lintian, checks what pkg-config says of the
#            packages (a literal /usr), unpacks both into a temporary root and
#            builds and runs tests/consumer against it: through
#            find_package(Brimsel) with the shared and with the static
#            library, and through pkg-config.
#   windows: cpack makes the zip; checks its contents (LICENSE.txt, the static
#            library and its message table object) and that every DLL it
#            ships finds its imports in the zip or in Windows itself, unpacks
#            it, builds tests/consumer with mingw through find_package(Brimsel)
#            against the DLL and against the static library, and runs both
#            under Wine (the static one must carry the event log's message
#            table itself).
# Packages are left in build/package-{linux,windows}/packages. Exits non-zero
# on the first failure.
# Usage: scripts/package.sh [linux] [windows]   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${BRIMSEL_JOBS:-$(nproc)}
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(linux windows)

fail() { echo "package: FAILED: $*" >&2; exit 1; }
step() { echo "=== package: $*"; }

# Configures and builds the library alone for release, static in $1-static
# and shared in $1, and makes the packages from both; a second run reuses the
# builds and only compiles what changed.
build_release() {
  local dir=$1; shift
  local options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMSEL_WERROR=ON
                 -DBRIMSEL_BUILD_TESTS=OFF -DBRIMSEL_BUILD_EXAMPLES=OFF -DBRIMSEL_BUILD_DOCS=OFF
                 -DBRIMSEL_BUILD_BENCHMARKS=OFF -DBRIMSEL_BUILD_FUZZ=OFF "$@")
  cmake -S . -B "$dir-static" "${options[@]}" -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$dir-static" -j "$jobs"
  cmake -S . -B "$dir" "${options[@]}" -DBUILD_SHARED_LIBS=ON -DBRIMSEL_PACKAGE_STATIC_DIR="$dir-static" >/dev/null
  cmake --build "$dir" -j "$jobs"
  rm -rf "$dir/packages"
  (cd "$dir" && cpack >/dev/null) || fail "cpack in $dir"
}

# Fails unless the output of the program $1 (run through the rest of the
# arguments, if any) matches the regex $2.
expect_output() {
  local program=$1 regex=$2 out
  shift 2
  out=$("$@" "$program" | tr -d '\r') || fail "$program failed"
  grep -Eq "$regex" <<<"$out" || fail "$program printed: $out"
  echo "$out"
}

# The one file in $1 matching the glob $2.
only_file() {
  local found=()
  mapfile -t found < <(find "$1" -maxdepth 1 -name "$2")
  [ "${#found[@]}" -eq 1 ] || fail "expected one $2 in $1, found ${#found[@]}"
  echo "${found[0]}"
}

# Fails unless the listing $1 has a line matching the regex $2.
expect_entry() {
  grep -Eq "$2" <<<"$1" || fail "$3: no entry matching $2"
}
refuse_entry() {
  if grep -Eq "$2" <<<"$1"; then fail "$3: unexpected entry matching $2"; fi
}

linux() {
  local build="$root/build/package-linux" work="$root/build/package-linux/check"
  step "Linux release build and Debian packages"
  # Debian's own compiler and linker flags, hardening included.
  local cxxflags ldflags
  cxxflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
  ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
  build_release "$build" -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
  local version major runtime dev
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$build/CMakeCache.txt")
  major=${version%%.*}
  runtime=$(only_file "$build/packages" "libbrimsel${major}_${version}_*.deb")
  dev=$(only_file "$build/packages" "libbrimsel-dev_${version}_*.deb")

  step "package contents, SONAME, shlibs and dependencies"
  local rlist dlist
  rlist=$(dpkg-deb -c "$runtime" | awk '{print $6}')
  dlist=$(dpkg-deb -c "$dev" | awk '{print $6}')
  expect_entry "$rlist" "^\./usr/lib/[^/]+/libbrimsel\.so\.${major}$" "$runtime"
  expect_entry "$rlist" "^\./usr/lib/[^/]+/libbrimsel\.so\.${version//./\\.}$" "$runtime"
  refuse_entry "$rlist" "libbrimsel\.so$|/include/|/cmake/|\.pc$" "$runtime"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/libbrimsel\.so$" "$dev"
  expect_entry "$dlist" "^\./usr/include/brimsel/brimsel\.h$" "$dev"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/cmake/Brimsel/BrimselConfig\.cmake$" "$dev"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/pkgconfig/brimsel\.pc$" "$dev"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/libbrimsel\.a$" "$dev"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/cmake/Brimsel/BrimselStaticTargets\.cmake$" "$dev"
  expect_entry "$dlist" "^\./usr/lib/[^/]+/pkgconfig/brimsel-static\.pc$" "$dev"
  expect_entry "$dlist" "^\./usr/include/brimsel/config\.h$" "$dev"
  refuse_entry "$dlist" "libbrimsel\.so\.[0-9]" "$dev"
  local deb
  for deb in "$runtime" "$dev"; do
    dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards './usr/share/doc/*/copyright' \
      | grep -q "^ Permission is hereby granted, free of charge" || fail "$deb carries no licence text"
  done

  local shlibs rdeps ddeps
  shlibs=$(dpkg-deb --info "$runtime" shlibs)
  [ "$shlibs" = "libbrimsel ${major} libbrimsel${major} (>= ${version})" ] \
    || fail "shlibs of $runtime is '$shlibs'"
  dpkg-deb --info "$runtime" triggers | grep -qx 'activate-noawait ldconfig' \
    || fail "$runtime does not activate the ldconfig trigger"
  rdeps=$(dpkg-deb -f "$runtime" Depends)
  for dep in libc6 libstdc++6 libgcc-s1; do
    tr ',' '\n' <<<"$rdeps" | awk '{print $1}' | grep -qxF "$dep" || fail "$runtime does not depend on $dep: $rdeps"
  done
  ddeps=$(dpkg-deb -f "$dev" Depends)
  [ "$ddeps" = "libbrimsel${major} (= ${version})" ] || fail "$dev depends on '$ddeps'"

  rm -rf "$work"
  local sysroot="$work/root"
  mkdir -p "$sysroot"
  dpkg -x "$runtime" "$sysroot"
  dpkg -x "$dev" "$sysroot"
  local lib libdir soname
  lib=$(find "$sysroot/usr/lib" -name "libbrimsel.so.${major}" -type l)
  [ -n "$lib" ] || fail "libbrimsel.so.${major} is not in $runtime"
  libdir=$(dirname "$lib")
  soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "libbrimsel.so.${major}" ] || fail "SONAME is '$soname'"

  step "lintian"
  # Root (CI containers) gets a notice on stderr; only the hints matter.
  lintian --fail-on error,warning "$runtime" "$dev" 2> >(grep -v 'root privileges' >&2) \
    || fail "lintian found problems in the packages"

  step "consumers through find_package(Brimsel) against the unpacked packages"
  local kind
  for kind in shared static; do
    cmake -S tests/consumer -B "$work/consumer-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_PREFIX_PATH="$sysroot/usr" -DCONSUMER_STATIC="$([ $kind = static ] && echo ON || echo OFF)" >/dev/null
    grep -q "^Brimsel_DIR:PATH=$sysroot/" "$work/consumer-$kind/CMakeCache.txt" \
      || fail "find_package(Brimsel) did not find the unpacked package"
    cmake --build "$work/consumer-$kind"
    LD_LIBRARY_PATH="$libdir" expect_output "$work/consumer-$kind/app" "$kind library, works"
  done
  if readelf -d "$work/consumer-static/app" | grep -q 'NEEDED.*libbrimsel'; then
    fail "the consumer of libbrimsel.a needs libbrimsel.so"
  fi

  step "pkg-config of the unpacked packages"
  # PKG_CONFIG_LIBDIR, not _PATH: only the unpacked package may answer.
  local said
  pc() { PKG_CONFIG_LIBDIR="$libdir/pkgconfig" pkg-config "$@" | xargs; }
  said="$(pc --variable=prefix brimsel) | $(pc --cflags --libs brimsel)"
  said+=" | $(pc --variable=prefix brimsel-static) | $(pc --cflags --libs brimsel-static)"
  echo "pkg-config: $said"
  [ "$said" = "/usr | -lbrimsel | /usr | -DBRIMSEL_STATIC /usr/lib/$(basename "$libdir")/libbrimsel.a -pthread -ldl" ] \
    || fail "pkg-config says of the packages: $said"

  step "consumers through pkg-config against the unpacked packages"
  # The sysroot prefixes the packages' literal /usr; the system folders are
  # kept in the flags, as they lie below the sysroot here.
  local pcroot=(env PKG_CONFIG_LIBDIR="$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$sysroot"
                PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 pkg-config)
  for kind in shared static; do
    local name=brimsel
    [ "$kind" = static ] && name=brimsel-static
    # shellcheck disable=SC2046
    c++ -std=c++17 -o "$work/consumer-pc-$kind" tests/consumer/main.cpp $("${pcroot[@]}" --cflags --libs "$name")
    LD_LIBRARY_PATH="$libdir" expect_output "$work/consumer-pc-$kind" "$kind library, works"
  done
}

# Windows DLLs that every installation has; anything else a shipped DLL
# imports must be in the zip.
windows_system_dll='^(kernel32|msvcrt|advapi32|rpcrt4|ws2_32|user32|ole32|oleaut32|shell32|bcrypt|ntdll|api-ms-win-.*)\.dll$'

windows() {
  local build="$root/build/package-windows" work="$root/build/package-windows/check"
  step "Windows release cross build and zip"
  build_release "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake"
  local zip
  zip=$(only_file "$build/packages" "brimsel-*-win64.zip")
  rm -rf "$work"
  mkdir -p "$work"
  unzip -q "$zip" -d "$work"
  local top
  top="$work/$(basename "$zip" .zip)"
  [ -d "$top" ] || fail "$zip does not unpack into $(basename "$top")"

  step "zip contents and DLL imports"
  for f in LICENSE.txt bin/brimsel.dll lib/brimsel.dll.a bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll \
           bin/libwinpthread-1.dll include/brimsel/brimsel.h include/brimsel/config.h \
           lib/cmake/Brimsel/BrimselConfig.cmake lib/cmake/Brimsel/BrimselStaticTargets.cmake \
           lib/libbrimsel_static.a lib/brimsel-messages.o lib/pkgconfig/brimsel.pc lib/pkgconfig/brimsel-static.pc; do
    [ -f "$top/$f" ] || fail "$zip lacks $f"
  done
  local dll import
  for dll in "$top"/bin/*.dll; do
    while read -r import; do
      if ! grep -Eiq "$windows_system_dll" <<<"$import" && [ ! -f "$top/bin/$import" ]; then
        fail "$(basename "$dll") needs $import, which the zip does not carry"
      fi
    done < <(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p')
  done

  step "mingw consumers through find_package(Brimsel) against the unpacked zip, run under Wine"
  export WINEDEBUG=-all
  local ws
  ws=$(ls /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver 2>/dev/null | head -n 1 || true)
  [ -n "$ws" ] || ws=$(command -v wineserver)
  "$ws" -p || true  # a persistent server; exits non-zero when one already runs
  local kind
  for kind in shared static; do
    # The toolchain confines package searches to the mingw root, so the
    # package's folder is named directly.
    cmake -S tests/consumer -B "$work/consumer-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
          -DBrimsel_DIR="$top/lib/cmake/Brimsel" -DCONSUMER_STATIC="$([ $kind = static ] && echo ON || echo OFF)" \
          >/dev/null
    cmake --build "$work/consumer-$kind"
    # Next to brimsel.dll, so Windows loads the zip's DLLs before any other.
    cp "$work/consumer-$kind/app.exe" "$top/bin/app-$kind.exe"
    expect_output "$top/bin/app-$kind.exe" "$kind library, works" cmake/wine-run.sh
  done
  if x86_64-w64-mingw32-objdump -p "$top/bin/app-static.exe" | grep -qi 'DLL Name: brimsel'; then
    fail "the consumer of the static library needs brimsel.dll"
  fi
}

for t in "${targets[@]}"; do
  case "$t" in
    linux) linux ;;
    windows) windows ;;
    *) echo "unknown target: $t" >&2; exit 2 ;;
  esac
done
echo "package: all checks passed"
