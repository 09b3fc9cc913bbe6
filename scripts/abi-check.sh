#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the binary interface of the Linux shared library against the
# baseline of its major version with libabigail (Debian abigail-tools):
#   1. builds the library of the build folder (default build/linux-debug;
#      configured with the linux-debug preset when it does not exist yet);
#   2. abidw reads it, its debugging information and the public headers
#      (--headers-dir include/brimsel), so that only the types the public
#      interface uses are recorded; the source folder is taken out of the
#      paths, so that the record does not depend on where the tree lies;
#   3. abidiff compares the baseline packaging/abi/libbrimsel.so.<major>.abi
#      with it and prints the report. An incompatible change fails (abidiff's
#      exit status bit 8, ABIDIFF_ABI_INCOMPATIBLE_CHANGE: a function or
#      variable removed or changed), and so does any other change of what
#      was there (bit 4 once added functions and variables are left out: a
#      changed layout, size, member, vtable, parameter or return type);
#      functions and variables that were added are reported and do not fail.
# After an intended, compatible change (which also bumps the minor version),
# or when a new major version starts a new baseline, record it with
#   scripts/abi-check.sh --update
# and commit the file. The baseline is made with Debian 12's GCC from a debug
# build; compare only with what the same compiler built.
# Usage: scripts/abi-check.sh [--update] [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi
dir=${1:-build/linux-debug}

for tool in abidw abidiff; do
  command -v "$tool" >/dev/null || { echo "abi-check: $tool is missing (Debian abigail-tools)" >&2; exit 2; }
done
if [ ! -f "$dir/CMakeCache.txt" ]; then
  [ "$dir" = build/linux-debug ] || { echo "abi-check: $dir is no configured build folder" >&2; exit 2; }
  cmake --preset linux-debug >/dev/null
fi
cmake --build "$dir" --target brimsel >/dev/null
major=$(sed -n 's/^CMAKE_PROJECT_VERSION_MAJOR:STATIC=//p' "$dir/CMakeCache.txt")
lib=$(find "$dir" -maxdepth 3 -name "libbrimsel.so.$major.*" -type f | head -n 1)
[ -n "$lib" ] || { echo "abi-check: no shared libbrimsel.so.$major.* in $dir" >&2; exit 2; }
baseline=packaging/abi/libbrimsel.so.$major.abi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
abidw --headers-dir include/brimsel --drop-private-types --no-corpus-path --no-comp-dir-path \
      --no-show-locs --type-id-style hash --out-file "$tmp/raw.abi" "$lib"
sed "s|$root/||g" "$tmp/raw.abi" >"$tmp/current.abi"

if [ "$update" -eq 1 ]; then
  mkdir -p "$(dirname "$baseline")"
  cp "$tmp/current.abi" "$baseline"
  echo "abi-check: wrote $baseline from $lib"
  exit 0
fi
[ -f "$baseline" ] || { echo "abi-check: no baseline $baseline (make it with $0 --update)" >&2; exit 2; }

rc=0
abidiff "$baseline" "$tmp/current.abi" || rc=$?
if [ $((rc & 3)) -ne 0 ]; then
  echo "abi-check: abidiff failed (exit status $rc)" >&2
  exit 2
fi
if [ $((rc & 8)) -ne 0 ]; then
  echo "abi-check: FAILED: incompatible change of the interface of $(basename "$lib") (see above)" >&2
  exit 1
fi
if [ $((rc & 4)) -ne 0 ]; then
  changed=0
  abidiff --no-added-syms "$baseline" "$tmp/current.abi" >/dev/null || changed=$?
  if [ $((changed & 4)) -ne 0 ]; then
    echo "abi-check: FAILED: what $baseline records has changed (see above)" >&2
    exit 1
  fi
  echo "abi-check: functions or variables were added (see above); nothing that was there changed."
  echo "abi-check: an addition bumps the minor version; record it with $0 --update"
  exit 0
fi
echo "abi-check: the interface of $(basename "$lib") matches $baseline"
