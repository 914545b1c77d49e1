#!/usr/bin/env bash
# run-fuzz.sh <target> <seed-corpus> <work-corpus> [libFuzzer options...]
# Runs one fuzz target from its seed corpus. New inputs go to the work corpus (created if missing),
# crash inputs beside it; the seed corpus in the sources is only read.
set -euo pipefail
target=$1 seeds=$2 work=$3
shift 3
mkdir -p "$work" "$work.artifacts"
export TZ=VLX-2
exec "$target" -artifact_prefix="$work.artifacts/" -print_final_stats=1 "$@" "$work" "$seeds"
