#!/usr/bin/env bash
# Esc does not close the wizard; WM_CLOSE does, with exit code 0. An idle
# wizard lets the session end.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin escape_and_close

tdw_start_app
tdw_wait_ready
tdw_goto 1
# The driver returns once the window has taken the key and what it led to.
drv escape >/dev/null || tdw_fail "Esc was not handled, or the window went"
tdw_app_running || tdw_fail "the program ended on Esc"
drv wait-main 1000 >/dev/null || tdw_fail "the window is gone after Esc"
drv ping >/dev/null || tdw_fail "the window no longer answers after Esc"
tdw_expect target shown
tdw_expect 1 endsession
tdw_close_app
