#!/usr/bin/env bash
# Runs the end-to-end tests: tests/e2e/*.vdr, each in a fresh Wine prefix on its own X server.
#   tests/e2e/run.sh [pattern...]   only the tests whose name contains a pattern (globs allowed)
# Needs `make win32` first. E2E_KEEP=1 keeps each session's prefix in build/e2e.
set -u
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

for tool in wine wineserver Xvfb import timeout flock; do
  if ! command -v "$tool" >/dev/null; then
    echo "e2e: $tool is missing (scripts/deps.sh installs it)" >&2
    exit 2
  fi
done
if [ ! -f "$E2E_BIN/vdriver.exe" ]; then
  echo "e2e: $E2E_BIN/vdriver.exe is missing; run make win32 first" >&2
  exit 2
fi

tests=()
for file in "$E2E_DIR"/*.vdr; do
  [ -f "$file" ] || continue
  name=$(basename "$file" .vdr)
  if [ $# -gt 0 ]; then
    wanted=0
    for pattern in "$@"; do
      # shellcheck disable=SC2053
      [[ $name == *$pattern* ]] && wanted=1
    done
    [ $wanted -eq 1 ] || continue
  fi
  tests+=("$file")
done
if [ ${#tests[@]} -eq 0 ]; then
  echo "e2e: no test matches: $*" >&2
  exit 2
fi

e2e_prepare_template || exit 2

passed=0
failed=0
for file in "${tests[@]}"; do
  name=$(basename "$file" .vdr)
  e2e_run_test "$file"
  case $? in
    0)
      echo "PASS $name"
      passed=$((passed + 1))
      ;;
    130)
      echo "e2e: interrupted" >&2
      exit 130
      ;;
    *)
      echo "FAIL $name"
      failed=$((failed + 1))
      ;;
  esac
done

echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
