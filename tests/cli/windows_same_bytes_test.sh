#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Converts with every conversion type by the Windows build (under Wine) and by the Linux build,
# and finds the .shp, .shx, .cpg, .prj and .dbf of both the same byte for byte; the .dbf's date
# of writing (bytes 1-3) aside. The sources: every sample, from and into folders with Japanese
# names on drive Z:, and files of the benchmark generator holding every kind of object (arcs,
# ellipses and rounded rectangles among them), given to the Windows build as absolute Unix
# paths, which Windows reads as paths from the root of the current drive.
# Usage: windows_same_bytes_test.sh SAMPLES WINDOWS_TOOL LINUX_TOOL RUNNER...
set -euo pipefail
samples="$1"
windows_tool="$2"
linux_tool="$3"
shift 3
runner=("$@")
# The Linux build's generator, beside its tools in the build tree.
mifgen="$(dirname "$linux_tool")/../../bench/varnelo-mifgen"
for tool in "$linux_tool" "$mifgen"; do
  if [ ! -x "$tool" ]; then
    echo "no Linux build to compare with at $tool (cmake --build --preset debug first)"
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/入力/地図" "$work/出力/変換結果" "$work/linux" "$work/generated/out"
cp "$samples"/*.mif "$samples"/*.mid "$work/入力/地図/"

status=0
compared=0
# compare NAME TYPE LINUX_SOURCE WINDOWS_SOURCE WINDOWS_TARGET_FOLDER [DRIVE]
compare() {
  local name="$1" type="$2" linux_source="$3" windows_source="$4" folder="$5" drive="${6:-}"
  # Exit code 3: the source holds nothing of the type's kinds, and neither build writes a file.
  local linux_code=0 windows_code=0
  "$linux_tool" --type "$type" "$linux_source" "$work/linux/$name-$type.shp" >/dev/null 2>&1 ||
    linux_code=$?
  if [ "$linux_code" != 0 ] && [ "$linux_code" != 3 ]; then
    echo "the Linux build failed on $name as $type"
    status=1
    return
  fi
  "${runner[@]}" "$windows_tool" --type "$type" "$windows_source" \
    "$drive$folder/$name-$type.shp" >"$work/windows.log" 2>&1 || windows_code=$?
  if [ "$windows_code" != "$linux_code" ]; then
    echo "the Windows build exited with $windows_code, the Linux build with $linux_code, on $name as $type:"
    cat "$work/windows.log"
    status=1
    return
  fi
  for ext in shp shx cpg prj dbf; do
    linux="$work/linux/$name-$type.$ext"
    windows="$folder/$name-$type.$ext"
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
}

types=(point polyline polygon text-point text-line)
for mif in "$samples"/*.mif; do
  name="$(basename "$mif" .mif)"
  for type in "${types[@]}"; do
    # Windows paths on drive Z:, where Wine shows the build machine's files.
    compare "$name" "$type" "$mif" "Z:$work/入力/地図/$name.mif" "$work/出力/変換結果" Z:
  done
done
for seed in 1 2 3 4 5 6 7 8 9 10 11 12; do
  name="generated-$seed"
  "$mifgen" --kind mix --objects 600 --seed "$seed" "$work/generated/$name.mif" >/dev/null
  for type in "${types[@]}"; do
    compare "$name" "$type" "$work/generated/$name.mif" "$work/generated/$name.mif" \
      "$work/generated/out"
  done
done
echo "$compared files compared"
[ "$compared" -gt 0 ] || status=1
exit "$status"
