#!/usr/bin/env bash
# Builds the Windows programs into build/windows/dist and starts them under Wine.
# For now the layout reset program is what there is to run: it rewrites
# dist/BkList/SizePos.txt with the default layout, which is shown afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" | grep -aE 'error|FAILED|Linking' || true
DIST=build/windows/dist
test -f "$DIST/thread.exe"
export WINEPREFIX="$PWD/build/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "run: creating the Wine prefix (first time, about 15 s)"
  wineboot -i >/dev/null 2>&1; wineserver -w
fi
echo "run: $DIST/thread.exe"
wine "$DIST/thread.exe"
wineserver -w
echo "run: $DIST/BkList/SizePos.txt now reads:"
cat -A "$DIST/BkList/SizePos.txt"
