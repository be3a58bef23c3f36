#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for the given seconds
# (default 60) over its committed seed corpus fuzz/corpus/<target> (read, never written) and the
# inputs earlier runs found in build-fuzz/corpus/<target>, printing executions and crashes per
# target. Exits 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCORVALA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for source in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
# Only the fuzzers and the library they link: the rest of the project is not needed here.
cmake --build "$dir" -j2 --target "${targets[@]}" >/dev/null

failed=0
for name in "${targets[@]}"; do
  corpus=$dir/corpus/$name
  artifacts=$dir/artifacts/$name/
  mkdir -p "$corpus" "$artifacts"
  log=$dir/$name.log
  status=0
  "$dir/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find "$artifacts" -type f | wc -l)
  echo "$name: ${runs:-?} executions, $crashes crash files, exit $status"
  if ((status != 0 || crashes != 0)); then
    failed=1
    tail -30 "$log"
  fi
done
exit $failed
