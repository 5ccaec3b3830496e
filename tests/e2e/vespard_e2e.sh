#!/usr/bin/env bash
# Vespard.exe backs up its two power-off destinations, keeps and restores an earlier
# report, shows the countdown, and a left click cancels the shutdown (no shutdown call is
# ever reached in this test: the click always comes first).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_e2e "${1:-build/windows}"
e2e_start_display

APP=$(e2e_app_copy)
e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
e2e_map_drive u BACKUP2

mkdir -p "$E2E_TMP/drive-s/data"
printf 'first file\n' >"$E2E_TMP/drive-s/data/a.txt"
head -c 3000000 /dev/urandom >"$E2E_TMP/drive-s/data/big.bin"
touch -d '2024-01-02 03:04:05' "$E2E_TMP/drive-s/data/a.txt" "$E2E_TMP/drive-s/data/big.bin"
printf 'T:\\A\nT:\\A\nU:\\B\n*\nT:\\A\nU:\\B\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
for list in TA3 UB3; do
  printf '2S:\\data\ta.txt\t30000000000011\n2S:\\data\tbig.bin\t30000003000000\n' >"$APP/BkList/$list.ini"
done
# A report left by an earlier run: asked about, kept, and restored after a clean run.
report="$APP/　エラー報告.txt"
printf '\x94\xad\x90\xb6\x93\xfa\x95t[2026/12/01]\n(SYS)an earlier problem\n' >"$report"
earlier=$(od -An -tx1 "$report")

f=7
e2e_launch "$APP/Vespard.exe"
# The earlier-report question: "いいえ" goes on with the backup.
DLG=$(e2e_wait_window --class '^vespard\.exe$' 120) || DLG=$(e2e_wait_window --class '^Vespard\.exe$' 30) ||
  e2e_fail "the earlier-report question did not appear"
sleep 0.5
e2e_geometry "$DLG"
W=$E2E_W H=$E2E_H
e2e_click "$DLG" $((W / 2 + f + 4 * f)) $(($(awk -v h="$H" -v f="$f" 'BEGIN{printf "%d", h - 4.6*f}') + 3 * f / 2))

# The countdown screen: a window as large as twice the screen.
deadline=$((SECONDS + 120))
while :; do
  big=""
  for id in $(xdotool search --onlyvisible --class '^[Vv]espard\.exe$' 2>/dev/null); do
    e2e_geometry "$id" 2>/dev/null || continue
    ((E2E_W >= 1280)) && big=$id
  done
  [[ -n "$big" ]] && break
  ((SECONDS < deadline)) || e2e_fail "no countdown screen"
  sleep 0.2
done
sleep 1.5
e2e_screenshot vespard-countdown
xdotool mousemove --sync 640 300
sleep 0.2
xdotool click 1
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "Vespard.exe still running after the click"

for dest in "$E2E_TMP/drive-t/A" "$E2E_TMP/drive-u/B"; do
  cmp -s "$dest/data/a.txt" "$E2E_TMP/drive-s/data/a.txt" || e2e_fail "$dest/data/a.txt is not the source's"
  cmp -s "$dest/data/big.bin" "$E2E_TMP/drive-s/data/big.bin" || e2e_fail "$dest/data/big.bin is not the source's"
  [[ $(stat -c %Y "$dest/data/a.txt") == $(stat -c %Y "$E2E_TMP/drive-s/data/a.txt") ]] || e2e_fail "$dest: time stamp not kept"
done
[[ "$(od -An -tx1 "$report")" == "$earlier" ]] || e2e_fail "the earlier report was not restored exactly"
[[ "$(od -An -tx1 "$APP/BkList/err.txt")" == "$earlier" ]] || e2e_fail "BkList/err.txt does not hold the earlier report"
grep -q $'^2S:\\\\data\tbig.bin\t30000003000000$' "$APP/BkList/UB3.ini" || e2e_fail "UB3.ini lost its line"
echo "vespard_e2e: ok"
