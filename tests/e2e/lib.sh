# shellcheck shell=bash
# End-to-end test sessions: a prepared Wine prefix, then for each test a copy
# of it with its own Xvfb and wineserver, torn down afterwards. Sourced by run.sh.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_DIR=$E2E_ROOT/tests/e2e
E2E_BIN=${E2E_BIN:-$E2E_ROOT/build/win32}
E2E_OUT=${E2E_OUT:-$E2E_ROOT/build/e2e}
E2E_TEMPLATE=$E2E_OUT/prefix-template
# 64-bit Windows, for the tests that say "#! prefix: win64".
E2E_TEMPLATE_WIN64=$E2E_OUT/prefix-template-win64
E2E_DESKTOP=e2e
E2E_DESKTOP_SIZE=1024x768
E2E_DEFAULT_TIMEOUT=90

# Wine's ANSI code page follows the locale: pinned (to Western, 1252), so
# that text which is not UTF-8 reads the same on every machine. Tracing a
# test: E2E_WINEDEBUG=+reg tests/e2e/run.sh name
export WINEARCH=win32 WINEDEBUG=${E2E_WINEDEBUG:--all} LANG=C.UTF-8 LC_ALL=C.UTF-8
# No Mono or Gecko: nothing here uses them, and their installers would ask.
# No menu builder: it writes the prefix's Start menu into the real home
# folder's desktop menus, and keeps working after Wine's start returns.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

e2e_log() { printf '%s\n' "$*" >&2; }

# The prefix kinds: win32 (the program's own platform) and win64.
e2e_template_of() {
  case ${1:-win32} in
    win32) printf '%s\n' "$E2E_TEMPLATE" ;;
    win64) printf '%s\n' "$E2E_TEMPLATE_WIN64" ;;
    *) e2e_log "e2e: unknown prefix kind '$1' (win32 or win64)"; return 1 ;;
  esac
}

# Makes Wine tools of this shell work in a prefix of the kind. In a win64
# prefix `wine` is the 64-bit loader, so that reg.exe and the desktop are
# the 64-bit ones and see the native registry view, as on 64-bit Windows;
# 32-bit programs still run as such. (Debian's `wine` prefers its 32-bit
# loader, and the 64-bit one acts as 32-bit when called by another name.)
e2e_use_kind() {
  local kind=${1:-win32}
  if [ "$kind" = win64 ]; then
    local bin=$E2E_OUT/wine64-bin
    if [ ! -x "$bin/wine" ]; then
      # Written under a name of its own, so that two shells making it at
      # once never run or move a half-written one.
      mkdir -p "$bin" && printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine.$$" &&
        chmod +x "$bin/wine.$$" && mv "$bin/wine.$$" "$bin/wine" || return 1
    fi
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH=$bin:$PATH ;; esac
  fi
  export WINEARCH=$kind
}

# Runs a Wine tool in the given prefix, bounded in time.
e2e_wine() {
  local prefix=$1
  shift
  WINEPREFIX=$prefix timeout --foreground --kill-after=5 60 wine "$@"
}

# Ends the wineserver of a prefix and with it every Windows process in it.
e2e_stop_wineserver() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1
  return 0
}

# One step of making a prefix: its name, its output and, when it fails, its
# exit status go to the log (this function's stdout).
e2e_step() {
  local name=$1 status
  shift
  echo "== $name"
  "$@" 2>&1
  status=$?
  [ "$status" -eq 0 ] || echo "== $name: failed, exit status $status"
  return "$status"
}

# A step that starts Wine in the prefix. Wine's first start on a machine can
# fail for reasons of its own: such a step is tried once more, after the
# prefix's Wine processes have ended, with Wine's error messages on.
e2e_wine_step() {
  local name=$1 prefix=$2
  shift 2
  e2e_step "$name" "$@" && return 0
  e2e_stop_wineserver "$prefix"
  WINEDEBUG=-all,err+all e2e_step "$name, once more" "$@"
}

# A new prefix, from nothing, once Wine is done with it.
e2e_boot_prefix() {
  local prefix=$1
  e2e_stop_wineserver "$prefix"
  rm -rf "$prefix" || return
  WINEPREFIX=$prefix timeout 180 wine wineboot -i || return
  # wineboot returns while Wine still works: its services run on, and the
  # registry reaches the disk only when the wineserver ends.
  WINEPREFIX=$prefix timeout 60 wineserver -w || return
  local file
  for file in system.reg user.reg drive_c/windows/system32/kernel32.dll; do
    [ -s "$prefix/$file" ] || { echo "wineboot left no $file"; return 1; }
  done
}

