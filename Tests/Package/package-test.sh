#!/usr/bin/env bash
# The release package: runs the package target of the 32-bit tree (already built by `make test`),
# unpacks the ZIP, compares its listing with the expected one, and reads back the version resource
# and the manifest of every 32-bit program from its PE file; the registry file is imported under
# Wine into keys of its own and read back.
#   package-test.sh <32-bit build dir> <version> <work dir> <wine-run.sh>
set -euo pipefail
x86="$(cd "$1" 2>/dev/null && pwd || echo "$1")"
version="$2"
mkdir -p "$3"
work="$(cd "$3" && pwd)"
wine_run="$4"

if [ ! -f "$x86/build.ninja" ]; then
  echo "no 32-bit build in $x86: run 'make build-x86' (make test does) first"
  exit 77
fi

if ! cmake --build "$x86" --target package >"$work/package.log" 2>&1; then
  cat "$work/package.log"
  exit 1
fi
zip="$x86/Vorlix-$version-win32.zip"
[ -f "$zip" ] || { echo "no package $zip"; cat "$work/package.log"; exit 1; }

rm -rf "$work/unpacked"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
top="$work/unpacked/Vorlix-$version-win32"
[ -d "$top" ] || { echo "the package does not unpack into Vorlix-$version-win32"; exit 1; }

expected="bin/Sedrin.exe
bin/VorlixSentinel.exe
docs/INSTALL.txt
docs/README.md
examples/installation/Configuration/Components/log.xml
examples/installation/Configuration/Components/sentinel.xml
examples/installation/Configuration/LogMessages/configuration.mess
examples/installation/Configuration/LogMessages/sentinel.mess
examples/installation/Configuration/Vorlix.xml
examples/installation/Configuration/sentinel.conf
registry/vorlix.reg
tools/MailSlotPeer.exe
tools/ReferenceApp.exe
tools/SentinelControl.exe"
actual="$(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
if [ "$actual" != "$expected" ]; then
  echo "package listing differs:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi

# A Unix path as Wine's drive Z: sees it.
winepath_of() { echo "Z:${1//\//\\}"; }

fail=0
check() { # file, description of the check, pattern, text
  if ! grep -qF -- "$3" <<<"$4"; then
    echo "$1: $2 (no \"$3\")"
    fail=1
  fi
}
IFS=. read -r major minor patch <<<"$version"
for exe in bin/VorlixSentinel.exe bin/Sedrin.exe tools/SentinelControl.exe tools/MailSlotPeer.exe tools/ReferenceApp.exe; do
  file="$top/$exe"
  name="$(basename "$exe")"
  check "$exe" "not a 32-bit PE file" "file format pei-i386" "$(i686-w64-mingw32-objdump -f "$file")"
  resources="$(i686-w64-mingw32-windres -i "$file" -O rc)"
  check "$exe" "file version" "FILEVERSION $major, $minor, $patch, 0" "$resources"
  check "$exe" "product version" "PRODUCTVERSION $major, $minor, $patch, 0" "$resources"
  check "$exe" "product name" "VALUE \"ProductName\", \"Vorlix\"" "$resources"
  check "$exe" "version text" "VALUE \"ProductVersion\", \"$version\"" "$resources"
  check "$exe" "file description" "VALUE \"FileDescription\", \"Vorlix " "$resources"
  check "$exe" "original name" "VALUE \"OriginalFilename\", \"$name\"" "$resources"
  check "$exe" "manifest" "1 24 /* RT_MANIFEST */" "$resources"
  check "$exe" "execution level" "requestedExecutionLevel level=\"\"asInvoker\"\"" "$resources"
  check "$exe" "Windows 10 in the supported list" "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" "$resources"
done

reg="$(tr -d '\r' <"$top/registry/vorlix.reg")"
check vorlix.reg "header" "Windows Registry Editor Version 5.00" "$(head -1 <<<"$reg")"
for line in '[HKEY_LOCAL_MACHINE\SOFTWARE\Vorlix\Resources]' '"ConfigurationDir"="' '"StartupLogDir"="' \
  '"StartupDebugLevel"=dword:' '"LogFileRotationScheme"="' '"SentinelMarker"=dword:00000001' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Vorlix\Resources\Recorder]' '[HKEY_CLASSES_ROOT\Vorlix_Installation]' \
  '"VORLIXROOT"="'; do
  check vorlix.reg "value" "$line" "$reg"
done

# Imported for real, the file gives exactly these values. Its keys are renamed first so the
# import touches none of the product's own values, which other tests set.
sed 's/SOFTWARE\\Vorlix\\Resources/SOFTWARE\\VorlixPackageTest\\Resources/; s/HKEY_CLASSES_ROOT\\Vorlix_Installation/HKEY_CLASSES_ROOT\\VorlixPackageTest_Installation/' \
  "$top/registry/vorlix.reg" >"$work/import.reg"
query() { "$wine_run" reg query "$1" 2>/dev/null | tr -d '\r' | sed '/^$/d' || true; }
"$wine_run" reg delete 'HKLM\SOFTWARE\VorlixPackageTest' /f >/dev/null 2>&1 || true
if ! "$wine_run" regedit /S "$(winepath_of "$work/import.reg")"; then
  echo "vorlix.reg: regedit refused it"
  fail=1
fi
imported="$(query 'HKLM\SOFTWARE\VorlixPackageTest\Resources'; query 'HKLM\SOFTWARE\VorlixPackageTest\Resources\Recorder'
  query 'HKCR\VorlixPackageTest_Installation')"
"$wine_run" reg delete 'HKLM\SOFTWARE\VorlixPackageTest' /f >/dev/null 2>&1 || true
"$wine_run" reg delete 'HKCR\VorlixPackageTest_Installation' /f >/dev/null 2>&1 || true
expected_values='HKEY_LOCAL_MACHINE\SOFTWARE\VorlixPackageTest\Resources
    ConfigurationDir    REG_SZ    C:\Program Files\Vorlix\Configuration\
    LogFileRotationScheme    REG_SZ    init,size
    SentinelMarker    REG_DWORD    0x1
    StartupDebugLevel    REG_DWORD    0x1
    StartupLogDir    REG_SZ    C:\Program Files\Vorlix\Logs\
HKEY_LOCAL_MACHINE\SOFTWARE\VorlixPackageTest\Resources\Recorder
HKEY_LOCAL_MACHINE\SOFTWARE\VorlixPackageTest\Resources\Recorder
    SentinelMarker    REG_DWORD    0x1
HKEY_CLASSES_ROOT\VorlixPackageTest_Installation
    VORLIXROOT    REG_SZ    C:\Program Files\Vorlix\'
if [ "$imported" != "$expected_values" ]; then
  echo "vorlix.reg imports other values:"
  diff <(echo "$expected_values") <(echo "$imported") || true
  fail=1
fi

[ "$fail" -eq 0 ] && echo "package $zip: listing, version resources and registry file as expected"
exit "$fail"
