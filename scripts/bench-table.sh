#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every benchmark of brimsel-bench against its peers in one process run
# and prints a markdown table of the medians and of the ratio of each of ours
# to its peer, with the machine and the date above it.
#   1. builds brimsel-bench with the linux-release preset;
#   2. runs all benchmarks once, BRIMSEL_BENCH_REPETITIONS times each
#      (default 5), keeping only the aggregates (build/bench/all.json);
#   3. when a benchmark file asks for its benchmarks to run pinned to one CPU
#      ("taskset -c N brimsel-bench --benchmark_filter=X" in its comments),
#      runs those again, pinned, in a second run of their own (the ratios of
#      that table come from that run alone); not when the options given
#      choose the benchmarks themselves (--benchmark_filter);
#   4. prints the table (scripts/bench_table.py pairs the benchmarks) and
#      keeps a copy in build/bench/table.md.
# The benchmarks' own output goes to stderr, the table to stdout.
# Usage: scripts/bench-table.sh [extra brimsel-bench options, e.g. --benchmark_filter=Crc]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${BRIMSEL_JOBS:-$(nproc)}
repetitions=${BRIMSEL_BENCH_REPETITIONS:-5}
out="$root/build/bench"
bench="$root/build/linux-release/bin/brimsel-bench"

echo "=== build brimsel-bench" >&2
mkdir -p "$out"
cmake --preset linux-release >"$out/configure.log" || { cat "$out/configure.log" >&2; exit 1; }
cmake --build --preset linux-release --target brimsel-bench -j "$jobs" >&2

common=(--benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
        --benchmark_out_format=json)

echo "=== all benchmarks, one run" >&2
rm -f "$out"/*.json
"$bench" "${common[@]}" --benchmark_out="$out/all.json" "$@" >&2
title="All benchmarks, one run:"
for option in "$@"; do
  case "$option" in --benchmark_filter*) title="The chosen benchmarks, one run:" ;; esac
done
runs=(--title "$title" "$out/all.json")

# The first CPU this process may run on, for a request to pin to one that it may not.
first_cpu=$(python3 -c 'import os; print(min(os.sched_getaffinity(0)))')
chosen=no
[ "$title" = "All benchmarks, one run:" ] || chosen=yes
while read -r file cpu filter; do
  [ -n "$filter" ] && [ "$chosen" = no ] || continue
  if ! taskset -c "$cpu" true 2>/dev/null; then
    cpu=$first_cpu
  fi
  name=$(basename "$file" .cpp)
  echo "=== $filter, pinned to CPU $cpu (as $file asks)" >&2
  taskset -c "$cpu" "$bench" "${common[@]}" --benchmark_filter="$filter" \
    --benchmark_out="$out/$name-pinned.json" >&2
  runs+=(--title "$filter benchmarks again, every thread pinned to CPU $cpu, one run ($file asks for it):"
         "$out/$name-pinned.json")
done < <(for f in bench/*.cpp; do
           sed -nE "s|.*taskset -c ([0-9]+) brimsel-bench --benchmark_filter=([^ ]*[^ .,;]).*|$f \1 \2|p" "$f" | head -n 1
         done)

cpu_model=$(sed -nE 's/^model name[[:space:]]*: (.*)/\1/p' /proc/cpuinfo | head -n 1)
[ -n "$cpu_model" ] || cpu_model=$(uname -m)
{
  echo "Machine: ${cpu_model}, $(nproc) CPUs, $(uname -sr), $(c++ --version | head -n 1)."
  echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'). $repetitions repetitions of each benchmark."
  echo "Only the ratios carry over to other machines; the times are this machine's."
  echo
  python3 scripts/bench_table.py "${runs[@]}"
} | tee "$out/table.md"
