#!/usr/bin/env bash
# test_attach_image.sh ATTACH_IMAGE READ_ATTACHED IMAGE WORKDIR
#
# attach-image appends a standard archive that the program's reader (through
# read-attached) and an independent reader (Python's zipfile) both unpack to
# the original image, even with the signature in the program bytes before the
# archive; it refuses unsuitable images and names without writing anything.
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
  "$attach" "$program" "$name" "$out" || fail "attach-image refused $program + $name"
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

# The same inputs give the same program, byte for byte.
"$attach" program.exe T64DEMO1.IMG again.exe
cmp again.exe program_T64DEMO1.IMG.exe || fail "attach-image is not reproducible"

# Refusals: non-zero exit, a message, and no output file.
head -c 1474559 "$image" >SHORT.IMG
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
