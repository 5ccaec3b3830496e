#!/usr/bin/env bash
# Vespard.exe with an earlier report that cannot be kept in BkList\err.txt (another process
# holds err.txt open without sharing): the report is its only copy, so the new run's lines
# go after it instead of overwriting it, and the stale err.txt is left alone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_report_e2e "${1:-build/windows}"
e2e_start_display

APP=$(e2e_app_copy)
e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
mkdir -p "$E2E_TMP/drive-s/data"
printf 'first file\n' >"$E2E_TMP/drive-s/data/a.txt"
touch -d '2024-01-02 03:04:05' "$E2E_TMP/drive-s/data/a.txt"
# T:\A is backed up; V: is no drive, so the run has one problem to report.
printf 'T:\\A\nT:\\A\nV:\\X\n*\nT:\\A\nV:\\X\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
printf '2S:\\data\ta.txt\t30000000000011\n' >"$APP/BkList/TA3.ini"
report="$APP/　エラー報告.txt"
printf '\x94\xad\x90\xb6\x93\xfa\x95t[2026/12/01]\n(SYS)an earlier problem\n' >"$report"
cp "$report" "$E2E_TMP/earlier"
printf 'stale\n' >"$APP/BkList/err.txt"
e2e_hold "$APP" 'BkList\err.txt'

f=7
e2e_launch "$APP/Vespard.exe"
VESPARD_PID=$E2E_PID
# The earlier-report question: "いいえ" goes on with the backup.
DLG=$(e2e_wait_window --class '^[Vv]espard\.exe$' 120) || e2e_fail "the earlier-report question did not appear"
sleep 0.5
e2e_geometry "$DLG"
W=$E2E_W H=$E2E_H
e2e_click "$DLG" $((W / 2 + f + 4 * f)) $(($(awk -v h="$H" -v f="$f" 'BEGIN{printf "%d", h - 4.6*f}') + 3 * f / 2))

deadline=$((SECONDS + 120))
while :; do
  big=""
  for id in $(xdotool search --onlyvisible --class '^[Vv]espard\.exe$' 2>/dev/null); do
    e2e_geometry "$id" 2>/dev/null || continue
    ((E2E_W >= 1280)) && big=$id
  done
  [[ -n "$big" ]] && break
  kill -0 "$VESPARD_PID" 2>/dev/null || e2e_fail "Vespard.exe ended before the countdown"
  ((SECONDS < deadline)) || e2e_fail "no countdown screen"
  sleep 0.2
done
xdotool mousemove --sync 640 300
sleep 0.2
xdotool click 1
e2e_wait_exit "$VESPARD_PID" 20 || e2e_fail "Vespard.exe still running after the click"
e2e_release

cmp -s "$E2E_TMP/drive-t/A/data/a.txt" "$E2E_TMP/drive-s/data/a.txt" || e2e_fail "T:\\A was not backed up"
[[ "$(cat "$APP/BkList/err.txt")" == stale ]] || e2e_fail "the held err.txt changed"
size=$(stat -c %s "$E2E_TMP/earlier")
cmp -s -n "$size" "$report" "$E2E_TMP/earlier" || e2e_fail "the earlier report is not at the head of the report: $(cat -v "$report")"
rest=$(tail -c +$((size + 1)) "$report" | od -An -tx1 | tr -d ' \n')
[[ "$rest" == 94ad90b693fa9574* ]] || e2e_fail "the new run's date header does not follow the earlier report: $(cat -v "$report")"
tail -c +$((size + 1)) "$report" | LC_ALL=C grep -aq '^(PGM).* V:\\ ' || e2e_fail "the new run's (PGM) line for V:\\ is missing: $(cat -v "$report")"
echo "vespard_report_e2e: ok"
