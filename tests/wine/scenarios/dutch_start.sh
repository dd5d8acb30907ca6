#!/usr/bin/env bash
# The starting language follows the user's interface language: Dutch starts
# in Dutch with "nl" checked, anything else in English with "en" checked.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin dutch_start

# locale, checked button, window title, pane titles
cases=(
  "nl_NL.UTF-8|1|TalvixOS Disk Writer (TalvixOS Schijf Schrijver)|NL"
  "nl_BE.UTF-8|1|TalvixOS Disk Writer (TalvixOS Schijf Schrijver)|NL"
  "C|0|TalvixOS Disk Writer|EN"
  "en_US.UTF-8|0|TalvixOS Disk Writer|EN"
  "de_DE.UTF-8|0|TalvixOS Disk Writer|EN"
)
for case in "${cases[@]}"; do
  IFS='|' read -r locale button title language <<<"$case"
  tdw_log "starting with LC_ALL=$locale"
  tdw_start_app "LC_ALL=$locale"
  tdw_wait_ready
  tdw_expect_lang "$button"
  tdw_expect "$title" title
  titles="TDW_TITLES_$language[@]"
  tdw_expect "$(tdw_pane_list 0 "${!titles}")" panes
  tdw_close_app
done
