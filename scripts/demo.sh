#!/usr/bin/env bash
# Builds the plug-in as it ships, with the console and the desktop-player
# simulator, and runs a page-script session against it through the browser
# embedding's console, with the simulator serving the exchange folder
# alongside. Installs and builds only what it runs.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
scripts/ensure-tools.sh --demo
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release --target plugin plugin-console player-simulator
start_wine
bin=build/windows-release/bin

folder=$(mktemp -d /tmp/exchange-demo.XXXXXX)
winfolder=$(winepath -w "$folder" 2>/dev/null)
cleanup() {
  [ -n "${simulator:-}" ] && kill "$simulator" 2>/dev/null
  rm -rf "$folder"
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

echo "== desktop-player simulator serving $winfolder"
wine "$bin/player-simulator.exe" "$winfolder" CALL-0042 --interval 50 </dev/null &
simulator=$!
sleep 1

echo "== page script, through the console's embedding"
escaped=${winfolder//\\/\\\\\\\\}
outer="demo-$$"
sed "s|EXCHANGE|$escaped|g; s|OUTER|$outer|g" scripts/demo.js | wine "$bin/plugin-console.exe"
touch "$folder/PlayerSimulator.stop"
# The demonstration's workspace set leaves nothing behind.
rm -rf "$(winepath -u 'C:\users' 2>/dev/null)"/*/AppData/Local/Dravenil/Workspaces/"$outer"
wait "$simulator" || true
simulator=
