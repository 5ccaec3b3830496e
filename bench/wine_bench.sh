#!/usr/bin/env bash
# The Windows programs under Wine, side by side with two peers on the same Wine drives:
#
#   - Vespard.exe, the real program: a power-off list naming T:\BK, a mirror-all registration of
#     S:\data (made by `engine_bench --prepare`); timed from its start to its countdown screen,
#     which the bench then cancels with a left click;
#   - xcopy under Wine (/E /I /Y /K /H for the first copy, /D added for the later runs);
#   - copy_walk.exe, the floor on the same layer: FindFirstFileExW and CopyFileW, nothing else.
#
# For each tree size (10 000 and 100 000 files unless --files says otherwise): the first copy,
# an unchanged run and a run after 1 % of the files changed. After every step each copy is
# compared with its source (file names, sizes and last-write times, and the folders). Then
# the fixed start-up costs: Vespard with an empty power-off list from its start to its
# countdown screen, backup.exe from its start to its settings window, against a bare program
# start (bench/bare_start_win32.cpp) with and without a window.
#
#   bash bench/wine_bench.sh [--files N]... [--repeat R] [--starts K] [--no-build] [--keep]
#                            [--start-only] [--also DIST] [--rename-only] [--rename-files N]
#                            [--rename-mib M]
#
#   --files N   a tree of N files (may be given more than once; default 10000 and 100000)
#   --repeat R  runs of each program for the unchanged step and for each figure of the
#               renamed-folder case; the median counts (default 1)
#   --starts K  program starts for each start-up figure; the median counts (default 7)
#   --no-build  use build/windows and build/native as they are
#   --keep      leave the temporary folder (its path is printed)
#   --start-only  only the start-up figures
#   --rename-only  only the renamed-folder case: a mirror-all list of S:\data (N files, default
#               10 000, M MiB in all, default 1024, half of it in S:\data\画像, made by
#               `engine_bench --prepare-rename`); Vespard's first copy; then 画像 renamed on
#               the host and Vespard's next run (R runs, each from the state after the first
#               copy: the copy's folder renamed back and the list put back), against the first
#               copy and against xcopy copying the renamed folder alone. The program cannot
#               be told not to move; the copy's files keeping their inodes shows the move.
#               Without --rename-only the case runs after the tree sizes.
#   --also DIST   another build's dist folder (an earlier version, say): its Vespard.exe and
#               backup.exe are started in turn with this build's, for a before/after
#               comparison of the start-up on the same machine at the same time
#
# It prints figures and never fails a build; it is not part of scripts/test.sh. Exit status:
# 0 when every copy equalled its source, 1 when one did not or a program failed, 2 when
# something it needs is missing.
#
# Safety: the bench runs in its own Wine prefix (build/windows/bench-wineprefix) on its own
# Xvfb display. Vespard's countdown is cancelled by a click as soon as it appears; should the
# program not end within 20 s after that, every process of the bench's prefix is ended
# (wineserver -k). Under Wine the shutdown call does not reach the host either way.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 2

SIZES=()
REPEAT=1
STARTS=7
BUILD=1
KEEP=0
START_ONLY=0
RENAME_ONLY=0
RENAME_FILES=10000
RENAME_MIB=1024
ALSO=
while (($#)); do
  case $1 in
    --files) SIZES+=("${2:?--files wants a number}"); shift 2 ;;
    --repeat) REPEAT=${2:?--repeat wants a number}; shift 2 ;;
    --starts) STARTS=${2:?--starts wants a number}; shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --keep) KEEP=1; shift ;;
    --start-only) START_ONLY=1; shift ;;
    --rename-only) RENAME_ONLY=1; shift ;;
    --rename-files) RENAME_FILES=${2:?--rename-files wants a number}; shift 2 ;;
    --rename-mib) RENAME_MIB=${2:?--rename-mib wants a number}; shift 2 ;;
    --also) ALSO=$(cd "${2:?--also wants a folder}" && pwd) || exit 2; shift 2 ;;
    *) echo "usage: bash bench/wine_bench.sh [--files N]... [--repeat R] [--starts K] [--no-build] [--keep] [--start-only] [--also DIST] [--rename-only] [--rename-files N] [--rename-mib M]" >&2; exit 2 ;;
  esac
