#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks what a packager ships: the tools run from
# there, their man pages render, the README and the licence are in the documentation folder
# with everything the README links to; with "gui", also the desktop program with its help page
# beside it, a valid desktop entry and AppStream metadata naming it, and its icon as SVG and as
# a 32 x 32 PNG.
# Usage: install_test.sh BUILD_DIR VERSION [gui]
set -euo pipefail
build="$1"
expected_version="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
expect() {  # description command...
  local what="$1"
  shift
  if ! "$@" >/dev/null 2>&1; then
    echo "missing: $what"
    status=1
  fi
}
for tool in varnelo-convert varnelo-mifinfo varnelo-dbf; do
  expect "$tool runs --version" "$prefix/bin/$tool" --version
  if command -v help2man >/dev/null; then
    page="$prefix/share/man/man1/$tool.1"
    expect "man page of $tool" test -s "$page"
    if command -v man >/dev/null; then
      man -l "$page" 2>/dev/null | grep -q "$tool" || { echo "man -l does not render $page"; status=1; }
    fi
  fi
done
expect "README" test -s "$prefix/share/doc/varnelo/README.md"
expect "LICENSE" grep -q "MIT License" "$prefix/share/doc/varnelo/LICENSE"
expect "every picture and document the README links to" \
  bash "$(dirname "$0")/../packaging/document_links.sh" "$prefix/share/doc/varnelo"
version="$("$prefix/bin/varnelo-convert" --version)"
[ "$version" = "varnelo-convert $expected_version" ] || { echo "version: $version"; status=1; }
if [ "${3:-}" = gui ]; then
  share="$prefix/share"
  desktop="$share/applications/org.example.Varnelo.desktop"
  metainfo="$share/metainfo/org.example.Varnelo.metainfo.xml"
  expect "the desktop program" test -x "$prefix/bin/varnelo"
  expect "its help page beside it" grep -q "Varnelo Converter ヘルプ" "$prefix/bin/varnelo.html"
  expect "a valid desktop entry" desktop-file-validate "$desktop"
  expect "the entry starts varnelo" grep -qx "Exec=varnelo" "$desktop"
  expect "valid AppStream metadata" appstreamcli validate --no-net "$metainfo"
  expect "the release $expected_version" grep -q "version=\"$expected_version\"" "$metainfo"
  expect "the SVG icon" grep -q "<svg" "$share/icons/hicolor/scalable/apps/varnelo.svg"
  expect "the 32 x 32 icon" sh -c "file '$share/icons/hicolor/32x32/apps/varnelo.png' | grep -q '32 x 32'"
fi
exit $status
