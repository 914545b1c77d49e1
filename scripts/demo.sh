#!/usr/bin/env bash
# The main job: runs the programs under Wine in the build tree's own prefix.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows-x64"
export VORLIX_WINEPREFIX="$build/wineprefix"
run="$root/cmake/wine-run.sh"

"$run" --start
trap '"$run" --stop' EXIT

echo "== VorlixSentinel: start, close message, exit code"
"$run" "$build/bin/SentinelControl.exe" "$build/bin/VorlixSentinel.exe"
