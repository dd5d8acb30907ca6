#!/usr/bin/env bash
# The target list holds a row, with the drive's icon, for each removable
# drive and none for fixed ones (C:, Z:); the chosen row stays chosen through
# a burst of 200 device notifications, after which the wizard still answers
# and the Install pane writes to that drive, with Start enabled beside the
# erase warning.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin targets_list

drives=$(drv drives) || tdw_fail "cannot list the prefix's drives"
echo "$drives" | grep -qxF "C:\\	fixed" || tdw_fail "no fixed drive C: in the prefix: $drives"
echo "$drives" | grep -qxF "Z:\\	fixed" || tdw_fail "no fixed drive Z: in the prefix: $drives"
rows=$(echo "$drives" | sed -n 's/\tremovable$/\ticon/p')
[ "$rows" = "$(printf 'E:\\\ticon')" ] || tdw_fail "the prefix should offer E: alone as removable: $drives"

tdw_start_app
tdw_wait_ready
tdw_goto 1
tdw_expect "$(printf '%s\nselected\t-1' "$rows")" rows
drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
tdw_expect "$(printf '%s\nselected\t0' "$rows")" rows

drv devchange 200 >/dev/null || tdw_fail "the window did not answer every notification"
drv ping >/dev/null || tdw_fail "the window no longer answers"
tdw_expect target shown
tdw_expect "$(printf '%s\nselected\t0' "$rows")" rows

tdw_goto 2
tdw_expect "$(printf 'Ok\tInstall from internal file (T64DEMO1.IMG)\n%s\nOk\tWrite to: E:\\\nWarning\tWARNING: all files on drive E: will be erased.%s' \
  "$(tdw_sha_line T64DEMO1.IMG "$(dirname "$TDW_EXE")/T64DEMO1.IMG")" "${TDW_WOW64_LINE:+$'\n'$TDW_WOW64_LINE}")" status
tdw_expect 1 enabled install 111
tdw_app_running || tdw_fail "the program ended"
tdw_close_app
