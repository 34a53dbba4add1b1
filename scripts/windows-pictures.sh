#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the Windows program's pictures for the documentation under Wine and Xvfb:
# docs/windows-main-window.png, docs/windows-about.png, docs/windows-preview.png and
# docs/windows-add-folder.png.
# Usage: scripts/windows-pictures.sh [OUT_DIR] (docs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs}")"
bash scripts/setup.sh
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test --target varnelo-shots
prefix="$PWD/build/windows-test/wine-desktop"
bash scripts/wine-desktop.sh start "$prefix"
trap 'bash scripts/wine-desktop.sh stop "$prefix"' EXIT
mkdir -p "$out"
bash scripts/wine-run.sh "$prefix" build/windows-test/tools/varnelo-shots.exe "Z:$out" \
  "Z:$PWD/samples"
ls -l "$out"/windows-*.png
