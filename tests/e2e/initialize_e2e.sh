#!/usr/bin/env bash
# initialize.exe asks before it forgets the registrations: "はい" deletes every .ini list in
# BkList and empties ToDrive.txt; "いいえ" and the "×" mark change nothing. The dialog's
# size, position, pointer placement and buttons are checked against the layout rules at
# character sizes 7 and 12, with screenshots kept in build/screenshots/.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init initialize_e2e "${1:-build/windows}"
e2e_start_display

# The question is four lines (30 bytes, an empty line, 68 and 56 bytes after their LFs):
# the longest line counts 69 bytes with the LF that begins it.
LINES=4
LONGEST=69
SCREEN_W=1280 SCREEN_H=1024  # Xvfb's screen; with no window manager the work area is all of it

# Dialog layout for character size f, in single-precision steps truncated as the program
# does (at f = 7 and 12 double precision truncates the same way).
layout() {
  local f=$1
  eval "$(awk -v f="$f" -v lines="$LINES" -v longest="$LONGEST" -v sw="$SCREEN_W" -v sh="$SCREEN_H" 'BEGIN {
    if (f * 4.3 > longest) longest = int(f * 4.3)
    w = f * longest + 3 * f; if (w < 29 * f) w = 29 * f
    h = int(f * 2.7 * lines) + 7 * f
    half = int(w / 2); top = int(h - 4.6 * f); bh = 3 * f
    yes_l = int(half - 10.6 * f); bw = int(8.6 * f); no_l = half + f
    printf "W=%d H=%d LEFT=%d TOP=%d ", w, h, int(sw / 2) - half, int(sh / 2) - int(h / 2)
    printf "YES_X=%d NO_X=%d BTN_Y=%d ", yes_l + int(bw / 2), no_l + int(bw / 2), top + int(bh / 2)
    printf "CLOSE_X=%d CLOSE_Y=%d PTR_X=%d PTR_Y=%d\n", w - int(1.5 * f), int(1.5 * f), half - f, h - 5 * f
  }')"
}

TODRIVE_SET=$'D:\\BK\n*\nD:\\BK\nE:\\BK2\n*\nD:\\Data > E:\\Copy\n*\n0\n'

prepare() {  # prepare APP F: a BkList with registrations, destinations and other files
  local app=$1 f=$2 b="$1/BkList"
  printf 'S:\\a.txt\n' >"$b/DBK1.ini"
  printf 'S:\\b\n' >"$b/x.INI"
  printf 'S:\\c\n' >"$b/DBK2.ini"
  printf 'S:\\d\n' >"$b/表示.ini"
  printf 'keep me\n' >"$b/notes.txt"
  printf 'keep me too\n' >"$b/DBK1.ini.bak"
  mkdir "$b/folder.ini" && printf 'inner\n' >"$b/folder.ini/inner.ini"
  printf '%s' "$TODRIVE_SET" >"$b/ToDrive.txt"
  if [[ $f -ne 7 ]]; then
    printf '%02d\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n00000\n00000\n' "$f" >"$b/SizePos.txt"
  fi
}

snapshot() {  # every file and folder under the app with its bytes' hash
  (cd "$1" && find . -type d | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
}

# open_dialog APP F SHOT: starts the program, finds its dialog and checks the layout.
open_dialog() {
  local app=$1 f=$2 shot=$3 deadline
  layout "$f"
  e2e_launch "$app/initialize.exe"
  WID=$(e2e_wait_window --class '^initialize\.exe$' 180) || e2e_fail "no dialog appeared (f=$f)"
  e2e_geometry "$WID"
  [[ "$E2E_W x $E2E_H" == "$W x $H" ]] || e2e_fail "dialog is ${E2E_W}x${E2E_H}, expected ${W}x${H} (f=$f)"
  [[ "$E2E_X,$E2E_Y" == "$LEFT,$TOP" ]] || e2e_fail "dialog at $E2E_X,$E2E_Y, expected $LEFT,$TOP (f=$f)"
  # The program puts the pointer just above the gap between the buttons.
  deadline=$((SECONDS + 10))
  while :; do
    e2e_pointer
    [[ "$E2E_PX,$E2E_PY" == "$((LEFT + PTR_X)),$((TOP + PTR_Y))" ]] && break
    ((SECONDS < deadline)) ||
      e2e_fail "pointer at $E2E_PX,$E2E_PY, expected $((LEFT + PTR_X)),$((TOP + PTR_Y)) (f=$f)"
    sleep 0.2
  done
  sleep 0.5  # let the buttons finish painting before the picture
  if [[ -n "$shot" ]]; then e2e_screenshot "$shot" "$WID"; fi
}

finish() {  # finish F WHAT: the program must end after the click
  e2e_wait_exit "$E2E_PID" 30 || e2e_fail "initialize.exe still running after $2 (f=$1)"
}

# ---- "はい": the lists go, the destinations are emptied, everything else stays -------
APP=$(e2e_app_copy)
prepare "$APP" 7
open_dialog "$APP" 7 initialize-dialog-f7
e2e_click "$WID" "$YES_X" "$BTN_Y"
finish 7 "はい"
for gone in DBK1.ini x.INI DBK2.ini 表示.ini; do
  [[ ! -e "$APP/BkList/$gone" ]] || e2e_fail "はい: BkList/$gone was not deleted"
done
[[ "$(cat "$APP/BkList/notes.txt")" == "keep me" ]] || e2e_fail "はい: notes.txt changed"
[[ -f "$APP/BkList/DBK1.ini.bak" ]] || e2e_fail "はい: DBK1.ini.bak was deleted"
[[ -f "$APP/BkList/folder.ini/inner.ini" ]] || e2e_fail "はい: the folder folder.ini was touched"
[[ -f "$APP/BkList/SizePos.txt" && -f "$APP/BkList/ANIS_LF形式で保存するための原本.txt" ]] ||
  e2e_fail "はい: a data file other than the lists was deleted"
[[ "$(od -An -tx1 "$APP/BkList/ToDrive.txt")" == "$(printf '*\n*\n*\n*\n1\n' | od -An -tx1)" ]] ||
  e2e_fail "はい: ToDrive.txt is not the default: $(cat -A "$APP/BkList/ToDrive.txt")"
[[ ! -e "$APP/BkList/ToDrive.txt.new" ]] || e2e_fail "はい: the temporary ToDrive.txt.new was left"

# ---- "いいえ" at character size 12: nothing changes ---------------------------------
APP=$(e2e_app_copy)
prepare "$APP" 12
before=$(snapshot "$APP")
open_dialog "$APP" 12 initialize-dialog-f12
e2e_click "$WID" "$NO_X" "$BTN_Y"
finish 12 "いいえ"
[[ "$(snapshot "$APP")" == "$before" ]] || e2e_fail "いいえ: files changed"

# ---- the "×" mark: nothing changes ----------------------------------------------------
for f in 7 12; do
  APP=$(e2e_app_copy)
  prepare "$APP" "$f"
  before=$(snapshot "$APP")
  open_dialog "$APP" "$f" ""
  e2e_click "$WID" "$CLOSE_X" "$CLOSE_Y"
  finish "$f" "×"
  [[ "$(snapshot "$APP")" == "$before" ]] || e2e_fail "×: files changed (f=$f)"
done

echo "initialize_e2e: ok"
