#!/usr/bin/env bash
# Vespard.exe with an empty power-off list: it opens no registration list (strace of the
# program and of wineserver, which opens files for it; the lists' inode, size, mtime and
# ctime unchanged), shows the countdown, and
# when the countdown runs out it asks for the shutdown: the privilege is enabled and
# InitiateSystemShutdownExW is called with no message, time-out 0, forced, no restart,
# reason 0x00010000 (Wine's trace of the calls). Under Wine that request ends the Wine
# session of this test's prefix and nothing else: every process of the prefix, its
# wineserver included, ends; a process started outside Wine, the wineserver of another
# prefix, the display and the host live on.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init vespard_shutdown_e2e "${1:-build/windows}"
e2e_start_display
command -v convert >/dev/null || e2e_fail "convert (imagemagick) is missing"
command -v strace >/dev/null || e2e_fail "strace is missing (scripts/setup.sh installs it)"

e2e_power_off_app
LIST="$APP/BkList"
# T:\A is a destination with lists of three types, and the current one; the power-off
# list is empty.
printf 'T:\\A\nT:\\A\n*\n*\n*\n1\n' >"$LIST/ToDrive.txt"
printf '2S:\\data\ta.txt\t10000000000011\n' >"$LIST/TA1.ini"
printf '2S:\\data\t\b\b\b\t50000000000000\n' >"$LIST/TA5.ini"
touch -d '2024-03-04 05:06:07' "$LIST"/*.ini
lists_state() { (cd "$LIST" && stat -c '%n %i %s %Y %Z' -- *.ini); }
before=$(lists_state)
f=7

# Who must live on: a process outside Wine, the wineserver of another prefix (a Wine
# session of its own), the display, the host (its boot id).
sleep 900 &
SENTINEL=$!
e2e_own "$SENTINEL"
OTHER_PREFIX="$E2E_TMP/other-prefix"
mkdir -p "$OTHER_PREFIX"
(WINEPREFIX="$OTHER_PREFIX" exec wineserver -f -p) >/dev/null 2>&1 &
OTHER_SERVER=$!
e2e_own "$OTHER_SERVER"
BOOT_ID=$(cat /proc/sys/kernel/random/boot_id)

# The processes of this test's prefix: Wine's programs and wineserver, which run with its
# WINEPREFIX. Read with the shell's own builtins: PREFIX_PIDS and PREFIX_NAMES are set.
# A process whose files cannot be read fails the test rather than go unseen.
prefix_processes() {
  local p comm entry ours state tries
  local -a env
  PREFIX_PIDS=() PREFIX_NAMES=()
  for p in /proc/[0-9]*; do
    read -r comm 2>/dev/null <"$p/comm" || continue  # gone meanwhile
    [[ "$comm" == *.exe || "$comm" == wine* ]] || continue
    # A process that is ending has no environment left: it is waited for (2 s at most).
    tries=0
    until mapfile -d '' env 2>/dev/null <"$p/environ"; do
      read -r _ _ state _ 2>/dev/null <"$p/stat" || continue 2
      [[ "$state" == Z ]] && continue 2
      ((++tries < 20)) || e2e_fail "cannot read the environment of $comm (${p#/proc/}, state $state)"
      sleep 0.1
    done
    ours=0
    for entry in "${env[@]}"; do [[ "$entry" == "WINEPREFIX=$WINEPREFIX" ]] && ours=1; done
    ((ours)) || continue
    PREFIX_PIDS+=("${p#/proc/}")
    PREFIX_NAMES+=("$comm")
  done
}
# The wineserver of this prefix works in a folder named after the prefix's device and
# inode; SERVER is its process.
read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
SERVER_DIR=$(printf 'server-%x-%x' "$dev" "$ino")
find_server() {
  local i
  SERVER=""
  prefix_processes
  for i in "${!PREFIX_PIDS[@]}"; do
    [[ "${PREFIX_NAMES[$i]}" == wineserver* &&
       "$(readlink "/proc/${PREFIX_PIDS[$i]}/cwd")" == */"$SERVER_DIR" ]] && SERVER=${PREFIX_PIDS[$i]}
  done
  [[ -n "$SERVER" ]]
}
runs() { prefix_processes; [[ " ${PREFIX_NAMES[*]} " == *" $1 "* ]]; }

