#!/usr/bin/env bash
# The registration window driven by drops as from a file manager: a folder tree onto
# " ミラー(全て) ", files onto " ファイル ", a folder whose file is already registered as
# a file onto " ミラー(除外) " (rejected, listed, message), a folder onto " ファイル "
# (refused), a drop between two boxes (ignored), a folder with a name past the old 259-byte
# limit (registered),
# a big scan stopped by " 登録中断 ", a type switched by a click, search, deletion; the
# list files are checked byte for byte. A second start at character size 12 shows the
# window with its lists.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init registration_e2e "${1:-build/windows}"
e2e_start_display

e2e_build_drop
e2e_registration_app
S=$E2E_S
DUPS="$APP/　重複登録リスト.txt"
REPORT="$APP/　エラー報告.txt"

# The sources. A folder name whose last byte in Shift-JIS is 0x5C (表), a file name with
# ソ (0x83 0x5C), a folder holding only a folder, an empty folder, a dot file (never
# registered).
TREE="$S/データ表"
mkdir -p "$TREE/sub/deep" "$TREE/empty" "$TREE/nest/inner"
printf 'alpha\n' >"$TREE/a.txt"
printf 'ソースの中身\n' >"$TREE/ソース.txt"
printf 'bb\n' >"$TREE/sub/b.txt"
printf 'ccc\n' >"$TREE/sub/deep/c.txt"
printf 'x\n' >"$TREE/nest/inner/x.txt"
printf 'hidden\n' >"$TREE/.dot"
mkdir -p "$S/files" "$S/dup"
printf 'one\n' >"$S/files/one.txt"
printf 'two two\n' >"$S/files/two.txt"
printf '表示\n' >"$S/files/表示.txt"
printf 'dup\n' >"$S/dup/one.txt"
printf 'extra!\n' >"$S/dup/extra.txt"
mkdir -p "$S/more" "$S/rep"
# One name whose copy under T:\BK passes 259 bytes (the system holds 255 units a name).
LONG=$(printf 'L%.0s' {1..250})
printf 'ok\n' >"$S/rep/ok.txt"
printf 'long\n' >"$S/rep/$LONG"
printf 'm1\n' >"$S/more/m1.txt"
printf 'm2 m2\n' >"$S/more/m2.txt"

# A big tree for the stopped scan: 40 x 100 folders of 5 files, so that the walk through
# the folders takes seconds.
BIG="$S/big"
mkdir -p "$BIG"/d{0..39}/e{0..99}
(cd "$BIG" && awk 'BEGIN { for (i = 0; i < 40; i++) for (j = 0; j < 100; j++) for (k = 0; k < 5; k++)
  printf "d%d/e%d/f%d.dat\n", i, j, k }' | xargs touch)
BIG_FILES=20000

f=7
e2e_layout "$f"

# expect_file PATH UTF8_TEXT: the file holds exactly the text in Shift-JIS.
expect_file() {
  local want
  want=$(printf '%s' "$2" | iconv -f UTF-8 -t CP932 | od -An -tx1)
  [[ -f "$1" ]] || e2e_fail "$(basename "$1") is missing"
  [[ "$(od -An -tx1 <"$1")" == "$want" ]] ||
    e2e_fail "$(basename "$1") differs: $(iconv -f CP932 -t UTF-8 <"$1" | cat -A | head -20)"
}
# sorted_lines UTF8_LINES...: the lines in Shift-JIS byte order, converted back.
sorted_lines() {
  printf '%s\n' "$@" | iconv -f UTF-8 -t CP932 | LC_ALL=C sort | iconv -f CP932 -t UTF-8
}
no_file() { [[ ! -e "$1" ]] || e2e_fail "$(basename "$1") exists: $(iconv -f CP932 -t UTF-8 <"$1" | head -5)"; }
size13() { printf '%013d' "$(stat -c %s "$1")"; }

press() { e2e_press "$WID" "$1" "$2"; }  # a button of the settings window
settings_window() { e2e_settings_window "${1:-60}"; }
registration_window() { e2e_wait_window --name '^バックアップ先 ' 30; }
# A message window: nameless, of the program's class, the pointer on its button.
message_window() { e2e_message_window '^backup\.exe$' "${1:-20}" "$REG"; }
no_message() {
  local id
  for id in $(xdotool search --onlyvisible --class '^backup\.exe$' 2>/dev/null); do
    [[ "$id" != "$REG" && -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]] && {
      e2e_screenshot registration-unexpected-message "$id"
      e2e_fail "an unexpected message: build/screenshots/registration-unexpected-message.png"
    }
  done
  return 0
}
# acknowledge NAME: waits for the message, keeps its picture and presses "了解", on which
# the message put the pointer; then a press on the bare surface gives the window back its
# input (Wine takes the first press after a dialog only for that).
acknowledge() {
  local msg
  msg=$(message_window) || { e2e_screenshot "$1-missing"; e2e_fail "no message ($1)"; }
  sleep 0.5
  e2e_screenshot "$1" "$msg"
  e2e_pointer
  xdotool click 1
  local deadline=$((SECONDS + 10))
  while xdotool search --onlyvisible --class '^backup\.exe$' 2>/dev/null | grep -qx "$msg"; do
    ((SECONDS < deadline)) || e2e_fail "the message ($1) stayed after 了解"
    sleep 0.2
  done
  sleep 0.3
  e2e_click "$REG" 2 2
  sleep 0.3
}

