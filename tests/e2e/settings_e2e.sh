#!/usr/bin/env bash
# The settings window driven as a user would: register two destinations on labelled Wine
# drives, choose one, put it on the power-off list, link the two, switch the character
# size, close; ToDrive.txt and SizePos.txt must then hold exactly those choices.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init settings_e2e "${1:-build/windows}"
e2e_start_display

APP=$(e2e_app_copy)
# Two drives with labels, as USB disks would be.
e2e_map_drive t BACKUP
e2e_map_drive u BACKUP2

f=7
e2e_layout "$f"

e2e_launch "$APP/backup.exe"
WID=$(e2e_wait_window --name '^Kestova$' 180) || e2e_fail "the settings window did not appear"
sleep 1
e2e_screenshot settings-f7 "$WID"

choose() { e2e_choose "$WID" "$@"; }  # choose BOX_X BOX_Y KEYS...
folder_name() {
  e2e_click "$WID" $(e2e_at FOLDER_NAME_BOX 40 10)
  xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace
  xdotool type "$1"
  sleep 0.3
}
# The dialog puts the pointer on itself when it opens: it is the nameless window under
# the pointer.
dialog_window() {
  local deadline=$((SECONDS + 20)) X Y SCREEN WINDOW
  while ((SECONDS < deadline)); do
    eval "$(xdotool getmouselocation --shell 2>/dev/null)" || true
    if [[ -n "${WINDOW:-}" && "$WINDOW" != "$WID" && -z "$(xdotool getwindowname "$WINDOW" 2>/dev/null)" ]] &&
      xdotool getwindowgeometry "$WINDOW" >/dev/null 2>&1; then
      echo "$WINDOW"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

folder_name BK
choose $(e2e_at DRIVE_BOX 30 10) t           # the drive box registers T:\BK
folder_name BK2
choose $(e2e_at DRIVE_BOX 30 10) u           # and U:\BK2
choose $(e2e_at CHOICE_BOX 30 10) t          # T:\BK becomes current
choose $(e2e_at POWER_OFF_ADD_BOX 30 10) t   # and goes on the power-off list
choose $(e2e_at LINK_SOURCE_BOX 20 10) t     # link source
choose $(e2e_at LINK_TARGET_BOX 20 10) u     # link target: the question comes

DLG=$(dialog_window) || e2e_fail "the link question did not appear"
sleep 0.5
e2e_screenshot dialog-link-rename-f7 "$DLG"
e2e_geometry "$DLG"
W=$E2E_W H=$E2E_H
# "連動化" stands at W/2 - 10f, 8f wide, 3f high, its top at trunc(H - 4.6f).
e2e_click "$DLG" $((W / 2 - 10 * f + 4 * f)) $(($(awk -v h="$H" -v f="$f" 'BEGIN{printf "%d", h - 4.6*f}') + 3 * f / 2))
sleep 1

# A help mark opens its text with the OK button.
e2e_click "$WID" $(e2e_at FOLDER_NAME_HELP 10 6)
DLG=$(dialog_window) || e2e_fail "the help text did not appear"
sleep 0.5
e2e_screenshot dialog-ok-f7 "$DLG"
e2e_pointer
xdotool click 1  # the pointer already stands on "了解"
sleep 0.8

# The power-off removal asks yes or no; "いいえ" keeps the entry.
choose $(e2e_at POWER_OFF_LIST_BOX 30 10) t
DLG=$(dialog_window) || { e2e_screenshot settings-failure; e2e_fail "the removal question did not appear"; }
sleep 0.5
e2e_screenshot dialog-yes-no-f7 "$DLG"
e2e_geometry "$DLG"
W=$E2E_W H=$E2E_H
e2e_click "$DLG" $((W / 2 + f + 4 * f)) $(($(awk -v h="$H" -v f="$f" 'BEGIN{printf "%d", h - 4.6*f}') + 3 * f / 2))
sleep 1

# Character size 12: the window closes and opens again at the new size.
choose $(e2e_at CHAR_SIZE_BOX 20 10) Down Down Down Down Down
deadline=$((SECONDS + 30))
while :; do
  NEW=$(xdotool search --onlyvisible --name '^Kestova$' 2>/dev/null | head -n1) || true
  if [[ -n "$NEW" ]]; then
    e2e_geometry "$NEW"
    ((E2E_W >= 63 * 12 && E2E_W < 63 * 12 + 12)) && break  # the client: 63f and a little of the frame
  fi
  ((SECONDS < deadline)) || e2e_fail "the settings window did not come back at size 12"
  sleep 0.3
done
WID=$NEW
sleep 1
e2e_screenshot settings-f12 "$WID"
grep -q 'T:\\BK > U:\\BK2' "$APP/BkList/ToDrive.txt" || e2e_fail "ToDrive.txt was not saved when the window closed"

# Close: the program ends and writes its settings.
e2e_geometry "$WID"
xdotool mousemove --sync $((E2E_X + 20)) $((E2E_Y + E2E_H - 10))
sleep 0.3
xdotool key --window "$WID" alt+F4 2>/dev/null
e2e_wait_exit "$E2E_PID" 30 || e2e_fail "backup.exe did not end after the close request"

expected=$'T:\\BK\nT:\\BK\nU:\\BK2\n*\nT:\\BK\n*\nT:\\BK > U:\\BK2\n*\n1\n'
[[ "$(od -An -c "$APP/BkList/ToDrive.txt")" == "$(printf '%s' "$expected" | od -An -c)" ]] ||
  e2e_fail "ToDrive.txt differs: $(cat -A "$APP/BkList/ToDrive.txt")"
sizepos=$(cat "$APP/BkList/SizePos.txt"; echo x)
sizepos=${sizepos%x}
[[ "$sizepos" =~ ^12$'\n'77777$'\n'77777$'\n'77777$'\n'77777$'\n'77777$'\n'77777$'\n'[0-9]{5}$'\n'[0-9]{5}$'\n'00000$'\n'00000$ ]] ||
  e2e_fail "SizePos.txt differs (or ends with a line feed): $(cat -A "$APP/BkList/SizePos.txt")"
[[ -d "$E2E_TMP/drive-t" && ! -e "$E2E_TMP/drive-t/BK" ]] || e2e_fail "registration created a folder on the drive"
echo "settings_e2e: ok"
