#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [preset]
# (debug by default; "asan" runs it under AddressSanitizer and UBSan; "slow" runs only the
# tests of gigabyte inputs, on the release build).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"
build="$preset"
[ "$preset" = slow ] && build=release

bash scripts/setup.sh
cmake --preset "$build" >/dev/null
cmake --build --preset "$build"
ctest --preset "$preset"
