#!/usr/bin/env bash
# Runs the cross-built test suite under Wine with the Win32 adapter.
#
#   scripts/wine-tests.sh BUILD_DIR [gtest arguments...]
#
# Uses a private prefix (BUILD_DIR/wineprefix, made on first use), maps the drives the
# sandbox expects to fresh temporary folders (P: program, S: source, T: backup,
# U: second backup, each with its volume label; L: a fixed tree of Unix symbolic links the
# sandbox never empties), runs BUILD_DIR/tests/bk_tests.exe and
# exits with its status. Runs on the same build folder take turns (a lock), since the
# drive letters of one prefix are shared.
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 BUILD_DIR [gtest arguments...]" >&2
  exit 2
fi
BUILD_DIR=$(cd "$1" && pwd)
shift
EXE="$BUILD_DIR/tests/bk_tests.exe"
if [[ ! -f "$EXE" ]]; then
  echo "wine-tests: $EXE not found (build the windows preset first)" >&2
  exit 2
fi

export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

exec 9>"$BUILD_DIR/wine-tests.lock"
flock 9

WORK=""
LOG=""
DRIVES=(p s t u l)
cleanup() {
  local rc=$?
  wineserver -k >/dev/null 2>&1 || true
  for d in "${DRIVES[@]}"; do
    link="$WINEPREFIX/dosdevices/$d:"
    # Only links into our own temporary folder: never touch a mapping someone else made.
    if [[ -n "$WORK" && -L "$link" && "$(readlink "$link")" == "$WORK"/* ]]; then rm -f "$link"; fi
  done
  if [[ -n "$WORK" && -d "$WORK" ]]; then
    chmod -R u+rwX "$WORK" 2>/dev/null || true
    rm -rf "$WORK"
  fi
  [[ -n "$LOG" ]] && rm -f "$LOG"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$(dirname "$0")/wine-prefix.sh" --no-font --name wine-tests

WORK=$(mktemp -d "${TMPDIR:-/tmp}/bk-wine-XXXXXX")
LOG="$WORK.log"
declare -A LABELS=([p]=PROGRAM [s]=SOURCE [t]=BACKUP [u]=BACKUP2 [l]=LINKS)
for d in "${DRIVES[@]}"; do
  folder="$WORK/${d^^}"
  mkdir -p "$folder"
  # No line end: Wine takes the file's text as the label.
  printf '%s' "${LABELS[$d]}" >"$folder/.windows-label"
  link="$WINEPREFIX/dosdevices/$d:"
  rm -f "$link"
  ln -s "$folder" "$link"
done

# Unix symbolic links inside a drive, which Windows code cannot make: one to its parent
# folder (a loop), one to a folder, one to a file and one whose target is gone. The tests
# only read them (Win32UnixLinks).
mkdir -p "$WORK/L/tree/sub"
printf 'linked data' >"$WORK/L/tree/sub/data.txt"
ln -s .. "$WORK/L/tree/sub/up"
ln -s sub "$WORK/L/tree/folder-link"
ln -s sub/data.txt "$WORK/L/tree/file-link"
ln -s missing.txt "$WORK/L/tree/gone-link"

# Shift-JIS output (paths in failure messages) is shown as UTF-8, line by line as it
# comes; the raw bytes stay in the log for the summary.
to_utf8() {
  if perl -MEncode -e 'exit 0' 2>/dev/null; then
    perl -MEncode -ne 'BEGIN { $| = 1 } print encode("UTF-8", decode("cp932", $_))'
  else
    cat
  fi
}

set +e
wine "$EXE" --gtest_brief=1 "$@" 2>&1 | tee "$LOG" | to_utf8
status=${PIPESTATUS[0]}
set -e

echo "---- wine-tests summary ($(basename "$EXE"), exit $status)"
grep -aE '^\[(==========|  PASSED  |  FAILED  |  SKIPPED )\]' "$LOG" | to_utf8 || echo "(no gtest summary: the test program did not finish)"
exit "$status"
