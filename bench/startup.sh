#!/usr/bin/env bash
# Builds startup_bench in Release and runs it on offscreen Qt inside a private session bus, with a
# throwaway home; prints how the settings window's start-up compares with a bare Qt window.
# Usage: bench/startup.sh [BENCHMARK_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
build=${QUILLON_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" --target startup_bench -j 2

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
json=$build/startup_bench.json
HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
  dbus-run-session -- "$build/bench/startup_bench" --benchmark_out="$json" --benchmark_out_format=json "$@"
python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"].split("/")[0]: r["real_time"] for r in runs if r.get("aggregate_name") == "median"}
bare, window = median.get("BM_BareQtWindow"), median.get("BM_SettingsWindow")
if bare and window:
    print(f"start-up, median of 5: bare Qt window {bare:.1f} ms, settings window {window:.1f} ms, "
          f"ratio {window / bare:.2f}")
PY
