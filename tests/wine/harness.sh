# Shared steps of the Wine scenarios: a private prefix with a removable drive
# E: backed by a file, a private Xvfb display, a persistent wineserver, the
# wizard started with its console captured, and the driver that works it.
# Source this file (it works under `set -e` too); functions are prefixed tdw_,
# except drv, the driver call that scenarios use on almost every line.

TDW_ROOT=${TDW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TDW_WINE_DIR=${TDW_WINE_DIR:-$TDW_ROOT/build/wine}
TDW_EXE=${TDW_EXE:-$TDW_ROOT/build/win/TalvixDiskWriter.exe}
TDW_DRIVER=${TDW_DRIVER:-$TDW_ROOT/build/win/tdw-driver.exe}
# The 32-bit program runs under WOW64 in the 64-bit prefix: its Install pane
# ends its checks with a warning that the drive will not be restarted.
TDW_WOW64_LINE=
case ${TDW_EXE##*/} in *32.exe) TDW_WOW64_LINE=$'Warning\tThis is the 32-bit program on 64-bit Windows: drive E: will not be restarted after the write, so remove it and plug it in again before you use it. TalvixDiskWriter.exe, the 64-bit program, restarts it.' ;; esac
TDW_LOG_DIR=$TDW_WINE_DIR/logs
TDW_SHOT_DIR=$TDW_WINE_DIR/screenshots
TDW_DRIVE_DIR=$TDW_WINE_DIR/drives
TDW_DRIVE_IMG=$TDW_DRIVE_DIR/e.img
TDW_SESSION_FILE=$TDW_WINE_DIR/session.env
TDW_TIMEOUT=${TDW_TIMEOUT:-30}   # seconds for any single wait; generous on purpose

export WINEPREFIX=${TDW_WINEPREFIX:-$TDW_WINE_DIR/prefix}
export WINEDEBUG=-all
# No Mono/Gecko prompts; no debugger on a crash, so a crash ends the run.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# A kernel that runs no 32-bit programs (some sandboxed machines) cannot start
# Wine's 32-bit loader, which /usr/bin/wine picks once wine32 is installed:
# every program, 64-bit ones too, then fails with "Exec format error". There
# the 64-bit loader is called directly, through a wine of our own first on
# PATH, and the 32-bit program's scenarios are skipped.
TDW_NO_32BIT=0
if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  TDW_NO_32BIT=1
  tdw_wine64_bin=$TDW_WINE_DIR/wine64-bin
  if [ ! -x "$tdw_wine64_bin/wine-stable" ]; then
    mkdir -p "$tdw_wine64_bin"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$tdw_wine64_bin/wine.new"
    chmod +x "$tdw_wine64_bin/wine.new"
    cp "$tdw_wine64_bin/wine.new" "$tdw_wine64_bin/wine-stable.new"
    mv "$tdw_wine64_bin/wine.new" "$tdw_wine64_bin/wine"
    mv "$tdw_wine64_bin/wine-stable.new" "$tdw_wine64_bin/wine-stable"
  fi
  export PATH=$tdw_wine64_bin:$PATH WINELOADER=/usr/lib/wine/wine64
fi

TDW_TEST=${TDW_TEST:-adhoc}
TDW_APP_PID=
TDW_APP_ARGS=()
TDW_APP_RC=
TDW_OWN_SESSION=0
TDW_END_STEPS=()

tdw_log() { printf '[%s] %s\n' "$TDW_TEST" "$*" >&2; }

# ---- prefix and drive ---------------------------------------------------

# Zeroes the file behind E: (size in bytes, default 4 MiB). The links point
# at the path, so the drive sees the new file without a server restart.
tdw_drive_reset() {
  local size=${1:-4194304}
  mkdir -p "$TDW_DRIVE_DIR/e"
  rm -f "$TDW_DRIVE_IMG"
  truncate -s "$size" "$TDW_DRIVE_IMG"
  tdw_kept_clear
}

# The folder where the program keeps what a drive held before a write (the
# computer's application data, not a user's); a new drive has nothing kept.
tdw_kept_folder() { echo "$WINEPREFIX/drive_c/ProgramData/TalvixOS Disk Writer"; }
tdw_kept_clear() {
  local folder
  folder=$(tdw_kept_folder)
  case $folder in */"TalvixOS Disk Writer") rm -rf "$folder" ;; esac
}

# Creates the prefix once; reuses it when its ready mark is there. Must run
# while no server of this prefix runs: the drive registry key is read at start.
tdw_prefix_ensure() {
  local mark=$WINEPREFIX/.tdw-ready
  # A prefix made before 32-bit Wine was installed starts no program at all
  # once it is: the mark says which kind of prefix this is.
  [ -f "$mark" ] && [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$mark")" = "$(tdw_prefix_kind)" ] \
    && { [ -f "$TDW_DRIVE_IMG" ] || tdw_drive_reset; return 0; }
  tdw_log "creating Wine prefix $WINEPREFIX"
  # Only ever remove what looks like an unfinished prefix of ours.
  if [ -d "$WINEPREFIX" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
    [ -d "$WINEPREFIX/dosdevices" ] || { tdw_log "$WINEPREFIX is no Wine prefix; not touching it"; return 1; }
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1 </dev/null || { tdw_log "wineboot failed"; return 1; }
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
  # /reg:64: with 32-bit Wine installed, `wine reg` is the 32-bit tool, whose
  # HKLM\Software is the Wow6432Node that the 64-bit side never reads.
  wine reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f /reg:64 >/dev/null 2>&1 </dev/null
  wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  grep -q '"e:"="floppy"' "$WINEPREFIX/system.reg" || { tdw_log "drive E: not in the registry"; return 1; }
  tdw_drive_reset
  ln -sfn "$TDW_DRIVE_DIR/e" "$WINEPREFIX/dosdevices/e:"
  ln -sfn "$TDW_DRIVE_IMG" "$WINEPREFIX/dosdevices/e::"
  tdw_prefix_kind >"$mark"
}

# Which Wine the prefix is made for: 64-bit alone, or 64- and 32-bit.
tdw_prefix_kind() {
  [ "$TDW_NO_32BIT" = 1 ] && { echo "wine64"; return 0; }
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "wine64+wine32"
  else
    echo "wine64"
  fi
}

# ---- display and server ---------------------------------------------------

# Starts Xvfb on the first display number that nobody holds; sets DISPLAY
# and TDW_XVFB_PID.
tdw_xvfb_start() {
  local n pid i
  mkdir -p "$TDW_LOG_DIR"
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${TDW_XVFB_SCREEN:-1024x768x24}" -nolisten tcp >"$TDW_LOG_DIR/xvfb.log" 2>&1 </dev/null &
    pid=$!
    for i in $(seq 1 $((TDW_TIMEOUT * 10))); do
      kill -0 "$pid" 2>/dev/null || break
      # The lock holds the owner's pid: another Xvfb may have won the number.
      if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
        export DISPLAY=":$n"; TDW_XVFB_PID=$pid
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true
  done
  tdw_log "no Xvfb display could be started"; return 1
}

tdw_xvfb_stop() {
  [ -n "${TDW_XVFB_PID:-}" ] || return 0
  kill "$TDW_XVFB_PID" 2>/dev/null || true
  local i; for i in $(seq 1 50); do kill -0 "$TDW_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$TDW_XVFB_PID" 2>/dev/null || true
  TDW_XVFB_PID=
}

# A persistent server keeps start-up of each wine run short. The first
# program also starts the background services, which inherit its output:
# give it /dev/null so no later pipe waits for them.
tdw_server_start() {
  tdw_server_stop
  wineserver -p </dev/null >/dev/null 2>&1 || { tdw_log "wineserver did not start"; return 1; }
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || { tdw_log "wine cannot run a program"; return 1; }
}

tdw_server_stop() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }

# ---- session: prefix + display + server, shared by a whole test run -----
# session.env names the display, the Xvfb pid and the owner: the process whose
# run the session serves (ctest for the fixture, else the scenario itself).
# Engineers share this tree, so a live session of another owner is waited
# for, never taken over.

TDW_SESSION_OWNER=${TDW_SESSION_OWNER:-$$}
TDW_SESSION_WAIT=${TDW_SESSION_WAIT:-900}

tdw_session_read() {
  DISPLAY= TDW_XVFB_PID= TDW_SESSION_FILE_OWNER=
  # shellcheck disable=SC1090
  [ -f "$TDW_SESSION_FILE" ] && . "$TDW_SESSION_FILE"
  export DISPLAY
}

# True when session.env belongs to a live process other than our owner.
tdw_session_foreign() {
  [ -f "$TDW_SESSION_FILE" ] || return 1
  local owner; owner=$(sed -n 's/^TDW_SESSION_FILE_OWNER=//p' "$TDW_SESSION_FILE")
  [ -n "$owner" ] && [ "$owner" != "$TDW_SESSION_OWNER" ] && kill -0 "$owner" 2>/dev/null
}

tdw_session_start() {
  mkdir -p "$TDW_LOG_DIR" "$TDW_SHOT_DIR"
  local i
  for i in $(seq 1 "$TDW_SESSION_WAIT"); do
    tdw_session_foreign || break
    [ "$i" = 1 ] && tdw_log "another run uses $TDW_WINE_DIR; waiting for it to end"
    sleep 1
  done
  tdw_session_foreign && { tdw_log "$TDW_WINE_DIR stayed busy for ${TDW_SESSION_WAIT}s"; return 1; }
  tdw_session_stop_now_from_file   # a session left behind by a run that died
  tdw_server_stop
  tdw_prefix_ensure || return 1
  tdw_xvfb_start || return 1
  tdw_server_start || { tdw_xvfb_stop; return 1; }
  tdw_check_drive || { tdw_server_stop; tdw_xvfb_stop; return 1; }
  printf 'DISPLAY=%s\nTDW_XVFB_PID=%s\nTDW_SESSION_FILE_OWNER=%s\n' \
    "$DISPLAY" "$TDW_XVFB_PID" "$TDW_SESSION_OWNER" >"$TDW_SESSION_FILE"
  tdw_log "session ready on $DISPLAY (Xvfb pid $TDW_XVFB_PID)"
}

# E: must be a removable drive, or no target test means anything.
tdw_check_drive() {
  [ -f "$TDW_DRIVER" ] || return 0
  wine "$TDW_DRIVER" drives </dev/null 2>/dev/null | tr -d '\r' | grep -xF "E:\\	removable" >/dev/null && return 0
  tdw_log "drive E: is not a removable drive in $WINEPREFIX: $(wine "$TDW_DRIVER" drives 2>&1 | tr '\n' ' ')"
  return 1
}

tdw_session_stop_now_from_file() {
  [ -f "$TDW_SESSION_FILE" ] || return 0
  tdw_session_read
  tdw_server_stop
  tdw_xvfb_stop
  rm -f "$TDW_SESSION_FILE"
}

# Ends our own session (or one whose owner is gone); leaves another run's alone.
tdw_session_stop() {
  tdw_session_foreign && { tdw_log "the session belongs to another run; left running"; return 0; }
  tdw_session_stop_now_from_file
}

# Joins the running session if there is one, else starts a private one that
# ends with the script.
tdw_session_attach() {
  if [ -f "$TDW_SESSION_FILE" ]; then
    tdw_session_read
    if kill -0 "${TDW_XVFB_PID:-0}" 2>/dev/null && [ -f "$WINEPREFIX/.tdw-ready" ]; then
      wineserver -p </dev/null >/dev/null 2>&1 || true   # starts one only if it has gone
      return 0
    fi
    tdw_session_foreign && { tdw_log "the shared session's display $DISPLAY is gone"; return 1; }
  fi
  tdw_session_start || return 1
  TDW_OWN_SESSION=1
}

# ---- a test --------------------------------------------------------------

# tdw_begin <name>: attaches to the session, sets up the logs and the clean-up.
tdw_begin() {
  TDW_TEST=$1${TDW_WOW64_LINE:+-32}  # the 32-bit program's logs beside the 64-bit one's
  mkdir -p "$TDW_LOG_DIR" "$TDW_SHOT_DIR"
  TDW_CONSOLE_LOG=$TDW_LOG_DIR/$TDW_TEST.console.log
  TDW_DRIVER_LOG=$TDW_LOG_DIR/$TDW_TEST.driver.log
  : >"$TDW_DRIVER_LOG"
  for f in "$TDW_EXE" "$TDW_DRIVER"; do
    [ -f "$f" ] || { tdw_log "missing $f: build the cross tree first"; exit 1; }
  done
  if [ -n "$TDW_WOW64_LINE" ] && [ "$TDW_NO_32BIT" = 1 ]; then
    tdw_log "skipped: this machine's kernel runs no 32-bit programs, so 32-bit Wine cannot start $(basename "$TDW_EXE")"
    exit 77
  fi
  trap tdw_end EXIT
  tdw_session_attach || exit 1
  tdw_drv_serve || tdw_log "no served driver: a Wine process for each driver call"
  # Copies kept by an earlier test are of drives that no longer exist.
  tdw_kept_clear
}

tdw_end() {
  local rc=$?
  if [ "$rc" -ne 0 ]; then
    tdw_log "FAILED (exit $rc)"
    if [ -n "$TDW_APP_PID" ] && ! tdw_app_running; then
      tdw_wait_app_exit 1 || true
      tdw_log "the program had ended by itself, exit code $TDW_APP_RC"
    fi
    if [ -n "$TDW_APP_PID" ] && kill -0 "$TDW_APP_PID" 2>/dev/null; then
      echo "---- window tree ----" >&2; drv dump >&2 || true
    fi
    kill -0 "${TDW_XVFB_PID:-0}" 2>/dev/null || tdw_log "the Xvfb of $DISPLAY (pid ${TDW_XVFB_PID:-none}) is gone"
    echo "---- console log ($TDW_CONSOLE_LOG) ----" >&2; cat "$TDW_CONSOLE_LOG" >&2 2>/dev/null
    echo "---- driver log ($TDW_DRIVER_LOG) ----" >&2; tail -n 60 "$TDW_DRIVER_LOG" >&2 2>/dev/null
  fi
  tdw_kill_app
  tdw_drv_unserve
  local step
  for step in "${TDW_END_STEPS[@]}"; do eval "$step" || tdw_log "clean-up step failed: $step"; done
  [ "$TDW_OWN_SESSION" = 1 ] && tdw_session_stop
  exit "$rc"
}

# tdw_on_end <shell command>: runs at the end of the test, pass or fail, after
# the program has been ended: undoes what a test changed in the shared prefix.
tdw_on_end() { TDW_END_STEPS+=("$1"); }

# tdw_fail <message>: ends the test with the message (the EXIT trap reports).
tdw_fail() { tdw_log "FAIL: $*"; exit 1; }

# tdw_skip_part <message>: a part of the test that this machine lacks the
# tools for is left out with the message; with CI=true the test fails instead.
tdw_skip_part() {
  [ "${CI:-}" = true ] && tdw_fail "CI=true, and $*"
  tdw_log "skipped: $*"
}

# ---- the program ------------------------------------------------------------

# tdw_start_app [VAR=value ...]: starts the wizard with extra environment
# (English unless LC_ALL is given), console output to the test's console log;
# TDW_APP_ARGUMENT, when set, is the program's one argument.
tdw_start_app() {
  TDW_APP_ARGS=("$@")
  tdw_kill_app
  [ -f "$TDW_DRIVE_IMG" ] || tdw_drive_reset
  # Wine's own error lines go to the console log too: they explain a start that fails.
  env WINEDEBUG="${TDW_APP_WINEDEBUG:--all,err+all}" LC_ALL=en_US.UTF-8 "$@" \
    wine "$TDW_EXE" ${TDW_APP_ARGUMENT:+"$TDW_APP_ARGUMENT"} </dev/null >"$TDW_CONSOLE_LOG" 2>&1 &
  TDW_APP_PID=$!
  echo "$TDW_APP_PID" >"$TDW_WINE_DIR/$TDW_TEST.app.pid"
  tdw_log "started $(basename "$TDW_EXE") (pid $TDW_APP_PID) $*"
}

tdw_app_running() { [ -n "$TDW_APP_PID" ] && kill -0 "$TDW_APP_PID" 2>/dev/null; }

# tdw_wait_app_exit [seconds]: waits for the wizard to end; sets TDW_APP_RC.
tdw_wait_app_exit() {
  local limit=${1:-$TDW_TIMEOUT} i
  for i in $(seq 1 $((limit * 10))); do
    tdw_app_running || break
    sleep 0.1
  done
  tdw_app_running && return 1
  TDW_APP_RC=0; wait "$TDW_APP_PID" 2>/dev/null || TDW_APP_RC=$?
  rm -f "$TDW_WINE_DIR/$TDW_TEST.app.pid"
  TDW_APP_PID=
  return 0
}

tdw_kill_app() {
  tdw_app_running || { TDW_APP_PID=; return 0; }
  kill "$TDW_APP_PID" 2>/dev/null || true
  tdw_wait_app_exit 10 || { kill -9 "$TDW_APP_PID" 2>/dev/null || true; tdw_wait_app_exit 10 || true; }
}

# ---- the driver ---------------------------------------------------------------

# drv <command> [args]: runs the driver, logs the call and its answer.
drv() {
  local out="" err="" rc=0 lock="" outs errs
  # One call at a time through the served driver; a call made while another
  # is answered (from a job in the background), or after the served driver
  # ended, runs a driver of its own.
  if [ $# -gt 0 ] && [[ $* != *$'\n'* ]] && [ -n "$TDW_DRV_DIR" ] && kill -0 "$TDW_DRV_PID" 2>/dev/null \
    && exec {lock}>"$TDW_DRV_DIR/lock" && flock -n "$lock"; then
    if ! (IFS=$'\x1f'; printf '%s\n' "$*") >&"$TDW_DRV_IN" 2>/dev/null \
      || ! LC_ALL=C read -r rc outs errs <&"$TDW_DRV_OUT"; then
      rc=1 err="tdw-driver: the served driver (pid $TDW_DRV_PID) has ended"
    else
      [ "$outs" -eq 0 ] || LC_ALL=C read -r -N "$outs" out <&"$TDW_DRV_OUT"
      [ "$errs" -eq 0 ] || LC_ALL=C read -r -N "$errs" err <&"$TDW_DRV_OUT"
    fi
  else
    local errors=$TDW_LOG_DIR/.driver.err.$BASHPID
    out=$(wine "$TDW_DRIVER" "$@" </dev/null 2>"$errors") || rc=$?
    err=$(cat "$errors")
    rm -f "$errors"
  fi
  [ -n "$lock" ] && exec {lock}>&-
  # As a command substitution would: no newlines at the end.
  out=${out%"${out##*[!$'\n']}"} err=${err%"${err##*[!$'\n']}"}
  { printf '$ %s -> %d\n' "$*" "$rc"; [ -n "$out" ] && printf '%s\n' "$out"; [ -n "$err" ] && printf '%s\n' "$err"; } >>"$TDW_DRIVER_LOG"
  [ -n "$out" ] && printf '%s\n' "$out"
  [ "$rc" -ne 0 ] && [ -n "$err" ] && printf '%s\n' "$err" >&2
  return "$rc"
}

# tdw_drv_serve: one driver answers the drv calls of this test (a Wine
# process for each call would cost the suite minutes). Both ends are opened in
# the order the driver's shell opens them.
TDW_DRV_DIR= TDW_DRV_PID=
tdw_drv_serve() {
  local dir=$TDW_WINE_DIR/driver.$$
  rm -rf "$dir" && mkdir -p "$dir" && mkfifo "$dir/in" "$dir/out" || return 1
  wine "$TDW_DRIVER" serve <"$dir/in" >"$dir/out" 2>>"$TDW_DRIVER_LOG" &
  TDW_DRV_PID=$!
  exec {TDW_DRV_IN}>"$dir/in" {TDW_DRV_OUT}<"$dir/out"
  TDW_DRV_DIR=$dir
}

# tdw_drv_unserve: an empty line ends the served driver.
tdw_drv_unserve() {
  [ -n "$TDW_DRV_DIR" ] || return 0
  # In a subshell: a driver that has ended already would end this shell with SIGPIPE.
  (printf '\n' >&"$TDW_DRV_IN") 2>/dev/null
  exec {TDW_DRV_IN}>&- {TDW_DRV_OUT}<&-
  tdw_wait_until 10 tdw_drv_served_gone || kill "$TDW_DRV_PID" 2>/dev/null
  wait "$TDW_DRV_PID" 2>/dev/null
  rm -rf "$TDW_DRV_DIR"
  TDW_DRV_DIR= TDW_DRV_PID=
}
tdw_drv_served_gone() { ! kill -0 "$TDW_DRV_PID" 2>/dev/null; }

# tdw_drv_serve_again: a new served driver, after a change that Wine reads
# once a process (the screen's DPI, from LogPixels).
tdw_drv_serve_again() { [ -z "$TDW_DRV_DIR" ] || { tdw_drv_unserve; tdw_drv_serve; }; }

# tdw_wait_until <seconds> <command...>: polls until the command succeeds,
# for that many seconds of the clock however long each try takes. A try is
# cheap (a served driver call, a file read), so it polls often: a scenario
# waits on hundreds of conditions, and each poll's interval is time lost.
tdw_wait_until() {
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.05
  done
}

# tdw_drv_is <expected> <driver args...>: succeeds when the answer matches.
tdw_drv_is() { local want=$1 out; shift; out=$(drv "$@" 2>/dev/null) && [ "$out" = "$want" ]; }

# tdw_expect <expected> <driver args...>: fails the test unless the answer
# matches, after polling up to TDW_TIMEOUT (the window may still be changing).
tdw_expect() {
  local want=$1; shift
  tdw_wait_until "$TDW_TIMEOUT" tdw_drv_is "$want" "$@" && return 0
  tdw_fail "'$*': expected '$want', got '$(drv "$@" 2>&1)'"
}

# tdw_expect_out <expected> <command...>: like tdw_expect for any command
# (a shell function too), polled the same way.
tdw_out_is() { local want=$1 out; shift; out=$("$@" 2>/dev/null) && [ "$out" = "$want" ]; }
tdw_expect_out() {
  local want=$1; shift
  tdw_wait_until "$TDW_TIMEOUT" tdw_out_is "$want" "$@" && return 0
  tdw_fail "'$*': expected '$want', got '$("$@" 2>&1)'"
}

# tdw_status_line <n>: the n-th status line (from 1); tdw_source_line: the
# first, the one about the image to write.
tdw_status_line() { drv status | sed -n "$1p"; }
tdw_source_line() { tdw_status_line 1; }
# tdw_sha_line <name> <file> [en|nl]: the Ok line with a file's SHA-256.
tdw_sha_line() {
  printf 'Ok\tSHA-256 %s %s: %s' "$([ "${3:-en}" = nl ] && echo van || echo of)" "$1" "$(sha256sum <"$2" | cut -c1-64)"
}

# ---- shared steps -------------------------------------------------------------

# Waits for the window and the loader's outcome (Next on Welcome enabled).
# Wine now and then fails to start a process before any of the program's code
# runs ("failed to map the shared user data"); that is no fault of the program.
tdw_wine_start_failed() {
  ! tdw_app_running && grep -a "shared user data" "$TDW_CONSOLE_LOG" >/dev/null 2>&1
}
# tdw_wait_main: waits for the main window; a start that Wine itself failed is
# made again (twice at most), any other end of the program fails the test.
tdw_wait_main() {
  local attempt waited
  for attempt in 1 2 3; do
    for waited in $(seq 1 "$TDW_TIMEOUT"); do
      drv wait-main 1000 >/dev/null 2>&1 && return 0
      tdw_app_running || break
    done
    tdw_wine_start_failed || tdw_fail "the main window did not appear"
    tdw_log "Wine could not start the program (attempt $attempt); starting it again"
    tdw_start_app "${TDW_APP_ARGS[@]}"
  done
  tdw_fail "Wine could not start the program three times"
}
tdw_wait_ready() {
  tdw_wait_main
  tdw_expect welcome shown
  tdw_expect 1 enabled welcome 102
}

TDW_PANE_NAMES=(welcome target install reboot)

# tdw_goto <index>: selects a pane-list entry and checks the pane follows.
tdw_goto() {
  drv select "$1" >/dev/null || tdw_fail "cannot select pane $1"
  tdw_expect "${TDW_PANE_NAMES[$1]}" shown
}

# tdw_screenshot <file.png> [pane]: the whole screen, or cut to a pane (or
# "main") after a full repaint. Wine hands a painted window to the X server a
# moment later: the picture is taken again until two in a row are the same.
tdw_screenshot() {
  local file=$1 pane=${2:-} geometry=() end=$((SECONDS + TDW_TIMEOUT))
  mkdir -p "$(dirname "$file")"
  drv redraw >/dev/null 2>&1 || true
  if [ -n "$pane" ]; then
    local l t r b
    read -r l t r b < <(drv rect --client "$pane") || tdw_fail "no rectangle for $pane"
    geometry=(-crop "$((r - l))x$((b - t))+$l+$t" +repage)
  fi
  local grab=$file.xwd signature= previous=
  until [ -n "$signature" ] && [ "$signature" = "$previous" ]; do
    [ "$SECONDS" -lt "$end" ] || tdw_fail "screenshot $file: the screen kept changing"
    previous=$signature
    xwd -root -silent -display "$DISPLAY" >"$grab" \
      && signature=$(convert "xwd:$grab" "${geometry[@]}" -format '%#' info:) \
      || tdw_fail "screenshot $file failed"
  done
  convert "xwd:$grab" "${geometry[@]}" "png:$file" || tdw_fail "screenshot $file failed"
  rm -f "$grab"
  tdw_log "screenshot $file"
}

# tdw_close_app: closes the window as the shell would; the program must end
# with exit code 0.
tdw_close_app() {
  drv close >/dev/null || tdw_fail "cannot close the window"
  tdw_wait_app_exit "$TDW_TIMEOUT" || tdw_fail "the program still runs after WM_CLOSE"
  [ "$TDW_APP_RC" = 0 ] || tdw_fail "the program ended with exit code $TDW_APP_RC"
}

TDW_TITLES_EN=("Welcome" "Select target" "Install" "Reboot")
TDW_TITLES_NL=("Welkom " "Doel kiezen" "Installeren" "Herstarten")
TDW_TITLES_NONE=("..." "..." "..." "...")

# tdw_pane_list <selected> <title...>: the pane list as `drv panes` prints it.
tdw_pane_list() {
  local selected=$1 i=0 title; shift
  for title in "$@"; do printf '%d\t%d\t%s\n' "$i" "$((i == selected))" "$title"; i=$((i + 1)); done
}

# tdw_console_has <line>: the console log holds exactly this line.
# Reads the whole log: grep -q would stop early and, under pipefail, fail the pipe.
tdw_console_has() { tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -xF -- "$1" >/dev/null; }

# tdw_expect_console <line>: waits for the line in the console log.
tdw_expect_console() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_console_has "$1" || tdw_fail "console log lacks the line '$1'"
}

# tdw_expect_lang <index>: the language toolbar has this button checked.
tdw_lang_is() { [ "$(drv lang-checked 2>/dev/null | head -n1)" = "$1" ]; }
tdw_expect_lang() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_lang_is "$1" \
    || tdw_fail "language button $1 is not checked: $(drv lang-checked 2>&1 | tr '\n' ' ')"
}

