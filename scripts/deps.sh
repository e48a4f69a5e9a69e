#!/usr/bin/env bash
# Installs the Debian packages a job needs, only those missing; safe to run again and again.
# Usage: scripts/deps.sh run|test|fuzz|bench|a11y|install
set -euo pipefail

common=(g++ cmake ninja-build pkg-config python3)
# The platform stand-ins: Qt Widgets and QtDBus, xkbcommon with the layout data, the session bus,
# and a virtual X server for window tests and screenshots.
platform=(qt6-base-dev libgl-dev libxkbcommon-dev libxkbcommon-x11-dev xkb-data dbus xvfb xauth)
case "${1:-test}" in
  run)   packages=("${common[@]}" "${platform[@]}") ;;
  test)  packages=("${common[@]}" "${platform[@]}" libgtest-dev libgmock-dev libbenchmark-dev libplist-dev libplist-utils) ;;
  fuzz)  packages=("${common[@]}" clang libclang-rt-14-dev) ;;
  bench) packages=("${common[@]}" libbenchmark-dev libplist-dev) ;;
  a11y)  packages=("${common[@]}" "${platform[@]}" at-spi2-core python3-pyatspi) ;;
  # The package and the desktop files: icons rendered from SVG, the validators, dpkg-shlibdeps
  # (which needs file), man to render the pages.
  install) packages=("${common[@]}" "${platform[@]}" librsvg2-bin desktop-file-utils appstream dpkg-dev file man-db) ;;
  *) echo "usage: $0 run|test|fuzz|bench|a11y|install" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
