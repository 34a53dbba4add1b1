#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building and testing need on Debian 12, only when something is missing: also
# the MinGW-w64 cross compiler for the Windows build and Wine (with Xvfb, and Wine's fonts for
# the windows' frames) to test it.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libcli11-dev gdal-bin python3-gdal shapelib
          help2man man-db dpkg-dev file
          qt6-base-dev qt6-translations-l10n libgl-dev fonts-ipafont-gothic locales desktop-file-utils
          appstream g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb unzip)
if [ "${VARNELO_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
# The locales under which the tests check that results never depend on the locale.
test_locales=(de_DE.UTF-8 ja_JP.UTF-8)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

missing_locales=()
for l in "${test_locales[@]}"; do
  # locale -a spells them in lower case without the hyphen: de_DE.utf8
  if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
    missing_locales+=("$l")
  fi
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "setup: generating the locales ${missing_locales[*]}"
  for l in "${missing_locales[@]}"; do
    "${sudo_cmd[@]}" sed -i "s/^# *\\($l UTF-8\\)/\\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
