#!/usr/bin/env bash
# Bad archives attached to the plain program: hand-made ones (truncated, a
# wrong CRC, the name "..\x.IMG", the encryption flag, a huge declared size,
# a stored entry whose sizes differ) each end in the no-image introduction
# with the reason on the console; inputs from the archive fuzzer's corpus
# (at most TDW_STRESS_CORPUS of them, spread over the corpus) end either with
# the image loaded or the same way. Never a crash, the program closes with
# exit code 0, and nothing is written in the prefix outside the temporary
# folder.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
. "$(dirname "$0")/../stress_steps.sh"
tdw_begin stress_bad_archives

work=$TDW_WINE_DIR/bad-archives
plain=${TDW_PLAIN_EXE:-$(dirname "$TDW_EXE")/TalvixDiskWriter-plain.exe}
corpus=${TDW_FUZZ_CORPUS:-$TDW_ROOT/build/fuzz/corpus}
corpus_count=${TDW_STRESS_CORPUS:-12}
marker=$work/.before
tdw_on_end 'rm -rf "$work"'
rm -rf "$work"
mkdir -p "$work/archives"
[ -f "$plain" ] || tdw_fail "missing $plain"

# ---- the hand-made archives -----------------------------------------------------
# name<TAB>reason the console must give
python3 - "$TDW_DEMO_IMG" "$work/archives" >"$work/cases.txt" <<'PY' || tdw_fail "cannot make the bad archives"
import io, struct, sys, zipfile, zlib
image = open(sys.argv[1], "rb").read()
out = sys.argv[2]

def archive(name="T64DEMO1.IMG", method=zipfile.ZIP_DEFLATED, data=image):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as zf:
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = method
        zf.writestr(info, data)
    return bytearray(buffer.getvalue())

def headers(b):
    local = b.index(b"PK\x03\x04")
    central = b.index(b"PK\x01\x02")
    return local, central

def case(name, reason, data):
    open(f"{out}/{name}.zip", "wb").write(bytes(data))
    print(f"{name}\t{reason}")

good = archive()
case("truncated", "No ZIP end-of-central-directory record was found.", good[: len(good) // 2])

b = archive(); local, central = headers(b)
crc = struct.unpack_from("<I", b, central + 16)[0] ^ 0x5A5A5A5A
struct.pack_into("<I", b, local + 14, crc); struct.pack_into("<I", b, central + 16, crc)
case("wrong-crc", "The unpacked image does not match its CRC-32.", b)

case("parent-name", "The archive entry's name contains a folder or drive part.", archive(name="..\\x.IMG"))

b = archive(); local, central = headers(b)
for at in (local + 6, central + 8):
    struct.pack_into("<H", b, at, struct.unpack_from("<H", b, at)[0] | 1)
case("encrypted", "The archive entry is encrypted.", b)

b = archive(); local, central = headers(b)
struct.pack_into("<I", b, local + 22, 0xFFFFFFF0); struct.pack_into("<I", b, central + 24, 0xFFFFFFF0)
case("huge-size", "The archive entry does not have the size of a floppy image.", b)

b = archive(method=zipfile.ZIP_STORED); local, central = headers(b)
struct.pack_into("<I", b, local + 18, len(image) - 512); struct.pack_into("<I", b, central + 20, len(image) - 512)
case("stored-wrong-size", "The archive entry is stored but its two sizes differ.", b)
PY

# ---- inputs from the fuzzer's corpus ------------------------------------------------
if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus" 2>/dev/null)" ]; then
  if command -v clang++ >/dev/null || command -v clang++-14 >/dev/null; then
    tdw_log "no fuzzer corpus: making one (fuzz/build-and-run 5)"
    "$TDW_ROOT/fuzz/build-and-run" 5 >"$TDW_LOG_DIR/$TDW_TEST.fuzz.log" 2>&1 || tdw_fail "the fuzzer failed: see $TDW_LOG_DIR/$TDW_TEST.fuzz.log"
  else
    tdw_skip_part "no fuzzer corpus and no clang++ to make one: the corpus inputs are not tried"
  fi
fi
if [ -d "$corpus" ]; then
  total=$(find "$corpus" -maxdepth 1 -type f | wc -l)
  step=$(((total + corpus_count - 1) / (corpus_count > 0 ? corpus_count : 1)))
  [ "$step" -ge 1 ] || step=1
  find "$corpus" -maxdepth 1 -type f | sort | awk -v step="$step" 'NR % step == 1 || step == 1' | head -n "$corpus_count" \
    | while read -r input; do cp "$input" "$work/archives/corpus-$(basename "$input").zip"; printf 'corpus-%s\t*\n' "$(basename "$input")"; done \
    >>"$work/cases.txt"
fi

# ---- every case: attached to the plain program, started, closed -------------------
snapshot() {
  # Every file and folder of drive C: that changed since the marker, but the
  # temporary folders.
  find "$WINEPREFIX/drive_c" -newer "$marker" -not -path '*/users/*/Temp' -not -path '*/users/*/Temp/*' -print 2>/dev/null
}

count=0; loaded=0
while IFS=$'\t' read -r name reason; do
  exe=$work/$name/TalvixDiskWriter.exe
  mkdir -p "$work/$name"
  cat "$plain" "$work/archives/$name.zip" >"$exe" || tdw_fail "cannot attach $name"
  # What the program changes must come at a later tick of the file clock.
  touch "$marker"; until touch "$marker.tick" && [ "$marker.tick" -nt "$marker" ]; do :; done
  TDW_EXE=$exe tdw_start_app
  tdw_wait_ready
  tdw_expect_console "Ready..."
  text=$(drv text welcome 100) || tdw_fail "$name: cannot read the Welcome text"
  outcome=$(tdw_s_expect_loader_outcome "$text" "$TDW_CONSOLE_LOG" "$name") || exit 1
  if [ "$reason" != "*" ]; then
    [ "$outcome" = "$reason" ] || tdw_fail "$name: the reason given is '$outcome', expected '$reason'"
  fi
  tdw_close_app
  tdw_s_expect_no_crash
  changed=$(snapshot)
  [ -z "$changed" ] || tdw_fail "$name: written outside the temporary folder: $changed"
  strays=$(find "$work/$name" -mindepth 1 -not -name TalvixDiskWriter.exe)
  [ -z "$strays" ] || tdw_fail "$name: written beside the program: $strays"
  tdw_log "$name: $outcome"
  count=$((count + 1))
  [ "$outcome" = loaded ] && loaded=$((loaded + 1))
  rm -rf "${work:?}/$name"
done <"$work/cases.txt"
tdw_log "$count archives tried; $loaded loaded their image, the others said why not"
