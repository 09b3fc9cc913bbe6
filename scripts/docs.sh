#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the API reference from the public headers (and the generated
# <brimsel/config.h>) with Doxygen: a configuration of the library alone in
# build/docs, whose target brimsel_docs writes build/docs/docs/html. Fails
# when Doxygen reports any warning (an undocumented public class or function,
# a broken reference, a malformed comment).
# Usage: scripts/docs.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v doxygen >/dev/null 2>&1; then
  echo "docs: doxygen is not installed (Debian package doxygen)" >&2
  exit 2
fi

mkdir -p build
out=build/docs
log=$out/docs/warnings.log
cmake -S . -B "$out" -G Ninja -DBRIMSEL_BUILD_DOCS=ON -DBRIMSEL_WERROR=ON \
      -DBRIMSEL_BUILD_TESTS=OFF -DBRIMSEL_BUILD_EXAMPLES=OFF -DBRIMSEL_BUILD_BENCHMARKS=OFF \
      -DBRIMSEL_BUILD_FUZZ=OFF >"$out.configure.log" 2>&1 \
  || { cat "$out.configure.log" >&2; exit 1; }
rm -f "$log"
rc=0
cmake --build "$out" --target brimsel_docs || rc=$?

if [ -s "$log" ]; then
  echo "docs: doxygen reported warnings:" >&2
  cat "$log" >&2
  exit 1
fi
if [ "$rc" -ne 0 ]; then
  echo "docs: the build of the API reference failed (exit status $rc)" >&2
  exit "$rc"
fi
if [ ! -f "$out/docs/html/index.html" ]; then
  echo "docs: doxygen wrote no $out/docs/html/index.html" >&2
  exit 1
fi
echo "docs: no warnings; entry point $(pwd)/$out/docs/html/index.html"
