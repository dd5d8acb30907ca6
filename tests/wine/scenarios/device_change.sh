#!/usr/bin/env bash
# A burst of device notifications (drive E: arriving and leaving) leaves the
# wizard answering, on the same pane, with one freshly built set of findings.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin device_change

missing='Error	Target is missing, select a target in the "Select target" pane.'
one_missing_line() { [ "$(drv status 2>/dev/null | grep -cxF -- "$missing")" = 1 ]; }

tdw_start_app
tdw_wait_ready
tdw_goto 2
tdw_wait_until "$TDW_TIMEOUT" one_missing_line || tdw_fail "no missing-target line: $(drv status 2>&1)"

drv devchange 20 >/dev/null || tdw_fail "the window did not answer the arrivals"
drv devchange 5 removal >/dev/null || tdw_fail "the window did not answer the removals"
drv ping >/dev/null || tdw_fail "the window no longer answers"
tdw_expect install shown
tdw_wait_until "$TDW_TIMEOUT" one_missing_line || tdw_fail "the findings were not rebuilt once: $(drv status 2>&1)"
tdw_app_running || tdw_fail "the program ended"
tdw_close_app
