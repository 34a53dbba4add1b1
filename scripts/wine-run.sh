#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program of the cross build under wine64, in a Wine prefix of the build's own
# (never the user's), made on first use and kept for the next runs. Windows show on the X
# display that scripts/wine-desktop.sh started for the prefix, if any.
# Usage: scripts/wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is made; no display for console programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$prefix.display" ]; then
  DISPLAY="$(cut -d' ' -f1 "$prefix.display")"
  export DISPLAY
else
  unset DISPLAY
fi
# Wine passes non-ASCII arguments and file names only under a UTF-8 locale. A Japanese one
# also gives the system code page 932 of the users' Windows; without it, C.UTF-8. The user's
# display language follows LC_MESSAGES: the locale's own, unless VARNELO_WINE_MESSAGES names
# another (the tools' tests read their messages in English, as on Linux).
unset LC_ALL
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  export LANG=ja_JP.UTF-8 LC_CTYPE=ja_JP.UTF-8
else
  export LANG=C.UTF-8 LC_CTYPE=C.UTF-8
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
      # Their status is no verdict: a prefix that is not whole shows in the program's own run.
      "$wine" wineboot -i >/dev/null 2>&1 || echo "wine-run: wineboot ended with $?" >&2
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w || true
    fi
  ) 9>"$prefix.lock"
fi
# The prefix's settings, once: Japanese Windows' font names lead to the IPA fonts
# (fonts-ipafont-gothic), so that captions show Japanese, never boxes; Wine draws the windows'
# frames itself, as Windows does, whether or not the display has a window manager.
if [ ! -f "$prefix/varnelo-settings" ]; then
  (
    flock 9
    if [ ! -f "$prefix/varnelo-settings" ]; then
      settings="$prefix/varnelo-settings.reg"
      {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
        for face in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS UI Gothic' 'Meiryo UI' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma'; do
          printf '"%s"="IPAPGothic"\r\n' "$face"
        done
        for face in 'ＭＳ ゴシック' 'MS Gothic'; do
          printf '"%s"="IPAGothic"\r\n' "$face"
        done
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n'
      } | iconv -f UTF-8 -t UTF-16 >"$settings"
      "$wine" regedit /S "Z:${settings//\//\\}" >/dev/null 2>&1 || true
      # The frames' buttons are glyphs of Wine's own Marlett font (fonts-wine), which this Wine
      # finds only among the prefix's fonts.
      if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$prefix/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" || true
      fi
      touch "$prefix/varnelo-settings"
    fi
  ) 9>"$prefix.lock"
fi
# Given to Wine only: this shell need not have the locale installed.
exec env LC_MESSAGES="${VARNELO_WINE_MESSAGES:-$LANG}" "$wine" "$@"
