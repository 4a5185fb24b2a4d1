#!/usr/bin/env bash
# The 32-bit and the 64-bit package on 64-bit Windows (a 64-bit Wine prefix
# of the test's own): each installs into its own Program Files folder and
# registers in its own registry view, whatever the order; the 64-bit one
# upgrades itself without touching the other; the origin policy, one key for
# both, stays while either package is installed and goes with the last; and
# each installed module and host answers.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
dpkg -s wine64 >/dev/null 2>&1 || { echo "SKIPPED: no 64-bit Wine (Debian's wine64) here"; exit 77; }
source tests/support/throwaway_prefix.sh
source tests/support/native_message.sh
throwaway_prefix installer-views win64
for build in "x86 --version 5.2.0.0 old32" "x64 --version 5.2.0.0 old64" "x86 new32" "x64 new64"; do
  read -r arch a b name <<<"$build"
  [ -n "$name" ] || { name=$a; a=""; }
  scripts/package.sh --arch "$arch" ${a:+$a $b} --output "$out/$name" >"$out/package.log" 2>&1 ||
    fail "package $build: $(tail -3 "$out/package.log")"
done
msi() { winepath -w "$(ls "$out/$1"/*.msi)"; }
# A view (64 or 32) is named to reg.exe itself: started from Wine's 32-bit
# loader, system32\reg.exe is redirected to the 32-bit one.
key='HKLM\Software\MozillaPlugins\@dravenil.com/FileAccessPlugin'
chrome='HKLM\Software\Google\Chrome\NativeMessagingHosts\com.dravenil.fileaccess'
policy='HKLM\Software\Policies\Dravenil\FileAccessPlugin'
value() { w reg query "$2" /v "$3" /reg:"$1" | tr -d '\r' | sed -n "s/^ *$3 *REG_SZ *//p"; }
default() { w reg query "$2" /ve /reg:"$1" | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'; }
present() { w reg query "$2" /reg:"$1" >/dev/null; }
products() {  # in both views: a 32-bit package lists itself in the 32-bit one
  for view in 64 32; do
    w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view
  done | tr -d '\r' | grep -c 'DisplayName.*Dravenil File Access Plugin'
}
# The host in FOLDER (a Windows path) asked one request: its answer.
host_reply() { host_answer "$2" wine "$(winepath -u "$1")/npDravenilFileAccessHost.exe"; }
# Each view: the registered module is in the expected folder and answers
# through a console of its own architecture; the host beside it answers.
answers() {  # VIEW CONSOLE-BUILD FOLDER
  local path; path=$(value "$1" "$key" Path)
  [[ "$path" == *"$3\\Dravenil File Access Plugin\\npDravenilFileAccessPlugin.dll" ]] ||
    fail "the $1-bit view registers '$path', not in $3"
  [ "$(w "build/$2/bin/plugin-console.exe" --plugin "$path" --quiet --origin https://calls.example \
       'fileExists("C:\\windows\\win.ini")' | tr -d '\r')" = true ] || fail "the module of $3 does not answer"
  [[ "$(default "$1" "$chrome")" == *"$3\\Dravenil File Access Plugin\\com.dravenil.fileaccess.chromium.json" ]] ||
    fail "the $1-bit view names the host manifest $(default "$1" "$chrome")"
  local reply
  reply=$(host_reply "${path%\\*}" '{"id":1,"method":"fileExists","args":["C:\\windows\\win.ini"],"origin":"https://calls.example"}')
  [ "$reply" = '{"id":1,"result":true}' ] || fail "the host of $3 answers '$reply'"
}

w msiexec /i "$(msi old64)" /qn ALLOWEDORIGINS=https://calls.example || fail "install the old 64-bit package"
w msiexec /i "$(msi new32)" /qn || fail "install the 32-bit package beside it, keeping the policy"
w msiexec /i "$(msi new64)" /qn || fail "upgrade the 64-bit package"
[ "$(products)" = 2 ] || fail "$(products) products, not one per architecture"
[ "$(value 64 "$key" Version)" = "$(ls "$out/new64" | sed -n 's/.*Plugin-\(.*\)-x64.msi/\1/p')" ] ||
  fail "the 64-bit registration after the upgrade: $(value 64 "$key" Version)"
answers 64 windows64 'C:\Program Files'
answers 32 windows 'C:\Program Files (x86)'
# Side by side, each host's --check finds everything ok: its own package's
# registrations, and the other package's as the other's. A manifest of one
# package taken away is a problem of that package alone.
host_of() { echo "$WINEPREFIX/drive_c/$1/Dravenil File Access Plugin/npDravenilFileAccessHost.exe"; }
for folder in 'Program Files' 'Program Files (x86)'; do
  report=$(w "$(host_of "$folder")" --check | tr -d '\r'); status=$?
  [ "$status" = 0 ] || fail "--check of the host in $folder with both packages exited $status: $report"
done
manifest32="$WINEPREFIX/drive_c/Program Files (x86)/Dravenil File Access Plugin/com.dravenil.fileaccess.chromium.json"
mv "$manifest32" "$out/manifest32"
for folder in 'Program Files' 'Program Files (x86)'; do
  report=$(w "$(host_of "$folder")" --check | tr -d '\r')
  problems=$(grep '^problem' <<<"$report")
  case "$folder" in
    'Program Files') want='^problem (Chrome|Edge|Chromium) host \(the 32-bit package\): the manifest .* is missing \(fix: repair the package: msiexec /i npDravenilFileAccessPlugin-[0-9.]*\.msi ' ;;
    *) want='^problem (Chrome|Edge|Chromium) host \(32-bit view\): the manifest .* is missing \(fix: repair the package: msiexec /i npDravenilFileAccessPlugin-[0-9.]*\.msi ' ;;
  esac
  [ "$(grep -Ec "$want" <<<"$problems")" = 3 ] && [ "$(wc -l <<<"$problems")" = 3 ] ||
    fail "--check of the host in $folder without the 32-bit package's manifest: $problems"
