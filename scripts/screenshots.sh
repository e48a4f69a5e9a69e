#!/usr/bin/env bash
# Builds the window and saves a picture of each of its pages and panels, in English and German,
# into build/screenshots/<language>/: on a virtual X server, in a throwaway home, with the stand-in
# helper and two simulated devices (so that the device menu shows too).
# Usage: scripts/screenshots.sh
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."
build=build/run
out=build/screenshots

# Inside the private bus: the helper in the background, then the window once per language.
if [ "${1:-}" = "--in-session" ]; then
  log=$build/screenshots-helper.log
  "$build/tools/quillon-helper/quillon-helper" \
    --device pid=0x1056,transport=1,interface=0 --device pid=0x1059,transport=1,interface=0 \
    --log "$log" &
  helper=$!
  trap 'kill "$helper" 2>/dev/null || true; wait "$helper" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q 'ready name=' "$log" 2>/dev/null && break
    sleep 0.1
  done
  for lang in en de; do
    rm -rf "${out:?}/$lang"
    LANG="${lang}_$( [ "$lang" = en ] && echo US || echo DE ).UTF-8" LANGUAGE="$lang" \
      "$build/src/app/quillon-settings/quillon-settings" --screenshots "$out/$lang" --after 2
  done
  exit 0
fi

scripts/deps.sh run
cmake -S . -B "$build" -G Ninja -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home XDG_CONFIG_HOME=$home/.config xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- "$self" --in-session
ls "$out"/en "$out"/de
