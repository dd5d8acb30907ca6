#!/usr/bin/env bash
# second_build.sh SOURCE_DIR BUILD_DIR OUT_DIR WORK_DIR [CMAKE_ARGS...]
#
# Brings both programs of the build in BUILD_DIR (in OUT_DIR, plain and with
# the image attached) up to date, copies the sources that the Windows build
# reads to WORK_DIR/src, configures and builds them there with CMAKE_ARGS, and
# compares each pair byte for byte. On a difference it shows where: the differing
# bytes, the PE headers side by side, and any build path left in the program.
set -euo pipefail

src=$1
first_build=$2
out=$3
targets=(--target TalvixDiskWriter TalvixDiskWriter32)
programs=(TalvixDiskWriter-plain.exe TalvixDiskWriter.exe TalvixDiskWriter32-plain.exe TalvixDiskWriter32.exe)
work=$4
shift 4

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --build "$first_build" "${targets[@]}" >/dev/null || fail "cannot build the programs"

rm -rf "$work"
mkdir -p "$work/src"
# Only what the Windows build reads: no build trees, no history.
for part in CMakeLists.txt cmake src bench tests tools; do
  cp -R "$src/$part" "$work/src/" || fail "cannot copy $src/$part"
done

cmake -S "$work/src" -B "$work/build" -DTDW_WIN_OUTPUT_DIR="$work/out" "$@" >"$work/configure.log" 2>&1 \
  || { cat "$work/configure.log" >&2; fail "the second build does not configure"; }
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2
cmake --build "$work/build" "${targets[@]}" -j"$jobs" >"$work/build.log" 2>&1 \
  || { tail -n 40 "$work/build.log" >&2; fail "the second build failed"; }
for name in "${programs[@]}"; do
program=$out/$name
second=$work/out/$name
[ -f "$program" ] || fail "no program at $program"
if ! cmp "$program" "$second"; then
  echo "---- differing bytes (offset, first, second; at most 40) ----" >&2
  cmp -l "$program" "$second" | head -n 40 >&2 || true
  if command -v x86_64-w64-mingw32-objdump >/dev/null; then
    echo "---- PE headers (first < > second) ----" >&2
    diff <(x86_64-w64-mingw32-objdump -p "$program" | sed -n 3,60p) \
         <(x86_64-w64-mingw32-objdump -p "$second" | sed -n 3,60p) >&2 || true
  fi
  echo "---- build paths in the programs ----" >&2
  strings -a "$program" | grep -F -e "$src" -e "$first_build" >&2 || echo "none in the first" >&2
  strings -a "$second" | grep -F "$work" >&2 || echo "none in the second" >&2
  fail "two builds of the same sources differ: $name"
fi
echo "$name: the same $(stat -c %s "$program") bytes"
done
rm -rf "$work"
echo "PASS: a second build in another folder gives the same programs"
