#!/usr/bin/env bash
# test_attach_image.sh ATTACH_IMAGE READ_ATTACHED IMAGE WORKDIR
#
# attach-image appends a standard archive that the program's reader (through
# read-attached) and an independent reader (Python's zipfile) both unpack to
# the original image, even with the signature in the program bytes before the
# archive; a trimmed image is attached padded to a whole diskette; the SHA-256
# printed is that of the image as attached; it refuses unsuitable images and
# names without writing anything.
set -euo pipefail

attach=$1
read_attached=$2
image=$3
work=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Stand-in program bytes: 40,000 bytes holding the local-header signature at
# 100 (before the program's scan starts) and at 18,916 (where the scan stops).
head -c 40000 /dev/zero | tr '\0' 'M' >program.exe
printf 'PK\003\004' | dd of=program.exe bs=1 seek=100 conv=notrunc status=none
printf 'PK\003\004' | dd of=program.exe bs=1 seek=18916 conv=notrunc status=none
# Without a stray signature the archive's own header is found.
head -c 9000 /dev/zero >clean.exe

cp "$image" T64DEMO1.IMG
cp "$image" DEMO

check_round_trip() {   # program name expected-leading-bytes unpacked-name
  local program=$1 name=$2 leading=$3 unpacked=$4
  local out="${program%.exe}_$name.exe"
  "$attach" "$program" "$name" "$out" >attach.log || fail "attach-image refused $program + $name"
  grep -qx "SHA-256 of $name as attached: $(sha256sum <"$image" | cut -c1-64)" attach.log \
    || { cat attach.log; fail "attach-image printed no SHA-256, or another, for $name"; }
  local psize
  psize=$(stat -c %s "$program")
  cmp -n "$psize" "$program" "$out" || fail "$out does not start with the bytes of $program"
  [ "$(tail -c 22 "$out" | head -c 4 | od -An -tx1 | tr -d ' ')" = "504b0506" ] \
    || fail "$out does not end with the end record"
  "$read_attached" "$out" "back_$name" >read.log || { cat read.log; fail "read-attached refused $out"; }
  cmp "back_$name" "$image" || fail "the image read back from $out differs"
  grep -q "entry $name, unpacked as $unpacked, $leading leading bytes" read.log \
    || { cat read.log; fail "unexpected entry description for $out"; }
  python3 - "$out" "$name" "$image" <<'PY' || fail "Python's zipfile does not read $out"
import sys, zipfile
out, name, image = sys.argv[1:]
with zipfile.ZipFile(out) as z:
    infos = z.infolist()
    assert [i.filename for i in infos] == [name], infos
    i = infos[0]
    assert i.compress_type == zipfile.ZIP_DEFLATED and i.flag_bits == 0 and i.extra == b""
    assert i.date_time == (2024, 1, 1, 0, 0, 0), i.date_time
    assert z.read(name) == open(image, "rb").read()
PY
}

check_round_trip program.exe T64DEMO1.IMG $((40000 - 18916)) T64DEMO1.IMG
check_round_trip clean.exe T64DEMO1.IMG 0 T64DEMO1.IMG
check_round_trip program.exe DEMO $((40000 - 18916)) DEMO.IMG

# A program that carries an image already gets the new one in its place.
"$attach" program_DEMO.exe T64DEMO1.IMG replaced.exe >replace.log || fail "attach-image refused a program with an image"
grep -q "already carries an image (DEMO): it is replaced" replace.log || { cat replace.log; fail "the replacement went unsaid"; }
cmp replaced.exe program_T64DEMO1.IMG.exe || fail "the image attached before was not replaced"

# The same inputs give the same program, byte for byte.
"$attach" program.exe T64DEMO1.IMG again.exe
cmp again.exe program_T64DEMO1.IMG.exe || fail "attach-image is not reproducible"
SOURCE_DATE_EPOCH= "$attach" program.exe T64DEMO1.IMG again.exe
cmp again.exe program_T64DEMO1.IMG.exe || fail "an empty SOURCE_DATE_EPOCH changed the archive"
# SOURCE_DATE_EPOCH dates the entry (2001-09-09 01:46:40 UTC); a bad one is refused.
SOURCE_DATE_EPOCH=1000000000 "$attach" program.exe T64DEMO1.IMG epoch.exe || fail "attach-image refused SOURCE_DATE_EPOCH"
python3 - epoch.exe <<'PY' || fail "SOURCE_DATE_EPOCH did not date the entry"
import sys, zipfile
assert zipfile.ZipFile(sys.argv[1]).infolist()[0].date_time == (2001, 9, 9, 1, 46, 40)
PY
for bad in 12x -5 ' 7' 99999999999999999999; do
  rm -f refused.exe
  if SOURCE_DATE_EPOCH=$bad "$attach" program.exe T64DEMO1.IMG refused.exe 2>err.log; then
    fail "attach-image accepted SOURCE_DATE_EPOCH='$bad'"
  fi
  grep -q SOURCE_DATE_EPOCH err.log && [ ! -e refused.exe ] || fail "SOURCE_DATE_EPOCH='$bad' refused without a word, or written"
