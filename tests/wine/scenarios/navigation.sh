#!/usr/bin/env bash
# Previous and Next move one pane, the pane list moves anywhere, and the ends
# of the wizard cannot be stepped past.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin navigation

tdw_start_app
tdw_wait_ready
tdw_expect 0 enabled welcome 101

# pane, button, pane that must follow
steps=(
  "welcome 102 target"
  "target 102 install"
  "install 102 reboot"
  "reboot 101 install"
  "install 101 target"
  "target 101 welcome"
)
for step in "${steps[@]}"; do
  read -r from button to <<<"$step"
  tdw_expect 1 enabled "$from" "$button"
  drv click "$from" "$button" >/dev/null || tdw_fail "cannot click $button on $from"
  tdw_expect "$to" shown
done

tdw_goto 3
tdw_expect 0 enabled reboot 102
tdw_expect 1 enabled reboot 101
tdw_expect "$(tdw_pane_list 3 "${TDW_TITLES_EN[@]}")" panes

for index in 0 2 1 3 0; do
  tdw_goto "$index"
  tdw_expect "$(tdw_pane_list "$index" "${TDW_TITLES_EN[@]}")" panes
done
tdw_expect 0 enabled welcome 101
tdw_close_app
