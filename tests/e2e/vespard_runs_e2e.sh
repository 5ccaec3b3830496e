#!/usr/bin/env bash
# Two runs of Vespard.exe over one " ファイル " list:
# - the progress line keeps the name of the last file of 2 MiB or more while smaller files
#   are copied (pixels of the name line: its text ends where that name ends);
# - the backup window opens low in the centre, is moved during the first run, the moved
#   place is stored in SizePos.txt (lines 6 and 7, as the client origin less twice the
#   frame and the caption), and the second run opens the window at the stored place and,
#   the window not moved, leaves the stored place as it was;
# - MailOption: with "いいえ" (1) a changed a.eml is not copied again while B.EML and
#   c.eml.txt are; with "はい" (0) a.eml is copied as well.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_runs_e2e "${1:-build/windows}"
e2e_start_display
command -v convert >/dev/null || e2e_fail "convert (imagemagick) is missing"

PROBE="$E2E_BUILD_DIR/tests/e2e_probe.exe"
[[ -f "$PROBE" ]] || e2e_fail "$PROBE not found (build the windows preset)"
APP=$(e2e_app_copy)
LIST="$APP/BkList"
e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
S="$E2E_TMP/drive-s" T="$E2E_TMP/drive-t/A"
read -r SW SH < <(xdotool getdisplaygeometry)  # no window manager: the work area is the screen
f=7

# The sources: one file of 3 MiB with a short name, then many files under 2 MiB with long
# names (copied after it: the list is in byte order), then three mails. The mails' copies
# exist with an older time stamp and older contents.
SMALL=600  # enough that a run lasts longer than a screenshot takes on a fast disk
mkdir -p "$S/d" "$S/m" "$T/m"
head -c $((3 * 1048576)) /dev/urandom >"$S/d/A.bin"
head -c $((1048576 + 524288)) /dev/urandom >"$E2E_TMP/small"
for ((i = 0; i < SMALL; i++)); do cp "$E2E_TMP/small" "$(printf '%s/d/small_file_number_%03d.txt' "$S" "$i")"; done
for m in a.eml B.EML c.eml.txt; do
  printf 'new mail\n' >"$S/m/$m"
  printf 'old\n' >"$T/m/$m"
  touch -d '2024-01-01 00:00:00' "$T/m/$m"
