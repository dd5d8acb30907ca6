#!/usr/bin/env bash
# The attached demo image written to drive E: (a file larger than the image,
# filled with a pattern): the drive holds the image byte for byte and nothing
# past it changed, the write's status lines come in order, the bar ends full,
# the wizard shows the Reboot pane, and the written drive boots in QEMU. What
# the drive held was kept first: started again, the program offers it back,
# and Put back makes the drive what it was, every byte, once. A second card
# swapped in behind E: (the same device to Windows) gets a copy of its own,
# and each card is offered only its own; two blank cards cannot be told
# apart, and Put back lets the user pick which copy goes back.
set -uo pipefail
. "$(dirname "$0")/../harness.sh"
. "$(dirname "$0")/../write_steps.sh"
tdw_begin write_internal
tdw_w_on_exit tdw_w_drive_restore

tdw_w_drive_pattern 2097152
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
tdw_w_start
tdw_w_expect_done
tdw_expect_console "Internal image loaded: Yes"

# The checks rerun after the write and replay its lines last.
tdw_goto 2
tdw_w_expect_status_tail "$(tdw_w_write_lines)"
tdw_w_status_has 'Ok	Install from internal file (T64DEMO1.IMG)' \
  || tdw_fail "the source line is missing: $(tdw_w_status)"
tdw_w_expect_written
grep -aq '^Kept what drive E: held as kept-[0-9a-f]*\.tdwcopy\.' "$TDW_CONSOLE_LOG" || tdw_fail "no copy was kept"
tdw_close_app

tdw_w_boot "$TDW_DRIVE_IMG" "$TDW_W_WORK/boot-internal"

# Card B in the same reader: its own bytes are kept, and it is offered its own copy.
card_a=$TDW_W_WORK/card-a.img
mv "$TDW_DRIVE_IMG" "$card_a"
{ yes 'TDW-second-card' || true; } | head -c 2097152 >"$TDW_DRIVE_IMG"
cp "$TDW_DRIVE_IMG" "$TDW_W_WORK/card-b.bin"
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
tdw_w_start
tdw_w_expect_done
[ "$(grep -ac '^Kept what drive E: held as' "$TDW_CONSOLE_LOG")" = 1 ] || tdw_fail "card B's contents were not kept"
[ "$(ls "$(tdw_kept_folder)" | grep -c '\.tdwcopy$')" = 2 ] || tdw_fail "not one copy per card: $(ls "$(tdw_kept_folder)")"
tdw_close_app
mv "$card_a" "$TDW_DRIVE_IMG"

# Put back, in a new run of the program, after the drive's first sector was
# changed (it asks first); a source the checks refuse keeps Start disabled,
# not Put back.
printf 'changed since' | dd of="$TDW_DRIVE_IMG" bs=1 seek=3 conv=notrunc status=none
tdw_start_app
tdw_wait_ready
tdw_w_use_external "$TDW_W_WORK/no-such-image.img"
tdw_w_choose_e_refused
tdw_wait_until "$TDW_TIMEOUT" tdw_w_status_has_prefix 'Ok	A copy of what drive E: held before ' \
  || tdw_fail "no kept copy is offered: $(tdw_w_status)"
tdw_w_status_has 'Warning	Drive E: has changed since the image was written to it: what was written to it since will be lost when you put back the copy.' \
  || tdw_fail "no warning that the drive changed since: $(tdw_w_status)"
drv redraw >/dev/null || tdw_fail "the window does not repaint"
tdw_expect 0 enabled install 111
tdw_expect 1 enabled install 114
# The bar ends before Put back as Put back ends before Start.
read -r _ _ bar_right _ < <(drv rect install 1017) && read -r back_left _ back_right _ < <(drv rect install 114) \
  && read -r start_left _ < <(drv rect install 111) || tdw_fail "cannot read where the bar and the buttons are"
[ $((back_left - bar_right)) = $((start_left - back_right)) ] && [ $((back_left - bar_right)) -gt 0 ] \
  || tdw_fail "the bar ends at $bar_right, Put back spans $back_left-$back_right, Start begins at $start_left"
tdw_screenshot "$TDW_SHOT_DIR/install-put-back.png" main
drv click install 114 >/dev/null || tdw_fail "cannot press Put back"
# What was saved on it since is overwritten only when the user says so.
[[ $(drv answer-yes) == 7$'\t''Drive E: has changed since the image was written to it on '* ]] \
  || tdw_fail "Put back over a changed drive did not ask first, No the default"
tdw_w_expect_status_last "$TDW_W_LINE_REPLUG"
tdw_w_status_has 'Ok	Drive E: holds again what it held before: it was read back and equals the copy. The copy is deleted.' \
  || tdw_fail "Put back did not end with the drive read back: $(tdw_w_status)"
tdw_expect install shown
tdw_expect 0 visible install 114
tdw_close_app
cmp "$TDW_W_PATTERN" "$TDW_DRIVE_IMG" >&2 || tdw_fail "the drive is not what it was before the write"
copies=$(ls -A "$(tdw_kept_folder)")
[ "$copies" = "$(basename "$(tdw_kept_folder)"/kept-*.tdwcopy)" ] || tdw_fail "card A's copy was not deleted: $copies"
cmp -n "$TDW_IMAGE_SIZE" -i 1024:0 "$(tdw_kept_folder)/$copies" "$TDW_W_WORK/card-b.bin" >&2 \
  || tdw_fail "card B's copy is not what card B held"

# Two fresh cards in the same reader, blank past the image: no copy names
# either, so written alike they look alike, and Put back lets the user pick
# the copy: the newest first and selected, Cancel the default and writing
# nothing; the older one picked is the one written back.
for card in 'first blank card' 'second blank card'; do
  { { yes "$card" || true; } | head -c "$TDW_IMAGE_SIZE"; head -c $((2097152 - TDW_IMAGE_SIZE)) /dev/zero; } >"$TDW_DRIVE_IMG"
  cp "$TDW_DRIVE_IMG" "$TDW_W_WORK/$card.bin"
  tdw_start_app
  tdw_wait_ready
  tdw_w_choose_e
  tdw_w_start
  tdw_w_expect_done
  tdw_close_app
done
cp "$TDW_DRIVE_IMG" "$TDW_W_WORK/blank-written.bin"
tdw_start_app
tdw_wait_ready
tdw_w_choose_e
drv click --post install 114 >/dev/null || tdw_fail "cannot press Put back"
chooser=$(drv chooser cancel) || tdw_fail "Put back chose between two blank cards' copies without asking"
[ "$chooser" = $'Put back: which copy?\t4003\t2\tMore than one kept copy may be of the medium in drive E:. &Choose the one to put back:\t2' ] \
  || tdw_fail "the chooser is not named, focused on its list of two, with Cancel the default: $chooser"
tdw_expect_console "Asked which of 2 copies goes back on drive E:; the answer: none."
cmp "$TDW_W_WORK/blank-written.bin" "$TDW_DRIVE_IMG" >&2 || tdw_fail "Cancel wrote to the drive"
drv click --post install 114 >/dev/null || tdw_fail "cannot press Put back again"
drv chooser 2 >/dev/null || tdw_fail "cannot pick the older copy"
tdw_w_expect_status_last "$TDW_W_LINE_REPLUG"
tdw_close_app
cmp -n 2097152 "$TDW_W_WORK/first blank card.bin" "$TDW_DRIVE_IMG" >&2 || tdw_fail "the copy picked is not what was put back"
