#!/usr/bin/env bash
# The registration window's place, size and type row, at character sizes 7 and 12:
# - with both saved coordinates 77777 it is centred on the work area;
# - its first resize records the reference height (its first client height), a later
#   resize the difference, and the next start opens it taller or shorter by exactly that
#   (SizePos.txt lines 10 and 11 checked);
# - made wider than the work area, it opens again no wider than the work area;
# - the type boxes are red while hovered, light yellow when their type has a list file,
#   white otherwise (pixels); moving from one box to another moves the red and switches
#   the current type, leaving the row keeps it (the window opened again shows that type);
# - a click on a type without a list shows a notice that stays while the pointer rests
#   and closes on its first movement;
# - the free-space text is drawn cut at 25 bytes (Wine's trace of the drawing call: the
#   cut only drops blanks, which no pixel shows).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init registration_window_e2e "${1:-build/windows}"
e2e_start_display
command -v convert >/dev/null || e2e_fail "convert (imagemagick) is missing"

APP=$(e2e_app_copy)
LIST="$APP/BkList"
e2e_map_drive t BACKUP
printf 'T:\\A\nT:\\A\n*\n*\n*\n1\n' >"$LIST/ToDrive.txt"
# " ファイル " holds one file, " ミラー(全て) " three: the top line reads "1 / 4" or "3 / 4".
printf '2S:\\data\ta.txt\t10000000000006\n' >"$LIST/TA1.ini"
printf '2S:\\data\tb.txt\t30000000000006\n2S:\\data\tc.txt\t30000000000006\n2S:\\data\td.txt\t30000000000006\n' \
  >"$LIST/TA3.ini"
read -r SW SH < <(xdotool getdisplaygeometry)  # no window manager: the work area is the screen

f=7
e2e_layout "$f"
YELLOW=255,255,190 WHITE=255,255,255 RED=255,0,0

open_registration() {
  e2e_press "$WID" $(e2e_at REGISTER_BUTTON)  # "ファイル、フォルダーの登録"
  REG=$(e2e_wait_window --name '^バックアップ先 T:\\A ' 30) || { e2e_screenshot regwin-missing; e2e_fail "the registration window did not open"; }
  sleep 1.5
  e2e_geometry "$REG"
}
# row_colours NAME: the background of each type box's leading blank, "c1 c2 c3 c4 c5".
row_colours() {
  local y i x format=""
  e2e_screenshot "$1" "$REG"
  for i in 1 2 3 4 5; do
    read -r x y < <(e2e_reg_at "type-$i-blank" "$f")
    format+="%[fx:int(255*p{$x,$y}.r+.5)],%[fx:int(255*p{$x,$y}.g+.5)],%[fx:int(255*p{$x,$y}.b+.5)] "
  done
  convert "$E2E_SCREENSHOTS/$1-window.png" -format "${format% }" info:
}
expect_row() {  # expect_row NAME C1 C2 C3 C4 C5
  local name=$1 got
  shift
  got=$(row_colours "$name")
  [[ "$got" == "$*" ]] || e2e_fail "$name: the type row is [$got], not [$*] (f=$f)"
}
hover() {  # hover BOX: the pointer rests on that box's zone, in the row band
  e2e_reg_move "type-$1-zone" "$f"
  sleep 0.4
}
rest() {  # the pointer rests over the list, outside the row band
  e2e_reg_move list-rest "$f"
  sleep 0.4
}
# count_area NAME: a signature of the pixels of the file count on the top line
# ("%d / %d", eight characters of the font, f wide and 2f high).
count_area() {
  local x y
  e2e_screenshot "$1" "$REG"
  read -r x y < <(e2e_reg_at file-count "$f")
  convert "$E2E_SCREENSHOTS/$1-window.png" -crop "$((8 * f))x$((2 * f))+$x+$y" +repage -format '%#' info:
}
sizepos_line() { sed -n "${1}p" "$LIST/SizePos.txt"; }

