#!/usr/bin/env bash
# 100 writes in a row to drive E: without leaving the Install and Reboot panes
# (back to Install by the pane list or by Previous, Start again). The drive is
# scribbled over before each write, so every write must put the whole image
# there: each ends byte for byte right. Every check run replays the lines of
# all writes so far, oldest first, three per write. Between write 25 (by then
# the kept copies of the scribbled drive have reached their limit of 20, and
# each write deletes the oldest) and write 100 the process grows by no more
# than a few percent (memory as Wine reports it, Unix descriptors and threads).
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
tdw_begin stress_repeated_writes
tdw_w_on_exit tdw_w_drive_restore

writes=${TDW_STRESS_WRITES:-100}
checkpoints=" 1 2 10 25 50 $writes "

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
tdw_s_expect_replayed 0

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
    # The fresh check run replays every write so far.
    case "$checkpoints" in *" $((i - 1)) "*) tdw_expect install shown; tdw_s_expect_replayed $((i - 1)) ;; esac
  fi
  tdw_s_scribble
  tdw_wait_until "$TDW_TIMEOUT" drv click install 111 \
    || tdw_fail "write $i: cannot press Start; shown: $(drv shown 2>&1); status: $(tdw_w_status)"
  tdw_s_wait_writes "$i" \
    || tdw_fail "write $i: the console reports $(tdw_s_writes_done) whole writes; status: $(tdw_w_status)"
  tdw_wait_until "$TDW_TIMEOUT" tdw_drv_is reboot shown \
    || tdw_fail "write $i: no Reboot pane; shown: $(drv shown 2>&1); status: $(tdw_w_status)"
  [ "$(tdw_s_writes_done)" = "$i" ] || tdw_fail "write $i: the console reports $(tdw_s_writes_done) whole writes"
  tdw_w_expect_written
  case $i in
    25) before=$(tdw_s_measure); tdw_log "after write 25: $before" ;;
    "$writes") after=$(tdw_s_measure); tdw_log "after write $writes: $after" ;;
  esac
done

tdw_goto 2
tdw_s_expect_replayed "$writes"
tdw_expect_console "Restart [E] if possible..."
tdw_s_expect_no_crash

if [ "$writes" -ge 25 ]; then
  # The status list legitimately grows by three short lines a write.
  # Wine's commit count grows by about 11 KB a write while the process's
  # resident memory stays the same to the page: a tenth is allowed there.
  tdw_s_expect_no_growth "$before" "$after" pagefile 10
  tdw_s_expect_no_growth "$before" "$after" working-set 5
  tdw_s_expect_no_growth "$before" "$after" rss 5
  tdw_s_expect_no_growth "$before" "$after" fds 0 2
  tdw_s_expect_no_growth "$before" "$after" threads 0 2
fi
tdw_close_app
