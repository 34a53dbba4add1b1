#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program of the cross build under wine64, in a Wine prefix of the build's own
# (never the user's), made on first use and kept for the next runs.
# Usage: scripts/wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is made; no display for console programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# Wine passes non-ASCII arguments and file names only under a UTF-8 locale. A Japanese one
# also gives the system code page 932 of the users' Windows; without it, C.UTF-8.
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
else
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
fi
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Parallel tests wait for the one that makes it; the first boot takes a while.
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run: making the Wine prefix $prefix" >&2
      "$wine" wineboot -i >/dev/null 2>&1
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w
    fi
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
