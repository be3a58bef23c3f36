#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for the given seconds
# (default 60), printing executions and crashes per target. Exits 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCORVALA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2 >/dev/null

failed=0
for source in fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  corpus=$dir/corpus/$name
  artifacts=$dir/artifacts/$name/
  mkdir -p "$corpus" "$artifacts"
  log=$dir/$name.log
  status=0
  "$dir/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find "$artifacts" -type f | wc -l)
  echo "$name: ${runs:-?} executions, $crashes crash files, exit $status"
  if ((status != 0 || crashes != 0)); then
    failed=1
    tail -30 "$log"
  fi
done
exit $failed
