#!/usr/bin/env bash
# Runs every test suite and ends with one "N passed, M failed" line.
set -uo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
passed=0
failed=0
log_dir=build/test-logs
mkdir -p "$log_dir"

# Adds the counts of a GoogleTest run; a run that died without its summary counts as one failure.
count_gtest() {
  local name=$1 log=$2 rc=$3
  local p f
  p=$(grep -Eo '^\[  PASSED  \] [0-9]+' "$log" | grep -Eo '[0-9]+$' | tail -1)
  f=$(grep -Eo '^\[  FAILED  \] [0-9]+ tests?,' "$log" | grep -Eo '[0-9]+' | tail -1)
  p=${p:-0}; f=${f:-0}
  # A crash leaves no summary, and under a Wine desktop no exit code either.
  if { [ "$rc" -ne 0 ] || [ "$p" -eq 0 ]; } && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p)); failed=$((failed + f))
  echo "$name: $p passed, $f failed"
  [ "$f" -eq 0 ] || grep -E '^\[  FAILED  \]|Failure|ERROR|runtime error' "$log" | head -40
}

echo "== host unit and scenario tests (ASan/UBSan) =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  build/host/unit_tests >"$log_dir/host.log" 2>&1
count_gtest host "$log_dir/host.log" $?

echo "== veltrane.exe is a PE32 GUI program that imports only system DLLs =="
exe=build/win32/veltrane.exe
dlls=$(i686-w64-mingw32-objdump -p "$exe" 2>/dev/null | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll ole32.dll oleaut32.dll psapi.dll wininet.dll urlmon.dll msvcrt.dll comdlg32.dll version.dll ws2_32.dll "
foreign=""
for d in $dlls; do case "$system_dlls" in *" $d "*) ;; *) foreign="$foreign $d";; esac; done
if file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' && [ -n "$dlls" ] && [ -z "$foreign" ]; then
  passed=$((passed + 1)); echo "exe check: passed (imports:" $dlls")"
else
  failed=$((failed + 1)); echo "exe check: FAILED: $(file "$exe"); foreign imports:$foreign"
fi

echo "== unit tests under Wine =="
source tests/e2e/lib.sh
e2e_prepare_template >/dev/null
e2e_start_session unit
wine explorer /desktop=unit,1024x768 build/win32/unit_tests_win32.exe >"$log_dir/win32.log" 2>&1
rc=$?
e2e_end_session
count_gtest win32 "$log_dir/win32.log" $rc

echo "== backend tests under Wine on 64-bit Windows =="
e2e_prepare_template win64 >/dev/null
e2e_start_session unit64 win64
wine explorer /desktop=unit64,1024x768 build/win32/unit_tests_win32.exe --gtest_filter='PlatformWin64*' \
  >"$log_dir/win64.log" 2>&1
rc=$?
e2e_end_session
count_gtest win64 "$log_dir/win64.log" $rc

echo "== fuzzing the INI parser =="
for target in build/fuzz/*_fuzz; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # not the corpus folders beside them
  corpus="build/fuzz/corpus-$(basename "$target")"
  mkdir -p "$corpus"
  if "$target" -runs=30000 -max_len=4096 "$corpus" >"$log_dir/$(basename "$target").log" 2>&1; then
    passed=$((passed + 1)); echo "$(basename "$target"): clean"
  else
    failed=$((failed + 1)); echo "$(basename "$target"): FAILED"; tail -30 "$log_dir/$(basename "$target").log"
  fi
done

echo "== benchmarks (information only) =="
if [ -x build/bench/bench ]; then
  build/bench/bench --benchmark_min_time=0.05 2>/dev/null | grep -E '^BM_|ratio' || true
fi
for bench in build/win32/*_bench_win32.exe; do
  [ -f "$bench" ] || continue
  e2e_start_session bench
  timeout 300 wine "$bench" 2>/dev/null | grep -E 'ratio|scan' || echo "$(basename "$bench"): no result"
  e2e_end_session
done

echo "== end-to-end tests under Wine =="
tests/e2e/run.sh >"$log_dir/e2e.log" 2>&1
rc=$?
grep -E '^(PASS|FAIL)' "$log_dir/e2e.log" || true
line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "$log_dir/e2e.log" | tail -1)
ep=$(echo "$line" | awk '{print $2}'); ef=$(echo "$line" | awk '{print $4}')
ep=${ep:-0}; ef=${ef:-0}
if [ "$rc" -ne 0 ] && [ "$ef" -eq 0 ]; then ef=1; tail -30 "$log_dir/e2e.log"; fi
passed=$((passed + ep)); failed=$((failed + ef))

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
