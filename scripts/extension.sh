#!/usr/bin/env bash
# Writes the browser extension for the product's pages, and the host manifest
# through which the browser starts the native-messaging host:
#
#   scripts/extension.sh [--browser chromium|firefox] --allow ORIGIN [--allow ORIGIN ...] --out DIR
#
#   DIR/extension/                  the unpacked extension (for Chromium by
#                                   default, or Firefox); its content scripts
#                                   run only on the origins allowed
#   DIR/com.dravenil.fileaccess.json the host manifest, allowing only this
#                                   extension (its id is fixed by its key, or
#                                   the Firefox add-on id)
#   DIR/npDravenilFileAccessHost.sh  for Linux Chromium and the tests: runs the
#                                   host under Wine in the project's prefix
#
# An ORIGIN is exactly a scheme, host and optional port, such as
# https://calls.example or https://calls.example:8443; plain http only for
# this machine (localhost, 127.0.0.1, [::1]). Anything else is refused with
# the reason, and nothing is written.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
origins=()
out=""
browser=chromium
while [ $# -gt 0 ]; do
  case "$1" in
    --allow) origins+=("$2"); shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --browser) browser="$2"; shift 2 ;;
    *) echo "usage: scripts/extension.sh [--browser chromium|firefox] --allow ORIGIN [--allow ORIGIN ...] --out DIR" >&2; exit 2 ;;
  esac
done
if [ "$browser" != chromium ] && [ "$browser" != firefox ]; then
  echo "extension.sh: --browser is chromium or firefox, not '$browser'" >&2
  exit 2
