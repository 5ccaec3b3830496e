#!/usr/bin/env bash
# A registration of " ミラー(全て) " follows its tree through the real windows. A tree is
# dropped and backed up; then a subfolder is renamed (it holds 3 of 10 files, so the
# deletion of its old copies is not held back) and a new nested folder with files and an
# empty folder is made: the next backup equals the source (names, bytes, times), the old
# name's copies are gone, the list names the new folders and no report is left. Then one
# subfolder's registration is deleted in the list view (its folder row clicked, its last
# file row shift-clicked, " 削除 "): the list holds its exclusion line (0x18 x3 in the
# name's place) and no other line of it, the view shows the exclusion row (screenshot
# follow_tree_excluded, and the row's text in Wine's trace). The next backup leaves that
# folder's copies as they were (inode and time) and does not copy a file new in it, while
# the rest is brought up to date; no report. Last, a folder holding 12 of 22 files is
# renamed: its copies are moved in one run (same inodes), with no report.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init follow_tree_e2e "${1:-build/windows}"
e2e_start_display
command -v perl >/dev/null || e2e_fail "perl is missing (scripts/setup.sh installs it)"

e2e_build_drop
e2e_registration_app
S=$E2E_S
DEST="$E2E_TMP/drive-t/BK"
REPORT="$APP/　エラー報告.txt"
TBK3="$LIST/TBK3.ini"

# ---- the tree: 10 files, the folder to be renamed holds 3 of them ----
TOP_NAME="写真"
TOP="$S/$TOP_NAME"
mkdir -p "$TOP/docs" "$TOP/empty" "$TOP/keep" "$TOP/旅行/夜"
n=0
put() {
  n=$((n + 1))
  printf 'file %d: %s\n' "$n" "${1##*/}" >"$1"
  touch -d "2024-0$((n % 9 + 1))-1$((n % 10)) 1$((n % 10)):2$((n % 10)):3$((n % 10)).$((1000000 + n * 4321))" "$1"
}
for p in a.txt b.txt docs/d1.txt docs/d2.txt keep/k1.txt keep/k2.txt keep/k3.txt 旅行/t1.txt 旅行/t2.txt 旅行/夜/t3.txt; do
  put "$TOP/$p"
done

