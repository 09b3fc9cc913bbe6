#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every C++ file of the tree is formatted by .clang-format
# (clang-format --dry-run -Werror); with --fix, formats them in place.
# Usage: scripts/format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  echo "format: formatted ${#files[@]} files"
else
  clang-format --dry-run -Werror "${files[@]}"
  echo "format: all ${#files[@]} C++ files are formatted"
fi
