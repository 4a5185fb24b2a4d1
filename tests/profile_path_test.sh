#!/usr/bin/env bash
# A user whose profile folder is named outside the ANSI code page: Local
# AppData is pointed at "C:\users\Пётр\AppData\Local" in a prefix of the
# test's own, and every room of the workspace methods (folders, settings,
# volumes, call details, call lookups) works there through the console, with
# a workspace name's bytes read in the ANSI code page as before.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
console=${1:-build/windows/bin/plugin-console.exe}
[ -f "$console" ] || { echo "SKIPPED: $console is not built"; exit 77; }
source tests/support/throwaway_prefix.sh
throwaway_prefix profile-path win32
local_app_data='C:\users\Пётр\AppData\Local'
local_app_data_unix="$WINEPREFIX/drive_c/users/Пётр/AppData/Local"
mkdir -p "$local_app_data_unix"
w reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
  /v 'Local AppData' /t REG_EXPAND_SZ /d "$local_app_data" /f >/dev/null ||
  fail "could not point Local AppData at $local_app_data"
set_folder="$local_app_data_unix/Dravenil/Workspaces/o/i"

run() { wine "$console" --quiet 2>/dev/null | tr -d '\r'; }
[ "$(echo 'createWSFolder("o","w","i")' | run)" = true ] || fail "createWSFolder below $local_app_data"
[ -d "$set_folder/w/Calls" ] || fail "the workspace is not below $local_app_data"
# One call with one detail, one call file of 3 MiB: 3072 KiB, twice once copied.
printf '\x01\x00\x00\x00\x07\x00\x00\x00\x01\x00\x00\x00\x03\x00\x00\x00\x02hi\x02ok' \
  >"$set_folder/w/Calls.dat"
truncate -s 3M "$set_folder/w/Calls/c1"

calls=(
  'doesWorkspaceExist("o","w","i")' true
  'writeWSGridColOrder("o","w","i","a,b")' true
  'readWSGridColOrder("o","w","i")' '"a,b"'
  'writeWSTimelineVol("o","w","i","L1","5")' true
  'getTimelineVols("o","w","i")' '"[[L1,5]]"'
  'getCallDetailsForWorkspace("o","w","i")' "\"[[7,1,[3,'hi','ok']]]\""
  'isCallInWorkspace("o","i","c1")' true
  'getMissingOrBufferingCalls("o","w","i","c1,c2")' '"c2"'
  'createWSFolder("o","Zoë","i")' true
  'copyWSFolder("o","i","w","w2")' true
  'renameWS("o","w2","w3","i")' true
  'getWorkspaceUsage("o","i")' 0.005859375
  'deleteWorkspace("o","w3","i")' true
  'doesWorkspaceExist("o","w3","i")' false
)
script="" expected=""
for ((n = 0; n < ${#calls[@]}; n += 2)); do
  script+="${calls[n]}"$'\n'
  expected+="${calls[n + 1]}"$'\n'
done
answers=$(printf '%s' "$script" | run)
diff <(printf '%s' "$expected") <(echo "$answers") >&2 ||
  fail "the workspace methods below $local_app_data (expected, then given)"
# Page script's bytes are read in the ANSI code page, as they always were:
# "ë" (UTF-8 C3 AB) names a folder of two characters there.
acp=$(w reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP | tr -d '\r' |
  awk '$1 == "ACP" { print $3 }')
ansi_name=$(printf 'Zo\xc3\xab' | iconv -f "CP$acp" -t UTF-8 2>/dev/null)
[ -n "$ansi_name" ] && [ -d "$set_folder/$ansi_name" ] ||
  fail "the workspace \"Zoë\" is not named as the ANSI code page reads its bytes: $(ls "$set_folder")"
echo "profile path: the workspace methods work below $local_app_data"
