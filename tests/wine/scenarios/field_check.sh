#!/usr/bin/env bash
# field-check.exe run as a tester who has already chosen drive E:. On a stick,
# from the folder that holds the program: it writes the image with the
# wizard, reads it back, puts the drive back with the wizard, exits 0, ends
# with the path of its report, and leaves the drive as it was. The report
# holds every section, a PASS line for each step and no FAIL, the programs'
# SHA-256, and no user name in its paths. On a diskette-sized drive, beside a
# distributor's program of another name (found by itself): Put back asks
# whether the diskette is the one, the check answers Yes and reports the
# question. A drive the program would refuse (the fixed drive C:) is refused
# before anything is read or written; asked for a drive, the check lists the
# ones the program would write and takes no other. The report gives the focus
# event of the outcome after the write, the status lines read back one a line,
# and the focus event of an arrow move in the status list. As wine32.field_check, field-check32.exe
# checks the 32-bit program on the diskette.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin field_check
distributor=$TDW_W_WORK/distributor
unmanaged() {
  local verb=$1
  shift
  wine reg "$verb" 'HKCU\Software\Wine\X11 Driver' /v Managed "$@" /f /reg:64 >/dev/null 2>&1
}
tdw_w_on_exit 'drv close >/dev/null 2>&1; tdw_w_drive_restore; rm -rf "$distributor"; unmanaged delete'
# With no window manager, Wine holds the thread whose box closes for 2 s,
# waiting for a window manager to withdraw the box: a hang no Windows has,
# which the check rightly fails. Programs started from now on leave their
# windows unmanaged, and Wine does not wait for them.
unmanaged add /d N