done
((${#SIZES[@]})) || SIZES=(10000 100000)
((START_ONLY || RENAME_ONLY)) && SIZES=()
RENAME_CASE=1
((START_ONLY)) && RENAME_CASE=0

WIN=$ROOT/build/windows
NATIVE=$ROOT/build/native
for tool in cmake wine wineserver wineboot Xvfb xdotool perl; do
  command -v "$tool" >/dev/null || { echo "wine_bench: $tool is missing (scripts/setup.sh installs it)"; exit 2; }
done

if ((BUILD)); then
  echo "wine_bench: building (windows preset: programs, copy_walk, bare_start; native preset: engine_bench)"
  { cmake --preset windows >/dev/null &&
      cmake --build --preset windows -j2 --target Vespard backup copy_walk bare_start dist_data >/dev/null &&
      cmake --preset native >/dev/null &&
      cmake --build --preset native -j2 --target engine_bench >/dev/null; } ||
    { echo "wine_bench: the build failed"; exit 2; }
fi
for f in "$WIN/dist/Vespard.exe" "$WIN/dist/backup.exe" "$WIN/bench/copy_walk.exe" "$WIN/bench/bare_start.exe" \
  "$NATIVE/engine_bench"; do
  [[ -e $f ]] || { echo "wine_bench: $f is missing (run without --no-build)"; exit 2; }
done

# ---- the Wine session: own prefix, own display, persistent server ----------------------------
source "$ROOT/tests/e2e/lib.sh"
E2E_NAME=wine_bench
E2E_BUILD_DIR=$WIN
export WINEPREFIX=$WIN/bench-wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
bench_cleanup() {
  local rc=$?
  if ((KEEP)) && [[ -n $E2E_TMP ]]; then
    echo "wine_bench: kept $E2E_TMP"
    E2E_TMP=  # e2e_cleanup removes only what it is given
  fi
  (exit "$rc")
  e2e_cleanup
}
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/wine-bench-XXXXXX")
LOG=$E2E_TMP/wine.log
WINE_PREFIX_NAME=wine_bench wine_prefix_ready || exit 1
e2e_start_display
# The server stays up between the programs' starts, as it does on a desktop where other Wine
# programs run: no start below pays for the server's own start.
wineserver -p

# As on a desktop: on Windows the desktop is always there and a window manager answers at
# once. Under Wine the desktop is a process (explorer.exe /desktop) that ends with the last
# program that used it, so a hidden window of bare_start.exe holds it for every start below;
# and Xvfb has no window manager, for whose answer Wine would wait 2 s each time a program
# hides a window, so Wine's X11 driver is told not to wait for one ("Managed" = "N").
# desktop_off turns both back to how tests/e2e run the programs.
HOLDER_PID=
desktop_on() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
    { echo "wine_bench: could not set the X11 driver's Managed value"; exit 2; }
  rm -f "$E2E_TMP/holder.stop"
  (cd "$E2E_TMP" && exec wine "$WIN/bench/bare_start.exe" --stay holder.stop) >>"$LOG" 2>&1 &
  HOLDER_PID=$!
  wine_exe "$E2E_TMP" "$WIN/bench/bare_start.exe" --window  # waits for the desktop
}
desktop_off() {
  touch "$E2E_TMP/holder.stop"
  e2e_wait_exit "$HOLDER_PID" 20 || problem "the desktop holder did not end"
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
  sleep 3  # the desktop process ends a moment after its last user
}

STATUS=0
problem() {
  echo "    !!! $* !!!"
  STATUS=1
}
now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# cpu_of PID: the CPU seconds (user and system) a running process has used so far.
TICKS=$(getconf CLK_TCK)
cpu_of() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }  # the fields after the command name
  awk -v t="$TICKS" '{ printf "%.3f", ($12 + $13) / t }' <<<"$stat"
}
# children_cpu: CHILD_CPU, the CPU seconds of every child this shell has waited for so far
# (not called in a subshell, whose children these are not).
CHILD_CPU=
children_cpu() {
  times >"$E2E_TMP/times"
  CHILD_CPU=$(awk 'NR == 2 { s = 0; for (i = 1; i <= 2; ++i) { split($i, p, "m"); s += p[1] * 60 + p[2] }
                             printf "%.3f", s }' "$E2E_TMP/times")
}

