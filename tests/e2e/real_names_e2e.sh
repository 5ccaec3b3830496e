#!/usr/bin/env bash
# Names as Japanese Windows users have them, beyond code page 932 as well: é, an en dash,
# Hangul, emoji, 𠮷, 〜 (U+301C) beside ～ (U+FF5E), ¥, a decomposed é beside a precomposed
# one, half-width kana, ①, 表/ソ/能 (second byte 0x5C), in nested folders. The tree is
# dropped onto " ミラー(全て) "; the list file must hold one line per file, each character
# code page 932 cannot hold as its escape (0x1B and four hex digits of the UTF-16 unit);
# the list view shows the real characters (screenshot real_names_list). Then three runs of
# "バックアップの実行": the copies equal the sources name for name, byte for byte and time
# for time; a run with nothing changed rewrites no copy; a changed, a new and a deleted
# file arrive. No run leaves a report.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init real_names_e2e "${1:-build/windows}"
e2e_start_display
command -v perl >/dev/null || e2e_fail "perl is missing (scripts/setup.sh installs it)"
perl -MEncode -e 'Encode::find_encoding("cp932") or exit 1' || e2e_fail "perl has no cp932 encoding"

e2e_build_drop
e2e_registration_app
S=$E2E_S
DEST="$E2E_TMP/drive-t/BK"
REPORT="$APP/　エラー報告.txt"
DUPS="$APP/　重複登録リスト.txt"

# ---- the tree ----
TOP_NAME="音楽表①〜"
TOP="$S/$TOP_NAME"
KR="$TOP/한국어"
YOSHI="$KR/𠮷野家"
MU="$TOP/Müller"
MU5C="$MU/表ソ能"
EMPTY="$TOP/空っぽ😀"
mkdir -p "$YOSHI" "$MU5C" "$EMPTY"
n=0
# put PATH: a file of a few bytes, its contents and its time its own (sub-second parts in
# 100 ns, the finest a Windows time holds).
put() {
  n=$((n + 1))
  printf 'file %d: %s\n' "$n" "${1##*/}" >"$1"
  touch -d "2023-0$((n % 9 + 1))-1$((n % 10)) 0$((n % 10)):1$((n % 10)):2$((n % 10)).$((1000000 + n * 12347))" "$1"
}
put "$TOP/Beyoncé – Halo.mp3"
put "$TOP/café.txt"
put "$TOP/cafe"$'\xcc\x81'".txt"  # e + U+0301: another name than the one above
put "$TOP/¥100.txt"
put "$TOP/〜波.txt"
put "$TOP/～波.txt"
put "$TOP/ｶﾀｶﾅ.txt"
put "$TOP/①②.txt"
put "$TOP/ソフト能力表.txt"
put "$TOP/🎵 memo.txt"
put "$KR/노래.txt"
put "$YOSHI/メモ.txt"
put "$MU/Müller – Brief.txt"
put "$MU5C/ソ.txt"
put "$MU5C/表.txt"
((n == 15)) || e2e_fail "the tree holds $n files"
# Nothing of the tree may share its name with another, whatever the normalisation.
[[ $(find "$TOP" | wc -l) == 21 ]] || e2e_fail "the tree is not as made: $(find "$TOP")"

