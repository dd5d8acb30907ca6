#!/usr/bin/env bash
# The Install pane's status list shows the checks' findings, each line with a
# known kind; with no target chosen one of them is the missing-target error.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin status_list

missing='Error	Target is missing, select a target in the "Select target" pane.'
status_has_missing() { drv status 2>/dev/null | grep -qxF -- "$missing"; }

tdw_start_app
tdw_wait_ready
tdw_goto 2
tdw_wait_until "$TDW_TIMEOUT" status_has_missing || tdw_fail "no missing-target line in: $(drv status 2>&1)"
lines=$(drv status) || tdw_fail "cannot read the status list"
bad=$(printf '%s\n' "$lines" | grep -vE $'^(Error|Ok|Warning)\t.+$')
[ -z "$bad" ] || tdw_fail "status lines of no known kind: $bad"
tdw_screenshot "$TDW_SHOT_DIR/install-status.png" main
tdw_close_app
