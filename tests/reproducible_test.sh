#!/usr/bin/env bash
# Two builds of the same commit, each in a folder of its own and at its own
# time, give byte-identical files to ship: the module, the host and the
# installer checks, as the package's release build makes them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# The commit's time, as the release script gives it to the build.
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
files="npDravenilFileAccessPlugin.dll npDravenilFileAccessHost.exe npDravenilFileAccessSetup.dll"
for copy in first "second copy"; do
  folder="$scratch/$copy/src"
  mkdir -p "$folder"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - 2>/dev/null) | tar -xf - -C "$folder"
  (cd "$folder" && cmake --preset windows-release >/dev/null &&
    cmake --build --preset windows-release --target plugin host setup_actions >/dev/null) ||
    fail "the build in '$copy' failed"
done
for file in $files; do
  cmp -s "$scratch/first/src/build/windows-release/bin/$file" \
    "$scratch/second copy/src/build/windows-release/bin/$file" ||
    fail "$file differs between two builds of one commit: $(cmp "$scratch/first/src/build/windows-release/bin/$file" \
      "$scratch/second copy/src/build/windows-release/bin/$file" | head -1)"
done
echo "reproducible: $files are the same bytes from two folders"