done

# A signed program, or one whose certificate entry is damaged, is refused:
# stand-in PE headers whose security entry names the last 1,000 bytes, then
# bytes past the file's end. The same headers without an entry are accepted.
make_pe() {   # out cert-offset cert-size
  python3 - "$@" <<'PY'
import struct, sys
out, offset, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
b = bytearray(8000)
b[0:2] = b"MZ"; struct.pack_into("<I", b, 0x3C, 0x80)
b[0x80:0x84] = b"PE\0\0"
struct.pack_into("<HH", b, 0x84 + 2, 1, 0)
struct.pack_into("<H", b, 0x84 + 16, 0xF0)
struct.pack_into("<H", b, 0x98, 0x20B)
struct.pack_into("<I", b, 0x98 + 108, 16)
struct.pack_into("<II", b, 0x98 + 112 + 4 * 8, offset, size)
open(out, "wb").write(b)
PY
}
make_pe signed.exe 7000 1000
make_pe damaged.exe 7000 1001
make_pe unsigned.exe 0 0
for program in signed.exe damaged.exe; do
  rm -f refused.exe
  if "$attach" $program T64DEMO1.IMG refused.exe 2>"$program.log"; then fail "attach-image accepted $program"; fi
  [ -s "$program.log" ] && [ ! -e refused.exe ] || fail "$program refused without a word, or written"
done
grep -q "signed.exe is signed: .*then sign the result" signed.exe.log || { cat signed.exe.log; fail "no clear message for a signed program"; }
"$attach" unsigned.exe T64DEMO1.IMG unsigned_T64.exe || fail "attach-image refused a program without a signature"
# Signed after attaching: the certificate table (padded to 8 bytes, as
# signing tools do; here holding a stray end record) follows the archive,
# which is still found.
python3 - unsigned_T64.exe signed_T64.exe <<'PY'
import struct, sys
b = bytearray(open(sys.argv[1], "rb").read())
b += bytes(-len(b) % 8)
offset = len(b)
b += struct.pack("<IHH", 1000, 0x200, 2) + b"PK\5\6" + bytes(1000 - 12)
struct.pack_into("<II", b, 0x98 + 112 + 4 * 8, offset, 1000)
open(sys.argv[2], "wb").write(b)
PY
"$read_attached" signed_T64.exe back_signed >read.log || { cat read.log; fail "read-attached refused a signed program"; }
cmp back_signed "$image" || fail "the image read back from a signed program differs"

# A trimmed image goes in padded with zeros to a whole diskette.
head -c 1228800 "$image" >TRIMMED.IMG
{ cat TRIMMED.IMG; head -c 245760 /dev/zero; } >padded.img
image=padded.img check_round_trip program.exe TRIMMED.IMG $((40000 - 18916)) TRIMMED.IMG
grep -qF "TRIMMED.IMG is 1,228,800 bytes; padded with 245,760 zero bytes" attach.log \
  || { cat attach.log; fail "attach-image did not say that it padded TRIMMED.IMG"; }

# Refusals: non-zero exit, a message, and no output file.
head -c 511 "$image" >SHORT.IMG
cp "$image" LONG.IMG; printf 'x' >>LONG.IMG
cp "$image" NOSIG.IMG; printf '\000\000' | dd of=NOSIG.IMG bs=1 seek=510 conv=notrunc status=none
mkdir -p sub
for bad in SHORT.IMG LONG.IMG NOSIG.IMG TOOLONGNAME.IMG T64.IMAGE "BAD NAME.IMG" CON.IMG A.B.C \
           .IMG T64DEMO1. MISSING.IMG; do
  [ -e "$bad" ] || case "$bad" in MISSING.IMG) ;; *) cp "$image" "$bad" ;; esac
  rm -f refused.exe
  if "$attach" program.exe "$bad" refused.exe 2>err.log; then fail "attach-image accepted '$bad'"; fi
  [ -s err.log ] || fail "no message for '$bad'"
  [ ! -e refused.exe ] || fail "output written for '$bad'"
done
# A path is fine: only its file name goes into the archive.
cp "$image" sub/T64DEMO1.IMG
"$attach" program.exe sub/T64DEMO1.IMG path.exe || fail "attach-image refused a path"
cmp path.exe program_T64DEMO1.IMG.exe || fail "the folder part reached the archive"
if "$attach" program.exe 2>/dev/null; then fail "attach-image accepted too few arguments"; fi

echo "PASS: attach-image round trips and refusals"
