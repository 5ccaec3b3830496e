// Searching the rows of the registration list, deleting registrations, and the click
// targets and help texts of the registration window. The window owns the list view and
// its flags; these functions decide what happens and return the row to select (the
// window selects it with SelectAndClickLine).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "backup/list_view_model.hpp"
#include "common/list_buffer.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kSearchEmptyText = "検索窓に入力してください";
inline constexpr std::string_view kSearchReachedEnd = "最後まで検索しました";
inline constexpr std::string_view kNothingSelected = "選択した項目がありません";

// ---- search ---------------------------------------------------------------

struct SearchState {
  std::size_t start_row = 0;  // SearchStartRow
  std::string last_text;      // LastSearchText
  bool list_clicked = false;  // ListClicked
};

// The terms of a search text: the pieces between half-width spaces (a full-width space
// separates nothing; two spaces in a row give an empty term, which matches every row).
std::vector<std::string_view> SearchTerms(std::string_view text);

// True when every term occurs in row_text. A term matches only where a character of
// row_text starts, so that "a" is not found in the second byte of a double-byte character.
bool RowMatches(std::string_view row_text, const std::vector<std::string_view>& terms);

// The list view notified the window. Every notification but the cache hint, cell requests
// included, counts as a click on the list (ListClicked) while the left button is down.
enum class ListNotification { CacheHint, Other };
void NoteListNotification(SearchState* state, ListNotification notification, bool left_button_down);

// The start-row update of each pass: a click on the list (ListClicked) is taken, so that
// the search goes on after the first selected row, or from the top when none is selected.
// Without a new click the start stays where it is, whatever the selection did since
// (keyboard moves included).
void SearchFromClick(SearchState* state, std::optional<std::size_t> first_selected_row, std::size_t row_count);

enum class SearchOutcome {
  Pending,    // the shown list is empty: the request stays until a list with lines is shown
  EmptyText,  // "検索窓に入力してください" was shown; clear the request
  Found,      // select row; clear the request
  ReachedEnd, // "最後まで検索しました" was shown (ListClicked is cleared); clear the request
};

struct SearchResult {
  SearchOutcome outcome = SearchOutcome::Pending;
  std::size_t row = 0;  // Found: the row to select
};

// Serves a search request with the search box text. After a find the next search with
// the same text starts at the row after it; another text starts at row 0.
SearchResult Search(SearchState* state, const ListView& view, std::string_view box_text, MessagePort& ui);

// ---- deletion -------------------------------------------------------------

struct DeleteResult {
  bool deleted = false;          // lines were removed and the list saved (or its file deleted)
  char type_digit = 0;           // CurrentType: the type of the list's first line
  std::size_t deleted_lines = 0;
  std::size_t partial_folders = 0;
  std::optional<std::size_t> select_row;  // the row to select after the deletion
  Status status;                 // a failed save (shown to the user; the list is unchanged)
  bool list_replaced = false;    // another list was loaded while a message was up: nothing saved
};

// Deletes the lines of the selected rows (row indexes of the list view, any order).
// In a folder type a folder whose lines are only partly selected keeps all of them and
// is reported; the message comes before anything is written. list and view must be the
// ones shown (view built from list); both are brought up to date. A view built from
// another text is rebuilt and nothing is deleted, since its rows would name other lines;
// so is a list replaced while the partial-folder message was up.
DeleteResult DeleteSelected(const ListOwner& owner, MessagePort& ui, std::span<const std::size_t> selected_rows,
                            ListBuffer* list, ListView* view);

// ---- clicks and help texts ------------------------------------------------

enum class RegistrationClick { None, SearchHelp, RegistrationHelp, DeletionHelp, TypeRow };

// What a click at (x, y) of the client area hits. f is CharSize, client_height the client
// height, row_left the left offset of the type-box row (2f in the layout).
RegistrationClick ClassifyClick(int x, int y, int f, int client_height, int row_left);

std::string SearchHelpText();
std::string RegistrationHelpText();
std::string DeletionHelpText();

// Shows the help text of a help click (nothing for other clicks); true when one was shown.
bool ShowHelp(RegistrationClick click, MessagePort& ui);

}  // namespace bk
