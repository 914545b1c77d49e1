#!/usr/bin/env bash
# Long fuzz runs of the native build's targets (make fuzz): FUZZ_TIME seconds each (60 unless set),
# every target or those named in FUZZ_TARGETS. Working corpora and crash inputs stay in
# build/native-asan/fuzz; an input worth keeping is copied into Tests/Fuzz/corpus/<target> by hand.
# Ends with 1 when a target found a fault.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/native-asan
time_per_target=${FUZZ_TIME:-60}
targets=${FUZZ_TARGETS:-$(cat "$build/fuzz-targets.txt")}
status=0
for t in $targets; do
  echo "fuzz: $t for ${time_per_target} s"
  log="$build/fuzz/$t.log"
  mkdir -p "$build/fuzz"
  if Tests/Fuzz/run-fuzz.sh "$build/bin/$t" "Tests/Fuzz/corpus/$t" "$build/fuzz/$t" \
       -max_total_time="$time_per_target" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | sed "s/^/fuzz: $t: /"
  else
    echo "fuzz: $t FAILED, see $log and $build/fuzz/$t.artifacts/"
    grep -E 'property violated|ERROR:|runtime error' "$log" | head -5
    status=1
  fi
done
exit $status
