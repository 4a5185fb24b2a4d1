#!/usr/bin/env bash
# Installs what building and testing the plug-in needs on Debian 12, when it is
# missing: the 32-bit and 64-bit mingw-w64 cross compilers (posix threads), CMake, Ninja,
# the GoogleTest sources, Wine with its 32-bit and 64-bit halves, and clang with its
# sanitizer and fuzzer runtimes for the native build, Node.js and TypeScript,
# Chromium and Firefox ESR for the extension's tests, and wixl for the
# installer. With --demo, only what the demonstration builds and runs: the
# 32-bit compiler, CMake, Ninja and 32-bit Wine. Safe to run again.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)

install() {
  [ ${#need[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "Installing: ${need[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
}

if [ "${1:-}" = --demo ]; then
  install
  exit 0
fi

command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  need+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# 64-bit Wine, for the 64-bit module's suite and the 32-bit module under
# WoW64 (its server serves 32-bit prefixes too).
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
command -v clang++ >/dev/null || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v npm >/dev/null || need+=(npm)
command -v node >/dev/null || need+=(nodejs)
command -v chromium >/dev/null || need+=(chromium)
command -v firefox-esr >/dev/null || need+=(firefox-esr)
command -v wixl >/dev/null || need+=(wixl msitools)
command -v zip >/dev/null || need+=(zip)
command -v unzip >/dev/null || need+=(unzip)
command -v openssl >/dev/null || need+=(openssl)

# TypeScript, to check page script against the declarations, in the build
# folder's own tools.
install_typescript() {
  local tools
  tools="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/tools"
  [ -x "$tools/node_modules/.bin/tsc" ] && return 0
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --silent typescript@5 >/dev/null
}

install
install_typescript
