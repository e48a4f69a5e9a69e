#!/usr/bin/env bash
# Builds plist_bench and prefs_bench in Release, runs plist_bench (console table, JSON beside it)
# and prints, per case, how many times faster our codec is than libplist; then runs prefs_bench
# (JSON beside it too) and prints what a user waits for: opening the preferences (read, merge,
# cleanup) and saving them, and how a save compares with a plain write and rename.
# Usage: bench/run.sh [BENCHMARK_ARGS...]    e.g. bench/run.sh --benchmark_filter=/300
# (the arguments go to both programs).
# QUILLON_BENCH_BUILD sets the build folder (default build/bench); QUILLON_BENCH_SLOW=1 adds
# libplist's binary encoding of 10,000 records, which alone takes about 20 s.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh bench
build=${QUILLON_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" --target plist_bench prefs_bench -j 2

json=$build/plist_bench.json
"$build/bench/plist_bench" --benchmark_format=console --benchmark_out="$json" \
  --benchmark_out_format=json "$@"
echo
python3 bench/ratios.py "$json"
echo "JSON: $json"

echo
prefs_json=$build/prefs_bench.json
"$build/bench/prefs_bench" --benchmark_format=console --benchmark_out="$prefs_json" \
  --benchmark_out_format=json "$@"
echo
# Wall time, as a user waits for a save; the file's flush to disk is part of it.
python3 - "$prefs_json" <<'PY'
import json, sys
runs = [r for r in json.load(open(sys.argv[1]))["benchmarks"] if r.get("run_type") != "aggregate"]
wall = {}
for r in runs:
    name = "/".join(p for p in r["name"].split("/") if ":" not in p)
    ms = r["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[r["time_unit"]]
    wall[name] = min(ms, wall.get(name, ms))
# With repetitions: the median of the mean ratios, the lowest of the best.
import statistics
turns = {}
for r in runs:
    if r["name"].startswith("BM_SaveAgainstPlainWrite/"):
        t = turns.setdefault(int(r["name"].split("/")[1]),
                             {"ratio": [], "best_ratio": [], "median_ratio": []})
        for k in t:
            t[k].append(r[k])
turns = {n: {"ratio": statistics.median(t["ratio"]), "best_ratio": min(t["best_ratio"]),
             "median_ratio": statistics.median(t["median_ratio"])}
         for n, t in turns.items()}
print(f"{'records':>8}{'open ms':>10}{'save ms':>10}{'serialise ms':>14}{'save/(write+rename)':>21}"
      f"{'save/(write+fsync+rename)':>27}{'in turns: mean':>16}{'median':>8}{'best':>7}")
for n in (30, 300, 10000):
    load, save, ser = wall.get(f"BM_Load/{n}"), wall.get(f"BM_Save/{n}"), wall.get(f"BM_Serialize/{n}")
    plain, synced = wall.get(f"BM_WriteRename/{n}"), wall.get(f"BM_WriteFsyncRename/{n}")
    if None in (load, save, ser, plain, synced):
        continue
    t = turns.get(n, {})
    print(f"{n:>8}{load:>10.2f}{save:>10.2f}{ser:>14.2f}{save / plain:>21.2f}{save / synced:>27.2f}"
          f"{t.get('ratio', float('nan')):>16.2f}{t.get('median_ratio', float('nan')):>8.2f}"
          f"{t.get('best_ratio', float('nan')):>7.2f}")
print("in turns: a save and a plain write and rename taken alternately (BM_SaveAgainstPlainWrite);")
print("mean is total save time over total plain time, median the middle pair's ratio, best the")
print("fastest save over the fastest plain.")
PY
echo "JSON: $prefs_json"
