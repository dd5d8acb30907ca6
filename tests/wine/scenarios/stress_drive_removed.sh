#!/usr/bin/env bash
# Drive E: taken away in the middle of a write. E: is a file on a FUSE drive
# (fuse_drive.py) that holds the write once it reaches chunk 41, so the fault
# is made in the write's middle however fast or busy the machine is, and then
# lets the write go on:
# (a) the card is pulled: every read and write fails from then on, as a card
#     reader's do: the Error line that says the drive went away, the console
#     says where the write stopped, no crash, the window answers; the card
#     put back is written whole;
# (b) the drive's link is pointed at /dev/full: the write goes on to the
#     device that was opened and ends byte for byte right there; the next
#     write, to /dev/full, ends in the error of a full drive;
# (c) the drive restored: the next write succeeds byte for byte.
# Needs what a FUSE drive needs (fuse_steps.sh): without it the scenario is
# skipped, or fails when CI=true.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
. "$(dirname "$0")/../fuse_steps.sh"
TDW_TEST=stress_drive_removed
tdw_f_require "a drive pulled mid-write"
tdw_begin stress_drive_removed
tdw_f_setup "$TDW_W_WORK/removed"

held_at=$((40 * 9216))
gate=$TDW_F_DIR/write-may-go
held=$TDW_F_DIR/write-held
gone=$TDW_F_DIR/card-gone
line_gone="Error	Drive E: went away during the write (stick or card pulled out): it holds only part of the image. Plug it in again, select it in the \"Select target\" pane and press Start. (Windows error 21: Not ready.)"
rm -f "$gone"
tdw_f_mount --keep --hold-writes "$gate" --hold-from "$held_at" --held "$held" --gone "$gone"
TDW_F_GATE=$gate

count_lines() { tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -c -- "$1" || true; }
ended_since() { [ "$(count_lines '^End of thread\.$')" -gt "$1" ]; }

# fuse_written: the FUSE drive holds the image, and its fill byte after it.
fuse_written() {
  cmp -n "$TDW_IMAGE_SIZE" "$TDW_DEMO_IMG" "$TDW_F_FILE" >&2 || tdw_fail "$1: the drive does not hold the image"
  cmp -i "$TDW_IMAGE_SIZE" -n $((2097152 - TDW_IMAGE_SIZE)) <(head -c 2097152 /dev/zero | tr '\0' '\345') "$TDW_F_FILE" >&2 \
    || tdw_fail "$1: bytes past the image were changed"
}

# start_and_fault <command>: presses Start, waits until the drive holds the
# write at chunk 41, makes the fault and lets the write go on.
start_and_fault() {
  rm -f "$gate" "$held"
  tdw_w_choose_e
  ends=$(count_lines '^End of thread\.$')
  tdw_w_start
  tdw_wait_until "$TDW_TIMEOUT" test -e "$held" \
    || tdw_fail "the write never reached chunk 41; status: $(tdw_w_status)"
  bash -c "$1" || tdw_fail "the fault could not be made: $1"
  touch "$gate"
}

ln -sfn "$TDW_F_FILE" "$TDW_DRIVE_IMG"
tdw_start_app
tdw_wait_ready

# ---- (a) the card is pulled --------------------------------------------------------
start_and_fault "touch '$gone'"
tdw_wait_until "$TDW_TIMEOUT" ended_since "$ends" \
  || tdw_fail "(a) the writer did not end after the card went; status: $(tdw_w_status)"
tdw_w_expect_failed "$line_gone"
tdw_w_expect_status_tail "$(printf '%s\n' "$TDW_W_LINE_START" "$TDW_W_LINE_PASS_KEEP" "$TDW_W_LINE_PASS_WRITE" "$line_gone")"
[ "$(count_lines "^Writing stopped at byte $held_at of $TDW_IMAGE_SIZE ")" -gt 0 ] \
  || tdw_fail "(a) the console does not tell that the write stopped at byte $held_at: $(grep -a 'Wr' "$TDW_CONSOLE_LOG" | tail -n 3)"
tdw_log "(a) $(tr -d '\r' <"$TDW_CONSOLE_LOG" | grep '^Writing stopped' | tail -n 1)"
tdw_s_expect_no_crash

# The card comes back: the program writes it whole again.
rm -f "$gone"
touch "$gate"
tdw_w_choose_e
tdw_w_start
tdw_w_expect_done
fuse_written "(a) the card back"
tdw_log "(a) the card back: written byte for byte"

# ---- (b) the drive's link pointed at /dev/full mid-write ---------------------
start_and_fault "ln -sfn /dev/full '$TDW_DRIVE_IMG.new' && mv -T '$TDW_DRIVE_IMG.new' '$TDW_DRIVE_IMG'"
tdw_w_expect_done
fuse_written "(b)"
tdw_log "(b) the write went on to the device it had opened: byte for byte"
# Now E: is /dev/full: the next write fails at once.
tdw_w_choose_e
ends=$(count_lines '^End of thread\.$')
tdw_w_start
tdw_wait_until "$TDW_TIMEOUT" ended_since "$ends" || tdw_fail "(b) the write to /dev/full did not end"
tdw_w_expect_failed "$TDW_W_LINE_DISK_FULL"
tdw_s_expect_no_crash

# ---- (c) the drive restored --------------------------------------------------------
tdw_w_drive_pattern 2097152
tdw_w_choose_e
tdw_w_start
tdw_w_expect_done
tdw_w_expect_written
tdw_w_expect_status_tail "$(tdw_w_write_lines)"
tdw_s_expect_no_crash
tdw_close_app
