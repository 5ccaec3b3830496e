#!/usr/bin/env bash
# Vespard.exe with an earlier report that cannot be kept in BkList\err.txt (another process
# holds err.txt open without sharing): the report is its only copy, so the new run's lines
# go after it instead of overwriting it, and the stale err.txt is left alone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_report_e2e "${1:-build/windows}"
e2e_start_display

e2e_power_off_app
# T:\A is backed up; V: is no drive, so the run has one problem to report.
printf 'T:\\A\nT:\\A\nV:\\X\n*\nT:\\A\nV:\\X\n*\n*\n1\n' >"$APP/BkList/ToDrive.txt"
report="$APP/　エラー報告.txt"
e2e_earlier_report "$report"
cp "$report" "$E2E_TMP/earlier"
printf 'stale\n' >"$APP/BkList/err.txt"
e2e_hold "$APP" 'BkList\err.txt'

f=7
e2e_launch "$APP/Vespard.exe"
VESPARD_PID=$E2E_PID
# The earlier-report question: "いいえ" goes on with the backup.
DLG=$(e2e_wait_window --class '^[Vv]espard\.exe$' 120) || e2e_fail "the earlier-report question did not appear"
sleep 0.5
e2e_answer_no "$DLG" "$f"

e2e_countdown_window "$VESPARD_PID" 120 >/dev/null || e2e_fail "no countdown screen (or Vespard.exe ended before it)"
e2e_cancel_countdown "$VESPARD_PID"
e2e_release

cmp -s "$E2E_TMP/drive-t/A/data/a.txt" "$E2E_TMP/drive-s/data/a.txt" || e2e_fail "T:\\A was not backed up"
[[ "$(cat "$APP/BkList/err.txt")" == stale ]] || e2e_fail "the held err.txt changed"
size=$(stat -c %s "$E2E_TMP/earlier")
cmp -s -n "$size" "$report" "$E2E_TMP/earlier" || e2e_fail "the earlier report is not at the head of the report: $(cat -v "$report")"
rest=$(tail -c +$((size + 1)) "$report" | od -An -tx1 | tr -d ' \n')
[[ "$rest" == 94ad90b693fa9574* ]] || e2e_fail "the new run's date header does not follow the earlier report: $(cat -v "$report")"
tail -c +$((size + 1)) "$report" | LC_ALL=C grep -aq '^(PGM).* V:\\ ' || e2e_fail "the new run's (PGM) line for V:\\ is missing: $(cat -v "$report")"
echo "vespard_report_e2e: ok"
