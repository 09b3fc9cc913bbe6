#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program of the cross build under Wine. The mingw runtime DLLs
# (libstdc++, libgcc, winpthread) are found through WINEPATH, so nothing is
# copied next to the programs. A persistent wineserver (`wineserver -p`) keeps
# each run from paying for Wine's start-up.
for d in /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /opt/wine-stable/bin; do
  if [ -x "$d/wine64" ]; then WINE="$d/wine64"; break; fi
done
[ -n "${WINE:-}" ] || WINE=$(command -v wine64 || command -v wine) || { echo "wine-run: no wine64 found" >&2; exit 127; }
gccdir=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix 2>/dev/null | sort -V | tail -n 1)
WINEPATH="Z:${gccdir};Z:/usr/x86_64-w64-mingw32/lib${WINEPATH:+;$WINEPATH}"
export WINEPATH
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$WINE" "$@"
