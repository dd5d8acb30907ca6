#!/usr/bin/env bash
# Images handed over as Windows users do, from a folder whose name is not in
# the ANSI code page: a zipped image (a README beside it) named as the only
# argument is chosen once the loader is done and written, padded, to drive
# E:; a dropped archive of two images is refused with the checks' Error, and
# a Start command sent anyway writes nothing; two files dropped at once are
# refused; one dropped image is taken and the checks accept it, its path shown
# as typed.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin handover
tdw_w_on_exit tdw_w_drive_restore

folder=$TDW_W_WORK/Документы
mkdir -p "$folder"
python3 - "$folder" <<'PY' || tdw_fail "cannot make the archives"
import sys, zipfile
folder = sys.argv[1]
image = bytearray(b"handover image " * 2000)
image[510:512] = b"\x55\xaa"
open(folder + "/OTHER.IMG", "wb").write(image)
with zipfile.ZipFile(folder + "/OTHERFD.ZIP", "w", zipfile.ZIP_DEFLATED) as zf:
    zf.writestr("README.TXT", b"How to boot it.\n" * 64)
    zf.writestr("OTHER.IMG", bytes(image))
with zipfile.ZipFile(folder + "/TWO.ZIP", "w", zipfile.ZIP_DEFLATED) as zf:
    zf.writestr("DISK1.IMG", bytes(image))
    zf.writestr("DISK2.IMG", bytes(image))
PY
win=$(tdw_win_path "$folder")
{ cat "$folder/OTHER.IMG"; head -c $((TDW_IMAGE_SIZE - 30000)) /dev/zero; } >"$TDW_W_WORK/padded.img"

tdw_w_drive_pattern 2097152
# Wine reads the argument in the locale's charset: one that is UTF-8 and present.
TDW_APP_ARGUMENT="$win\\OTHERFD.ZIP" tdw_start_app LC_ALL=C.UTF-8
tdw_wait_ready
tdw_expect 1 checked chooser 104
tdw_w_choose_e
tdw_w_status_has 'Ok	Install from OTHERFD.ZIP (OTHER.IMG inside)' || tdw_fail "the archive is not taken: $(tdw_w_status)"
tdw_w_start
tdw_w_expect_done
tdw_w_expect_written "$TDW_DRIVE_IMG" "$TDW_W_WORK/padded.img"

tdw_w_drive_pattern 2097152
tdw_goto 2
drv drop "$win\\TWO.ZIP" >/dev/null || tdw_fail "cannot drop TWO.ZIP"
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has \
  'Error	TWO.ZIP holds 2 images: DISK1.IMG, DISK2.IMG. Unpack the one you want and choose it.' \
  || tdw_fail "the dropped archive is not refused: $(tdw_w_status)"
drv command install 111 >/dev/null || tdw_fail "cannot send Start's command"
tdw_wait_until "$TDW_TIMEOUT" tdw_console_has "Start: the checks did not pass; nothing is written." \
  || tdw_fail "Start's command was not refused"
[ "$(grep -ac 'Starting write' "$TDW_CONSOLE_LOG")" = 1 ] || tdw_fail "a write started although the checks refused the source"
tdw_w_expect_untouched

drv drop "$win\\OTHER.IMG" "$win\\OTHERFD.ZIP" >/dev/null || tdw_fail "cannot drop two files"
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has 'Warning	2 files were dropped: drop one image file.' \
  || tdw_fail "two dropped files are not refused: $(tdw_w_status)"
drv drop "$win\\OTHER.IMG" >/dev/null || tdw_fail "cannot drop OTHER.IMG"
# The path as typed, Cyrillic folder and all: in the line, in the list's
# string that a screen reader reads (rows broken between characters), copied.
line="Sourcefile: $win\\OTHER.IMG"
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has "Ok	$line" \
  || tdw_fail "the dropped image is not shown as typed: $(tdw_w_status)"
drv status-items | want=$line awk -F'\t' '$4 == ENVIRON["want"] && $3 == "whole" {found = 1} END {exit !found}' \
  || tdw_fail "the list's string is not the line: $(drv status-items 2>&1)"
drv focus-on install 1018 >/dev/null && drv keys ctrl+c >/dev/null || tdw_fail "cannot copy the status lines"
copied() { drv clipboard 2>/dev/null | grep -F "Ok: $line\\r\\n" >/dev/null; }
tdw_wait_until "$TDW_TIMEOUT" copied || tdw_fail "the copied lines: $(drv clipboard 2>&1)"
tdw_expect 1 enabled install 111
tdw_close_app
