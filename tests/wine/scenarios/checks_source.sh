#!/usr/bin/env bash
# The Install pane's findings for each kind of source (the internal image, a
# bootable file, a missing file, no path, a boot sector trimmed of the rest of
# its image, a file that is no boot image, ZIP and gzip archives) in English and in
# Dutch, with drive E: as the target: an image that can be written comes with
# its SHA-256 (a trimmed one with the zeros that follow it), an archive's
# with the image's name and digest or why it holds none to write; Start is enabled
# exactly when the source line is no error; the erase warning never disables it.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
tdw_begin checks_source

files=$TDW_WINE_DIR/files/checks_source
mkdir -p "$files"
rm -f "$files"/*
python3 - "$files" <<'PY' || tdw_fail "cannot make the source files"
import gzip, sys, zipfile
folder = sys.argv[1]
boot = bytearray(512)
boot[510:512] = b"\x55\xaa"
open(folder + "/boot.img", "wb").write(bytes(boot) + bytes(1474560 - 512))
open(folder + "/short.img", "wb").write(boot)
open(folder + "/text.img", "wb").write(b"not a boot sector\n" * 40)
with zipfile.ZipFile(folder + "/image.zip", "w", zipfile.ZIP_DEFLATED) as zf:
    zf.writestr("README.TXT", b"Read me first.\n" * 100)
    zf.writestr("disk/T64DEMO1.IMG", bytes(boot) * 4)
open(folder + "/T64DEMO1.IMG", "wb").write(bytes(boot) * 4)
with zipfile.ZipFile(folder + "/two.zip", "w", zipfile.ZIP_DEFLATED) as zf:
    zf.writestr("DISK1.IMG", bytes(boot))
    zf.writestr("DISK2.IMG", bytes(boot) * 2)
open(folder + "/T64DEMO1.IMG.gz", "wb").write(gzip.compress(bytes(boot) * 4))
PY
win=$(tdw_win_path "$files")

# Catalogue texts, English and Dutch.
declare -A text=(
  [en.internal]='Install from internal file (%s)'
  [en.found]='Sourcefile: %s'
  [en.missing]='Sourcefile %s not found. Please supply a valid filename in the "Welcome" pane.'
  [en.notboot]="%s doesn't contain a bootable disketteimage."
  [en.zip]='Install from %s (T64DEMO1.IMG inside)'
  [en.two]='%s holds 2 images: DISK1.IMG, DISK2.IMG. Unpack the one you want and choose it.'
  [en.write]='Write to: %s'
  [en.erase]='WARNING: all files on drive %s will be erased.'
  [nl.internal]='Installatie vanuit intern bestand (%s)'
  [nl.found]='Bronbestand: %s'
  [nl.missing]='Bronbestand %s niet gevonden. Geef een geldige bestandsnaam op in het menuonderdeel "Welkom"'
  [nl.notboot]='%s bevat geen opstartbaar diskettebeeld.'
  [nl.zip]='Installatie vanuit %s (T64DEMO1.IMG daarin)'
  [nl.two]='%s bevat 2 diskettebeelden: DISK1.IMG, DISK2.IMG. Pak het gewenste diskettebeeld uit en kies dat.'
  [nl.write]='Schrijven naar: %s'
  [nl.erase]='WAARSCHUWING: Alle bestanden op %s zullen gewist worden.'
)

# The lines that follow the source line of an image that can be written.
demo=$(dirname "$TDW_EXE")/T64DEMO1.IMG
declare -A after
for lang in en nl; do
  after[$lang.internal]=$(tdw_sha_line T64DEMO1.IMG "$demo" $lang)
  after[$lang.boot]=$(tdw_sha_line boot.img "$files/boot.img" $lang)
done
after[en.short]=$(printf 'Ok\tshort.img is 512 bytes; the last 1,474,048 bytes of the diskette are written as zeros.\n%s' \
  "$(tdw_sha_line short.img "$files/short.img")")
after[nl.short]=$(printf 'Ok\tshort.img is 512 bytes groot; de laatste 1.474.048 bytes van de diskette worden met nullen gevuld.\n%s' \
  "$(tdw_sha_line short.img "$files/short.img" nl)")
after[en.zip]=$(printf 'Ok\tT64DEMO1.IMG is 2,048 bytes; the last 1,472,512 bytes of the diskette are written as zeros.\n%s' \
  "$(tdw_sha_line T64DEMO1.IMG "$files/T64DEMO1.IMG")")
after[nl.zip]=$(printf 'Ok\tT64DEMO1.IMG is 2.048 bytes groot; de laatste 1.472.512 bytes van de diskette worden met nullen gevuld.\n%s' \
  "$(tdw_sha_line T64DEMO1.IMG "$files/T64DEMO1.IMG" nl)")

# source (internal, or the edit's text), kind, text, argument of the source
# line, the key of the lines that follow it
cases=(
  "internal|Ok|internal|T64DEMO1.IMG|internal"
  "$win\\boot.img|Ok|found|$win\\boot.img|boot"
  "$win\\absent.img|Error|missing|$win\\absent.img"
  "|Error|missing|"
  "$win\\short.img|Ok|found|$win\\short.img|short"
  "$win\\text.img|Error|notboot|$win\\text.img"
  "$win\\image.zip|Ok|zip|image.zip|zip"
  "$win\\T64DEMO1.IMG.gz|Ok|zip|T64DEMO1.IMG.gz|zip"
  "$win\\two.zip|Error|two|two.zip"
)

tdw_start_app
tdw_wait_ready
tdw_goto 1
tdw_expect "$(printf 'E:\\\ticon\nselected\t-1')" rows
drv pick target 1012 0 >/dev/null || tdw_fail "cannot choose drive E:"

for lang in en nl; do
  if [ "$lang" = nl ]; then
    drv lang 1 >/dev/null || tdw_fail "cannot press the nl button"
    tdw_expect_lang 1
  fi
  for case in "${cases[@]}"; do
    IFS='|' read -r source kind id argument more <<<"$case"
    tdw_log "$lang: source '$source'"
    tdw_goto 0
    if [ "$source" = internal ]; then
      drv click chooser 103 >/dev/null || tdw_fail "cannot choose the internal image"
    else
      drv settext chooser 1009 "$source" >/dev/null || tdw_fail "cannot type the path"
      drv click chooser 104 >/dev/null || tdw_fail "cannot choose an external image"
    fi
    tdw_goto 2
    # shellcheck disable=SC2059
    want=$(printf "%s\t${text[$lang.$id]}\n" "$kind" "$argument"
      [ -n "$more" ] && printf '%s\n' "${after[$lang.$more]}"
      printf "Ok\t${text[$lang.write]}\nWarning\t${text[$lang.erase]}" 'E:\' 'E:')
    tdw_expect "$want" status
    # Start follows the rules when the lines are drawn: draw them now.
    drv redraw >/dev/null || tdw_fail "the window no longer answers"
    tdw_expect "$([ "$kind" = Ok ] && echo 1 || echo 0)" enabled install 111
  done
done
tdw_close_app
