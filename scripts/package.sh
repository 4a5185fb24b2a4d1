#!/usr/bin/env bash
# Builds the Windows Installer package of the plug-in with wixl:
# build/package/npDravenilFileAccessPlugin-<version>.msi (32-bit), or with
# --arch x64 npDravenilFileAccessPlugin-<version>-x64.msi (64-bit), holding
# the optimised module without debug information and the native-messaging
# host with its manifests for current browsers, and beside it the module's
# symbols (npDravenilFileAccessPlugin[-x64].dll.debug) for crash analysis.
# The two packages install side by side, each in its own Program Files folder
# and registry view.
#
#   scripts/package.sh [--arch x86|x64] [--version X.Y.Z.W] [--output FOLDER]
#                      [--extension-key KEY.pem]
#
# The version comes from shell/identity.h; --version exists for testing
# upgrades only. The host manifest for Chromium-family browsers allows the
# release extension (the id of the public key in extension/manifest.json),
# or the one signed with KEY.pem.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
version=""
output="build/package"
extension_key=""
arch=x86
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch="$2"; shift 2 ;;
    --version) version="$2"; shift 2 ;;
    --output) output="$2"; shift 2 ;;
    --extension-key) extension_key="$2"; shift 2 ;;
    -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
    *) echo "usage: scripts/package.sh [--arch x86|x64] [--version X.Y.Z.W] [--output FOLDER] [--extension-key KEY.pem]" >&2; exit 2 ;;
  esac
done
# Each architecture has its build, its tools, its folder and registry view,
# and codes of its own; the origin policy's component is shared (see the
# package source).
case "$arch" in
  x86)
    preset=windows-release tools=i686-w64-mingw32 suffix="" win64=no folder=ProgramFilesFolder
    upgrade_code=5B0E6C8A-3F1D-4C52-9A27-7D4E1B6F0C39
    guids=(8C1F2A47-6E3B-4D90-B5A2-0F7C9E31D864 2D7A9B10-4C6E-4F83-8E15-6B3A0C92F7D1
           6A3E1F92-0B7C-4D58-A1E4-93C2D7B05F16 C4B82E07-5D19-4A6F-8E3B-2F70A9D14C58
           1E9D5B3A-7C42-4F06-B8A1-5D3E6F2C9B74 3B7E2A91-D4C8-4F15-9A63-E08B5C7D1F24) ;;
  x64)
    preset=windows64-release tools=x86_64-w64-mingw32 suffix="-x64" win64=yes folder=ProgramFiles64Folder
    upgrade_code=FC5E77A8-CEF2-4A02-A45B-7861A828FCDE
    guids=(944EBB3B-D763-4665-B7B9-42B16D313267 FB95CFF2-2ED2-4115-80AD-B1BBB6DA3D74
           7511C360-F02D-4934-8ACA-07F0E672A764 D5F088EC-23AE-41BA-8D17-EC2C365E7893
           5CA0A003-2402-4A58-8429-FC6534B73F4C A6D41E73-5B92-4C08-8F3D-71E9C2B46A05) ;;
  *) echo "package.sh: --arch is x86 or x64, not '$arch'" >&2; exit 2 ;;
esac
command -v wixl >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wixl msitools
}
scripts/ensure-tools.sh
step() { echo "package.sh: $*" >&2; }
step "building the $arch release build ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null

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
hash=$(printf 'npDravenilFileAccessPlugin%s %s' "$suffix" "$version" | md5sum | tr a-f A-F)
product_code="${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}"

mkdir -p "$output"
# wixl takes the module's path relative to the working folder.
staging="build/package-staging.$$"
rm -rf "$staging"
mkdir -p "$staging"
trap 'rm -rf "$staging"' EXIT
module=build/$preset/bin/npDravenilFileAccessPlugin.dll
symbols="$output/npDravenilFileAccessPlugin$suffix.dll.debug"
step "staging the module, its symbols, the host and the installer checks"
$tools-objcopy --only-keep-debug "$module" "$symbols"
$tools-objcopy --strip-all --add-gnu-debuglink="$symbols" "$module" "$staging/npDravenilFileAccessPlugin.dll"

# The native-messaging host beside the module, and its two manifests beside
# it; their paths are relative, so they name the installed host wherever it
# goes.
$tools-objcopy --strip-all "build/$preset/bin/npDravenilFileAccessHost.exe" \
  "$staging/npDravenilFileAccessHost.exe"
$tools-objcopy --strip-all "build/$preset/bin/npDravenilFileAccessSetup.dll" \
  "$staging/npDravenilFileAccessSetup.dll"
# Signed, when a certificate is given (see scripts/sign.sh), after the last
# change to each file and before it is packed.
signing=no
[ -n "${SIGN_PFX:-}${SIGN_PKCS11_MODULE:-}" ] && signing=yes
if [ "$signing" = yes ]; then
  scripts/sign.sh "$staging/npDravenilFileAccessPlugin.dll" "$staging/npDravenilFileAccessHost.exe" \
    "$staging/npDravenilFileAccessSetup.dll"
fi
if [ -n "$extension_key" ]; then
  extension=$(extension_id_of_key "$extension_key")
  [ -n "$extension" ] || { echo "package.sh: $extension_key is not an RSA private key" >&2; exit 2; }
  write_host_manifest chromium npDravenilFileAccessHost.exe "$staging/chromium.json" --id "$extension"
else
  write_host_manifest chromium npDravenilFileAccessHost.exe "$staging/chromium.json"
fi
write_host_manifest firefox npDravenilFileAccessHost.exe "$staging/firefox.json"

# The cabinet keeps each file's time: the commit's, so that the same commit
# packs the same bytes.
find "$staging" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" {} +
package="$output/npDravenilFileAccessPlugin-$version$suffix.msi"
step "writing $package"
package_name="$(identity PLUGIN_PRODUCT_NAME)"
[ "$arch" = x64 ] && package_name="$package_name (64-bit)"
wixl --arch "$arch" -o "$package" \
  -D ProductCode="$product_code" -D Version="$package_version" -D ModuleVersion="$version" \
  -D UpgradeCode="$upgrade_code" -D Win64="$win64" -D ProgramFilesFolder="$folder" \
  -D GuidPluginModule="${guids[0]}" -D GuidPluginRegistration="${guids[1]}" \
  -D GuidMessagingHost="${guids[2]}" -D GuidChromiumManifest="${guids[3]}" \
  -D GuidFirefoxManifest="${guids[4]}" -D GuidPolicyRequiredMark="${guids[5]}" \
  -D PackageName="$package_name" \
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
if [ "$signing" = yes ]; then scripts/sign.sh "$package"; fi
echo "$package ($(du -k "$staging/npDravenilFileAccessPlugin.dll" | cut -f1) KiB module)"
