  # A run without a problem leaves no report: the walk passes the link without a word.
  [[ ! -e "$REPORT" ]] || e2e_fail "$run left a report: $(iconv -f CP932 -t UTF-8 <"$REPORT")"#!/usr/bin/env bash
# A tree holding a symbolic link to its own parent folder (a loop: loop/sub/loop/...) is
# dropped onto " ミラー(全て) " through the real window. The registration ends in time,
# registers each real file once and no line through the link, tells of the link in one
# (ENT) report line and the closing message; the backup copies each real file once and
# makes no folder for the link, and leaves no report.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init link_loop_e2e "${1:-build/windows}"
e2e_start_display
command -v perl >/dev/null || e2e_fail "perl is missing (scripts/setup.sh installs it)"

e2e_build_drop
e2e_registration_app
S=$E2E_S
DEST="$E2E_TMP/drive-t/BK"
REPORT="$APP/　エラー報告.txt"
TBK3="$LIST/TBK3.ini"

TOP_NAME="輪っか"
TOP="$S/$TOP_NAME"
mkdir -p "$TOP/sub/deep"
printf 'alpha\n' >"$TOP/a.txt"
printf 'bravo!\n' >"$TOP/sub/b.txt"
printf 'charlie\n' >"$TOP/sub/deep/c.txt"
touch -d '2024-03-04 05:06:07.25' "$TOP/a.txt" "$TOP/sub/b.txt" "$TOP/sub/deep/c.txt"
ln -s .. "$TOP/sub/loop"  # S:\輪っか\sub\loop is S:\輪っか
[[ -f "$TOP/sub/loop/sub/loop/sub/b.txt" ]] || e2e_fail "the link does not make a loop"

sjis() { iconv -f UTF-8 -t CP932; }
show() { iconv -f CP932 -t UTF-8 <"$1" 2>/dev/null | cat -A | head -30; }
# The list the tree must give: each real file once, nothing through the link.
expected_list() {
  printf '2S:\\%s\ta.txt\t30000000000006\n2S:\\%s\\sub\tb.txt\t30000000000007\n2S:\\%s\\sub\\deep\tc.txt\t30000000000008\n' \
    "$TOP_NAME" "$TOP_NAME" "$TOP_NAME" | sjis | LC_ALL=C sort
}
# A text as Wine's trace writes a wide string: a backslash and four hex digits a unit (no
# ASCII in these texts).
traced() { printf '%s' "$1" | perl -CS -ne 'print join("", map { sprintf "\\%04x", ord } split //)'; }

f=7
e2e_layout "$f"
message_window() { e2e_message_window '^backup\.exe$' "${1:-20}" "$REG"; }
e2e_start_backup "$APP" --traced
e2e_open_registration
start=$SECONDS
e2e_drop_on_type "$f" 3 "$TOP"  # " ミラー(全て) "

# The registration ends with its message: a walk around the loop would never end (or end
# at the path limit, with thousands of lines).
MSG=$(message_window 60) || {
  e2e_screenshot link_loop-no-message "$REG"
  e2e_fail "no closing message within 60 s; TBK3.ini: $(show "$TBK3"); report: $(iconv -f CP932 -t UTF-8 <"$REPORT" 2>/dev/null)"
}
e2e_log "the registration ended after $((SECONDS - start)) s"
sleep 0.5
e2e_screenshot link_loop_message "$MSG"
grep -aqF "$(traced "ファイル登録でエラーが発生しました")" "$E2E_TMP/wine.log" ||
  e2e_fail "the message does not say that the registration met an error (build/screenshots/link_loop_message-window.png)"
e2e_pointer  # the message put the pointer on its "了解"
xdotool click 1
deadline=$((SECONDS + 10))
while e2e_shown '^backup\.exe$' "$MSG"; do
  ((SECONDS < deadline)) || e2e_fail "the message stayed after 了解"
  sleep 0.2
done
sleep 0.3
e2e_click "$REG" 2 2  # the window's input back after the dialog
sleep 0.5

deadline=$((SECONDS + 20))
until [[ -f "$TBK3" ]] && cmp -s "$TBK3" <(expected_list); do
  ((SECONDS < deadline)) || e2e_fail "TBK3.ini is not each real file once: $(wc -l <"$TBK3" 2>/dev/null) lines: $(show "$TBK3")"
  sleep 0.2
done
[[ $(wc -l <"$TBK3") == 3 ]] || e2e_fail "TBK3.ini holds $(wc -l <"$TBK3") lines"
# The report: its date line and the one line naming the link and where it leads.
[[ -f "$REPORT" ]] || e2e_fail "no report"
report=$(iconv -f CP932 -t UTF-8 <"$REPORT")
want="(ENT)フォルダーへのリンクは辿らずに登録しません。S:\\$TOP_NAME\\sub\\loop > S:\\$TOP_NAME"
[[ $(wc -l <<<"$report") == 2 && $(sed -n 2p <<<"$report") == "$want" ]] ||
  e2e_fail "the report is not the one line for the link: $report"
[[ $(head -n1 <<<"$report") == 発生日付\[????/??/??\] ]] || e2e_fail "the report's first line: $(head -n1 <<<"$report")"
e2e_screenshot link_loop_list "$REG"
e2e_close_registration "$REG"

# ---- the backup: each real file once, nothing for the link ----
for run in "first run" "second run"; do
  e2e_backup_run "$run"
  listing=$(cd "$DEST" 2>/dev/null && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort) || true
  want=$(printf 'd %s\nd %s/sub\nd %s/sub/deep\nf %s/a.txt\nf %s/sub/b.txt\nf %s/sub/deep/c.txt\n' \
    "$TOP_NAME" "$TOP_NAME" "$TOP_NAME" "$TOP_NAME" "$TOP_NAME" "$TOP_NAME" | LC_ALL=C sort)
  [[ "$listing" == "$want" ]] || e2e_fail "$run: the backup holds: $listing"
  for p in a.txt sub/b.txt sub/deep/c.txt; do
    cmp -s "$TOP/$p" "$DEST/$TOP_NAME/$p" || e2e_fail "$run: $p differs from its source"
    [[ $(stat -c %y "$TOP/$p") == $(stat -c %y "$DEST/$TOP_NAME/$p") ]] || e2e_fail "$run: $p has another time"
  done
  cmp -s "$TBK3" <(expected_list) || e2e_fail "$run: TBK3.ini changed: $(show "$TBK3")"
  # A run without a problem leaves no report: the walk passes the link without a word.
  [[ ! -e "$REPORT" ]] || e2e_fail "$run left a report: $(iconv -f CP932 -t UTF-8 <"$REPORT")"
done
e2e_close_settings "$WID"
echo "link_loop_e2e: ok"
