#!/usr/bin/env bash
# Makes a release of the current commit, in one folder:
# build/release-<version>/ (or --out FOLDER), holding
#
#   npDravenilFileAccessPlugin-<version>.msi       the 32-bit package
#   npDravenilFileAccessPlugin-<version>-x64.msi   the 64-bit package
#   npDravenilFileAccessPlugin[-x64].dll.debug     the modules' symbols
#   fileaccess-chromium-<version>.zip              the extension for Chromium,
#   fileaccess-firefox-<version>.zip               and for Firefox, unpacked;
#   fileaccess.crx, fileaccess.xpi, updates.xml,   packed, with their update
#   updates.json                                   manifests, given a key
#   npDravenilFileAccess.js                        the client for page authors
#   windows-kit.zip                                the test kit for Windows
#   sbom.spdx.json                                 what went into each binary
#   RELEASE-NOTES.txt                              what this is, and whether
#                                                  and how it is signed
#   SHA256SUMS                                     every file's checksum
#
#   scripts/release.sh [--out FOLDER]
#       [--pfx CERT.pfx (--password-file FILE | --password-env NAME)]
#       [--pkcs11-module MODULE.so --key PKCS11-URI --cert CERT.pem
#        [--pkcs11-engine ENGINE.so]]
#       [--timestamp URL]
#       [--extension-key KEY.pem --update-url BASE-URL]
#
# With a certificate every PE file the packages ship (module, host, installer
# checks) is signed before it is packed, then each package (Authenticode,
# SHA-256, by osslsigncode; see scripts/sign.sh). Without one the release is
# made all the same and says, here and in its notes, that it is unsigned.
# The key stays where it is: nothing of it is copied into the release.
#
# Builds are reproducible: the same commit gives byte-identical modules,
# hosts and installer checks from any folder at any time (time stamps from
# the commit, no build paths). The packages differ only where Windows
# Installer wants new values (see the README).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
out=""
extension_key=""
update_url=""
usage="usage: scripts/release.sh [--out FOLDER] [--pfx CERT.pfx (--password-file FILE | --password-env NAME)] [--pkcs11-module MODULE --key URI --cert CERT.pem [--pkcs11-engine ENGINE]] [--timestamp URL] [--extension-key KEY.pem --update-url BASE-URL]"
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="$2"; shift 2 ;;
    --pfx) export SIGN_PFX="$(realpath "$2")"; shift 2 ;;
    --password-file) export SIGN_PASSWORD_FILE="$(realpath "$2")"; shift 2 ;;
    --password-env) export SIGN_PASSWORD_ENV="$2"; export "${2?}"; shift 2 ;;
    --pkcs11-module) export SIGN_PKCS11_MODULE="$2"; shift 2 ;;
    --pkcs11-engine) export SIGN_PKCS11_ENGINE="$2"; shift 2 ;;
    --key) export SIGN_KEY="$2"; shift 2 ;;
    --cert) export SIGN_CERT="$(realpath "$2")"; shift 2 ;;
    --timestamp) export SIGN_TIMESTAMP_URL="$2"; shift 2 ;;
    --extension-key) extension_key="$(realpath "$2")"; shift 2 ;;
    --update-url) update_url="$2"; shift 2 ;;
    -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
signed=no
[ -n "${SIGN_PFX:-}${SIGN_PKCS11_MODULE:-}" ] && signed=yes
version=$(sed -n "s/^#define PLUGIN_VERSION_NUMBERS //p" shell/identity.h | sed "s/, */./g")
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
out="${out:-build/release-$version}"
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
step() { echo "release.sh: $*" >&2; }

step "packages (32-bit and 64-bit)"
for arch in x86 x64; do
  scripts/package.sh --arch "$arch" --output "$out" ${extension_key:+--extension-key "$extension_key"} >/dev/null
done

step "the extension for Chromium and Firefox"
# A zip whose entries, order and times depend on nothing but their content.
pack() {
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$1" && find . -type f | LC_ALL=C sort | sed 's|^\./||' | zip -qX -@ "$2")
}
for browser in chromium firefox; do
  scripts/extension.sh --browser "$browser" --out "$work/$browser" \
    ${extension_key:+--key "$extension_key"} ${update_url:+--update-url "$update_url"} >/dev/null
  pack "$work/$browser/extension" "$out/fileaccess-$browser-$version.zip"
  for packed in fileaccess.crx updates.xml fileaccess.xpi updates.json; do
    if [ -f "$work/$browser/$packed" ]; then cp "$work/$browser/$packed" "$out/$packed"; fi
  done
done
cp "$work/chromium/npDravenilFileAccess.js" "$out/npDravenilFileAccess.js"

step "the Windows test kit"
scripts/windows-kit.sh --out "$work/kit" >/dev/null
cp "$work/kit/windows-kit.zip" "$out/windows-kit.zip"

step "checking what the packages ship"
for package in "$out"/*.msi; do
  unpack_package "$package" "$work/unpacked/$(basename "$package")"
done
mapfile -t shipped < <(find "$work/unpacked" -type f \( -name '*.dll' -o -name '*.exe' \) | LC_ALL=C sort)
python3 tests/shipped_files_test.py --stripped "${shipped[@]}" >&2
if [ "$signed" = yes ]; then
  for file in "${shipped[@]}" "$out"/*.msi; do
    osslsigncode extract-signature -in "$file" -out "$work/signature" >/dev/null 2>&1 ||
      { echo "release.sh: $file carries no signature" >&2; exit 1; }
    rm -f "$work/signature"
  done
fi

step "bill of materials, notes and checksums"
python3 scripts/sbom.py --version "$version" --commit "$commit" --epoch "$SOURCE_DATE_EPOCH" \
  "${shipped[@]}" > "$out/sbom.spdx.json"
{
  echo "Dravenil File Access Plugin $version"
  echo "Commit $commit, of $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)."
  echo
  if [ "$signed" = yes ]; then
    echo "Signed: every PE file the packages ship, and both packages, carry an Authenticode"
    echo "signature (SHA-256). Check one on Windows with Properties > Digital Signatures,"
    echo "or with: osslsigncode verify -in FILE"
  else
    echo "UNSIGNED: no file of this release carries a signature. Do not deploy it where"
    echo "application control or endpoint protection expects signed files."
  fi
  echo
  echo "Check the files against SHA256SUMS: sha256sum -c SHA256SUMS"
  echo "What each binary holds, with the versions the build used: sbom.spdx.json (SPDX 2.3)."
  echo "Rebuilding commit $commit with scripts/release.sh gives the same modules, hosts and"
  echo "installer checks, byte for byte."
  echo
  echo "Files:"
  (cd "$out" && LC_ALL=C ls | sed 's/^/  /')
} > "$out/RELEASE-NOTES.txt"
(cd "$out" && LC_ALL=C ls | grep -v '^SHA256SUMS$' | xargs -d '\n' sha256sum > SHA256SUMS)
if [ "$signed" = no ]; then
  echo "release.sh: this release is UNSIGNED (no --pfx or --pkcs11-module was given)" >&2
fi
echo "$out"
