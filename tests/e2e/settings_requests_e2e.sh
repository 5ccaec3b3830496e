#!/usr/bin/env bash
# Requests of the settings window that come back to it: "登録全てのバックアップ" with no
# destination registered closes the window and opens it again without any backup window
# (nothing written, no report); choosing the character size already selected still
# closes and reopens it; "ファイル、フォルダーの登録" while the destination chosen in the
# choice box is a link target does nothing, and once another destination is chosen the
# same press opens the registration window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init settings_requests_e2e "${1:-build/windows}"
e2e_start_display

APP=$(e2e_app_copy)
LIST="$APP/BkList"
e2e_map_drive t BACKUP
e2e_map_drive u BACKUP2
REPORT="$APP/　エラー報告.txt"
f=7
e2e_layout "$f"
press() { e2e_press "$WID" "$1" "$2"; }
BACKUP_ALL=($(e2e_at BACKUP_ALL_BUTTON))
REGISTER=($(e2e_at REGISTER_BUTTON))
CHOICE_BOX=($(e2e_at CHOICE_BOX 30 10))
SIZE_BOX=($(e2e_at CHAR_SIZE_BOX 20 10))

# next_settings OLD SECONDS: waits for the settings window that replaces OLD; fails on any
# backup or registration window meanwhile (they are titled "バックアップ先 ...").
next_settings() {
  local old=$1 deadline=$((SECONDS + $2)) id other
  while ((SECONDS < deadline)); do
    other=$(xdotool search --onlyvisible --name '^バックアップ先' 2>/dev/null | head -n1) || true
    [[ -z "$other" ]] || { e2e_screenshot settings-requests-unexpected; e2e_fail "a window opened: $(xdotool getwindowname "$other")"; }
    id=$(xdotool search --onlyvisible --name '^Kestova$' 2>/dev/null | head -n1) || true
    [[ -n "$id" && "$id" != "$old" ]] && { echo "$id"; return 0; }
    sleep 0.05
  done
  e2e_fail "the settings window was not opened again"
}
no_message() {
  ! e2e_message_window '^backup\.exe$' 1 >/dev/null || e2e_fail "an unexpected message is open"
}
same_geometry() {  # same_geometry WID W H: the settings window at its size
  e2e_geometry "$1" || e2e_fail "the settings window went away"
  [[ "$E2E_W x $E2E_H" == "$2 x $3" ]] || e2e_fail "the settings window is ${E2E_W}x$E2E_H, not ${2}x$3"
}

# ---- no destination: "登録全てのバックアップ" comes back to the settings window -----
printf '*\n*\n*\n*\n1\n' >"$LIST/ToDrive.txt"
cp "$LIST/ToDrive.txt" "$E2E_TMP/ToDrive.empty"
e2e_launch "$APP/backup.exe"
WID=$(e2e_settings_window 120) || e2e_fail "the settings window did not appear"
sleep 1
e2e_geometry "$WID"
W0=$E2E_W H0=$E2E_H
press "${BACKUP_ALL[@]}"
WID=$(next_settings "$WID" 30)
sleep 2  # a backup window opened late would show now
[[ -z "$(xdotool search --onlyvisible --name '^バックアップ先' 2>/dev/null)" ]] || e2e_fail "a backup window opened"
same_geometry "$WID" "$W0" "$H0"
no_message
[[ ! -e "$REPORT" ]] || e2e_fail "an error report was begun"
cmp -s "$LIST/ToDrive.txt" "$E2E_TMP/ToDrive.empty" || e2e_fail "ToDrive.txt changed: $(cat -A "$LIST/ToDrive.txt")"
e2e_screenshot settings-requests-back "$WID"

# ---- the character size already selected (7): closed and opened again at size 7 -----
e2e_choose "$WID" "${SIZE_BOX[@]}"
WID=$(next_settings "$WID" 30)
sleep 1
same_geometry "$WID" "$W0" "$H0"
no_message
e2e_close_settings "$WID"
[[ "$(head -n1 "$LIST/SizePos.txt")" == 07 ]] || e2e_fail "SizePos.txt: $(head -n1 "$LIST/SizePos.txt")"
[[ ! -e "$REPORT" ]] || e2e_fail "an error report was left"

# ---- a link target chosen: "ファイル、フォルダーの登録" does nothing -------------------
printf 'U:\\B\nT:\\A\nU:\\B\n*\n*\nT:\\A > U:\\B\n*\n1\n' >"$LIST/ToDrive.txt"
printf '2S:\\data\ta.txt\t10000000000006\n' >"$LIST/TA1.ini"
e2e_launch "$APP/backup.exe"
WID=$(e2e_settings_window 120) || e2e_fail "the settings window did not appear (second start)"
sleep 2  # the choice box shows "U:\B【BACKUP2】連動先"
e2e_screenshot settings-requests-link-target "$WID"
press "${REGISTER[@]}"
deadline=$((SECONDS + 3))
while ((SECONDS < deadline)); do
  [[ -z "$(xdotool search --onlyvisible --name '^バックアップ先' 2>/dev/null)" ]] || e2e_fail "the registration window opened for a link target"
  e2e_shown '^backup\.exe$' "$WID" || e2e_fail "the settings window closed"
  sleep 0.1
done
no_message
# The same press with T:\A chosen opens its registration window: the press was on the button.
e2e_choose "$WID" "${CHOICE_BOX[@]}" t
no_message
press "${REGISTER[@]}"
REG=$(e2e_wait_window --name '^バックアップ先 T:\\A ' 30) || { e2e_screenshot settings-requests-missing; e2e_fail "the registration window did not open for T:\\A"; }
sleep 1
e2e_close_registration "$REG"
e2e_close_settings "$WID"
[[ "$(head -n1 "$LIST/ToDrive.txt")" == 'T:\A' ]] || e2e_fail "ToDrive.txt: $(cat -A "$LIST/ToDrive.txt")"
echo "settings_requests_e2e: ok"
