// Merging a finished drop into the registration list of its type.
//
// The drop's scan leaves its new lines in "BkList\BkList.tmp". A new line whose file (or
// empty folder) is already registered under another type of the same destination is
// rejected: files are listed in "　重複登録リスト.txt" with the type that holds them,
// folders without files are dropped silently. The rest joins the list, repeats within the
// type are removed, the list is saved, and the user gets one closing message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/list_buffer.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kDropLinesPath = "BkList\\BkList.tmp";
inline constexpr std::string_view kRejectedWorkPath = "BkList\\wList1.tmp";
inline constexpr std::string_view kDuplicateListPath = "　重複登録リスト.txt";

// The window side of a merge. The defaults do nothing, for merges without a window.
class MergeHooks {
 public:
  virtual ~MergeHooks() = default;
  // The duplicate check has looked at checked of total new file lines; the window paints
  // DuplicateCheckText(checked, total) at its next repaint.
  virtual void Progress(std::size_t /*checked*/, std::size_t /*total*/) {}
  // Repaints the main window and handles at most one pending window message.
  virtual void RepaintAndPump() {}
};

// What the drop counted while writing BkList.tmp.
struct DropCounters {
  std::size_t file_lines = 0;    // new file lines (the total of the progress count)
  std::size_t marker_lines = 0;  // new empty-folder marker lines
  std::size_t problems = 0;      // lines the drop wrote to the error report
};

struct MergeRequest {
  FileSystem& fs;
  MessagePort& ui;
  Clock& clock;
  MergeHooks& hooks;
  char drive = 0;             // the current destination: drive letter ...
  std::string_view folder;    // ... and folder name
  char type_digit = 0;        // CurrentType
  DropCounters counters;
};

struct MergeResult {
  // False when a list or the drop's lines could not be read: nothing was written and
  // list holds the current type's list as it was (or is empty when that one failed).
  bool merged = false;
  Status status;                 // the first read or save failure, reported to the user
  std::size_t new_lines = 0;     // lines in BkList.tmp
  std::size_t rejected_files = 0;    // R: file lines registered under another type
  std::size_t rejected_markers = 0;  // marker lines registered under another type
  std::size_t repeated_files = 0;    // repeats within the type (the in-type message)
  std::size_t repeated_markers = 0;
  bool anything_added = false;   // the saved list holds more lines than before the drop
  // Another list was loaded into the buffer while a message was up: the merge stopped
  // there (unsaved when it came before the save) and list holds that other list.
  bool list_replaced = false;
  // The folder row of the first new line not registered elsewhere ("D:\a\"), or empty:
  // the window selects that row (FindRow) after showing the list.
  std::string first_new_folder;
};

// Runs the merge of a drop over list: the current type's list is read again from its
// file (an unreadable list never becomes an empty one), the drop's lines are checked
// against the other four types, added, de-duplicated and saved; list ends sorted for
// display. The caller then shows the list and sets RegistrationPhase back to 0.
MergeResult MergeDrop(const MergeRequest& request, ListBuffer* list);

}  // namespace bk
