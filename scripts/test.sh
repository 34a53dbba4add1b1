#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [preset]
# (debug by default; "asan" runs it under AddressSanitizer and UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"

bash scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
