#!/usr/bin/env bash
# Builds the Windows Installer package of the plug-in with wixl:
# build/package/npDravenilFileAccessPlugin-<version>.msi, holding the
# optimised module without debug information and the native-messaging host
# with its manifests for current browsers, and beside it the module's
# symbols (npDravenilFileAccessPlugin.dll.debug) for crash analysis.
#
#   scripts/package.sh [--version X.Y.Z.W] [--output FOLDER] [--extension-key KEY.pem]
#
# The version comes from shell/identity.h; --version exists for testing
# upgrades only. The host manifest for Chromium-family browsers allows the
# release extension (the id of the public key in extension/manifest.json),
# or the one signed with KEY.pem.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
version=""
output="build/package"
extension_key=""
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version="$2"; shift 2 ;;
    --output) output="$2"; shift 2 ;;
    --extension-key) extension_key="$2"; shift 2 ;;
    *) echo "usage: scripts/package.sh [--version X.Y.Z.W] [--output FOLDER] [--extension-key KEY.pem]" >&2; exit 2 ;;
  esac
done
command -v wixl >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wixl msitools
}
scripts/ensure-tools.sh
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release >/dev/null

source scripts/host_manifest.sh
if [ -z "$version" ]; then
  version=$(sed -n 's/^#define PLUGIN_VERSION_NUMBERS //p' shell/identity.h | sed 's/, */./g')
fi
# Windows Installer compares only the first three fields of a version when it
# looks for older products: the package's version is
# major.minor.(build * 1000 + revision) of the module's four, so that every
# later build, even one differing only in the fourth number, upgrades.
IFS=. read -r major minor build revision <<<"$version"
if ! [[ "$major.$minor.$build.$revision" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
  [ "$major" -gt 255 ] || [ "$minor" -gt 255 ] || [ "$build" -gt 64 ] || [ "$revision" -gt 999 ]; then
  echo "package.sh: the version $version is not major.minor.build.revision with build <= 64 and revision <= 999" >&2
  exit 2
fi
package_version="$major.$minor.$((build * 1000 + revision))"
# A product code of its own for each version, the same every time it is built.
hash=$(printf 'npDravenilFileAccessPlugin %s' "$version" | md5sum | tr a-f A-F)
product_code="${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}"

mkdir -p "$output"
# wixl takes the module's path relative to the working folder.
staging="build/package-staging.$$"
rm -rf "$staging"
mkdir -p "$staging"
trap 'rm -rf "$staging"' EXIT
module=build/windows-release/bin/npDravenilFileAccessPlugin.dll
i686-w64-mingw32-objcopy --only-keep-debug "$module" "$output/npDravenilFileAccessPlugin.dll.debug"
i686-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$output/npDravenilFileAccessPlugin.dll.debug" \
  "$module" "$staging/npDravenilFileAccessPlugin.dll"

# The native-messaging host beside the module, and its two manifests beside
# it; their paths are relative, so they name the installed host wherever it
# goes.
i686-w64-mingw32-objcopy --strip-all build/windows-release/bin/npDravenilFileAccessHost.exe \
  "$staging/npDravenilFileAccessHost.exe"
i686-w64-mingw32-objcopy --strip-all build/windows-release/bin/npDravenilFileAccessSetup.dll \
  "$staging/npDravenilFileAccessSetup.dll"
if [ -n "$extension_key" ]; then
  extension=$(extension_id_of_key "$extension_key")
  [ -n "$extension" ] || { echo "package.sh: $extension_key is not an RSA private key" >&2; exit 2; }
  write_host_manifest chromium npDravenilFileAccessHost.exe "$staging/chromium.json" --id "$extension"
else
  write_host_manifest chromium npDravenilFileAccessHost.exe "$staging/chromium.json"
fi
write_host_manifest firefox npDravenilFileAccessHost.exe "$staging/firefox.json"

package="$output/npDravenilFileAccessPlugin-$version.msi"
wixl --arch x86 -o "$package" \
  -D ProductCode="$product_code" -D Version="$package_version" -D ModuleVersion="$version" \
  -D ProductName="$(identity PLUGIN_PRODUCT_NAME)" -D Vendor="$(identity PLUGIN_VENDOR)" \
  -D RegistryId="$(identity PLUGIN_REGISTRY_ID)" -D MimeType="$(identity PLUGIN_MIME_TYPE)" \
  -D Extension="$(identity PLUGIN_FILE_EXTENSION)" \
  -D ModulePath="$staging/npDravenilFileAccessPlugin.dll" \
  -D HostPath="$staging/npDravenilFileAccessHost.exe" -D HostName="$(identity HOST_NAME)" \
  -D ChromiumManifestPath="$staging/chromium.json" -D FirefoxManifestPath="$staging/firefox.json" \
  -D SetupActionsPath="$staging/npDravenilFileAccessSetup.dll" \
  installer/npDravenilFileAccessPlugin.wxs
# wixl writes no component conditions: the origin policy's component is
# installed only when there is a policy to write (ALLOWEDORIGINS given, or
# kept from the version installed before).
msiinfo export "$package" Component |
  awk -F'\t' 'BEGIN { OFS = "\t" } $1 == "OriginPolicy" { $5 = "ALLOWEDORIGINS" } { print }' \
  > "$staging/Component.idt"
grep -q $'^OriginPolicy\t.*\tALLOWEDORIGINS\t' "$staging/Component.idt" ||
  { echo "package.sh: the origin policy's component has no condition" >&2; exit 1; }
msibuild "$package" -i "$staging/Component.idt"
# Nor does it list the policy's properties as secure: an elevated install
# passes only secure public properties on to where the work is done.
msiinfo export "$package" Property |
  awk -F'\t' 'BEGIN { OFS = "\t" } $1 == "SecureCustomProperties" { sub(/\r$/, "", $2); $2 = $2 ";ALLOWEDORIGINS;KEPTORIGINS\r" } { print }' \
  > "$staging/Property.idt"
msibuild "$package" -i "$staging/Property.idt"
echo "$package ($(du -k "$staging/npDravenilFileAccessPlugin.dll" | cut -f1) KiB module)"
