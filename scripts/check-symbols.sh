#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the library's exported interface against the lists kept in packaging/:
#   Linux:   the dynamic symbols libbrimsel.so.3 defines (nm -D), demangled,
#            against packaging/symbols-linux.txt;
#   Windows: the export table of brimsel.dll (objdump -p), demangled, against
#            packaging/symbols-windows.txt.
# Every exported name must belong to the library: a Brimsel:: name, what the
# compiler emits for a Brimsel class (typeinfo, vtable, thunks, guard
# variables) or an operator at global scope taking a Brimsel type. Standard
# templates, even those instantiated on Brimsel types, are not exported (see
# src/exports.map). Both platforms must export the same classes and free
# functions. A difference from a list fails with a diff: an
# intended change of the interface is recorded with --update, which rewrites
# the lists from the given builds (after the same checks) for review in git.
# Usage: scripts/check-symbols.sh [--update] [linux-build-dir [windows-build-dir]]
#        (defaults: build/linux-debug build/windows-cross; the library must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi
linux_dir=${1:-build/linux-debug}
windows_dir=${2:-build/windows-cross}
linux_list=packaging/symbols-linux.txt
windows_list=packaging/symbols-windows.txt
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

complain() { echo "check-symbols: $*" >&2; failed=1; }

# The one file named $2 under the build folder $1.
find_binary() {
  local found
  found=$(find "$1" -maxdepth 3 -name "$2" \( -type f -o -type l \) 2>/dev/null | head -n 1)
  [ -n "$found" ] || { echo "check-symbols: no $2 under $1 (build the library first)" >&2; exit 2; }
  echo "$found"
}

# Prints the names of stdin that do not belong to the library. On Windows, GCC
# exports the typeinfo copies it emits for the standard exceptions and thread
# states that a translation unit with exported classes throws or catches;
# they are the compiler's, and every module that needs them has its own.
foreign_names() {
  local extra='^$'
  [ "$1" = Windows ] && extra='^typeinfo( name)? for std::'
  grep -Ev -e "$extra" \
    -e '^Brimsel::' \
    -e '^(typeinfo|typeinfo name|vtable|VTT|guard variable) for Brimsel::' \
    -e '^construction vtable for Brimsel::' \
    -e '^(non-)?virtual thunk to Brimsel::' \
    -e '^([^ (]+ )?operator[^ (]*\([^)]*Brimsel::' || true
}

# The classes and free functions a list names, from its Brimsel:: names.
entities() {
  sed -nE 's/^([^ (]+ )?(Brimsel::[A-Za-z0-9_]+).*/\2/p; s/^(typeinfo|vtable) for (Brimsel::[A-Za-z0-9_]+).*/\2/p' "$1" \
    | LC_ALL=C sort -u
}

# Compares the exported names $2 with the list $3 (or rewrites it); $1 names the platform.
compare() {
  local platform=$1 names=$2 list=$3 foreign
  foreign=$(foreign_names "$platform" <"$names")
  if [ -n "$foreign" ]; then
    complain "$platform exports names that are not the library's:"
    echo "$foreign" >&2
    return
  fi
  if [ "$update" -eq 1 ]; then
    cp "$names" "$list"
    echo "check-symbols: wrote $list ($(wc -l <"$list") names)"
  elif [ ! -f "$list" ]; then
    complain "$list is missing: make it with $0 --update"
  elif ! diff -u "$list" "$names" >"$tmp/$platform.diff"; then
    complain "the $platform interface differs from $list (- listed, + exported now):"
    cat "$tmp/$platform.diff" >&2
  fi
}

lib=$(find_binary "$linux_dir" 'libbrimsel.so.[0-9]*')
nm -D --defined-only "$lib" | awk 'NF >= 3 {print $3}' | c++filt | LC_ALL=C sort -u >"$tmp/linux.txt"
[ -s "$tmp/linux.txt" ] || { echo "check-symbols: $lib exports nothing" >&2; exit 2; }
compare Linux "$tmp/linux.txt" "$linux_list"

dll=$(find_binary "$windows_dir" brimsel.dll)
x86_64-w64-mingw32-objdump -p "$dll" \
  | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' \
  | c++filt | LC_ALL=C sort -u >"$tmp/windows.txt"
[ -s "$tmp/windows.txt" ] || { echo "check-symbols: $dll exports nothing" >&2; exit 2; }
compare Windows "$tmp/windows.txt" "$windows_list"

if ! diff -u <(entities "$tmp/linux.txt") <(entities "$tmp/windows.txt") >"$tmp/entities.diff"; then
  complain "Linux and Windows export different classes or functions (- Linux only, + Windows only):"
  cat "$tmp/entities.diff" >&2
fi

if [ "$failed" -ne 0 ]; then
  [ "$update" -eq 1 ] && echo "check-symbols: lists not fully updated" >&2
  exit 1
fi
[ "$update" -eq 1 ] || echo "check-symbols: the exported interface matches $linux_list and $windows_list"
