#!/usr/bin/env bash
# scripts/extension.sh takes only exact origins: each refused one is refused
# with its reason and nothing written; accepted ones reach the extension in
# the form a browser reports them.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
out=$(mktemp -d "${TMPDIR:-/tmp}/extension-origins.XXXXXX")
trap 'rm -rf "$out"' EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

refused=(
  'http://*|wildcard' 'https://calls.*|wildcard' 'https://*.example|wildcard'
  'https://calls.example:99999|outside 1-65535' 'https://calls.example:0|outside 1-65535'
  'http://calls.example|use https' 'http://10.0.0.5:8080|use https'
  'https://calls.example/app|path' 'https://calls.example/|path' 'https://user@calls.example|user info'
  'ftp://calls.example|scheme' 'calls.example|scheme://host' 'https://calls_example|host name'
  'https://calls.example:80x|not a number'
)
for case in "${refused[@]}"; do
  origin="${case%|*}" reason="${case#*|}"
  message=$(scripts/extension.sh --allow https://good.example --allow "$origin" --out "$out/refused" 2>&1 >/dev/null)
  status=$?
  [ "$status" = 2 ] || fail "$origin: exit $status"
  [[ "$message" == *"$reason"* ]] || fail "$origin: the message does not say why: $message"
  [ ! -e "$out/refused" ] || fail "$origin: something was written"
done

scripts/extension.sh --allow HTTPS://Calls.Example:443 --allow https://calls.example:8443 \
  --allow 'http://[::1]:80' --allow http://localhost:3000 --out "$out/built" >/dev/null 2>&1 ||
  fail "exact origins refused"
expected='const DRAVENIL_ORIGINS = Object.freeze(["https://calls.example", "https://calls.example:8443", "http://[::1]", "http://localhost:3000"]);'
grep -qxF "$expected" "$out/built/extension/origins.js" || fail "origins written: $(cat "$out/built/extension/origins.js" 2>/dev/null)"
grep -q '"https://calls.example:8443/\*"' "$out/built/extension/manifest.json" || fail "match patterns"
[ "$failed" = 0 ] && echo "extension origins: refused with reasons, exact ones normalised"
exit "$failed"
