#!/usr/bin/env bash
# The attached demo image written to drive E: (a file larger than the image,
# filled with a pattern): the drive holds the image byte for byte and nothing
# past it changed, the write's status lines come in order, the bar ends full,
# the wizard shows the Reboot pane, and the written drive boots in QEMU.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin write_internal
tdw_w_on_exit tdw_w_drive_restore

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
tdw_w_start
tdw_w_expect_done
tdw_expect_console "Internal image loaded: Yes"

# The checks rerun after the write and replay its lines last.
tdw_goto 2
tdw_w_expect_status_tail "$(tdw_w_write_lines)"
tdw_w_status_has 'Ok	Install from internal file (T64DEMO1.IMG)' \
  || tdw_fail "the source line is missing: $(tdw_w_status)"
tdw_w_expect_written
tdw_close_app

tdw_w_boot "$TDW_DRIVE_IMG" "$TDW_W_WORK/boot-internal"