e2e_relay_calls

# The session is opened by the probe, which holds it until Vespard.exe runs: Wine sets up the desktop's size in its own time, and a program slowed down by
# strace would otherwise find it unmeasured. Its wineserver is traced from then on.
PROBE="$E2E_BUILD_DIR/tests/e2e_probe.exe"
[[ -f "$PROBE" ]] || e2e_fail "$PROBE not found (build the windows preset)"
mkdir -p "$E2E_TMP/probe"
cp "$PROBE" "$E2E_TMP/probe/"
e2e_launch "$E2E_TMP/probe/e2e_probe.exe" session session.end
HOLDER=$E2E_PID
deadline=$((SECONDS + 120))
until find_server && runs explorer.exe; do
  ((SECONDS < deadline)) || e2e_fail "the prefix's session did not start"
  kill -0 "$HOLDER" 2>/dev/null || e2e_fail "the probe holding the session ended"
  sleep 0.2
done
sleep 1
TRACE="$E2E_TMP/files.strace"
strace -f -qq -e trace=%file -o "$TRACE.server" -p "$SERVER" &
e2e_own $!
sleep 1
LOG="$E2E_TMP/vespard.log"
(cd "$APP" && exec strace -f -qq -e trace=%file -o "$TRACE.program" env WINEDEBUG=+relay wine "$APP/Vespard.exe") >"$LOG" 2>&1 &
TRACED=$!

COUNTDOWN=$(e2e_countdown_window "$TRACED" 180) || { e2e_screenshot vespard-shutdown-missing; e2e_fail "no countdown screen"; }
touch "$E2E_TMP/probe/session.end"
e2e_wait_exit "$HOLDER" 20 || e2e_fail "the probe did not let the session go"
sleep 1
e2e_screenshot vespard-shutdown-countdown
png="$E2E_SCREENSHOTS/vespard-shutdown-countdown.png"
pixel() { convert "$png" -format "%[fx:int(255*p{$1,$2}.r+.5)],%[fx:int(255*p{$1,$2}.g+.5)],%[fx:int(255*p{$1,$2}.b+.5)]" info:; }
share() { convert "$png" -crop "$1" +repage -fx "$2" -format '%[fx:mean]' info:; }
[[ "$(pixel 20 20)" == "0,0,255" ]] || e2e_fail "the countdown screen is not blue: $(pixel 20 20)"
# The count on red at (1280/2 - 21f, 1024/2), 4f x 4f; the notice in white 5f lower.
awk -v s="$(share "$((4 * f))x$((4 * f))+$((640 - 21 * f))+512" 'r > 0.8 && g < 0.3 && b < 0.3')" 'BEGIN { exit !(s > 0.3) }' ||
  e2e_fail "no count on red"
awk -v s="$(share "$((44 * f))x$((2 * f))+$((640 - 22 * f))+$((512 + 5 * f))" 'r > 0.8 && g > 0.8 && b > 0.8')" 'BEGIN { exit !(s > 0.05) }' ||
  e2e_fail "no white notice under the count"
TRACED_SERVER=$SERVER
find_server || e2e_fail "no wineserver of this prefix while the countdown runs"
[[ "$SERVER" == "$TRACED_SERVER" ]] || e2e_fail "the prefix's wineserver is not the one traced"
runs Vespard.exe || e2e_fail "Vespard.exe is not among the prefix's processes: ${PREFIX_NAMES[*]}"
SESSION=("${PREFIX_PIDS[@]}")
e2e_log "the prefix's session: ${PREFIX_NAMES[*]}"
! grep -aq ':Call advapi32\.InitiateSystemShutdownExW' "$LOG" || e2e_fail "the shutdown was asked for before the countdown ran out"

