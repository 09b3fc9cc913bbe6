#!/usr/bin/env bash
# Builds the API reference from the public headers with Doxygen into
# build/docs/html and fails when Doxygen reports any warning (an undocumented
# public class or function, a broken reference, a malformed comment).
# Usage: scripts/docs.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v doxygen >/dev/null 2>&1; then
  echo "docs: doxygen is not installed (Debian package doxygen)" >&2
  exit 2
fi

# The version shown on every page is the project's own.
BRIMSEL_VERSION=$(sed -n 's/^project(Brimsel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export BRIMSEL_VERSION

out=build/docs
log=$out/warnings.log
# A fresh tree, so that pages of a removed declaration do not linger.
rm -rf "$out"
mkdir -p "$out"

rc=0
doxygen docs/Doxyfile || rc=$?

if [ -s "$log" ]; then
  echo "docs: doxygen reported warnings:" >&2
  cat "$log" >&2
  exit 1
fi
if [ "$rc" -ne 0 ]; then
  echo "docs: doxygen failed (exit status $rc)" >&2
  exit "$rc"
fi
if [ ! -f "$out/html/index.html" ]; then
  echo "docs: doxygen wrote no $out/html/index.html" >&2
  exit 1
fi
echo "docs: no warnings; entry point $(pwd)/$out/html/index.html"
