#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [preset]
# (debug by default; "asan" runs it under AddressSanitizer and UBSan; "tsan" builds and runs
# only the conversion tests, under ThreadSanitizer; "slow" runs only the tests of gigabyte
# inputs, on the release build; "windows" cross-builds the Windows programs and their tests
# and runs them under Wine, comparing their files with the Linux build's). The default run also
# checks that the generated coordinate-system table is what scripts/make_crs_table.py writes
# with the installed GDAL today.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"
build="$preset"
[ "$preset" = slow ] && build=release
[ "$preset" = windows ] && build=windows-test && preset=windows-test

bash scripts/setup.sh
if [ "$preset" = windows-test ]; then
  # The Linux converter whose files the Windows build's must equal.
  cmake --preset debug >/dev/null
  cmake --build --preset debug --target varnelo-convert
fi
cmake --preset "$build" >/dev/null
cmake --build --preset "$build"
status=0
ctest --preset "$preset" || status=$?
if [ "$preset" = debug ]; then
  /usr/bin/python3 scripts/make_crs_table.py --check || status=1
fi
if [ "$preset" = windows-test ]; then
  # The Wine prefix's server would linger a few seconds; end it now.
  WINEPREFIX="$PWD/build/windows-test/wine" /usr/lib/wine/wineserver -k 2>/dev/null || true
fi
exit "$status"
