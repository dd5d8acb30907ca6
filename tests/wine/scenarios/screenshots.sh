#!/usr/bin/env bash
# Every pane in English and Dutch, as pictures for review; each must show
# more than a blank window.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin screenshots

tdw_start_app
tdw_wait_ready
for language in en nl; do
  button=0; [ "$language" = nl ] && button=1
  drv lang "$button" >/dev/null || tdw_fail "cannot press language button $button"
  tdw_expect_lang "$button"
  for index in 0 1 2 3; do
    tdw_goto "$index"
    shot=$TDW_SHOT_DIR/${TDW_PANE_NAMES[$index]}-$language.png
    tdw_screenshot "$shot" main
    colours=$(convert "$shot" -format '%k' info:) || tdw_fail "$shot is no picture"
    [ "$colours" -gt 8 ] || tdw_fail "$shot looks blank ($colours colours)"
  done
done
tdw_close_app
