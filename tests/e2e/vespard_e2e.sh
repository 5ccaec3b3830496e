#!/usr/bin/env bash
# Vespard.exe backs up its two power-off destinations, keeps and restores an earlier
# report, shows the countdown, and a left click cancels the shutdown (no shutdown call is
# ever reached in this test: the click always comes first).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_e2e "${1:-build/windows}"
e2e_start_display

e2e_power_off_app
e2e_map_drive u BACKUP2
head -c 3000000 /dev/urandom >"$E2E_TMP/drive-s/data/big.bin"
touch -d '2024-01-02 03:04:05' "$E2E_TMP/drive-s/data/big.bin"
printf 'T:\\A\nT:\\A\nU:\\B\n*\nT:\\A\nU:\\B\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
for list in TA3 UB3; do
  printf '2S:\\data\ta.txt\t30000000000011\n2S:\\data\tbig.bin\t30000003000000\n' >"$APP/BkList/$list.ini"
done
# A report left by an earlier run: asked about, kept, and restored after a clean run.
report="$APP/　エラー報告.txt"
e2e_earlier_report "$report"
earlier=$(od -An -tx1 "$report")

f=7
e2e_launch "$APP/Vespard.exe"
# The earlier-report question: "いいえ" goes on with the backup.
DLG=$(e2e_wait_window --class '^[Vv]espard\.exe$' 120) || e2e_fail "the earlier-report question did not appear"
sleep 0.5
e2e_answer_no "$DLG" "$f"

# The countdown screen: a window as large as twice the screen.
e2e_countdown_window "$E2E_PID" 120 >/dev/null || e2e_fail "no countdown screen"
sleep 1.5
e2e_screenshot vespard-countdown
e2e_cancel_countdown "$E2E_PID"

for dest in "$E2E_TMP/drive-t/A" "$E2E_TMP/drive-u/B"; do
  cmp -s "$dest/data/a.txt" "$E2E_TMP/drive-s/data/a.txt" || e2e_fail "$dest/data/a.txt is not the source's"
  cmp -s "$dest/data/big.bin" "$E2E_TMP/drive-s/data/big.bin" || e2e_fail "$dest/data/big.bin is not the source's"
  [[ $(stat -c %Y "$dest/data/a.txt") == $(stat -c %Y "$E2E_TMP/drive-s/data/a.txt") ]] || e2e_fail "$dest: time stamp not kept"
done
[[ "$(od -An -tx1 "$report")" == "$earlier" ]] || e2e_fail "the earlier report was not restored exactly"
[[ "$(od -An -tx1 "$APP/BkList/err.txt")" == "$earlier" ]] || e2e_fail "BkList/err.txt does not hold the earlier report"
grep -q $'^2S:\\\\data\tbig.bin\t30000003000000$' "$APP/BkList/UB3.ini" || e2e_fail "UB3.ini lost its line"
echo "vespard_e2e: ok"
