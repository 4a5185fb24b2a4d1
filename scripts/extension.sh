#!/usr/bin/env bash
# Builds the browser extension for the product's pages, one build for every
# organisation: which pages it serves comes at run time from the machine's
# origin policy, through the native-messaging host.
#
#   scripts/extension.sh [--browser chromium|firefox] --out DIR
#                        [--key KEY.pem] [--update-url BASE-URL] [--host EXE]
#
#   DIR/extension/                   the unpacked extension (for Chromium by
#                                    default, or Firefox)
#   DIR/com.dravenil.fileaccess.json the host manifest, allowing only this
#                                    extension (its id follows from the key,
#                                    or is the Firefox add-on id)
#   DIR/npDravenilFileAccessHost.sh  for Linux browsers and the tests: runs
#                                    the host under Wine: the build's, in the
#                                    project's prefix, or with --host an
#                                    installed one (the Unix path of
#                                    npDravenilFileAccessHost.exe), in the Wine
#                                    prefix it lies in, whatever WINEPREFIX
#                                    the browser's environment holds
#
# --no-host writes the extension and the client alone (no wrapper, no host
# manifest), where no host is built, as for the client's own checks.
#
# Everything in DIR is readable by every user (a web server's among them),
# and nothing else is left there.
#
# With --key (the vendor's private key, kept outside the repository; the
# release id follows from it), the Chromium build is also packed:
# DIR/fileaccess.crx, signed with the key, and DIR/updates.xml, the update
# manifest naming BASE-URL/fileaccess.crx. The Firefox build is packed as
# DIR/fileaccess.xpi with DIR/updates.json naming BASE-URL/fileaccess.xpi.
# Without --key the Chromium id is the one of the public key in
# extension/manifest.json.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
out=""
browser=chromium
key=""
update_url=""
usage="usage: scripts/extension.sh [--browser chromium|firefox] --out DIR [--key KEY.pem] [--update-url BASE-URL] [--host EXE]"
host="$root/build/windows/bin/npDravenilFileAccessHost.exe"
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="$2"; shift 2 ;;
    --browser) browser="$2"; shift 2 ;;
    --key) key="$2"; shift 2 ;;
    --update-url) update_url="${2%/}"; shift 2 ;;
    --host) host="$2"; shift 2 ;;
    --no-host) host=""; shift ;;
    -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
if [ "$browser" != chromium ] && [ "$browser" != firefox ]; then
  echo "extension.sh: --browser is chromium or firefox, not '$browser'" >&2
  exit 2
fi
[ -n "$out" ] || { echo "$usage" >&2; exit 2; }
# The wrapper must lead to a host that is there.
if [ -n "$host" ] && [ ! -f "$host" ]; then
  echo "extension.sh: there is no host at $host: build it (cmake --build --preset windows), or name an installed one with --host" >&2
  exit 2
fi
[ -z "$host" ] || host=$(cd "$(dirname "$host")" && pwd)/$(basename "$host")
# An installed host runs in the Wine prefix it was installed in.
host_prefix="$WINEPREFIX"
case "$host" in */drive_c/*) host_prefix="${host%%/drive_c/*}" ;; esac
if [ -n "$key" ] && ! public_key=$(openssl rsa -in "$key" -pubout -outform DER 2>/dev/null | base64 -w0); then
  echo "extension.sh: $key is not an RSA private key in PEM form" >&2
  exit 2
fi
rm -rf "$out/extension"
mkdir -p "$out/extension"
out=$(cd "$out" && pwd)

for file in methods.js relay.js service_worker.js status.html status.js; do
  cp "extension/$file" "$out/extension/$file"
done
# The client: one script whose names are all its own, nothing but
# window.DravenilFileAccess. The extension puts it into the pages it serves;
# page authors include the copy beside the extension.
{
  echo "// npDravenilFileAccess.js: window.DravenilFileAccess on the extension's route or the"
  echo "// plug-in's. Written by extension.sh from methods.js, the result parser and client.js."
  echo "(() => {"
  cat extension/methods.js extension/npDravenilFileAccessParse.js extension/client.js
  echo "})();"
} > "$out/extension/npDravenilFileAccess.js"
cp "$out/extension/npDravenilFileAccess.js" "$out/npDravenilFileAccess.js"
version=$(sed -n 's/^#define PLUGIN_VERSION_NUMBERS //p' shell/identity.h | sed 's/, */./g')
# One source, two builds: Firefox takes a fixed add-on id and background
# scripts where Chromium takes a service worker and the key.
if [ "$browser" = firefox ]; then
  gecko="\"id\": \"$(sed -n 's/^#define FIREFOX_ADDON_ID "\(.*\)"$/\1/p' shell/identity.h)\""
  # Firefox takes an add-on's update location over https only (an http one
  # makes the add-on incompatible): a local one for trying out is left out.
  case "$update_url" in
    https://*) gecko="$gecko, \"update_url\": \"$update_url/updates.json\"" ;;
  esac
  sed -e '/"key":/d' \
      -e "s|\"version\": \"[^\"]*\"|\"version\": \"$version\"|" \
      -e "s|\"background\": { \"service_worker\": \"service_worker.js\" }|\"background\": { \"scripts\": [\"methods.js\", \"service_worker.js\"] },\n  \"browser_specific_settings\": { \"gecko\": { $gecko } },\n  \"web_accessible_resources\": [{ \"resources\": [\"status.html\"], \"matches\": [\"<all_urls>\"] }]|" \
      extension/manifest.json > "$out/extension/manifest.json"
