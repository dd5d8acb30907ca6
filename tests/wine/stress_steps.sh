# shellcheck shell=bash
# Shared steps of the stress and fault scenarios: what the program's process
# costs (as far as Wine tells), signs of a crash, and drive files scribbled
# between writes so that every write must really happen. Source after
# harness.sh and write_steps.sh; functions are prefixed tdw_s_.

TDW_S_PROBE=${TDW_PROBE:-$(dirname "$TDW_EXE")/bench-probe.exe}
TDW_S_LINE_WROTE_ALL='^Wrote 160 of 160 chunks in [0-9]* ms\.'

# ---- the program's process -------------------------------------------------------

# tdw_s_measure [pid]: one line of figures about the running program, as
# "name=value" words. From Wine (bench-probe procstat): pagefile,
# working-set, and the handle, GDI and USER object counts (which Wine answers
# 0 for); private bytes, which Wine answers 0 for too, are left out. From the
# program's window: heap, the bytes in use in its heaps. From the Unix side,
# for the same process (found by its command line): rss (kB), fds (open Unix
# descriptors: Wine keeps one for every open file or device handle) and
# threads.
tdw_s_measure() {
  local pid=${1:-} stat="" heap
  [ -n "$pid" ] || pid=$(tdw_s_unix_pid)
  if [ -z "$pid" ] || [ ! -d "/proc/$pid" ]; then tdw_fail "the program is not running"; fi
  if [ -n "$TDW_S_PROBE_IN" ]; then
    { echo >&"$TDW_S_PROBE_IN" && IFS= read -r stat <&"$TDW_S_PROBE_OUT"; } || tdw_fail "the served bench-probe has ended"
    stat=${stat%$'\r'}
    [ "$stat" != not-running ] || tdw_fail "bench-probe procstat failed"
  elif [ -f "$TDW_S_PROBE" ]; then
    stat=$(wine "$TDW_S_PROBE" procstat "$(basename "$TDW_EXE")" </dev/null 2>/dev/null | tr -d '\r') \
      || tdw_fail "bench-probe procstat failed"
  fi
  if [ -n "$stat" ]; then
    stat=$(awk '{for (i = 1; i < NF; i += 2) if ($i ~ /^(pagefile|working-set|handles|gdi|user)$/) printf "%s=%s ", $i, $(i + 1)}' <<<"$stat")
  fi
  heap=$(drv heap) || tdw_fail "no heap report from the program"
  printf '%sheap=%s rss=%s fds=%s threads=%s\n' "$stat" "$heap" \
    "$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")" \
    "$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)" \
    "$(tdw_s_threads "$pid")"
}

# tdw_s_threads <pid>: how many threads that Unix process runs.
# tdw_s_probe_serve: one bench-probe that answers every later tdw_s_measure
# through two FIFOs, instead of a Wine process started for each; it ends
# with the test.
TDW_S_PROBE_IN= TDW_S_PROBE_OUT=
tdw_s_probe_serve() {
  [ -f "$TDW_S_PROBE" ] || return 0
  local dir=$TDW_WINE_DIR/$TDW_TEST.probe pid
  rm -rf "$dir"; mkdir -p "$dir"; mkfifo "$dir/in" "$dir/out"
  wine "$TDW_S_PROBE" procstat-serve "$(basename "$TDW_EXE")" <"$dir/in" >"$dir/out" 2>/dev/null &
  pid=$!
  # Read-write opens never wait for the other end.
  exec {TDW_S_PROBE_IN}<>"$dir/in" {TDW_S_PROBE_OUT}<>"$dir/out"
  tdw_on_end "exec $TDW_S_PROBE_IN>&- $TDW_S_PROBE_OUT<&-; kill $pid 2>/dev/null; rm -rf '$dir'"
}

