#!/usr/bin/env bash
# The kit for a real Windows machine, as its user meets it: scripts/windows-kit.sh
# packs what is built, the zip unpacks, and run-tests.cmd runs under Wine's
# command interpreter in a 64-bit prefix: one short program of each
# architecture passes, with the closing line, and a program that fails makes
# the run fail. (The whole suite runs through ctest; it is not run twice.)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
dpkg -s wine64 >/dev/null 2>&1 || { echo "SKIPPED: no 64-bit Wine (Debian's wine64) here"; exit 77; }
[ -f build/windows64/bin/unit_tests.exe ] || { echo "SKIPPED: the 64-bit build is not there"; exit 77; }
out=$(mktemp -d "${TMPDIR:-/tmp}/windows-kit.XXXXXX")
trap 'rm -rf "$out"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
scripts/windows-kit.sh --out "$out/built" --no-build >/dev/null || fail "the kit was not built"
python3 -m zipfile -e "$out/built/windows-kit.zip" "$out/unpacked" || fail "the kit does not unpack"
kit="$out/unpacked/windows-kit"
[ -f "$kit/x86/npDravenilFileAccessPlugin-faults.dll" ] && [ -f "$kit/x64/plugin_tests.exe" ] ||
  fail "the kit lacks a program: $(ls "$kit"/*)"
run() { (cd "$kit" && WINEPREFIX="$root/build/wine64" WINEDEBUG=-all wine cmd /c run-tests.cmd "$@" </dev/null >/dev/null 2>&1); }
run unit_tests.exe || fail "the runner failed on the unit tests: $(tail -5 "$kit/report.txt")"
[ "$(tail -1 "$kit/report.txt" | tr -d '\r')" = "2 passed, 0 failed" ] || fail "the report's last line: $(tail -1 "$kit/report.txt")"
grep -q '\[  PASSED  \]' "$kit/report.txt" || fail "the report holds no test output"
if run unit_tests.exe test-helper.exe; then fail "a failing program did not fail the run"; fi
[ "$(tail -1 "$kit/report.txt" | tr -d '\r')" = "2 passed, 2 failed" ] || fail "with a failing program: $(tail -1 "$kit/report.txt")"
echo "windows kit: built, unpacked, run by run-tests.cmd under Wine, and failing when a program fails"
