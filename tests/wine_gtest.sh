#!/usr/bin/env bash
# A Windows GoogleTest program under Wine, all its cases in one start, in a
# session of its own (a copy of the prefix, an Xvfb, a virtual desktop: without
# a window manager Wine waits on every hidden top-level window). Judged by the
# results file the program writes when it has run every case: a crash
# leaves none, and Wine's exit code through the desktop says nothing.
#   tests/wine_gtest.sh <program.exe>                    every case, 32-bit Windows
#   tests/wine_gtest.sh <program.exe> win64 <filter>     those cases on 64-bit
#     Windows, where none may skip: they are there for what only it has
# GTEST_TOTAL_SHARDS and GTEST_SHARD_INDEX in the environment run a share
# of the cases (Wine hands the environment to the program).
set -u
exe=$1 kind=${2:-win32} filter=${3:-*}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/lib.sh
source "$here/e2e/lib.sh"
[ -f "$exe" ] || { echo "$exe is missing (make win32)"; exit 1; }
name=$(basename "$exe" .exe)
[ "$kind" = win32 ] || name=${name}_$kind
[ -z "${GTEST_SHARD_INDEX:-}" ] || name=${name}_shard$GTEST_SHARD_INDEX
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

e2e_prepare_template "$kind" >/dev/null || exit 1
if ! e2e_start_session "$name" "$kind"; then
  e2e_end_session
  exit 1
fi
# A folder that is a symbolic link, which Windows programs under Wine cannot
# make (PlatformWin32Links).
mkdir -p "$DRIVE_C/veltrane-link-test/real" && ln -s real "$DRIVE_C/veltrane-link-test/linked"
allowed=$here/allowed_skips.txt
if [ "$kind" != win32 ]; then
  allowed=$out/no_skips.txt
  : >"$allowed"
fi
export VELTRANE_ALLOWED_SKIPS=$(winpath "$allowed")
timeout --kill-after=10 1100 wine explorer /desktop=unit,1024x768 "$exe" "--gtest_filter=$filter" \
  "--gtest_output=xml:$(winpath "$out/results.xml")" >"$out/log" 2>&1 &
desktop=$!
# The results file is written once every case has run. Wine's desktop can
# then outlive the program by many minutes, waiting on helper processes of
# Wine's own that a case started: the session is ended a while after.
while kill -0 "$desktop" 2>/dev/null; do
  if grep -qs '</testsuites>' "$out/results.xml"; then
    for _ in $(seq 20); do kill -0 "$desktop" 2>/dev/null && sleep 1; done
    break
  fi
  sleep 2
done
e2e_end_session
wait "$desktop" 2>/dev/null

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
  if ! grep -q "^$suite\.$test[[:space:]]" "$allowed"; then
    echo "[  FAILED  ] $suite.$test is disabled, and tests/allowed_skips.txt gives no reason for it"
    status=1
  fi
done < <(grep '<testcase' "$out/results.xml" | grep 'result="suppressed"' |
  sed -E 's/.*name="([^"]*)".*classname="([^"]*)".*/\2 \1/')
exit $status
