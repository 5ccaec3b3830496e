# Shared helpers for the end-to-end scripts: sourced, never run as a test.
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_init NAME BUILD_DIR      # prefix, font, lock, cleanup on exit
#   e2e_start_display            # private Xvfb, DISPLAY exported
#   e2e_map_drive t BACKUP       # drive T: labelled BACKUP, folder $E2E_TMP/drive-t
#   APP=$(e2e_app_copy)          # a fresh copy of BUILD_DIR/dist
#   e2e_launch "$APP/x.exe"      # E2E_PID: the program's process
#   WID=$(e2e_wait_window --class x.exe 30)
#   e2e_geometry "$WID"          # E2E_X E2E_Y E2E_W E2E_H (client origin and size)
#   e2e_click "$WID" 12 34       # a left click at client (12, 34)
#   e2e_screenshot name [WID]    # build/screenshots/name.png
#   e2e_wait_exit "$E2E_PID" 30
#   e2e_fail "message"           # prints "NAME: message", exits 1
#   ... and the shared set-ups and steps of the programs (below: e2e_press, e2e_message_window,
#   e2e_close_settings, e2e_answer_no, e2e_countdown_window, …)
#
# Every wait has a time limit; on exit (success, failure or interrupt) the prefix's Wine
# processes are stopped, the display is closed and the temporary folders are removed.
# No window manager runs: each top-level window is an X window exactly its client area,
# placed at its client origin, so X coordinates and client coordinates differ only by it.

E2E_NAME=e2e
E2E_BUILD_DIR=
E2E_TMP=
E2E_XVFB_PID=
E2E_PID=
E2E_SCREENSHOTS=
E2E_DRIVES=()
E2E_OWN_PIDS=()
# The prefix's making and font set-up, shared with the other scripts that run Wine.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefix.sh"

e2e_log() { echo "$E2E_NAME: $*" >&2; }
# To standard error as well: a failure inside $(...) would otherwise end up in a variable.
e2e_fail() {
  echo "$E2E_NAME: $*" >&2
  exit 1
}

e2e_cleanup() {
  local rc=$? last=$BASH_COMMAND
  # A command that failed under set -e inside a function ends the script without a word.
  [[ $rc -eq 0 || $rc -eq 130 ]] || echo "$E2E_NAME: ended with status $rc; last command: $last" >&2
  if [[ -n "$E2E_BUILD_DIR" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  local p
  for p in "${E2E_OWN_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  local d
  for d in "${E2E_DRIVES[@]}"; do rm -f "$WINEPREFIX/dosdevices/$d:"; done
  if [[ -n "$E2E_XVFB_PID" ]]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  fi
  if [[ -n "$E2E_TMP" && -d "$E2E_TMP" ]]; then
    chmod -R u+rwX "$E2E_TMP" 2>/dev/null || true
    rm -rf "$E2E_TMP"
  fi
  exit "$rc"
}

# e2e_init NAME BUILD_DIR: the private prefix BUILD_DIR/wineprefix (made on first use),
# the face replacement the programs' fixed-pitch font needs, a lock shared with
# scripts/wine-tests.sh (runs on one prefix take turns), cleanup on exit.
e2e_init() {
  E2E_NAME=$1
  E2E_BUILD_DIR=$(cd "$2" && pwd) || { echo "$1: no build folder $2"; exit 2; }
  local root; root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  E2E_SCREENSHOTS="$root/build/screenshots"
  mkdir -p "$E2E_SCREENSHOTS"
  [[ -d "$E2E_BUILD_DIR/dist" ]] || { echo "$E2E_NAME: $E2E_BUILD_DIR/dist not found (build the windows preset)"; exit 2; }
  for tool in wine wineserver Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "$E2E_NAME: $tool is missing (scripts/setup.sh installs it)"; exit 2; }
  done

  export WINEPREFIX="$E2E_BUILD_DIR/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Command-line arguments reach Wine in the locale's encoding: names are UTF-8.
  export LC_ALL=C.UTF-8

  exec 9>"$E2E_BUILD_DIR/wine-tests.lock"
  flock -w 900 9 || { echo "$E2E_NAME: the Wine prefix stayed busy"; exit 1; }
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  # A command that fails under set -e ends the script without a word: say which one.
  trap 'echo "$E2E_NAME: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/bk-e2e-XXXXXX")

  WINE_PREFIX_NAME=$E2E_NAME wine_prefix_ready || exit 1
}

# Starts Xvfb on the first free display from :77 and exports DISPLAY.
e2e_start_display() {
  local n deadline
  for ((n = 77; n < 140; n++)); do
    [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$E2E_TMP/xvfb-$n.log" 2>&1 &
    E2E_XVFB_PID=$!
    deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)); do
      if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null; then break; fi  # lost a race for :n
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
    E2E_XVFB_PID=
  done
  e2e_fail "no free X display for Xvfb"
}

