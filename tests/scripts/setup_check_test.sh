#!/usr/bin/env bash
# The set-up script on a machine that lacks a promised command: it must stop with one line
# naming the command and the package that provides it, and exit non-zero. The machine is
# imitated by a PATH that holds every command of this one except the chosen ones.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/bk-setup-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failed=0

# path_without NAME...: a folder of links to every command on the PATH but NAME...
path_without() {
  local dir=$WORK/path-$RANDOM d f name skip
  mkdir -p "$dir"
  IFS=: read -ra dirs <<<"$PATH"
  for d in "${dirs[@]}"; do
    for f in "$d"/*; do
      name=${f##*/}
      [[ -x $f && ! -e $dir/$name ]] || continue
      skip=0
      for s in "$@"; do [[ $name == "$s" ]] && skip=1; done
      ((skip)) || ln -s "$f" "$dir/$name"
    done
  done
  echo "$dir"
}

expect_stop() {  # expect_stop COMMAND PACKAGE: setup.sh without COMMAND names it and fails
  local command=$1 package=$2 dir out rc
  dir=$(path_without "$command")
  out=$(PATH=$dir bash "$ROOT/scripts/setup.sh" 2>&1); rc=$?
  if [[ $rc -eq 0 ]]; then
    echo "FAIL: setup.sh passed without '$command'"; failed=1
  elif ! grep -qxF "setup: the command '$command' is missing (Debian package $package)" <<<"$out"; then
    echo "FAIL: setup.sh without '$command' said: $out"; failed=1
  else
    echo "ok: without '$command': $out"
  fi
}

expect_stop xdotool xdotool
expect_stop wineboot wine
expect_stop x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix

# With everything there it passes quietly.
out=$(bash "$ROOT/scripts/setup.sh" 2>&1); rc=$?
if [[ $rc -ne 0 || -n $out ]]; then echo "FAIL: setup.sh on this machine: exit $rc: $out"; failed=1; fi
exit "$failed"
