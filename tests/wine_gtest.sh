#!/usr/bin/env bash
# A Windows GoogleTest program under Wine, all its cases in one start, in a
# session of its own (a copy of the prefix, an Xvfb, a virtual desktop: without
# a window manager Wine waits on every hidden top-level window). Judged by the
# results file the program writes when it has run every case: a crash
# leaves none, and Wine's exit code through the desktop says nothing.
set -u
exe=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/e2e/lib.sh"
[ -f "$exe" ] || { echo "$exe is missing (make win32)"; exit 1; }
name=$(basename "$exe" .exe)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

e2e_prepare_template >/dev/null || exit 1
if ! e2e_start_session "$name"; then
  e2e_end_session
  exit 1
fi
export VELTRANE_ALLOWED_SKIPS=$(winpath "$here/allowed_skips.txt")
timeout --kill-after=10 1100 wine explorer /desktop=unit,1024x768 "$exe" \
  "--gtest_output=xml:$(winpath "$out/results.xml")" >"$out/log" 2>&1
e2e_end_session

status=0
if [ ! -s "$out/results.xml" ]; then
  echo "$name ended before it had run every case; the end of its output:"
  tail -40 "$out/log"
  exit 1
fi
root=$(grep -m1 '<testsuites' "$out/results.xml")
count() { echo "$root" | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9]*'; }
tests=$(count tests) failures=$(count failures) errors=$(count errors)
echo "$name: $tests cases, ${failures:-0} failed, ${errors:-0} errors"
if [ "${failures:-0}" != 0 ] || [ "${errors:-0}" != 0 ]; then
  grep -E '^\[  FAILED  \]|Failure$|^.*\.cpp:[0-9]+: Failure' -A6 "$out/log" | head -80
  status=1
fi
# Skipped cases: the test main has judged them against tests/allowed_skips.txt.
grep -F '[  ALLOWED SKIP ]' "$out/log"
if grep -E 'was (skipped|disabled), and tests/allowed_skips.txt' "$out/log"; then status=1; fi
# Disabled cases never run in one start; each must be listed with its reason.
while read -r suite test; do
  if ! grep -q "^$suite\.$test[[:space:]]" "$here/allowed_skips.txt"; then
    echo "[  FAILED  ] $suite.$test is disabled, and tests/allowed_skips.txt gives no reason for it"
    status=1
  fi
done < <(grep '<testcase' "$out/results.xml" | grep 'result="suppressed"' |
  sed -E 's/.*name="([^"]*)".*classname="([^"]*)".*/\2 \1/')
exit $status
