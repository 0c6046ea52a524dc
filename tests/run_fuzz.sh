#!/usr/bin/env bash
# A short fuzzing run of one target, with its corpus kept between runs.
set -u
target=$1
if [ ! -x "$target" ]; then
  echo "$target is missing (make fuzz)"
  exit 1
fi
corpus="$(dirname "$target")/corpus-$(basename "$target")"
mkdir -p "$corpus"
log=$(mktemp)
if "$target" -runs=30000 -max_len=4096 "$corpus" >"$log" 2>&1; then
  echo "$(basename "$target"): 30000 inputs, clean"
  rm -f "$log"
  exit 0
fi
tail -40 "$log"
rm -f "$log"
exit 1
