#!/usr/bin/env bash
# Writes the browser extension for the product's pages, and the host manifest
# through which the browser starts the native-messaging host:
#
#   scripts/extension.sh --allow ORIGIN [--allow ORIGIN ...] --out DIR
#
#   DIR/extension/                  the unpacked extension; its content scripts
#                                   run only on the origins allowed
#   DIR/com.dravenil.fileaccess.json the host manifest, allowing only this
#                                   extension (its id is fixed by its key)
#   DIR/npDravenilFileAccessHost.sh  for Linux Chromium and the tests: runs the
#                                   host under Wine in the project's prefix
#
# An ORIGIN is a scheme, host and optional port, such as https://calls.example.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
origins=()
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --allow) origins+=("$2"); shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: scripts/extension.sh --allow ORIGIN [--allow ORIGIN ...] --out DIR" >&2; exit 2 ;;
  esac
done
if [ ${#origins[@]} -eq 0 ] || [ -z "$out" ]; then
  echo "usage: scripts/extension.sh --allow ORIGIN [--allow ORIGIN ...] --out DIR" >&2
  exit 2
fi
for origin in "${origins[@]}"; do
  if ! [[ "$origin" =~ ^https?://[A-Za-z0-9.*-]+(:[0-9]+)?$ ]]; then
    echo "extension.sh: '$origin' is not an origin such as https://calls.example" >&2
    exit 2
  fi
done
mkdir -p "$out/extension"
out=$(cd "$out" && pwd)

# The content scripts match every page of the allowed origins.
matches=$(printf '"%s/*", ' "${origins[@]}")
matches="${matches%, }"
for file in methods.js page_api.js relay.js service_worker.js; do
  cp "extension/$file" "$out/extension/$file"
done
sed "s|\"ORIGINS\"|$matches|g" extension/manifest.json > "$out/extension/manifest.json"

# The id a browser gives the extension: from its public key.
key=$(sed -n 's/.*"key": "\([^"]*\)".*/\1/p' extension/manifest.json)
id=$(printf '%s' "$key" | base64 -d | sha256sum | head -c 32 | tr 0-9a-f a-p)

host="$root/build/windows/bin/npDravenilFileAccessHost.exe"
cat > "$out/npDravenilFileAccessHost.sh" <<WRAPPER
#!/bin/sh
# The native-messaging host under Wine, in the project's own prefix.
export WINEPREFIX="\${WINEPREFIX:-$WINEPREFIX}" WINEDEBUG=-all
exec wine "$host" 2>/dev/null
WRAPPER
chmod +x "$out/npDravenilFileAccessHost.sh"
cat > "$out/com.dravenil.fileaccess.json" <<MANIFEST
{
  "name": "com.dravenil.fileaccess",
  "description": "Dravenil File Access Plugin, for current browsers",
  "path": "$out/npDravenilFileAccessHost.sh",
  "type": "stdio",
  "allowed_origins": ["chrome-extension://$id/"]
}
MANIFEST
echo "$out/extension (id $id) and $out/com.dravenil.fileaccess.json"
