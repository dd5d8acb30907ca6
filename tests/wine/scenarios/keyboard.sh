#!/usr/bin/env bash
# From Welcome to a written drive with real key presses alone: Tab and
# Shift+Tab go through the pane list and the shown pane in reading order, the
# arrows move in the radio group and the drive list (the row chosen is the
# destination), Esc only re-shows the pane, Enter presses a focused button
# ("···", Previous, Start) and otherwise goes on from Welcome and Select
# target, but never starts a write from elsewhere. The language bar is one
# tab stop: the arrows move in it, Space and Enter choose. On the Reboot
# pane Space on Reboot asks before anything is restarted.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin keyboard
tdw_w_on_exit tdw_w_drive_restore

# press "<pane> <id>" <key>...: presses the keys; then that control has the focus.
press() {
  local want pane id
  read -r pane id <<<"$1"; shift
  want=$(printf '%s\t%s' "$pane" "$id")
  drv keys "$@" >/dev/null || tdw_fail "cannot press $*"
  tdw_expect "$want" focus
}

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_expect "$(printf 'main\t2002')" focus

# The language bar follows the pane list: Space chooses Dutch, Enter English.
press "main 1014" tab
drv keys right space >/dev/null || tdw_fail "cannot press Space in the language bar"
tdw_expect_lang 1
drv keys left enter >/dev/null || tdw_fail "cannot press Enter in the language bar"
tdw_expect_lang 0

# Tab order on Welcome: the radio group, the path, Browse, Next (Previous is
# disabled), round to the pane list; Shift+Tab goes back.
for want in "chooser 103" "chooser 1009" "chooser 106" "welcome 102" "main 2002"; do
  press "$want" tab
done
press "welcome 102" shift+tab
press "chooser 106" shift+tab

# The arrows move the choice within the radio group; the image stays the
# attached one.
press "chooser 103" shift+tab shift+tab
press "chooser 104" down
tdw_expect 1 checked chooser 104
press "chooser 103" up
tdw_expect 1 checked chooser 103

# Esc re-shows the pane and leaves the focus where it was.
press "chooser 103" esc
tdw_expect welcome shown
tdw_app_running || tdw_fail "the program ended on Esc"

# Enter on "···" opens the file dialog; the attached image is chosen again.
press "chooser 106" tab tab
drv keys enter >/dev/null || tdw_fail "cannot press Enter"
drv filedialog cancel >/dev/null || tdw_fail "Enter on the browse button did not open the file dialog"
tdw_expect welcome shown
press "chooser 104" shift+tab shift+tab
press "chooser 103" up

# Enter is Next on Welcome; the focus goes to the new pane's Next. Enter on
# Previous goes back.
press "target 102" enter
tdw_expect target shown
press "target 101" shift+tab
press "welcome 102" enter
press "target 102" enter
tdw_expect target shown

# Select target: the drive row chosen with an arrow key is the destination.
tdw_wait_until "$TDW_TIMEOUT" tdw_w_one_drive \
  || tdw_fail "the target list does not hold drive E: alone: $(drv list target 1012 2>&1)"
press "target 1012" shift+tab shift+tab
drv keys down >/dev/null || tdw_fail "cannot press down"
tdw_expect "$(printf '1\t0')" list target 1012
press "install 102" enter
tdw_expect install shown
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has 'Ok	Write to: E:\' \
  || tdw_fail "the drive chosen with the keyboard is not the destination: $(tdw_w_status)"
tdw_expect 1 enabled install 111

# Enter on Install does not write from the status list. The Tab after it is
# handled after it: once the focus moved, Enter had its turn.
press "install 1018" shift+tab shift+tab shift+tab
press "install 111" enter tab
tdw_expect install shown
tdw_console_has "Fly :)" && tdw_fail "Enter on Install started a write"
tdw_w_status_has "$TDW_W_LINE_START" && tdw_fail "Enter on Install started a write: $(tdw_w_status)"
tdw_w_expect_untouched

# Enter on Start writes, as Windows presses any focused button; the keyboard
# still has a control when it is done: the Reboot pane's text, which says
# what happened and what to do next.
drv keys enter >/dev/null || tdw_fail "cannot press Enter"
tdw_w_expect_done
tdw_w_expect_status_tail "$(tdw_w_write_lines)"
tdw_w_expect_written
tdw_expect "$(printf 'reboot\t4001')" focus

# The Reboot pane tells what was written where, in either language, and to
# plug the drive in again (Wine restarts no USB device).
reboot_says() { drv text reboot 4001 | tr -d '\r' | grep -qF -- "$1"; }
tdw_wait_until "$TDW_TIMEOUT" reboot_says "was written to drive E: and read back" || tdw_fail "no Reboot text"
reboot_says "unplug the drive and plug it in again" || tdw_fail "no word of plugging the drive in again"
drv lang 1 >/dev/null && tdw_wait_until "$TDW_TIMEOUT" reboot_says "is naar station E: geschreven en teruggelezen" \
  || tdw_fail "the Reboot text is not Dutch: $(drv text reboot 4001)"
drv lang 0 >/dev/null || tdw_fail "cannot choose English"

# Reboot asks first, with the focus on No; No leaves everything running.
press "reboot 113" tab
drv keys space >/dev/null || tdw_fail "cannot press Space"
[[ $(drv answer-no) == 7$'\t'"Restart Windows now?"* ]] || tdw_fail "Reboot did not ask first, No the default"
tdw_app_running && tdw_drv_is reboot shown || tdw_fail "the wizard left the Reboot pane after No"
tdw_close_app
