#include "backup/list_view_model.hpp"

#include <algorithm>
#include <cstdio>

#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "common/text_file.hpp"

namespace bk {

namespace {

constexpr std::string_view kFileRowIndent = "　　";
constexpr std::array<std::string_view, 5> kUnits = {"", "KB", "MB", "GB", "TB"};
constexpr int kMinColumnWidth = 50;

// Divides by 1024 while the value is 1024 or more; "%.2f <unit>" of the quotient.
std::string ScaledText(double value) {
  std::size_t divisions = 0;
  while (value >= 1024.0 && divisions + 1 < kUnits.size()) {
    value /= 1024.0;
    ++divisions;
  }
  char digits[64];
  const int n = std::snprintf(digits, sizeof digits, "%.2f", value);
  std::string text(digits, n > 0 ? static_cast<std::size_t>(std::min<int>(n, sizeof digits - 1)) : 0);
  text += ' ';
  text += kUnits[divisions];
  return text;
}

}  // namespace

std::string SizeText(std::uint64_t size) {
  if (size < 1024) return std::to_string(size) + " bytes";
  return ScaledText(static_cast<double>(size));
}

std::string TotalSizeText(std::int64_t size) {
  if (size < 0) return "不明";  // kTotalUnknown: a list could not be read
  if (size < 1024) return std::to_string(size) + " B";
  return ScaledText(static_cast<double>(size));
}

std::string PaintedTotalSizeText(std::int64_t size) { return TotalSizeText(size) + std::string(13, ' '); }

std::string HeaderText(char type_digit) {
  const std::string_view name = TypeName(type_digit);
  std::string text = "　　　ファイルリスト　";
  text += name.empty() ? std::string_view("...") : name;
  return text;
}

std::string FileCountText(const ListView& view) {
  return std::to_string(view.files_shown) + " / " + std::to_string(view.files_all_types);
}

std::string DuplicateCheckText(std::size_t checked, std::size_t total) {
  return "重複検査　" + std::to_string(checked) + " / " + std::to_string(total);
}

void RefreshTotals(const ListOwner& owner, ListView* view) {
  view->files_all_types = 0;
  const std::array<std::string, 5> names = AllListFileNames(owner.drive, owner.folder);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string text;
    const Status s = ReadWholeFile(owner.fs, names[i], &text);
    // A list that exists but cannot be read still exists: its box shows that it has a
    // list, and it contributes no count rather than passing for absent.
    view->type_present[i] = s.ok() || !IsNotFound(s);
    if (!s) continue;
    NormaliseListText(&text);
    ForEachLine(text, [&](std::string_view line, std::size_t) {
      if (IsFileLine(line)) ++view->files_all_types;
    });
  }
  // An unreadable list leaves the total unknown (shown as such), never too small.
  (void)SumSizes(owner.fs, owner.drive, owner.folder, &view->total_registered_size);
}

bool BuildListView(const ListOwner& owner, const ListBuffer& list, ListView* view) {
  view->rows.clear();
  view->folder_rows = view->file_rows = view->files_shown = 0;
  view->source_bytes = list.text.size();
  view->shown_type = 0;
  // New rows: the width is worked out afresh at the next cache hint.
  view->last_top = -1;

  std::string_view text = list.text;
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  if (!text.empty()) {
    const LineParts first = SplitLine(text.substr(0, text.find('\n')));
    if (first.well_formed && !first.tail.empty() && !TypeName(first.tail[0]).empty())
      view->shown_type = first.tail[0];
  }
  view->header = HeaderText(view->shown_type);
  RefreshTotals(owner, view);
  if (text.empty()) return false;

  view->rows.reserve(list.line_count + list.folder_count);
  std::string previous_folder;
  bool have_previous = false;
  std::size_t line_index = 0;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    const LineParts p = SplitLine(line);
    const bool marker = p.well_formed && p.name == kEmptyFolderMarker;
    const bool excluded = p.well_formed && p.name == kExclusionMarker;
    if (!marker && !excluded) ++view->files_shown;
    std::string folder_text(p.folder);
    folder_text += '\\';
    if (!have_previous || folder_text != previous_folder) {
      ListRow folder_row;
      folder_row.is_folder = true;
      folder_row.text = folder_text;
      view->rows.push_back(std::move(folder_row));
      ++view->folder_rows;
      previous_folder = std::move(folder_text);
      have_previous = true;
    }
    ListRow row;
    row.text = kFileRowIndent;
    // A registered folder without files shows as a blank file row of 0 bytes: its three
    // backspace bytes would show as boxes.
    if (excluded) {
      row.text += kExcludedRowText;
    } else if (!marker) {
      row.text += p.name;
    }
    std::uint64_t size = 0;
    if (!excluded && ReadSizeField(line, &size)) row.size_text = SizeText(size);
    row.line_index = line_index++;
    row.line_offset = offset;
    view->rows.push_back(std::move(row));
    ++view->file_rows;
  });
  return true;
}

std::string_view CellText(const ListView& view, std::size_t row, int column) {
  if (row >= view.rows.size()) return {};
  if (column == 0) return view.rows[row].text;
  if (column == 1) return view.rows[row].size_text;
  return {};
}

std::optional<std::size_t> FindRow(const ListView& view, std::string_view text) {
  for (std::size_t i = 0; i < view.rows.size(); ++i)
    if (view.rows[i].text == text) return i;
  return std::nullopt;
}

std::optional<int> CacheHintWidth(ListView* view, long long top_index, long long rows_per_page) {
  if (top_index == view->last_top) return std::nullopt;
  view->last_top = top_index;
  std::size_t longest = 0;
  if (top_index >= 0) {
    const std::size_t first = static_cast<std::size_t>(top_index);
    const std::size_t last =
        std::min(view->rows.size(), first + static_cast<std::size_t>(std::max(0LL, rows_per_page)) + 1);
    for (std::size_t i = first; i < last; ++i) longest = std::max(longest, view->rows[i].text.size());
  }
  const int width = std::max(kMinColumnWidth, static_cast<int>(std::min<std::size_t>(longest, 100000)) + 3);
  if (width == view->applied_width) return std::nullopt;
  view->applied_width = width;
  return width;
}

char SwitchType(const ListOwner& owner, MessagePort& ui, char type_digit, RegistrationPhase registration_phase,
                char current_type, ListBuffer* list, ListView* view, Status* status) {
  if (status) *status = Status::Ok();
  if (registration_phase != RegistrationPhase::Idle || TypeName(type_digit).empty()) return current_type;
  FileInfo info;
  const std::string name = ListFileName(owner.drive, owner.folder, type_digit);
  if (IsNotFound(owner.fs.GetInfo(name, &info))) {
    ui.ShowMessage(kNoRegistrationOfType, DialogMode::Transient);
    return current_type;
  }
  // Read aside: a list that cannot be read must not take the shown one with it.
  ListBuffer loaded;
  bool found = false;
  const Status s = ReadListFile(owner.fs, name, &loaded, &found);
  if (!s || !found) {
    if (status) *status = s;
    if (s && !found) ui.ShowMessage(kNoRegistrationOfType, DialogMode::Transient);
    return current_type;
  }
  SortForDisplay(&loaded);
  *list = std::move(loaded);
  BuildListView(owner, *list, view);
  return type_digit;
}

}  // namespace bk
