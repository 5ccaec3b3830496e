// What the registration window's list view shows: one folder row per folder group and
// one file row per registration line, with a size text for every file row, the header
// of column 0, and the totals painted above the list. The list view is owner-data: it
// asks for row r's texts and this model answers from rows built once per display.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/registration_phase.hpp"
#include "common/list_buffer.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kNoRegistrationOfType = "このタイプの登録はありません";

// The destination whose lists are shown: drive letter and folder name (D and "BK").
struct ListOwner {
  FileSystem& fs;
  char drive = 0;
  std::string_view folder;
};

struct ListRow {
  bool is_folder = false;
  std::string text;       // folder rows: "D:\a\"; file rows: "　　" + name
  std::string size_text;  // empty for folder rows
  std::size_t line_index = 0;   // file rows: the line of the ListBuffer shown
  std::size_t line_offset = 0;  // file rows: where that line starts in the text
};

struct ListView {
  std::vector<ListRow> rows;
  std::string header;        // column 0's header text
  char shown_type = 0;       // type digit of the first line, 0 when nothing is shown
  std::size_t folder_rows = 0;
  std::size_t file_rows = 0;
  std::size_t files_shown = 0;      // file rows that are not empty-folder markers
  std::size_t files_all_types = 0;  // non-marker lines of the destination's five lists
  std::array<bool, 5> type_present{};  // list file exists, by digit minus '1'
  std::int64_t total_registered_size = 0;
  std::size_t source_bytes = 0;  // size of the ListBuffer text the rows were built from

  // Cache-hint memory: the top row last seen and the column 0 width last applied.
  long long last_top = -1;
  int applied_width = 0;

  std::size_t row_count() const { return rows.size(); }
};

// "1023 bytes", "1.00 KB", "1.50 MB" ... for a file row.
std::string SizeText(std::uint64_t size);

// The row of a folder left out of a registration that follows its tree (after the indent).
// Deleting the row brings the folder back at the next run.
inline constexpr std::string_view kExcludedRowText = "（除外：このフォルダーは配下も含めバックアップしません。この行の削除で除外を解除）";
// The same units for the painted total, with "B" below 1024: "1023 B", "1.00 KB".
std::string TotalSizeText(std::int64_t size);
// What the paint draws for the total: TotalSizeText followed by 13 blanks, so a shorter
// text painted over a longer one leaves nothing of it visible.
std::string PaintedTotalSizeText(std::int64_t size);

// "　　　ファイルリスト　<type name>", or "...", in place of the name when none is shown.
std::string HeaderText(char type_digit);

// "<files shown> / <files of all types>", painted while no drop is being handled.
std::string FileCountText(const ListView& view);
// "重複検査　<checked> / <total>", painted while a drop is merged.
std::string DuplicateCheckText(std::size_t checked, std::size_t total);

// Recounts the presence flags, the files of all five lists and TotalRegisteredSize.
void RefreshTotals(const ListOwner& owner, ListView* view);

// Rebuilds the rows, the header and the totals from list (sorted for display). Returns
// whether anything is shown. The window then sets the item count to view.row_count()
// without invalidating the whole view.
bool BuildListView(const ListOwner& owner, const ListBuffer& list, ListView* view);

// Row r's text for column 0 or its size text for column 1; empty for any other cell.
// The window copies it verbatim into the list view's buffer (never as a format).
std::string_view CellText(const ListView& view, std::size_t row, int column);

// The row whose text equals text exactly (the first), or none.
std::optional<std::size_t> FindRow(const ListView& view, std::string_view text);

// The cache hint: given the list view's top row and rows per page, the width of column 0
// in characters when it has to change (the window sets it to width × CharSize), or none.
std::optional<int> CacheHintWidth(ListView* view, long long top_index, long long rows_per_page);

// A click on a type box while no drop is being handled: a type without a list file gets
// the transient "no registration" message and the shown list stays; otherwise its list
// is loaded into list and shown in view. Returns the type now shown (unchanged when the
// switch did not happen); *status receives the failure of a list that cannot be read.
char SwitchType(const ListOwner& owner, MessagePort& ui, char type_digit, RegistrationPhase registration_phase,
                char current_type, ListBuffer* list, ListView* view, Status* status = nullptr);

}  // namespace bk
