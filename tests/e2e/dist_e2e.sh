#!/usr/bin/env bash
# The distributable as a user unpacks it: the zip holds the four programs, BkList with its
# three files and the guide; the guide is Shift-JIS a Japanese Windows reads as written
# (every character comes back the same, no byte-order mark, CR LF line ends), is the
# guide of this source tree, and names what a user needs.
set -euo pipefail
NAME=dist_e2e
BUILD=$(cd "${1:-build/windows}" && pwd) || { echo "$NAME: no build folder ${1:-build/windows}"; exit 2; }
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "$NAME: $*"; exit 1; }
for tool in cmake iconv cmp od; do
  command -v "$tool" >/dev/null || { echo "$NAME: $tool is missing (scripts/setup.sh)"; exit 2; }
done

ZIP="$BUILD/backup-tool.zip"
GUIDE="使い方.txt"
[[ -f "$ZIP" ]] || fail "$ZIP not found (build the windows preset)"
TMP=$(mktemp -d "${TMPDIR:-/tmp}/bk-dist-XXXXXX")
trap 'rm -rf "$TMP"' EXIT
(cd "$TMP" && cmake -E tar xf "$ZIP") || fail "the zip cannot be unpacked"

for f in backup.exe Vespard.exe initialize.exe thread.exe BkList/ToDrive.txt BkList/SizePos.txt \
  "BkList/ANIS_LF形式で保存するための原本.txt" "$GUIDE"; do
  [[ -f "$TMP/$f" ]] || fail "the zip lacks $f: $(cd "$TMP" && find . -type f | sort | tr '\n' ' ')"
done
cmp -s "$TMP/$GUIDE" "$BUILD/dist/$GUIDE" || fail "the zip's guide is not the one in dist/"

G="$TMP/$GUIDE"
[[ "$(od -An -tx1 -N3 "$G" | tr -d ' ')" != efbbbf ]] || fail "the guide begins with a byte-order mark"
UTF8="$TMP/guide.utf8"
iconv -f CP932 -t UTF-8 "$G" >"$UTF8" 2>"$TMP/iconv.err" || fail "the guide is not valid code page 932: $(cat "$TMP/iconv.err")"
iconv -f UTF-8 -t CP932 "$UTF8" | cmp -s - "$G" || fail "the guide does not come back the same through code page 932"
# CR LF throughout: no LF without its CR, no CR without its LF.
lines=$(grep -c '' "$G")
crlf=$(grep -c $'\r$' "$G") || true
[[ $lines -gt 0 && $crlf -eq $lines ]] || fail "$((lines - crlf)) of $lines lines do not end in CR LF"
[[ $(tr -cd '\r' <"$G" | wc -c) -eq $lines ]] || fail "the guide holds a CR inside a line"
tr -d '\r' <"$UTF8" | cmp -s - "$ROOT/packaging/guide/$GUIDE" || fail "the guide is not packaging/guide/$GUIDE"

# What the guide must tell, in the programs' own words.
for want in backup.exe Vespard.exe initialize.exe thread.exe BkList "「　エラー報告.txt」" \
  "「ファイル、フォルダーの登録」" "「バックアップの実行」" "「登録全てのバックアップ」" \
  "「バックアップ後、自動でPCの電源を切る時のバックアップ先」" "「本当に削除（初期化）しますか？」" \
  "「ミラー(全て)」" "「差分(除外)」" "(SYS)" "(ENT)" "(PGM)" "(UPD)" "(CPY)" "(ADD)" \
  "名前を変えたフォルダー" "「除外」の行" "名前が「.」で始まるファイルとフォルダー" "フォルダーへのリンク" \
  "ほかのプログラムが使用中のファイル"; do
  grep -qF -- "$want" "$UTF8" || fail "the guide never says $want"
done
echo "$NAME: ok"
