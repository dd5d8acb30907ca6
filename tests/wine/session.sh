#!/usr/bin/env bash
# session.sh start|stop: the Wine session (prefix, Xvfb, wineserver) that a
# whole test run shares; the test fixture calls it before and after.
set -uo pipefail
TDW_TEST=session
# The session serves the ctest run that called us (or the shell that did).
TDW_SESSION_OWNER=${TDW_SESSION_OWNER:-$PPID}
. "$(dirname "$0")/harness.sh"
case "${1:-}" in
  start) tdw_session_start ;;
  stop) tdw_session_stop ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
