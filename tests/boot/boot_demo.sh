#!/usr/bin/env bash
# boot_demo.sh MAKE_DEMO_FLOPPY IMAGE WORKDIR
#
# Checks the demo floppy image: it boots in QEMU and prints its banner on
# COM1 before ending QEMU through isa-debug-exit (status 33), its FAT12 file
# system is clean and labelled TALVIX, and making it again gives the same bytes.
set -euo pipefail

make_demo_floppy=$1
image=$2
work=$3
banner="TalvixOS demo floppy booted"

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"

size=$(stat -c %s "$image")
[ "$size" -eq 1474560 ] || fail "$image is $size bytes, not 1474560"
sig=$(od -An -tx1 -j510 -N2 "$image" | tr -d ' ')
[ "$sig" = "55aa" ] || fail "boot sector ends in $sig, not 55aa"

# Reproducible: two fresh builds and the one from the build tree are identical.
"$make_demo_floppy" "$work/a.img"
"$make_demo_floppy" "$work/b.img"
cmp "$work/a.img" "$work/b.img" || fail "two builds of the image differ"
cmp "$work/a.img" "$image" || fail "a fresh build differs from $image"

# The file system, as the host's tools see it.
fsck.fat -n "$image" >"$work/fsck.log" 2>&1 || { cat "$work/fsck.log"; fail "fsck.fat -n reports errors"; }
MTOOLS_SKIP_CHECK=1 mdir -i "$image" :: >"$work/mdir.log" 2>&1 || { cat "$work/mdir.log"; fail "mdir cannot read the image"; }
grep -Eq "Volume in drive : is TALVIX *$" "$work/mdir.log" || { cat "$work/mdir.log"; fail "volume label is not TALVIX"; }

# Boot it. A read-only drive keeps QEMU from touching the image.
log="$work/serial.log"
status=0
timeout 20 qemu-system-i386 -machine pc,accel=tcg -m 16 -nodefaults -vga std \
  -drive file="$image",if=floppy,format=raw,readonly=on -boot order=a \
  -display none -no-reboot -monitor none -serial file:"$log" \
  -device isa-debug-exit,iobase=0xf4,iosize=0x04 || status=$?
[ "$status" -eq 33 ] || { cat "$log" 2>/dev/null; fail "QEMU exited with $status, expected 33"; }
grep -q "$banner" "$log" || { cat "$log"; fail "banner missing from the serial log"; }

echo "PASS: $image boots, prints its banner and has a clean FAT12 file system labelled TALVIX"
