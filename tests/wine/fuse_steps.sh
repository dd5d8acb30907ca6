# shellcheck shell=bash
# A drive on FUSE (fuse_drive.py) behind E:, shared by the scenarios that need
# a drive which forgets, holds a write or is pulled. Source after harness.sh
# and write_steps.sh; functions are prefixed tdw_f_. Needs /dev/fuse,
# fusermount3 and Debian's python3-fusepy (run as root).

TDW_F_PYTHON=/usr/bin/python3
TDW_F_SCRIPT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fuse_drive.py
tdw_f_pid=

# tdw_f_require <what for>: skips the scenario (77) when the machine lacks
# what a FUSE drive needs; fails it when CI=true.
tdw_f_require() {
  local missing=()
  [ -r /dev/fuse ] && [ -w /dev/fuse ] || missing+=("/dev/fuse (read and write)")
  command -v fusermount3 >/dev/null || missing+=("fusermount3 (Debian fuse3)")
  "$TDW_F_PYTHON" -c 'import fusepy' 2>/dev/null || "$TDW_F_PYTHON" -c 'import fuse; fuse.FUSE, fuse.Operations' 2>/dev/null \
    || missing+=("fusepy for $TDW_F_PYTHON (Debian python3-fusepy)")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${CI:-}" = true ]; then
    tdw_log "FAIL: $1 needs: ${missing[*]}"
    exit 1
  fi
  tdw_log "skipped: $1 needs: ${missing[*]}"
  exit 77
}

# tdw_f_setup <dir>: the drive's mount point is <dir>/mnt, its file
# TDW_F_FILE, its log TDW_F_LOG. A run ended by a signal still unmounts the
# drive, and E: goes back to a plain file before the drive goes away.
tdw_f_setup() {
  TDW_F_DIR=$1
  TDW_F_MNT=$1/mnt
  TDW_F_FILE=$TDW_F_MNT/disk.img
  TDW_F_LOG=$TDW_LOG_DIR/$TDW_TEST.drive.log
  mkdir -p "$TDW_F_MNT"
  trap 'exit 143' TERM
  trap 'exit 130' INT
  tdw_on_end 'tdw_w_drive_restore; tdw_f_unmount'
}

tdw_f_gone() { ! kill -0 "$tdw_f_pid" 2>/dev/null; }

# tdw_f_unmount: unmounts the drive (also one left by a run that was killed)
# and ends its process, which normally ends by itself once unmounted. A held
# write is let go first (TDW_F_GATE).
tdw_f_unmount() {
  [ -n "${TDW_F_GATE:-}" ] && touch "$TDW_F_GATE"
  if mountpoint -q "$TDW_F_MNT" 2>/dev/null; then
    fusermount3 -u "$TDW_F_MNT" 2>/dev/null || fusermount3 -uz "$TDW_F_MNT" || tdw_log "cannot unmount $TDW_F_MNT"
  fi
  [ -n "$tdw_f_pid" ] || return 0
  tdw_wait_until 5 tdw_f_gone || kill "$tdw_f_pid" 2>/dev/null
  tdw_wait_until 5 tdw_f_gone || kill -9 "$tdw_f_pid" 2>/dev/null
  wait "$tdw_f_pid" 2>/dev/null
  tdw_f_pid=
  return 0
}

# tdw_f_mount [fuse_drive.py options]: (re)mounts a drive of TDW_F_SIZE
# bytes (default 2 MiB), logging to TDW_F_LOG.
tdw_f_mount() {
  local size=${TDW_F_SIZE:-2097152}
  tdw_f_unmount
  : >"$TDW_F_LOG"
  "$TDW_F_PYTHON" "$TDW_F_SCRIPT" "$TDW_F_MNT" --size "$size" --fill 0xE5 --log "$TDW_F_LOG" "$@" \
    </dev/null >"$TDW_F_DIR/fuse.log" 2>&1 &
  tdw_f_pid=$!
  tdw_wait_until "$TDW_TIMEOUT" mountpoint -q "$TDW_F_MNT" || tdw_fail "the FUSE drive did not come up: $(cat "$TDW_F_DIR/fuse.log")"
  [ "$(stat -c %s "$TDW_F_FILE")" = "$size" ] || tdw_fail "the FUSE drive file is not $size bytes: $(ls -l "$TDW_F_FILE")"
}
