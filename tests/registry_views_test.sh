#!/usr/bin/env bash
# The origin policy in a 64-bit Wine prefix, as on 64-bit Windows: set in
# the 64-bit view and in the 32-bit one, the 32-bit and the 64-bit module
# obey it either way, and the console says why a page it plays is refused. The
# prefix is the test's own and goes on every path.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
dpkg -s wine64 >/dev/null 2>&1 || { echo "SKIPPED: no 64-bit Wine (Debian's wine64) here"; exit 77; }
source tests/support/throwaway_prefix.sh
throwaway_prefix registry-views win64
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || fail "the prefix is not a 64-bit one"
key='HKLM\Software\Policies\Dravenil\FileAccessPlugin'
# The 32-bit module, and the 64-bit one when it is built.
consoles=(build/windows/bin/plugin-console.exe)
[ -f build/windows64/bin/plugin-console.exe ] && consoles+=(build/windows64/bin/plugin-console.exe)
served() {
  local console answers=""
  for console in "${consoles[@]}"; do
    answers+=$(w "$console" --quiet --origin "$1" 'fileExists("C:\\windows\\win.ini")' | tr -d '\r')
    answers+=";"
  done
  # One answer for all, or their disagreement.
  [ "$(tr ';' '\n' <<<"${answers%;}" | sort -u | wc -l)" = 1 ] && echo "${answers%%;*}" || echo "$answers"
}

# Each view named to reg.exe itself: started from Wine's 32-bit loader,
# system32\reg.exe would be redirected to the 32-bit one.
for view in 64 32; do
  reg="reg.exe /reg:$view"
  w reg add "$key" /v AllowedOrigins /d 'https://calls.example:8443' /f /reg:$view >/dev/null ||
    fail "$reg could not set the policy"
  [ "$(served https://calls.example:8443)" = true ] || fail "set by $reg, the allowed origin is not served"
  [ -z "$(served https://calls.example)" ] || fail "set by $reg, another origin is served"
  why=$(wine build/windows/bin/plugin-console.exe --quiet --origin https://calls.example 'fileExists("x")' 2>&1 >/dev/null </dev/null)
  [[ "$why" == *"does not serve the page of https://calls.example"* ]] || fail "the console's reason: $why"
  w reg delete "$key" /f /reg:$view >/dev/null || fail "$reg could not remove the policy"
  [ "$(served https://calls.example)" = true ] || fail "without a policy, a page is not served"
done
why=$(wine build/windows/bin/plugin-console.exe --plugin 'C:\nowhere\missing.dll' 'fileExists("x")' 2>&1 >/dev/null </dev/null)
[[ "$why" == *"could not be loaded"* ]] || fail "the console's reason for a missing module: $why"
echo "registry views: the policy set in the 64-bit and in the 32-bit view is obeyed by ${#consoles[@]} module(s)"
