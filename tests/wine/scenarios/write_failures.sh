#!/usr/bin/env bash
# Writes that fail end in a clear Error line with nothing written that should
# not be: a drive that takes nothing (/dev/full) ends with Windows' error 112
# told by its number and message, one whose file system fills up mid-write
# with Error 4004; each says that part of the image may be on the drive. Each
# time the wizard stays on Install with Start disabled, the Welcome pane still
# shows the loaded image, the window still answers, and a visit to Select
# target clears the failed lines. An image file shorter than a boot sector is
# refused by the checks, and so is a medium shorter than the image (in
# English and Dutch): Start stays disabled and the drive is never written.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin write_failures

small_fs=$TDW_W_WORK/small-fs
mounted=0
cleanup() {
  tdw_w_drive_restore
  [ "$mounted" = 1 ] && { umount "$small_fs" 2>/dev/null || umount -l "$small_fs"; }
  return 0
}
tdw_w_on_exit cleanup

# console_count <line>: how often the console log holds exactly this line.
console_count() { tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -cxF -- "$1"; }
# wait_writer_end <count before>: the writer ended through its failure path.
ended_since() { [ "$(console_count "End of thread.")" -gt "$1" ]; }
wait_writer_end() {
  tdw_wait_until "$TDW_TIMEOUT" ended_since "$1" \
    || tdw_fail "the writer did not end; status: $(tdw_w_status)"
}

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready

# (a) Every write fails: E: is /dev/full (the drive links point at e.img).
ln -sfn /dev/full "$TDW_DRIVE_IMG"
tdw_w_choose_e
ends=$(console_count "End of thread.")
tdw_w_start
wait_writer_end "$ends"
tdw_w_expect_failed "$TDW_W_LINE_DISK_FULL"
tdw_w_expect_status_tail "$(printf '%s\n' "$TDW_W_LINE_START" "$TDW_W_LINE_PASS_KEEP" "$TDW_W_LINE_PASS_WRITE" "$TDW_W_LINE_DISK_FULL")"
tdw_expect_console "Writing stopped at byte 0 of $TDW_IMAGE_SIZE (error 112)."
# Not a byte changed: no record says the write was cut short.
! ls "$(tdw_kept_folder)"/writing-*.tdwmark 2>/dev/null || tdw_fail "a write that changed nothing left its record"
[ "$(console_count "Restart [E] if possible...")" = 0 ] || tdw_fail "a failed write speaks of a USB restart"
# Leaving Install other than for Select target keeps the failed lines.
tdw_goto 3
tdw_goto 2
tdw_w_expect_status_last "$TDW_W_LINE_DISK_FULL"
drv redraw >/dev/null || tdw_fail "the window does not repaint"
tdw_expect 0 enabled install 111
tdw_w_expect_cleared_by_target "$TDW_W_LINE_DISK_FULL"

# (b) The drive's file system fills up mid-write: a short write, then none.
mkdir -p "$small_fs"
mount -t tmpfs -o size=1m tdw-small-fs "$small_fs" || tdw_fail "cannot mount a small tmpfs (root needed)"
mounted=1
: >"$small_fs/e.img"
ln -sfn "$small_fs/e.img" "$TDW_DRIVE_IMG"
tdw_w_choose_e
ends=$(console_count "End of thread.")
tdw_w_start
# Nothing of it could be read, so nothing kept: the write asks first.
[[ $(drv answer-yes) == 7$'\t''No copy of drive E: could be kept: what it holds could not be read.'* ]] \
  || tdw_fail "an unread drive was written without asking"
wait_writer_end "$ends"
tdw_w_expect_failed "$TDW_W_LINE_CANT_WRITE"
filled=$(stat -c %s "$small_fs/e.img")
[ "$filled" -gt 0 ] && [ "$filled" -lt "$TDW_IMAGE_SIZE" ] || tdw_fail "the small drive holds $filled bytes"
cmp -n "$filled" "$TDW_DEMO_IMG" "$small_fs/e.img" >&2 || tdw_fail "the small drive does not hold the image's first $filled bytes"
# The chunk that did not fit whole is the last one tried; the device reported
# success for it, so the line names a short write, not an error code.
stopped="Writing stopped at byte $((filled / 9216 * 9216)) of $TDW_IMAGE_SIZE: the drive took only part of a chunk."
tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -xF -- "$stopped" >/dev/null \
  || tdw_fail "the console does not say '$stopped...': $(grep -a 'Writing stopped' "$TDW_CONSOLE_LOG")"
# The drive's file now has a size, short of the image's: emptied, its size is
# not known again, and the checks let it be chosen.
: >"$small_fs/e.img"
tdw_w_expect_cleared_by_target "$TDW_W_LINE_CANT_WRITE"

# (c) An image file that ends before its boot sector does (a trimmed image
# that keeps less than the sector is no image): the checks refuse it, so
# Start stays disabled and the drive is never opened.
short=$TDW_W_WORK/HALFDISK.IMG
head -c 511 "$TDW_DEMO_IMG" >"$short"
tdw_w_drive_pattern 2097152
tdw_w_use_external "$short"
tdw_w_choose_e_refused
too_short="Error	$TDW_W_EXTERNAL doesn't contain a bootable disketteimage."
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has "$too_short" || tdw_fail "the checks do not refuse the short file: $(tdw_w_status)"
drv redraw >/dev/null || tdw_fail "the window does not repaint"
tdw_expect 0 enabled install 111
tdw_w_expect_untouched

# (d) A medium shorter than the image (a 720 KB card): refused by its size
# before Start, in the language shown; nothing is written.
tdw_goto 0
drv click chooser 103 >/dev/null || tdw_fail "cannot choose the internal image"
tdw_w_drive_pattern 737280
tdw_w_choose_e_refused
small="Error	Drive E: holds a medium of 737,280 bytes, smaller than the image (1,474,560 bytes): use a larger stick, card or diskette. Nothing is written to it."
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has "$small" || tdw_fail "the checks do not refuse the small medium: $(tdw_w_status)"
drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
small_nl="Error	In station E: zit een medium van 737.280 bytes, kleiner dan het diskettebeeld (1.474.560 bytes): gebruik een grotere stick, kaart of diskette. Er wordt niets op geschreven."
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has "$small_nl" || tdw_fail "the Dutch checks do not refuse the small medium: $(tdw_w_status)"
drv lang 0 >/dev/null || tdw_fail "cannot press the en button"
drv redraw >/dev/null || tdw_fail "the window does not repaint"
tdw_expect 0 enabled install 111
tdw_w_expect_untouched
