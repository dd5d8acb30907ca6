#!/usr/bin/env bash
# Device notifications and drives coming and going while a write runs: bursts
# of 200 WM_DEVICECHANGE messages (arrival and removal of E:) and drive F:
# added and removed through Wine's mount manager, from before Start is
# pressed until the write has ended. None of it touches E:, so every write
# ends byte for byte right on the Reboot pane; the window keeps answering,
# the program never crashes, and afterwards the drive list holds E: again
# and a plain write still succeeds.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
tdw_begin stress_devchange_during_write

rounds=${TDW_STRESS_ROUNDS:-3}
folder=$TDW_DRIVE_DIR/f
device=$TDW_DRIVE_DIR/f.img
stop_mark=$TDW_WINE_DIR/$TDW_TEST.stop
noise_pids=()

stop_noise() {
  touch "$stop_mark"
  local pid
  for pid in "${noise_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  noise_pids=()
  rm -f "$stop_mark"
}
tdw_on_end 'stop_noise; drv unmount F >/dev/null 2>&1; rm -f "$WINEPREFIX/dosdevices/f:" "$WINEPREFIX/dosdevices/f::" "$device"; tdw_w_drive_restore'

# The loops end at the stop mark; each also ends after 60 rounds at most.
burst_loop() {
  local i
  for i in $(seq 1 60); do
    [ -e "$stop_mark" ] && return 0
    drv devchange 200 >/dev/null || echo "burst $i: no answer to the arrivals" >>"$TDW_WINE_DIR/$TDW_TEST.noise"
    drv devchange 200 removal >/dev/null || echo "burst $i: no answer to the removals" >>"$TDW_WINE_DIR/$TDW_TEST.noise"
  done
}
mount_loop() {
  local i
  for i in $(seq 1 60); do
    [ -e "$stop_mark" ] && return 0
    drv mount F "$folder" "$device" >/dev/null || echo "mount $i refused" >>"$TDW_WINE_DIR/$TDW_TEST.noise"
    drv devchange 1 arrival F >/dev/null || true
    drv unmount F >/dev/null || echo "unmount $i refused" >>"$TDW_WINE_DIR/$TDW_TEST.noise"
    drv devchange 1 removal F >/dev/null || true
  done
}

count_lines() { tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -c -- "$1" || true; }
# The write has ended once the console reports it or the writer gave up;
# the lines are counted anew at every look.
round_ended() {
  [ "$(count_lines '^Wrote [0-9]* of 160 chunks')" -gt "$wrote" ] || [ "$(count_lines '^End of thread\.$')" -gt "$ends" ]
}

mkdir -p "$folder"
rm -f "$device" "$TDW_WINE_DIR/$TDW_TEST.noise" "$stop_mark"
truncate -s 1474560 "$device"
drv unmount F >/dev/null 2>&1 || true
tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready

succeeded=0
for ((round = 1; round <= rounds; round++)); do
  tdw_w_choose_e
  tdw_s_scribble
  starts=$(count_lines '^Starting write\.\.\.$')
  ends=$(count_lines '^End of thread\.$')
  wrote=$(count_lines '^Wrote [0-9]* of 160 chunks')

  burst_loop & noise_pids+=($!)
  mount_loop & noise_pids+=($!)
  drv click install 111 >/dev/null || { stop_noise; tdw_fail "round $round: cannot press Start"; }
  tdw_wait_until $((TDW_TIMEOUT * 2)) round_ended \
    || { stop_noise; tdw_fail "round $round: the write did not end; status: $(tdw_w_status)"; }
  [ "$(count_lines '^Starting write\.\.\.$')" = $((starts + 1)) ] || { stop_noise; tdw_fail "round $round: not one write started"; }
  stop_noise
  [ -s "$TDW_WINE_DIR/$TDW_TEST.noise" ] && { cat "$TDW_WINE_DIR/$TDW_TEST.noise" >&2; tdw_fail "round $round: the window stopped answering during the noise"; }
  drv ping >/dev/null || tdw_fail "round $round: the window no longer answers"
  tdw_app_running || tdw_fail "round $round: the program ended"

  # The noise never touches E:, so nothing excuses a failed write.
  [ "$(count_lines "$TDW_S_LINE_WROTE_ALL")" -gt "$succeeded" ] \
    || tdw_fail "round $round: the write failed under noise that never touches E:; status: $(tdw_w_status)"
  succeeded=$((succeeded + 1))
  tdw_wait_until "$TDW_TIMEOUT" tdw_drv_is reboot shown \
    || tdw_fail "round $round: written, but no Reboot pane; shown: $(drv shown 2>&1)"
  tdw_w_expect_written
  tdw_log "round $round: written byte for byte under noise: $(tr -d '\r' <"$TDW_CONSOLE_LOG" | grep '^Wrote ' | tail -n 1)"
done

# E: alone again, and a write without noise succeeds.
tdw_w_choose_e
tdw_s_scribble
tdw_w_start
tdw_w_expect_done
tdw_w_expect_written
tdw_s_expect_no_crash
tdw_close_app
