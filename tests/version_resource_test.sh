#!/usr/bin/env bash
# The module's version resource follows shell/identity.h: in a scratch copy of
# the sources, the version is raised and the module built again
# incrementally, and the new number is read from the module file.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - 2>/dev/null) | tar -xf - -C "$scratch"
cd "$scratch"
# The four numbers of the module's fixed version information.
module_version() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
PY
}
cmake --preset windows >/dev/null
cmake --build --preset windows --target plugin >/dev/null
module=build/windows/bin/npDravenilFileAccessPlugin.dll
before=$(module_version "$module")
expected=$(sed -n 's/^#define PLUGIN_VERSION_NUMBERS //p' shell/identity.h | sed 's/, */./g')
[ "$before" = "$expected" ] || fail "the module is $before, the header $expected"
sed -i 's/^#define PLUGIN_VERSION_NUMBERS .*/#define PLUGIN_VERSION_NUMBERS 9, 8, 7, 654/;
        s/^#define PLUGIN_VERSION_TEXT .*/#define PLUGIN_VERSION_TEXT "9.8.7.654, 0, 0, 0"/' shell/identity.h
cmake --build --preset windows --target plugin >/dev/null
after=$(module_version "$module")
[ "$after" = 9.8.7.654 ] || fail "after raising the version and building again the module is $after"
echo "version resource: $before, then 9.8.7.654 after an incremental build"
