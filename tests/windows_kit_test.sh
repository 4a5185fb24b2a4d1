#!/usr/bin/env bash
# The kit for a real Windows machine, as its user meets it: scripts/windows-kit.sh
# packs what is built, the zip unpacks, and run-tests.cmd runs under Wine's
# command interpreter in a 64-bit prefix: one short program of each
# architecture passes, with the closing line, and a program that fails makes
# the run fail, and so does each other wrong verdict a runner could give.
# (The whole suite runs through ctest; it is not run twice.)
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
last() { tail -1 "$kit/report.txt" | tr -d '\r'; }
run unit_tests.exe || fail "the runner failed on the unit tests: $(tail -5 "$kit/report.txt")"
[ "$(last)" = "2 passed, 0 failed" ] || fail "the report's last line: $(last)"
grep -q '\[  PASSED  \]' "$kit/report.txt" || fail "the report holds no test output"
grep -q '<testsuites' "$kit/report-x64-unit_tests.xml" || fail "no GoogleTest XML beside the report"
# Each wrong verdict a runner could give: a failing program, a crashing one
# (its exit code is negative), one not in the kit, one named with its
# folder, and a missing architecture. Each fails the run and says which.
cp "$kit/x86/test-helper.exe" "$kit/x86/crash-helper.exe"
cp "$kit/x64/test-helper.exe" "$kit/x64/crash-helper.exe"
while IFS='|' read -r args verdict said; do
  if run $args; then fail "run-tests.cmd $args passed"; fi
  [ "$(last)" = "$verdict" ] || fail "run-tests.cmd $args: $(last), not $verdict"
  grep -qF "$said" "$kit/report.txt" || fail "run-tests.cmd $args does not say '$said'"
done <<'CASES'
unit_tests.exe test-helper.exe|2 passed, 2 failed|FAILED x64\test-helper.exe: exited with 2
crash-helper.exe|0 passed, 2 failed|FAILED x86\crash-helper.exe: exited with -1073741819
absent.exe|0 passed, 2 failed|FAILED x86\absent.exe: is not in the kit
x86\unit_tests.exe|0 passed, 2 failed|names a folder
CASES
mv "$kit/x64" "$kit/x64-away"
if run unit_tests.exe; then fail "a kit without its x64 folder passed"; fi
grep -qF 'the kit has no x64 folder' "$kit/report.txt" || fail "a missing x64 folder: $(tail -3 "$kit/report.txt")"
mv "$kit/x64-away" "$kit/x64"
# Unpacked below folders whose names hold what the command interpreter reads
# as its own: the same verdict, and nothing run but the tests.
for name in 'a b & c' 'bang!x' 'pct %PATH% x' 'caret ^ x' 'Zoë'; do
  moved="$out/$name/windows-kit"
  mkdir -p "$out/$name" && cp -r "$kit" "$moved" || fail "copying the kit below '$name'"
  rm -f "$moved/report.txt"
  (cd "$moved" && WINEPREFIX="$root/build/wine64" WINEDEBUG=-all wine cmd /c run-tests.cmd unit_tests.exe </dev/null >/dev/null 2>&1) ||
    fail "the kit below '$name' failed: $(tail -3 "$moved/report.txt" 2>/dev/null)"
  [ "$(tail -1 "$moved/report.txt" | tr -d '\r')" = "2 passed, 0 failed" ] ||
    fail "the kit below '$name': $(tail -1 "$moved/report.txt" 2>/dev/null)"
done
# The machine as found: a run that finds no policy key leaves none, though a
# program it runs makes one and leaves it.
policy_there() { WINEPREFIX="$root/build/wine64" WINEDEBUG=-all wine reg query 'HKLM\Software\Policies\Dravenil' >/dev/null 2>&1; }
if policy_there; then
  echo "windows kit: a policy key is already set in this prefix; whether a run leaves one is not checked"
else
  cp "$kit/x86/test-helper.exe" "$kit/x86/policy-helper.exe"
  cp "$kit/x64/test-helper.exe" "$kit/x64/policy-helper.exe"
  run policy-helper.exe || fail "the policy helper failed: $(tail -5 "$kit/report.txt")"
  ! policy_there || fail "a run left the policy key behind"
fi
echo "windows kit: built, unpacked and run under Wine from folders named with & ! % ^ and a non-ASCII letter; a failing, crashing or missing program and a missing architecture each fail the run"
