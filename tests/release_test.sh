#!/usr/bin/env bash
# The release as an organisation receives it: made by scripts/release.sh
# with a throwaway certificate, every PE file the packages ship and both
# packages verify against that certificate, a changed byte fails the
# verification, the checksums and the bill of materials match the files;
# and made without a certificate, it says plainly that it is unsigned.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
command -v osslsigncode >/dev/null || { echo "SKIPPED: no osslsigncode here"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# The throwaway certificate: its own root, so that verification can name it.
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Throwaway release test" -days 2 \
  -keyout "$scratch/key.pem" -out "$scratch/cert.pem" 2>/dev/null
printf 'a password\n' > "$scratch/password"
openssl pkcs12 -export -inkey "$scratch/key.pem" -in "$scratch/cert.pem" -out "$scratch/cert.pfx" \
  -passout file:"$scratch/password"
export RELEASE_PASSWORD="a password"
scripts/release.sh --out "$scratch/signed" --pfx "$scratch/cert.pfx" --password-env RELEASE_PASSWORD \
  > "$scratch/signed.log" 2>&1 || fail "the signed release: $(tail -5 "$scratch/signed.log")"
grep -q UNSIGNED "$scratch/signed.log" "$scratch/signed/RELEASE-NOTES.txt" && fail "a signed release calls itself unsigned"
verify() { osslsigncode verify -CAfile "$scratch/cert.pem" -in "$1" >/dev/null 2>&1; }
checked=0
for package in "$scratch/signed"/*.msi; do
  verify "$package" || fail "$(basename "$package") does not verify"
  unpack_package "$package" "$scratch/unpacked/$(basename "$package")"
  checked=$((checked + 1))
done
while IFS= read -r -d '' file; do
  verify "$file" || fail "$file, shipped in a package, does not verify"
  checked=$((checked + 1))
done < <(find "$scratch/unpacked" -type f \( -name '*.dll' -o -name '*.exe' \) -print0)
[ "$checked" -eq 8 ] || fail "$checked files verified, where two packages of three PE files each are due"
# A changed byte, past the headers, fails.
for file in "$scratch/signed/npDravenilFileAccessPlugin-"*"-x64.msi" \
            "$(find "$scratch/unpacked" -name npDravenilFileAccessPlugin.dll | head -1)"; do
  cp "$file" "$scratch/tampered"
  python3 -c 'import sys; p = sys.argv[1]; d = bytearray(open(p, "rb").read()); d[len(d) // 3] ^= 1; open(p, "wb").write(d)' \
    "$scratch/tampered"
  if verify "$scratch/tampered"; then fail "a changed byte in $(basename "$file") still verifies"; fi
done
(cd "$scratch/signed" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
python3 - "$scratch/signed/sbom.spdx.json" "$scratch/unpacked" <<'PY' || fail "the bill of materials"
import hashlib, json, os, sys
document = json.load(open(sys.argv[1]))
assert document["spdxVersion"] == "SPDX-2.3", document["spdxVersion"]
sums = {p["checksums"][0]["checksumValue"] for p in document["packages"] if "checksums" in p}
for folder, _, names in os.walk(sys.argv[2]):
    for name in names:
        if name.endswith((".dll", ".exe")):
            digest = hashlib.sha256(open(os.path.join(folder, name), "rb").read()).hexdigest()
            assert digest in sums, f"{name} is not in the bill of materials"
links = [r for r in document["relationships"] if r["relationshipType"] == "STATIC_LINK"]
assert len(links) == 2 * 6, f"{len(links)} static links"
assert all(p["versionInfo"] != "unknown" for p in document["packages"]), "a component without its version"
PY
# Without a certificate: made, and plainly unsigned.
scripts/release.sh --out "$scratch/unsigned" > "$scratch/unsigned.log" 2>&1 ||
  fail "the unsigned release: $(tail -5 "$scratch/unsigned.log")"
grep -q "this release is UNSIGNED" "$scratch/unsigned.log" || fail "the unsigned release does not say so"
grep -q "^UNSIGNED" "$scratch/unsigned/RELEASE-NOTES.txt" || fail "the unsigned release's notes do not say so"
# Two releases of one commit hold the same extension, entry for entry.
for browser in chromium firefox; do
  cmp -s "$scratch/signed/fileaccess-$browser-"*.zip "$scratch/unsigned/fileaccess-$browser-"*.zip ||
    fail "the $browser extension differs between two releases of one commit"
done
if verify "$(ls "$scratch/unsigned"/*.msi | head -1)"; then fail "an unsigned package verifies"; fi
echo "release: $checked signed files verify against the throwaway certificate, a changed byte fails, an unsigned release says so"
