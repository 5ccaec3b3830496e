#!/usr/bin/env bash
# A mirror moves the copy of a renamed or moved folder through the real windows. A tree is
# dropped onto " ミラー(全て) " and backed up ("バックアップの実行"). Then a registered
# subfolder (two files and a nested folder with one) is renamed, and the next backup equals
# the source (names, bytes, times), the old name's copy is gone and every file of it is at
# the new name with the inode it had: the copies were moved, not copied again. The same
# for a folder moved into another registered folder. The list names the new folders; no
# report is left.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init move_e2e "${1:-build/windows}"
e2e_start_display
for tool in iconv stat xdotool; do
  command -v "$tool" >/dev/null || e2e_fail "$tool is missing (scripts/setup.sh installs it)"
done

e2e_build_drop
e2e_registration_app
S=$E2E_S
DEST="$E2E_TMP/drive-t/BK"
REPORT="$APP/　エラー報告.txt"
TBK3="$LIST/TBK3.ini"

# ---- the tree: 10 files; 旅行 (3 of them) is renamed, docs (2) is moved into keep ----
TOP_NAME="写真"
TOP="$S/$TOP_NAME"
mkdir -p "$TOP/docs" "$TOP/keep" "$TOP/旅行/夜"
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
# expected_list: the mirror list the tree must give, byte for byte: a line per file, an
# empty-folder marker for a folder without files.
expected_list() {
  local dir rel folder files file
  {
    while IFS= read -r -d '' dir; do
      rel=${dir#"$TOP"}
      rel=${rel#/}
      folder="S:\\$TOP_NAME${rel:+\\$rel}"
      folder=${folder//\//\\}
      files=0
      while IFS= read -r -d '' file; do
        printf '2%s\t%s\t3%013d\n' "$folder" "${file##*/}" "$(stat -c %s "$file")"
        files=$((files + 1))
      done < <(find "$dir" -mindepth 1 -maxdepth 1 -type f ! -name '.*' -print0)
      ((files)) || printf '2%s\t\b\b\b\t30000000000000\n' "$folder"
    done < <(find "$TOP" -type d -print0)
  } | sjis | LC_ALL=C sort
}
check_list() {
  cmp -s "$TBK3" <(expected_list) || {
    e2e_log "expected:"
    expected_list | iconv -f CP932 -t UTF-8 | cat -A >&2
    e2e_fail "$1: TBK3.ini differs: $(show "$TBK3")"
  }
}
# The copies: the same names and kinds, contents, and times to 100 ns; no report.
tree_listing() { (cd "$1" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort); }
mtime() { stat -c %y "$1" | sed -E 's/(\.[0-9]{7})[0-9]*/\1/'; }
check_copies() {
  local run=$1 file rel
  [[ -d "$DEST/$TOP_NAME" ]] || e2e_fail "$run: no copy of $TOP_NAME: $(cd "$E2E_TMP/drive-t" && find . | head -20)"
  diff <(tree_listing "$TOP") <(tree_listing "$DEST/$TOP_NAME") >"$E2E_TMP/names.diff" ||
    e2e_fail "$run: the backup differs in names (< source, > backup): $(cat "$E2E_TMP/names.diff")"
  while IFS= read -r -d '' file; do
    rel=${file#"$TOP/"}
    cmp -s "$file" "$DEST/$TOP_NAME/$rel" || e2e_fail "$run: $rel differs from its source"
    [[ $(mtime "$file") == $(mtime "$DEST/$TOP_NAME/$rel") ]] ||
      e2e_fail "$run: $rel has the time $(mtime "$DEST/$TOP_NAME/$rel"), its source $(mtime "$file")"
  done < <(find "$TOP" -type f -print0)
  no_file "$REPORT"
}
# inodes DIR: "inode path" of every file below DIR (paths relative to DIR), sorted by path.
inodes() { (cd "$1" && find . -type f -printf '%i %P\n' | LC_ALL=C sort -k2); }

# ---- registration: the tree onto " ミラー(全て) " ----
f=7
e2e_layout "$f"
e2e_start_backup "$APP"
e2e_open_registration
e2e_drop_on_type "$f" 3 "$TOP"  # " ミラー(全て) "
deadline=$((SECONDS + 30))
until [[ -f "$TBK3" ]] && cmp -s "$TBK3" <(expected_list); do
  ((SECONDS < deadline)) || check_list "registration"
  sleep 0.2
done
sleep 0.5
check_list "registration"
! e2e_message_window '^backup\.exe$' 1 "$REG" >/dev/null || e2e_fail "a message came with the registration"
no_file "$REPORT"
e2e_close_registration "$REG"

# ---- backups ----
# moved OLD NEW RUN: the copy of folder OLD (relative to TOP) is gone and NEW's copy holds
# the same files with the inodes OLD's had before the run (in BEFORE).
moved() {
  local old=$1 new=$2 run=$3 after
  [[ ! -e "$DEST/$TOP_NAME/$old" ]] || e2e_fail "$run: the copy of $old is left: $(cd "$DEST/$TOP_NAME" && find "$old")"
  after=$(inodes "$DEST/$TOP_NAME/$new")
  [[ "$after" == "$BEFORE" ]] ||
    e2e_fail "$run: the copies of $new are not the moved copies of $old (inode path, before < > after): $(diff <(echo "$BEFORE") <(echo "$after"))"
  e2e_log "$run: $(wc -l <<<"$after") copies of $old moved to $new with their inodes"
}

e2e_backup_run "first run"
check_copies "first run"
check_list "first run"

# A rename of a registered subfolder that holds a nested folder.
BEFORE=$(inodes "$DEST/$TOP_NAME/旅行")
[[ $(wc -l <<<"$BEFORE") == 3 ]] || e2e_fail "the copy of 旅行 is not its 3 files: $BEFORE"
mv "$TOP/旅行" "$TOP/旅行2024"
e2e_backup_run "second run"
check_copies "second run"
moved 旅行 旅行2024 "second run"
check_list "second run"

# A registered folder moved into another registered folder.
BEFORE=$(inodes "$DEST/$TOP_NAME/docs")
mv "$TOP/docs" "$TOP/keep/docs"
e2e_backup_run "third run"
check_copies "third run"
moved docs keep/docs "third run"
check_list "third run"

e2e_close_settings "$WID"
echo "move_e2e: ok"
