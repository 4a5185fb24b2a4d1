# Shared by the build, test and demonstration scripts: tools, build, Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export WINEDEBUG=-all
# Wine runs in a prefix of the project's own, inside the build folder, unless
# the caller names one; wineserver -p and -k act on that prefix alone.
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$root/build/wine"
  own_prefix=1
fi

build_plugin() {
  scripts/ensure-tools.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
}

# The same for 64-bit Windows, tested in the 64-bit prefix build/wine64,
# which is made here, once, before any test runs in it (the 64-bit suite and
# the 32-bit module's WoW64 tests share it), and kept served.
build_plugin64() {
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64
  local prefix64="$root/build/wine64"
  if [ ! -f "$prefix64/system.reg" ]; then
    echo "Creating the 64-bit Wine prefix $prefix64 (once; this takes some seconds)"
    mkdir -p "$prefix64"
    WINEPREFIX="$prefix64" WINEARCH=win64 wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  WINEPREFIX="$prefix64" wineserver -p >/dev/null 2>&1 </dev/null || true
}

# A persistent Wine server makes each Windows program start quickly. It is
# started with its output redirected so that it holds none of our pipes, and
# stopped when the calling script ends.
start_wine() {
  mkdir -p "$WINEPREFIX"
  # The first use of a fresh Wine prefix sets it up; do that once, quietly.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once; this takes some seconds)"
    if [ -n "${own_prefix:-}" ]; then export WINEARCH=win32; fi
  fi
  if ! wineserver -p >/dev/null 2>&1 </dev/null; then :; fi
  trap 'wineserver -k >/dev/null 2>&1 || true; WINEPREFIX="$root/build/wine64" wineserver -k >/dev/null 2>&1 || true' EXIT
  wineboot -i >/dev/null 2>&1 </dev/null || true
  unset WINEARCH
}

# The files a Windows Installer package ships, unpacked into FOLDER: what it
# installs, and the installer checks it runs (a custom action's DLL, kept in
# the package's Binary table) as npDravenilFileAccessSetup.dll.
unpack_package() {
  local package folder
  package=$(realpath "$1")
  folder="$2"
  mkdir -p "$folder"
  (cd "$folder" && msiextract "$package" >/dev/null)
  msiinfo extract "$package" Binary.SetupActions > "$folder/npDravenilFileAccessSetup.dll"
}
