#!/usr/bin/env bash
# Runs one fuzz target on a scratch copy of its seed corpus and prints how
# many inputs it executed. Usage: run_fuzzer.sh FUZZER SEEDS RUNS SECONDS
set -uo pipefail
fuzzer=$1 seeds=$2 runs=$3 seconds=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
cp -r "$seeds"/. "$work/corpus"/
"$fuzzer" -runs="$runs" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1
status=$?
grep -E "stat::number_of_executed_units|stat::new_units_added" "$work/log"
if [ "$status" -ne 0 ]; then
  echo "FAIL: $(basename "$fuzzer") exited with $status"
  tail -40 "$work/log"
  for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
    [ -e "$artifact" ] && { echo "input $(basename "$artifact"):"; od -A x -t x1z "$artifact" | head -20; }
  done
  exit 1
fi
