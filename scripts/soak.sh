#!/usr/bin/env bash
# Fault and load runs under Wine (not part of the default test run). Each run is bounded in time
# and prints one PASS or FAIL line; the script fails when any run failed.
#   SOAK_KILLS (200)  SOAK_DATAGRAMS (10000)  SOAK_STORM_SECONDS (600)  SOAK_LOG_LINES (5000)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows-x64"
export VORLIX_WINEPREFIX="$build/wineprefix"
run="$root/cmake/wine-run.sh"
"$run" --start
trap '"$run" --stop' EXIT

example="Z:$(echo "$root/examples/installation" | tr '/' '\\')"
status=0
step() {
  echo "-- Soak $*"
  timeout 1800 "$run" "$build/bin/Soak.exe" "$@" | tee -a "$build/soak.txt" || status=1
}
: > "$build/soak.txt"
step kills "${SOAK_KILLS:-200}" "$example"
step datagrams "${SOAK_DATAGRAMS:-10000}"
step storm "${SOAK_STORM_SECONDS:-600}"
step logging "${SOAK_LOG_LINES:-5000}"
echo
grep -E '^(PASS|FAIL) ' "$build/soak.txt"
exit $status
