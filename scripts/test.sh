#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test.
# Usage: scripts/test.sh [--sanitize]
#   --sanitize: everything under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/test
flags=(-DQUILLON_WERROR=ON -DQUILLON_BENCH=ON)
case "${1:-}" in
  --sanitize)
    build=build/sanitize
    flags=(-DQUILLON_WERROR=ON -DQUILLON_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
esac

scripts/deps.sh test
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
