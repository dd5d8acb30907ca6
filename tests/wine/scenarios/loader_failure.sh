#!/usr/bin/env bash
# A program without a usable attached image (none attached at all, or an
# archive whose deflated data is spoilt) says why on the console, takes the
# failure path, shows the generic introduction in either language, offers
# only an external image and leaves no temporary archive behind.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin loader_failure

intro_en='This wizard will install a diskimage to a compatible disk. If you are installing TalvixOS, you have to agree to the licence found on www.talvixos.org.'
intro_nl='Deze wizard zal een diskettebeeld van uw keuze installeren op een schijf van uw keuze. Als u TalvixOS installeert dient u akkoord te gaan met de licentie op www.talvixos.org.'

# Beginnings of the lines of the loader's own steps: none of them explains a
# failure, and a reason must not trail one of them.
trace_steps=(
  "Start unpacking..." "Creating Shell Object..." "Creating destination folder object" "Reading temporary file:"
  "Accesing compressed files inside zip..." "Opening first file object..." "Unpacking..."
)

# The program itself holds the ZIP signature beyond byte 5120 (its archive
# code compares against it), so even the plain program finds a "first local
# header" and fails while unpacking, not at the end of the file.
# variant name, entry name, corruption
cases=(
  "plain plain"
  "corrupt T64DEMO1.IMG corrupt"
)
for case in "${cases[@]}"; do
  read -r name entry corrupt <<<"$case"
  exe=$(tdw_variant "$name" "$entry" $corrupt) || tdw_fail "cannot make the $name program"
  tdw_log "case $name"
  TDW_EXE=$exe tdw_start_app
  tdw_wait_ready
  tdw_expect_console "Ready..."
  folder=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | sed -n 's/^Using temporary folder: //p' | head -n1)
  tdw_console_in_order \
    "Using temporary folder: $folder" \
    "Initializing the COM library..." \
    "Extracting zipped image file..." \
    "Writing temporary file: ${folder}TDW0004.ZIP" \
    "Start unpacking..." \
    "Encountered an error." \
    "Removing temporary files" \
    "" \
    "End of thread." \
    "No attached image unzipped/found." \
    "Ready..." || tdw_fail "$name: the failure trace differs"
  for line in "Releasing COM library..." "TalvixOS image succesfully loaded into memory."; do
    tdw_console_has "$line" && tdw_fail "$name: the console shows '$line' after a failure"
  done
  # The line before "Encountered an error." gives the reason in English, on
  # a line of its own.
  reason=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -xF -B1 "Encountered an error." | head -n1)
  for step in "${trace_steps[@]}"; do [[ $reason != "$step"* ]] || reason=; done
  [ -n "$reason" ] || tdw_fail "$name: no reason of its own line before 'Encountered an error.'"
  tdw_log "$name: reason '$reason'"

  tdw_expect "$intro_en" text welcome 100
  tdw_expect 1 enabled welcome 102
  tdw_expect 0 visible welcome 1006
  tdw_expect "" text chooser 1008
  tdw_expect 0 enabled chooser 103
  tdw_expect 0 checked chooser 103
  tdw_expect 1 checked chooser 104
  temp=$(tdw_temp_dir) || tdw_fail "no temporary folder in the trace"
  no_temp_files() { [ ! -e "$temp/TDW0004.ZIP" ] && [ ! -e "$temp/T64DEMO1.IMG" ]; }
  tdw_wait_until "$TDW_TIMEOUT" no_temp_files || tdw_fail "$name: temporary files stayed: $(ls "$temp")"

  drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
  tdw_expect_lang 1
  tdw_expect "$intro_nl" text welcome 100
  tdw_close_app
done
