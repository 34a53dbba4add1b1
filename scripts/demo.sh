#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up, builds (release) and runs the main job: converts every bundled sample with each
# conversion type that applies, into out/samples/, and shows what was written.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
tool=build/release/src/cli/varnelo-convert
out=out/samples
mkdir -p "$out"

convert() {  # type sample target
  echo "== $2 as $1"
  "$tool" --type "$1" "samples/$2.mif" "$out/$3.shp"
}
convert point points points
convert point stations stations
convert point landmarks landmarks
convert polyline roads roads
convert polygon parcels parcels
convert text-point labels labels_point
convert text-line labels labels_line

echo
echo "== written to $out"
ls -l "$out"

echo
echo "== what varnelo-dbf shows of $out/stations.dbf"
build/release/src/cli/varnelo-dbf "$out/stations.dbf"

# What an independent reader sees in each output: geometry type, feature count, extent, the
# coordinate system (from the .prj) and the first record's attribute values, decoded by the
# code page the .cpg names: GDAL needs no options for either.
# GDAL is optional here: without it, or when it finds nothing, the demo still succeeds.
if ! command -v ogrinfo >/dev/null; then
  echo "(ogrinfo not found: install gdal-bin to see what GDAL reads from the outputs)"
  exit 0
fi
echo
echo "== what GDAL's ogrinfo reads"
for shp in "$out"/*.shp; do
  layer="$(basename "$shp" .shp)"
  echo "-- $layer"
  summary="$(ogrinfo -ro -so "$shp" "$layer" 2>/dev/null || true)"
  grep -E '^(Geometry|Feature Count|Extent):' <<<"$summary" | sed 's/^/   /' || true
  crs="$(grep -A1 '^Layer SRS WKT:' <<<"$summary" | sed -n 's/^[A-Z]*\["\([^"]*\)".*/\1/p')"
  echo "   Coordinate system: ${crs:-none}"
  echo "   first record:"
  ogrinfo -ro -q -fid 0 "$shp" "$layer" 2>/dev/null |
    grep -E '^  [^ ].* = ' | sed 's/^  /     /' || true
done
