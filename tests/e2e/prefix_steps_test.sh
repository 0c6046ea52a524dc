#!/usr/bin/env bash
# Preparing a prefix template, with a stand-in for Wine whose steps fail on
# demand: a failure names its step, its output and its exit status; a Wine
# start that fails once is tried again; nothing half-made becomes the template.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export E2E_OUT=$work/out FAKE=$work/fake HOME=$work/home
mkdir -p "$FAKE" "$HOME"
# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

# `wineboot` fails while $FAKE/boot-failures counts down, `reg` while
# $FAKE/reg-fails exists; a good boot leaves what Wine leaves.
cat >"$FAKE/wine" <<'EOF'
#!/usr/bin/env bash
case $1 in
  --version) echo wine-fake ;;
  wineboot)
    n=$(cat "$FAKE/boot-failures" 2>/dev/null || echo 0)
    if [ "$n" -gt 0 ]; then
      echo $((n - 1)) >"$FAKE/boot-failures"
      echo "wineboot: the stand-in broke" >&2
      exit 3
    fi
    mkdir -p "$WINEPREFIX/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/Fonts" "$WINEPREFIX/drive_c/users/me"
    echo fake >"$WINEPREFIX/system.reg" && echo fake >"$WINEPREFIX/user.reg"
    echo fake >"$WINEPREFIX/drive_c/windows/system32/kernel32.dll"
    ln -s "$HOME" "$WINEPREFIX/drive_c/users/me/Desktop"
    ;;
  reg)
    if [ -e "$FAKE/reg-fails" ]; then echo "reg: access denied" >&2; exit 1; fi
    echo "reg: The operation completed successfully"
    ;;
esac
EOF
printf '#!/bin/sh\nexit 0\n' >"$FAKE/wineserver"
chmod +x "$FAKE/wine" "$FAKE/wineserver"
export PATH=$FAKE:$PATH

status=0
check() {
  if ! eval "$2"; then
    echo "FAIL: $1"
    status=1
  fi
}
template=$(e2e_template_of win32)
prepare() {
  rm -rf "$E2E_OUT"
  e2e_prepare_template win32 2>"$work/stderr"
}

echo 2 >"$FAKE/boot-failures"
check "a boot failing twice fails the preparation" '! prepare'
check "its step, output and exit status are told" \
  'grep -q "a new prefix (wineboot -i), once more: failed, exit status 3" "$work/stderr" &&
   grep -q "the stand-in broke" "$work/stderr"'
check "the log holds both tries" '[ "$(grep -c "the stand-in broke" "$template.log")" = 2 ]'
check "no template is left" '[ ! -e "$template" ] && [ ! -e "$template.new" ]'

echo 1 >"$FAKE/boot-failures"
check "a boot failing once is tried again" 'prepare'
check "the template is stamped" '[ -s "$template/.e2e-stamp" ]'
check "the log shows the failure before the second try" \
  'grep -A3 "a new prefix (wineboot -i): failed, exit status 3" "$template.log" | grep -q "once more"'
check "user folders are folders, not links to the home folder" \
  '[ -d "$template/drive_c/users/me/Desktop" ] && [ ! -L "$template/drive_c/users/me/Desktop" ]'

touch "$FAKE/reg-fails"
check "a registry step that fails twice fails the preparation" '! prepare'
check "it is named with its output" \
  'grep -q "no crash dialog (reg add), once more: failed, exit status 1" "$work/stderr" &&
   grep -q "access denied" "$work/stderr"'
[ $status -eq 0 ] && echo "prefix preparation: every case held"
exit $status
