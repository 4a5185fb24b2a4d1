#!/usr/bin/env bash
# Builds the plug-in and the benchmark, and prints each method's cost beside
# the bare Windows calls it has to make. Options go to the benchmark:
# --quick (small data, one round), --only GROUP (repeatable).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
start_wine
wine build/windows/bin/benchmark.exe "$@"

# The round trip from a page through the extension to the host and back, in
# headless Chromium and headless Firefox.
echo
node tests/chromium/browser_test.js | grep 'round trip'
node tests/firefox/browser_test.js | grep 'round trip'