fi
if [ ${#origins[@]} -eq 0 ] || [ -z "$out" ]; then
  echo "usage: scripts/extension.sh [--browser chromium|firefox] --allow ORIGIN [--allow ORIGIN ...] --out DIR" >&2
  exit 2
fi
# An origin is exactly scheme://host[:port]: https, or http for this machine
# alone (localhost, 127.0.0.1, [::1]); no wildcard, path or user info; a port
# within 1-65535, the scheme's default left out. Prints the origin in the form
# a browser reports it, or why it is refused.
normalise_origin() {
  local origin="$1" scheme rest host colon port
  if ! [[ "$origin" =~ ^([A-Za-z][A-Za-z0-9+.-]*)://(.*)$ ]]; then
    echo "is not scheme://host[:port]"; return 1
  fi
  scheme="${BASH_REMATCH[1],,}" rest="${BASH_REMATCH[2]}"
  if [ "$scheme" != https ] && [ "$scheme" != http ]; then
    echo "has the scheme $scheme; only https (or http for this machine) is allowed"; return 1
  fi
  case "$rest" in
    *'*'*) echo "holds a wildcard; name each origin exactly"; return 1 ;;
    *@*) echo "holds user info"; return 1 ;;
    */*|*'?'*|*'#'*) echo "holds a path, query or fragment; an origin ends after the host and port"; return 1 ;;
    '') echo "has no host"; return 1 ;;
  esac
  if [[ "$rest" =~ ^(\[[0-9A-Fa-f:.]+\])(:([0-9]*))?$ ]] || [[ "$rest" =~ ^([^:]+)(:([0-9]*))?$ ]]; then
    host="${BASH_REMATCH[1],,}" colon="${BASH_REMATCH[2]}" port="${BASH_REMATCH[3]}"
  else
    echo "has a port that is not a number"; return 1
  fi
  if [[ "$host" != \[* ]] &&
    ! [[ "$host" =~ ^([a-z0-9]([a-z0-9-]*[a-z0-9])?\.)*[a-z0-9]([a-z0-9-]*[a-z0-9])?$ ]]; then
    echo "has the host '$host', which is not a host name"; return 1
  fi
  if [ -n "$colon" ]; then
    if ! [[ "$port" =~ ^[0-9]{1,5}$ ]] || [ "$((10#$port))" -lt 1 ] || [ "$((10#$port))" -gt 65535 ]; then
      echo "has the port '$port', outside 1-65535"; return 1
    fi
    port=$((10#$port))
  fi
  if [ "$scheme" = http ] && [ "$host" != localhost ] && [ "$host" != 127.0.0.1 ] && [ "$host" != '[::1]' ]; then
    echo "uses http to another machine, whose pages anyone on the way could change; use https"; return 1
  fi
  if { [ "$scheme" = https ] && [ "$port" = 443 ]; } || { [ "$scheme" = http ] && [ "$port" = 80 ]; }; then
    port=""
  fi
  echo "$scheme://$host${port:+:$port}"
}
allowed=()
for origin in "${origins[@]}"; do
  if ! normalised=$(normalise_origin "$origin"); then
    echo "extension.sh: '$origin' $normalised. Nothing was written." >&2
    exit 2
  fi
  allowed+=("$normalised")
done
mkdir -p "$out/extension"
out=$(cd "$out" && pwd)

# The content scripts match every page of the allowed origins; the scripts
# themselves check the exact origin again, since a match pattern without a
# port matches every port (and Firefox ignores ports in patterns).
patterns=("${allowed[@]}")
if [ "$browser" = firefox ]; then
  # Firefox matches no pattern that names a port: its patterns name the
  # host alone, and the origin checks keep to the exact origins.
  mapfile -t patterns < <(printf '%s\n' "${allowed[@]}" | sed -E 's/:[0-9]+$//' | sort -u)
fi
matches=$(printf '"%s/*", ' "${patterns[@]}")
matches="${matches%, }"
for file in methods.js relay.js service_worker.js; do
  cp "extension/$file" "$out/extension/$file"
done
{
  echo "// The exact origins whose pages get the methods; written by extension.sh."
  printf 'const DRAVENIL_ORIGINS = Object.freeze([%s]);\n' "$(printf '"%s", ' "${allowed[@]}" | sed 's/, $//')"
} > "$out/extension/origins.js"
# The page's world gets one script whose names are all its own: nothing but
# window.DravenilFileAccess, and that only on an allowed origin.
{
  echo "// Written by extension.sh from origins.js, methods.js, the result parser and page_api.js."
  echo "(() => {"
  cat "$out/extension/origins.js" extension/methods.js types/npDravenilFileAccessParse.js extension/page_api.js
  echo "})();"
} > "$out/extension/page.js"
# One source, two builds: Firefox takes a fixed add-on id and background
# scripts where Chromium takes a service worker and the key.
if [ "$browser" = firefox ]; then
  sed -e "s|\"ORIGINS\"|$matches|g" \
      -e '/"key":/d' \
      -e "s|\"background\": { \"service_worker\": \"service_worker.js\" },|\"background\": { \"scripts\": [\"origins.js\", \"methods.js\", \"service_worker.js\"] },\n  \"host_permissions\": [$matches],\n  \"browser_specific_settings\": { \"gecko\": { \"id\": \"$(sed -n 's/^#define FIREFOX_ADDON_ID "\(.*\)"$/\1/p' shell/identity.h)\" } },|" \
      extension/manifest.json > "$out/extension/manifest.json"
else
  sed "s|\"ORIGINS\"|$matches|g" extension/manifest.json > "$out/extension/manifest.json"
fi

source scripts/host_manifest.sh
host="$root/build/windows/bin/npDravenilFileAccessHost.exe"
cat > "$out/npDravenilFileAccessHost.sh" <<WRAPPER
#!/bin/sh
# The native-messaging host under Wine, in the project's own prefix.
export WINEPREFIX="\${WINEPREFIX:-$WINEPREFIX}" WINEDEBUG=-all
exec wine "$host" 2>/dev/null
WRAPPER
chmod +x "$out/npDravenilFileAccessHost.sh"
write_host_manifest "$browser" "$out/npDravenilFileAccessHost.sh" "$out/$(identity HOST_NAME).json"
if [ "$browser" = firefox ]; then
  echo "$out/extension (add-on $(identity FIREFOX_ADDON_ID)) and $out/$(identity HOST_NAME).json"
else
  echo "$out/extension (id $(extension_id)) and $out/$(identity HOST_NAME).json"
fi
