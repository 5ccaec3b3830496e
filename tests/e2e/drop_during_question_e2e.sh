#!/usr/bin/env bash
# A drop that arrives while the deletion's partial-folder question is open is ignored:
# the question's loop keeps dispatching the registration window's messages, and a drop
# taken then would load another type's list into the buffer the deletion works on. The
# " ミラー(全て) " list has folder A (both lines selected) and folder B (one of two lines
# selected); a file is dropped on " ファイル " while the question is open. Afterwards A's
# lines are gone, B's kept, and the " ファイル " list is unchanged, byte for byte.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init drop_during_question_e2e "${1:-build/windows}"
e2e_start_display

e2e_build_drop
e2e_registration_app
S=$E2E_S
mkdir -p "$S/new"
printf 'dropped while asked\n' >"$S/new/n.txt"
printf '2S:\\A\ta1\t30000000000001\n2S:\\A\ta2\t30000000000002\n2S:\\B\tb1\t30000000000003\n2S:\\B\tb2\t30000000000004\n' \
  >"$LIST/TBK3.ini"
printf '2S:\\files\tone.txt\t10000000000004\n' >"$LIST/TBK1.ini"
cp "$LIST/TBK1.ini" "$E2E_TMP/TBK1.before"
printf '2S:\\B\tb1\t30000000000003\n2S:\\B\tb2\t30000000000004\n' >"$E2E_TMP/TBK3.after"

f=7
e2e_layout "$f"
calc() { e2e_calc "$1"; }
press() { e2e_press "$WID" "$1" "$2"; }  # a button of the settings window
shown() { e2e_shown '^backup\.exe$' "$1"; }
message_window() { e2e_message_window '^backup\.exe$' "${1:-20}" "$REG"; }  # nameless, of the program's class
show_file() { iconv -f CP932 -t UTF-8 <"$1" 2>/dev/null | cat -A | head -8; }

open_registration() {
  e2e_launch "$APP/backup.exe"
  WID=$(e2e_settings_window 120) || e2e_fail "the settings window did not appear"
  sleep 1
  press $(e2e_at REGISTER_BUTTON)  # "ファイル、フォルダーの登録"
  REG=$(e2e_wait_window --name '^バックアップ先 ' 30) || e2e_fail "the registration window did not appear"
  sleep 1
  e2e_geometry "$REG"
}
close_program() {
  e2e_close_registration "$REG"
  e2e_close_settings "$WID"
}

# The question opens centred on the screen with the pointer on its "了解". The
# registration window is placed so that this very point lies on its " ファイル " box: the
# window's next paint then takes that box as the one under the pointer, as it would if
# the user had moved there, and a drop at the pointer lands on it.
# The question: 6 lines, the longest 65 bytes.
QW=$((65 * f + 3 * f))
QH=$(calc "int($f * 2.7 * 6) + 7 * $f")
read -r SW SH < <(xdotool getdisplaygeometry)
QX=$((SW / 2 - QW / 2))
QY=$((SH / 2 - QH / 2))
OKX=$((QX + $(calc "int($((QW / 2)) - 4.3 * $f)") + $(calc "int(4.3 * $f)")))
OKY=$((QY + $(calc "int($QH - 4.6 * $f)") + $(calc "int(1.5 * $f)")))
# A first start, centred (x = right/2 - width/2 with width 84f, y = bottom/2 - height/2 with
# height bottom/2), tells how far the client area lies from the window's place, and where
# in it the " ファイル " box is.
open_registration
DX=$((E2E_X - (SW / 2 - 84 * f / 2)))
DY=$((E2E_Y - (SH / 2 - SH / 2 / 2)))
H0=$E2E_H
read -r FILE_X FILE_Y < <(e2e_reg_at type-1 "$f")
close_program
NX=$((OKX - FILE_X - DX))
NY=$((OKY - FILE_Y - DY))
((NX >= 0 && NY >= 0)) || e2e_fail "no place for the registration window ($NX, $NY)"
awk -v x="$NX" -v y="$NY" 'NR == 4 { printf "%05d\n", x; next } NR == 5 { printf "%05d\n", y; next } { print }' \
  "$LIST/SizePos.txt" >"$E2E_TMP/SizePos.txt"
