#!/usr/bin/env bash
# Shows the settings window's accessibility tree as a screen reader sees it over AT-SPI, on a
# virtual X server with the stand-in helper, in a throwaway home; fails when a control has no name.
# Usage: scripts/accessibility-tree.sh [LANG]     e.g. scripts/accessibility-tree.sh de_DE.UTF-8
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."
build=build/run

if [ "${1:-}" = "--in-session" ]; then
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  "$build/tools/quillon-helper/quillon-helper" --device pid=0x1056,transport=1,interface=0 \
    --log "$build/accessibility-helper.log" &
  helper=$!
  LANG=$QUILLON_LANG QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$build/src/app/quillon-settings/quillon-settings" &
  window=$!
  trap 'kill "$window" "$helper" "$launcher" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
  sleep 2
  /usr/bin/python3 scripts/accessibility_tree.py
  exit $?
fi

scripts/deps.sh a11y
cmake -S . -B "$build" -G Ninja -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The language goes to the window alone: the virtual X server wants the machine's own.
HOME=$home XDG_CONFIG_HOME=$home/.config QUILLON_LANG=${1:-${LANG:-en_US.UTF-8}} \
  xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$self" --in-session
