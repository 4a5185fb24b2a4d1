# The native-messaging host's manifests, shared by extension.sh and
# package.sh: one for the Chromium family, naming the extension's fixed id,
# and one for Firefox, naming the add-on id. Sourced; needs $root.

identity() { sed -n "s/^#define $1 \"\\(.*\\)\"\$/\\1/p" "$root/shell/identity.h"; }

# The id a Chromium-family browser gives the extension: from its public key.
extension_id() {
  local key
  key=$(sed -n 's/.*"key": "\([^"]*\)".*/\1/p' "$root/extension/manifest.json")
  printf '%s' "$key" | base64 -d | sha256sum | head -c 32 | tr 0-9a-f a-p
}

# write_host_manifest chromium|firefox HOST-PATH FILE: HOST-PATH as the host
# manifest's path (relative paths are read from the manifest's folder).
write_host_manifest() {
  local browser="$1" host="${2//\\/\\\\}" file="$3" allowed
  if [ "$browser" = firefox ]; then
    allowed="\"allowed_extensions\": [\"$(identity FIREFOX_ADDON_ID)\"]"
  else
    allowed="\"allowed_origins\": [\"chrome-extension://$(extension_id)/\"]"
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