# No click: about ten seconds after the screen came, the count reaches 0. Then every
# process of the prefix ends (Wine's session of this prefix is over) and strace with it.
deadline=$((SECONDS + 60))
while prefix_processes; ((${#PREFIX_PIDS[@]} > 0)); do
  ((SECONDS < deadline)) || e2e_fail "processes of the prefix still run: ${PREFIX_NAMES[*]}"
  sleep 0.2
done
e2e_wait_exit "$TRACED" 20 || e2e_fail "the traced session did not end"
ended() {  # ended PID: the process is gone or a zombie waiting for its parent
  local state
  read -r _ _ state _ 2>/dev/null <"/proc/$1/stat" || return 0
  [[ "$state" == Z ]]
}
for p in "${SESSION[@]}"; do ended "$p" || e2e_fail "process $p of the prefix is still there: $(cat "/proc/$p/stat")"; done

# ---- the shutdown request, from Wine's trace of Vespard.exe's calls -------------------
tid=$(grep -aoE '^[0-9a-f]+:Call advapi32\.InitiateSystemShutdownExW\(' "$LOG" | cut -d: -f1) ||
  e2e_fail "the shutdown was never asked for: $(grep -a ':Call advapi32' "$LOG" | tail -5)"
[[ $(wc -l <<<"$tid") -eq 1 ]] || e2e_fail "the shutdown was asked for more than once"
calls=$(grep -aE "^$tid:Call advapi32\." "$LOG" | tail -n 4)
want=(
  '^[0-9a-f]+:Call advapi32\.OpenProcessToken\(ffffffffffffffff,00000028,[0-9a-f]+\)'
  '^[0-9a-f]+:Call advapi32\.LookupPrivilegeValueW\(00000000,[0-9a-f]+ L"SeShutdownPrivilege",[0-9a-f]+\)'
  '^[0-9a-f]+:Call advapi32\.AdjustTokenPrivileges\([0-9a-f]+,00000000,[0-9a-f]+,00000000,00000000,00000000\)'
  '^[0-9a-f]+:Call advapi32\.InitiateSystemShutdownExW\(00000000,00000000,00000000,00000001,00000000,00010000\)'
)
i=0
while IFS= read -r line; do
  [[ "$line" =~ ${want[$i]} ]] || e2e_fail "call $((i + 1)) of the shutdown is not as asked: $line"
  i=$((i + 1))
done <<<"$calls"
((i == 4)) || e2e_fail "the shutdown's calls: $calls"
grep -aqE "^$tid:Ret  advapi32\.AdjustTokenPrivileges\(\) retval=00000001" "$LOG" ||
  e2e_fail "the shutdown privilege was not enabled"

# ---- nothing else ended ---------------------------------------------------------------
kill -0 "$SENTINEL" 2>/dev/null || e2e_fail "the process outside Wine ended"
kill -0 "$OTHER_SERVER" 2>/dev/null || e2e_fail "the other prefix's wineserver ended"
kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "the display ended"
[[ "$(cat /proc/sys/kernel/random/boot_id)" == "$BOOT_ID" ]] || e2e_fail "the host restarted"

# ---- no registration list was opened, written, renamed or deleted ---------------------
# Both traces see the program's own files: wineserver opens them, the program looks them up.
for t in server program; do
  grep -aqF "$LIST/ToDrive.txt" "$TRACE.$t" && grep -aqF "$LIST/SizePos.txt" "$TRACE.$t" ||
    e2e_fail "the $t's trace does not show the program's own files: it saw nothing"
done
touched=$(cat "$TRACE.server" "$TRACE.program" | grep -aiE "\"$LIST/[^\"]*\.(ini|tmp)\"" | head -5) || true
[[ -z "$touched" ]] || e2e_fail "registration lists or work files were touched: $touched"
[[ "$(lists_state)" == "$before" ]] || e2e_fail "the lists changed: $(lists_state)"
[[ ! -e "$APP/　エラー報告.txt" ]] || e2e_fail "the run left a report"
[[ "$(ls -A "$E2E_TMP/drive-t")" == .windows-label ]] || e2e_fail "something was backed up: $(ls -AR "$E2E_TMP/drive-t")"

echo "vespard_shutdown_e2e: ok"