# wine_exe DIR EXE ARGS...: runs a program from DIR to its end; its output goes to the log.
wine_exe() {
  local dir=$1
  shift
  (cd "$dir" && exec wine "$@") >>"$LOG" 2>&1
}

# countdown_window PID: the X id of the countdown screen (a window at least as wide as the
# screen) once it is visible; empty when the program ended first.
SCREEN_W=1280
countdown_window() {
  local id
  for id in $(xdotool search --onlyvisible --class '^[Vv]espard\.exe$' 2>/dev/null); do
    e2e_geometry "$id" 2>/dev/null || continue
    ((E2E_W >= SCREEN_W)) && { echo "$id"; return 0; }
  done
  return 1
}

# run_vespard APP LIMIT POLL: starts Vespard.exe, waits for its countdown screen, cancels it.
# RUN_SECONDS: from the start to the countdown screen; RUN_CPU: the CPU seconds the program
# used until then. False when it failed.
RUN_SECONDS=
RUN_CPU=
run_vespard() {
  local app=$1 limit=$2 poll=$3 t0 t1 pid id deadline
  t0=$(now)
  (cd "$app" && exec wine "$app/Vespard.exe") >>"$LOG" 2>&1 &
  pid=$!
  deadline=$((SECONDS + limit))
  id=
  while :; do
    id=$(countdown_window) && break
    if ! kill -0 "$pid" 2>/dev/null; then
      problem "Vespard.exe ended before its countdown screen"
      return 1
    fi
    if ((SECONDS >= deadline)); then
      problem "no countdown screen within $limit s"
      wineserver -k
      return 1
    fi
    sleep "$poll"
  done
  t1=$(now)
  RUN_SECONDS=$(elapsed "$t0" "$t1")
  RUN_CPU=$(cpu_of "$pid")
  xdotool mousemove --sync $((SCREEN_W / 2)) 300 click 1 2>/dev/null
  if ! e2e_wait_exit "$pid" 20; then
    problem "Vespard.exe did not end after the click on its countdown: the bench's Wine session is ended"
    wineserver -k
    wineserver -p
    return 1
  fi
  local report="$app/　エラー報告.txt"
  if [[ -e $report ]]; then
    problem "Vespard.exe left a report: $(iconv -f CP932 -t UTF-8 "$report" | tr '\n' '|' | head -c 400)"
    rm -f "$report"  # else the next start asks about it
  fi
  return 0
}

# listing DIR: every file (path, size, last-write time) and every folder, sorted.
listing() {
  (cd "$1" && find . -mindepth 1 \( -type f -printf 'f %P\t%s\t%T@\n' \) -o \( -type d -printf 'd %P\n' \)) |
    LC_ALL=C sort
}
# check NAME COPY: the copy equals the source S:\data.
check() {
  local name=$1 copy=$2 a b n
  a=$E2E_TMP/source.list
  b=$E2E_TMP/copy.list
  listing "$copy" >"$b" 2>/dev/null
  if cmp -s "$a" "$b"; then
    CHECKS+="$name ok; "
  else
    n=$(LC_ALL=C comm -3 "$a" "$b" | wc -l)
    problem "$name differs from the source in $n entries, first: $(LC_ALL=C comm -3 "$a" "$b" | head -n1)"
    CHECKS+="$name DIFFERS; "
  fi
}

