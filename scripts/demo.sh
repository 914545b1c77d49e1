#!/usr/bin/env bash
# The main job: runs the programs under Wine in the build tree's own prefix.
#   1. VorlixSentinel is started, asked to close, and its exit code shown.
#   2. Sedrin sets the root of a copy of the example installation, changes a value and copies an
#      object; its status (exit code and registry) and the changed file are shown.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows-x64"
export VORLIX_WINEPREFIX="$build/wineprefix"
run="$root/cmake/wine-run.sh"

"$run" --start
trap '"$run" --stop' EXIT

echo "== VorlixSentinel: start, close message, exit code"
"$run" "$build/bin/SentinelControl.exe" "$build/bin/VorlixSentinel.exe"

# A fresh copy of the example installation on the prefix's drive C:, so its Windows path is short
# and has no hyphen (an unquoted value is cut at a hyphen).
install="$VORLIX_WINEPREFIX/drive_c/VorlixDemo"
rm -rf "$install"
cp -r "$root/examples/installation" "$install"

sedrin() {
  echo "\$ Sedrin.exe $*"
  set +e
  "$run" "$build/bin/Sedrin.exe" "$@"
  local status=$?
  set -e
  echo "exit code: $status"
  "$run" reg query 'HKEY_CLASSES_ROOT\Vorlix_Installation' /v SEDRIN_STATUS 2>/dev/null | tr -d '\r' | grep SEDRIN_STATUS || true
}

echo
echo "== Sedrin: set the root, change a value, copy an object"
sedrin -v 2 -r 'C:\VorlixDemo' -c sentinel.checkInterval=PT10S -c 'sentinel.applications.recorder=>sentinel.applications.collector'
echo
echo "-- Configuration/Vorlix.xml, root object:"
tr -d '\r' < "$install/Configuration/Vorlix.xml" | grep -A1 '<Name>root</Name>'
echo "-- Configuration/Components/sentinel.xml:"
cat "$install/Configuration/Components/sentinel.xml"

echo
echo "== Sedrin: an object that does not exist"
sedrin -c sentinel.nothing=1
