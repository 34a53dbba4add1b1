#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks what a packager ships: the tools run from
# there, their man pages render, the README and the licence are in the documentation folder.
# Usage: install_test.sh BUILD_DIR VERSION
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
version="$("$prefix/bin/varnelo-convert" --version)"
[ "$version" = "varnelo-convert $expected_version" ] || { echo "version: $version"; status=1; }
exit $status