# Wine links Desktop, Documents, Downloads... to the real home folder; a test
# must not write there, so they become folders of the prefix.
e2e_unlink_user_folders() {
  local link
  for link in "$1"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link" || return; fi
  done
}

# What the program finds where the installer puts it; and the fonts, which
# Debian's 32-bit Wine does not find (Tahoma, and Marlett for the title-bar
# buttons) unless they are in the prefix (without them, texts only look
# different).
e2e_add_program_files() {
  local prefix=$1
  mkdir -p "$prefix/drive_c/Program Files/Quorvik/Veltrane/Trashcan" || return
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
  if [ -f "$E2E_ROOT/app/Veltrane.txt" ]; then
    cp "$E2E_ROOT/app/Veltrane.txt" "$prefix/drive_c/windows/Veltrane.txt"
  fi
}

# What every test expects to find in a fresh prefix (of kind win32 or win64).
# Prints each step and its output; the step that fails says so with its exit
# status.
e2e_build_template() {
  local prefix=$1 kind=${2:-win32}
  (
    unset DISPLAY
    e2e_step "Wine for $kind prefixes" e2e_use_kind "$kind" || exit
    e2e_wine_step "a new prefix (wineboot -i)" "$prefix" e2e_boot_prefix "$prefix" || exit
    e2e_step "the user folders of the prefix" e2e_unlink_user_folders "$prefix" || exit
    # A crash must end the program with a trace on stderr, not open a dialog.
    e2e_wine_step "no crash dialog (reg add)" "$prefix" \
      e2e_wine "$prefix" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || exit
    # This Wine leaves .txt without its file type, so "open" on the help file
    # would find no program; Windows always has it.
    e2e_wine_step "the .txt file type (reg add)" "$prefix" \
      e2e_wine "$prefix" reg add 'HKCR\.txt' /ve /d txtfile /f || exit
    # Wine starts its menu builder from HKLM RunServices, which Windows has
    # not: the program would ask about it in every test.
    e2e_wine_step "no menu builder at log-on (reg delete)" "$prefix" \
      e2e_wine "$prefix" reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' /v winemenubuilder /f || exit
    e2e_step "the program's folder, the fonts and the help file" e2e_add_program_files "$prefix" || exit
    e2e_step "the registry on disk (wineserver -w)" env WINEPREFIX="$prefix" timeout 60 wineserver -w
  )
}

# The last step of a log that failed: its header, its output, its status.
e2e_failed_step() {
  awk '/^== / && !/: failed, exit status [0-9]+$/ { block = "" }
       { block = block $0 "\n" }
       /^== .*: failed, exit status [0-9]+$/ { failed = block }
       END { printf "%s", failed }' "$1"
}

# The template is rebuilt when missing or when what goes into it changed.
e2e_template_stamp() {
  {
    wine --version
    echo "$WINEDLLOVERRIDES"
    declare -f e2e_build_template e2e_use_kind e2e_boot_prefix e2e_unlink_user_folders e2e_add_program_files
    [ -f "$E2E_ROOT/app/Veltrane.txt" ] && sha256sum <"$E2E_ROOT/app/Veltrane.txt"
  } 2>/dev/null | sha256sum | cut -d' ' -f1
}

e2e_prepare_template() {
  local kind=${1:-win32} template
  template=$(e2e_template_of "$kind") || return 1
  mkdir -p "$E2E_OUT" || return 1
  local lock stamp
  stamp=$(e2e_template_stamp)
  exec {lock}>"$template.lock"
  flock "$lock"
  if [ -f "$template/.e2e-stamp" ] && [ "$(cat "$template/.e2e-stamp")" = "$stamp" ]; then
    exec {lock}>&-
    return 0
  fi
  e2e_log "e2e: preparing the $kind Wine prefix template (once)"
  local tmp=$template.new
  rm -rf "$tmp" "$template"
  if ! e2e_build_template "$tmp" "$kind" >"$template.log" 2>&1; then
    e2e_stop_wineserver "$tmp"
    e2e_log "e2e: could not prepare the $kind prefix (the whole log: $template.log); the step that failed:"
    e2e_failed_step "$template.log" | tail -n 40 >&2
    exec {lock}>&-
    return 1
  fi
  echo "$stamp" >"$tmp/.e2e-stamp"
  mv "$tmp" "$template"
  exec {lock}>&-
}