# change_one_percent DIR SEED: every hundredth file (from the 14th, in name order) gets new
# content of a new random size and a time 400 days later.
change_one_percent() {
  (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort) | perl -e '
    use strict; use warnings;
    my ($dir, $seed) = @ARGV; srand($seed);
    my $pattern = join "", map { chr(int(rand(256))) } 1 .. 32769;
    my ($i, $n) = (0, 0);
    while (my $p = <STDIN>) {
      chomp $p;
      next unless $i++ % 100 == 13;
      my $path = "$dir/$p";
      my $mtime = (stat $path)[9];
      open(my $out, ">", $path) or die "$path: $!";
      binmode $out;
      print $out substr($pattern, int(rand(16384)), int(rand(16385)));
      close $out or die "$path: $!";
      utime($mtime + 400 * 86400, $mtime + 400 * 86400, $path) or die "$path: $!";
      ++$n;
    }
    print "$n\n";' "$1" "$2"
}

# Reads every source file once, so that no program pays for the first read from the disk.
warm() { find "$1" -type f -print0 | xargs -0 cat >/dev/null; }

# app_folder DIR TODRIVE [DIST]: a program folder with the distributed programs and data (of
# this build, or of DIST), ToDrive.txt as given.
app_folder() {
  local dir=$1 todrive=$2 dist=${3:-$WIN/dist}
  mkdir -p "$dir"
  cp -r "$dist/." "$dir/"
  printf '%b' "$todrive" >"$dir/BkList/ToDrive.txt"
}

e2e_map_drive s SOURCE
e2e_map_drive t BACKUP
DRIVE_S=$E2E_TMP/drive-s
DRIVE_T=$E2E_TMP/drive-t
desktop_on

declare -A T  # T[size,step,program] seconds
STEPS=("first copy" "unchanged" "1% changed")

echo
echo "wine_bench: $(wine --version), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); temporary folder $E2E_TMP"

