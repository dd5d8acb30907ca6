#!/usr/bin/env bash
# At start-up the wizard unpacks its attached demo image: the whole trace in
# order, the 64-bit introduction, the chooser on the internal image, and the
# temporary files (with leftovers of earlier runs, one read-only) removed. A language
# switch afterwards shows the same introduction in the new language.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin loader_attached

intro_en='This wizard will install TalvixOS64 to a compatible disk. In order to do so, you have to agree to the licence found on www.talvixos.org.'
intro_nl='Deze wizard zal talvixOS64 op een schijf van uw keuze installeren. U dient hiervoor akkoord te gaan met de licentie die u vind op www.talvixos.org.'

# Wine's user folder carries the unix user's name; a leftover of an earlier
# run lies in its temporary folder.
temp=$WINEPREFIX/drive_c/users/$(id -un)/Temp
[ -d "$temp" ] || tdw_fail "no temporary folder $temp"
echo leftover >"$temp/oldTDW0004.ZIP.tmp"
echo leftover >"$temp/TDW0004.ZIP.bak" && chmod a-w "$temp/TDW0004.ZIP.bak"

tdw_start_app
tdw_wait_ready
tdw_expect_console "Ready..."
[ "$(tdw_temp_dir)/" -ef "$temp/" ] || tdw_fail "the program's temporary folder is $(tdw_temp_dir), not $temp"
folder=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | sed -n 's/^Using temporary folder: //p' | head -n1)
tdw_console_in_order \
  "Using temporary folder: $folder" \
  "Initializing the COM library..." \
  "Extracting zipped image file..." \
  "Writing temporary file: ${folder}TDW0004.ZIP" \
  "Start unpacking..." \
  "Creating Shell Object...ok" \
  "Creating destination folder object $folder...ok" \
  "Reading temporary file: ${folder}TDW0004.ZIP" \
  "Accesing compressed files inside zip..." \
  "Opening first file object..." \
  "Unpacking...ok" \
  "Temporary file ${folder}TDW0004.ZIP unpacked." \
  "Reading temporary file: ${folder}T64DEMO1.IMG" \
  "Cleaning up temporary files in $folder" \
  "Removing temporary files" \
  "Releasing COM library..." \
  "TalvixOS image succesfully loaded into memory." \
  "" \
  "Ready..." || tdw_fail "the loader's trace differs"
tdw_console_has "Encountered an error." && tdw_fail "the loader reported an error"

tdw_expect "$intro_en" text welcome 100
tdw_expect 1 enabled welcome 102
tdw_expect 0 visible welcome 1006
tdw_expect T64DEMO1.IMG text chooser 1008
tdw_expect 1 checked chooser 103
tdw_expect 1 enabled chooser 103
tdw_expect 0 checked chooser 104

temp_files_gone() {
  [ ! -e "$temp/TDW0004.ZIP" ] && [ ! -e "$temp/T64DEMO1.IMG" ] && [ ! -e "$temp/oldTDW0004.ZIP.tmp" ] &&
    [ ! -e "$temp/TDW0004.ZIP.bak" ]
}
tdw_wait_until "$TDW_TIMEOUT" temp_files_gone || tdw_fail "temporary files left: $(ls "$temp")"

drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
tdw_expect_lang 1
tdw_expect "$intro_nl" text welcome 100
drv lang 0 >/dev/null || tdw_fail "cannot press the en button"
tdw_expect_lang 0
tdw_expect "$intro_en" text welcome 100
tdw_close_app
