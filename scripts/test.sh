#!/usr/bin/env bash
# Builds the plug-in and its tests and runs the whole suite under Wine; then
# builds the portable pieces natively and runs their tests and fuzz targets
# under the sanitizers.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
start_wine
ctest --preset windows "$@"

# The portable pieces natively, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz target over its seed corpus.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native "$@"