done
mv "$out/manifest32" "$manifest32"

w msiexec /x "$(msi new64)" /qn || fail "uninstall the 64-bit package"
if present 64 "$key"; then fail "the 64-bit registration left"; fi
[ "$(value 64 "$policy" AllowedOrigins)" = https://calls.example ] ||
  fail "the policy went with the 64-bit package while the 32-bit one stays"
answers 32 windows 'C:\Program Files (x86)'
# The 32-bit package alone marks the policy as required in its own view: with
# the policy deleted, its host serves no page.
w reg delete "$policy" /v AllowedOrigins /f /reg:64 >/dev/null
folder32='C:\Program Files (x86)\Dravenil File Access Plugin'
reply=$(host_reply "$folder32" '{"id":0,"method":"#policy","args":[]}')
[[ "$reply" == '{"id":0,"policy":[],'* ]] || fail "the 32-bit host's policy with the required policy missing: $reply"
reply=$(host_reply "$folder32" '{"id":1,"method":"fileExists","args":["x"],"origin":"https://calls.example"}')
[[ "$reply" == *'"name":"PolicyRefusedError"}' ]] || fail "the 32-bit host with the required policy missing: $reply"
w reg add "$policy" /v AllowedOrigins /d https://calls.example /f /reg:64 >/dev/null
w msiexec /x "$(msi new32)" /qn || fail "uninstall the 32-bit package"
[ "$(products)" = 0 ] || fail "a product left"
for view in 64 32; do
  if present $view "$key" || present $view "$chrome"; then fail "a registration left in the $view-bit view"; fi
done
if present 64 "$policy"; then fail "the policy left after the last package"; fi
[ ! -e "$WINEPREFIX/drive_c/Program Files/Dravenil File Access Plugin" ] || fail "the 64-bit folder left"
echo "installer views: both packages side by side in a 64-bit prefix, each in its own folder and view"
