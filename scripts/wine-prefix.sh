#!/usr/bin/env bash
# Makes the private Wine prefix $WINEPREFIX ready for the programs: created on first use
# (about 15 s, without the Mono and Gecko installers) and, unless --no-font, the face
# "MS ゴシック" the programs' fixed-pitch font asks for mapped to IPAGothic.
#
#   WINEPREFIX=... bash scripts/wine-prefix.sh [--no-font] [--name NAME]
#
# Sourced (by tests/e2e/lib.sh), it only defines the functions wine_prefix_ready,
# wine_prefix_make, wine_prefix_font and wine_user_reg_has. Messages start with NAME.

WINE_PREFIX_NAME=${WINE_PREFIX_NAME:-wine-prefix}
WINE_FONT_FACE="MS ゴシック"
WINE_FONT_FILE_FACE=IPAGothic

wine_prefix_say() { echo "$WINE_PREFIX_NAME: $*" >&2; }

# wine_user_reg_has KEY LINE: the prefix's saved user registry holds LINE under [KEY]
# (written as the file writes them, e.g. 'Software\\Wine\\Debug' and '"Name"="value"').
# Reading the file spares starting Wine; a value not saved there yet is asked of Wine.
wine_user_reg_has() {
  [[ -f "$WINEPREFIX/user.reg" ]] || return 1
  KEY="[$1]" LINE="$2" awk '
    BEGIN { key = ENVIRON["KEY"]; line = ENVIRON["LINE"] }
    index($0, key) == 1 { inside = 1; next }
    /^\[/ { inside = 0 }
    inside && $0 == line { found = 1 }
    END { exit !found }' "$WINEPREFIX/user.reg"
}

# Creates the prefix when it has no system registry yet.
wine_prefix_make() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  wine_prefix_say "creating the Wine prefix $WINEPREFIX (first time, about 15 s)"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
}

# The value name goes in as UTF-8 and is stored right, but reg's console output shows
# it as "MS ????": the check asks for the value by name and looks at its data instead.
wine_prefix_has_font() {
  local out
  out=$(LC_ALL=C.UTF-8 wine reg query 'HKCU\Software\Wine\Fonts\Replacements' /v "$WINE_FONT_FACE" 2>/dev/null) &&
    grep -q "REG_SZ *$WINE_FONT_FILE_FACE" <<<"$out"
}

# Maps "MS ゴシック" to IPAGothic for the programs of this prefix, and checks it took.
wine_prefix_font() {
  # The face name as the file writes it: "MS " and ゴシック in \x escapes.
  if ! wine_user_reg_has 'Software\\Wine\\Fonts\\Replacements' \
    '"MS \x30b4\x30b7\x30c3\x30af"="'"$WINE_FONT_FILE_FACE"'"' && ! wine_prefix_has_font; then
    # Command-line arguments reach Wine in the locale's encoding: the face name is UTF-8.
    LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$WINE_FONT_FACE" /t REG_SZ \
      /d "$WINE_FONT_FILE_FACE" /f >/dev/null 2>&1 || { wine_prefix_say "could not set the font replacement"; return 1; }
    wine_prefix_has_font || { wine_prefix_say "the font replacement did not take"; return 1; }
  fi
  wineserver -w
}

# wine_prefix_ready [--no-font]: the prefix made and, unless --no-font, its font mapped.
wine_prefix_ready() {
  [[ -n "${WINEPREFIX:-}" ]] || { wine_prefix_say "WINEPREFIX is not set"; return 2; }
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  wine_prefix_make || return 1
  mkdir -p "$WINEPREFIX/dosdevices"
  [[ "${1:-}" == --no-font ]] || wine_prefix_font
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  set -euo pipefail
  font=
  while (($#)); do
    case $1 in
      --no-font) font=--no-font ;;
      --name) WINE_PREFIX_NAME=$2; shift ;;
      *) echo "usage: WINEPREFIX=... $0 [--no-font] [--name NAME]" >&2; exit 2 ;;
    esac
    shift
  done
  wine_prefix_ready $font
fi
