#!/usr/bin/env bash
# A real backup through the settings window's buttons: "バックアップの実行" backs up the
# current destination and its link target; after sources change, "登録全てのバックアップ"
# brings both up to date (updated, new and deleted files, time stamps, list files); then
# Ctrl + Shift held during a big copy stops it, keeps the old copy and reports one line.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init backup_e2e "${1:-build/windows}"
e2e_start_display

APP=$(e2e_app_copy)
e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
e2e_map_drive u BACKUP2
SRC="$E2E_TMP/drive-s/data"
mkdir -p "$SRC"
printf 'alpha\n' >"$SRC/a.txt"
printf 'old\n' >"$SRC/old.txt"
head -c 4000000 /dev/urandom >"$SRC/big.bin"
touch -d '2024-01-02 03:04:05' "$SRC"/*
# Registered as registration leaves it: T:\A current, linked to U:\B (same lists).
printf 'T:\\A\nT:\\A\nU:\\B\n*\n*\nT:\\A > U:\\B\n*\n1\n' >"$APP/BkList/ToDrive.txt"
for list in TA3 UB3; do
  printf '2S:\\data\ta.txt\t30000000000006\n2S:\\data\tbig.bin\t30000004000000\n2S:\\data\told.txt\t30000000000004\n' \
    >"$APP/BkList/$list.ini"
done

f=7
settings_window() { e2e_wait_window --name '^Kestova$' 180 || e2e_fail "the settings window did not come back"; }
e2e_layout "$f"
press() { e2e_press "$WID" "$1" "$2"; }  # a button of the settings window
same() { cmp -s "$1" "$2" && [[ $(stat -c %Y "$1") == $(stat -c %Y "$2") ]]; }

e2e_launch "$APP/backup.exe"
WID=$(settings_window)
sleep 1
press $(e2e_at BACKUP_BUTTON 30 8)  # "バックアップの実行"
WID=$(e2e_next_settings_window "$WID")
for dest in "$E2E_TMP/drive-t/A" "$E2E_TMP/drive-u/B"; do
  for name in a.txt old.txt big.bin; do same "$SRC/$name" "$dest/data/$name" || e2e_fail "first run: $dest/data/$name"; done
done
[[ ! -e "$APP/　エラー報告.txt" ]] || e2e_fail "a clean run left a report"

# Sources change: one updated, one new, one deleted.
printf 'alpha, changed\n' >"$SRC/a.txt"
touch -d '2024-02-03 04:05:06' "$SRC/a.txt"
printf 'brand new\n' >"$SRC/new.txt"
rm "$SRC/old.txt"
sleep 1
press $(e2e_at BACKUP_ALL_BUTTON 40 8)  # "登録全てのバックアップ"
WID=$(e2e_next_settings_window "$WID")
for dest in "$E2E_TMP/drive-t/A" "$E2E_TMP/drive-u/B"; do
  same "$SRC/a.txt" "$dest/data/a.txt" || e2e_fail "second run: $dest/data/a.txt not updated"
  same "$SRC/new.txt" "$dest/data/new.txt" || e2e_fail "second run: $dest/data/new.txt not copied"
  [[ ! -e "$dest/data/old.txt" ]] || e2e_fail "second run: $dest/data/old.txt not deleted"
done
expected=$'2S:\\data\ta.txt\t30000000000015\n2S:\\data\tbig.bin\t30000004000000\n2S:\\data\tnew.txt\t30000000000010\n'
[[ "$(cat "$APP/BkList/TA3.ini")" == "${expected%$'\n'}" ]] || e2e_fail "TA3.ini: $(cat -A "$APP/BkList/TA3.ini")"

# Ctrl + Shift during a big copy: the copy stops, the old copy stays, one (SYS) line.
head -c 1500000000 /dev/zero | tr '\0' 'x' >"$SRC/big.bin"
touch -d '2024-03-04 05:06:07' "$SRC/big.bin"
before=$(stat -c %s "$E2E_TMP/drive-t/A/data/big.bin")
press $(e2e_at BACKUP_BUTTON 30 8)  # "バックアップの実行"
RUN=$(e2e_wait_window --name '^バックアップ先' 120) || e2e_fail "no backup window"
e2e_geometry "$RUN"
xdotool mousemove --sync $((E2E_X + 40)) $((E2E_Y + 20))
deadline=$((SECONDS + 20))
while :; do  # wait until the bar moves
  ((SECONDS < deadline)) || e2e_fail "the copy never started"
  ls -A "$E2E_TMP/drive-t/A/data/" | grep -q '\.~bk$' && break
  sleep 0.1
done
sleep 0.3
e2e_screenshot backup-bar-halfway "$RUN"
xdotool keydown ctrl shift
# The run ends after that type; its completion message comes with the OK button.
MSG=$(e2e_lasting_message_window '^backup\.exe$' 60) || { xdotool keyup ctrl shift; e2e_fail "no completion message"; }
xdotool keyup ctrl shift
e2e_screenshot backup-completion-message "$MSG"
e2e_pointer
xdotool click 1
WID=$(e2e_next_settings_window "$WID")
[[ $(stat -c %s "$E2E_TMP/drive-t/A/data/big.bin") == "$before" ]] || e2e_fail "the old copy was not kept"
ls -A "$E2E_TMP/drive-t/A/data/" | grep -q '\.~bk$' && e2e_fail "a temporary copy was left"
lines=$(tail -n +2 "$APP/　エラー報告.txt" | wc -l)
[[ $lines -eq 1 ]] || e2e_fail "the report holds $lines problem lines: $(cat "$APP/　エラー報告.txt" | iconv -f CP932 -t UTF-8)"
grep -aq 'S:\\ > T:\\A\\data\\big.bin' "$APP/　エラー報告.txt" || e2e_fail "the report does not name the cancelled copy"

e2e_close_settings "$WID"
echo "backup_e2e: ok"