else
  sed -e "s|\"version\": \"[^\"]*\"|\"version\": \"$version\"|" \
      ${key:+-e "s|\"key\": \"[^\"]*\"|\"key\": \"$public_key\"|"} \
      extension/manifest.json > "$out/extension/manifest.json"
fi

source scripts/host_manifest.sh
if [ -z "$host" ]; then
  echo "$out/extension, without a host"
  exit 0
fi
# The prefix is fixed here: a WINEPREFIX the browser inherits (one a user
# exported for the tests, say) would run the host where no policy is set.
cat > "$out/npDravenilFileAccessHost.sh" <<WRAPPER
#!/bin/sh
# The native-messaging host under Wine, in the prefix that holds it.
export WINEPREFIX="$host_prefix" WINEDEBUG=-all
exec wine "$host" 2>/dev/null
WRAPPER
chmod +x "$out/npDravenilFileAccessHost.sh"
write_host_manifest "$browser" "$out/npDravenilFileAccessHost.sh" "$out/$(identity HOST_NAME).json" \
  "$out/extension/manifest.json"
if [ "$browser" = firefox ]; then
  if [ -n "$update_url" ]; then
    rm -f "$out/fileaccess.xpi"
    (cd "$out/extension" && zip -qrX "$out/fileaccess.xpi" .)
    cat > "$out/updates.json" <<UPDATES
{ "addons": { "$(identity FIREFOX_ADDON_ID)": { "updates": [
  { "version": "$version", "update_link": "$update_url/fileaccess.xpi" } ] } } }
UPDATES
  fi
  echo "$out/extension (add-on $(identity FIREFOX_ADDON_ID)) and $out/$(identity HOST_NAME).json"
else
  id=$(extension_id "$out/extension/manifest.json")
  if [ -n "$key" ]; then
    rm -f "$out/extension.crx" "$out/fileaccess.crx"
    # Chromium packs and signs a CRX3 beside the folder, and exits.
    chromium_binary=/usr/lib/chromium/chromium
    [ -x "$chromium_binary" ] || chromium_binary=chromium
    # Its profile lies outside DIR, which holds only what is to be served.
    profile=$(mktemp -d)
    trap 'rm -rf "$profile"' EXIT
    "$chromium_binary" --no-sandbox --headless=new --disable-gpu --no-first-run \
      --user-data-dir="$profile" --pack-extension="$out/extension" \
      --pack-extension-key="$(cd "$(dirname "$key")" && pwd)/$(basename "$key")" >/dev/null 2>&1 || true
    [ -f "$out/extension.crx" ] || { echo "extension.sh: Chromium did not pack the extension" >&2; exit 1; }
    mv "$out/extension.crx" "$out/fileaccess.crx"
    cat > "$out/updates.xml" <<UPDATES
<?xml version='1.0' encoding='UTF-8'?>
<gupdate xmlns='http://www.google.com/update2/response' protocol='2.0'>
  <app appid='$id'>
    <updatecheck codebase='${update_url:-.}/fileaccess.crx' version='$version' />
  </app>
</gupdate>
UPDATES
  fi
  echo "$out/extension (id $id) and $out/$(identity HOST_NAME).json"
fi
chmod -R a+rX "$out"
