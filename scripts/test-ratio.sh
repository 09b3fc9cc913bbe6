#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Prints how much test code there is against library code: non-blank lines
# that are not only a comment, in the .h and .cpp files of tests/ against
# those of src/ and include/.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 cat | grep -c -v -E '^\s*(//.*)?$'
}
tests=$(count tests)
library=$(count src include)
echo "Test code: ${tests} / ${library} non-blank lines ($(awk -v t="$tests" -v l="$library" 'BEGIN { printf "%.2f", t / l }') of the library)"
