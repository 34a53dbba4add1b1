#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Converts every sample with every conversion type by the Windows build (under Wine, from and
# into folders with Japanese names) and by the Linux build, and finds the .shp, .shx, .cpg,
# .prj and .dbf of both the same byte for byte; the .dbf's date of writing (bytes 1-3) aside.
# Usage: windows_same_bytes_test.sh SAMPLES WINDOWS_TOOL LINUX_TOOL RUNNER...
set -euo pipefail
samples="$1"
windows_tool="$2"
linux_tool="$3"
shift 3
runner=("$@")
if [ ! -x "$linux_tool" ]; then
  echo "no Linux build to compare with at $linux_tool (cmake --build --preset debug first)"
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/入力/地図" "$work/出力/変換結果" "$work/linux"
cp "$samples"/*.mif "$samples"/*.mid "$work/入力/地図/"

status=0
compared=0
for mif in "$samples"/*.mif; do
  name="$(basename "$mif" .mif)"
  for type in point polyline polygon text-point text-line; do
    "$linux_tool" --type "$type" "$mif" "$work/linux/$name-$type.shp" >/dev/null 2>&1 || {
      echo "the Linux build failed on $name as $type"
      status=1
      continue
    }
    # Windows paths on drive Z:, where Wine shows the build machine's files.
    win_out="Z:$work/出力/変換結果/$name-$type.shp"
    "${runner[@]}" "$windows_tool" --type "$type" "Z:$work/入力/地図/$name.mif" "$win_out" \
      >"$work/windows.log" 2>&1 || {
      echo "the Windows build failed on $name as $type:"
      cat "$work/windows.log"
      status=1
      continue
    }
    for ext in shp shx cpg prj dbf; do
      linux="$work/linux/$name-$type.$ext"
      windows="$work/出力/変換結果/$name-$type.$ext"
      if [ "$(test -e "$linux" && echo 1)" != "$(test -e "$windows" && echo 1)" ]; then
        echo "$name as $type: .$ext written by only one build"
        status=1
        continue
      fi
      [ -e "$linux" ] || continue
      skip=0
      [ "$ext" = dbf ] && skip=4
      if [ "$skip" -gt 0 ] && ! cmp -s <(head -c1 "$linux") <(head -c1 "$windows"); then
        echo "$name as $type: .dbf version byte differs"
        status=1
      fi
      if ! cmp -s <(tail -c +$((skip + 1)) "$linux") <(tail -c +$((skip + 1)) "$windows"); then
        echo "$name as $type: .$ext differs"
        cmp <(tail -c +$((skip + 1)) "$linux") <(tail -c +$((skip + 1)) "$windows") || true
        status=1
      fi
      compared=$((compared + 1))
    done
  done
done
echo "$compared files compared"
[ "$compared" -gt 0 ] || status=1
exit "$status"
