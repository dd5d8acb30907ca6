#!/usr/bin/env bash
# The language toolbar retitles the window, the pane list and the panes'
# buttons; ".." turns every text into the placeholder.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin language

# The driver prints CR and LF as \r and \n.
prompt_en='Select a target from the list below. Compatible USB \r\ndevices you plug in now will show up in the list.'
prompt_nl='Selecteer een doel uit de lijst hieronder. Compatible USB apparaten die u nu aansluit zullen in de lijst verschijnen.'

tdw_start_app
tdw_wait_ready
tdw_goto 1

drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
tdw_expect_lang 1
tdw_expect "TalvixOS Disk Writer (TalvixOS Schijf Schrijver)" title
tdw_expect "$(tdw_pane_list 1 "${TDW_TITLES_NL[@]}")" panes
tdw_expect target shown
tdw_expect Vorige text target 101
tdw_expect Volgende text target 102
tdw_expect "$prompt_nl" text target 110
tdw_goto 0
tdw_expect Vorige text welcome 101
tdw_expect Volgende text welcome 102

drv lang 0 >/dev/null || tdw_fail "cannot press the en button"
tdw_expect_lang 0
tdw_expect "TalvixOS Disk Writer" title
tdw_expect "$(tdw_pane_list 0 "${TDW_TITLES_EN[@]}")" panes
tdw_expect Previous text welcome 101
tdw_expect Next text welcome 102
tdw_goto 1
tdw_expect Previous text target 101
tdw_expect "$prompt_en" text target 110

drv lang 2 >/dev/null || tdw_fail "cannot press the .. button"
tdw_expect_lang 2
tdw_expect "$(tdw_pane_list 1 "${TDW_TITLES_NONE[@]}")" panes
tdw_goto 0
tdw_expect "..." title
tdw_expect "..." text welcome 102
# The Install pane was never shown: its stamp already equals the placeholder
# language, so it keeps the empty captions of its template.
tdw_goto 2
tdw_expect "" text install 102

drv lang 0 >/dev/null || tdw_fail "cannot press the en button"
tdw_expect_lang 0
tdw_expect "TalvixOS Disk Writer" title
tdw_expect "$(tdw_pane_list 2 "${TDW_TITLES_EN[@]}")" panes
tdw_expect Next text install 102
tdw_goto 0
tdw_expect Next text welcome 102
tdw_close_app
