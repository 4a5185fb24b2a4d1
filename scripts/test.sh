#!/usr/bin/env bash
# Builds the plug-in and its tests and runs the whole suite under Wine; then
# builds the portable pieces natively and runs their tests and fuzz targets
# under the sanitizers.
# The suite runs in a Wine prefix of its own, build/wine, holding only what
# the tests put there: a prefix named in the environment (one with the
# package installed, or a policy set) is left alone.
unset WINEPREFIX
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
start_wine
# Tests that share nothing run side by side; those that do hold a lock.
ctest --preset windows --parallel 2 "$@"

# The portable pieces natively, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz target over its seed corpus.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native --parallel 2 "$@"
