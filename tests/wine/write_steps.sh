# Shared steps of the write scenarios and scripts/demo: the drive behind E:
# prepared with a known pattern, a write driven from Select target to the
# Reboot pane, the drive compared with the image, and the written floppy booted
# in QEMU. Source after harness.sh; functions are prefixed tdw_w_.

# The variables are for the scenarios that source this file.
# shellcheck disable=SC2034
TDW_IMAGE_SIZE=1474560
TDW_BANNER="TalvixOS demo floppy booted"
TDW_DEMO_IMG=${TDW_DEMO_IMG:-$(dirname "$TDW_EXE")/T64DEMO1.IMG}
TDW_W_WORK=$TDW_WINE_DIR/write        # patterns, copies and boot logs of these steps
TDW_W_PATTERN=$TDW_W_WORK/pattern.bin

TDW_W_LINE_START='Ok	Starting write process...'
TDW_W_LINE_READ_BACK='Ok	The image was read back from the drive and matches.'
# The passes of a write as they begin; a failed write's stay in the list.
TDW_W_LINE_PASS_KEEP='Ok	Keeping a copy of what drive E: holds...'
TDW_W_LINE_PASS_WRITE='Ok	Writing the image to drive E:...'
TDW_W_LINE_PASS_READ_BACK='Ok	Reading the image back from drive E:...'
# Under Wine no USB device is found, so none is restarted: the user is asked
# to plug the drive in again.
TDW_W_LINE_REPLUG='Warning	Windows may still show the old contents of drive E:. Remove the drive and plug it in again before you use it.'
# A write that stopped for no error Windows names (a short write), and one
# that Windows ended with ERROR_DISK_FULL at its first chunk (the drive is
# /dev/full, which takes no byte: nothing was written).
TDW_W_LINE_CANT_WRITE="Error	4004: Can't write to disk. Part of the image may now be on the drive."
TDW_W_LINE_DISK_FULL="Error	Drive E: ran out of room before the image's end: its medium is smaller than it said. Use another stick or card. Nothing was written. (Windows error 112: Disk full.)"
TDW_W_LINE_CANT_LOAD="Error	4005: Can't load sourcefile from disk."
# The start of the Welcome text that says no image is ready (text 107).
TDW_W_NO_IMAGE_INTRO="This wizard will install a diskimage to a compatible disk. If you are installing TalvixOS, "

# ---- the drive ----------------------------------------------------------------

# tdw_w_drive_pattern [size]: E: becomes a file of that size (default 2 MiB)
# filled with a pattern that no image holds, so that bytes the writer should
# not touch can be told from zeroes it wrote; a copy stays in pattern.bin.
tdw_w_drive_pattern() {
  local size=${1:-2097152}
  mkdir -p "$TDW_W_WORK" "$TDW_DRIVE_DIR/e"
  { yes 'TDW-untouched-drive-byte-pattern' || true; } | head -c "$size" >"$TDW_W_PATTERN"
  rm -f "$TDW_DRIVE_IMG"
  cp "$TDW_W_PATTERN" "$TDW_DRIVE_IMG"
  tdw_kept_clear
}

# tdw_w_drive_restore: E: a plain zeroed file again, whatever it was made of.
tdw_w_drive_restore() { tdw_drive_reset; }

# tdw_w_expect_written [drive file]: its first 1,474,560 bytes are the demo
# image and every byte after them is still the pattern.
tdw_w_expect_written() {
  local drive=${1:-$TDW_DRIVE_IMG} image=${2:-$TDW_DEMO_IMG}
  cmp -n "$TDW_IMAGE_SIZE" "$image" "$drive" >&2 || tdw_fail "the drive's first $TDW_IMAGE_SIZE bytes differ from $(basename "$image")"
  [ "$(stat -L -c %s "$drive")" = "$(stat -c %s "$TDW_W_PATTERN")" ] || tdw_fail "the drive file changed its size"
  cmp -i "$TDW_IMAGE_SIZE" "$TDW_W_PATTERN" "$drive" >&2 || tdw_fail "bytes past $TDW_IMAGE_SIZE were changed"
}

