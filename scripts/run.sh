#!/usr/bin/env bash
# Builds everything and runs the main job: for now, quillon-plutil printing the pane bundle's
# Info.plist and shipped property lists.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake -S . -B build/run -G Ninja -DQUILLON_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)"
for f in resources/*.plist; do
  echo "== $f"
  build/run/tools/quillon-plutil/quillon-plutil -p "$f"
done
