#!/usr/bin/env bash
# Builds the Debian package from the install rules, with its dependencies found by
# dpkg-shlibdeps: build/package/quillon-mouse_<version>_<arch>.deb.
# Usage: scripts/package.sh              a build of its own in build/release (optimised as the
#                                        tested builds are; the package's programs are stripped)
#        scripts/package.sh BUILD_DIR    package an already configured build tree (CI reuses the
#                                        one scripts/test.sh made)
# Install it with: sudo apt-get install ./build/package/quillon-mouse_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh install
if [ $# -eq 0 ]; then
  build=build/release
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF >/dev/null
else
  build=$1
  # Configured again, so that tools installed since (rsvg-convert for the icons) are found.
  cmake "$build" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"

out=build/package
mkdir -p "$out"
rm -f "$out"/quillon-mouse_*.deb
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
debs=("$out"/quillon-mouse_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { cat "$out/cpack.log" >&2; echo "cpack made no package" >&2; exit 1; }
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
echo "Package: $deb"
