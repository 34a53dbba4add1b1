#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Bounded fuzzing pass: builds the libFuzzer targets (fuzz preset: clang, AddressSanitizer,
# UBSan) and runs each one (every fuzz/fuzz_<name>.cpp) for the given number of seconds on a
# copy of its seed corpus fuzz/corpus/fuzz_<name>/, with fuzz/fuzz_<name>.dict if present.
# Any crash, hang (10 s per input), leak, sanitizer report or memory use above 512 MB fails
# the pass; the input that caused it is kept in out/fuzz/<target>/.
# Usage: scripts/fuzz.sh [seconds-per-target]   (60 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

VARNELO_FUZZ=1 bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=out/fuzz
rm -rf "$work"
failed=()
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  options=()
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  dir="$work/$target"
  mkdir -p "$dir/corpus"
  if [ -d "fuzz/corpus/$target" ]; then
    cp fuzz/corpus/"$target"/* "$dir/corpus/"
  fi
  # A smaller quarantine of freed memory keeps the many short-lived 1 MB buffers of the
  # conversions from pushing the process towards its memory limit.
  if ASAN_OPTIONS=quarantine_size_mb=64:detect_leaks=1 \
     "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 \
       -print_final_stats=1 "${options[@]}" -artifact_prefix="$dir/" "$dir/corpus" \
       >"$dir/log" 2>&1; then
    result=clean
  else
    result=FAILED
    failed+=("$target")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  echo "fuzz: $target ${seconds}s, ${runs:-?} executions, $result"
  if [ "$result" = FAILED ]; then
    grep -E 'ERROR|SUMMARY|check failed|runtime error|Test unit written' "$dir/log" | head -20
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (logs and inputs in $work/)"
  exit 1
fi
