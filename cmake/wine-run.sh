#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix (build/wine),
# unless WINEPREFIX is set. A missing prefix is created first, quietly, and
# the prefix's server and services are started with their output going
# nowhere, so that they hold none of the caller's pipes (a server started
# here ends a few seconds after its last program).
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(dirname "$here")/build/wine"
  export WINEPREFIX
fi
export WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEARCH=win32 wineboot -i >/dev/null 2>&1 </dev/null || true
fi
wineserver -p5 >/dev/null 2>&1 </dev/null || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
exec wine "$@"
