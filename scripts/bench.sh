#!/usr/bin/env bash
# Benchmarks under Wine (not tests): one table with each figure beside its baseline from the same
# run, printed and kept in build/windows-x64/bench-table.md.
#   BENCH_IDLE_SECONDS (600)  BENCH_CRASHES (50)  BENCH_SEDRIN_RUNS (20)  BENCH_LOG_LINES (20000)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows-x64"
export VORLIX_WINEPREFIX="$build/wineprefix"
run="$root/cmake/wine-run.sh"
"$run" --start
trap '"$run" --stop' EXIT

example="Z:$(echo "$root/examples/installation" | tr '/' '\\')"
rows="$build/bench-rows.txt"
: > "$rows"
measure() {
  echo "-- $*" >&2
  timeout 1800 "$run" "$@" | tr -d '\r' | tee /dev/stderr | grep '^ROW|' >> "$rows"
}
(cd "$build" && measure bin/LogBench.exe "${BENCH_LOG_LINES:-20000}")
measure "$build/bin/Bench.exe" sedrin "${BENCH_SEDRIN_RUNS:-20}" "$example"
measure "$build/bin/Bench.exe" latency "${BENCH_CRASHES:-50}"
measure "$build/bin/Bench.exe" idle "${BENCH_IDLE_SECONDS:-600}"

table="$build/bench-table.md"
{
  echo "Run $(date -u +%Y-%m-%dT%H:%MZ) on $(nproc) cores, $(uname -sr), $(wine --version 2>/dev/null || echo wine)"
  echo
  echo "| Figure | Value | Baseline (same run) | Target | Verdict |"
  echo "|---|---|---|---|---|"
  awk -F'|' '{ printf "| %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6 }' "$rows"
} > "$table"
echo
cat "$table"
if grep -q MISSED "$rows"; then echo "Some targets were missed: see the Verdict column."; fi
