#!/usr/bin/env bash
# Notices that open just after a program window was destroyed (its quit request is then
# waiting in the queue) stay until the user answers them: "バックアップ先の選択がありません。"
# after "ファイル、フォルダーの登録" with no destination chosen, and the end-of-backup notice
# "バックアップでエラーが発生しました…" after a run with a problem. Each must still be open
# after 5 s, whole (its size, its panel, its "×" and its "了解" drawn), must outlast pointer
# movement over it, and must end on a click on "了解" at that button's place.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init notices_e2e "${1:-build/windows}"
e2e_start_display
command -v convert >/dev/null || e2e_fail "convert (imagemagick) is missing"

APP=$(e2e_app_copy)
e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
# A registered file on a drive letter that no disk holds gives the run its one problem.
GONE=q
[[ ! -e "$WINEPREFIX/dosdevices/$GONE:" ]] || e2e_fail "drive $GONE: is mapped in the prefix; the test needs it absent"
mkdir -p "$E2E_TMP/drive-s/data"
printf 'alpha\n' >"$E2E_TMP/drive-s/data/a.txt"

f=7
e2e_layout "$f"
calc() { e2e_calc "$1"; }  # truncated toward zero, as the program does

settings_window() { e2e_settings_window 120; }
press() { e2e_press "$WID" "$1" "$2"; }  # a button of the settings window
shown() { e2e_shown '^backup\.exe$' "$1"; }
message_window() { e2e_message_window '^backup\.exe$' "${1:-60}"; }  # nameless, of the program's class
# rgb PNG X Y: "r,g,b" of one pixel.
rgb() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
# red_share PNG W H X Y: the share of clearly red pixels in that area.
red_share() {
  convert "$1" -crop "$2x$3+$4+$5" +repage -fx 'r > 0.8 && g < 0.3 && b < 0.3' -format '%[fx:mean]' info:
}

# check_notice NAME LINES LONGEST: the notice of LINES lines, the longest LONGEST bytes
# once wrapped, stays open and whole and ends only on "了解".
check_notice() {
  local name=$1 lines=$2 longest=$3 msg start w h
  msg=$(message_window 90) || { e2e_screenshot "$name-missing"; e2e_fail "no notice ($name) appeared, or it closed at once"; }
  start=$SECONDS
  while ((SECONDS - start < 5)); do
    shown "$msg" || { e2e_screenshot "$name-gone"; e2e_fail "the notice ($name) closed by itself after $((SECONDS - start)) s"; }
    sleep 0.25
  done
  # Its size: W = f x longest + 3f (at least 12f), H = trunc(2.7f x lines) + 7f.
  w=$((f * longest + 3 * f))
  ((w >= 12 * f)) || w=$((12 * f))
  h=$(calc "int($f * 2.7 * $lines) + 7 * $f")
  e2e_geometry "$msg" || e2e_fail "the notice ($name) went away"
  [[ "$E2E_W" == "$w" && "$E2E_H" == "$h" ]] || e2e_fail "the notice ($name) is ${E2E_W}x${E2E_H}, not ${w}x${h}"
  e2e_screenshot "$name" "$msg"
  local png="$E2E_SCREENSHOTS/$name-window.png"
  [[ "$(rgb "$png" 7 7)" == "230,230,255" ]] || e2e_fail "the notice ($name) has no panel: $(rgb "$png" 7 7)"
  awk -v s="$(red_share "$png" $((3 * f)) $((3 * f)) $((w - 3 * f)) 0)" 'BEGIN { exit !(s > 0) }' ||
    e2e_fail "the notice ($name) shows no close mark"
  # "了解": left trunc(W/2 - 4.3f), top trunc(H - 4.6f), trunc(8.6f) x 3f.
  local bx by bw bh
  bx=$(calc "int($((w / 2)) - 4.3 * $f)")
  by=$(calc "int($h - 4.6 * $f)")
  bw=$(calc "int(8.6 * $f)")
  bh=$((3 * f))
  local face
  face=$(rgb "$png" $((bx + 4)) $((by + 3)))
  [[ "$face" != "230,230,255" && "$face" != "200,200,255" ]] || e2e_fail "the notice ($name) has no 了解 button"
  # Pointer movement over it and away does not end it (only a transient message would).
  xdotool mousemove --sync $((E2E_X + 10)) $((E2E_Y + 10))
  sleep 0.3
  xdotool mousemove --sync $((E2E_X + w + 40)) $((E2E_Y + h + 40))
  sleep 1
  shown "$msg" || e2e_fail "the notice ($name) closed on a pointer movement"
  e2e_click "$msg" $((bx + bw / 2)) $((by + bh / 2))
  local deadline=$((SECONDS + 10))
  while shown "$msg"; do
    ((SECONDS < deadline)) || { e2e_screenshot "$name-stuck"; e2e_fail "the notice ($name) stayed after 了解"; }
    sleep 0.2
  done
}
close_program() { e2e_close_settings "$WID"; }

# ---- no destination chosen: "ファイル、フォルダーの登録" ----
printf '*\n*\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
e2e_launch "$APP/backup.exe"
WID=$(settings_window) || e2e_fail "the settings window did not appear"
sleep 1
press $(e2e_at REGISTER_BUTTON)  # "ファイル、フォルダーの登録"
# "バックアップ先の選択がありません。": one line of 34 bytes.
check_notice notice-no-destination 1 34
WID=$(settings_window) || e2e_fail "the settings window did not come back after the notice"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "backup.exe ended with the notice"
close_program

# ---- a backup with a problem: the end-of-backup notice ----
printf 'T:\\A\nT:\\A\n*\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
printf '2S:\\data\ta.txt\t10000000000006\n2%s:\\gone\tx.txt\t10000000000005\n' "${GONE^^}" >"$APP/BkList/TA1.ini"
e2e_launch "$APP/backup.exe"
WID=$(settings_window) || e2e_fail "the settings window did not appear (second start)"
sleep 1
press $(e2e_at BACKUP_BUTTON 30 8)  # "バックアップの実行"
# "バックアップでエラーが発生しました\n実行ファイルと同じ場所にある「エラー報告.txt」の
# ファイルを確認してください。": 34 bytes, then the second line breaks after 71 bytes (its
# line feed counts 1), leaving "さい。": three lines, the longest 71 bytes.
check_notice notice-backup-errors 3 71
WID=$(settings_window) || e2e_fail "the settings window did not come back after the run"
cmp -s "$E2E_TMP/drive-s/data/a.txt" "$E2E_TMP/drive-t/A/data/a.txt" || e2e_fail "the run did not copy a.txt"
grep -aq "${GONE^^}:\\\\gone" "$APP/　エラー報告.txt" || e2e_fail "the report does not name the missing drive's folder"
close_program
echo "notices_e2e: ok"