exe_dir=$(dirname "$TDW_EXE")
check=field-check.exe
case ${TDW_EXE##*/} in *32.exe) check=field-check32.exe ;; esac
out=$TDW_LOG_DIR/field_check.out
report_lines() { tr -d '\r' <"$report"; }

# run_check <folder> <report name> <arguments...>: runs the check from
# <folder>; rc is its exit code, report the report kept in the log folder.
run_check() {
  local folder=$1 name=$2 path
  shift 2
  rc=0
  (cd "$folder" && wine "$check" "$@" </dev/null >"$out" 2>&1) || rc=$?
  path=$(tdw_unix_path "$(tr -d '\r' <"$out" | tail -n 1)") || tdw_fail "the output does not end with the report's path: $(tail -n 3 "$out")"
  [ -f "$path" ] || tdw_fail "no report at $path"
  report=$TDW_LOG_DIR/$name
  mv "$path" "$report"
}

if [ "$check" = field-check.exe ]; then
  tdw_w_drive_pattern 2097152
  rc=0
  (cd "$exe_dir" && wine "$check" --drive C: --yes </dev/null >"$out" 2>&1) || rc=$?
  [ "$rc" -eq 1 ] && grep -q '^FAIL Drive is one the program would write' "$out" && ! grep -q '^PASS' "$out" \
    && grep -q 'C: is a fixed disk that is not a stick or card' "$out" \
    || tdw_fail "drive C: was not refused (exit $rc): $(tr '\n' '|' <"$out")"
  rm -f "$(tdw_unix_path "$(tr -d '\r' <"$out" | tail -n 1)")"

  # Asked for a drive, it lists those the program would write and takes no other.
  rc=0
  (cd "$exe_dir" && printf 'C\n' | wine "$check" >"$out" 2>&1) || rc=$?
  [ "$rc" -eq 2 ] && grep -q '^  E:  .*removable' <(tr -d '\r' <"$out") && ! grep -q '^  C:' "$out" \
    && grep -q 'no drive of the list was chosen' "$out" || tdw_fail "the drive list or its choice is wrong (exit $rc): $(tr '\n' '|' <"$out")"

  # Both programs and the driver lie in this folder: the check takes the
  # one of its own width that carries an image.
  run_check "$exe_dir" field-report.txt --drive E: --yes
  [ "$rc" -eq 0 ] || { cat "$out" >&2; tdw_fail "field-check exited with $rc"; }
  for section in Windows 'Programs (SHA-256, version)' Device 'Digests (SHA-256)' Steps 'Boxes the wizard opened' \
      Notes 'Window answer time' 'Status lines' 'Console trace' Verdict; do
    grep -qxF "== $section ==" <(report_lines) || tdw_fail "the report has no section '$section'"
  done
  for fact in Version 'Service pack' Windows 'User-interface language' 'ANSI code page' 'Display scale' "Display scale of the wizard's monitor" Vendor Serial Length 'Sector size' \
      'Drive after Put back'; do
    grep -q "^$fact: ." <(report_lines) || tdw_fail "the report does not give '$fact'"
  done
  [ "$(grep -c '^PASS ' "$report")" -eq 10 ] && ! grep -q '^FAIL ' "$report" \
    || tdw_fail "not every step passed: $(grep -E '^(PASS|FAIL) ' "$report" | tr '\r\n' '  ')"
  # Wine gives the focus events a screen reader follows: the outcome's text gets the focus after the write.
  grep -q '^Focus events (control/line): .*\b4001\b' <(report_lines) || tdw_fail "no focus event for the Reboot text: $(grep '^Focus' "$report")"
  # The status list is read back as its lines, each a list item named as the
  # wizard shows it, and an arrow in it is heard as a focus event on its line.
  read -r heard of said < <(sed -n 's/^Status lines a reader goes through: //p' <(report_lines))
  [ -n "$heard" ] && [ "$heard" = "$said" ] && [ "$(grep -c '^Status line [0-9]*: role 34, state 0x3' "$report")" = "$heard" ] \
    && grep -q '^Status line [0-9]*: role 34, .*: Warning: WARNING: all files on drive E:' <(report_lines) \
    || tdw_fail "the status lines were not read back as lines: $(grep '^Status line' "$report" | tr '\r\n' '  ')"
  grep -q '^Focus of an arrow move in the status list: .* focus event for line [1-9]' <(report_lines) \
    || tdw_fail "no focus event for an arrow move: $(grep '^Focus of an arrow' "$report")"
  grep -qF "Read back: all $TDW_IMAGE_SIZE bytes match." "$report" || tdw_fail "the report lacks the wizard's console trace"
  for program in "$TDW_EXE" "$exe_dir/$check"; do
    grep -qF "${program##*/}, $(sha256sum "$program" | cut -c1-64), version 1.0.0.0" "$report" \
      || tdw_fail "the report does not name ${program##*/} with its SHA-256 and version: $(grep -F ': Z:' "$report")"
  done
  grep -qiF "users\\$(id -un)\\" "$report" && tdw_fail "the report holds the user's name: $(grep -iF "users\\$(id -un)\\" "$report" | head -n 2)"
  grep -qF 'users\%USERNAME%\' "$report" || tdw_fail "the report's paths hold no %USERNAME%"
  tdw_w_expect_untouched
fi

# A diskette has no untouched bytes to tell it by: Put back asks first.
tdw_w_drive_pattern 1474560
mkdir -p "$distributor"
cp "$TDW_EXE" "$distributor/MyOsWriter.exe"
cp "$exe_dir/$check" "$distributor/"
run_check "$distributor" field-report-diskette.txt --drive E: --yes
[ "$rc" -eq 0 ] && ! grep -q '^FAIL ' "$report" || { cat "$out" >&2; tdw_fail "field-check on a diskette exited with $rc"; }
grep -qF "The program checked: $(tdw_win_path "$distributor/MyOsWriter.exe")" <(report_lines) \
  || tdw_fail "the distributor's program was not the one checked: $(grep -F 'program checked' "$report")"
grep -q "^Is this the diskette that was in drive E: .*: answered Yes" <(report_lines) \
  || tdw_fail "the diskette's question is not in the report: $(sed -n '/== Boxes/,/== Notes/p' "$report" | tr '\r\n' '  ')"
tdw_w_expect_untouched
