#!/usr/bin/env bash
# Paths far beyond 259 bytes through the real windows: a tree whose files lie 200 and 300
# Japanese characters deep (about 400 and 600 bytes of Shift-JIS; 表 adds trail bytes 0x5C)
# is dropped onto " ミラー(全て) ", backed up twice with "バックアップの実行", and the copies
# equal the sources name for name, byte for byte and time for time, with no report.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init long_paths_e2e "${1:-build/windows}"
e2e_start_display

e2e_build_drop
e2e_registration_app
S=$E2E_S
REPORT="$APP/　エラー報告.txt"
f=7

# chars N: N Japanese characters (three bytes each in UTF-8; Linux allows 255 bytes a name).
chars() {
  local s="" i
  for ((i = 0; i < $1; i++)); do if ((i % 2)); then s+="示"; else s+="表"; fi; done
  printf '%s' "$s"
}
TOP=$(chars 20)
A=$(chars 60)
B=$(chars 60)
C=$(chars 70)
# S:\ + TOP\A\B\ is 146 characters: a name of 54 makes 200; C\ and a name of 83 make 300.
F200="$(chars 50).txt"
F300="$(chars 79).txt"
DEEP="$S/$TOP/$A/$B"
mkdir -p "$DEEP/$C"
printf 'two hundred\n' >"$DEEP/$F200"
printf 'three hundred\n' >"$DEEP/$C/$F300"
touch -d '2024-05-06 07:08:09.5' "$DEEP/$F200" "$DEEP/$C/$F300"
for p in "$DEEP/$F200" "$DEEP/$C/$F300"; do
  win="S:${p#"$S"}"
  e2e_log "source path of ${#win} characters: $(printf '%s' "$win" | iconv -f UTF-8 -t CP932 | wc -c) bytes of Shift-JIS"
done

press() { e2e_press "$WID" "$1" "$2"; }
e2e_layout "$f"
settings_window() { e2e_settings_window "${1:-60}"; }
same() { cmp -s "$1" "$2" && [[ $(stat -c %y "$1") == $(stat -c %y "$2") ]]; }

e2e_launch "$APP/backup.exe"
WID=$(settings_window 180) || e2e_fail "the settings window did not appear"
sleep 1
e2e_open_registration
e2e_drop_on_type "$f" 3 "$S/$TOP"  # " ミラー(全て) "
LIST="$APP/BkList/TBK3.ini"
deadline=$((SECONDS + 60))
while [[ ! -f "$LIST" || $(wc -l <"$LIST") -ne 4 ]]; do
  ((SECONDS < deadline)) || e2e_fail "TBK3.ini: $(iconv -f CP932 -t UTF-8 <"$LIST" 2>/dev/null | cat -A | head)"
  sleep 0.2
done
sleep 1.5  # the list is saved before it is shown
# Two file lines and the empty-folder markers of TOP and A.
for name in "$F200" "$F300"; do
  grep -aqF "$(printf '%s' "$name" | iconv -f UTF-8 -t CP932)" "$LIST" || e2e_fail "$name is not registered"
done
[[ ! -e "$REPORT" ]] || e2e_fail "registration left a report: $(iconv -f CP932 -t UTF-8 <"$REPORT")"
e2e_screenshot long-paths-list "$REG"
xdotool key --window "$REG" alt+F4 2>/dev/null
WID=$(settings_window 60) || e2e_fail "the settings window did not come back"
sleep 1

DEST="$E2E_TMP/drive-t/BK"
for run in 1 2; do
  press $(e2e_at BACKUP_BUTTON 30 8)  # "バックアップの実行"
  WID=$(e2e_next_settings_window "$WID")
  same "$DEEP/$F200" "$DEST/$TOP/$A/$B/$F200" || e2e_fail "run $run: the 200-character file"
  same "$DEEP/$C/$F300" "$DEST/$TOP/$A/$B/$C/$F300" || e2e_fail "run $run: the 300-character file"
  [[ ! -e "$REPORT" ]] || e2e_fail "run $run left a report: $(iconv -f CP932 -t UTF-8 <"$REPORT")"
  [[ $(cd "$S" && find "$TOP" | LC_ALL=C sort) == $(cd "$DEST" && find "$TOP" | LC_ALL=C sort) ]] ||
    e2e_fail "run $run: the backup does not hold the source's names"
  if ((run == 1)); then inode=$(stat -c %i "$DEST/$TOP/$A/$B/$F200"); fi
done
# The second run found both copies up to date.
[[ $(stat -c %i "$DEST/$TOP/$A/$B/$F200") == "$inode" ]] || e2e_fail "the second run copied an unchanged file"
e2e_close_settings "$WID"
echo "long_paths_e2e: ok"