tdw_s_threads() { find "/proc/$1/task" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
tdw_s_at_rest() { [ "$(tdw_s_threads "$1")" -le "$2" ]; }

# tdw_s_measure_at_rest <pid> <threads>: tdw_s_measure once the program runs
# no more threads than at rest, taken again (up to five times) when its own
# thread count shows that a worker started meanwhile: a drive-list refresh
# still running after a write holds a 1 MB read that is not growth.
tdw_s_measure_at_rest() {
  local try line
  for try in 1 2 3 4 5; do
    tdw_wait_until "$TDW_TIMEOUT" tdw_s_at_rest "$1" "$2" || tdw_fail "$(tdw_s_threads "$1") threads still run, $2 at rest"
    line=$(tdw_s_measure "$1")
    [ "$(tdw_s_figure "$line" threads)" -gt "$2" ] || break
  done
  printf '%s\n' "$line"
}

# tdw_s_unix_pid: the Unix process of the program itself, whose command line
# is its Windows path (tdw_start_app's is Wine's start.exe, which waits for
# it); where Wine cannot rewrite its command line (a sandboxed kernel keeps
# the one it was started with), it is the path Wine was given. The other
# lane runs the same program: only one of this prefix counts.
tdw_s_unix_pid() {
  local want cmd first found="" pid
  want=$(tdw_win_path "$TDW_EXE")
  for cmd in /proc/[0-9]*/cmdline; do
    first=
    IFS= read -r -d '' first 2>/dev/null <"$cmd"
    [ "$first" = "$want" ] || [ "$first" = "$TDW_EXE" ] || continue
    pid=${cmd//[!0-9]/}
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && found=$pid
  done
  printf '%s\n' "$found"
}

# tdw_s_figure <measure line> <name>: one figure of a tdw_s_measure line.
tdw_s_figure() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

# tdw_s_expect_no_growth <before> <after> <name> <percent> [slack]: the figure
# grew by at most that many percent of its first value plus `slack` units.
# Both figures must be there and above 0: a figure nobody measured proves
# nothing (those that Wine does not know are not measured at all).
tdw_s_expect_no_growth() {
  local before after
  before=$(tdw_s_figure "$1" "$3"); after=$(tdw_s_figure "$2" "$3")
  [[ $before =~ ^[0-9]+$ && $after =~ ^[0-9]+$ ]] \
    || tdw_fail "no figure $3 to compare: '$before' then '$after' (from '$1' and '$2')"
  [ "$before" -gt 0 ] && [ "$after" -gt 0 ] || tdw_fail "$3 reads 0: $before then $after"
  local limit=$((before + before * $4 / 100 + ${5:-0}))
  [ "$after" -le "$limit" ] || tdw_fail "$3 grew from $before to $after (limit $limit)"
  tdw_log "$3: $before -> $after (limit $limit)"
}

# tdw_s_slope <file> <name>: the slope fitted through the figure over the
# writes recorded in the file (units a write), to one decimal; empty when a
# record lacks it. A slope over many writes is what a leak shows as; two
# points show whatever the heap did last. The fit is the median of the slopes
# between every two records (Theil and Sen): a buffer that a thread still
# held at one measurement moves it no more than any other single record.
tdw_s_slope() {
  awk -v name="$2" '{
      v = ""; for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) v = kv[2] }
      if (v == "") { missing = 1; exit }
      x[n] = $1; y[n] = v; n++
    }
    END {
      if (missing || n < 2) exit 1
      for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (x[j] != x[i]) printf "%.6f\n", (y[j] - y[i]) / (x[j] - x[i])
    }' "$1" | sort -g | awk '{ s[NR] = $1 } END { if (NR > 0) printf "%.1f\n", NR % 2 ? s[(NR + 1) / 2] : (s[NR / 2] + s[NR / 2 + 1]) / 2 }'
}

# tdw_s_expect_slope <file> <name> <limit>: the figure grew by at most
# `limit` units a write over the recorded writes.
tdw_s_expect_slope() {
  local slope
  slope=$(tdw_s_slope "$1" "$2")
  [ -n "$slope" ] || tdw_fail "no figure $2 in every record of $1"
  awk -v s="$slope" -v l="$3" 'BEGIN { exit !(s <= l) }' || tdw_fail "$2 grew by $slope a write (limit $3)"
  tdw_log "$2: $slope a write (limit $3)"
}

# tdw_s_expect_flat <file> <name>: a count is the same after every recorded
# write (Wine answers 0 for handles, GDI and USER objects: nothing to see).
tdw_s_expect_flat() {
  local values
  values=$(tr ' ' '\n' <"$1" | sed -n "s/^$2=//p" | sort -u | tr '\n' ' ')
  [ -n "$values" ] && [ "$(wc -w <<<"$values")" = 1 ] || tdw_fail "$2 changed over the writes: '$values'"
  tdw_log "$2: $values after every write"
}

# tdw_s_expect_no_crash [console log]: no Wine crash report in the log.
tdw_s_expect_no_crash() {
  local log=${1:-$TDW_CONSOLE_LOG}
  if grep -aE 'Unhandled (exception|page fault|stack overflow)|wine: Assertion|Backtrace:' "$log" >&2; then
    tdw_fail "the program crashed (see $log)"
  fi
  return 0
}

# ---- writes -----------------------------------------------------------------------

# tdw_s_writes_done: how many writes the console reports as whole.
tdw_s_writes_done() { tr -d '\r' <"$TDW_CONSOLE_LOG" | grep -c "$TDW_S_LINE_WROTE_ALL" || true; }

