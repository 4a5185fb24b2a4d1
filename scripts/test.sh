#!/usr/bin/env bash
# Builds the plug-in and its tests, and runs the whole suite under Wine.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
start_wine
ctest --preset windows "$@"
