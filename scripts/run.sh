#!/usr/bin/env bash
# Installs Veltrane with its installer into a Wine prefix and starts it in a
# virtual desktop: on $DISPLAY when there is one, otherwise on a private
# Xvfb, leaving a screenshot behind.
set -uo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/lib.sh
prefix=$PWD/build/wineprefix
setup=$PWD/build/veltrane-setup.exe
exe='C:\Program Files\Quorvik\Veltrane\veltrane.exe'
shot=$PWD/build/veltrane-screenshot.png

if [ ! -f "$prefix/.prepared" ]; then
  echo "Preparing the Wine prefix in $prefix (once)..."
  rm -rf "$prefix"
  if ! e2e_build_template "$prefix" >build/wineprefix.log 2>&1; then
    echo "Could not prepare the prefix (the whole log: build/wineprefix.log); the step that failed:"
    e2e_failed_step build/wineprefix.log
    exit 1
  fi
  touch "$prefix/.prepared"
fi
export WINEPREFIX=$prefix
# A newer build is installed over the old one, as a user would.
if [ "$setup" -nt "$prefix/.installed" ]; then
  echo "Installing build/veltrane-setup.exe into the prefix..."
  (unset DISPLAY; e2e_wine "$prefix" "$setup" /S) || { echo "The installer failed"; exit 1; }
  touch "$prefix/.installed"
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting veltrane.exe on $DISPLAY (close it or use its tray menu to end it)."
  exec wine explorer /desktop=Veltrane,1024x768 "$exe"
fi

session=$(mktemp -d "$PWD/build/run.XXXXXX")
e2e_start_xvfb "$session" || exit 1
trap 'e2e_stop_wineserver "$WINEPREFIX"; kill $E2E_XVFB_PID 2>/dev/null; rm -rf "$session"' EXIT
echo "No display: running on a private Xvfb ($DISPLAY)."
wine explorer /desktop=Veltrane,1024x768 "$exe" >"$session/stderr" 2>&1 &
echo 'wait-window Veltrane 30000' | wine build/win32/vdriver.exe --desktop=Veltrane >/dev/null 2>&1 || true
sleep 3  # let the first paint and the start-up work settle before the picture
import -display "$DISPLAY" -window root "$shot"
echo "Screenshot of the running program: $shot"