cp "$E2E_TMP/SizePos.txt" "$LIST/SizePos.txt"

open_registration
[[ "$E2E_X" == $((OKX - FILE_X)) && "$E2E_H" == "$H0" ]] || e2e_fail "the registration window is at $E2E_X,$E2E_Y (${E2E_W}x$E2E_H), not where it was put"

# Show " ミラー(全て) ", find "a1" (row 1, selected and focused by the search), extend the
# selection over a2, B and b1: folder A whole, folder B half.
e2e_reg_click type-3 "$f"
sleep 1
e2e_reg_click search-box "$f"
sleep 0.3
xdotool type a1
sleep 0.3
e2e_reg_click search-button "$f"
sleep 1.5
xdotool key shift+Down shift+Down shift+Down
sleep 0.5
e2e_screenshot drop-question-selection "$REG"
e2e_reg_click delete "$f"  # " 削除 "
MSG=$(message_window 20) || { e2e_screenshot drop-question-missing; e2e_fail "the partial-folder question did not appear"; }
sleep 0.5
e2e_screenshot drop-question-open "$MSG"

[[ "$(xdotool getwindowgeometry --shell "$MSG" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')" == "X=$QX Y=$QY WIDTH=$QW HEIGHT=$QH " ]] ||
  e2e_fail "the question is not where it was expected: $(xdotool getwindowgeometry --shell "$MSG" | tr '\n' ' ')"
e2e_pointer
[[ "$E2E_PX,$E2E_PY" == "$OKX,$OKY" ]] || e2e_fail "the pointer is at $E2E_PX,$E2E_PY, not on 了解 ($OKX,$OKY)"

# While it is open, a real drop at the pointer, over the " ファイル " box.
timeout 20 "$E2E_DROP" "$REG" "$OKX" "$OKY" "$S/new/n.txt" || true
sleep 2
e2e_screenshot drop-question-after-drop
shown "$MSG" || e2e_fail "the question closed without an answer"

# "了解" at its place: left trunc(W/2 - 4.3f), top trunc(H - 4.6f), trunc(8.6f) x 3f. (A drop
# taken all the same raises the registration window over the question: raised back, the
# question can be answered and the damage shows in the lists.)
xdotool windowraise "$MSG" 2>/dev/null || true
sleep 0.3
e2e_geometry "$MSG"
e2e_click "$MSG" $(($(calc "int($((E2E_W / 2)) - 4.3 * $f)") + $(calc "int(4.3 * $f)"))) \
  $(($(calc "int($E2E_H - 4.6 * $f)") + 3 * f / 2))
deadline=$((SECONDS + 10))
while shown "$MSG"; do
  ((SECONDS < deadline)) || e2e_fail "the question stayed after 了解"
  sleep 0.2
done

deadline=$((SECONDS + 20))
until cmp -s "$LIST/TBK3.ini" "$E2E_TMP/TBK3.after"; do
  ((SECONDS < deadline)) || e2e_fail "TBK3.ini is not A deleted and B kept: $(show_file "$LIST/TBK3.ini")"
  sleep 0.2
done
sleep 2  # a drop taken all the same would be merged by now
e2e_screenshot drop-question-done "$REG"
cmp -s "$LIST/TBK1.ini" "$E2E_TMP/TBK1.before" || e2e_fail "TBK1.ini changed: $(show_file "$LIST/TBK1.ini")"
cmp -s "$LIST/TBK3.ini" "$E2E_TMP/TBK3.after" || e2e_fail "TBK3.ini changed again: $(show_file "$LIST/TBK3.ini")"
for n in 2 4 5; do [[ ! -e "$LIST/TBK$n.ini" ]] || e2e_fail "TBK$n.ini appeared"; done
no_other=$(message_window 1) && e2e_fail "an unexpected message is open"

# Close both windows; the lists stay as they are.
close_program
cmp -s "$LIST/TBK1.ini" "$E2E_TMP/TBK1.before" || e2e_fail "TBK1.ini changed at the end"
cmp -s "$LIST/TBK3.ini" "$E2E_TMP/TBK3.after" || e2e_fail "TBK3.ini changed at the end"
echo "drop_during_question_e2e: ok"
