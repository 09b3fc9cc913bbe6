#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs clang-tidy (the checks of .clang-tidy) over the library's sources as
# each platform compiles them: the Linux sources from build/linux-debug, the
# Windows sources from build/windows-cross, read by clang for the mingw-w64
# target with the cross compiler's C++ headers. Any finding fails.
# Usage: scripts/tidy.sh   (both builds must be configured)
set -euo pipefail
cd "$(dirname "$0")/.."
work=build/tidy
mkdir -p "$work/windows"

# The Windows database, rewritten for clang: the same flags, the mingw-w64
# target, the C++ headers of the cross compiler, and without the one flag
# clang does not know.
python3 - "$work/windows/compile_commands.json" <<'PY'
import glob, json, shlex, sys
gcc = sorted(glob.glob('/usr/lib/gcc/x86_64-w64-mingw32/*-posix'))[-1]
extra = ['--target=x86_64-w64-mingw32', '-isystem', gcc + '/include/c++',
         '-isystem', gcc + '/include/c++/x86_64-w64-mingw32', '-isystem', gcc + '/include/c++/backward']
out = []
for entry in json.load(open('build/windows-cross/compile_commands.json')):
    if '/src/' not in entry['file']:
        continue
    args = [a for a in shlex.split(entry['command']) if a != '-fno-keep-inline-dllexport']
    entry['command'] = shlex.join(['clang++'] + extra + args[1:])
    out.append(entry)
json.dump(out, open(sys.argv[1], 'w'), indent=1)
PY

linux=$(git ls-files 'src/*.cpp' | grep -v '_win\.cpp$')
windows=$(git ls-files 'src/*.cpp' | grep -v '_posix\.cpp$')
# shellcheck disable=SC2086
findings=$( { clang-tidy -p build/linux-debug --quiet $linux 2>/dev/null;
              clang-tidy -p "$work/windows" --quiet $windows 2>/dev/null; } | grep -E 'warning:|error:' || true)
if [ -n "$findings" ]; then
  printf '%s\n' "$findings" | sort -u
  exit 1
fi
echo "tidy: no findings in $(echo $linux | wc -w) Linux and $(echo $windows | wc -w) Windows sources"
