#!/usr/bin/env bash
# The Install pane's status list shows the checks' findings, each line with a
# known kind and that kind's icon on screen: without a target an error that
# keeps Start disabled; with drive E: chosen a confirmation and a warning, and
# Start enabled. Each list row's string (what a screen reader reads) is its
# text, an Error or Warning line's after its kind in the pane's language; a
# drive row's is its letter and what its icon shows ("E:, removable drive"). At
# 144 dpi the rows, the fonts and the status icons are half as large again.
# Ctrl+C in the list, and Copy in its menu (Shift+F10, the menu key), put
# every line on the clipboard after its kind in the language shown. Every
# pane's texts show whole at every scale from 100 % to 300 %.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin status_list

missing='Error	Target is missing, select a target in the "Select target" pane.'
write_to='Ok	Write to: E:\'
erase='Warning	WARNING: all files on drive E: will be erased.'
status_has() { drv status 2>/dev/null | grep -xF -- "$1" >/dev/null; }
expect_line() {
  tdw_wait_until "$TDW_TIMEOUT" status_has "$1" || tdw_fail "no line '$1' in: $(drv status 2>&1 | tr '\n' '|')"
}
# Lines of no known kind, or drawn with another icon (or not drawn yet).
unknown_kinds() { drv status --drawn 2>&1 | grep -vE $'^(Error|Ok|Warning)\t.+$'; }
known_kinds() { [ -z "$(unknown_kinds)" ]; }
expect_known_kinds() {
  tdw_wait_until "$TDW_TIMEOUT" known_kinds \
    || tdw_fail "status lines of no known kind, or drawn with another icon: $(unknown_kinds)"
}

tdw_start_app
tdw_wait_ready
tdw_goto 2
expect_line "$missing"
expect_known_kinds
tdw_expect 0 enabled install 111
tdw_screenshot "$TDW_SHOT_DIR/install-status.png" main

# The prefix has one removable drive, E:, backed by a file.
tdw_goto 1
tdw_expect "$(printf '1\t-1')" list target 1012
drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
tdw_goto 2
expect_line "$write_to"
expect_line "$erase"
status_has "$missing" && tdw_fail "the missing-target line stayed after choosing E:"
expect_known_kinds
tdw_expect 1 enabled install 111
tdw_screenshot "$TDW_SHOT_DIR/install-status-target.png" main
sha=$(tdw_sha_line T64DEMO1.IMG "$(dirname "$TDW_EXE")/T64DEMO1.IMG")
tdw_expect "$(printf 'Install from internal file (T64DEMO1.IMG)\n%s\nWrite to: E:\\\nWarning: %s%s' "${sha#*$'\t'}" "${erase#*$'\t'}" \
  "${TDW_WOW64_LINE:+$'\n'Warning: ${TDW_WOW64_LINE#*$'\t'}}")" strings install 1018
tdw_expect "E:, removable drive" strings target 1012
read -r _ panes96 < <(drv geometry | grep '^panes') || tdw_fail "no geometry"
read -r _ drives96 < <(drv geometry | grep '^drives')
read -r _ line96 icon96 < <(drv geometry | grep '^status')
size96=${icon96%x*}
[ "$panes96" = 32 ] && [ "$drives96" -gt 0 ] && [ "$line96" -gt 0 ] && [ "$size96" -gt 0 ] \
  || tdw_fail "sizes at 96 dpi: panes $panes96, drives $drives96, status $line96 $icon96"

# The report as the driver prints the clipboard: "Kind: text" and CR LF a line.
report() { drv status | sed "s/^Error\t/$1: /; s/^Warning\t/$2: /; s/^Ok\t/Ok: /; s/\$/\\\\r\\\\n/" | tr -d '\n'; }
copies() {   # expected report, then keys
  local want=$1; shift
  drv clipboard --clear >/dev/null || tdw_fail "cannot empty the clipboard"
  tdw_expect none clipboard
  drv focus-on install 1018 >/dev/null && drv keys "$@" >/dev/null || tdw_fail "cannot press $* in the list"
  tdw_expect "$want" clipboard
}
want=$(report Error Warning)
case "$want" in "Ok: Install from internal file (T64DEMO1.IMG)\r\nOk: SHA-256 of T64DEMO1.IMG: "*"Warning: WARNING: "*"\r\n") ;;
  *) tdw_fail "unexpected report: $want" ;; esac
