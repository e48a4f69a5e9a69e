#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test.
# Usage: scripts/test.sh [--sanitize | --threads]
#   --sanitize: everything under AddressSanitizer + UndefinedBehaviorSanitizer
#   --threads:  the code that runs threads (the binary property-list writer) under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/test
flags=(-DQUILLON_WERROR=ON -DQUILLON_BENCH=ON)
targets=()
only=()
case "${1:-}" in
  --sanitize)
    build=build/sanitize
    flags=(-DQUILLON_WERROR=ON -DQUILLON_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  --threads)
    build=build/threads
    flags=(-DQUILLON_WERROR=ON -DQUILLON_SANITIZE_THREAD=ON -DQUILLON_QT=OFF
           -DCMAKE_BUILD_TYPE=RelWithDebInfo)
    targets=(--target plist_tests)
    only=(-R '^binary') ;;
esac

scripts/deps.sh test
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "${only[@]}"
