#!/usr/bin/env bash
# Builds plist_bench in Release, runs it (console table, JSON beside it) and prints, per case,
# how many times faster our codec is than libplist.
# Usage: bench/run.sh [BENCHMARK_ARGS...]    e.g. bench/run.sh --benchmark_filter=/300
# QUILLON_BENCH_BUILD sets the build folder (default build/bench); QUILLON_BENCH_SLOW=1 adds
# libplist's binary encoding of 10,000 records, which alone takes about 20 s.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh bench
build=${QUILLON_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" --target plist_bench -j 2

json=$build/plist_bench.json
"$build/bench/plist_bench" --benchmark_format=console --benchmark_out="$json" \
  --benchmark_out_format=json "$@"
echo
python3 bench/ratios.py "$json"
echo "JSON: $json"
