#!/usr/bin/env bash
# 150 writes in a row to drive E: without leaving the Install and Reboot panes
# (back to Install by the pane list or by Previous, Start again), as a
# classroom writes its cards. The drive is scribbled over before each write,
# each time with other bytes (as if a file were saved on it since), so every
# write must put the whole image there and keep a new copy: each ends byte
# for byte right. After every check run the status list ends with the lines
# of all writes so far, oldest first, three per write. Over the last hundred
# writes (by then the kept copies have long reached their limit of 20, and
# each write lets the oldest go once read back) the process is measured
# after every write, once no worker thread of it runs any more, and what its
# heaps hold in use grows by no more than its status list does: the slope
# fitted through those hundred figures, not two of them. What Wine has
# committed is held to a looser slope: its heap commits more at a busy moment,
# when blocks freed in another order leave gaps too small for the next, and
# keeps it.
# Handles, GDI and USER objects stay the same where Windows counts them (Wine
# does not).
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
tdw_begin stress_repeated_writes
tdw_w_on_exit tdw_w_drive_restore

writes=${TDW_STRESS_WRITES:-150}
checkpoints=" 1 2 10 25 50 100 $writes "
# The last hundred writes (the last two thirds of a shorter run) are measured.
measured_from=$((writes > 150 ? writes - 99 : writes / 3 + 1))
figures=$TDW_WINE_DIR/logs/stress_repeated_writes.figures
: >"$figures"

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
tdw_s_expect_replayed 0
# Each write is measured with the program at rest: its window's thread
# alone under Wine, or as many threads as once the first drive list is made.
pid=$(tdw_s_unix_pid)
tdw_s_probe_serve
tdw_wait_until "$TDW_TIMEOUT" tdw_s_at_rest "$pid" 1 || true
idle_threads=$(tdw_s_threads "$pid")

# Few driver calls a round, each a Wine start: a click succeeds only on a
# visible, enabled Start, and the console tells when the write loop is done.
for ((i = 1; i <= writes; i++)); do
  if [ "$i" -gt 1 ]; then
    # Half the time the pane list, half the time Reboot's Previous button.
    if ((i % 2)); then
      drv select 2 >/dev/null || tdw_fail "cannot select Install"
    else
      drv click reboot 101 >/dev/null || tdw_fail "cannot press Previous on Reboot"
    fi
    # After the fresh check run, the lines of every write so far.
    case "$checkpoints" in *" $((i - 1)) "*) tdw_expect install shown; tdw_s_expect_replayed $((i - 1)) ;; esac
  fi
  tdw_s_scribble "$i"
  tdw_wait_until "$TDW_TIMEOUT" drv click install 111 \
    || tdw_fail "write $i: cannot press Start; shown: $(drv shown 2>&1); status: $(tdw_w_status)"
  tdw_s_wait_writes "$i" \
    || tdw_fail "write $i: the console reports $(tdw_s_writes_done) whole writes; status: $(tdw_w_status)"
  tdw_wait_until "$TDW_TIMEOUT" tdw_drv_is reboot shown \
    || tdw_fail "write $i: no Reboot pane; shown: $(drv shown 2>&1); status: $(tdw_w_status)"
  [ "$(tdw_s_writes_done)" = "$i" ] || tdw_fail "write $i: the console reports $(tdw_s_writes_done) whole writes"
  tdw_w_expect_written
  [ "$i" -lt "$measured_from" ] || echo "$i $(tdw_s_measure_at_rest "$pid" "$idle_threads")" >>"$figures"
  # TDW_STRESS_REGIONS=1: where the commit lies, allocation by allocation,
  # at the first and the last measured write, to compare.
  if [ -n "${TDW_STRESS_REGIONS:-}" ] && { [ "$i" = "$measured_from" ] || [ "$i" = "$writes" ]; }; then
    wine "$TDW_S_PROBE" procregions "$(basename "$TDW_EXE")" </dev/null >"$figures.regions-$i" 2>/dev/null
  fi
done

# Every write kept what the drive held, and the copies stay at their limit.
[ "$(grep -ac '^Kept what drive E: held as ' "$TDW_CONSOLE_LOG")" = "$writes" ] \
  || tdw_fail "not every write kept a new copy: $(grep -ac '^Kept what drive E: held as ' "$TDW_CONSOLE_LOG") of $writes"
kept=$(find "$(tdw_kept_folder)" -name 'kept-*.tdwcopy' | wc -l)
[ "$writes" -lt 20 ] || [ "$kept" = 20 ] || tdw_fail "$kept copies are kept after $writes writes, not 20"
tdw_goto 2
tdw_s_expect_replayed "$writes"
tdw_expect_console "Restart [E] if possible..."
tdw_s_expect_no_crash

if [ "$writes" -ge 30 ]; then
  tdw_log "first and last measured: $(head -n 1 "$figures") / $(tail -n 1 "$figures")"
  # The status list and the progress log hold three more short lines after
  # each write: 962 bytes in use, 1,346 when the list box's array of rows
  # grows, in every run, beside busy processes too; 1 KB a write more fails.
  # Wine's commit count grew by 700 to 2,004 bytes a write, more under more
  # load, in steps of 4 to 36 KB; memory taken outside the heaps comes in
  # pages of 4 KB, and a page a write more fails.
  tdw_s_expect_slope "$figures" heap 1536
  tdw_s_expect_slope "$figures" pagefile 4096
  tdw_s_expect_slope "$figures" working-set 4096
  tdw_s_expect_slope "$figures" rss 4
  tdw_s_expect_slope "$figures" fds 0.01
  tdw_s_expect_slope "$figures" threads 0.01
  tdw_s_expect_flat "$figures" handles
  tdw_s_expect_flat "$figures" gdi
  tdw_s_expect_flat "$figures" user
fi
tdw_close_app
