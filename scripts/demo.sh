#!/usr/bin/env bash
# Sets up, builds (release) and runs the main job on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
for mif in samples/*.mif; do
  build/release/src/cli/varnelo-mifinfo "$mif"
done
