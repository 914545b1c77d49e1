#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR; also `wine-run.sh --start` / `--stop`
# bring the prefix's persistent wineserver up and down around a test run.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${VORLIX_WINEPREFIX:?VORLIX_WINEPREFIX must name the build tree prefix}"
export WINEPREFIX="$VORLIX_WINEPREFIX"
export WINEDEBUG=-all
# No mono or gecko installers: nothing here needs them and they would try to download.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ -x /usr/lib/wine/wine64 ]; then
  WINE=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
else
  WINE=wine
fi
WINESERVER=wineserver
command -v wineserver >/dev/null 2>&1 || WINESERVER=/usr/lib/wine/wineserver64

case "${1:-}" in
  --start)
    mkdir -p "$WINEPREFIX"
    # Answers 2 when this prefix's server already runs; that server is the one we want.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
    # Boot the prefix (created on first use) here, with the standard streams closed: the
    # session's service processes live as long as the server and must not hold a caller's pipes.
    if [ ! -f "$WINEPREFIX/.vorlix-ready" ]; then
      "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.vorlix-ready"
    else
      "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
    fi
    exit 0
    ;;
  --stop)
    if [ -d "$WINEPREFIX" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
    exit 0
    ;;
esac

exec "$WINE" "$@"