# e2e_map_drive LETTER LABEL: a Wine drive (a fresh folder $E2E_TMP/drive-LETTER with its
# volume label), unmapped again on exit.
e2e_map_drive() {
  local d=$1 folder="$E2E_TMP/drive-$1"
  mkdir -p "$folder"
  printf '%s' "$2" >"$folder/.windows-label"  # no line end: the whole text is the label
  rm -f "$WINEPREFIX/dosdevices/$d:"
  ln -s "$folder" "$WINEPREFIX/dosdevices/$d:"
  E2E_DRIVES+=("$d")
}

# Prints the path of a fresh copy of BUILD_DIR/dist.
e2e_app_copy() {
  local dir
  dir=$(mktemp -d "$E2E_TMP/app-XXXXXX")
  cp -r "$E2E_BUILD_DIR/dist/." "$dir/"
  echo "$dir"
}

# e2e_launch EXE [args...]: starts a program from its own folder; E2E_PID is its process.
e2e_launch() {
  local exe=$1
  shift
  (cd "$(dirname "$exe")" && exec wine "$exe" "$@") >>"$E2E_TMP/wine.log" 2>&1 &
  E2E_PID=$!
}

# e2e_wait_window (--name REGEX | --class CLASS | --classname NAME) SECONDS: prints the X id
# of the first visible matching window.
e2e_wait_window() {
  local how=$1 what=$2 limit=${3:-30} deadline ids
  deadline=$((SECONDS + limit))
  while ((SECONDS < deadline)); do
    ids=$(xdotool search --onlyvisible "$how" "$what" 2>/dev/null) || true
    if [[ -n "$ids" ]]; then
      head -n1 <<<"$ids"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# e2e_geometry WID: E2E_X, E2E_Y (client origin on the screen), E2E_W, E2E_H. Fails (status
# 1, nothing set) when the window has gone meanwhile.
e2e_geometry() {
  local X= Y= WIDTH= HEIGHT= WINDOW= SCREEN= out
  out=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null) || return 1
  eval "$out"
  [[ -n "$X" && -n "$WIDTH" ]] || return 1
  E2E_X=$X E2E_Y=$Y E2E_W=$WIDTH E2E_H=$HEIGHT
}

# e2e_pointer: E2E_PX, E2E_PY, the pointer on the screen.
e2e_pointer() {
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  E2E_PX=$X E2E_PY=$Y
}

# e2e_click WID X Y: moves there (client coordinates of WID) and clicks the left button.
e2e_click() {
  e2e_geometry "$1"
  xdotool mousemove --sync $((E2E_X + $2)) $((E2E_Y + $3))
  sleep 0.2  # the program sees the move before the press, as with a real mouse
  xdotool click 1
}

# e2e_screenshot NAME [WID]: the whole screen into build/screenshots/NAME.png, and with a
# window id also that window alone into NAME-window.png.
e2e_screenshot() {
  import -window root "$E2E_SCREENSHOTS/$1.png" || return 1
  if [[ -n "${2:-}" ]]; then
    e2e_geometry "$2"
    convert "$E2E_SCREENSHOTS/$1.png" -crop "${E2E_W}x${E2E_H}+${E2E_X}+${E2E_Y}" +repage "$E2E_SCREENSHOTS/$1-window.png"
  fi
}

# e2e_wait_exit PID SECONDS: true when the process ended within the limit.
e2e_wait_exit() {
  local pid=$1 limit=${2:-30} deadline
  deadline=$((SECONDS + limit))
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
  wait "$pid" 2>/dev/null || true
  return 0
}

# e2e_own PID: a helper process the script started itself, ended on exit.
e2e_own() { E2E_OWN_PIDS+=("$1"); }

