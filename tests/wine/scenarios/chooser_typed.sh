#!/usr/bin/env bash
# A path typed into the edit moves neither radio button nor the source choice,
# and the checks see the edit's text as it stood when the Welcome pane was
# last left or shown, not as it is now.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin chooser_typed

image=$(tdw_win_path "$(cd "$(dirname "$TDW_EXE")" && pwd)/T64DEMO1.IMG")
later='C:\typed\later.img'
not_found() { printf 'Error\tSourcefile %s not found. Please supply a valid filename in the "Welcome" pane.' "$1"; }

tdw_start_app
tdw_wait_ready
tdw_expect 1 checked chooser 103
drv settext chooser 1009 "$image" >/dev/null || tdw_fail "cannot type into the edit"
tdw_expect 1 checked chooser 103
tdw_expect 0 checked chooser 104
tdw_goto 2
tdw_expect_out "Ok	Install from internal file (T64DEMO1.IMG)" tdw_source_line

tdw_goto 0
drv click chooser 104 >/dev/null || tdw_fail "cannot choose an external image"
tdw_goto 1
# Typed while the Welcome pane is away: the checks keep the path of leaving.
drv settext --hidden chooser 1009 "$later" >/dev/null || tdw_fail "cannot change the edit"
tdw_goto 2
tdw_expect_out "Ok	Sourcefile: $image" tdw_source_line
tdw_goto 0
tdw_goto 2
tdw_expect_out "$(not_found "$later")" tdw_source_line
tdw_close_app
