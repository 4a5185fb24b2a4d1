#!/usr/bin/env bash
# The installer under Wine, in a Wine prefix of the test's own: an earlier
# version installs silently, the current one upgrades it in place, the
# registered module loads and answers, the native-messaging host is
# registered for each browser and answers, an older package is refused, and
# uninstalling leaves nothing of the plug-in and everything else. A package
# without ALLOWEDORIGINS, or with an entry that is no origin, installs
# nothing and says why in its log; "*" serves every page; a build that
# differs only in the fourth version number upgrades the one before it.
#
# Every run starts from a new prefix of its own and throws it away on every
# path, failure included: nothing of one run can make another pass or fail.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source tests/support/throwaway_prefix.sh
source tests/support/native_message.sh
throwaway_prefix installer-test win32
key='HKLM\Software\MozillaPlugins\@dravenil.com/FileAccessPlugin'
other='HKLM\Software\MozillaPlugins\@example.org/SomeoneElse'
value() { w reg query "$1" /v "$2" | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"; }
default() { w reg query "$1" /ve | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'; }
host_keys=(
  'HKLM\Software\Google\Chrome\NativeMessagingHosts\com.dravenil.fileaccess'
  'HKLM\Software\Microsoft\Edge\NativeMessagingHosts\com.dravenil.fileaccess'
  'HKLM\Software\Chromium\NativeMessagingHosts\com.dravenil.fileaccess'
  'HKLM\Software\Mozilla\NativeMessagingHosts\com.dravenil.fileaccess'
)

scripts/package.sh --version 5.2.0.0 --output "$out/old" >"$out/package.log" 2>&1 ||
  fail "package 5.2.0.0: $(tail -5 "$out/package.log")"
scripts/package.sh --output "$out/new" >"$out/package.log" 2>&1 ||
  fail "package: $(tail -5 "$out/package.log")"
# A package for an extension signed with a key of the organisation's own: its
# Chromium host manifest allows that key's id.
openssl genrsa -out "$out/key.pem" 2048 2>/dev/null || fail "a throwaway key"
scripts/package.sh --output "$out/keyed" --extension-key "$out/key.pem" >"$out/package.log" 2>&1 ||
  fail "package with a key: $(tail -5 "$out/package.log")"
(cd "$out/keyed" && msiextract -C "$out/keyed/files" ./*.msi >/dev/null) || fail "the keyed package's files"
source scripts/host_manifest.sh
grep -rq "chrome-extension://$(extension_id_of_key "$out/key.pem")/" "$out/keyed/files" ||
  fail "the keyed package's host manifest does not allow the key's id"
old=$(ls "$out"/old/*.msi) new=$(ls "$out"/new/*.msi)
current=$(basename "$new" .msi); current=${current#npDravenilFileAccessPlugin-}
# The build before this one, differing only in the fourth number.
IFS=. read -r major minor build revision <<<"$current"
[ "$revision" -gt 0 ] || fail "the current version $current has no fourth number to step back from"
previous="$major.$minor.$build.$((revision - 1))"
scripts/package.sh --version "$previous" --output "$out/previous" >"$out/package.log" 2>&1 ||
  fail "package $previous: $(tail -5 "$out/package.log")"
prev=$(ls "$out"/previous/*.msi)
# Whether the installer's log (plain text, or UTF-16) holds the text.
log_has() { grep -aqF "$2" "$1" || iconv -f UTF-16LE -t UTF-8 "$1" 2>/dev/null | grep -aqF "$2"; }
products() {
  w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    tr -d '\r' | grep -c 'DisplayName.*Dravenil File Access Plugin'
}

# --check on a machine without the package: problems, exit code 1.
check=$(w build/windows/bin/npDravenilFileAccessHost.exe --check | tr -d '\r'); status=$?
[ "$status" = 1 ] || fail "--check on a clean machine exited $status"
grep -q '^problem NPAPI registration' <<<"$check" || fail "--check on a clean machine: $check"

# Without ALLOWEDORIGINS, and with an entry that is no origin, nothing is
# installed and the log says why.
if w msiexec /i "$(winepath -w "$new")" /qn /l*v "$(winepath -w "$out/none.log")"; then
  fail "a package without ALLOWEDORIGINS was installed"
fi
log_has "$out/none.log" "ALLOWEDORIGINS is required" ||
  fail "the log does not say ALLOWEDORIGINS is required"
# The entry goes into the log as written: bracketed text is no property.
if w msiexec /i "$(winepath -w "$new")" /qn ALLOWEDORIGINS='https://ok.example;https://calls.example/[ProductName]' \
  /l*v "$(winepath -w "$out/bad.log")"; then
  fail "a package with a path in ALLOWEDORIGINS was installed"
fi
log_has "$out/bad.log" "the entry 'https://calls.example/[ProductName]' holds a path" ||
  fail "the log does not name the refused entry as written: $(iconv -f UTF-16LE -t UTF-8 "$out/bad.log" 2>/dev/null | grep -a "entry" ; grep -a entry "$out/bad.log")"
if w reg query "$key" >/dev/null; then fail "a refused package registered the plug-in"; fi
[ "$(products)" = 0 ] || fail "a refused package left a product"

w reg add "$other" /v Path /d 'C:\elsewhere\npother.dll' /f >/dev/null
policy='HKLM\Software\Policies\Dravenil\FileAccessPlugin'
origins='https://calls.example;https://calls.example:8443'
w msiexec /i "$(winepath -w "$old")" /qn ALLOWEDORIGINS="$origins" || fail "silent install of 5.2.0.0"
[ "$(value "$policy" AllowedOrigins)" = "$origins" ] || fail "the origin policy written: $(value "$policy" AllowedOrigins)"
[ "$(value "$key" Version)" = 5.2.0.0 ] || fail "5.2.0.0 registered"

w msiexec /i "$(winepath -w "$new")" /qn || fail "silent upgrade to $current"
[ "$(value "$key" Version)" = "$current" ] || fail "upgraded registration: $(value "$key" Version)"
[ "$(value "$policy" AllowedOrigins)" = "$origins" ] ||
  fail "the origin policy kept through the upgrade: '$(value "$policy" AllowedOrigins)'"
[ "$(w reg query 'HKLM\Software\MozillaPlugins' | tr -d '\r' | grep -c 'FileAccessPlugin')" = 1 ] ||
  fail "one registration"
[ "$(value "$key\\MimeTypes\\application/x-dravenilfileaccessplugin" Suffixes)" = tolvex ] ||
  fail "MIME type registered"
path=$(value "$key" Path)
unix=$(winepath -u "$path")
[ -f "$unix" ] || fail "module at the registered Path $path"
answer=$(w build/windows/bin/plugin-console.exe --plugin "$path" --quiet \
  --origin https://calls.example:8443 'fileExists("C:\\windows\\win.ini")' | tr -d '\r') || true
[ "$answer" = true ] || fail "the installed module answers: '$answer'"
refused=$(w build/windows/bin/plugin-console.exe --plugin "$path" --quiet \
  --origin https://elsewhere.example 'fileExists("C:\\windows\\win.ini")' | tr -d '\r') || true
[ -z "$refused" ] || fail "a page of another origin was answered: '$refused'"

# The route for current browsers: each browser's key names a manifest beside
# the module, and each manifest the installed host, which answers.
folder=$(dirname "$unix")
for host_key in "${host_keys[@]}"; do
  manifest=$(default "$host_key")
  [ -n "$manifest" ] || fail "no manifest registered under $host_key"
  manifest_unix=$(winepath -u "$manifest")
  [ "$(dirname "$manifest_unix")" = "$folder" ] || fail "$host_key names $manifest, not beside the module"
  node -e '
    const m = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
    const firefox = process.argv[2].includes("Mozilla");
    if (m.name !== "com.dravenil.fileaccess" || m.type !== "stdio" || m.path !== "npDravenilFileAccessHost.exe") process.exit(1);
    if (firefox ? !(m.allowed_extensions || [])[0] : !/^chrome-extension:\/\/[a-p]{32}\/$/.test((m.allowed_origins || [])[0])) process.exit(1);
  ' "$manifest_unix" "$host_key" || fail "the manifest $manifest"
done
[ -f "$folder/npDravenilFileAccessHost.exe" ] || fail "the host beside the module"
# The administrator's log, on for the host's call: a line for it, with no
# argument's value.
w reg add "$policy" /v LogFile /d 'C:\host.log' /f >/dev/null
reply=$(host_answer '{"id":7,"method":"fileExists","args":["C:\\windows\\win.ini"],"origin":"https://calls.example"}' \
  wine "$folder/npDravenilFileAccessHost.exe")
[ "$reply" = '{"id":7,"result":true}' ] || fail "the installed host answers: '$reply'"
log_text=$(cat "$WINEPREFIX/drive_c/host.log" 2>/dev/null)
grep -q ' route=host origin=https://calls.example method=fileExists outcome=boolean ' <<<"$log_text" ||
  fail "the host's log: $log_text"
if grep -qi 'win.ini' <<<"$log_text"; then fail "the host's log holds an argument's value"; fi
w reg delete "$policy" /v LogFile /f >/dev/null

# --check after the install: every finding ok, and each broken part in turn
# gives its problem line.
installed_host="$folder/npDravenilFileAccessHost.exe"
check() { w "$installed_host" --check "$@" | tr -d '\r'; }
all=$(check https://calls.example:8443); status=$?
[ "$status" = 0 ] || fail "--check after the install exited $status: $all"
if grep -v '^ok ' <<<"$all" | grep -q .; then fail "--check after the install: $all"; fi
grep -q '^ok      page https://calls.example:8443: served: the policy names' <<<"$all" ||
  fail "--check with an origin: $all"
# A page's address is cut to its origin; the host started by another path to
# the same file (its Unix path) judges the same registrations.
page=$(check https://calls.example:8443/app/page.html); status=$?
[ "$status" = 0 ] && grep -q '^ok      page https://calls.example:8443/app/page.html (origin https://calls.example:8443): served' <<<"$page" ||
  fail "--check with a page's address of an allowed origin: $page"
by_unix=$(w "$(winepath -u "$installed_host")" --check | tr -d '\r'); status=$?
[ "$status" = 0 ] || fail "--check started by the host's Unix path: $by_unix"
node -e 'const r = JSON.parse(require("fs").readFileSync(0, "utf8"));
  if (r.problems !== 0 || !r.findings.length) process.exit(1);' < <(check --json) || fail "--check --json"
firefox_manifest="$folder/com.dravenil.fileaccess.firefox.json"
chromium_manifest="$folder/com.dravenil.fileaccess.chromium.json"
cp "$firefox_manifest" "$out/firefox.json"; cp "$chromium_manifest" "$out/chromium.json"
rm "$firefox_manifest"
grep -q '^problem Firefox host.*is missing' <<<"$(check)" || fail "--check with the Firefox manifest deleted"
cp "$out/firefox.json" "$firefox_manifest"
sed -i 's/npDravenilFileAccessHost.exe/elsewhere.exe/' "$chromium_manifest"
grep -q '^problem Chrome host.*does not lead to this host' <<<"$(check)" || fail "--check with a manifest pointing elsewhere"
cp "$out/chromium.json" "$chromium_manifest"
w reg add "$policy" /v AllowedOrigins /d 'https://calls.example;https://calls.example/app' /f >/dev/null
grep -q "^problem policy entry: \"https://calls.example/app\" holds a path" <<<"$(check)" ||
  fail "--check with a bad policy entry"
w reg add "$policy" /v AllowedOrigins /d "$origins" /f >/dev/null
mv "$unix" "$out/module.dll"
grep -q '^problem module: .* is missing beside the host' <<<"$(check)" || fail "--check with the module missing"
mv "$out/module.dll" "$unix"
[ "$(check >/dev/null; echo $?)" = 0 ] || fail "--check once everything is back"

# A page the policy does not serve: the fix names what to write, and
# written so, it serves the page.
fix=$(check http://new.example | sed -n 's/^problem page http:\/\/new.example: .*(fix: .*ALLOWEDORIGINS="\([^"]*\)")$/\1/p')
[ "$fix" = "$origins;https://new.example" ] || fail "--check's fix for an http page: $(check http://new.example)"
grep -q '^problem page https://new.example/app (origin https://new.example): refused: .*(fix: add https://new.example to AllowedOrigins' <<<"$(check https://new.example/app)" ||
  fail "--check's fix for a page's address: $(check https://new.example/app)"
w reg add "$policy" /v AllowedOrigins /d "$fix" /f >/dev/null
grep -q '^ok      page https://new.example: served' <<<"$(check https://new.example)" || fail "the fix followed"
w reg add "$policy" /v AllowedOrigins /d "$origins" /f >/dev/null

# Group Policy's "Disabled" deletes the value: the package's mark keeps the
# machine closed, in the module and the host, and --check says so. Without
# the mark (a module registered by hand) every page is served, with a
# warning.
# One request to the installed host: its answer.
host_request() { host_answer "$1" wine "$folder/npDravenilFileAccessHost.exe"; }
host_call() {
  host_request '{"id":7,"method":"fileExists","args":["C:\\windows\\win.ini"],"origin":"'"$1"'"}'
}
policy_question() { host_request '{"id":0,"method":"#policy","args":[]}'; }
console_call() {
  w build/windows/bin/plugin-console.exe --plugin "$path" --quiet --origin "$1" \
    'fileExists("C:\\windows\\win.ini")' | tr -d '\r'
}
mark='HKLM\Software\Dravenil\FileAccessPlugin'
[ "$(value "$mark" PolicyRequired)" = 1 ] || fail "the package's mark"
w reg delete "$policy" /v AllowedOrigins /f >/dev/null
[ -z "$(console_call https://calls.example:8443)" ] || fail "the module served a page with the policy deleted"
grep -q '"name":"PolicyRefusedError"' <<<"$(host_call https://calls.example:8443)" ||
  fail "the host with the policy deleted: $(host_call https://calls.example:8443)"
# The extension's own question in that state: no origin is served (an
# answer of null would serve every page).
policy_answer=$(policy_question)
grep -q '^{"id":0,"policy":\[\],' <<<"$policy_answer" ||
  fail "the extension's question with the required policy missing: $policy_answer"
grep -q '^problem origin policy: .* is not set, and the installed package requires it' <<<"$(check)" ||
  fail "--check with the policy deleted: $(check)"
w reg delete "$mark" /v PolicyRequired /f >/dev/null
[ "$(console_call https://anywhere.example)" = true ] || fail "without the mark, a page was refused"
# No policy and no mark: the extension is told that every page is served.
policy_answer=$(policy_question)
grep -q '^{"id":0,"policy":null,' <<<"$policy_answer" || fail "the extension's question with no policy: $policy_answer"
grep -q '^warning origin policy: .* every page is served' <<<"$(check)" || fail "--check without the mark"
[ "$(check >/dev/null; echo $?)" = 0 ] || fail "a warning is no problem: --check exits 0"
w "$installed_host" --no-such-option >/dev/null; [ $? = 2 ] || fail "an unknown option does not exit 2"
w reg add "$mark" /v PolicyRequired /d 1 /f >/dev/null
w reg add "$policy" /v AllowedOrigins /d "$origins" /f >/dev/null
[ "$(check >/dev/null; echo $?)" = 0 ] || fail "--check once the policy is back"

# What must agree, each broken in turn: --check names it, and its fix,
# followed as written, clears it.
cp "$unix" "$out/current.dll"
# The module of another build: its fixed version information says 1.2.3.4.
python3 - "$unix" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(struct.pack("<I", 0xFEEF04BD))
struct.pack_into("<II", data, at + 8, 1 << 16 | 2, 3 << 16 | 4)
open(sys.argv[1], "wb").write(data)
PY
grep -q '^problem module: .*version 1.2.3.4, but the host is version' <<<"$(check)" ||
  fail "--check with a module of another version: $(check)"
grep -q '^problem NPAPI registration.*the file is version 1.2.3.4' <<<"$(check)" ||
  fail "--check with a registration of another version: $(check)"
repair() { w msiexec /i "$(winepath -w "$new")" REINSTALL=ALL REINSTALLMODE=vamus /qn; }
grep -qF "fix: repair the package: msiexec /i $(basename "$new") REINSTALL=ALL REINSTALLMODE=vamus" <<<"$(check)" ||
  fail "the fix for another version: $(check)"
repair || fail "the repair the fix names"
[ "$(check >/dev/null; echo $?)" = 0 ] || fail "--check after the repair: $(check)"
cmp -s "$unix" "$out/current.dll" || fail "the repair did not put the module back"
cp "$WINEPREFIX/drive_c/windows/system32/version.dll" "$unix"
grep -q "^problem module: .* is not this product's module" <<<"$(check)" || fail "--check with a foreign module"
repair || fail "the repair after a foreign module"
cmp -s "$unix" "$out/current.dll" || fail "the repair did not put back the module"
w reg add "$policy" /v LogFile /d 'C:\nolog\access.log' /f >/dev/null
grep -q '^problem log: C:\\nolog\\access.log: its folder is missing' <<<"$(check)" || fail "--check with no log folder: $(check)"
mkdir -p "$WINEPREFIX/drive_c/nolog"
grep -q '^ok      log: C:\\nolog\\access.log' <<<"$(check)" || fail "--check once the log's folder is made"
# A log file that cannot be opened to add to (another program holds it
# without sharing): --check finds out by trying.
logdir="$WINEPREFIX/drive_c/nolog"
wine build/windows/bin/test-helper.exe hold 'C:\nolog\access.log' none 'C:\nolog\held' 'C:\nolog\release' \
  2>/dev/null </dev/null &
holder=$!
for _ in $(seq 300); do [ -e "$logdir/held" ] && break; sleep 0.1; done
grep -q '^problem log: C:\\nolog\\access.log cannot be written by this user' <<<"$(check)" ||
  fail "--check with a log file that cannot be written: $(check)"
touch "$logdir/release"
wait "$holder"
rm -f "$logdir/held" "$logdir/release" "$logdir/access.log"
# The log's folder is one every user writes: what another user plants as
# the log file (a link, a hard link, a file of their own; with or without a
# folder as ".1") is never written, renamed or cut, the call still answers,
# and --check names what is there. The victim is past the log's bound, so
# each plant is offered a rotation too.
head -c 1260000 /dev/zero | tr '\0' v >"$out/victim.txt"
victim_sum=$(sha256sum <"$out/victim.txt")
for plant in symbolic hard other-user; do
  for older in none folder; do
    rm -rf "$logdir/access.log" "$logdir/access.log.1"
    case $plant in
      symbolic) ln -s "$out/victim.txt" "$logdir/access.log"; said='is a link' ;;
      hard) ln "$out/victim.txt" "$logdir/access.log"; said='has other names' ;;
      other-user)
        cp "$out/victim.txt" "$logdir/access.log"; chown nobody "$logdir/access.log"
        said='belongs to another user' ;;
    esac
    [ "$older" = folder ] && mkdir "$logdir/access.log.1"
    [ "$(host_call https://calls.example)" = '{"id":7,"result":true}' ] || fail "a call with a planted $plant log"
    [ "$(sha256sum <"$out/victim.txt")" = "$victim_sum" ] || fail "the log wrote into a planted $plant ($older)"
    [ "$(sha256sum <"$logdir/access.log")" = "$victim_sum" ] || fail "the planted $plant log changed ($older)"
    grep -q "^problem log: C:\\\\nolog\\\\access.log $said" <<<"$(check)" ||
      fail "--check with a planted $plant log: $(check)"
  done
done
rm -rf "$logdir/access.log" "$logdir/access.log.1"
# A file of each user's own: %USERNAME% is the user's name.
w reg add "$policy" /v LogFile /d 'C:\nolog\%USERNAME%.log' /f >/dev/null
[ "$(host_call https://calls.example)" = '{"id":7,"result":true}' ] || fail "a call with a per-user log"
user_name=$(w cmd /c echo %USERNAME% | tr -d '\r')
grep -q ' route=host origin=https://calls.example method=fileExists ' "$logdir/$user_name.log" ||
  fail "no line in the per-user log $logdir/$user_name.log: $(ls "$logdir")"
grep -q "^ok      log: C:\\\\nolog\\\\%USERNAME%.log (for this user C:\\\\nolog\\\\$user_name.log)" <<<"$(check)" ||
  fail "--check with a per-user log: $(check)"
w reg delete "$policy" /v LogFile /f >/dev/null
forced='HKLM\Software\Policies\Google\Chrome\ExtensionInstallForcelist'
keyed_id=$(extension_id_of_key "$out/key.pem")
w reg add "$forced" /v 1 /d "$keyed_id;https://updates.example/updates.xml" /f >/dev/null
grep -q "^problem Chrome forced extension: .*forces $keyed_id, but the host manifest allows" <<<"$(check)" ||
  fail "--check with a forced extension no manifest allows: $(check)"
keyed=$(ls "$out"/keyed/*.msi)
# The fix, followed as written: the keyed package over the installed one of
# the same version.
grep -qF "install it over this one: msiexec /i $(basename "$keyed") REINSTALL=ALL REINSTALLMODE=vamus /qn" <<<"$(check)" ||
  fail "the forced extension's fix: $(check)"
w msiexec /i "$(winepath -w "$keyed")" REINSTALL=ALL REINSTALLMODE=vamus /qn || fail "install the keyed package over it"
grep -q "^ok      Chrome forced extension: $keyed_id" <<<"$(check)" || fail "--check with the keyed package: $(check)"
w reg delete "$forced" /f >/dev/null
# Firefox's policy forcing an extension whose id the manifest's begins with
# (ids are compared whole), installed as "normal_installed" (also a forced
# install): a problem.
firefox_policy='HKLM\Software\Policies\Mozilla\Firefox'
w reg add "$firefox_policy" /v ExtensionSettings \
  /d '{"fileaccess@dravenil.co":{"installation_mode":"normal_installed"}}' /f >/dev/null
grep -q "^problem Firefox forced extension: .*forces fileaccess@dravenil.co, but the host manifest allows fileaccess@dravenil.com" <<<"$(check)" ||
  fail "--check with Firefox forcing another add-on: $(check)"
w reg delete 'HKLM\Software\Policies\Mozilla' /f >/dev/null
w msiexec /x "$(winepath -w "$keyed")" /qn || fail "uninstall the keyed package"
w msiexec /i "$(winepath -w "$new")" /qn ALLOWEDORIGINS="$origins" || fail "install again"
[ "$(check >/dev/null; echo $?)" = 0 ] || fail "--check after the package is back: $(check)"

# An older package over a newer one is refused, and the newer one stays.
if w msiexec /i "$(winepath -w "$old")" /qn; then fail "a downgrade to 5.2.0.0 was not refused"; fi
[ "$(value "$key" Version)" = "$current" ] || fail "after the refused downgrade: $(value "$key" Version)"
[ -f "$unix" ] || fail "the module after the refused downgrade"

w msiexec /x "$(winepath -w "$new")" /qn || fail "silent uninstall"
[ ! -e "$unix" ] || fail "module removed"
[ ! -e "$(dirname "$unix")" ] || fail "folder removed"
if w reg query "$key" >/dev/null; then fail "registration removed"; fi
for host_key in "${host_keys[@]}"; do
  if w reg query "$host_key" >/dev/null; then fail "$host_key removed"; fi
done
if w reg query "$policy" /v AllowedOrigins >/dev/null; then fail "the origin policy removed"; fi
if w reg query "$mark" /v PolicyRequired >/dev/null; then fail "the package's mark removed"; fi
[ "$(value "$other" Path)" = 'C:\elsewhere\npother.dll' ] || fail "an unrelated plug-in's key kept"
w reg delete "$other" /f >/dev/null
[ "$(products)" = 0 ] || fail "a product left after the uninstall"

# "*" serves every page; the next build, differing only in the fourth
# number, upgrades it and keeps it; one product is left, and uninstalling
# it leaves nothing.
w msiexec /i "$(winepath -w "$prev")" /qn ALLOWEDORIGINS='*' /l*v "$(winepath -w "$out/star.log")" ||
  fail "install $previous with *"
[ "$(value "$policy" AllowedOrigins)" = '*' ] || fail "the policy *: '$(value "$policy" AllowedOrigins)'"
log_has "$out/star.log" "warning: ALLOWEDORIGINS=* serves every page of every site" ||
  fail "the install log does not warn of *"
grep -q '^warning policy entry: "\*": every page of every site is served' <<<"$(check)" ||
  fail "--check does not warn of *: $(check)"
path=$(value "$key" Path)
answer=$(w build/windows/bin/plugin-console.exe --plugin "$path" --quiet \
  --origin https://anywhere.example 'fileExists("C:\\windows\\win.ini")' | tr -d '\r') || true
[ "$answer" = true ] || fail "with * a page of any origin is answered: '$answer'"
w msiexec /i "$(winepath -w "$new")" /qn || fail "upgrade from $previous to $current"
[ "$(products)" = 1 ] || fail "$(products) products after upgrading $previous to $current"
[ "$(value "$key" Version)" = "$current" ] || fail "after the fourth-number upgrade: $(value "$key" Version)"
[ "$(value "$policy" AllowedOrigins)" = '*' ] || fail "the policy * kept through the upgrade"
w msiexec /x "$(winepath -w "$new")" /qn || fail "uninstall after the fourth-number upgrade"
[ "$(products)" = 0 ] || fail "a product left after uninstalling"
if w reg query "$key" >/dev/null; then fail "registration left after uninstalling"; fi
[ ! -e "$unix" ] || fail "module left after uninstalling"
echo "installer: required and checked origins, install, upgrades, load, host route, refused downgrade and uninstall as expected"
