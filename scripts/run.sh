#!/usr/bin/env bash
# Builds everything and opens the settings window, talking to the stand-in helper with one
# simulated device on a private session bus. Without a display it runs on a virtual X server and
# saves a picture of the window instead of waiting for you to close it.
# Usage: scripts/run.sh               a throwaway home folder (build/run/home, emptied each run),
#                                     so trying the window never touches your preferences or
#                                     your autostart folder
#   QUILLON_HOME=DIR scripts/run.sh   use DIR as the home folder instead (QUILLON_HOME=~ for
#                                     your own)
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."
build=build/run
screenshot=$build/quillon-settings.png

# Inside the private bus: the helper in the background, the window in the foreground.
if [ "${1:-}" = "--in-session" ]; then
  shift
  log=$build/quillon-helper.log
  : >"$log"
  "$build/tools/quillon-helper/quillon-helper" --device pid=0x1056,transport=1,interface=0 \
    --log "$log" &
  helper=$!
  trap 'kill "$helper" 2>/dev/null || true; wait "$helper" 2>/dev/null || true' EXIT
  # The window looks for the helper on the bus at start; give it the moment to get there.
  for _ in $(seq 100); do
    grep -q '^.*ready name=' "$log" && break
    kill -0 "$helper" 2>/dev/null || { cat "$log" >&2; echo "quillon-helper did not start" >&2; exit 1; }
    sleep 0.1
  done
  status=0
  "$build/src/app/quillon-settings/quillon-settings" "$@" || status=$?
  echo "helper log: $log"
  exit "$status"
fi

scripts/deps.sh run
cmake -S . -B "$build" -G Ninja -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

# The display's key stays reachable when the home folder changes.
if [ -z "${XAUTHORITY:-}" ] && [ -n "${HOME:-}" ] && [ -f "$HOME/.Xauthority" ]; then
  export XAUTHORITY="$HOME/.Xauthority"
fi
if [ -n "${QUILLON_HOME:-}" ]; then
  mkdir -p "$QUILLON_HOME"
  HOME=$(cd "$QUILLON_HOME" && pwd)
  echo "Using $HOME as the home folder"
else
  rm -rf "$build/home"
  mkdir -p "$build/home"
  HOME=$(cd "$build/home" && pwd)
  echo "Using a throwaway home folder, $HOME (QUILLON_HOME=~ scripts/run.sh uses your own)"
fi
export HOME XDG_CONFIG_HOME="$HOME/.config"
echo "Preferences: $HOME/Library/Preferences/com.quillonworks.mouse.plist"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on a virtual X server and saving a picture of the window to $screenshot"
  rm -f "$screenshot"
  xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$self" --in-session --screenshot "$screenshot" --after 3
  echo "Screenshot: $screenshot"
else
  dbus-run-session -- "$self" --in-session
fi
