#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the library and its example programs (release) and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --demo
cmake --preset linux-demo >/dev/null
cmake --build --preset linux-demo -j "${BRIMSEL_JOBS:-$(nproc)}" >/dev/null
exec build/linux-demo/bin/brimsel-demo "$@"
