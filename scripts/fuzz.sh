#!/usr/bin/env bash
# Builds the native fuzz targets and runs each for SECONDS (default 60) over
# its seed corpus in tests/fuzz/corpus. A crashing input is kept as a file in
# build/native/fuzz-findings/<target>/, to be turned into a unit test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
seconds="${1:-60}"
scripts/ensure-tools.sh
cmake --preset native >/dev/null
cmake --build --preset native
status=0
# Every fuzz target the build defines (cmake/native.cmake lists them).
targets=()
for binary in build/native/fuzz_*; do
  [ -x "$binary" ] && [ -f "$binary" ] && targets+=("${binary##*/fuzz_}")
done
[ "${#targets[@]}" -gt 0 ] || { echo "fuzz.sh: the build made no fuzz target" >&2; exit 1; }
echo "fuzz.sh: ${#targets[@]} targets: ${targets[*]}"
for target in "${targets[@]}"; do
  findings="build/native/fuzz-findings/$target"
  work="build/native/fuzz-work/$target"
  mkdir -p "$findings" "$work"
  echo "== $target, $seconds s"
  if ! "build/native/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$target" 2>&1 |
      grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Test unit written"; then
    :
  fi
  if [ -n "$(ls -A "$findings")" ]; then
    echo "   findings kept in $findings"
    status=1
  fi
done
exit $status
