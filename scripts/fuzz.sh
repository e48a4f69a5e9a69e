#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60 s, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(binary_reader xml_reader strings_table round_trip prefs_cleanup)

scripts/deps.sh fuzz
build=build/fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_QT=OFF \
  -DQUILLON_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

# The shipped property lists (defaults, device table, bundle info) seed every target too; they
# are copied so that libFuzzer reads only them, whatever else resources/ comes to hold.
shipped=$build/seeds/resources
rm -rf "$shipped"
mkdir -p "$shipped"
cp resources/*.plist "$shipped"/

for t in "${targets[@]}"; do
  # Each target starts from the checked-in fixtures; what it learns stays in build/, not the tree.
  corpus=$build/corpus/$t
  mkdir -p "$corpus"
  seeds=()
  for d in fuzz/corpus/$t tests/plist/fixtures/*/ "$shipped"; do [ -d "$d" ] && seeds+=("$d"); done
  # The XML vocabulary helps the round trip too: most of its inputs are XML.
  dict=fuzz/$t.dict
  [ "$t" = round_trip ] && dict=fuzz/xml_reader.dict
  extra=()
  [ -f "$dict" ] && extra+=(-dict="$dict")
  mkdir -p "$build/artifacts"
  echo "== fuzzing $t for ${seconds}s"
  log=$build/$t.log
  if ! "$build/fuzz/${t}_fuzz" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "${extra[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $t failed; the input is in $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "$log" || tail -n 3 "$log"
done
