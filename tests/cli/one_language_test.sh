#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the tools over a handful of cases under LANG=C and under LANG=ja_JP.UTF-8 and looks
# for the other language in what they print: no kana or kanji in the English run, no English
# word in the Japanese one once the paths, file names, option names, type keywords, tool
# names and the names of formats and MIF keywords are taken out.
# Usage: one_language_test.sh TOOL_DIR SAMPLES_DIR
set -uo pipefail
tools="$1"
samples="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
unset LC_ALL LC_MESSAGES LANGUAGE

# The sources, with ASCII names and values only.
printf 'Version 300\r\nCharset "WindowsJapanese"\r\nColumns 3\r\n  A Blob\r\n  B Char(3)\r\n  C Integer\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\n' >"$work/note.mif"
printf 'x,y,1\r\nz,w,2\r\n' >"$work/note.mid"
printf 'Version 300\r\nColumns 1\r\n  C Integer\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\n' >"$work/value.mif"
printf '1\r\nq\r\n' >"$work/value.mid"
printf 'Varnelo\r\n200\r\n0\r\n\r\n"0"\t"%s"\t"%s"\r\n"2"\t"%s"\t"%s"\r\n' \
  "$work/note.mif" "$work/b1.shp" "$work/note.mif" "$work/b2.shp" >"$work/list.txt"

# Every case, one per line: the tool, then its arguments.
cases=(
  "varnelo-convert --help"
  "varnelo-dbf --help"
  "varnelo-mifinfo --help"
  "varnelo-convert --type point"
  "varnelo-convert --type point --threads 9 a.mif b.shp"
  "varnelo-convert --type point $work/absent.mif $work/absent.shp"
  "varnelo-convert --type point $work/note.mif $work/note.shp"
  "varnelo-convert --type point $work/value.mif $work/value.shp"
  "varnelo-convert --type point --lenient $work/value.mif $work/value.shp"
  "varnelo-convert --type polygon $samples/points.mif $work/none.shp"
  "varnelo-convert --batch $work/list.txt"
  "varnelo-dbf $work/note.dbf"
  "varnelo-dbf --where C=2 $work/note.dbf"
  "varnelo-mifinfo $work/note.mif"
  "varnelo-mifinfo $work/note.mif $work/value.mif"
)

# What is not a word of either language: paths and file names, options, keywords, names.
strip_names() {
  sed -E -e "s#$work##g" -e "s#$samples##g" \
    -e 's#varnelo-(convert|dbf|mifinfo)##g' \
    -e 's#--[a-z][a-z-]*##g' -e 's#(^|[ ,])-[a-z]\b#\1#g' \
    -e 's#[A-Za-z0-9_*-]*\.(mif|mid|shp|shx|dbf|cpg|prj|txt)##g' \
    -e 's#\b(text-point|text-line|polyline|polygon|point|all|source|target|more|table)\b##g' \
    -e 's#\b(MIF|MID|DBF|ESRI|Shapefile|dBASE|Shift-JIS|ASCII|UTF-8|utf-8|CP932|cp932|raw|Data|Charset|CoordSys|WindowsJapanese)\b##g' \
    -e 's#\b(Blob|Char|Integer)\b##g' \
    -e 's#\b(POINT|LINE|PLINE|REGION|ARC|TEXT|RECT|ROUNDRECT|ELLIPSE|MULTIPOINT|NONE|COLLECTION)\b##g' \
    -e 's#\b(TARGET|DIR|FIELD|VALUE|LIST|dmy|mdy)\b##g' \
    -e 's#\b(Windows|ANSI|cmd|find|more|type|PowerShell)\b##g'
}

status=0
for c in "${cases[@]}"; do
  read -r -a words <<<"$c"
  tool="$tools/${words[0]}"
  english="$(cd "$work" && LANG=C "$tool" "${words[@]:1}" 2>&1)"
  japanese="$(cd "$work" && LANG=ja_JP.UTF-8 "$tool" "${words[@]:1}" 2>&1)"
  if [ -z "$english" ] || [ -z "$japanese" ]; then
    echo "no output: $c"
    status=1
  fi
  if found="$(printf '%s\n' "$english" | LC_ALL=C.UTF-8 grep -P '[\x{3000}-\x{30FF}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}]')"; then
    printf 'Japanese in the English run of %s:\n%s\n' "$c" "$found"
    status=1
  fi
  if found="$(printf '%s\n' "$japanese" | strip_names | LC_ALL=C.UTF-8 grep -E '[A-Za-z]{2,}')"; then
    printf 'English in the Japanese run of %s:\n%s\n' "$c" "$found"
    status=1
  fi
done
exit $status
