#!/usr/bin/env bash
# Builds the plug-in and runs a short page-script session against it through
# the browser stand-in's console.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_plugin
start_wine
bin=build/windows/bin
wine "$bin/plugin-console.exe" --file scripts/demo.js
