#!/usr/bin/env bash
# Builds the plug-in and the benchmark for both architectures, and prints
# each method's cost beside the bare Windows calls it has to make: one table
# for the 32-bit module (in the 32-bit prefix), one for the 64-bit module (in
# the 64-bit prefix). Options go to the benchmark: --quick (small data, one
# round), --only GROUP (repeatable), --strict.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
build_plugin64
start_wine
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
