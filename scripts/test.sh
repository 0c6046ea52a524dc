#!/usr/bin/env bash
# Runs every test through CTest (registered in tests/tests.cmake, run from
# the host build's folder), two at a time: first the end-to-end driver's own
# tests, then the product's, each with CTest's summary. Benchmarks follow, for
# information. Ends with one "N passed, M failed" line for the product's tests.
#   scripts/test.sh          everything
#   scripts/test.sh bench    only the benchmarks (after make bench win32)
set -uo pipefail
cd "$(dirname "$0")/.."
logs=$PWD/build/test-logs
mkdir -p "$logs"
export WINEDEBUG=-all

# Passing host cases are many and say little: their lines stay in the log.
quiet() { grep --line-buffered -vE 'Test +#[0-9]+: host\..* +Passed +[0-9.]+ sec|Start +[0-9]+: host\.'; }

# "N passed, M failed" of a CTest run, from its JUnit report.
tally() {
  local report=$1 passed failed skipped
  passed=$(grep -c '<testcase[^>]*status="run"' "$report")
  failed=$(grep -c '<testcase[^>]*status="fail"' "$report")
  skipped=$(grep -cE '<testcase[^>]*status="(notrun|disabled)"' "$report")
  [ "$skipped" -eq 0 ] || echo "$skipped skipped, each with its reason in tests/allowed_skips.txt"
  echo "$passed passed, $failed failed"
}

benchmarks() {
  echo "== benchmarks (information only) =="
  if [ -x build/bench/bench ]; then
    build/bench/bench --benchmark_min_time=0.05 2>/dev/null | grep -E '^BM_|ratio' || true
  fi
  source tests/e2e/lib.sh
  e2e_prepare_template >/dev/null || return
  # In a virtual desktop, as the end-to-end tests run the program: without
  # one, Wine waits on the X server for every window shown.
  local bench result
  for bench in build/win32/*_bench_win32.exe; do
    [ -f "$bench" ] || continue
    result=$logs/$(basename "$bench" .exe).txt
    rm -f "$result"
    e2e_start_session bench && timeout 300 wine explorer /desktop=bench,1024x768 "$bench" >"$result" 2>/dev/null
    grep -hE 'ratio|scan' "$result" 2>/dev/null || echo "$(basename "$bench"): no result"
    e2e_end_session
  done
}

if [ "${1:-}" = bench ]; then
  benchmarks
  exit 0
fi

echo "== the end-to-end driver's own tests =="
ctest --test-dir build/host -L driver -j 2 --output-on-failure --output-junit "$logs/driver.xml" 2>&1 |
  tee "$logs/driver.log"
driver_rc=${PIPESTATUS[0]}
echo "driver: $(tally "$logs/driver.xml" | tail -1)"

echo "== the product's tests =="
ctest --test-dir build/host -LE driver -j 2 --output-on-failure --output-junit "$logs/product.xml" 2>&1 |
  tee "$logs/product.log" | quiet
product_rc=${PIPESTATUS[0]}

benchmarks

if [ "$driver_rc" -ne 0 ]; then
  echo "The driver's own tests failed: the product's end-to-end results cannot be trusted."
fi
tally "$logs/product.xml"
[ "$driver_rc" -eq 0 ] && [ "$product_rc" -eq 0 ]
