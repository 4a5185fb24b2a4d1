#!/usr/bin/env bash
# scripts/extension.sh builds one extension for every organisation: no
# origin is built in. With a key it packs a signed CRX3 and its update
# manifest for Chromium, and an .xpi with updates.json for Firefox; the host
# manifest allows exactly the id that follows from the key.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
out=$(mktemp -d "${TMPDIR:-/tmp}/extension-build.XXXXXX")
trap 'rm -rf "$out"' EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
source scripts/host_manifest.sh
source tests/support/native_message.sh

# A throwaway key: the vendor's own never enters the repository.
openssl genrsa -out "$out/key.pem" 2048 2>/dev/null || { echo "SKIPPED: no openssl"; exit 77; }
id=$(extension_id_of_key "$out/key.pem")
scripts/extension.sh --out "$out/chromium" --key "$out/key.pem" --update-url https://updates.example/ext \
  >/dev/null 2>&1 || fail "the Chromium build with a key"
[ "$(head -c 4 "$out/chromium/fileaccess.crx" 2>/dev/null)" = Cr24 ] || fail "no CRX was packed"
[ "$(od -An -tu4 -j4 -N4 "$out/chromium/fileaccess.crx" 2>/dev/null | tr -d ' ')" = 3 ] || fail "the CRX is not CRX3"
grep -q "appid='$id'" "$out/chromium/updates.xml" || fail "the update manifest does not name $id"
grep -q "codebase='https://updates.example/ext/fileaccess.crx'" "$out/chromium/updates.xml" ||
  fail "the update manifest's codebase"
grep -q "\"chrome-extension://$id/\"" "$out/chromium/com.dravenil.fileaccess.json" ||
  fail "the host manifest does not allow $id"
[ "$(extension_id "$out/chromium/extension/manifest.json")" = "$id" ] ||
  fail "the unpacked extension's key gives another id"
if grep -rq "DRAVENIL_ORIGINS\|127.0.0.1\|calls.example" "$out/chromium/extension"; then
  fail "an origin is built into the extension"
fi

scripts/extension.sh --browser firefox --out "$out/firefox" --update-url https://updates.example/ext \
  >/dev/null 2>&1 || fail "the Firefox build"
unzip -p "$out/firefox/fileaccess.xpi" manifest.json 2>/dev/null |
  grep -q '"update_url": "https://updates.example/ext/updates.json"' || fail "the .xpi's manifest"
grep -q '"update_link": "https://updates.example/ext/fileaccess.xpi"' "$out/firefox/updates.json" ||
  fail "updates.json"

# Without a key, the release id of extension/manifest.json.
scripts/extension.sh --out "$out/release" >/dev/null 2>&1 || fail "the build without a key"
grep -q "\"chrome-extension://$(extension_id)/\"" "$out/release/com.dravenil.fileaccess.json" ||
  fail "the release build's host manifest"
echo "not a key" > "$out/bad.pem"
if scripts/extension.sh --out "$out/bad" --key "$out/bad.pem" >/dev/null 2>&1; then
  fail "a file that is no key was taken"
fi
# The output holds only what is to be served and the two files for this
# machine, every one readable by a web server's user.
[ "$(ls -A "$out/chromium" | tr '\n' ' ')" = "com.dravenil.fileaccess.json extension fileaccess.crx npDravenilFileAccess.js npDravenilFileAccessHost.sh updates.xml " ] ||
  fail "the output holds more: $(ls -A "$out/chromium")"
if find "$out/chromium" ! -perm -o=r | grep -q .; then fail "not readable by others: $(find "$out/chromium" ! -perm -o=r)"; fi

# The host wrapper leads to a host that is there: an installed one runs in
# the Wine prefix it lies in; a missing one is refused.
installed="$out/prefix/drive_c/Program Files/Dravenil File Access Plugin/npDravenilFileAccessHost.exe"
mkdir -p "$(dirname "$installed")" && touch "$installed"
scripts/extension.sh --out "$out/installed" --host "$installed" >/dev/null 2>&1 || fail "a build for an installed host"
grep -qF "WINEPREFIX=\"$out/prefix\"" "$out/installed/npDravenilFileAccessHost.sh" &&
  grep -qF "exec wine \"$installed\"" "$out/installed/npDravenilFileAccessHost.sh" ||
  fail "the wrapper for an installed host: $(cat "$out/installed/npDravenilFileAccessHost.sh")"
if scripts/extension.sh --out "$out/nohost" --host "$out/missing.exe" >/dev/null 2>&1 ||
  [ -e "$out/nohost/npDravenilFileAccessHost.sh" ]; then
  fail "a wrapper for a host that is not there"
fi
# The wrapper runs its host in the prefix it was built for, whatever
# WINEPREFIX the browser passes on: a request is answered there, and the
# inherited prefix is never made.
if [ -x "$out/chromium/npDravenilFileAccessHost.sh" ]; then
  reply=$(host_answer '{"id":1,"method":"fileExists","args":["C:\\windows\\win.ini"]}' \
    env WINEPREFIX="$out/inherited" "$out/chromium/npDravenilFileAccessHost.sh")
  [ "$reply" = '{"id":1,"result":true}' ] || fail "the wrapper with another WINEPREFIX inherited answers '$reply'"
  [ ! -e "$out/inherited" ] || fail "the wrapper ran its host in the inherited WINEPREFIX"
fi
# Without a host, only the extension and its client.
scripts/extension.sh --no-host --out "$out/bare" >/dev/null 2>&1 || fail "the build without a host"
[ -f "$out/bare/npDravenilFileAccess.js" ] && [ ! -e "$out/bare/npDravenilFileAccessHost.sh" ] ||
  fail "--no-host wrote: $(ls "$out/bare")"
[ "$failed" = 0 ] && echo "extension build: one build, packed and signed with the key, its id allowed"
exit "$failed"
