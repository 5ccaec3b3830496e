#!/usr/bin/env bash
# The message dialog's answers, driven through its real window by e2e_probe.exe (the
# programs' own dialog component; no program path reaches these cases or shows the
# answer): a "了解" notice closed with its "×" mark answers 7777777, as with "了解"; a
# second dialog asked for while one is open answers 0 at once and shows nothing; a notice
# without buttons stays while the pointer rests and closes with answer 1 on its first
# movement.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init dialog_e2e "${1:-build/windows}"
e2e_start_display
command -v convert >/dev/null || e2e_fail "convert (imagemagick) is missing"

PROBE="$E2E_BUILD_DIR/tests/e2e_probe.exe"
[[ -f "$PROBE" ]] || e2e_fail "$PROBE not found (build the windows preset)"
WORK="$E2E_TMP/probe"
mkdir -p "$WORK"
cp "$PROBE" "$WORK/"
ANSWERS="$WORK/answers.txt"
CLASS='^e2e_probe\.exe$'
f=7

# answer STEP: waits for the probe's line of that step and prints it.
answer() {
  local deadline=$((SECONDS + 20)) line
  while ((SECONDS < deadline)); do
    line=$(grep -a "^$1 " "$ANSWERS" 2>/dev/null) && { echo "$line"; return 0; }
    kill -0 "$E2E_PID" 2>/dev/null || break
    sleep 0.1
  done
  e2e_fail "no answer for $1: $(cat "$ANSWERS" 2>/dev/null)"
}
# dialog STEP W H: lets the probe show the step's dialog and checks its size (W = f x the
# longest line (at least trunc(4.3f)) + 3f, H = trunc(2.7f) + 7f for one line).
dialog() {
  touch "$WORK/go-$1"
  MSG=$(e2e_message_window "$CLASS" 180) || e2e_fail "the $1 dialog did not appear"
  sleep 0.5
  e2e_geometry "$MSG" || e2e_fail "the $1 dialog went away"
  [[ "$E2E_W x $E2E_H" == "$2 x $3" ]] || e2e_fail "the $1 dialog is ${E2E_W}x$E2E_H, not ${2}x$3"
}
gone() {
  local deadline=$((SECONDS + 10))
  while e2e_shown "$CLASS" "$MSG"; do
    ((SECONDS < deadline)) || e2e_fail "the dialog stayed ($1)"
    sleep 0.1
  done
}
dialogs_shown() {
  local n=0 id
  for id in $(xdotool search --onlyvisible --class "$CLASS" 2>/dev/null); do
    [[ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]] && n=$((n + 1))
  done
  echo "$n"
}

W=$((30 * f + 3 * f)) H=$(($(e2e_calc "$f * 2.7") + 7 * f))  # every text here is shorter than 4.3f
e2e_launch "$WORK/e2e_probe.exe" dialog .

# ---- "×" on a "了解" notice: 7777777, in the answer and in the answer slot -------------
dialog ok-close "$W" "$H"
e2e_screenshot dialog-ok-close "$MSG"
red=$(convert "$E2E_SCREENSHOTS/dialog-ok-close-window.png" -crop "$((3 * f))x$((3 * f))+$((W - 3 * f))+0" +repage \
  -fx 'r > 0.8 && g < 0.3 && b < 0.3' -format '%[fx:mean]' info:)
awk -v s="$red" 'BEGIN { exit !(s > 0) }' || e2e_fail "no red × in the top right corner"
e2e_click "$MSG" $((W - f)) "$f"  # the close zone: W - 3f < x < W, 0 < y < 3f
gone "×"
[[ "$(answer ok-close)" == "ok-close 7777777 7777777" ]] || e2e_fail "× on a 了解 notice: $(answer ok-close)"

# ---- a second dialog asked for while one is open: 0 at once, nothing shown -------------
# The probe asks from a timer that fires inside the open notice's loop; its line is
# written while the notice is still open and nobody has answered anything.
dialog second "$W" "$H"
line=$(answer second-asked)
e2e_shown "$CLASS" "$MSG" || e2e_fail "the first notice closed when the second was asked for"
[[ "$(dialogs_shown)" == 1 ]] || e2e_fail "$(dialogs_shown) dialogs are shown"
[[ "$line" == "second-asked 0 1" ]] || e2e_fail "the second dialog (answer, dialogs): $line"
# The first notice still answers its "了解": left trunc(W/2 - 4.3f), top trunc(H - 4.6f).
e2e_click "$MSG" $(($(e2e_calc "$((W / 2)) - 4.3 * $f") + $(e2e_calc "4.3 * $f"))) $(($(e2e_calc "$H - 4.6 * $f") + 3 * f / 2))
gone "了解"
[[ "$(answer ok-button)" == "ok-button 7777777" ]] || e2e_fail "了解: $(answer ok-button)"

# ---- a notice without buttons: stays while the pointer rests, goes on its first move ----
# The pointer rests where the notice opens (centred), so that its movement reaches the
# program as a message.
read -r SW SH < <(xdotool getdisplaygeometry)
xdotool mousemove --sync $((SW / 2)) $((SH / 2))
sleep 0.3
dialog transient "$W" "$H"
sleep 1.5
e2e_shown "$CLASS" "$MSG" || e2e_fail "the notice without buttons closed with the pointer at rest"
! grep -aq '^transient ' "$ANSWERS" || e2e_fail "the notice without buttons answered at rest"
xdotool mousemove_relative --sync 1 0
gone "a pointer movement"
[[ "$(answer transient)" == "transient 1" ]] || e2e_fail "pointer movement: $(answer transient)"
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the probe did not end"
echo "dialog_e2e: ok"
