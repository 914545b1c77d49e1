#!/usr/bin/env bash
# The main job: runs the programs under Wine in the build tree's own prefix.
#   1. VorlixSentinel runs on a copy of the example installation with two copies of the reference
#      application (recorder, collector): both are started, a killed one is restarted, checks are
#      paused and resumed with the per-instance marker, and DIE stops it; its exit code is shown.
#   2. Sedrin sets the root of a copy of the example installation, changes a value and copies an
#      object; its status (exit code and registry) and the changed file are shown.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows-x64"
export VORLIX_WINEPREFIX="$build/wineprefix"
run="$root/cmake/wine-run.sh"

"$run" --start
trap '"$run" --stop' EXIT

# A fresh copy of the example installation on the prefix's drive C:, so its Windows path is short
# and has no hyphen (an unquoted value is cut at a hyphen).
install="$VORLIX_WINEPREFIX/drive_c/VorlixDemo"
rm -rf "$install"
cp -r "$root/examples/installation" "$install"

# The watchdog's programs: the reference application as recorder and collector, each with its IPC
# name in the settings file beside it; the configuration's root is the demo installation.
mkdir -p "$install/bin"
for app in recorder:Recorder collector:Collector; do
  cp "$build/bin/ReferenceApp.exe" "$install/bin/${app%%:*}.exe"
  printf 'id=%s\r\nlifetime=120\r\n' "${app##*:}" > "$install/bin/${app%%:*}.settings"
done
sed -i 's|"C:\\\\Program Files\\\\Vorlix"|"C:\\\\VorlixDemo\\\\"|' "$install/Configuration/sentinel.conf"

# The watchdog's debug log starts in the installation's log directory (the configuration keeps
# it there), with every record from the start on.
mkdir -p "$install/Logs"
"$run" reg add 'HKLM\SOFTWARE\Vorlix\Resources' /v StartupLogDir /t REG_SZ /d 'C:\VorlixDemo\Logs\' /f >/dev/null
"$run" reg add 'HKLM\SOFTWARE\Vorlix\Resources' /v StartupDebugLevel /t REG_DWORD /d 2 /f >/dev/null

echo "== VorlixSentinel: start, restart, pause, DIE"
set +e
"$run" "$build/bin/SentinelDemo.exe" "$build/bin/VorlixSentinel.exe" 'C:\VorlixDemo\Configuration\' Recorder Collector
watchdog_status=$?
set -e
echo
echo "-- the watchdog's debug log (Logs/SentinelDebug(<user>).log), the lines that tell the story:"
cat "$install"/Logs/SentinelDebug\(*\).log | tr -d '\r' |
  grep -E 'NOTICE|WARNING|ERROR|FATAL|Loaded|Successfully|START THREAD|END THREAD|marker prevented|Quitting|Main loop|Shutting down' || true
[ "$watchdog_status" -eq 0 ] || { echo "the watchdog demo did not go as shown"; exit 1; }
echo

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
