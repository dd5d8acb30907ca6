#!/usr/bin/env bash
# Two instances started at the same moment, so that both write, read and
# delete the same temporary files in the same temporary folder: each either
# loads its image (the edition's introduction) or says on its console why
# not (the no-image introduction); each still answers, ends with exit code 0
# when closed, never crashes; and no temporary file stays behind. Several
# rounds, each instance starting first in turn.
# The driver talks to the window of TalvixDiskWriter.exe when there is one,
# so the second instance runs as a copy under another name and is worked
# once the first has been closed.
# In the first half of the rounds both start together and meet by chance; in
# the second half the first is held with its temporary archive open while
# the second starts and tries to write its own.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
tdw_begin stress_two_instances

rounds=${TDW_STRESS_ROUNDS:-4}
second_exe=$TDW_WINE_DIR/two/TDWSecondInstance.exe
second_log=$TDW_LOG_DIR/$TDW_TEST.second.console.log
second_pid=
stop_second() {
  [ -n "$second_pid" ] || return 0
  kill "$second_pid" 2>/dev/null
  for _ in $(seq 1 $((TDW_TIMEOUT * 10))); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$second_pid" 2>/dev/null
  wait "$second_pid" 2>/dev/null
  second_pid=
  return 0
}
tdw_on_end stop_second

mkdir -p "$(dirname "$second_exe")"
cp "$TDW_EXE" "$second_exe" || tdw_fail "cannot copy the program"

start_second() {
  env WINEDEBUG=-all,err+all LC_ALL=en_US.UTF-8 wine "$second_exe" </dev/null >"$second_log" 2>&1 &
  second_pid=$!
}

# hold_writer <temp folder> <other console log> <mark> <own console log>: waits for a wizard
# process of this prefix to have the temporary archive open, holds it there
# (SIGSTOP), touches the mark, and lets it go on when the other instance has
# gone past writing its own archive (its console says so) or after 10 s.
# Touches <mark>.ready once it watches. Prints what happened.
hold_writer() {
  python3 - "$@" <<'PY'
import os, signal, sys, time
archive = os.path.join(os.path.realpath(sys.argv[1]), "TDW0004.ZIP")
other_log, mark = sys.argv[2], sys.argv[3]
past = ("Start unpacking...", "Encountered an error.", "Ready...")
before, wizards = set(os.listdir("/proc")), []

def archive_holder():
    # Only processes started after the watch began; Wine names a process
    # after its program a moment after it starts, so the name is read again.
    for name in ([] if wizards else os.listdir("/proc")):
        if name.isdigit() and name not in before and int(name) not in wizards:
            try:
                if open(f"/proc/{name}/comm").read().startswith("TalvixDiskWrite"):
                    wizards.append(int(name))
            except OSError:
                pass
    for pid in wizards:
        try:
            if any(os.path.realpath(f"/proc/{pid}/fd/{fd}") == archive for fd in os.listdir(f"/proc/{pid}/fd")):
                return pid
        except OSError:
            pass
    return None

def fd_of(pid):
    for fd in os.listdir(f"/proc/{pid}/fd"):
        if os.path.realpath(f"/proc/{pid}/fd/{fd}") == archive:
            return fd
    return "none"

def went_past():
    try:
        return any(line.rstrip("\r\n") in past for line in open(other_log, errors="replace"))
    except OSError:
        return False

open(mark + ".ready", "w").close()
# First the wizard process, then only its descriptors, as fast as we can;
# the watch ends when it reports ready (the archive is gone by then).
deadline = time.time() + 30
first_log = sys.argv[4]
pid = None
while time.time() < deadline and not wizards:
    archive_holder()
    time.sleep(0.0005)
held = None
while wizards and time.time() < deadline and held is None:
    held = archive_holder()
    if held is None and os.path.exists(first_log) and "Ready..." in open(first_log, errors="replace").read():
        break
pid = held
if pid is None:
    open(mark, "w").close()
    print(f"the first instance was not caught with its archive open (wizards seen: {wizards})")
    sys.exit(0)
os.kill(pid, signal.SIGSTOP)
try:
    open(mark, "w").close()
    held_until = time.time() + 10
    while time.time() < held_until and not went_past():
        time.sleep(0.002)
    try:
        flags = int([l for l in open(f"/proc/{pid}/fdinfo/{fd_of(pid)}") if l.startswith("flags:")][0].split()[1], 8)
        phase = "writing" if flags & 3 else "reading or deleting"
    except (OSError, IndexError, ValueError):
        phase = "using"
    print(f"held {pid} {phase} its archive until the second had gone past its own: {went_past()}")
finally:
    os.kill(pid, signal.SIGCONT)
PY
}

