#!/usr/bin/env bash
# Builds the plug-in and its tests, for 32-bit and 64-bit Windows, and runs
# both suites under Wine (the 64-bit one in a 64-bit prefix); then
# builds the portable pieces natively and runs their tests and fuzz targets
# under the sanitizers.
# The suite runs in a Wine prefix of its own, build/wine, holding only what
# the tests put there: a prefix named in the environment (one with the
# package installed, or a policy set) is left alone.
unset WINEPREFIX
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
build_plugin64
start_wine
# Tests that share nothing run side by side; those that do hold a lock. The
# 64-bit module's suite runs in its own 64-bit prefix beside the 32-bit one.
WINEPREFIX="$root/build/wine64" ctest --preset windows64 "$@" > build/windows64/suite.log 2>&1 &
suite64=$!
status=0
ctest --preset windows --parallel 2 "$@" || status=$?
wait "$suite64" || { status=1; cat build/windows64/suite.log; }
grep -E "tests passed|Total Test time" build/windows64/suite.log | sed 's/^/64-bit: /'
[ "$status" -eq 0 ] || exit "$status"

# The portable pieces natively, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz target over its seed corpus.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native --parallel 2 "$@"