# A fresh prefix from the template. The Windows system folders are hard links:
# they are large, and nothing a test runs writes into their files (a test may
# add, move or delete files there: that only changes the copy's folders).
e2e_copy_prefix() {
  local from=$1 to=$2 dir
  local -a linked=()
  for dir in system32 syswow64 winsxs; do
    [ -d "$from/drive_c/windows/$dir" ] && linked+=("$from/drive_c/windows/$dir")
  done
  mkdir -p "$to" &&
    tar -C "$from" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 \
      --exclude=./drive_c/windows/winsxs -cf - . |
    tar -C "$to" -xf - &&
    cp -al "${linked[@]}" "$to/drive_c/windows/"
}

# "C:\a\b" -> the Unix path inside the session's prefix (drive C only).
e2e_unix_path() {
  local win=$1
  case $win in
    [cC]:\\*) ;;
    *) e2e_log "e2e: only C:\\ paths are supported: $win"; return 1 ;;
  esac
  local rest=${win:3}
  printf '%s/drive_c/%s\n' "$WINEPREFIX" "${rest//\\//}"
}

# Starts Xvfb on a free display; sets E2E_XVFB_PID and DISPLAY.
e2e_start_xvfb() {
  local dir=$1 n=0
  : >"$dir/display"
  Xvfb -displayfd 3 -screen 0 "${E2E_DESKTOP_SIZE}x24" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  while ! grep -q '^[0-9][0-9]*$' "$dir/display" 2>/dev/null; do
    if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null || [ $n -ge 200 ]; then
      e2e_log "e2e: Xvfb did not start: $(cat "$dir/xvfb.log")"
      return 1
    fi
    sleep 0.05
    n=$((n + 1))
  done
  DISPLAY=:$(head -1 "$dir/display")
  export DISPLAY
}

# A session for any Wine work of its own (scripts/test.sh runs the Windows unit
# tests in one): a fresh prefix copy of the kind (win32 unless told win64) and
# an Xvfb, exported as WINEPREFIX, DRIVE_C and DISPLAY in the calling shell,
# with the kind's Wine tools (e2e_use_kind). Always pair with e2e_end_session,
# also when the start failed half-way.
e2e_start_session() {
  local name=${1:-session} kind=${2:-win32} template
  mkdir -p "$E2E_OUT" || return 1
  E2E_SESSION=$(mktemp -d "$E2E_OUT/session-$name.XXXXXX") || return 1
  E2E_SAVED_DISPLAY=${DISPLAY-}
  E2E_SAVED_PATH=$PATH E2E_SAVED_WINEARCH=${WINEARCH-}
  E2E_XVFB_PID=""
  unset DISPLAY
  export WINEPREFIX=$E2E_SESSION/prefix DRIVE_C=$E2E_SESSION/prefix/drive_c
  template=$(e2e_template_of "$kind") || return 1
  e2e_use_kind "$kind" || return 1
  if [ ! -f "$template/.e2e-stamp" ]; then
    e2e_log "e2e: no $kind prefix template; call e2e_prepare_template $kind first"
    return 1
  fi
  e2e_copy_prefix "$template" "$WINEPREFIX" || { e2e_log "e2e: could not copy the prefix"; return 1; }
  e2e_start_xvfb "$E2E_SESSION"
}