# cp932 TEXT...: the Shift-JIS form of UTF-8 lines as the programs write it: a character
# code page 932 holds exactly (it comes back unchanged) as its bytes, any other as 0x1B and
# four upper-case hex digits per UTF-16 unit.
cp932() {
  printf '%s\n' "$@" | perl -MEncode=encode,decode -e '
    binmode STDIN, ":encoding(UTF-8)"; binmode STDOUT;
    while (my $l = <STDIN>) {
      for my $c (split //, $l) {
        my $b = eval { encode("cp932", $c, Encode::FB_CROAK | Encode::LEAVE_SRC) };
        if (defined $b && $c ne "\x1B" && decode("cp932", $b) eq $c) { print $b; next }
        my $u = ord $c;
        if ($u > 0xFFFF) {
          $u -= 0x10000;
          printf "\x1B%04X\x1B%04X", 0xD800 + ($u >> 10), 0xDC00 + ($u & 0x3FF);
        } else {
          printf "\x1B%04X", $u;
        }
      }
    }'
}
# expected_list: the mirror list the tree must give, in Shift-JIS with escapes and in byte
# order: a line per file, and an empty-folder line for each folder without files.
expected_list() {
  local lines=() dir file folder files
  while IFS= read -r -d '' dir; do
    folder="S:\\${dir#"$S/"}"
    folder=${folder//\//\\}
    files=0
    while IFS= read -r -d '' file; do
      lines+=("2$folder	${file##*/}	3$(printf '%013d' "$(stat -c %s "$file")")")
      files=$((files + 1))
    done < <(find "$dir" -mindepth 1 -maxdepth 1 -type f ! -name '.*' -print0)
    ((files)) || lines+=("2$folder	"$'\b\b\b'"	30000000000000")
  done < <(find "$TOP" -type d -print0)
  cp932 "${lines[@]}" | LC_ALL=C sort
}
show_list() { cat -A "$1" | head -30; }
# check_list FILE: the list file is exactly the one the tree must give.
check_list() {
  [[ -f "$1" ]] || e2e_fail "$(basename "$1") is missing"
  cmp -s "$1" <(expected_list) || {
    e2e_log "expected:"
    expected_list | cat -A >&2
    e2e_fail "$(basename "$1") differs: $(show_list "$1")"
  }
}
# wine_texts: the rows the list view must show (folder, then "　　" and a name), as Wine's
# trace writes a wide string: printable ASCII as it is (a backslash doubled), every other
# UTF-16 unit as a backslash and four lower-case hex digits.
wine_texts() {
  local dir file folder files
  while IFS= read -r -d '' dir; do
    folder="S:\\${dir#"$S/"}"
    folder=${folder//\//\\}
    echo "$folder\\"
    files=0
    while IFS= read -r -d '' file; do
      echo "　　${file##*/}"
      files=$((files + 1))
    done < <(find "$dir" -mindepth 1 -maxdepth 1 -type f ! -name '.*' -print0)
    ((files)) || echo "　　"  # a folder without files: a blank row
  done < <(find "$TOP" -type d -print0) | perl -e '
    binmode STDIN, ":encoding(UTF-8)";
    while (my $l = <STDIN>) {
      chomp $l;
      my $o = "";
      for my $c (split //, $l) {
        my $u = ord $c;
        for my $v ($u > 0xFFFF ? (0xD800 + (($u - 0x10000) >> 10), 0xDC00 + (($u - 0x10000) & 0x3FF)) : ($u)) {
          $o .= $v == 0x5C ? "\\\\" : $v == 0x22 ? "\\\"" : ($v >= 0x20 && $v < 0x7F) ? chr($v) : sprintf("\\%04x", $v);
        }
      }
      print "L\"$o\"\n";
    }' | LC_ALL=C sort -u
}
no_file() { [[ ! -e "$1" ]] || e2e_fail "$(basename "$1") exists: $(iconv -f CP932 -t UTF-8 <"$1" 2>/dev/null | head -5)"; }

# The copies: the same names (as the host sees them, UTF-8), contents and times (to 100 ns).
tree_listing() { (cd "$1" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort); }
mtime() { stat -c %y "$1" | sed -E 's/(\.[0-9]{7})[0-9]*/\1/'; }
check_copies() {
  local run=$1 file rel
  [[ -d "$DEST/$TOP_NAME" ]] || e2e_fail "$run: no copy of $TOP_NAME; T: holds: $(cd "$E2E_TMP/drive-t" && find . | head -20)"
  diff <(tree_listing "$TOP") <(tree_listing "$DEST/$TOP_NAME") >"$E2E_TMP/names.diff" ||
    e2e_fail "$run: the copies differ in names (< source, > copy): $(cat "$E2E_TMP/names.diff")"
  while IFS= read -r -d '' file; do
    rel=${file#"$TOP/"}
    cmp -s "$file" "$DEST/$TOP_NAME/$rel" || e2e_fail "$run: $rel differs from its source"
    [[ $(mtime "$file") == $(mtime "$DEST/$TOP_NAME/$rel") ]] ||
      e2e_fail "$run: $rel has the time $(mtime "$DEST/$TOP_NAME/$rel"), its source $(mtime "$file")"
  done < <(find "$TOP" -type f -print0)
  no_file "$REPORT"
}
# copy_stamps: each copy with its inode and change time: a copy written again or given a
# time again shows a new one.
copy_stamps() { (cd "$DEST/$TOP_NAME" && find . -type f -printf '%P %i %C@\n' | LC_ALL=C sort); }

# ---- registration: the tree onto " ミラー(全て) " ----
f=12
sed -i '1s/.*/12/' "$LIST/SizePos.txt"  # the largest characters, easiest to read
e2e_layout "$f"
# Wine's trace of the list view's drawing calls shows the texts it is given.
e2e_start_backup "$APP" --traced
e2e_open_registration
e2e_drop_on_type "$f" 3 "$TOP"  # " ミラー(全て) "
want_lines=$(expected_list | wc -l)
deadline=$((SECONDS + 30))
while [[ ! -f "$LIST/TBK3.ini" || $(wc -l <"$LIST/TBK3.ini") -ne $want_lines ]]; do
  if ((SECONDS >= deadline)); then
    e2e_screenshot real_names-failure "$REG"
    e2e_fail "TBK3.ini did not reach $want_lines lines: $(show_list "$LIST/TBK3.ini" 2>/dev/null)"
  fi
  sleep 0.2
done
sleep 0.5
check_list "$LIST/TBK3.ini"
# The escapes themselves, as bytes: é, the en dash, ¥, U+301C, the combining accent, 한,
# 𠮷 and the emoji as surrogate halves.
for esc in 00E9 2013 00A5 301C 0301 D55C D842 DFB7 D83C DFB5 D83D DE00; do
  LC_ALL=C grep -aq $'\x1b'"$esc" "$LIST/TBK3.ini" || e2e_fail "TBK3.ini holds no escape $esc"
done
# ～ (U+FF5E), ①, ｶ and 表 are code page 932 characters: their bytes, no escape.
for bytes in '\x81\x60\x94\x67' '\x87\x40\x87\x41' '\xb6\xc0\xb6\xc5' '\x95\x5c\x83\x5c\x94\x5c'; do
  LC_ALL=C grep -aqF "$(printf "$bytes")" "$LIST/TBK3.ini" || e2e_fail "TBK3.ini lacks the bytes $bytes"
done
no_file "$REPORT"
no_file "$DUPS"
# The pointer rests on the box just dropped on; the list shows the names. Then the wheel
# over the list brings its end into view.
e2e_screenshot real_names_list "$REG"
e2e_geometry "$REG"
xdotool mousemove --sync $((E2E_X + E2E_W / 2)) $((E2E_Y + E2E_H / 2))
sleep 0.3
xdotool click --repeat 10 --delay 50 5
sleep 1
e2e_screenshot real_names_list_end "$REG"
# Between the two pictures every row was drawn, with the real characters.
drawn=$(grep -a 'Call user32\.DrawTextW(' "$E2E_TMP/wine.log" | grep -oa 'L"[^"]*"' | LC_ALL=C sort -u) ||
  e2e_fail "the trace shows no text drawn"
undrawn=$(LC_ALL=C comm -23 <(wine_texts) <(echo "$drawn"))
[[ -z "$undrawn" ]] || e2e_fail "rows not drawn as their names: $undrawn; drawn: $(grep -a 'S:' <<<"$drawn")"
! grep -aq '\\001b' <<<"$drawn" || e2e_fail "an escape was drawn: $(grep -a '\\001b' <<<"$drawn")"
e2e_close_registration "$REG"

# ---- backups ----

e2e_backup_run "first run"
check_copies "first run"
check_list "$LIST/TBK3.ini"
stamps=$(copy_stamps)
list_before=$(od -An -tx1 "$LIST/TBK3.ini")

# Nothing changed: nothing is written.
e2e_backup_run "second run"
check_copies "second run"
[[ $(copy_stamps) == "$stamps" ]] || e2e_fail "the second run wrote copies again: $(diff <(echo "$stamps") <(copy_stamps))"
[[ $(od -An -tx1 "$LIST/TBK3.ini") == "$list_before" ]] || e2e_fail "the second run changed TBK3.ini: $(show_list "$LIST/TBK3.ini")"

# One file changed (other size and time), one changed in time and contents only, one new,
# one deleted: they arrive; the others stay untouched.
printf 'a longer, changed file\n' >"$TOP/Beyoncé – Halo.mp3"
touch -d '2024-06-07 08:09:10.7654321' "$TOP/Beyoncé – Halo.mp3"
printf 'FILE 12: メモ.txt\n' >"$YOSHI/メモ.txt"  # the same size
touch -d '2024-06-08 08:09:10.5' "$YOSHI/メモ.txt"
printf 'new\n' >"$KR/새 노래.txt"
touch -d '2024-06-09 01:02:03.25' "$KR/새 노래.txt"
rm "$TOP/¥100.txt"
e2e_backup_run "third run"
check_copies "third run"
check_list "$LIST/TBK3.ini"
untouched=$(grep -v -e '^Beyoncé – Halo.mp3 ' -e '^¥100.txt ' -e '/メモ.txt ' <<<"$stamps")
stamps=$(copy_stamps)
missing=$(LC_ALL=C comm -23 <(LC_ALL=C sort <<<"$untouched") <(LC_ALL=C sort <<<"$stamps"))
[[ -z "$missing" ]] || e2e_fail "the third run wrote unchanged copies again: $missing"

e2e_close_settings "$WID"
echo "real_names_e2e: ok"
