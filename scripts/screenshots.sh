#!/usr/bin/env bash
# Takes the README's pictures anew: runs the end-to-end tour (which leaves a
# BMP per window in build/e2e/shots) and keeps them as small PNGs in
# docs/screenshots. Needs `make win32` first.
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf build/e2e/shots
tests/e2e/run_one.sh tests/e2e/tour.vdr
mkdir -p docs/screenshots
for bmp in build/e2e/shots/*.bmp; do
  png=docs/screenshots/$(basename "$bmp" .bmp).png
  # 256 colours are plenty for a dialog and keep the files small.
  convert "$bmp" -strip -colors 256 -define png:compression-level=9 "PNG8:$png"
  echo "$png"
done
