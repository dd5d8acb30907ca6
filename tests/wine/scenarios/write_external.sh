#!/usr/bin/env bash
# An image file of one's own written to drive E:, read afresh at every write:
# the first write puts the file on the drive with the reading line (file name
# only) first; a second write right after, from the same file grown longer
# than an image, writes only its first 1,474,560 bytes and appends its lines
# after those of the first (a file standing where the copies' folder goes is
# set aside first, and a Warning says so); a third, from the file trimmed of its end, writes
# and reads back the file padded with zeros, and the checks then show the
# trimmed file's SHA-256, not that of the file before. With no folder for the
# copy of what the drive held (a file where %ProgramData% goes), the third write asks first (No the default):
# No writes nothing and says why, Yes writes with a warning.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin write_external
tdw_w_on_exit tdw_w_drive_restore

# The file differs from the attached image in its last sector (free space of
# the file system), so the drive shows which of the two was written.
mkdir -p "$TDW_W_WORK"
own=$TDW_W_WORK/OWNDISK.IMG
first=$TDW_W_WORK/first.img
second=$TDW_W_WORK/second.img
{ head -c $((TDW_IMAGE_SIZE - 512)) "$TDW_DEMO_IMG"; { yes 'first write, own image' || true; } | head -c 512; } >"$first"
{ head -c $((TDW_IMAGE_SIZE - 512)) "$TDW_DEMO_IMG"; { yes 'second write, own image' || true; } | head -c 102912; } >"$second"
cp "$first" "$own"

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_w_use_external "$own"
tdw_w_choose_e
tdw_w_status_has "Ok	Sourcefile: $TDW_W_EXTERNAL" || tdw_fail "the checks do not accept the file: $(tdw_w_status)"
tdw_w_start
tdw_w_expect_done
tdw_expect_console "Loading $TDW_W_EXTERNAL..."
tdw_expect_console "External image loaded: Yes"
tdw_goto 2
tdw_w_expect_status_tail "$(tdw_w_write_lines OWNDISK.IMG)"
tdw_w_expect_written "$TDW_DRIVE_IMG" "$first"

# Again from Install, the file now longer than an image, the drive pattern-filled,
# a file where the copies' folder goes: it is set aside, and the checks say so.
cp "$second" "$own"
tdw_w_drive_pattern 2097152
: >"$(tdw_kept_folder)"
tdw_w_start
tdw_w_expect_done
tdw_goto 2
tdw_w_expect_status_tail "$(tdw_w_write_lines OWNDISK.IMG; tdw_w_write_lines OWNDISK.IMG)"
tdw_w_expect_written "$TDW_DRIVE_IMG" "$second"
tdw_w_status_has_prefix 'Warning	A file stood where the folder of kept copies goes, so it was set aside as "TalvixOS Disk Writer (set aside 2' \
  || tdw_fail "no warning that a file was set aside: $(tdw_w_status)"
[ -d "$(tdw_kept_folder)" ] || tdw_fail "no folder was made for the copies"

head -c 1228800 "$second" >"$own"
{ cat "$own"; head -c 245760 /dev/zero; } >"$TDW_W_WORK/padded.img"
tdw_w_drive_pattern 2097152
# A file where the copies' folder's folder would be: nothing can be made there.
data=$(dirname "$(tdw_kept_folder)")
rm -rf "$data.off" && mv "$data" "$data.off" && : >"$data"
restore_data() { [ -f "$data" ] && rm -f "$data" && mv "$data.off" "$data"; tdw_w_drive_restore; }
tdw_w_on_exit restore_data
refused='No copy of drive E: could be kept: Windows refused access to the folder that holds the kept copies.'
tdw_w_start
[[ $(drv answer-no) == 7$'\t'"$refused"* ]] || tdw_fail "the write did not ask first, No the default"
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has "Warning	$refused Nothing was written." \
  || tdw_fail "No did not say that nothing was written: $(tdw_w_status)"
cmp -s "$TDW_W_PATTERN" "$TDW_DRIVE_IMG" || tdw_fail "No wrote to the drive"
tdw_w_start
drv answer-yes >/dev/null || tdw_fail "no question to answer Yes to"
# The same folder cannot note the write either: that is asked too.
[[ $(drv answer-yes) == *'That drive E: is being written could not be noted'* ]] \
  || tdw_fail "the write was not asked about before it went on unnoted"
tdw_w_expect_done
tdw_expect_console "OWNDISK.IMG is 1228800 bytes; the last 245760 bytes are written as zeros."
tdw_goto 2
tdw_w_expect_written "$TDW_DRIVE_IMG" "$TDW_W_WORK/padded.img"
tdw_w_status_has 'Warning	No copy of what drive E: held could be kept, so Put back will not be possible for this drive. The write goes on.' \
  || tdw_fail "no warning that nothing was kept: $(tdw_w_status)"
status_head() { drv status | sed -n 1,3p; }
trimmed='Ok	OWNDISK.IMG is 1,228,800 bytes; the last 245,760 bytes of the diskette are written as zeros.'
tdw_expect_out "$(printf 'Ok\tSourcefile: %s\n%s\n%s' "$TDW_W_EXTERNAL" "$trimmed" "$(tdw_sha_line OWNDISK.IMG "$own")")" \
  status_head
tdw_close_app