# ---- first start, size 7: centred; the free-space text ----------------------------------
e2e_relay_calls
export WINEDEBUG=+relay
e2e_launch "$APP/backup.exe"
export WINEDEBUG=-all
WID=$(e2e_settings_window 120) || e2e_fail "the settings window did not appear"
sleep 1
open_registration
W0=$E2E_W H0=$E2E_H
# No window manager: the frame is drawn by Wine around the client, as wide left and right
# and below as on each side; the caption lies above.
BORDER=$(((84 * f - W0) / 2))
e2e_log "registration window ${W0}x$H0 at $E2E_X,$E2E_Y, border $BORDER"
((BORDER > 0 && BORDER < 20)) || e2e_fail "the registration window is ${W0} wide for 84f = $((84 * f))"
# Window: x = right/2 - 84f/2, y = bottom/2 - (bottom/2)/2, height bottom/2.
[[ $((E2E_X - BORDER)) == $((SW / 2 - 84 * f / 2)) ]] || e2e_fail "not centred across: client at $E2E_X"
[[ $((E2E_Y - (SH / 2 - H0 - BORDER))) == $((SH / 2 - SH / 2 / 2)) ]] || e2e_fail "not centred down: client at $E2E_Y"

# The top line's free-space text: "T:\の空き領域 " (14 bytes), the free space, 13 blanks,
# of which 25 bytes are drawn at 55f + 2f; the call's last argument counts UTF-16 units:
# the 9 of "T:\の空き領域" and the single-byte rest up to 25 bytes make 20.
draw=$(grep -aE "Call gdi32\.TextOutW\([0-9a-f]+,$(printf '%08x' $((57 * f))),$(printf '%08x' $((f / 2)))," "$E2E_TMP/wine.log" | tail -n1) ||
  e2e_fail "the free-space text was not drawn: $(grep -a 'TextOutW' "$E2E_TMP/wine.log" | head -3)"
