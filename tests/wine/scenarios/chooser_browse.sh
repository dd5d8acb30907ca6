#!/usr/bin/env bash
# The browse button: Cancel keeps the typed path, OK puts the chosen file in
# the edit; either way the chooser moves to the external image, which the
# Install pane's checks then examine.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin chooser_browse

image=$(tdw_win_path "$(cd "$(dirname "$TDW_EXE")" && pwd)/T64DEMO1.IMG")
kept='C:\no such folder\kept.img'

tdw_start_app
tdw_wait_ready
tdw_expect 1 checked chooser 103

drv settext chooser 1009 "$kept" >/dev/null || tdw_fail "cannot type into the edit"
drv click --post chooser 106 >/dev/null || tdw_fail "cannot press the browse button"
drv filedialog cancel >/dev/null || tdw_fail "the open-file dialog did not open and close"
tdw_expect "$kept" text chooser 1009
tdw_expect 0 checked chooser 103
tdw_expect 1 checked chooser 104
tdw_expect 1 enabled chooser 103
tdw_goto 2
tdw_expect_out "Error	Sourcefile $kept not found. Please supply a valid filename in the \"Welcome\" pane." tdw_source_line

tdw_goto 0
drv click chooser 103 >/dev/null || tdw_fail "cannot choose the internal image"
tdw_expect 1 checked chooser 103
drv click --post chooser 106 >/dev/null || tdw_fail "cannot press the browse button"
drv filedialog ok "$image" >/dev/null || tdw_fail "the open-file dialog did not take $image"
tdw_expect "$image" text chooser 1009
tdw_expect 0 checked chooser 103
tdw_expect 1 checked chooser 104
tdw_goto 2
tdw_expect_out "Ok	Sourcefile: $image" tdw_source_line
tdw_close_app
