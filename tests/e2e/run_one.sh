#!/usr/bin/env bash
# One end-to-end test in its own session (what CTest runs for each):
#   tests/e2e/run_one.sh tests/e2e/<name>.vdr
#   tests/e2e/run_one.sh --prepare      makes the prefix template if needed
set -u
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
if [ "${1:-}" = --prepare ]; then
  e2e_prepare_template || exit 1
  echo "prefix template ready: $E2E_TEMPLATE"
  exit 0
fi
[ -f "$E2E_BIN/vdriver.exe" ] || { echo "$E2E_BIN/vdriver.exe is missing (make win32)"; exit 1; }
e2e_prepare_template || exit 1
e2e_run_test "$1"
