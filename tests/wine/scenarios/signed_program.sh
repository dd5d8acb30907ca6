#!/usr/bin/env bash
# A distributor signs the program after attaching its image: the certificate
# table then follows the archive. Signed with a throw-away certificate, the
# program verifies and still loads its image, with the same trace as
# unsigned; the plain program, signed, fails the way it does unsigned; and
# attach-image refuses a signed program.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"

missing=()
for tool in openssl osslsigncode; do command -v $tool >/dev/null || missing+=("$tool (Debian $tool)"); done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "${CI:-}" = true ]; then
    tdw_log "FAIL: signing needs: ${missing[*]}"
    exit 1
  fi
  tdw_log "skipped: signing needs: ${missing[*]}"
  exit 77
fi

tdw_begin signed_program

intro_en='This wizard will install TalvixOS64 to a compatible disk. In order to do so, you have to agree to the licence found on www.talvixos.org.'
failure_en='This wizard will install a diskimage to a compatible disk. If you are installing TalvixOS, you have to agree to the licence found on www.talvixos.org.'
work=$TDW_WINE_DIR/signed
image=${TDW_DEMO_IMAGE:-$(dirname "$TDW_EXE")/T64DEMO1.IMG}
attach=${TDW_ATTACH_IMAGE:-$TDW_ROOT/build/native/tools/attach-image}
tdw_on_end 'rm -rf "$work"'
rm -rf "$work"
mkdir -p "$work/image" "$work/plain"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=TalvixOS test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >"$work/openssl.log" 2>&1 \
  || { cat "$work/openssl.log" >&2; tdw_fail "openssl made no certificate"; }

# sign <program> <out>: signs and verifies against the throw-away certificate.
sign() {
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "TalvixOS Disk Writer" \
    -in "$1" -out "$2" >"$work/sign.log" 2>&1 || { cat "$work/sign.log" >&2; tdw_fail "cannot sign $1"; }
  osslsigncode verify -CAfile "$work/cert.pem" -in "$2" >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log" >&2; tdw_fail "the signature of $2 does not verify"; }
}
# The driver knows the wizard by its file name: each program has a folder.
plain=$(tdw_variant plain plain) || tdw_fail "cannot copy the plain program"
sign "$TDW_EXE" "$work/image/TalvixDiskWriter.exe"
sign "$plain" "$work/plain/TalvixDiskWriter.exe"
# The case at hand: the archive's end record is no longer the file's end.
[ "$(tail -c 22 "$work/image/TalvixDiskWriter.exe" | head -c 4 | od -An -tx1 | tr -d ' ')" != 504b0506 ] \
  || tdw_fail "the signed program still ends with the end record"

# console_of <program> <copy>: starts the program until Ready, keeps its trace
# up to that line, without the lines on screen readers' names: the window says
# those whenever it gets to them, before or after the image is loaded.
console_of() {
  TDW_EXE=$1 tdw_start_app
  tdw_wait_ready
  tdw_expect_console "Ready..."
  tr -d '\r' <"$TDW_CONSOLE_LOG" | sed '/^Ready\.\.\.$/q' | grep -v '^Screen readers get no ' >"$2"
}

console_of "$work/image/TalvixDiskWriter.exe" "$work/signed.console"
tdw_console_has "Encountered an error." && tdw_fail "the signed program did not load its image"
tdw_console_has "TalvixOS image succesfully loaded into memory." || tdw_fail "the signed program reports no image"
tdw_expect "$intro_en" text welcome 100
tdw_expect T64DEMO1.IMG text chooser 1008
tdw_expect 1 checked chooser 103
tdw_close_app
console_of "$TDW_EXE" "$work/unsigned.console"
tdw_close_app
diff "$work/unsigned.console" "$work/signed.console" >&2 || tdw_fail "signed, the program's trace differs"

console_of "$work/plain/TalvixDiskWriter.exe" "$work/signed-plain.console"
tdw_expect "$failure_en" text welcome 100
tdw_close_app
console_of "$plain" "$work/plain.console"
tdw_close_app
diff "$work/plain.console" "$work/signed-plain.console" >&2 || tdw_fail "signed, the plain program's trace differs"

[ -x "$attach" ] || tdw_fail "no attach-image at $attach"
if "$attach" "$work/image/TalvixDiskWriter.exe" "$image" "$work/again.exe" 2>"$work/attach.log"; then
  tdw_fail "attach-image accepted a signed program"
fi
grep -q "is signed: .*then sign the result" "$work/attach.log" \
  || { cat "$work/attach.log" >&2; tdw_fail "attach-image gave no clear reason"; }
[ ! -e "$work/again.exe" ] || tdw_fail "attach-image wrote a program"
tdw_log "signed programs verify and load as unsigned ones do"
