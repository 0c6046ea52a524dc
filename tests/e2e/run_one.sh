#!/usr/bin/env bash
# One end-to-end test in its own session (what CTest runs for each):
#   tests/e2e/run_one.sh tests/e2e/<name>.vdr
#   tests/e2e/run_one.sh --prepare [win64]   makes the prefix template of
#                                            that kind if needed
set -u
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
if [ "${1:-}" = --prepare ]; then
  kind=${2:-win32}
  e2e_prepare_template "$kind" || exit 1
  echo "$kind prefix template ready: $(e2e_template_of "$kind")"
  exit 0
fi
[ -f "$E2E_BIN/vdriver.exe" ] || { echo "$E2E_BIN/vdriver.exe is missing (make win32)"; exit 1; }
e2e_prepare_template || exit 1
e2e_run_test "$1"
