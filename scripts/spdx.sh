#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every source, header, script and CMake file of the tree starts
# with the line "SPDX-License-Identifier: MIT" (in the comment form of its
# language; after the "#!" line of a script). With --fix, adds the line where
# it is missing. The files are those git knows of (tracked, or new and not
# ignored); outside a git checkout, every file below the tree.
# Usage: scripts/spdx.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
[ "${1:-}" = "--fix" ] && fix=1
tag="SPDX-License-Identifier: MIT"

# The comment that carries the tag in file $1, or nothing for a file that is
# none of the kinds above.
comment_for() {
  case "$1" in
    fuzz/corpus/*|packaging/abi/*) ;;
    *.c|*.cc|*.cpp|*.cxx|*.h|*.hpp|*.h.in|*.rc|*.rc.in) echo "// $tag" ;;
    *.cmake|*.cmake.in|*CMakeLists.txt|*.sh|*.py|*.pc.in|.ci/run) echo "# $tag" ;;
    *.mc) echo "; $tag" ;;
    *.map) echo "/* $tag */" ;;
  esac
}

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard | sort -u)
else
  mapfile -t files < <(find . -path ./build -prune -o -type f -print | sed 's|^\./||' | sort)
fi

missing=0
checked=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  comment=$(comment_for "$f")
  [ -n "$comment" ] || continue
  checked=$((checked + 1))
  # The tag belongs on the first line, or on the second after a "#!" line.
  line=1
  head -n 1 "$f" | grep -q '^#!' && line=2
  if sed -n "${line}p" "$f" | grep -qF "$tag"; then
    continue
  fi
  if [ "$fix" -eq 1 ]; then
    if [ "$line" -eq 2 ]; then
      { head -n 1 "$f"; echo "$comment"; tail -n +2 "$f"; } >"$f.spdx"
    else
      { echo "$comment"; cat "$f"; } >"$f.spdx"
    fi
    chmod --reference="$f" "$f.spdx"
    mv "$f.spdx" "$f"
    echo "spdx: added the tag to $f"
  else
    echo "spdx: $f does not start with \"$comment\"" >&2
    missing=$((missing + 1))
  fi
done

if [ "$missing" -gt 0 ]; then
  echo "spdx: $missing of $checked files lack the licence tag; scripts/spdx.sh --fix adds it" >&2
  exit 1
fi
echo "spdx: all $checked source, header, script and CMake files carry \"$tag\""