# Ends every Windows process of the session, its Xvfb, and deletes its prefix
# (kept when E2E_KEEP is set).
e2e_end_session() {
  [ -n "${E2E_SESSION:-}" ] || return 0
  e2e_stop_wineserver "$WINEPREFIX"
  if [ -n "${E2E_XVFB_PID:-}" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$E2E_SESSION"
  unset WINEPREFIX DRIVE_C E2E_SESSION E2E_XVFB_PID
  if [ -n "${E2E_SAVED_PATH:-}" ]; then export PATH=$E2E_SAVED_PATH WINEARCH=${E2E_SAVED_WINEARCH:-win32}; fi
  if [ -n "${E2E_SAVED_DISPLAY:-}" ]; then export DISPLAY=$E2E_SAVED_DISPLAY; else unset DISPLAY; fi
  return 0
}

# Starts the update site of a test: build/host/http_site serving a folder of
# the repository on a free port of 127.0.0.1, exported as E2E_HTTP_PORT;
# further words are http_site's options. Ended with the session.
e2e_start_http() {
  local -a args
  eval "args=($1)"
  local site=$E2E_ROOT/build/host/http_site
  if [ ! -x "$site" ]; then
    e2e_log "e2e: $site is missing (make host)"
    return 1
  fi
  local folder=${args[0]}
  [ "${folder:0:1}" = / ] || folder=$E2E_ROOT/$folder
  local port_file=$E2E_SESSION/http.port n=0
  rm -f "$port_file"
  "$site" --root "$folder" --port-file "$port_file" "${args[@]:1}" &
  E2E_HTTP_PID=$!
  while [ ! -s "$port_file" ]; do
    if ! kill -0 "$E2E_HTTP_PID" 2>/dev/null || [ $n -ge 200 ]; then
      e2e_log "e2e: the update site did not start"
      return 1
    fi
    sleep 0.05
    n=$((n + 1))
  done
  E2E_HTTP_PORT=$(head -1 "$port_file")
  export E2E_HTTP_PORT
}

e2e_stop_http() {
  [ -n "${E2E_HTTP_PID:-}" ] || return 0
  kill "$E2E_HTTP_PID" 2>/dev/null
  wait "$E2E_HTTP_PID" 2>/dev/null
  E2E_HTTP_PID=""
}

# Runs one directive line ("#! key: value") of a test before the program starts.
e2e_setup_directive() {
  local key=$1 value=$2
  local -a args
  case $key in
    exe | timeout | after | prefix | winedebug) return 0 ;;
    reg)
      eval "args=($value)"
      e2e_wine "$WINEPREFIX" reg "${args[@]}" >/dev/null
      ;;
    copy)
      eval "args=($value)"
      if [ ${#args[@]} -ne 2 ]; then
        e2e_log "#! copy: needs <source> <C:\\destination>"
        return 1
      fi
      local src=${args[0]} dest
      [ "${src:0:1}" = / ] || src=$E2E_ROOT/$src
      dest=$(e2e_unix_path "${args[1]}") || return 1
      mkdir -p "$(dirname "$dest")" && cp "$src" "$dest"
      ;;
    setup)
      bash -c "$value"
      ;;
    http)
      e2e_start_http "$value"
      ;;
    *)
      e2e_log "unknown directive '#! $key:'"
      return 1
      ;;
  esac
}

# Prints "key<TAB>value" for each "#! key: value" line of a test file, and
# "?<TAB>line" for a "#!" line that is not one, so that a mistyped check
# fails the test instead of being skipped.
e2e_directives() {
  local line re='^#![[:space:]]*([a-z-]+):[[:space:]]*(.*[^[:space:]])?[[:space:]]*$'
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    [[ $line == '#!'* ]] || continue
    if [[ $line =~ $re ]]; then
      printf '%s\t%s\n' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    else
      printf '?\t%s\n' "$line"
    fi
  done <"$1"
}

