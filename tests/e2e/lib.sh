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
E2E_FONT_FACE="MS ゴシック"
E2E_FONT_FILE_FACE=IPAGothic
E2E_SCREENSHOTS=
E2E_DRIVES=()

e2e_log() { echo "$E2E_NAME: $*" >&2; }
e2e_fail() {
  echo "$E2E_NAME: $*"
  exit 1
}

e2e_cleanup() {
  local rc=$?
  if [[ -n "$E2E_BUILD_DIR" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
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
  for tool in wine wineserver Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "$E2E_NAME: $tool is missing (scripts/setup.sh installs it)"; exit 2; }
  done

  export WINEPREFIX="$E2E_BUILD_DIR/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Command-line arguments reach Wine in the locale's encoding: the face name is UTF-8.
  export LC_ALL=C.UTF-8

  exec 9>"$E2E_BUILD_DIR/wine-tests.lock"
  flock -w 900 9 || { echo "$E2E_NAME: the Wine prefix stayed busy"; exit 1; }
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/bk-e2e-XXXXXX")

  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    e2e_log "creating the Wine prefix (first time, about 15 s)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  e2e_font_replacement
}

# Maps "MS ゴシック" to IPAGothic for the programs of this prefix, and checks it took.
# The value name goes in as UTF-8 and is stored right, but reg's console output shows
# it as "MS ????": the check asks for the value by name and looks at its data instead.
e2e_has_font_replacement() {
  local out
  out=$(wine reg query 'HKCU\Software\Wine\Fonts\Replacements' /v "$E2E_FONT_FACE" 2>/dev/null) &&
    grep -q "REG_SZ *$E2E_FONT_FILE_FACE" <<<"$out"
}
e2e_font_replacement() {
  if ! e2e_has_font_replacement; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$E2E_FONT_FACE" /t REG_SZ \
      /d "$E2E_FONT_FILE_FACE" /f >/dev/null 2>&1 || e2e_fail "could not set the font replacement"
    e2e_has_font_replacement || e2e_fail "the font replacement did not take"
  fi
  wineserver -w
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
    import -window root -crop "${E2E_W}x${E2E_H}+${E2E_X}+${E2E_Y}" +repage "$E2E_SCREENSHOTS/$1-window.png"
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
