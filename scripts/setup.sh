#!/usr/bin/env bash
# Installs what the project needs from Debian's packages, then checks that every command the
# scripts, the test programs and the benchmarks call is on the PATH. Quiet and quick when all
# is there; stops with one line naming the command and its package when one is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build gcc g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool imagemagick fonts-ipafont-gothic
  rsync strace perl libx11-dev llvm-14
)

# Each command the project calls, with the package of PACKAGES that brings it. Commands of
# Debian's required packages (coreutils, findutils, grep, sed, util-linux, …) are always there.
COMMANDS=(
  cmake:cmake ninja:ninja-build cc:gcc g++:g++ clang:clang
  x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-gcc:g++-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-windres:g++-mingw-w64-x86-64-posix
  wine:wine wineboot:wine wineserver:wine
  Xvfb:xvfb xdotool:xdotool import:imagemagick
  rsync:rsync strace:strace perl:perl llvm-cov-14:llvm-14 llvm-profdata-14:llvm-14
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Files the build needs that no command stands for.
FILES=(
  /usr/src/googletest/CMakeLists.txt:googletest
  /usr/include/X11/Xlib.h:libx11-dev
  /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf:fonts-ipafont-gothic
)

status=0
for entry in "${COMMANDS[@]}"; do
  command=${entry%%:*}
  if ! command -v "$command" >/dev/null 2>&1; then
    echo "setup: the command '$command' is missing (Debian package ${entry#*:})" >&2
    status=1
  fi
done
for entry in "${FILES[@]}"; do
  if [[ ! -e ${entry%%:*} ]]; then
    echo "setup: the file '${entry%%:*}' is missing (Debian package ${entry#*:})" >&2
    status=1
  fi
done
if ! echo 'int LLVMFuzzerTestOneInput(const char *d, unsigned long n) { return d && n; }' | clang -x c - -fsanitize=fuzzer -o /dev/null 2>/dev/null; then
  echo "setup: clang cannot link a fuzz target (Debian package libclang-rt-14-dev)" >&2
  status=1
fi
exit "$status"