e2e_log "free space drawn: $draw"
# The trace shows the text as Wine's escaped string, then the count (a 32-bit argument in a
# 64-bit register: its low 8 hex digits).
text=${draw#*L\"} count=${draw##*\",}
text=${text%%\",*} count=${count%%)*}
[[ "$text" =~ ^T:\\\\\\306e\\7a7a\\304d\\9818\\57df\ [0-9.]+\ (B|KB|MB|GB|TB)\ +$ ]] ||
  e2e_fail "the free-space text is not the drive, the words, the free space and blanks: $draw"
[[ $((16#${count: -8})) == 20 ]] || e2e_fail "the free-space text is drawn $((16#${count: -8})) units long, not cut at 25 bytes: $draw"

# ---- the type row at size 7 -------------------------------------------------------------
rest
expect_row regwin-f7-rest "$YELLOW" "$WHITE" "$YELLOW" "$WHITE" "$WHITE"
hover 2
expect_row regwin-f7-hover2 "$YELLOW" "$RED" "$YELLOW" "$WHITE" "$WHITE"
# A click on " ミラー(除外) ", which has no list: a notice without buttons.
xdotool click 1
MSG=$(e2e_message_window '^backup\.exe$' 20 "$REG") || e2e_fail "no notice for a type without a list"
sleep 1.5
e2e_shown '^backup\.exe$' "$MSG" || e2e_fail "the notice closed with the pointer at rest"
xdotool mousemove_relative --sync 1 0
deadline=$((SECONDS + 10))
while e2e_shown '^backup\.exe$' "$MSG"; do
  ((SECONDS < deadline)) || e2e_fail "the notice stayed after the pointer moved"
  sleep 0.1
done
sleep 0.5
# From box 2 to box 3: the red moves, box 2 is white again.
hover 3
expect_row regwin-f7-hover3 "$YELLOW" "$WHITE" "$RED" "$WHITE" "$WHITE"
rest
expect_row regwin-f7-left "$YELLOW" "$WHITE" "$YELLOW" "$WHITE" "$WHITE"
SHOWN_1=$(count_area regwin-f7-count-first)  # the list shown is still " ファイル "'s

# ---- resized: 70 pixels taller and wider than the screen ----------------------------------
xdotool windowsize "$REG" $((SW + 100)) $((H0 + 70))
sleep 1.5
e2e_close_registration "$REG"
open_registration
e2e_log "opened again: ${E2E_W}x$E2E_H"
[[ "$E2E_W" == $((SW - 2 * BORDER)) ]] || e2e_fail "the window wider than the work area opened ${E2E_W} wide, not $((SW - 2 * BORDER))"
[[ "$E2E_H" == $((H0 + 70)) ]] || e2e_fail "the window opened ${E2E_H} high, not $((H0 + 70))"
# The current type when it closed was " ミラー(全て) ": its list is shown now.
rest
SHOWN_AGAIN=$(count_area regwin-f7-count-again)
e2e_click "$REG" 2 2
sleep 0.3
e2e_reg_click type-1-zone "$f"
sleep 1
rest
[[ "$(count_area regwin-f7-count-1)" == "$SHOWN_1" ]] || e2e_fail "a click on box 1 did not show its list"
e2e_reg_click type-3-zone "$f"
sleep 1
rest
SHOWN_3=$(count_area regwin-f7-count-3)
[[ "$SHOWN_3" != "$SHOWN_1" ]] || e2e_fail "the counts of lists 1 and 3 look the same"
[[ "$SHOWN_AGAIN" == "$SHOWN_3" ]] || e2e_fail "the window opened again without the type chosen by hovering"

# ---- 50 pixels shorter than the first height; saved at the end --------------------------
xdotool windowsize "$REG" "$E2E_W" $((H0 - 50))
sleep 1.5
e2e_close_registration "$REG"
e2e_close_settings "$WID"
[[ "$(sizepos_line 10)" == "$(printf '%05d' "$H0")" ]] || e2e_fail "reference height $(sizepos_line 10), not $H0"
[[ "$(sizepos_line 11)" == "-0050" ]] || e2e_fail "extra height $(sizepos_line 11), not -0050"

# ---- second start, size 12, centred again: 50 pixels shorter; the type row ----------------
sed -i -e '1s/.*/12/' -e '4,5s/.*/77777/' "$LIST/SizePos.txt"
f=12
e2e_layout "$f"
e2e_launch "$APP/backup.exe"
WID=$(e2e_settings_window 120) || e2e_fail "the settings window did not appear at size 12"
sleep 1
open_registration
e2e_log "size 12: ${E2E_W}x$E2E_H at $E2E_X,$E2E_Y"
[[ "$E2E_W x $E2E_H" == "$((84 * f - 2 * BORDER)) x $((H0 - 50))" ]] || e2e_fail "at size 12 the window is ${E2E_W}x$E2E_H"
[[ $((E2E_X - BORDER)) == $((SW / 2 - 84 * f / 2)) ]] || e2e_fail "not centred across at size 12: client at $E2E_X"
[[ $((E2E_Y - (SH / 2 + (-50) - (H0 - 50) - BORDER))) == $((SH / 2 - (SH / 2 - 50) / 2)) ]] ||
  e2e_fail "not centred down at size 12: client at $E2E_Y"
rest
expect_row regwin-f12-rest "$YELLOW" "$WHITE" "$YELLOW" "$WHITE" "$WHITE"
hover 4
expect_row regwin-f12-hover4 "$YELLOW" "$WHITE" "$YELLOW" "$RED" "$WHITE"
hover 1
expect_row regwin-f12-hover1 "$RED" "$WHITE" "$YELLOW" "$WHITE" "$WHITE"
rest
expect_row regwin-f12-left "$YELLOW" "$WHITE" "$YELLOW" "$WHITE" "$WHITE"
e2e_close_registration "$REG"
e2e_close_settings "$WID"
[[ "$(sizepos_line 11)" == "-0050" ]] || e2e_fail "extra height $(sizepos_line 11) after the second start"
echo "registration_window_e2e: ok"
