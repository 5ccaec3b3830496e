#!/usr/bin/env bash
# Builds the Windows programs into build/windows/dist and starts the backup program under
# Wine: on $DISPLAY when there is one, otherwise on a virtual display (Xvfb), where a
# screenshot of its window is saved to build/screenshots/run.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
# A failed build stops here: otherwise the previous build's binaries would run.
if ! build_log=$(cmake --build --preset windows -j "$(nproc)" 2>&1); then
  printf '%s\n' "$build_log" | tail -n 60
  echo "run: the build failed; nothing started" >&2
  exit 1
fi
DIST=build/windows/dist
test -f "$DIST/backup.exe"
export WINEPREFIX="$PWD/build/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The programs ask for "MS ゴシック"; IPAGothic stands in for it. Without it they still run.
bash scripts/wine-prefix.sh --name run || echo "run: the window's font may look wrong"
# A first backup to try: a demonstration source drive S: and a backup drive T: (both plain
# folders under build/demo), made once and left for the user to look at.
DEMO="$PWD/build/demo"
if [[ ! -d "$DEMO/source" ]]; then
  mkdir -p "$DEMO/source/写真" "$DEMO/source/書類/2026" "$DEMO/backup"
  printf '旅行の写真（見本）\n' >"$DEMO/source/写真/旅行.txt"
  printf '見積書（見本）\n' >"$DEMO/source/書類/見積書.txt"
  printf '議事録（見本）\n' >"$DEMO/source/書類/2026/議事録.txt"
  printf 'DEMO-SOURCE' >"$DEMO/source/.windows-label"
  printf 'DEMO-BACKUP' >"$DEMO/backup/.windows-label"
fi
for pair in "s:$DEMO/source" "t:$DEMO/backup"; do
  link="$WINEPREFIX/dosdevices/${pair%%:*}:"
  [[ -e "$link" ]] || ln -s "${pair#*:}" "$link"
done
cat <<MSG
run: a demonstration source is drive S: (build/demo/source) and a backup drive T:
run: (build/demo/backup). In the window: type a folder name (e.g. BK), choose "T:\DEMO-BACKUP"
run: in the drive box, choose the new destination under "バックアップの実行"'s selector, then use
run: "ファイル、フォルダーの登録" and "バックアップの実行"; the copies appear in build/demo/backup.
MSG
if [[ -n "${DISPLAY:-}" ]]; then
  echo "run: starting $DIST/backup.exe on $DISPLAY"
  exec wine "$DIST/backup.exe"
fi
mkdir -p build/screenshots
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
wine "$DIST/backup.exe" >/dev/null 2>&1 &
for _ in $(seq 1 60); do
  xdotool search --name '^Kestova$' >/dev/null 2>&1 && break
  sleep 1
done
sleep 2
import -window root build/screenshots/run.png
echo "run: no display here; the settings window ran on the virtual display $display."
echo "run: its screenshot is build/screenshots/run.png"
