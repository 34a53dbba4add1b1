#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every relative link of the Markdown documents under a folder (an unpacked zip, an installed
# documentation folder) leads to a file there: no picture or document is left behind.
# Usage: document_links.sh FOLDER
set -euo pipefail
status=0
checked=0
while IFS= read -r -d '' document; do
  folder="$(dirname "$document")"
  # The targets of "](target)", without their "#anchor"; web addresses and anchors alone aside.
  while IFS= read -r link; do
    checked=$((checked + 1))
    if [ ! -e "$folder/$link" ]; then
      echo "${document#"$1"/} links $link, which is not there"
      status=1
    fi
  done < <(grep -o '](\([^)]*\))' "$document" | sed 's/^](//; s/)$//; s/#.*//' |
           grep -Ev '^($|[a-z]+:)' || true)
done < <(find "$1" -name '*.md' -print0)
if [ "$checked" = 0 ]; then
  echo "no relative link found under $1"
  status=1
fi
exit $status
