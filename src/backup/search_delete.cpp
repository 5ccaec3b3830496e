#include "backup/search_delete.hpp"

#include <algorithm>

#include "backup/list_guard.hpp"
#include "backup/settings_layout.hpp"
#include "common/folder_exclusion.hpp"
#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"

namespace bk {

namespace {

std::string PartialFolderMessage(std::size_t count) {
  return "フォルダー内の全てのファイルが選択されていない所が " + std::to_string(count) +
         " 箇所あります\nミラーモードと増し分モードはフォルダー単位の削除になります\n\n"
         "ここの削除処理はしません\n\nヘルプ(？)の注釈を見てください";
}

std::string SaveFailedMessage(FileSystem& fs, Status s, std::string_view name) {
  std::string text = "登録リストを保存できませんでした。削除はしていません。\n";
  text += fs.ErrorMessage(s.code);
  text += '\n';
  text += name;
  return text;
}

}  // namespace

// ---- search ---------------------------------------------------------------

std::vector<std::string_view> SearchTerms(std::string_view text) {
  std::vector<std::string_view> terms;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = text.find(' ', start);
    terms.push_back(text.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  return terms;
}

bool RowMatches(std::string_view row_text, const std::vector<std::string_view>& terms) {
  for (std::string_view term : terms) {
    if (term.empty()) continue;
    bool found = false;
    for (std::size_t i = 0; i + term.size() <= row_text.size();) {
      if (row_text.compare(i, term.size(), term) == 0) {
        found = true;
        break;
      }
      // An escape is one character: its hex digits are no text of the name.
      i += sjis::CharWidthAt(row_text, i);
    }
    if (!found) return false;
  }
  return true;
}

void NoteListNotification(SearchState* state, ListNotification notification, bool left_button_down) {
  if (notification != ListNotification::CacheHint && left_button_down) state->list_clicked = true;
}

void SearchFromClick(SearchState* state, std::optional<std::size_t> first_selected_row, std::size_t row_count) {
  if (!state->list_clicked) return;
  state->list_clicked = false;
  state->start_row = first_selected_row ? std::min(*first_selected_row + 1, row_count) : 0;
}

SearchResult Search(SearchState* state, const ListView& view, std::string_view box_text, MessagePort& ui) {
  SearchResult result;
  if (view.row_count() == 0) return result;  // Pending
  if (box_text.empty()) {
    ui.ShowMessage(kSearchEmptyText, DialogMode::Ok);
    result.outcome = SearchOutcome::EmptyText;
    return result;
  }
  if (box_text != state->last_text) {
    state->last_text = box_text;
    state->start_row = 0;
  }
  const std::vector<std::string_view> terms = SearchTerms(box_text);
  for (std::size_t row = state->start_row; row < view.row_count(); ++row) {
    if (!RowMatches(view.rows[row].text, terms)) continue;
    // The next search with the same text goes on after this row, whether or not the
    // window's synthesized click on it reaches the list.
    state->start_row = row + 1;
    result.outcome = SearchOutcome::Found;
    result.row = row;
    return result;
  }
  state->start_row = 0;
  state->list_clicked = false;
  ui.ShowMessage(kSearchReachedEnd, DialogMode::Ok);
  result.outcome = SearchOutcome::ReachedEnd;
  return result;
}

// ---- deletion -------------------------------------------------------------

DeleteResult DeleteSelected(const ListOwner& owner, MessagePort& ui, std::span<const std::size_t> selected_rows,
                            ListBuffer* list, ListView* view) {
  DeleteResult result;
  if (list->empty()) return result;
  const LineParts first = SplitLine(std::string_view(list->text).substr(0, list->text.find('\n')));
  result.type_digit = first.well_formed && !first.tail.empty() ? first.tail[0] : 0;
  // The rows must be the ones of this text, or a row would name another line.
  if (view->source_bytes != list->text.size() || view->file_rows != list->line_count) {
    BuildListView(owner, *list, view);
    return result;
  }

  std::vector<std::size_t> rows;
  for (std::size_t r : selected_rows)
    if (r < view->row_count()) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.empty()) {
    ui.ShowMessage(kNothingSelected, DialogMode::Ok);
    return result;
  }
  const std::size_t first_selected = rows.front();

  std::vector<bool> marked(list->line_count, false);
  for (std::size_t r : rows) {
    const ListRow& row = view->rows[r];
    if (!row.is_folder && row.line_index < marked.size()) marked[row.line_index] = true;
  }

  // A folder type backs up whole folders: deleting some of a folder's lines would bring
  // them back at the next backup, so a partly selected folder keeps all of them.
  if (result.type_digit != TypeDigit(RegType::File)) {
    std::size_t group_start = 0;
    auto close_group = [&](std::size_t group_end) {
      std::size_t n = 0, k = 0;
      for (std::size_t r = group_start; r < group_end; ++r) {
        if (view->rows[r].is_folder) continue;
        ++n;
        k += marked[view->rows[r].line_index] ? 1 : 0;
      }
      if (k > 0 && k < n) {
        for (std::size_t r = group_start; r < group_end; ++r)
          if (!view->rows[r].is_folder) marked[view->rows[r].line_index] = false;
        ++result.partial_folders;
      }
    };
    for (std::size_t r = 0; r < view->row_count(); ++r) {
      if (view->rows[r].is_folder && r > 0) {
        close_group(r);
        group_start = r;
      }
    }
    close_group(view->row_count());
    if (result.partial_folders > 0 && !ShowKeepingList(ui, PartialFolderMessage(result.partial_folders), *list)) {
      // The marks name lines of the list the deletion began with.
      result.list_replaced = true;
      return result;
    }
  }

  ListBuffer kept;
  kept.text.reserve(list->text.size());
  std::size_t index = 0;
  ForEachLine(list->text, [&](std::string_view line, std::size_t) {
    const bool drop = marked[index++] || line.empty() || line[0] == '0';
    if (drop) {
      ++result.deleted_lines;
      return;
    }
    kept.text += line;
    kept.text += '\n';
  });
  if (result.deleted_lines == 0) return result;
  // A list that follows its tree would walk into a folder whose registration went: the
  // folder is left out instead, while its parent is registered. Nothing but exclusions
  // is an empty list.
  if (FollowsTree(result.type_digit)) {
    ExcludeDeletedFolders(list->text, result.type_digit, &kept);
    if (!HoldsRegistrations(kept.text)) kept.clear();
    SortLines(&kept);
  }

  if (Status s = SaveList(owner.fs, owner.drive, owner.folder, result.type_digit, kept); !s) {
    result.status = s;
    result.deleted_lines = 0;
    ui.ShowMessage(SaveFailedMessage(owner.fs, s, ListFileName(owner.drive, owner.folder, result.type_digit)),
                   DialogMode::Ok);
    return result;
  }
  result.deleted = true;
  *list = std::move(kept);
  SortForDisplay(list);
  BuildListView(owner, *list, view);

  const std::size_t total = view->row_count();
  if (total > 0) {
    // The row above the first deleted one, kept inside the shorter list.
    const std::size_t above = first_selected > 0 ? first_selected - 1 : 0;
    result.select_row = std::min(above, total - 1);
  }
  return result;
}

// ---- clicks and help texts ------------------------------------------------

RegistrationClick ClassifyClick(int x, int y, int f, int client_height, int row_left) {
  // Fractions of f are truncated here too, as everywhere the window is measured.
  if (y > Scaled(f, 3.8f) && y < Scaled(f, 5.8f) && x > 41 * f && x < 43 * f) return RegistrationClick::SearchHelp;
  if (y > client_height - 5 * f && y < client_height) {
    if (x > row_left + 66 * f && x < row_left + 68 * f) return RegistrationClick::RegistrationHelp;
    if (x > row_left + 77 * f && x < row_left + 79 * f) return RegistrationClick::DeletionHelp;
    return RegistrationClick::TypeRow;
  }
  return RegistrationClick::None;
}

std::string SearchHelpText() {
  return "検索の説明\n\n"
         "リストをクリックすると、その次の行から検索が可能です。\n\n"
         "検索語は半角スペースで区切、複数の検索語を連結して入力できます。\n"
         "連結数に制限はありません、名前の部分部分しかわからない場合に便利です。\n"
         "フォルダーやファイル名の一部にスペースを含む場合、注意が必要です。\n\n"
         "複数の検索語はフォルダーやファイルの１行の名前を対象に調べ、\n"
         "全て合致（and）する場合にその行を選択状態で表示します。\n\n"
         "ファイル名を検索窓に入力する場合、そのファイルを右クリックして\n"
         "[氏名の変更]を選択してコピーするか、プロパティーでパスをコピーします。";
}

std::string RegistrationHelpText() {
  return "登録の説明\n\n"
         "バックアップ元のファイルとフォルダーを下記５タイプにドラッグ＆ドロップして登録します\n"
         "複数選択して、まとめて登録できますが５タイプの混同はできません\n\n"
         "タイプ１「ファイル」\nタイプ２「ミラー(除外)」\nタイプ３「ミラー(全て)」\nタイプ４「差分(除外)」\nタイプ５「差分(全て)」\n\n"
         "注記）\nタイプ２からタイプ５まではフォルダーの登録となります\n"
         "「ミラー」とはバックアップ元と宛先はミラーリング状態になり双方のフォルダーの中身が常に同じに保たれます\n"
         "「差分」とは増し分処理で宛先に無いファイルはコピーされますが元が削除されても宛先は削除しません\n"
         "「除外」とは、登録したフォルダー内のみで配下のフォルダーは処理対象としません\n"
         "「全て」とはフォルダー内に含まれる配下のフォルダーも全て処理対象とします\n\n"
         "重複登録はチェックしています、迷う場合はとにかく登録して作業効率を上げましょう。\n\n"
         "リスト表示はタイプ別としD&Dの５タイプをクリックして切り替える";
}

std::string DeletionHelpText() {
  return "登録リストの削除説明\n\n削除ボタンでクリックして選択した項目を削除します\n\n"
         "ミラー区分と差分区分での登録は個々のファイルは削除できませんフォルダー単位です、"
         "理由はフォルダー内の一部のファイルを削除してもミラー効果のため、また蘇るためです、フォルダー内すべてを選択してください\n"
         "ファイル区分で登録したファイルは個々のファイルが削除できます\n\n"
         "連続する複数行の場合\n最初の項目をクリック、シフトキーを押しながら最後の項目をクリックします"
         "（この時スクロールさせて先頭から末尾までの項目を選択すると、すべての項目を一括して削除できます）\n\n"
         "不連続な複数行の場合\nコントロールキーを押しながら個々の項目をクリックします\n\n"
         "注）\n"
         "バックアップ済のファイルは削除されません";
}

bool ShowHelp(RegistrationClick click, MessagePort& ui) {
  switch (click) {
    case RegistrationClick::SearchHelp: ui.ShowMessage(SearchHelpText(), DialogMode::Ok); return true;
    case RegistrationClick::RegistrationHelp: ui.ShowMessage(RegistrationHelpText(), DialogMode::Ok); return true;
    case RegistrationClick::DeletionHelp: ui.ShowMessage(DeletionHelpText(), DialogMode::Ok); return true;
    default: return false;
  }
}

}  // namespace bk
