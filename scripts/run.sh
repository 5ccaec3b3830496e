#!/usr/bin/env bash
# Builds the Windows programs into build/windows/dist and starts the backup program under
# Wine: on $DISPLAY when there is one, otherwise on a virtual display (Xvfb), where a
# screenshot of its window is saved to build/screenshots/run.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" | grep -aE 'error|FAILED' || true
DIST=build/windows/dist
test -f "$DIST/backup.exe"
export WINEPREFIX="$PWD/build/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "run: creating the Wine prefix (first time, about 15 s)"
  wineboot -i >/dev/null 2>&1; wineserver -w
  # The programs ask for "MS ゴシック"; IPAGothic stands in for it.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS ゴシック' /t REG_SZ /d IPAGothic /f >/dev/null 2>&1 || true
  wineserver -w
fi
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