# tdw_w_expect_untouched: the drive still holds the pattern, every byte.
tdw_w_expect_untouched() {
  cmp "$TDW_W_PATTERN" "$TDW_DRIVE_IMG" >&2 || tdw_fail "the drive was written although the write was refused"
}

# ---- driving a write ---------------------------------------------------------

# grep reads to the end here: grep -q would stop early, the writer of the pipe
# would die of SIGPIPE, and under pipefail a found line would count as missing.
tdw_w_status_has() { drv status 2>/dev/null | grep -xF -- "$1" >/dev/null; }
tdw_w_status_has_prefix() { drv status 2>/dev/null | cut -c1-"${#1}" | grep -xF -- "$1" >/dev/null; }
tdw_w_status_last_is() { [ "$(drv status 2>/dev/null | tail -n 1)" = "$1" ]; }
tdw_w_status() { drv status 2>&1 | tr '\n' '|'; }

# tdw_w_expect_status_last <line>: waits until the status list ends with it.
tdw_w_expect_status_last() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_last_is "$1" \
    || tdw_fail "the status list does not end with '$1': $(tdw_w_status)"
}

# tdw_w_choose_e: chooses drive E: on Select target and goes on to Install,
# where the checks confirm it and Start is enabled.
tdw_w_choose_e() {
  tdw_goto 1
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_one_drive \
    || tdw_fail "the target list does not hold drive E: alone: $(drv list target 1012 2>&1)"
  drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
  tdw_goto 2
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has 'Ok	Write to: E:\' \
    || tdw_fail "the checks do not confirm drive E:: $(tdw_w_status)"
  tdw_expect 1 enabled install 111
}

# tdw_w_choose_e_refused: as tdw_w_choose_e, for a source the checks refuse.
tdw_w_choose_e_refused() {
  tdw_goto 1
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_one_drive \
    || tdw_fail "the target list does not hold drive E: alone: $(drv list target 1012 2>&1)"
  drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
  tdw_goto 2
}

# The target list holds one drive (E:), chosen or not yet.
tdw_w_one_drive() { case "$(drv list target 1012 2>/dev/null)" in "1	-1" | "1	0") return 0 ;; esac; return 1; }

# tdw_w_use_external <unix path>: chooses an image file of one's own: the
# second choice on Welcome with the file's path (as Wine sees it, through Z:)
# typed in, then leaves the Welcome pane, which hands the path on.
tdw_w_use_external() {
  TDW_W_EXTERNAL=$(tdw_win_path "$1")
  tdw_goto 0
  drv click chooser 104 >/dev/null || tdw_fail "cannot choose an image file of one's own"
  drv settext chooser 1009 "$TDW_W_EXTERNAL" >/dev/null || tdw_fail "cannot type the image path"
  tdw_goto 1
}

# tdw_w_start: presses Start on the Install pane.
tdw_w_start() {
  tdw_expect install shown
  tdw_expect 1 enabled install 111
  drv click install 111 >/dev/null || tdw_fail "cannot press Start"
  tdw_log "Start pressed"
}

# tdw_w_expect_done: the write ran to the end: the Reboot pane, a full bar.
tdw_w_expect_done() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_drv_is reboot shown \
    || tdw_fail "no Reboot pane after the write; shown: $(drv shown 2>&1); status: $(tdw_w_status)"
  tdw_expect "$(printf '%d\t0\t%d' "$TDW_IMAGE_SIZE" "$TDW_IMAGE_SIZE")" progress install 1017
  tdw_expect_console "Fly :)"
  tdw_expect_console "Starting write..."
  tdw_expect_console 'Destination: E:\'
  tdw_expect_console 'Write target: \\.\E:'
  tdw_expect_console "Read back: all $TDW_IMAGE_SIZE bytes match."
  tdw_expect_console "Restart [E] if possible..."
}

# tdw_w_write_lines [file name]: the status lines of one successful write,
# with the reading line first when the image came from a file.
tdw_w_write_lines() {
  [ -n "${1:-}" ] && printf 'Ok\treading sourcefile(%s).\n' "$1"
  printf '%s\n' "$TDW_W_LINE_START" "$TDW_W_LINE_READ_BACK" "$TDW_W_LINE_REPLUG"
}

