#!/usr/bin/env python3
"""Prints, from plist_bench's JSON output, how our codec compares with libplist per case.

usage: ratios.py FILE.json

Times are CPU times per run, so that other load on the machine disturbs them less than wall
time, the fastest of repeated runs; "speed-up" is libplist's time divided by ours, and "of memcpy" is our rate as a share of
copying the same bytes.
"""

import json
import sys


def main(path):
    with open(path, encoding="utf-8") as f:
        runs = json.load(f)["benchmarks"]
    times = {}  # name -> CPU seconds per run
    rates = {}  # name -> bytes per second
    for run in runs:
        if run.get("error_occurred") or run.get("run_type") == "aggregate":
            continue
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        # Options such as Iterations(1) add "/iterations:1" to the name; the case is the rest.
        name = "/".join(part for part in run["name"].split("/") if ":" not in part)
        seconds = run["cpu_time"] * scale
        # Of repeated runs (--benchmark_repetitions) the fastest, the least disturbed by other
        # work on the machine.
        if name not in times or seconds < times[name]:
            times[name] = seconds
            rates[name] = run.get("bytes_per_second", 0.0)

    print(f"{'case':<16}{'records':>8}{'ours ms':>11}{'libplist ms':>13}{'speed-up':>10}"
          f"{'per record us':>15}{'ours MB/s':>11}{'of memcpy':>11}")
    for fmt in ("binary", "xml"):
        for op in ("decode", "encode"):
            for records in (10, 300, 10000):
                ours = times.get(f"{fmt}_{op}/ours/{records}")
                theirs = times.get(f"{fmt}_{op}/libplist/{records}")
                copy = times.get(f"memcpy/{fmt}/{records}")
                if ours is None:
                    continue
                ratio = f"{theirs / ours:.1f}x" if theirs else "-"
                theirs_text = f"{theirs * 1e3:.3f}" if theirs else "-"
                share = f"{copy / ours:.2%}" if copy else "-"
                print(f"{fmt + ' ' + op:<16}{records:>8}{ours * 1e3:>11.3f}{theirs_text:>13}"
                      f"{ratio:>10}{ours / records * 1e6:>15.2f}"
                      f"{rates[f'{fmt}_{op}/ours/{records}'] / 1e6:>11.1f}{share:>11}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
