#!/usr/bin/env bash
# Builds startup_bench in Release and runs it inside a private session bus with a throwaway home
# and the stand-in helper serving one simulated device, as a user's desktop has it: first on an X
# server (Xvfb), as the window starts on a desktop, then on offscreen Qt, which leaves out the
# display and so shows the window's own share more sharply. Prints how the settings window's
# start-up compares with a bare Qt window on each.
# Usage: bench/startup.sh [BENCHMARK_ARGS...]
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."
build=${QUILLON_BENCH_BUILD:-build/bench}

# Inside the private bus and the X server: the helper in the background, then both runs.
if [ "${1:-}" = "--in-session" ]; then
  shift
  log=$build/startup-helper.log
  "$build/tools/quillon-helper/quillon-helper" --device pid=0x1056,transport=1,interface=0 \
    --log "$log" &
  helper=$!
  trap 'kill "$helper" 2>/dev/null || true; wait "$helper" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q 'ready name=' "$log" 2>/dev/null && break
    sleep 0.1
  done
  for platform in xcb offscreen; do
    # The two windows' repetitions take turns in a random order, so that a machine that grows
    # slower or faster during the run weighs on both alike.
    QT_QPA_PLATFORM=$platform "$build/bench/startup_bench" --benchmark_enable_random_interleaving=true \
      --benchmark_out="$build/startup_bench.$platform.json" --benchmark_out_format=json "$@"
  done
  exit 0
fi

scripts/deps.sh test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" --target startup_bench quillon-helper -j "$(nproc)"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home XDG_CONFIG_HOME=$home/.config xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- "$self" --in-session "$@"
python3 - "$build" <<'PY'
import json, sys
for platform, label in (("xcb", "on an X server"), ("offscreen", "offscreen")):
    runs = json.load(open(f"{sys.argv[1]}/startup_bench.{platform}.json"))["benchmarks"]
    median = {r["run_name"].split("/")[0]: r["real_time"]
              for r in runs if r.get("aggregate_name") == "median"}
    # The fastest repetition as well: on a busy machine noise only ever adds time.
    fastest = {}
    for r in runs:
        if r.get("run_type") == "iteration":
            name = r["run_name"].split("/")[0]
            fastest[name] = min(fastest.get(name, r["real_time"]), r["real_time"])
    bare, window = median.get("BM_BareQtWindow"), median.get("BM_SettingsWindow")
    if bare and window:
        print(f"start-up {label}, median of 10: bare Qt window {bare:.1f} ms, "
              f"settings window {window:.1f} ms, ratio {window / bare:.2f}; fastest: "
              f"{fastest['BM_BareQtWindow']:.1f} ms and {fastest['BM_SettingsWindow']:.1f} ms, "
              f"ratio {fastest['BM_SettingsWindow'] / fastest['BM_BareQtWindow']:.2f}")
PY