# e2e_wait_file_gone PATH SECONDS
e2e_wait_file_gone() {
  local deadline=$((SECONDS + ${2:-30}))
  while [[ -e "$1" ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# e2e_hold APP_DIR 'BkList\file' [TAG]: a second Wine process (tests/e2e/hold_file.c, built
# with MinGW on first use) opens the file, relative to APP_DIR, with share mode 0 and keeps
# it until e2e_release TAG, as another program that has it locked would. Fails the test
# when the file cannot be taken. E2E_HOLD_PID_<TAG> is the holder's process.
e2e_hold() {
  local app=$1 file=$2 tag=${3:-1} exe="$E2E_TMP/hold_file.exe" deadline pid
  if [[ ! -x "$exe" ]]; then
    command -v x86_64-w64-mingw32-gcc >/dev/null || e2e_fail "x86_64-w64-mingw32-gcc is missing (MinGW-w64)"
    x86_64-w64-mingw32-gcc -O2 -municode -o "$exe" "$(dirname "${BASH_SOURCE[0]}")/hold_file.c" ||
      e2e_fail "could not build hold_file.exe"
  fi
  rm -f "$app/held-$tag.flag" "$app/release-$tag.flag"
  (cd "$app" && exec wine "$exe" "$file" "held-$tag.flag" "release-$tag.flag") >>"$E2E_TMP/wine.log" 2>&1 &
  pid=$!
  printf -v "E2E_HOLD_PID_$tag" '%s' "$pid"
  printf -v "E2E_HOLD_APP_$tag" '%s' "$app"
  deadline=$((SECONDS + 120))
  until [[ -e "$app/held-$tag.flag" ]]; do
    kill -0 "$pid" 2>/dev/null || e2e_fail "hold_file.exe could not open $file"
    ((SECONDS < deadline)) || e2e_fail "hold_file.exe did not take $file"
    sleep 0.2
  done
  rm -f "$app/held-$tag.flag"
}

# e2e_release [TAG]: lets the held file go and waits for the holder to end.
e2e_release() {
  local tag=${1:-1} pid app
  pid=E2E_HOLD_PID_$tag app=E2E_HOLD_APP_$tag
  touch "${!app}/release-$tag.flag"
  e2e_wait_exit "${!pid}" 20 || e2e_fail "hold_file.exe did not let the file go"
  rm -f "${!app}/release-$tag.flag"
}

# ---- shared set-ups and steps of the programs' windows -------------------------------

# e2e_calc EXPR: the value of an awk expression, truncated toward zero as the programs
# truncate (e2e_calc "7 * 2.8" gives 19).
e2e_calc() { awk "BEGIN { printf \"%d\", $1 }"; }

# e2e_build_drop: builds tests/e2e/xdnd_drop.c (drops as from a file manager); E2E_DROP is
# the tool.
e2e_build_drop() {
  E2E_DROP="$E2E_TMP/xdnd_drop"
  cc -O2 -o "$E2E_DROP" "$(dirname "${BASH_SOURCE[0]}")/xdnd_drop.c" -lX11 ||
    e2e_fail "could not build xdnd_drop (libx11-dev)"
}

# e2e_registration_app: a fresh program folder with drives S: (SOURCE, folder E2E_S) and T:
# (BACKUP) and T:\BK as the only destination, current. APP and LIST (its BkList) are set.
e2e_registration_app() {
  APP=$(e2e_app_copy)
  LIST="$APP/BkList"
  e2e_map_drive s SOURCE
  e2e_map_drive t BACKUP
  E2E_S="$E2E_TMP/drive-s"
  printf 'T:\\BK\nT:\\BK\n*\n*\n*\n1\n' >"$LIST/ToDrive.txt"
}

# e2e_power_off_app: a fresh program folder with drives S: (SOURCE) and T: (BACKUP), the
# source file S:\data\a.txt ("first file", dated 2024-01-02 03:04:05) and T:\A's mirror
# list TA3.ini registering it. APP is set; ToDrive.txt is the caller's.
e2e_power_off_app() {
  APP=$(e2e_app_copy)
  e2e_map_drive s SOURCE
  e2e_map_drive t BACKUP
  mkdir -p "$E2E_TMP/drive-s/data"
  printf 'first file\n' >"$E2E_TMP/drive-s/data/a.txt"
  touch -d '2024-01-02 03:04:05' "$E2E_TMP/drive-s/data/a.txt"
  printf '2S:\\data\ta.txt\t30000000000011\n' >"$APP/BkList/TA3.ini"
}

# e2e_earlier_report FILE: a report as an earlier run leaves it (its date line in
# Shift-JIS and one problem line).
e2e_earlier_report() {
  printf '\x94\xad\x90\xb6\x93\xfa\x95t[2026/12/01]\n(SYS)an earlier problem\n' >"$1"
}

# e2e_press WID X Y: a button of a program window, after a press on its bare surface: after
# a dialog has closed, Wine takes the first press only to give the window its input back.
e2e_press() {
  e2e_click "$1" 2 2
  sleep 0.3
  e2e_click "$1" "$2" "$3"
}

# e2e_choose WID BOX_X BOX_Y [KEYS...]: opens a combo box, presses the keys and ends the
# choice with Enter (no keys: the selected item is chosen again). After a dialog has
# closed, Wine takes the next press on a box only to give the window its input back; a
# press outside an open box just closes it. So: box, bare surface, box - which leaves the
# box open either way.
e2e_choose() {
  local wid=$1 x=$2 y=$3
  shift 3
  e2e_click "$wid" "$x" "$y"
  sleep 0.4
  e2e_click "$wid" 2 2
  sleep 0.4
  e2e_click "$wid" "$x" "$y"
  sleep 0.6
  if (($#)); then xdotool key "$@"; fi
  sleep 0.3
  xdotool key Return
  sleep 0.8
}

# e2e_settings_window [SECONDS]: the id of the backup program's settings window "Kestova".
e2e_settings_window() { e2e_wait_window --name '^Kestova$' "${1:-60}"; }

# e2e_shown CLASS WID: true while the window is on the screen. A search can fail when
# another window vanishes while it is being looked at: only three misses in a row count.
e2e_shown() {
  local try
  for try in 1 2 3; do
    xdotool search --onlyvisible --class "$1" 2>/dev/null | grep -qx "$2" && return 0
    ((try < 3)) && sleep 0.1
  done
  return 1
}

# e2e_message_window CLASS SECONDS [EXCEPT]: the id of a message of the program (a nameless
# window of its class) other than the window EXCEPT.
e2e_message_window() {
  local class=$1 deadline=$((SECONDS + ${2:-20})) except=${3:-} id
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --class "$class" 2>/dev/null); do
      [[ "$id" != "$except" && -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# e2e_lasting_message_window CLASS SECONDS [EXCEPT]: as e2e_message_window, but only a message
# still on the screen half a second later counts: a nameless window that only flashes up
# while another closes is not the message a user reads.
e2e_lasting_message_window() {
  local class=$1 deadline=$((SECONDS + ${2:-20})) except=${3:-} id
  while ((SECONDS < deadline)); do
    id=$(e2e_message_window "$class" $((deadline - SECONDS + 1)) "$except") || return 1
    sleep 0.5
    e2e_shown "$class" "$id" && e2e_geometry "$id" && { echo "$id"; return 0; }
  done
  return 1
}

# e2e_close_settings WID: closes the settings window with the pointer resting on it and
# waits for the backup program (E2E_PID) to end.
e2e_close_settings() {
  e2e_geometry "$1" || e2e_fail "the settings window went away"
  xdotool mousemove --sync $((E2E_X + 20)) $((E2E_Y + E2E_H - 10))
  xdotool key --window "$1" alt+F4 2>/dev/null
  e2e_wait_exit "$E2E_PID" 30 || e2e_fail "backup.exe did not end"
}

# e2e_close_registration REG: closes the registration window; WID is the settings window
# that comes back.
e2e_close_registration() {
  xdotool key --window "$1" alt+F4 2>/dev/null
  WID=$(e2e_settings_window 60) || e2e_fail "the settings window did not come back"
  sleep 1
}

# e2e_answer_no WID F: presses "いいえ" of a yes/no question shown at character size F
# (left W/2 + f, width trunc(8.6f), top trunc(H - 4.6f), height 3f).
e2e_answer_no() {
  local f=$2
  e2e_geometry "$1" || e2e_fail "the question went away"
  e2e_click "$1" $((E2E_W / 2 + f + 4 * f)) $(($(e2e_calc "$E2E_H - 4.6 * $f") + 3 * f / 2))
}

# e2e_countdown_window PID SECONDS: the id of Vespard's countdown screen (a window at least
# as wide as the screen); fails when the program ends first or the limit passes.
e2e_countdown_window() {
  local pid=$1 deadline=$((SECONDS + ${2:-120})) id
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --class '^[Vv]espard\.exe$' 2>/dev/null); do
      e2e_geometry "$id" 2>/dev/null || continue
      ((E2E_W >= 1280)) && { echo "$id"; return 0; }
    done
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# e2e_cancel_countdown PID: a left click on the countdown screen; the program must end.
e2e_cancel_countdown() {
  xdotool mousemove --sync 640 300
  sleep 0.2
  xdotool click 1
  e2e_wait_exit "$1" 20 || e2e_fail "Vespard.exe still running after the click"
}

# e2e_relay_calls: Wine's trace of calls (WINEDEBUG=+relay, set by the caller for one
# program) names only these functions, with their arguments, in that program's log. The
# list is kept in the prefix's registry, where it matters only to a program traced so.
E2E_RELAY_CALLS='gdi32.TextOutW;user32.DrawTextW;advapi32.OpenProcessToken;advapi32.LookupPrivilegeValueW;advapi32.AdjustTokenPrivileges;advapi32.InitiateSystemShutdownExW'
e2e_relay_calls() {
  wine_user_reg_has 'Software\\Wine\\Debug' '"RelayInclude"="'"$E2E_RELAY_CALLS"'"' && return 0
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$E2E_RELAY_CALLS" /f >/dev/null 2>&1 ||
    e2e_fail "could not set the relay trace's function list"
}

# ---- where to click ------------------------------------------------------------------

# e2e_layout F: where the scripts point at character size F, as the programs' own layout
# code places things (e2e_probe.exe layout), in client coordinates: the settings window's
# controls and help marks, E2E_SETTINGS_<CONTROL>=(left top width height), e.g.
# E2E_SETTINGS_REGISTER_BUTTON; the registration window's places, E2E_REG_<PLACE>=(x y
# left|right top|bottom), read through e2e_reg_at. Asked once per size.
e2e_layout() {
  local dir="$E2E_TMP/layout-$1" probe="$E2E_BUILD_DIR/tests/e2e_probe.exe"
  if [[ ! -f "$dir/layout.sh" ]]; then
    [[ -f "$probe" ]] || e2e_fail "$probe not found (build the windows preset)"
    mkdir -p "$dir"
    (cd "$dir" && timeout 120 wine "$probe" layout "$1" layout.sh) >>"$E2E_TMP/wine.log" 2>&1 ||
      e2e_fail "e2e_probe.exe could not give the layout at size $1"
  fi
  source "$dir/layout.sh"
}

# e2e_at CONTROL [DX DY]: "x y" of a settings window control (after e2e_layout): DX, DY
# from its top left corner, or its middle.
e2e_at() {
  local -n e2e_rect="E2E_SETTINGS_$1"
  ((${#e2e_rect[@]} == 4)) || e2e_fail "no layout of $1 (e2e_layout first)"
  if (($# == 3)); then
    echo $((e2e_rect[0] + $2)) $((e2e_rect[1] + $3))
  else
    echo $((e2e_rect[0] + e2e_rect[2] / 2)) $((e2e_rect[1] + e2e_rect[3] / 2))
  fi
}

# e2e_reg_at PLACE F [DX DY]: "x y" of a place of the registration window at character
# size F, moved by DX, DY pixels; its client size E2E_W x E2E_H comes from e2e_geometry.
# The places (e2e_probe_win32.cpp tells how each is taken from the layout):
#   type-1 … type-5     the type row's boxes (type-3 " ミラー(全て) "): their texts' middles
#   type-N-zone         the middle of a box's hover zone, at the row's height
#   type-N-blank        a box's leading blank, where its colour shows
#   type-gap-N          in the row between box N's zone and the next one's, on no box
#   delete              " 削除 "
#   type-row-band       the top edge of the type row's band (x 0)
#   search-box, search-button
#   drop-abort          a drop's " 登録中断 " box on the top line
#   file-count          the top left of the file count on the top line
#   list                the list's top left corner
#   list-row            where a row is clicked across, at the list's top: DY is the row's
#   list-rest, search-rest, top-right-rest
#                       where the pointer rests clear of the type row's band
e2e_reg_at() {
  local var=${1^^} x y
  var=E2E_REG_${var//-/_}
  e2e_layout "$2"
  declare -p "$var" >/dev/null 2>&1 || e2e_fail "no place $1 in the registration window"
  local -n e2e_place=$var
  x=${e2e_place[0]} y=${e2e_place[1]}
  [[ ${e2e_place[2]} == right ]] && x=$((E2E_W + x))
  [[ ${e2e_place[3]} == bottom ]] && y=$((E2E_H + y))
  echo $((x + ${3:-0})) $((y + ${4:-0}))
}

# e2e_reg_move PLACE F: the pointer onto a place (e2e_reg_at) of the registration window REG.
e2e_reg_move() {
  local x y
  e2e_geometry "$REG" || e2e_fail "the registration window went away"
  read -r x y < <(e2e_reg_at "$1" "$2")
  xdotool mousemove --sync $((E2E_X + x)) $((E2E_Y + y))
}

# e2e_reg_click PLACE F: a left click (e2e_click) on a place of the registration window REG.
e2e_reg_click() {
  local x y
  e2e_geometry "$REG" || e2e_fail "the registration window went away"
  read -r x y < <(e2e_reg_at "$1" "$2")
  e2e_click "$REG" "$x" "$y"
}

# ---- shared steps of the backup program -------------------------------------------------

# e2e_next_settings_window OLD: the settings window that opens after OLD has closed (a run
# in between): never the old window still on the screen.
e2e_next_settings_window() {
  local old=$1 deadline=$((SECONDS + 180)) id
  while ((SECONDS < deadline)); do
    id=$(xdotool search --onlyvisible --name '^Kestova$' 2>/dev/null | head -n1) || true
    [[ -n "$id" && "$id" != "$old" ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  e2e_fail "the settings window did not come back after the run"
}

# e2e_open_registration: "ファイル、フォルダーの登録" of the settings window WID (after
# e2e_layout); REG is the registration window.
e2e_open_registration() {
  e2e_press "$WID" $(e2e_at REGISTER_BUTTON)
  REG=$(e2e_wait_window --name '^バックアップ先 ' 30) ||
    { e2e_screenshot "${E2E_NAME%_e2e}-failure"; e2e_fail "the registration window did not appear"; }
  sleep 1
}

# e2e_drop_on_type F TYPE PATH...: the pointer onto box TYPE (1 … 5) of the registration
# window REG, then PATH... dropped there as from a file manager (e2e_build_drop first).
e2e_drop_on_type() {
  local f=$1 type=$2 x y
  shift 2
  e2e_geometry "$REG"
  read -r x y < <(e2e_reg_at "type-$type" "$f")
  xdotool mousemove --sync $((E2E_X + x)) $((E2E_Y + y))
  sleep 0.4
  timeout 20 "$E2E_DROP" "$REG" $((E2E_X + x)) $((E2E_Y + y)) "$@" || e2e_fail "the drop did not finish"
}

# e2e_backup_run NAME: "バックアップの実行" of the settings window WID, then the settings
# window that comes back (WID again). A message meanwhile (a problem) fails the test with
# its picture and the report REPORT.
e2e_backup_run() {
  local old=$WID deadline=$((SECONDS + 180)) id msg shot="${E2E_NAME%_e2e}-$1"
  e2e_press "$WID" $(e2e_at BACKUP_BUTTON)
  while :; do
    id=$(xdotool search --onlyvisible --name '^Kestova$' 2>/dev/null | head -n1) || true
    [[ -n "$id" && "$id" != "$old" ]] && break
    if msg=$(e2e_lasting_message_window '^backup\.exe$' 1); then
      sleep 0.5
      e2e_screenshot "$shot-message" "$msg" || true
      e2e_fail "$1: a message came (build/screenshots/$shot-message.png); report: $(iconv -f CP932 -t UTF-8 <"$REPORT" 2>/dev/null)"
    fi
    ((SECONDS < deadline)) || { e2e_screenshot "$shot-failure"; e2e_fail "$1: the settings window did not come back"; }
    sleep 0.2
  done
  WID=$id
  sleep 1
}

# e2e_start_backup APP [--traced]: starts APP/backup.exe; WID is its settings window. With
# --traced Wine's trace of the calls e2e_relay_calls names goes into the log.
e2e_start_backup() {
  if [[ "${2:-}" == --traced ]]; then
    e2e_relay_calls
    WINEDEBUG=+relay e2e_launch "$1/backup.exe"
  else
    e2e_launch "$1/backup.exe"
  fi
  WID=$(e2e_settings_window 180) || e2e_fail "the settings window did not appear"
  sleep 1
}