# drop PLACE PATH...: the pointer goes to that place of the registration window
# (e2e_reg_at), the window repaints the box under it, then the paths are dropped there.
drop() {
  local x y
  e2e_geometry "$REG"
  read -r x y < <(e2e_reg_at "$1" "$f")
  shift
  xdotool mousemove --sync $((E2E_X + x)) $((E2E_Y + y))
  sleep 0.4
  timeout 20 "$E2E_DROP" "$REG" $((E2E_X + x)) $((E2E_Y + y)) "$@" || e2e_fail "the drop on $x,$y did not finish"
}
# wait_list FILE LINES SECONDS: waits until FILE holds LINES lines (the merge saved it).
wait_list() {
  local deadline=$((SECONDS + $3))
  while [[ ! -f "$1" || $(wc -l <"$1") -ne $2 ]]; do
    ((SECONDS < deadline)) || e2e_fail "$(basename "$1") did not reach $2 lines: $(cat "$1" 2>/dev/null | iconv -f CP932 -t UTF-8 | cat -A | head)"
    sleep 0.2
  done
  sleep 0.5
}

# ---- start at character size 7, open the registration window ----
e2e_launch "$APP/backup.exe"
WID=$(settings_window 180) || e2e_fail "the settings window did not appear"
sleep 1
press $(e2e_at REGISTER_BUTTON)  # "ファイル、フォルダーの登録"
REG=$(registration_window) || { e2e_screenshot registration-failure; e2e_fail "the registration window did not appear"; }
sleep 1
e2e_geometry "$REG"
e2e_log "registration window ${E2E_W}x${E2E_H} at ${E2E_X},${E2E_Y}"

# ---- a folder tree onto " ミラー(全て) " ----
drop type-3 "$TREE"
want3=$(sorted_lines \
  "2S:\\データ表	a.txt	3$(size13 "$TREE/a.txt")" \
  "2S:\\データ表	ソース.txt	3$(size13 "$TREE/ソース.txt")" \
  "2S:\\データ表\\sub	b.txt	3$(size13 "$TREE/sub/b.txt")" \
  "2S:\\データ表\\sub\\deep	c.txt	3$(size13 "$TREE/sub/deep/c.txt")" \
  "2S:\\データ表\\empty	"$'\b\b\b'"	30000000000000" \
  "2S:\\データ表\\nest	"$'\b\b\b'"	30000000000000" \
  "2S:\\データ表\\nest\\inner	x.txt	3$(size13 "$TREE/nest/inner/x.txt")")
wait_list "$LIST/TBK3.ini" 7 30
expect_file "$LIST/TBK3.ini" "$want3"$'\n'
no_message
no_file "$REPORT"
no_file "$DUPS"
e2e_screenshot registration-f7-mirror-all "$REG"

# ---- files onto " ファイル " ----
drop type-1 "$S/files/one.txt" "$S/files/two.txt" "$S/files/表示.txt" "$S/dup/one.txt"
want1=$(sorted_lines \
  "2S:\\files	one.txt	1$(size13 "$S/files/one.txt")" \
  "2S:\\files	two.txt	1$(size13 "$S/files/two.txt")" \
  "2S:\\files	表示.txt	1$(size13 "$S/files/表示.txt")" \
  "2S:\\dup	one.txt	1$(size13 "$S/dup/one.txt")")
wait_list "$LIST/TBK1.ini" 4 30
expect_file "$LIST/TBK1.ini" "$want1"$'\n'
no_message
no_file "$REPORT"
expect_file "$LIST/TBK3.ini" "$want3"$'\n'

# ---- a folder whose one.txt is registered as a file, onto " ミラー(除外) " ----
day=$(date +%Y/%m/%d)
drop type-2 "$S/dup"
acknowledge registration-duplicate-message-f7
wait_list "$LIST/TBK2.ini" 1 30
expect_file "$LIST/TBK2.ini" "2S:\\dup	extra.txt	2$(size13 "$S/dup/extra.txt")"$'\n'
[[ $(date +%Y/%m/%d) == "$day" ]] || day=$(date +%Y/%m/%d)  # midnight passed meanwhile
expect_file "$DUPS" "発生日付[$day]　登録タイプ[ミラー(除外)]"$'\n'"S:\\dup\\one.txt	ファイル"$'\n'
no_file "$REPORT"
expect_file "$LIST/TBK1.ini" "$want1"$'\n'

# ---- a folder onto " ファイル ": refused with a message, nothing registered ----
drop type-1 "$S/files"
acknowledge registration-folder-on-file-type-f7
sleep 1
expect_file "$LIST/TBK1.ini" "$want1"$'\n'
no_file "$REPORT"

