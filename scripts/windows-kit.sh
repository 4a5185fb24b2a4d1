#!/usr/bin/env bash
# Builds the test kit for a real Windows machine, FOLDER/windows-kit.zip
# (build/ by default): the test programs of both architectures, each beside
# the modules it loads (release and fault-plan builds), the console, the
# host, the setup actions and the player simulator, and run-tests.cmd.
#
#   scripts/windows-kit.sh [--out FOLDER] [--no-build]
#
# On Windows 10 or 11: unzip it anywhere and run windows-kit\run-tests.cmd.
# It needs no build tools; it writes windows-kit\report.txt, ending with
# "N passed, N failed", and exits 1 when a test program failed.
# --no-build packs what is built already.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
out=build
build=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="$2"; shift 2 ;;
    --no-build) build=no; shift ;;
    -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
    *) echo "usage: scripts/windows-kit.sh [--out FOLDER] [--no-build]" >&2; exit 2 ;;
  esac
done
command -v zip >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends zip
}
if [ "$build" = yes ]; then
  build_plugin
  build_plugin64
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
kit="$out/windows-kit"
rm -rf "$kit" "$out/windows-kit.zip"
for arch in x86:windows:i686 x64:windows64:x86_64; do
  IFS=: read -r name preset tools <<<"$arch"
  folder="$kit/$name"
  bin="build/$preset/bin"
  [ -f "$bin/plugin_tests.exe" ] || { echo "windows-kit.sh: $bin holds no test programs: build them first" >&2; exit 1; }
  mkdir -p "$folder"
  # Without their debug information: a kit a tenth of the size.
  for file in "$bin"/*.exe "$bin"/*.dll; do
    "$tools-w64-mingw32-objcopy" --strip-debug "$file" "$folder/$(basename "$file")"
  done
done
# Windows' command interpreter wants its own line ends.
sed 's/$/\r/' scripts/windows-kit/run-tests.cmd > "$kit/run-tests.cmd"
(cd "$out" && zip -qr windows-kit.zip windows-kit)
echo "$out/windows-kit.zip"
