# The native-messaging host's manifests, shared by extension.sh and
# package.sh: one for the Chromium family, naming the extension's fixed id,
# and one for Firefox, naming the add-on id. Sourced; needs $root.

identity() { sed -n "s/^#define $1 \"\\(.*\\)\"\$/\\1/p" "$root/shell/identity.h"; }

# The id a Chromium-family browser gives the extension: from the public key in
# its manifest (the release one in extension/manifest.json by default).
extension_id() {
  local manifest="${1:-$root/extension/manifest.json}" key
  key=$(sed -n 's/.*"key": "\([^"]*\)".*/\1/p' "$manifest")
  printf '%s' "$key" | base64 -d | sha256sum | head -c 32 | tr 0-9a-f a-p
}

# The id of the extension whose private key is KEY.pem.
extension_id_of_key() {
  openssl rsa -in "$1" -pubout -outform DER 2>/dev/null | sha256sum | head -c 32 | tr 0-9a-f a-p
}

# write_host_manifest chromium|firefox HOST-PATH FILE [MANIFEST | --id ID]:
# HOST-PATH as the host manifest's path (relative paths are read from the
# manifest's folder); the Chromium extension allowed is the one of MANIFEST
# (the release one by default), or ID.
write_host_manifest() {
  local browser="$1" host="${2//\\/\\\\}" file="$3" allowed id
  if [ "${4:-}" = --id ]; then id="$5"; else id=$(extension_id "${4:-}"); fi
  if [ "$browser" = firefox ]; then
    allowed="\"allowed_extensions\": [\"$(identity FIREFOX_ADDON_ID)\"]"
  else
    allowed="\"allowed_origins\": [\"chrome-extension://$id/\"]"
  fi
  cat > "$file" <<MANIFEST
{
  "name": "$(identity HOST_NAME)",
  "description": "Dravenil File Access Plugin, for current browsers",
  "path": "$host",
  "type": "stdio",
  $allowed
}
MANIFEST
}
