#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns brimsel-bench JSON output into a markdown table of medians and ratios.

Usage: bench_table.py [--title TEXT] RUN.json [--title TEXT RUN.json ...]

Each JSON file is one process run (--benchmark_repetitions with
--benchmark_report_aggregates_only). Every ratio is taken between two medians
of the same run, so a table never mixes figures from different runs.

Pairing: a benchmark of ours is named with "Brimsel" as its last name part,
either after an underscore (BM_Replace_Brimsel) or glued on (VariantCopyIntBrimsel).
Its peers are the benchmarks with the same stem, the same separator and the
same arguments, and another last part (BM_Replace_Abseil, VariantCopyIntPocoVar).
Benchmarks named otherwise are paired by EXTRA_PAIRS below. Whatever ends up
in no pair is listed after the table with its median, so nothing is dropped.
"""

import json
import re
import sys

OURS = "Brimsel"

# (ours, peer) for the benchmarks whose names do not follow the convention.
# Keys are the run name without the runner's modifiers (real_time,
# manual_time, iterations:N, ...), arguments kept: "BM_Crc32_Brimsel/134217728".
EXTRA_PAIRS = [
    ("BM_EventLogger_FilteredTrace", "BM_EmptyOutOfLineCall"),
    ("BM_EventLogger_OneEntry", "BM_GlibcSyslog_OneEntry"),
    ("BM_Crc32_Brimsel/134217728", "BM_PlainRead/134217728"),
    ("VariantExpandLinear/1", "VariantExpandRestartAtTheFront"),
    ("BM_DaemonRoundTripDaemonComm", "BM_DaemonRoundTripRaw"),
    ("BM_DaemonStreamDaemonComm", "BM_DaemonStreamRaw"),
]

# Parts of a run name that the runner adds and that are not arguments.
MODIFIER = re.compile(r"^(real_time|manual_time|process_time|(iterations|repeats|threads|min_time|min_warmup_time):.*)$")
REAL_TIME = {"real_time", "manual_time"}

# Fields of a JSON entry that are not counters of the benchmark's own.
STANDARD_FIELDS = {
    "name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
    "repetition_index", "threads", "aggregate_name", "aggregate_unit", "iterations", "real_time",
    "cpu_time", "time_unit", "bytes_per_second", "items_per_second", "error_occurred",
    "error_message", "label",
}

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


class Result:
    def __init__(self, key, run_name):
        self.key = key
        self.run_name = run_name
        parts = run_name.split("/")
        self.real_time = any(p in REAL_TIME for p in parts[1:])
        self.median_real = None  # nanoseconds
        self.median_cpu = None
        self.error = None
        self.counters = {}  # the benchmark's own counters (median of the repetitions)
        self.order = 0

    def median(self, real):
        return self.median_real if real else self.median_cpu


def key_of(run_name):
    """The run name without the runner's modifiers: base name and arguments."""
    parts = run_name.split("/")
    return "/".join([parts[0]] + [p for p in parts[1:] if not MODIFIER.match(p)])


def load(path):
    """Median real and CPU time of every benchmark of one run, in run order."""
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    results = {}
    for entry in doc.get("benchmarks", []):
        run_name = entry.get("run_name", entry["name"])
        key = key_of(run_name)
        r = results.get(key)
        if r is None:
            r = results[key] = Result(key, run_name)
            r.order = len(results)
        if entry.get("error_occurred"):
            r.error = entry.get("error_message", "error")
            continue
        if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
            continue
        if entry.get("run_type") == "iteration" and r.median_real is not None:
            continue  # a single run (no repetitions) stands for its own median
        scale = NS_PER_UNIT[entry.get("time_unit", "ns")]
        r.median_real = entry["real_time"] * scale
        r.median_cpu = entry["cpu_time"] * scale
        r.counters = {k: v for k, v in entry.items()
                      if k not in STANDARD_FIELDS and isinstance(v, (int, float))}
    return doc.get("context", {}), results


def split_ours(key):
    """(stem, separator, arguments) when `key` names one of our benchmarks."""
    base, _, args = key.partition("/")
    if base.endswith("_" + OURS):
        return base[: -len(OURS) - 1], "_", args
    if base.endswith(OURS) and len(base) > len(OURS):
        return base[: -len(OURS)], "", args
    return None


def pairs_of(results):
    """(ours, peer) keys: by the naming convention first, then EXTRA_PAIRS."""
    pairs = []
    for key in results:
        split = split_ours(key)
        if split is None:
            continue
        stem, sep, args = split
        tail = r"[A-Za-z0-9]+" if sep else r"[A-Z][A-Za-z0-9]*"
        peer_name = re.compile(re.escape(stem + sep) + "(" + tail + ")$")
        for other in results:
            base, _, other_args = other.partition("/")
            m = peer_name.match(base)
            if other != key and m and m.group(1) != OURS and other_args == args:
                pairs.append((key, other))
    for ours, peer in EXTRA_PAIRS:
        if ours in results and peer in results:
            pairs.append((ours, peer))
        elif ours in results or peer in results:
            missing = peer if ours in results else ours
            print(f"bench_table: no benchmark {missing} in this run to pair with "
                  f"{ours if missing == peer else peer}; update EXTRA_PAIRS", file=sys.stderr)
    # Our benchmarks in the order they ran, each followed by its peers.
    pairs.sort(key=lambda p: (results[p[0]].order, results[p[1]].order))
    return pairs


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def fmt_ratio(r):
    return f"{r:.2f}" if r >= 0.1 else f"{r:.2g}"


def cell(result, real):
    if result.error is not None:
        return f"skipped: {result.error}"
    value = result.median(real)
    if value is None:
        return "no result"
    text = fmt_time(value) + ("" if real else " (CPU)")
    counters = ", ".join(f"{k} {v:.3g}" for k, v in result.counters.items())
    return f"{text} [{counters}]" if counters else text


def table(results):
    lines = [
        "| Ours | Median | Peer | Median | Ours / peer |",
        "|---|---:|---|---:|---:|",
    ]
    paired = set()
    for ours_key, peer_key in pairs_of(results):
        ours, peer = results[ours_key], results[peer_key]
        paired.update((ours_key, peer_key))
        real = ours.real_time or peer.real_time  # one clock for both sides
        a, b = ours.median(real), peer.median(real)
        ratio = fmt_ratio(a / b) if a and b and ours.error is None and peer.error is None else "—"
        lines.append(f"| {ours_key} | {cell(ours, real)} | {peer_key} | {cell(peer, real)} | {ratio} |")
    alone = [r for r in sorted(results.values(), key=lambda r: r.order) if r.key not in paired]
    if alone:
        lines.append("")
        lines.append("Without a peer: " + "; ".join(f"{r.key} {cell(r, r.real_time)}" for r in alone) + ".")
    return lines


def main(argv):
    runs = []
    title = None
    i = 0
    while i < len(argv):
        if argv[i] == "--title" and i + 1 < len(argv):
            title = argv[i + 1]
            i += 2
            continue
        runs.append((title, argv[i]))
        title = None
        i += 1
    if not runs:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    out = []
    for title, path in runs:
        _, results = load(path)
        if title:
            out += [title, ""]
        out += table(results)
        out.append("")
    out.append("Medians of the repetitions; CPU time where marked (CPU), wall-clock time otherwise "
               "(the benchmarks that wait for other threads). Ours / peer below 1 means ours is faster.")
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