sjis() { iconv -f UTF-8 -t CP932; }
show() { iconv -f CP932 -t UTF-8 <"$1" 2>/dev/null | cat -A | head -30; }
no_file() { [[ ! -e "$1" ]] || e2e_fail "$(basename "$1") exists: $(iconv -f CP932 -t UTF-8 <"$1" 2>/dev/null | head -5)"; }
# expected_list [EXCLUDED]: the mirror list the tree must give, byte for byte: a line per
# file, an empty-folder marker for a folder without files; the folder EXCLUDED (relative
# to TOP) as its exclusion line only, nothing below it.
expected_list() {
  local ex=${1:-} dir rel folder files file
  {
    while IFS= read -r -d '' dir; do
      rel=${dir#"$TOP"}
      rel=${rel#/}
      folder="S:\\$TOP_NAME${rel:+\\$rel}"
      folder=${folder//\//\\}
      if [[ -n "$ex" && "$rel" == "$ex" ]]; then
        printf '2%s\t\x18\x18\x18\t30000000000000\n' "$folder"
        continue
      fi
      [[ -n "$ex" && "$rel" == "$ex"/* ]] && continue
      files=0
      while IFS= read -r -d '' file; do
        printf '2%s\t%s\t3%013d\n' "$folder" "${file##*/}" "$(stat -c %s "$file")"
        files=$((files + 1))
      done < <(find "$dir" -mindepth 1 -maxdepth 1 -type f ! -name '.*' -print0)
      ((files)) || printf '2%s\t\b\b\b\t30000000000000\n' "$folder"
    done < <(find "$TOP" -type d -print0)
  } | sjis | LC_ALL=C sort
}
# check_list WHAT [EXCLUDED]
check_list() {
  cmp -s "$TBK3" <(expected_list "${2:-}") || {
    e2e_log "expected:"
    expected_list "${2:-}" | iconv -f CP932 -t UTF-8 | cat -A >&2
    e2e_fail "$1: TBK3.ini differs: $(show "$TBK3")"
  }
}
# The copies: the same names and kinds, contents, and times to 100 ns. EXCEPT: paths
# (relative to TOP) the source holds but the backup must not.
tree_listing() { (cd "$1" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort); }
mtime() { stat -c %y "$1" | sed -E 's/(\.[0-9]{7})[0-9]*/\1/'; }
check_copies() {
  local run=$1 except=${2:-} file rel
  [[ -d "$DEST/$TOP_NAME" ]] || e2e_fail "$run: no copy of $TOP_NAME: $(cd "$E2E_TMP/drive-t" && find . | head -20)"
  diff <(tree_listing "$TOP" | grep -vxF "f $except") <(tree_listing "$DEST/$TOP_NAME") >"$E2E_TMP/names.diff" ||
    e2e_fail "$run: the backup differs in names (< source, > backup): $(cat "$E2E_TMP/names.diff")"
  while IFS= read -r -d '' file; do
    rel=${file#"$TOP/"}
    [[ "$rel" == "$except" ]] && continue
    cmp -s "$file" "$DEST/$TOP_NAME/$rel" || e2e_fail "$run: $rel differs from its source"
    [[ $(mtime "$file") == $(mtime "$DEST/$TOP_NAME/$rel") ]] ||
      e2e_fail "$run: $rel has the time $(mtime "$DEST/$TOP_NAME/$rel"), its source $(mtime "$file")"
  done < <(find "$TOP" -type f -print0)
  no_file "$REPORT"
}

# ---- registration: the tree onto " ミラー(全て) " ----
f=7
e2e_layout "$f"
message_window() { e2e_message_window '^backup\.exe$' "${1:-20}" "$REG"; }
# Wine's trace of the list view's drawing calls shows the rows' texts.
e2e_start_backup "$APP" --traced
e2e_open_registration
e2e_drop_on_type "$f" 3 "$TOP"  # " ミラー(全て) "
deadline=$((SECONDS + 30))
until [[ -f "$TBK3" ]] && cmp -s "$TBK3" <(expected_list); do
  ((SECONDS < deadline)) || check_list "registration"
  sleep 0.2
done
sleep 0.5
check_list "registration"
! message_window 1 >/dev/null || e2e_fail "a message came with the registration"
no_file "$REPORT"
e2e_close_registration "$REG"

# ---- backups ----

e2e_backup_run "first run"
check_copies "first run"
check_list "first run"

# A rename, a new nested folder with files, a new empty folder.
mv "$TOP/旅行" "$TOP/旅行2024"
mkdir -p "$TOP/new/深い/奥" "$TOP/new/空"
put "$TOP/new/深い/n1.txt"
put "$TOP/new/深い/奥/n2.txt"
e2e_backup_run "second run"
check_copies "second run"
[[ ! -e "$DEST/$TOP_NAME/旅行" ]] || e2e_fail "the old name's copies are left: $(cd "$DEST/$TOP_NAME" && find 旅行)"
[[ -d "$DEST/$TOP_NAME/new/空" ]] || e2e_fail "the new empty folder was not made"
check_list "second run"

# ---- the list view: delete the registration of keep ----
e2e_open_registration
e2e_geometry "$REG"
e2e_click "$REG" $(e2e_reg_at type-3 "$f")  # show " ミラー(全て) "
sleep 1
read -r LX LTOP < <(e2e_reg_at list "$f" 3 0)      # a column of the list view just inside its border
read -r _ LBOTTOM < <(e2e_reg_at type-row-band "$f" 0 -2) # from its top to just above the type row
read -r ROW_X _ < <(e2e_reg_at list-row "$f")             # where its rows are clicked across
# strip NAME: the colours of that column from the list view's top to its bottom, a line a pixel.
strip() {
  e2e_screenshot "follow_tree-$1" "$REG"
  convert "$E2E_SCREENSHOTS/follow_tree-$1-window.png" -crop "1x$((LBOTTOM - LTOP))+$LX+$LTOP" +repage txt:- |
    awk 'NR > 1 { print $3 }'
}
# band BEFORE AFTER: "first count" of the one run of pixels (from the list view's top) that
# changed between the two strips.
band() {
  paste <(echo "$1") <(echo "$2") | awk -F'\t' '
    $1 != $2 { if (first == "") first = NR - 1; if (last != "" && NR - 1 != last + 1) runs++; last = NR - 1 }
    END { if (first == "" || runs) exit 1; print first, last - first + 1 }'
}
before=$(strip list-before)
# The search finds the first row holding "keep": its folder row, selected and shown.
e2e_click "$REG" $(e2e_reg_at search-box "$f")
sleep 0.3
xdotool type keep
sleep 0.3
e2e_click "$REG" $(e2e_reg_at search-button "$f")
sleep 1.5
found=$(strip list-found)
read -r row_top row_h < <(band "$before" "$found") || e2e_fail "the search selected no single row (build/screenshots/follow_tree-list-found-window.png)"
((row_h >= f && row_h <= 5 * f)) || e2e_fail "a selected row $row_h pixels high"
e2e_log "the folder row lies $row_top pixels below the list view's top, $row_h pixels high"
# Its folder row and its three file rows: click the first, shift-click the last.
first_y=$((LTOP + row_top + row_h / 2))
last_y=$((first_y + 3 * row_h))
((last_y < LBOTTOM - row_h / 2)) || e2e_fail "the group's last row is out of view"
e2e_click "$REG" "$ROW_X" "$first_y"
sleep 0.5
e2e_geometry "$REG"
xdotool mousemove --sync $((E2E_X + ROW_X)) $((E2E_Y + last_y))
sleep 0.2
xdotool keydown shift
sleep 0.2
xdotool click 1
sleep 0.2
xdotool keyup shift
sleep 0.8
selected=$(strip list-selected)
read -r sel_top sel_h < <(band "$before" "$selected") || e2e_fail "no single run of rows is selected (build/screenshots/follow_tree-list-selected-window.png)"
((sel_top == row_top && sel_h >= 4 * row_h - 2 && sel_h <= 4 * row_h + 2)) ||
  e2e_fail "the selection is $sel_h pixels from $sel_top, not the four rows from $row_top (build/screenshots/follow_tree-list-selected-window.png)"
KEEP_LINE=$(printf '2S:\\%s\\keep\t\x18\x18\x18\t30000000000000' "$TOP_NAME" | sjis)
EXCLUDED_TEXT="（除外：このフォルダーは配下も含めバックアップしません。この行の削除で除外を解除）"
# The row's text as Wine's trace writes a wide string: a backslash and four hex digits a unit.
traced=$(printf '　　%s' "$EXCLUDED_TEXT" | perl -CS -ne 'print join("", map { sprintf "\\%04x", ord } split //)')
! grep -aqF "L\"$traced\"" "$E2E_TMP/wine.log" || e2e_fail "the exclusion row was drawn before any exclusion"
e2e_click "$REG" $(e2e_reg_at delete "$f")
deadline=$((SECONDS + 20))
until LC_ALL=C grep -aqxF "$KEEP_LINE" "$TBK3"; do
  if msg=$(message_window 1); then
    e2e_screenshot follow_tree-delete-message "$msg"
    e2e_fail "the deletion brought a message (build/screenshots/follow_tree-delete-message-window.png)"
  fi
  ((SECONDS < deadline)) || e2e_fail "TBK3.ini holds no exclusion of keep: $(show "$TBK3")"
  sleep 0.2
done
sleep 1
check_list "the deletion" keep
[[ $(LC_ALL=C grep -ac "$(printf '^2S:\\\\%s\\\\keep' "$TOP_NAME" | sjis)" "$TBK3") == 1 ]] ||
  e2e_fail "TBK3.ini holds more than the exclusion of keep: $(show "$TBK3")"
! message_window 1 >/dev/null || e2e_fail "a message came with the deletion"
e2e_reg_move top-right-rest "$f"
sleep 0.5
e2e_screenshot follow_tree_excluded "$REG"
grep -aqF "L\"$traced\"" "$E2E_TMP/wine.log" || e2e_fail "the list view did not draw the exclusion row"
no_file "$REPORT"
e2e_close_registration "$REG"

# ---- a backup with keep left out ----
keep_stamps() { (cd "$DEST/$TOP_NAME/keep" && find . -printf '%P %y %i %T@\n' | LC_ALL=C sort); }
stamps=$(keep_stamps)
[[ $(wc -l <<<"$stamps") == 4 ]] || e2e_fail "keep's copies are not as backed up: $stamps"
put "$TOP/keep/k4.txt"
printf 'changed and longer\n' >"$TOP/docs/d1.txt"
touch -d '2025-02-03 04:05:06.7' "$TOP/docs/d1.txt"
put "$TOP/docs/d3.txt"
e2e_backup_run "third run"
[[ $(keep_stamps) == "$stamps" ]] || e2e_fail "keep's copies were touched: $(diff <(echo "$stamps") <(keep_stamps))"
[[ ! -e "$DEST/$TOP_NAME/keep/k4.txt" ]] || e2e_fail "a new file of the left-out folder was copied"
check_copies "third run" keep/k4.txt
check_list "third run" keep

# ---- a rename of a folder that holds most of the drive's files ----
# 12 of 22 files renamed: the mirror moves their copies with one rename (they keep their
# inodes), files found moved are not lost, so the run finishes the rename at once and
# reports nothing.
mkdir -p "$TOP/大量"
for i in $(seq -w 1 12); do put "$TOP/大量/m$i.txt"; done
e2e_backup_run "fourth run"
check_copies "fourth run" keep/k4.txt
inodes=$(cd "$DEST/$TOP_NAME/大量" && find . -type f -printf '%P %i\n' | LC_ALL=C sort)
mv "$TOP/大量" "$TOP/大量2"
e2e_backup_run "fifth run"
check_copies "fifth run" keep/k4.txt
[[ ! -e "$DEST/$TOP_NAME/大量" ]] || e2e_fail "fifth run: the old name's copies are left"
[[ $(cd "$DEST/$TOP_NAME/大量2" && find . -type f -printf '%P %i\n' | LC_ALL=C sort) == "$inodes" ]] ||
  e2e_fail "fifth run: the copies were made anew, not moved"
check_list "fifth run" keep

e2e_close_settings "$WID"
echo "follow_tree_e2e: ok"
