#!/usr/bin/env bash
# Builds the plug-in and the benchmark for both architectures, and prints
# each method's cost beside the bare Windows calls it has to make: one table
# for the 32-bit module (in the 32-bit prefix), one for the 64-bit module (in
# the 64-bit prefix). Options go to the benchmark: --quick (small data, one
# round), --only GROUP (repeatable), --strict.
#
# It runs in the project's own prefixes (build/wine, build/wine64), as the
# tests do, so that nothing of a prefix with the package installed or a
# policy set is measured; BENCH_WINEPREFIX names another 32-bit prefix.
unset WINEPREFIX
[ -z "${BENCH_WINEPREFIX:-}" ] || export WINEPREFIX="$BENCH_WINEPREFIX"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
build_plugin64
start_wine
# The benchmark's page has no origin: an origin policy refuses every call it
# makes, and each would show as a wrong result. Said once, before anything.
for prefix in "$WINEPREFIX" "$root/build/wine64"; do
  if WINEPREFIX="$prefix" wine reg query 'HKLM\Software\Policies\Dravenil\FileAccessPlugin' \
       /v AllowedOrigins >/dev/null 2>&1; then
    echo "bench.sh: the Wine prefix $prefix has an origin policy (AllowedOrigins), which refuses" \
      "the benchmark's calls: run it in a prefix without one (the default, build/wine)" >&2
    exit 2
  fi
done
status=0
echo "== 32-bit module"
wine build/windows/bin/benchmark.exe "$@" || status=$?
echo
echo "== 64-bit module"
WINEPREFIX="$root/build/wine64" wine build/windows64/bin/benchmark.exe "$@" || status=$?

# The round trip from a page through the extension to the host and back, in
# headless Chromium and headless Firefox.
echo
node tests/chromium/browser_test.js | grep 'round trip'
node tests/firefox/browser_test.js | grep 'round trip'
exit "$status"
