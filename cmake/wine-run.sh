#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix (build/wine,
# or with --win64 the 64-bit build/wine64), unless WINEPREFIX is set. A
# missing prefix is created first, quietly (WINEARCH says which kind), and
# the prefix's server and services are started with their output going
# nowhere, so that they hold none of the caller's pipes (a server started
# here ends a few seconds after its last program).
here=$(cd "$(dirname "$0")" && pwd)
arch=win32 prefix=wine
if [ "${1:-}" = --win64 ]; then
  arch=win64 prefix=wine64
  shift
fi
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(dirname "$here")/build/$prefix"
  export WINEPREFIX
fi
export WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEARCH="${WINEARCH:-$arch}" wineboot -i >/dev/null 2>&1 </dev/null || true
fi
wineserver -p5 >/dev/null 2>&1 </dev/null || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
exec wine "$@"