# tdw_console_in_order <line>...: the console log holds these lines in this
# order (others may come between); on failure names the first one missing.
tdw_console_in_order() {
  local missing
  missing=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | python3 -c '
import sys
lines = sys.stdin.read().split("\n")
at = 0
for want in sys.argv[1:]:
    while at < len(lines) and lines[at] != want:
        at += 1
    if at == len(lines):
        print(want)
        break
    at += 1
' "$@") || tdw_fail "cannot read the console log"
  [ -z "$missing" ] && return 0
  tdw_log "console line missing or out of order: '$missing'"
  return 1
}

# ---- paths between the prefix and the host --------------------------------

# tdw_unix_path <C:\...|Z:\...>: where a Windows path of the prefix lies.
tdw_unix_path() {
  local path=${1//\\//}
  case $path in
    [Cc]:/*) printf '%s/drive_c/%s\n' "$WINEPREFIX" "${path#??/}" ;;
    [Zz]:/*) printf '/%s\n' "${path#??/}" ;;
    *) return 1 ;;
  esac
}

# tdw_win_path <absolute unix path>: the same file seen through drive Z:.
tdw_win_path() { local path=${1//\//\\}; printf 'Z:%s\n' "$path"; }

# tdw_temp_dir: the program's temporary folder on the host, from its console
# line "Using temporary folder: ...".
tdw_temp_dir() {
  local folder
  folder=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | sed -n 's/^Using temporary folder: //p' | head -n1)
  [ -n "$folder" ] && tdw_unix_path "$folder"
}

# ---- program variants ---------------------------------------------------------

# tdw_variant <name> <entry name> [corrupt]: the plain program with the demo
# image attached as a ZIP archive under another entry name; "corrupt" spoils
# a byte of the deflated data, so unpacking must fail. Prints the program's
# path: <wine dir>/variants/<name>/TalvixDiskWriter.exe (the driver knows the
# wizard by that file name). "plain" as the entry name: no archive at all.
tdw_variant() {
  local name=$1 entry=$2 corrupt=${3:-} dir=$TDW_WINE_DIR/variants/$1
  local plain=${TDW_PLAIN_EXE:-$(dirname "$TDW_EXE")/TalvixDiskWriter-plain.exe}
  local image=${TDW_DEMO_IMAGE:-$(dirname "$TDW_EXE")/T64DEMO1.IMG}
  mkdir -p "$dir"
  python3 - "$plain" "$image" "$entry" "$corrupt" "$dir/TalvixDiskWriter.exe" <<'PY' || return 1
import io, sys, zipfile
plain, image, entry, corrupt, out = sys.argv[1:]
program = open(plain, "rb").read()
archive = b""
if entry != "plain":
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as zf:
        info = zipfile.ZipInfo(entry, date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        zf.writestr(info, open(image, "rb").read())
    archive = bytearray(buffer.getvalue())
    if corrupt:
        # The deflated data follows the 30-byte local header and the name.
        at = 30 + len(entry.encode()) + 200
        archive[at] ^= 0xFF
open(out, "wb").write(program + bytes(archive))
PY
  printf '%s\n' "$dir/TalvixDiskWriter.exe"
}