done
touch -d '2024-05-05 05:05:05' "$S"/d/* "$S"/m/*
{
  printf '2S:\\d\tA.bin\t1%013d\n' $((3 * 1048576))
  for ((i = 0; i < SMALL; i++)); do printf '2S:\\d\tsmall_file_number_%03d.txt\t1%013d\n' "$i" $((1048576 + 524288)); done
  for m in B.EML a.eml c.eml.txt; do printf '2S:\\m\t%s\t1%013d\n' "$m" 4; done
} >"$LIST/TA1.ini"
todrive() { printf 'T:\\A\nT:\\A\n*\nT:\\A\n*\n*\n%s\n' "$1" >"$LIST/ToDrive.txt"; }

# metrics: the frame sizes the program reads, and where the client lies inside the backup
# window, read by the probe in the session of the first run.
mkdir -p "$E2E_TMP/probe"
cp "$PROBE" "$E2E_TMP/probe/"
metrics() {
  (cd "$E2E_TMP/probe" && timeout 120 wine e2e_probe.exe metrics metrics.txt) >>"$E2E_TMP/wine.log" 2>&1 ||
    e2e_fail "the probe could not read the metrics"
  read -r FW FH CAP DX DY <"$E2E_TMP/probe/metrics.txt"
  e2e_log "frame $FW x $FH, caption $CAP, client at +$DX+$DY"
}

run_window() { e2e_wait_window --name '^バックアップ先 T:\\A ' 120; }
copied_small() { find "$T/d" -maxdepth 1 -name 'small_file_number_*.txt' 2>/dev/null | wc -l; }
# name_line_end NAME: the x just right of the name line's last dark pixel (its text).
name_line_end() {
  local box
  e2e_screenshot "$1" "$RUN"
  box=$(convert "$E2E_SCREENSHOTS/$1-window.png" -crop "$((100 * f))x$((2 * f))+0+$((4 * f))" +repage \
    -fx 'r < 0.35 && g < 0.35 && b < 0.35' -format '%@' info:)
  [[ "$box" =~ ^([0-9]+)x[0-9]+\+([0-9]+)\+ ]] || e2e_fail "$1: the name line shows nothing ($box)"
  echo $((BASH_REMATCH[1] + BASH_REMATCH[2]))
}
# finish: the countdown follows the run; a click cancels it.
finish() {
  e2e_countdown_window "$E2E_PID" 300 >/dev/null || e2e_fail "no countdown after the run"
  e2e_cancel_countdown "$E2E_PID"
}
sizepos() { sed -n "${1}p" "$LIST/SizePos.txt"; }
same() { cmp -s "$1" "$2" && [[ $(stat -c %Y "$1") == $(stat -c %Y "$2") ]]; }
old_copy() { [[ "$(cat "$1")" == old && $(stat -c %Y "$1") == $(date -d '2024-01-01 00:00:00' +%s) ]]; }

# ---- first run: "いいえ"; the name line; the window moved --------------------------------
todrive 1
e2e_launch "$APP/Vespard.exe"
RUN=$(run_window) || e2e_fail "no backup window"
e2e_geometry "$RUN"
X0=$E2E_X Y0=$E2E_Y
metrics
W=$((105 * f + 2 * FW)) H=$(e2e_calc "10 * $f + 2 * $FH + $CAP")
e2e_log "backup window at $X0,$Y0"
[[ "$X0,$Y0" == "$((SW / 2 - W / 2 + DX)),$((SH - SH / 10 - H + DY))" ]] ||
  e2e_fail "the backup window is not low in the centre: client at $X0,$Y0"
deadline=$((SECONDS + 120))
until (($(copied_small) >= 10)); do
  ((SECONDS < deadline)) || e2e_fail "the small files are not being copied"
  sleep 0.05
done
end1=$(name_line_end vespard-name-line-1)
n1=$(copied_small)
xdotool windowmove "$RUN" 120 160
sleep 0.5
e2e_geometry "$RUN"
[[ "$E2E_X,$E2E_Y" == "120,160" ]] || e2e_fail "the backup window did not move: client at $E2E_X,$E2E_Y"
end2=$(name_line_end vespard-name-line-2)
n2=$(copied_small)
e2e_log "name line ends at x = $end1 (after $n1 small files) and $end2 (after $n2)"
# "S:\d\A.bin" is 10 characters from 2f: its last glyph ends within (11f, 12f]; a small
# file's name would reach past 30f.
((end1 > 11 * f && end1 <= 12 * f && end2 == end1)) ||
  e2e_fail "the name line does not show S:\\d\\A.bin (its text ends at x = $end1 and $end2)"
finish
[[ "$(sizepos 6),$(sizepos 7)" == "$(printf '%05d,%05d' $((120 - 2 * FW)) $((160 - 2 * FH - CAP)))" ]] ||
  e2e_fail "the moved place is not stored: lines 6 and 7 hold $(sizepos 6),$(sizepos 7)"
STORED_X=$((10#$(sizepos 6))) STORED_Y=$((10#$(sizepos 7)))
same "$S/d/A.bin" "$T/d/A.bin" && same "$S/d/small_file_number_000.txt" "$T/d/small_file_number_000.txt" ||
  e2e_fail "the first run did not copy the files"
old_copy "$T/m/a.eml" || e2e_fail "いいえ: a.eml was copied again"
same "$S/m/B.EML" "$T/m/B.EML" || e2e_fail "いいえ: B.EML was not copied again"
same "$S/m/c.eml.txt" "$T/m/c.eml.txt" || e2e_fail "いいえ: c.eml.txt was not copied again"

# ---- second run: "はい"; the window at the stored place -----------------------------------
todrive 0
rm -f "$T"/d/small_file_number_*.txt  # copied again: the run lasts
e2e_launch "$APP/Vespard.exe"
RUN=$(run_window) || e2e_fail "no backup window in the second run"
e2e_geometry "$RUN"
e2e_log "second run: backup window at $E2E_X,$E2E_Y"
[[ "$E2E_X,$E2E_Y" == "$((STORED_X + DX)),$((STORED_Y + DY))" ]] ||
  e2e_fail "the second run's window is not at the stored place ($STORED_X,$STORED_Y): client at $E2E_X,$E2E_Y"
finish
# Not moved in this run: the stored place stays as it was.
[[ "$(sizepos 6),$(sizepos 7)" == "$(printf '%05d,%05d' "$STORED_X" "$STORED_Y")" ]] ||
  e2e_fail "a run without a move changed the stored place: lines 6 and 7 hold $(sizepos 6),$(sizepos 7), not $STORED_X,$STORED_Y"
same "$S/m/a.eml" "$T/m/a.eml" || e2e_fail "はい: a.eml was not copied"
[[ "$(tail -n1 "$LIST/ToDrive.txt")" == 0 ]] || e2e_fail "ToDrive.txt changed"
[[ ! -e "$APP/　エラー報告.txt" ]] || e2e_fail "a run left a report: $(iconv -f CP932 -t UTF-8 <"$APP/　エラー報告.txt")"
echo "vespard_runs_e2e: ok"