for n in "${SIZES[@]}"; do
  rm -rf "${DRIVE_S:?}"/* "${DRIVE_T:?}"/*
  prep=$E2E_TMP/prep-$n
  t0=$(now)
  "$NATIVE/engine_bench" --prepare "$prep" --files "$n" >/dev/null || { echo "wine_bench: engine_bench --prepare failed"; exit 2; }
  mv "$prep/S/data" "$DRIVE_S/data"
  APP=$E2E_TMP/app-$n
  app_folder "$APP" 'T:\\BK\nT:\\BK\n*\nT:\\BK\n*\n*\n0\n'
  cp "$prep"/P/BkList/*.ini "$APP/BkList/"
  lines=$(cat "$APP"/BkList/*.ini | wc -l)
  rm -rf "$prep"
  mkdir -p "$DRIVE_T/XC" "$DRIVE_T/FW"
  files=$(find "$DRIVE_S/data" -type f | wc -l)
  folders=$(find "$DRIVE_S/data" -type d | wc -l)
  mib=$(du -sm "$DRIVE_S/data" | cut -f1)
  echo
  echo "== $files files, $folders folders, $mib MiB; registration list $lines lines (prepared in $(elapsed "$t0" "$(now)") s)"

  for step in 0 1 2; do
    if ((step == 2)); then
      changed=$(change_one_percent "$DRIVE_S/data" "$((777 + n))")
      echo "    $changed files changed"
    fi
    listing "$DRIVE_S/data" >"$E2E_TMP/source.list"
    warm "$DRIVE_S/data"
    runs=1
    ((step == 1)) && runs=$REPEAT
    walk=() xc=() ves=()
    for ((r = 0; r < runs; ++r)); do
      sync
      t0=$(now)
      wine_exe "$E2E_TMP" "$WIN/bench/copy_walk.exe" 'S:\data' 'T:\FW\data' || problem "copy_walk.exe failed (see $LOG)"
      walk+=("$(elapsed "$t0" "$(now)")")
      WALK_SAYS=$(grep -a '^copy_walk:' "$LOG" | tail -n1 | tr -d '\r')

      sync
      flags=(/E /I /Y /K /H)
      ((step > 0)) && flags=(/D /E /I /Y /K /H)
      t0=$(now)
      wine_exe "$E2E_TMP" xcopy 'S:\data' 'T:\XC\data' "${flags[@]}"
      rc=$?
      xc+=("$(elapsed "$t0" "$(now)")")
      # 1: nothing needed copying (an unchanged run)
      ((rc == 0 || rc == 1)) || problem "xcopy exited with status $rc"

      sync
      if run_vespard "$APP" 7200 0.1; then ves+=("$RUN_SECONDS"); else ves+=(0); fi
    done
    T[$n,$step,walk]=$(median "${walk[@]}")
    T[$n,$step,xcopy]=$(median "${xc[@]}")
    T[$n,$step,vespard]=$(median "${ves[@]}")
    CHECKS=
    check Vespard "$DRIVE_T/BK/data"
    check xcopy "$DRIVE_T/XC/data"
    check copy_walk "$DRIVE_T/FW/data"
    printf '    %-12s Vespard %8.3f s   xcopy %8.3f s   copy_walk %8.3f s   (%s)\n' "${STEPS[$step]}" \
      "${T[$n,$step,vespard]}" "${T[$n,$step,xcopy]}" "${T[$n,$step,walk]}" "${WALK_SAYS#copy_walk: }"
    echo "                 check: ${CHECKS%; } (names, sizes, times, folders)"
  done
  rm -rf "${DRIVE_S:?}"/* "${DRIVE_T:?}"/* "$APP"
done

# ---- a renamed folder ----------------------------------------------------------------------
# inodes DIR: "inode path" of every file below DIR, sorted by path.
inodes() { (cd "$1" && find . -type f -printf '%i %P\n' | LC_ALL=C sort -k2); }
R_FIRST=0
R_MOVED=0
R_XCOPY=0
R_IDLE=0
rename_case() {
  local n=$RENAME_FILES prep app saved big=画像 new=画像2024 r t0 before rc
  local first=() moved=() xc=()
  rm -rf "${DRIVE_S:?}"/* "${DRIVE_T:?}"/*
  prep=$E2E_TMP/prep-rename
  t0=$(now)
  "$NATIVE/engine_bench" --prepare-rename "$prep" --files "$n" --mib "$RENAME_MIB" >/dev/null ||
    { echo "wine_bench: engine_bench --prepare-rename failed"; exit 2; }
  mv "$prep/S/data" "$DRIVE_S/data"
  app=$E2E_TMP/app-rename
  saved=$E2E_TMP/list-rename
  app_folder "$app" 'T:\\BK\nT:\\BK\n*\nT:\\BK\n*\n*\n0\n'
  cp "$prep"/P/BkList/*.ini "$app/BkList/"
  mkdir -p "$saved"
  cp "$app"/BkList/*.ini "$saved/"
  rm -rf "$prep"
  echo
  echo "== a renamed folder: $(find "$DRIVE_S/data" -type f | wc -l) files, $(du -sm "$DRIVE_S/data" | cut -f1) MiB;" \
    "S:\\data\\$big: $(find "$DRIVE_S/data/$big" -type f | wc -l) files, $(du -sm "$DRIVE_S/data/$big" | cut -f1) MiB;" \
    "mirror-all list $(cat "$app"/BkList/*.ini | wc -l) lines (prepared in $(elapsed "$t0" "$(now)") s); $REPEAT run(s) a figure"
  listing "$DRIVE_S/data" >"$E2E_TMP/source.list"
  warm "$DRIVE_S/data"
  # The first copy, from an empty destination and the list as registered each time.
  for ((r = 0; r < REPEAT; ++r)); do
    rm -rf "${DRIVE_T:?}/BK"
    cp "$saved"/*.ini "$app/BkList/"
    sync
    if run_vespard "$app" 7200 0.1; then first+=("$RUN_SECONDS"); else first+=(0); fi
  done
  CHECKS=
  check "first copy" "$DRIVE_T/BK/data"
  cp "$app"/BkList/*.ini "$saved/"  # the list after the first copy
  before=$(inodes "$DRIVE_T/BK/data/$big")

  mv "$DRIVE_S/data/$big" "$DRIVE_S/data/$new"
  listing "$DRIVE_S/data" >"$E2E_TMP/source.list"
  for ((r = 0; r < REPEAT; ++r)); do
    if [[ ! -d $DRIVE_T/BK/data/$big ]]; then mv "$DRIVE_T/BK/data/$new" "$DRIVE_T/BK/data/$big"; fi
    cp "$saved"/*.ini "$app/BkList/"
    sync
    if run_vespard "$app" 7200 0.1; then moved+=("$RUN_SECONDS"); else moved+=(0); fi
    if ((r == 0)); then
      check "after the rename" "$DRIVE_T/BK/data"
      if [[ $(inodes "$DRIVE_T/BK/data/$new") == "$before" ]]; then
        CHECKS+="the renamed folder's $(wc -l <<<"$before") copies kept their inodes (moved); "
      else
        problem "the renamed folder's copies did not keep their inodes: $(diff <(echo "$before") <(inodes "$DRIVE_T/BK/data/$new") | wc -l) lines differ"
      fi
    fi
  done
  # xcopy copying the renamed folder alone, to an empty place each time.
  for ((r = 0; r < REPEAT; ++r)); do
    rm -rf "${DRIVE_T:?}/XC"
    mkdir -p "$DRIVE_T/XC"
    sync
    t0=$(now)
    wine_exe "$E2E_TMP" xcopy "S:\\data\\$new" "T:\\XC\\$new" /E /I /Y /K /H
    rc=$?
    xc+=("$(elapsed "$t0" "$(now)")")
    ((rc == 0)) || problem "xcopy exited with status $rc"
  done
  if [[ $(listing "$DRIVE_T/XC/$new") == $(listing "$DRIVE_S/data/$new") ]]; then
    CHECKS+="xcopy's copy ok"
  else
    problem "xcopy's copy of the renamed folder differs from it"
  fi
  # Vespard with nothing to do (no power-off destination): its start to its countdown screen.
  local idle=() idle_app=$E2E_TMP/app-rename-idle
  app_folder "$idle_app" 'T:\\BK\nT:\\BK\n*\n*\n*\n0\n'
  for ((r = 0; r < REPEAT; ++r)); do
    if run_vespard "$idle_app" 120 0.01; then idle+=("$RUN_SECONDS"); else idle+=(0); fi
  done
  R_IDLE=$(median "${idle[@]}")
  R_FIRST=$(median "${first[@]}")
  R_MOVED=$(median "${moved[@]}")
  R_XCOPY=$(median "${xc[@]}")
  printf '    %-44s %8.3f s   (%s)\n' "Vespard, first copy" "$R_FIRST" "${first[*]}"
  printf '    %-44s %8.3f s   (%s)\n' "Vespard, the run after the rename" "$R_MOVED" "${moved[*]}"
  printf '    %-44s %8.3f s   (%s)\n' "xcopy of the renamed folder alone" "$R_XCOPY" "${xc[*]}"
  printf '    %-44s %8.3f s   (%s)\n' "Vespard with nothing to do (start-up)" "$R_IDLE" "${idle[*]}"
  echo "    check: ${CHECKS%; } (names, sizes, times, folders)"
  echo "    (Vespard's times run from its start to its countdown screen, start-up included)"
  rm -rf "${DRIVE_S:?}"/* "${DRIVE_T:?}"/* "$app" "$saved" "$idle_app"
}
((RENAME_CASE)) && rename_case

# ---- start-up -----------------------------------------------------------------------------
# start_backup APP: starts backup.exe, waits for its settings window, closes it. RUN_SECONDS:
# from the start to the window, RUN_CPU: the CPU seconds it used until then. False when it failed.
start_backup() {
  local app=$1 t0 pid wid= deadline=$((SECONDS + 120))
  t0=$(now)
  (cd "$app" && exec wine "$app/backup.exe") >>"$LOG" 2>&1 &
  pid=$!
  until wid=$(xdotool search --onlyvisible --name '^Kestova$' 2>/dev/null | head -n1) && [[ -n $wid ]]; do
    kill -0 "$pid" 2>/dev/null || break
    ((SECONDS < deadline)) || break
    sleep 0.01
  done
  [[ -n $wid ]] && RUN_SECONDS=$(elapsed "$t0" "$(now)") && RUN_CPU=$(cpu_of "$pid")
  [[ -n $wid ]] && xdotool key --window "$wid" alt+F4 2>/dev/null
  if ! e2e_wait_exit "$pid" 30; then
    problem "backup.exe did not end after the close request"
    wineserver -k
    wineserver -p
    return 1
  fi
  [[ -n $wid ]] || { problem "backup.exe showed no settings window"; return 1; }
}

# startup_series NAME: STARTS starts of each program in turn; the medians of the wall times go
# into SU[NAME,what], those of the CPU seconds into SU[NAME,what,cpu].
declare -A SU
startup_series() {
  local name=$1 r c0 t0 t1 what
  local -A wall=() cpu=()
  local app=$E2E_TMP/app-start-$name also=$E2E_TMP/app-also-$name
  local todrive='T:\\BK\nT:\\BK\n*\n*\n*\n0\n'
  local order=(bare barew vespard backup)
  app_folder "$app" "$todrive"
  if [[ -n $ALSO ]]; then
    app_folder "$also" "$todrive" "$ALSO"
    order+=(vespard_also backup_also)
  fi
  mkdir -p "$DRIVE_T/BK"
  note() { wall[$1]+=" $2"; cpu[$1]+=" $3"; }
  for ((r = 0; r < STARTS; ++r)); do
    for what in bare barew; do
      children_cpu
      c0=$CHILD_CPU
      t0=$(now)
      if [[ $what == bare ]]; then wine_exe "$E2E_TMP" "$WIN/bench/bare_start.exe"
      else wine_exe "$E2E_TMP" "$WIN/bench/bare_start.exe" --window; fi
      t1=$(now)
      children_cpu
      note "$what" "$(elapsed "$t0" "$t1")" "$(elapsed "$c0" "$CHILD_CPU")"
    done
    run_vespard "$app" 120 0.01 && note vespard "$RUN_SECONDS" "$RUN_CPU"
    start_backup "$app" && note backup "$RUN_SECONDS" "$RUN_CPU"
    if [[ -n $ALSO ]]; then
      run_vespard "$also" 120 0.01 && note vespard_also "$RUN_SECONDS" "$RUN_CPU"
      start_backup "$also" && note backup_also "$RUN_SECONDS" "$RUN_CPU"
    fi
  done
  local -A label=(
    [bare]="bare program, start to end"
    [barew]="bare program showing one window, start to end"
    [vespard]="Vespard.exe, empty list, start to countdown screen"
    [backup]="backup.exe, start to its settings window"
    [vespard_also]="  the same of --also's Vespard.exe"
    [backup_also]="  the same of --also's backup.exe"
  )
  printf '    %-52s %8s %8s   %s\n' "" "wall s" "CPU s" "(every wall time)"
  for what in "${order[@]}"; do
    # shellcheck disable=SC2086  # the lists are words
    SU[$name,$what]=$( [[ -n ${wall[$what]:-} ]] && median ${wall[$what]} || echo 0)
    SU[$name,$what,cpu]=$( [[ -n ${cpu[$what]:-} ]] && median ${cpu[$what]} || echo 0)
    printf '    %-52s %8.3f %8.3f   (%s)\n' "${label[$what]}" "${SU[$name,$what]}" "${SU[$name,$what,cpu]}" \
      "${wall[$what]# }"
  done
}

if ((!RENAME_ONLY)); then
  echo
  echo "== start-up, as on a desktop (median of $STARTS starts; S: and T: mapped):"
  startup_series desktop
  desktop_off
  echo
  echo "== start-up as tests/e2e run the programs: no Wine desktop kept, and Wine waits up to 2 s for"
  echo "   a window manager Xvfb does not have each time a window is hidden (median of $STARTS starts):"
  startup_series e2e
fi

# ---- summary ------------------------------------------------------------------------------
echo
echo "== summary (goals of the Windows programs under Wine in brackets)"
for n in "${SIZES[@]}"; do
  printf '    %7s files: first copy Vespard/copy_walk %s [<= 1.2]; unchanged Vespard/xcopy %s [<= 0.5]; 1%% changed Vespard/xcopy %s [<= 0.5]\n' \
    "$n" "$(ratio "${T[$n,0,vespard]}" "${T[$n,0,walk]}")" "$(ratio "${T[$n,1,vespard]}" "${T[$n,1,xcopy]}")" \
    "$(ratio "${T[$n,2,vespard]}" "${T[$n,2,xcopy]}")"
  printf '                   (xcopy/copy_walk first copy %s)\n' "$(ratio "${T[$n,0,xcopy]}" "${T[$n,0,walk]}")"
done
if ((${#SIZES[@]} >= 2)); then
  a=${SIZES[0]} b=${SIZES[-1]}
  echo "    growth $a -> $b files [Vespard <= $((12 * b / a / 10)).$((12 * b / a % 10)) x]:"
  for step in 0 1 2; do
    printf '      %-12s Vespard %6s x   xcopy %6s x   copy_walk %6s x\n' "${STEPS[$step]}" \
      "$(ratio "${T[$b,$step,vespard]}" "${T[$a,$step,vespard]}")" "$(ratio "${T[$b,$step,xcopy]}" "${T[$a,$step,xcopy]}")" \
      "$(ratio "${T[$b,$step,walk]}" "${T[$a,$step,walk]}")"
  done
fi
if ((RENAME_CASE)); then
  echo "    renamed folder ($RENAME_FILES files): the run after the rename / the first copy $(ratio "$R_MOVED" "$R_FIRST") [<= 0.05];"
  echo "      / xcopy of the renamed folder alone $(ratio "$R_MOVED" "$R_XCOPY"); less Vespard's start-up on both sides:"
  echo "      $(ratio "$(awk -v a="$R_MOVED" -v b="$R_IDLE" 'BEGIN { printf "%.3f", a - b }')" \
    "$(awk -v a="$R_FIRST" -v b="$R_IDLE" 'BEGIN { printf "%.3f", a - b }')") against the first copy"
fi
if ((RENAME_ONLY)); then
  ((STATUS == 0)) && echo "    every copy equalled its source" || echo "    !!! some copies differed or a program failed (above) !!!"
  exit "$STATUS"
fi
above() { awk -v v="${SU[$1,$2]}" -v b="${SU[$1,$3]}" 'BEGIN { printf "%.3f", v - b }'; }
echo "    Vespard fixed start-up cost (empty list, to the countdown screen), as on a desktop:"
echo "      $(above desktop vespard bare) s above a bare program start [<= 0.5], $(above desktop vespard barew) s above a bare"
echo "      program showing a window (as tests/e2e run it: $(above e2e vespard bare) s and $(above e2e vespard barew) s)"
echo "    backup.exe, start to its settings window, as on a desktop: $(above desktop backup bare) s above a bare program"
echo "      start, $(above desktop backup barew) s above a bare program showing a window (as tests/e2e run it:"
echo "      $(above e2e backup bare) s and $(above e2e backup barew) s)"
if [[ -n $ALSO ]]; then
  echo "    the same of $ALSO, as on a desktop: Vespard $(above desktop vespard_also bare) s, backup.exe"
  echo "      $(above desktop backup_also bare) s above a bare program start (as tests/e2e run them:"
  echo "      $(above e2e vespard_also bare) s and $(above e2e backup_also bare) s)"
fi
((STATUS == 0)) && echo "    every copy equalled its source" || echo "    !!! some copies differed or a program failed (above) !!!"
exit "$STATUS"