# tdw_s_wait_writes <count>: waits until the console reports that many whole
# writes; polls the log only, so it may poll often.
tdw_s_wait_writes() {
  local i
  for i in $(seq 1 $((TDW_TIMEOUT * 20))); do
    [ "$(tdw_s_writes_done)" -ge "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

# tdw_s_scribble [stamp]: the drive's first 1,474,560 bytes back to the
# pattern, so the next write must put every byte there again; with a stamp,
# as if a file were saved on it, written into the pattern at 1 MiB, so that
# the drive holds what no kept copy holds.
tdw_s_scribble() {
  dd if="$TDW_W_PATTERN" of="$TDW_DRIVE_IMG" bs=9216 count=160 conv=notrunc status=none \
    || tdw_fail "cannot scribble over the drive"
  [ -z "${1:-}" ] || printf 'saved file %s' "$1" | dd of="$TDW_DRIVE_IMG" bs=1 seek=1048576 conv=notrunc status=none \
    || tdw_fail "cannot stamp the drive"
  cmp -s -n 1048576 "$TDW_W_PATTERN" "$TDW_DRIVE_IMG" || tdw_fail "the scribble did not take"
}

# tdw_s_write_lines <count>: the replayed lines of that many whole writes.
tdw_s_write_lines() {
  local i
  for ((i = 0; i < $1; i++)); do tdw_w_write_lines; done
}

# tdw_s_expect_replayed <count>: the status list ends with the lines of
# exactly that many writes, oldest first (polled: the checks may still run).
tdw_s_replayed_is() {
  local lines
  lines=$(drv status 2>/dev/null) || return 1
  [ "$(grep -cxF -- "$TDW_W_LINE_START" <<<"$lines")" = "$1" ] || return 1
  [ "$1" = 0 ] || [ "$(tail -n $((3 * $1)) <<<"$lines")" = "$(tdw_s_write_lines "$1")" ]
}
tdw_s_expect_replayed() {
  tdw_wait_until "$TDW_TIMEOUT" tdw_s_replayed_is "$1" \
    || tdw_fail "the status list does not end with the lines of $1 writes: $(tdw_w_status)"
}

# ---- faults in the middle of a write ------------------------------------------

# ---- the attached-image loader ---------------------------------------------------

TDW_S_INTRO_IMAGE="This wizard will install TalvixOS64 to a compatible disk. "
TDW_S_INTRO_NO_IMAGE="This wizard will install a diskimage to a compatible disk. "

# tdw_s_loader_reason [console log]: the reason the loader gave up, the line
# before "Encountered an error." when it is not one of the loader's own
# steps; prints nothing when there is none.
tdw_s_loader_reason() {
  local reason step
  reason=$(tr -d '\r' <"${1:-$TDW_CONSOLE_LOG}" | grep -xF -B1 "Encountered an error." | head -n 1)
  [ "$reason" = "Encountered an error." ] && reason=
  for step in "Start unpacking..." "Creating Shell Object..." "Creating destination folder object" \
    "Reading temporary file:" "Accesing compressed files inside zip..." "Opening first file object..." \
    "Unpacking..." "Writing temporary file:" "Extracting zipped image file..." "Initializing the COM library..."; do
    [[ $reason != "$step"* ]] || reason=
  done
  printf '%s\n' "$reason"
}

# tdw_s_expect_loader_outcome <welcome text> <console log> <name>: the
# program either loaded its image (the edition's introduction, "Ready..."
# after the success line) or says why not (the no-image introduction and a
# reason line). Prints "loaded" or the reason.
tdw_s_expect_loader_outcome() {
  local text=$1 log=$2 name=$3 reason
  tdw_wait_until "$TDW_TIMEOUT" grep -qx 'Ready\.\.\.'$'\r''\?' "$log" || tdw_fail "$name: no 'Ready...' on the console"
  case $text in
    "$TDW_S_INTRO_IMAGE"*)
      tr -d '\r' <"$log" | grep -xF "TalvixOS image succesfully loaded into memory." >/dev/null \
        || tdw_fail "$name: the image introduction without the success line"
      echo loaded ;;
    "$TDW_S_INTRO_NO_IMAGE"*)
      reason=$(tdw_s_loader_reason "$log")
      [ -n "$reason" ] || tdw_fail "$name: no image and no reason on the console: $(tr -d '\r' <"$log" | tr '\n' '|')"
      printf '%s\n' "$reason" ;;
    *) tdw_fail "$name: unexpected Welcome text '$text'" ;;
  esac
}