# Runs one test file in its own session. Prints the reason of a failure on
# stderr and returns non-zero. Leaves <name>.out (driver), <name>.stderr
# (program) and, on failure, <name>.png in $E2E_OUT.
e2e_run_test() {
  local file=$1 name
  name=$(basename "$file")
  name=${name%.*}
  local out=$E2E_OUT/$name.out log=$E2E_OUT/$name.stderr shot=$E2E_OUT/$name.png
  rm -f "$out" "$log" "$shot"

  local exe="" timeout=$E2E_DEFAULT_TIMEOUT kind=win32 winedebug=$WINEDEBUG key value
  local -a afters=() setups=() bad=()
  while IFS=$'\t' read -r key value; do
    case $key in
      \?) bad+=("$value") ;;
      exe) exe=$value ;;
      prefix) kind=$value ;;
      winedebug) winedebug=$value ;;
      timeout) timeout=$value ;;
      after) afters+=("$value") ;;
      *) setups+=("$key"$'\t'"$value") ;;
    esac
  done < <(e2e_directives "$file")

  (
    export E2E_ROOT E2E_BIN E2E_OUT
    unset DISPLAY
    local program_pid="" status=0
    E2E_HTTP_PORT="" E2E_HTTP_PID=""

    local cleaned=""
    cleanup() {
      [ -z "$cleaned" ] || return 0
      cleaned=1
      [ -n "${WINEPREFIX:-}" ] && e2e_stop_wineserver "$WINEPREFIX"
      e2e_stop_http
      if [ -n "$program_pid" ]; then
        kill -9 "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
      fi
      e2e_end_session
    }
    # Whatever ends this session, its processes and files go with it.
    trap cleanup EXIT
    trap 'exit 130' INT TERM HUP
    trap '' PIPE
    crashed() { grep -q -e '^wine: Unhandled' -e '^Unhandled exception' -e 'to unimplemented function' "$log" 2>/dev/null; }
    failed() {
      e2e_log "$*"
      crashed && e2e_log "crash: $(grep -m1 -e '^wine: Unhandled' -e '^Unhandled exception' -e 'unimplemented' "$log")"
      if [ -n "${DISPLAY:-}" ]; then
        timeout 20 import -display "$DISPLAY" -window root "$shot" 2>/dev/null && e2e_log "screenshot: $shot"
      fi
      if [ -s "$out" ]; then
        e2e_log "--- driver output ($out):"
        cat "$out" >&2
      fi
      if [ -s "$log" ]; then
        e2e_log "--- program stderr, last lines ($log):"
        tail -n 20 "$log" >&2
      fi
      cleanup
      exit 1
    }

    [ ${#bad[@]} -eq 0 ] || failed "not a directive: ${bad[0]} (write '#! key: value')"
    [ -n "$exe" ] || failed "no '#! exe:' line"
    [[ $timeout =~ ^[1-9][0-9]*$ ]] || failed "'#! timeout:' takes seconds, not '$timeout'"
    local -a exe_words
    eval "exe_words=($exe)" || failed "bad '#! exe:' line"
    local program=${exe_words[0]}
    case $program in
      [a-zA-Z]:\\*) ;;
      *)
        [ -f "$E2E_BIN/$program" ] || failed "$E2E_BIN/$program does not exist (make win32?)"
        program="Z:${E2E_BIN//\//\\}\\$program"
        ;;
    esac

    e2e_template_of "$kind" >/dev/null || failed "'#! prefix:' takes win32 or win64, not '$kind'"
    # Made once, by the first test that needs it.
    e2e_prepare_template "$kind" || failed "could not prepare the $kind prefix"
    e2e_start_session "$name" "$kind" || failed "could not set up the session"

    local entry
    for entry in "${setups[@]}"; do
      e2e_setup_directive "${entry%%$'\t'*}" "${entry#*$'\t'}" >>"$log" 2>&1 ||
        failed "setup failed: #! ${entry%%$'\t'*}: ${entry#*$'\t'}"
    done

    # Again, now that the setup has exported what the line may name.
    eval "exe_words=($exe)" || failed "bad '#! exe:' line"
    WINEDEBUG=$winedebug wine explorer "/desktop=$E2E_DESKTOP,$E2E_DESKTOP_SIZE" "$program" "${exe_words[@]:1}" >>"$log" 2>&1 &
    program_pid=$!

    # The script may name the update site's port, and the folder for pictures
    # (build/e2e/shots, as a Windows path).
    local script=$E2E_SESSION/script.vdr shots=$E2E_OUT/shots
    mkdir -p "$shots"
    shots="Z:${shots//\//\\\\}"
    sed -e "s/\$E2E_HTTP_PORT/${E2E_HTTP_PORT:-}/g" -e "s/\$E2E_SHOTS/${shots}/g" "$file" >"$script" ||
      failed "could not prepare the script"
    timeout --foreground --kill-after=5 "$timeout" wine "$E2E_BIN/vdriver.exe" "--desktop=$E2E_DESKTOP" <"$script" >"$out" 2>>"$log"
    status=$?
    [ $status -eq 130 ] && exit 130
    [ $status -eq 124 ] && failed "timed out after $timeout s"
    [ $status -eq 0 ] || failed "the driver failed: $(grep '^FAIL: ' "$out" | tail -1)"

    local check
    for check in "${afters[@]}"; do
      bash -c "$check" >>"$out" 2>&1 || failed "after-check failed: $check"
    done
    # A crash that the script did not notice still fails the test.
    crashed && failed "the program crashed"
    cleanup
    exit 0
  )
}
