#!/usr/bin/env bash
# The wizard tells the shell to cancel AutoPlay while it runs.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin autoplay

tdw_start_app
tdw_wait_ready
tdw_expect 1 autoplay
tdw_expect_console "CancelAutoPlay :)"
tdw_close_app
