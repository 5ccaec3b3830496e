#include "backup/merge_drop.hpp"


#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "backup/list_guard.hpp"
#include "common/crc32.hpp"
#include "common/error_report.hpp"
#include "common/folder_exclusion.hpp"
#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"

namespace bk {

namespace {

// The duplicate check hands control to the window after this many lines.
constexpr std::size_t kLinesPerPump = 1000;

struct CrcKeyHash {
  std::size_t operator()(std::string_view key) const { return Crc32Table()(key); }
};

// Registered keys of the other four types, each mapped to its first line in the order
// '1'..'5': a new line costs one CRC and, on equal CRCs only, one byte comparison.
using KeyIndex = std::unordered_map<std::string_view, std::size_t, CrcKeyHash>;

std::string TwoDigits(int value) {
  std::string d = std::to_string(value);
  return d.size() < 2 ? "0" + d : d;
}

std::string DuplicateListHeader(const LocalDate& date, char type_digit) {
  std::string year = std::to_string(date.year);
  if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
  std::string header = "発生日付[" + year + "/" + TwoDigits(date.month) + "/" + TwoDigits(date.day) + "]";
  header += "　登録タイプ[";
  header += TypeName(type_digit);
  header += "]\n";
  return header;
}

std::string InTypeMessage(std::size_t repeated) {
  return std::to_string(repeated) + " 件は、この登録タイプ内で、すでに登録済みです\n今回の登録処理はしません。";
}

std::string RejectionMessage(std::size_t rejected, char type_digit) {
  std::string text = "ファイルの重複登録が他のタイプで " + std::to_string(rejected) +
                     " 件あります\n実行ファイルと同じ場所にある「重複登録リスト.txt」を確認してください。\n"
                     "リスト分は、このタイプ「";
  text += TypeName(type_digit);
  text += "」での登録はしません。";
  return text;
}

std::string UnreadableMessage(std::string_view name) {
  std::string text = "登録リスト ";
  text += name;
  text += " が読めないため、今回の登録処理はしません。\n\n";
  text += kRegistrationErrorNotice;
  return text;
}

// The drop's report is closed by now: a line is added by rewriting it whole.
void AppendReportLine(FileSystem& fs, Clock& clock, std::string_view line) {
  std::string text;
  const Status s = ReadWholeFile(fs, kErrorReportPath, &text);
  if (!s) text = DateHeader(clock.Today());
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += line;
  (void)ReplaceFileWhole(fs, kErrorReportPath, text, false);
}

void ReportFailure(const MergeRequest& r, Status s, std::string_view path) {
  std::string line = "(SYS)";
  line += r.fs.ErrorMessage(s.code);
  line += path;
  line += '\n';
  AppendReportLine(r.fs, r.clock, line);
}

// Stops the merge before anything is written; list keeps what could be read of the type.
MergeResult Refuse(const MergeRequest& r, MergeResult result, Status s, std::string_view path, ListBuffer* list) {
  SortForDisplay(list);
  result.merged = false;
  result.status = s;
  ReportFailure(r, s, path);
  result.list_replaced = !ShowKeepingList(r.ui, UnreadableMessage(path), *list);
  return result;
}

void WriteTextFile(FileSystem& fs, std::string_view path, std::string_view bytes) {
  std::unique_ptr<WritableFile> file;
  if (!CreateTextFile(fs, path, &file)) return;
  (void)file->Write(bytes.data(), bytes.size());
  (void)file->Close();
}

}  // namespace

MergeResult MergeDrop(const MergeRequest& r, ListBuffer* list) {
  MergeResult result;
  r.hooks.Progress(0, r.counters.file_lines);
  r.hooks.RepaintAndPump();

  // Everything is read before anything is written: a list that exists but cannot be read
  // would otherwise pass for "no registrations" and be overwritten.
  const std::string current_name = ListFileName(r.drive, r.folder, r.type_digit);
  bool found = false;
  if (Status s = ReadListFile(r.fs, current_name, list, &found); !s) return Refuse(r, result, s, current_name, list);

  std::string others;
  for (char digit : kTypeDigits) {
    if (digit == r.type_digit) continue;
    const std::string name = ListFileName(r.drive, r.folder, digit);
    ListBuffer other;
    if (Status s = ReadListFile(r.fs, name, &other, &found); !s) return Refuse(r, result, s, name, list);
    others += other.text;
  }

  std::string drop;
  if (Status s = ReadWholeFile(r.fs, kDropLinesPath, &drop); !s && !IsNotFound(s))
    return Refuse(r, result, s, kDropLinesPath, list);
  NormaliseListText(&drop);

  KeyIndex index;
  index.reserve(CountLines(others));
  ForEachLine(others, [&](std::string_view line, std::size_t offset) {
    // A folder another type left out is no registration of it.
    if (SplitLine(line).well_formed && !IsExclusionLine(line)) index.try_emplace(LineKey(line), offset);
  });

  // The cross-type check marks rejected new lines '0' in place.
  std::string rejected;
  std::size_t checked = 0, since_pump = 0;
  ForEachLine(drop, [&](std::string_view line, std::size_t offset) {
    ++result.new_lines;
    if (++since_pump > kLinesPerPump) {
      r.hooks.Progress(checked, r.counters.file_lines);
      r.hooks.RepaintAndPump();
      since_pump = 0;
    }
    const LineParts p = SplitLine(line);
    const bool marker = p.well_formed && p.name == kEmptyFolderMarker;
    if (!marker) ++checked;
    const auto hit = p.well_formed ? index.find(LineKey(line)) : index.end();
    if (hit == index.end()) {
      if (result.first_new_folder.empty()) {
        result.first_new_folder = p.folder;
        result.first_new_folder += '\\';
      }
      return;
    }
    drop[offset] = '0';
    if (marker) {
      ++result.rejected_markers;
      return;
    }
    const std::string_view registered = std::string_view(others).substr(hit->second);
    const LineParts owner = SplitLine(registered.substr(0, registered.find('\n')));
    rejected += p.folder;
    rejected += '\\';
    rejected += p.name;
    rejected += '\t';
    rejected += TypeName(owner.tail.empty() ? 0 : owner.tail[0]);
    rejected += '\n';
    ++result.rejected_files;
  });
  r.hooks.Progress(checked, r.counters.file_lines);

  WriteTextFile(r.fs, kRejectedWorkPath, rejected);
  if (result.rejected_files > 0) {
    (void)ReplaceFileWhole(r.fs, kDuplicateListPath,
                           DuplicateListHeader(r.clock.Today(), r.type_digit) + sjis::ReadableText(rejected));
  }

  // Repeats already in the stored list are cleaned quietly, so that the in-type message
  // counts only what this drop repeated.
  (void)RemoveTypeDuplicates(list);
  const std::size_t lines_before = list->line_count;
  // A drop whose every file was rejected adds nothing, not even the folders without files
  // that came with those files. Otherwise every line that was not rejected joins the list,
  // also a drop of folders without files alone.
  const bool all_files_rejected = result.rejected_files > 0 && result.rejected_files == checked;
  if (!all_files_rejected) {
    std::unordered_set<std::string> registered_again;
    ForEachLine(drop, [&](std::string_view line, std::size_t) {
      if (line.empty() || line[0] == '0') return;
      list->text += line;
      list->text += '\n';
      registered_again.emplace(SplitLine(line).folder);
    });
    // A folder dropped again is no longer left out.
    RemoveExclusionsOf(list, registered_again);
  }
  const DuplicateRemoval removal = RemoveTypeDuplicates(list);
  result.repeated_files = removal.repeated_files;
  result.repeated_markers = removal.repeated_markers;
  result.anything_added = list->line_count > lines_before;
  if (removal.repeated_files > 0 && !ShowKeepingList(r.ui, InTypeMessage(removal.repeated_files), *list)) {
    // Saving now would write another type's lines into this type's file.
    result.list_replaced = true;
    return result;
  }

  // Saved before the closing message, so that the message can tell of a failed save and
  // a window closed during the dialog loses nothing.
  bool errors = r.counters.problems > 0;
  if (Status s = SaveList(r.fs, current_name, *list); !s) {
    result.status = s;
    ReportFailure(r, s, current_name);
    errors = true;
  }

  std::string message;
  if (result.rejected_files > 0) {
    message = RejectionMessage(result.rejected_files, r.type_digit);
  } else {
    (void)r.fs.DeleteFile(kDuplicateListPath);
  }
  if (errors) {
    if (!message.empty()) message += "\n\n";
    message += kRegistrationErrorNotice;
  } else {
    (void)r.fs.DeleteFile(kErrorReportPath);
  }
  result.merged = true;
  if (!message.empty() && !ShowKeepingList(r.ui, message, *list)) {
    result.list_replaced = true;  // saved already; the buffer now belongs to the other list
    return result;
  }
  SortForDisplay(list);
  return result;
}

}  // namespace bk
