#!/usr/bin/env bash
# BkList\ToDrive.txt held open without sharing by another process while the programs start:
# backup.exe shows the system's message naming the file and ends without writing it;
# Vespard.exe writes a (SYS) line naming it, backs up nothing and never reaches the
# countdown (the shutdown follows only the countdown). The file is compared byte for byte
# afterwards, with the lock let go before the programs end, so a late save would show.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init locked_todrive_e2e "${1:-build/windows}"
e2e_start_display
e2e_power_off_app
TODRIVE="$APP/BkList/ToDrive.txt"
printf 'T:\\A\nT:\\A\n*\nT:\\A\n*\n*\n0\n' >"$TODRIVE"
stored=$(od -An -tx1 "$TODRIVE")
report="$APP/　エラー報告.txt"

hold() { e2e_hold "$APP" 'BkList\ToDrive.txt'; }
release() { e2e_release; }
unchanged() {
  [[ "$(od -An -tx1 "$TODRIVE")" == "$stored" ]] || e2e_fail "$1: ToDrive.txt changed"
  local left
  left=$(find "$APP/BkList" -maxdepth 1 -name 'ToDrive*' ! -name ToDrive.txt)
  [[ -z "$left" ]] || e2e_fail "$1: a temporary file is left: $left"
}

# ---- backup.exe: the message, then the end, nothing written -------------------------
hold
e2e_launch "$APP/backup.exe"
BACKUP_PID=$E2E_PID
MSG=$(e2e_wait_window --class '^backup\.exe$' 120) || { e2e_screenshot locked-todrive-missing; e2e_fail "no window appeared"; }
sleep 0.5
name=$(xdotool getwindowname "$MSG" 2>/dev/null || true)
if [[ "$name" == Kestova ]]; then
  e2e_screenshot locked-todrive-settings
  e2e_fail "the settings window opened over an unreadable ToDrive.txt"
fi
e2e_screenshot locked-todrive-message "$MSG"
# The message stays until answered: the program is still there, nothing else opened.
sleep 2
kill -0 "$BACKUP_PID" 2>/dev/null || e2e_fail "backup.exe ended before the message was answered"
for id in $(xdotool search --onlyvisible --class '^backup\.exe$' 2>/dev/null); do
  [[ "$(xdotool getwindowname "$id" 2>/dev/null || true)" != Kestova ]] || e2e_fail "the settings window opened"
done
release  # from here on a save would land: it must not come
e2e_pointer
xdotool click 1  # the message put the pointer on "了解"
e2e_wait_exit "$BACKUP_PID" 30 || { e2e_screenshot locked-todrive-stays; e2e_fail "backup.exe did not end after the message"; }
sleep 0.5
for id in $(xdotool search --onlyvisible --class '^backup\.exe$' 2>/dev/null); do
  e2e_fail "a backup.exe window is still open"
done
unchanged backup.exe

# ---- Vespard.exe: a (SYS) line naming the file, no backup, no countdown ---------------
rm -f "$report"
hold
e2e_launch "$APP/Vespard.exe"
VESPARD_PID=$E2E_PID
if e2e_countdown_window "$VESPARD_PID" 120 >/dev/null; then
  e2e_screenshot locked-todrive-countdown
  xdotool mousemove --sync 640 300 click 1  # cancel the shutdown before failing
  e2e_fail "Vespard.exe went on to the countdown with an unreadable ToDrive.txt"
fi
e2e_wait_exit "$VESPARD_PID" 1 || e2e_fail "Vespard.exe did not end"
release
[[ -f "$report" ]] || e2e_fail "Vespard.exe left no report"
LC_ALL=C grep -aq '^(SYS).*BkList\\ToDrive\.txt$' "$report" || e2e_fail "the report has no (SYS) line naming ToDrive.txt: $(cat -v "$report")"
[[ ! -e "$E2E_TMP/drive-t/A/data/a.txt" ]] || e2e_fail "Vespard.exe backed up with an unreadable ToDrive.txt"
[[ "$(cat "$APP/BkList/TA3.ini")" == $'2S:\\data\ta.txt\t30000000000011' ]] || e2e_fail "TA3.ini changed"
unchanged Vespard.exe
echo "locked_todrive_e2e: ok"
