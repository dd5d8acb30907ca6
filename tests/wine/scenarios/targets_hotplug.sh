#!/usr/bin/env bash
# A removable drive that arrives while the wizard runs (drive F:, through
# Wine's mount manager, with the device notification that Windows would
# send) gets its row, with the chosen row kept, and puts the window in front
# for about three seconds; when the chosen drive goes its row goes, the
# window stays where it is, and the checks, run after the list, find no
# target.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin targets_hotplug

missing='Error	Target is missing, select a target in the "Select target" pane.'
folder=$TDW_DRIVE_DIR/f
device=$TDW_DRIVE_DIR/f.img
mkdir -p "$folder"
rm -f "$device"
truncate -s 1474560 "$device"
# E: stays as the other tests expect it; F: leaves the prefix with the test.
tdw_on_end 'drv unmount F >/dev/null 2>&1; rm -f "$WINEPREFIX/dosdevices/f:" "$WINEPREFIX/dosdevices/f::"; true'
# Only this test adds F:; one left by a run that was killed goes first.
drv unmount F >/dev/null 2>&1 || true
drv drives | grep '^F:' >/dev/null && tdw_fail "drive F: is already there: $(drv drives | tr '\n' ' ')"

tdw_start_app
tdw_wait_ready
tdw_goto 1
tdw_expect "$(printf 'E:\\\ticon\nselected\t-1')" rows
drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
tdw_expect "$(printf 'E:\\\ticon\nselected\t0')" rows
# The first list found a drive, so the window stood in front: wait it out.
tdw_expect 0 topmost

drv mount F "$folder" "$device" >/dev/null || tdw_fail "the mount manager did not add F:"
tdw_expect "$(printf 'C:\\\tfixed\nE:\\\tremovable\nF:\\\tremovable\nZ:\\\tfixed')" drives
watch=$(drv raise-watch $((TDW_TIMEOUT * 1000)) arrival F) || tdw_fail "cannot send the arrival of F:"
tdw_log "arrival: $(echo "$watch" | tr '\n' ' ')"
[ "$(echo "$watch" | head -n1)" = raised ] || tdw_fail "the window was not put in front: $watch"
in_front=$(echo "$watch" | sed -n 's/^lowered\t//p')
[ -n "$in_front" ] || tdw_fail "the window stayed in front: $watch"
# About three seconds: a raise that ends at once, or never on its own, fails.
[ "$in_front" -ge 2000 ] && [ "$in_front" -le 9000 ] \
  || tdw_fail "the window stood in front for $in_front ms, not about 3 s"
tdw_expect "$(printf 'E:\\\ticon\nF:\\\ticon\nselected\t0')" rows

drv pick target 1012 1 >/dev/null || tdw_fail "cannot choose drive F:"
tdw_goto 2
# Below the source line and its SHA-256.
tdw_expect_out "Ok	Write to: F:\\" tdw_status_line 3
drv unmount F >/dev/null || tdw_fail "the mount manager did not remove F:"
# The checks wait for the refreshed list: a pulled stick is missing, never
# "another device", on the pane shown.
seen=$(drv devnodes) || tdw_fail "cannot tell the window that a device went"
case "$seen" in *"another device"*) tdw_fail "checked before the list was refreshed: $seen" ;; esac
tdw_expect_out "$missing" tdw_status_line 3
# A row going away never puts the window in front.
watch=$(drv raise-watch 4000 removal F) || tdw_fail "cannot send the removal of F:"
[ "$watch" = "not raised" ] || tdw_fail "the window was put in front when F: went: $watch"
tdw_expect "$(printf 'E:\\\ticon\nselected\t-1')" rows
# Back to Install without passing Select target: no destination is left.
tdw_goto 0
tdw_goto 2
tdw_expect_out "$missing" tdw_status_line 3
drv redraw >/dev/null || tdw_fail "the window no longer answers"
tdw_expect 0 enabled install 111
tdw_close_app
