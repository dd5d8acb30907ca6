#!/usr/bin/env bash
# The wizard opens on the Welcome pane, titled, with the four steps listed and
# the first selected; its console trace is captured.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin start_welcome

tdw_start_app
tdw_wait_main
tdw_expect "TalvixOS Disk Writer" title
tdw_expect welcome shown
tdw_expect 1 visible welcome 100
tdw_expect "$(tdw_pane_list 0 "${TDW_TITLES_EN[@]}")" panes
tdw_expect 1 visible chooser 1009
# Both outcomes of the image loader end the trace with this line.
tdw_expect_console "Ready..."
tdw_close_app
