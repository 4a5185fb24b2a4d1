# Shared by the build, test and demonstration scripts: tools, build, Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export WINEDEBUG=-all

build_plugin() {
  scripts/ensure-tools.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
}

# A persistent Wine server makes each Windows program start quickly. It is
# started with its output redirected so that it holds none of our pipes, and
# stopped when the calling script ends.
start_wine() {
  if ! wineserver -p >/dev/null 2>&1 </dev/null; then :; fi
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  # The first use of a fresh Wine prefix sets it up; do that once, quietly.
  wineboot -i >/dev/null 2>&1 </dev/null || true
}