# tdw_w_expect_status_tail <expected lines>: the status list ends with them.
tdw_w_expect_status_tail() {
  local want=$1 n
  n=$(printf '%s\n' "$want" | wc -l)
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_tail_is "$n" "$want" \
    || tdw_fail "the status list does not end with: $(printf '%s' "$want" | tr '\n' '|'); it is: $(tdw_w_status)"
}
tdw_w_tail_is() { [ "$(drv status 2>/dev/null | tail -n "$1")" = "$2" ]; }

# tdw_w_expect_failed <error line>: the write ended in this Error line: the
# wizard stays on Install with Start disabled, the Welcome pane and the
# source chooser still show the loaded image, and the window still answers.
tdw_w_expect_failed() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_console_has "End of thread." \
    || tdw_fail "the writer did not end; status: $(tdw_w_status)"
  tdw_goto 2
  tdw_w_expect_status_last "$1"
  # The enable states follow the drawing of the list: have it drawn first.
  drv redraw >/dev/null || tdw_fail "the window does not repaint"
  tdw_expect 1 enabled install 101
  tdw_expect 0 enabled install 111
  drv ping >/dev/null || tdw_fail "the window no longer answers"
  tdw_w_intro_no_image && tdw_fail "a failed write turned the Welcome text into the no-image one"
  tdw_console_has "No attached image unzipped/found." && tdw_fail "a failed write was reported as a failed loader"
  tdw_expect 1 enabled chooser 103
}
tdw_w_intro_no_image() { case "$(drv text welcome 100 2>/dev/null)" in "$TDW_W_NO_IMAGE_INTRO"*) return 0 ;; esac; return 1; }

# tdw_w_expect_cleared_by_target <error line>: after a visit to Select target
# the Install pane no longer replays the failed write's lines and Start is
# enabled again.
tdw_w_expect_cleared_by_target() {
  tdw_goto 1
  tdw_goto 2
  tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has 'Ok	Write to: E:\' \
    || tdw_fail "the checks do not confirm drive E: after the visit: $(tdw_w_status)"
  tdw_w_status_has "$1" && tdw_fail "the line '$1' is still there after visiting Select target"
  tdw_w_status_has "$TDW_W_LINE_START" && tdw_fail "the failed write's lines are still there: $(tdw_w_status)"
  tdw_expect 1 enabled install 111
}

# ---- booting ---------------------------------------------------------------

# tdw_w_boot <drive file> <work dir>: boots the file's first 1,474,560 bytes
# as a floppy in QEMU; it must show the banner on COM1 and end with status 33.
# Leaves floppy.img and serial.log in the work dir.
tdw_w_boot() {
  local drive=$1 work=$2 status=0
  mkdir -p "$work"
  head -c "$TDW_IMAGE_SIZE" "$drive" >"$work/floppy.img"
  rm -f "$work/serial.log"
  # The time limit only ends a hung emulator; a boot takes well under a second.
  timeout 60 qemu-system-i386 -machine pc,accel=tcg -m 16 -nodefaults -vga std \
    -drive file="$work/floppy.img",if=floppy,format=raw,readonly=on -boot order=a \
    -display none -no-reboot -monitor none -serial file:"$work/serial.log" \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 </dev/null >"$work/qemu.log" 2>&1 || status=$?
  [ "$status" -eq 33 ] || { cat "$work/qemu.log" "$work/serial.log" >&2 2>/dev/null; tdw_fail "QEMU exited with $status, not 33"; }
  grep -q "$TDW_BANNER" "$work/serial.log" || { cat "$work/serial.log" >&2; tdw_fail "the banner is not on the serial log"; }
  tdw_log "booted: $(grep -a "$TDW_BANNER" "$work/serial.log" | tr -d '\r' | head -n 1)"
}

# ---- clean-up -----------------------------------------------------------------

# tdw_w_on_exit <command>: runs the command after the harness's own end of the
# test (program stopped, failure reported), whatever way the test ends.
tdw_w_on_exit() {
  TDW_W_CLEANUP=$1
  trap tdw_w_end EXIT
}
tdw_w_end() {
  local rc=$?
  (exit "$rc"); (tdw_end)
  eval "$TDW_W_CLEANUP" || true
  exit "$rc"
}