copies "$want" ctrl+c
copies "$want" shift+f10 down enter
drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
expect_line 'Ok	Schrijven naar: E:\'
copies "$(report Fout Waarschuwing)" apps down enter
tdw_close_app

# The same at 150 %: programs started from now on see 144 dpi.
desktop='HKCU\Control Panel\Desktop'
before=$(wine reg query "$desktop" /v LogPixels </dev/null 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}')
if [ -n "$before" ]; then
  tdw_on_end "wine reg add '$desktop' /v LogPixels /t REG_DWORD /d $((before)) /f >/dev/null 2>&1 </dev/null"
else
  tdw_on_end "wine reg delete '$desktop' /v LogPixels /f >/dev/null 2>&1 </dev/null"
fi
wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 </dev/null || tdw_fail "cannot set 144 dpi"
tdw_drv_serve_again
tdw_start_app
tdw_wait_ready
tdw_goto 1
tdw_expect "$(printf '1\t-1')" list target 1012
drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"
tdw_goto 2
expect_line "$erase"
expect_known_kinds
half_again() { echo $(( $1 * 3 / 2 )); }
tdw_expect "$(printf 'panes\t%s\ndrives\t%s\nstatus\t%s\t%sx%s' "$(half_again "$panes96")" "$(half_again "$drives96")" \
  "$(half_again "$line96")" "$(half_again "$size96")" "$(half_again "$size96")")" geometry
drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
tdw_expect_lang 1
# The drive row says what its icon shows, in the language chosen.
tdw_expect "E:, verwisselbaar station" strings target 1012
last_string() { drv strings install 1018 | tail -n1; }
last='Waarschuwing: WAARSCHUWING: Alle bestanden op E: zullen gewist worden.'
[ -n "$TDW_WOW64_LINE" ] && last='Waarschuwing: Dit is het 32-bits programma op 64-bits Windows: station E: wordt na het schrijven niet herstart, dus koppel het los en sluit het opnieuw aan voordat u het gebruikt. TalvixDiskWriter.exe, het 64-bits programma, herstart het wel.'
tdw_expect_out "$last" last_string
tdw_close_app