# Wine itself now and then fails to start a process ("failed to map the
# shared user data"), before any of the program runs; such a round is run
# again, up to three times in all.
wine_start_failed() { ! kill -0 "$1" 2>/dev/null && grep -q 'failed to map the shared user data' "$2"; }
started() { grep -q '^Using temporary folder' "$2" || ! kill -0 "$1" 2>/dev/null; }

loaded=0
retries=0
temp=$WINEPREFIX/drive_c/users/$(id -un)/Temp
for ((round = 1; round <= rounds; round++)); do
  : >"$second_log"
  if ((round > rounds / 2)); then
    # The worst meeting, made sure: the second starts while the first holds
    # the temporary archive open.
    mark=$TDW_WINE_DIR/$TDW_TEST.held
    rm -f "$mark" "$mark.ready"
    : >"$TDW_CONSOLE_LOG"
    hold_writer "$temp" "$second_log" "$mark" "$TDW_CONSOLE_LOG" >"$mark.log" &
    holder=$!
    tdw_wait_until "$TDW_TIMEOUT" test -e "$mark.ready" || tdw_fail "round $round: the holder does not watch"
    tdw_start_app
    tdw_wait_until $((TDW_TIMEOUT + 5)) test -e "$mark" || tdw_fail "round $round: the holder did not report"
    wine_start_failed "$TDW_APP_PID" "$TDW_CONSOLE_LOG" || start_second
    wait "$holder" || tdw_fail "round $round: $(cat "$mark.log")"
    tdw_log "round $round: $(cat "$mark.log")"
  elif ((round % 2)); then
    tdw_start_app; start_second
  else
    start_second; tdw_start_app
  fi
  tdw_log "round $round: first instance pid $TDW_APP_PID, second ${second_pid:-not started}"
  tdw_wait_until "$TDW_TIMEOUT" started "$TDW_APP_PID" "$TDW_CONSOLE_LOG" || tdw_fail "round $round: the first instance does not start"
  [ -z "$second_pid" ] || tdw_wait_until "$TDW_TIMEOUT" started "$second_pid" "$second_log" \
    || tdw_fail "round $round: the second instance does not start"
  if wine_start_failed "$TDW_APP_PID" "$TDW_CONSOLE_LOG" || { [ -n "$second_pid" ] && wine_start_failed "$second_pid" "$second_log"; }; then
    ((++retries <= 3)) || tdw_fail "Wine failed to start a process $retries times"
    tdw_log "round $round: Wine could not start a process; the round is run again"
    tdw_kill_app; stop_second
    round=$((round - 1))
    continue
  fi

  # The first instance (the driver finds it by its name).
  tdw_wait_ready
  text=$(drv text welcome 100) || tdw_fail "round $round: cannot read the first instance's Welcome text"
  first=$(tdw_s_expect_loader_outcome "$text" "$TDW_CONSOLE_LOG" "round $round, first instance") || exit 1
  kill -0 "$second_pid" 2>/dev/null || tdw_fail "round $round: the second instance ended by itself: $(tr -d '\r' <"$second_log" | tail -n 5)"
  tdw_close_app

  # Now the second one is the only wizard window.
  tdw_wait_until "$TDW_TIMEOUT" grep -q '^Ready\.\.\.' "$second_log" || tdw_fail "round $round: the second instance is not ready"
  drv wait-main $((TDW_TIMEOUT * 1000)) >/dev/null || tdw_fail "round $round: no window of the second instance"
  tdw_expect 1 enabled welcome 102
  text=$(drv text welcome 100) || tdw_fail "round $round: cannot read the second instance's Welcome text"
  second=$(tdw_s_expect_loader_outcome "$text" "$second_log" "round $round, second instance") || exit 1
  drv close >/dev/null || tdw_fail "round $round: cannot close the second instance"
  rc=0
  for _ in $(seq 1 $((TDW_TIMEOUT * 10))); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$second_pid" 2>/dev/null && tdw_fail "round $round: the second instance still runs after WM_CLOSE"
  wait "$second_pid" || rc=$?
  second_pid=
  [ "$rc" = 0 ] || tdw_fail "round $round: the second instance ended with exit code $rc"
  tdw_s_expect_no_crash "$TDW_CONSOLE_LOG"
  tdw_s_expect_no_crash "$second_log"
  tdw_log "round $round: first: $first; second: $second"
  [ "$first" = loaded ] && loaded=$((loaded + 1))
  [ "$second" = loaded ] && loaded=$((loaded + 1))

  # Both gone: nothing of theirs left in the temporary folder.
  temp=$(tdw_temp_dir) || tdw_fail "no temporary folder on the console"
  leftovers=$(find "$temp" -maxdepth 1 \( -iname '*TDW0004.ZIP*' -o -iname 'T64DEMO1.IMG' \) 2>/dev/null)
  [ -z "$leftovers" ] || tdw_fail "round $round: temporary files left behind: $leftovers"
done
tdw_log "$loaded of $((2 * rounds)) starts loaded their image"
