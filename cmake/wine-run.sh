#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix (build/wine),
# unless WINEPREFIX is set. A missing prefix is created first, quietly, so
# that Wine's first-run set-up holds none of the caller's pipes.
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
exec wine "$@"