# At 200 % and 300 % no item is taller than the 255 pixels Windows allows
# (Wine takes more): the longest Dutch line (inside the path of a file that
# is not there) and a SHA-256 after a long path take the items they need,
# which together carry the whole line; the first item's string holds it all,
# the arrows go from line to line, a screen reader reads and hears lines
# (Active Accessibility, and the focus event of each arrow), and Ctrl+C
# copies each line once.
policy=$(sed -n 's/^ *IDS_ACCESS_POLICY, *"\(.*\)"\r\?$/\1/p' "$TDW_ROOT/src/resources/strings_nl.rc")
policy=${policy//%s/E:}
[ ${#policy} -gt 250 ] || tdw_fail "the longest Dutch line was not found"
folder="$TDW_WINE_DIR/een map met een lange naam"
name=diskettebeeld_$(printf 'x%.0s' {1..140}).img
mkdir -p "$folder" && cp "$(dirname "$TDW_EXE")/T64DEMO1.IMG" "$folder/$name" || tdw_fail "cannot copy the image"
tdw_on_end "rm -rf '$folder'"
items_whole() {   # <text of a line> <least items>
  drv status-items 2>/dev/null | awk -F'\t' -v want="$1" -v least="$2" \
    '$2 > 255 || $3 != "whole" {bad = 1} index($4, want) && $1 >= least {found = 1} END {exit !(found && !bad)}'
}
for dpi in 192 288; do
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 </dev/null || tdw_fail "cannot set $dpi dpi"
  tdw_drv_serve_again
  tdw_start_app
  tdw_wait_ready
  drv lang 1 >/dev/null && drv click chooser 104 >/dev/null && drv settext chooser 1009 "$policy" >/dev/null \
    || tdw_fail "cannot type the path"
  tdw_goto 2
  tdw_wait_until "$TDW_TIMEOUT" items_whole "$policy" 2 || tdw_fail "at $dpi dpi: $(drv status-items 2>&1)"
  tdw_goto 0
  drv settext chooser 1009 "$(tdw_win_path "$folder/$name")" >/dev/null || tdw_fail "cannot type the path"
  tdw_goto 2
  sha=$(tdw_sha_line "$name" "$folder/$name" nl)
  tdw_wait_until "$TDW_TIMEOUT" items_whole "${sha#*$'\t'}" $((dpi / 144)) || tdw_fail "at $dpi dpi: $(drv status-items 2>&1)"
  # A line of several items shares one stripe, and is selected whole.
  first=$(drv status-items | awk -F'\t' -v want="${sha#*$'\t'}" 'index($4, want) {print n; exit} {n += $1}')
  drv pick install 1018 "$first" >/dev/null || tdw_fail "cannot select the SHA-256 line"
  one_fill() { drv status-items 2>/dev/null | awk -F'\t' '$5 == "fills differ" {bad = 1} END {exit bad}'; }
  tdw_wait_until "$TDW_TIMEOUT" one_fill || tdw_fail "at $dpi dpi a line's items are drawn differently: $(drv status-items 2>&1)"
  # The arrows go line by line, never onto the items a line goes on in, and
  # a screen reader is told the line: its focus event names it by its number
  # among the lines.
  read -r above items total < <(drv status-items | awk -F'\t' -v want="${sha#*$'\t'}" \
    'index($4, want) {a = p; i = $1} {p = n; n += $1} END {print a + 0, i + 0, n + 0}')
  line_of() { drv status-items | awk -F'\t' -v item="$1" 'n == item {print NR; exit} {n += $1}'; }
  drv focus-on install 1018 >/dev/null || tdw_fail "cannot focus the status list"
  for step in "up $above" "down $first" "down $((first + items))"; do
    events=$(drv focus-events 1018 ${step% *}) || tdw_fail "no focus event for ${step% *}: $events"
    tdw_expect "$(printf '%s\t%s' "$total" "${step#* }")" list install 1018
    [ "$(tail -n 1 <<<"$events")" = "1018	$(line_of "${step#* }")" ] \
      || tdw_fail "the focus event of ${step% *} names no line $(line_of "${step#* }"): $(tr '\n' '|' <<<"$events")"
  done
  # Through Active Accessibility the list is its lines: one item each, named
  # as the status verb gives them after the Dutch kind words, the focused one
  # selected and focused.
  heard=$(drv accessible install 1018) || tdw_fail "the status list cannot be read: $heard"
  said=$(drv status | sed 's/^Error\t/Fout: /; s/^Warning\t/Waarschuwing: /; s/^Ok\t//')
  [ "$(sed '1d; /^selection\t/,$d' <<<"$heard" | cut -f1)" = "$said" ] && ! sed '1d; /^selection\t/,$d' <<<"$heard" | grep -qv $'\t34\t' \
    && grep -qx "selection	$(line_of $((first + items)))" <<<"$heard" \
    && [ "$(grep -c $'\t0x300006$' <<<"$heard")" = 1 ] || tdw_fail "at $dpi dpi a reader hears: $(tr '\n' '|' <<<"$heard")"
  copies "$(report Fout Waarschuwing)" ctrl+c
  tdw_close_app
done

# Every pane's texts whole at 100 % to 300 %, in English and Dutch: the
# program measures each static and button in its own font as the pane shows
# and says in its trace what it cuts off.
for dpi in 96 120 144 192 240 288; do
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 </dev/null || tdw_fail "cannot set $dpi dpi"
  tdw_drv_serve_again
  tdw_start_app
  tdw_wait_ready
  for language in 0 1; do
    drv lang $language >/dev/null && for pane in 1 2 3 0; do tdw_goto $pane; done || tdw_fail "no language $language"
  done
  tdw_close_app
  ! grep -a 'Text cut off' "$TDW_CONSOLE_LOG" || tdw_fail "at $dpi dpi texts are cut off (above)"
done