# ---- between " 差分(除外) " and " 差分(全て) ": no box, nothing happens ----
drop type-gap-4 "$S/files/one.txt"
sleep 2
no_message
for n in 4 5; do no_file "$LIST/TBK$n.ini"; done
no_file "$REPORT"
expect_file "$LIST/TBK1.ini" "$want1"$'\n'
expect_file "$LIST/TBK2.ini" "2S:\\dup	extra.txt	2$(size13 "$S/dup/extra.txt")"$'\n'
expect_file "$LIST/TBK3.ini" "$want3"$'\n'

# ---- a folder with a name past the old limit, onto " 差分(除外) ": all of it registered,
# no report, no message ----
drop type-4 "$S/rep"
wait_list "$LIST/TBK4.ini" 2 30
want4=$(sorted_lines "2S:\\rep	ok.txt	4$(size13 "$S/rep/ok.txt")" "2S:\\rep	$LONG	4$(size13 "$S/rep/$LONG")")
expect_file "$LIST/TBK4.ini" "$want4"$'\n'
no_message
no_file "$REPORT"

# ---- a big tree onto " 差分(全て) ", stopped by " 登録中断 " ----
rm -f "$LIST/DirList.tmp"
drop type-5 "$BIG"
deadline=$((SECONDS + 20))
until [[ -e "$LIST/DirList.tmp" ]]; do
  ((SECONDS < deadline)) || e2e_fail "the big scan did not start"
  sleep 0.05
done
e2e_reg_move drop-abort "$f"
sleep 0.1
e2e_screenshot registration-f7-scan "$REG"
xdotool click 1
deadline=$((SECONDS + 60))
until [[ -f "$LIST/TBK5.ini" ]]; do
  ((SECONDS < deadline)) || e2e_fail "the stopped scan left no list"
  sleep 0.2
done
sleep 1
no_message
big_lines=$(LC_ALL=C grep -ac '\.dat' "$LIST/TBK5.ini") || true
e2e_log "the stopped scan registered $big_lines of $BIG_FILES files"
((big_lines < BIG_FILES)) || e2e_fail "the scan was not stopped: $big_lines files registered"
strange=$(LC_ALL=C grep -avP '^2S:\\big(\\d\d+(\\e\d+\tf\d+\.dat|\t\x08{3})|\t\x08{3})\t50{13}$' "$LIST/TBK5.ini" | head -3) || true
[[ -z "$strange" ]] || e2e_fail "TBK5.ini holds other lines: $(cat -A <<<"$strange")"
no_file "$REPORT"
expect_file "$LIST/TBK3.ini" "$want3"$'\n'

# ---- a click on " ファイル " shows that list; search "two", delete that row ----
e2e_reg_click type-1 "$f"
sleep 1
e2e_screenshot registration-f7-files "$REG"
e2e_reg_click search-box "$f"
sleep 0.3
xdotool type two
sleep 0.3
e2e_reg_click search-button "$f"
sleep 1.5
no_message
e2e_screenshot registration-f7-search "$REG"
e2e_reg_click delete "$f"  # " 削除 "
want1=$(sorted_lines \
  "2S:\\files	one.txt	1$(size13 "$S/files/one.txt")" \
  "2S:\\files	表示.txt	1$(size13 "$S/files/表示.txt")" \
  "2S:\\dup	one.txt	1$(size13 "$S/dup/one.txt")")
wait_list "$LIST/TBK1.ini" 3 15
no_message
expect_file "$LIST/TBK1.ini" "$want1"$'\n'
e2e_screenshot registration-f7-deleted "$REG"

# ---- close both windows; start again at character size 12 ----
close_program() {
  e2e_close_registration "$REG"
  e2e_close_settings "$WID"
}
close_program
# Size 12; the window placed afresh (the position kept from size 7 would put a part of
# the wider window beyond the screen's right edge).
sed -i -e '1s/.*/12/' -e '4,5s/.*/77777/' "$LIST/SizePos.txt"
f=12
e2e_layout "$f"
e2e_launch "$APP/backup.exe"
WID=$(settings_window 180) || e2e_fail "the settings window did not appear at size 12"
sleep 1
press $(e2e_at REGISTER_BUTTON)
REG=$(registration_window) || { e2e_screenshot registration-failure; e2e_fail "the registration window did not appear at size 12"; }
sleep 1
e2e_reg_click type-3 "$f"
sleep 1
e2e_reg_move search-rest "$f"
sleep 0.5
e2e_screenshot registration-f12 "$REG"
# At this size too a drop lands on the box under the pointer.
drop type-4 "$S/more"
want4=$(sorted_lines "$want4" \
  "2S:\\more	m1.txt	4$(size13 "$S/more/m1.txt")" \
  "2S:\\more	m2.txt	4$(size13 "$S/more/m2.txt")")
wait_list "$LIST/TBK4.ini" 4 30
expect_file "$LIST/TBK4.ini" "$want4"$'\n'
no_message
no_file "$REPORT"
e2e_screenshot registration-f12-diff "$REG"
close_program
echo "registration_e2e: ok"
