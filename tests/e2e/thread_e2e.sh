#!/usr/bin/env bash
# thread.exe, started from another working folder, writes the default layout into the
# SizePos.txt beside it, byte for byte, and touches nothing else.
set -euo pipefail
BUILD_DIR=$(cd "${1:-build/windows}" && pwd)
export WINEPREFIX="$BUILD_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$(dirname "$0")/../../scripts/wine-prefix.sh" --no-font --name thread_e2e
WORK=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
cp -r "$BUILD_DIR/dist" "$WORK/app"
printf '12\n00010\n' >"$WORK/app/BkList/SizePos.txt"
cp "$WORK/app/BkList/ToDrive.txt" "$WORK/ToDrive.before"
mkdir "$WORK/elsewhere"
(cd "$WORK/elsewhere" && timeout 120 wine "$WORK/app/thread.exe")
wineserver -w
expected=$(printf '07\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n77777\n00000\n00000\n' | od -An -c)
actual=$(od -An -c "$WORK/app/BkList/SizePos.txt")
fail=0
if [[ "$expected" != "$actual" ]]; then echo "thread_e2e: SizePos.txt differs:"; cat -A "$WORK/app/BkList/SizePos.txt"; fail=1; fi
if [[ -n "$(ls -A "$WORK/elsewhere")" ]]; then echo "thread_e2e: files written into the starting folder"; fail=1; fi
cmp -s "$WORK/ToDrive.before" "$WORK/app/BkList/ToDrive.txt" || { echo "thread_e2e: ToDrive.txt changed"; fail=1; }
(cd "$WORK/app" && timeout 120 wine "$WORK/app/thread.exe"); wineserver -w
[[ "$(od -An -c "$WORK/app/BkList/SizePos.txt")" == "$expected" ]] || { echo "thread_e2e: second run differs"; fail=1; }
[[ $fail -eq 0 ]] && echo "thread_e2e: ok"
exit $fail
