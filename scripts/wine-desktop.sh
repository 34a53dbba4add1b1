#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts or stops the X display on which the Windows window's tests and pictures show: Xvfb
# on a free display number, noted in PREFIX.display beside the Wine prefix, where
# scripts/wine-run.sh finds it. Starting again while it runs does nothing.
# Usage: scripts/wine-desktop.sh start|stop PREFIX
set -euo pipefail
action="$1"
prefix="$2"
note="$prefix.display"
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

running() {
  [ -f "$note" ] && kill -0 "$(cut -d' ' -f2 "$note")" 2>/dev/null
}

case "$action" in
  start)
    if running; then
      exit 0
    fi
    mkdir -p "$(dirname "$prefix")"
    # A session of the prefix started without a display (the test discovery of the build runs
    # the programs so) would keep its desktop without one, and no window could be created in
    # it: end it, so that the next program starts one on this display.
    WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    number="$(mktemp)"
    # Its own session, so that it outlives this script; -displayfd picks a free display.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" \
      </dev/null >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      [ -s "$number" ] && break
      sleep 0.1
    done
    if [ ! -s "$number" ]; then
      echo "wine-desktop: Xvfb did not start" >&2
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    echo ":$(tr -d '\n' <"$number") $pid" >"$note"
    rm -f "$number"
    # The prefix is made (or its server started) on this display before the first test.
    bash "$(dirname "$0")/wine-run.sh" "$prefix" cmd /c exit 0 >/dev/null 2>&1 || true
    ;;
  stop)
    WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    if running; then
      kill "$(cut -d' ' -f2 "$note")" 2>/dev/null || true
    fi
    rm -f "$note"
    ;;
  *)
    echo "usage: scripts/wine-desktop.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
