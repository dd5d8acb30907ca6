#!/usr/bin/env bash
# The attached entry's name decides the introduction: "T64" in it (case
# counts) names the 64-bit edition, any other name the 32-bit one; a name
# without a dot gets ".IMG" and the chooser shows the name so made.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin loader_edition

intro() {
  printf 'This wizard will install TalvixOS%s to a compatible disk. In order to do so, you have to agree to the licence found on www.talvixos.org.' "$1"
}

# variant, entry name, edition, name the chooser shows
cases=(
  "edition32 TALVIX32.IMG 32 TALVIX32.IMG"
  "lowercase t64demo1.img 32 t64demo1.img"
  "nodot T64DEMO1 64 T64DEMO1.IMG"
)
for case in "${cases[@]}"; do
  read -r name entry edition shown <<<"$case"
  exe=$(tdw_variant "$name" "$entry") || tdw_fail "cannot make the $name program"
  tdw_log "case $name: entry $entry"
  TDW_EXE=$exe tdw_start_app
  tdw_wait_ready
  tdw_expect "$(intro "$edition")" text welcome 100
  tdw_expect "$shown" text chooser 1008
  tdw_expect 1 checked chooser 103
  tdw_expect_console "TalvixOS image succesfully loaded into memory."
  folder=$(tr -d '\r' <"$TDW_CONSOLE_LOG" | sed -n 's/^Using temporary folder: //p' | head -n1)
  tdw_console_has "Reading temporary file: $folder$shown" || tdw_fail "$name: $shown was not the unpacked file"
  tdw_close_app
done
