# A Wine prefix of the test's own, made anew and thrown away on every path,
# failure included: nothing of one run can make another pass or fail.
# Sourced after `root` is set:
#
#   throwaway_prefix NAME win32|win64
#
# sets `out` (a scratch folder holding the prefix) and WINEPREFIX, defines
# fail and w (wine with its noise and input cut off), and starts Wine's
# helpers with their output redirected, so that they hold none of the test
# runner's pipes.
fail() { echo "FAILED: $*" >&2; exit 1; }
w() { wine "$@" 2>/dev/null </dev/null; }
throwaway_prefix() {
  out=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  export WINEPREFIX="$out/prefix" WINEDEBUG=-all
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$out"' EXIT
  mkdir -p "$WINEPREFIX"
  WINEARCH="$2" wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -p >/dev/null 2>&1 </dev/null || true
}
