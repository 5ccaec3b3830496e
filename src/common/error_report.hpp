// The error report "　エラー報告.txt" beside the programs: a date line, then one line
// per problem met while registering or backing up.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/file_system.hpp"

namespace bk {

inline constexpr std::string_view kErrorReportPath = "　エラー報告.txt";
inline constexpr std::string_view kKeptReportPath = "BkList\\err.txt";

inline constexpr std::string_view kRegistrationErrorNotice =
    "ファイル登録でエラーが発生しました\n実行ファイルと同じ場所にある「エラー報告.txt」を確認してください。";
inline constexpr std::string_view kBackupErrorNotice =
    "バックアップでエラーが発生しました\n実行ファイルと同じ場所にある「エラー報告.txt」のファイルを確認してください。";

// "発生日付[%04d/%02d/%02d]\n"
std::string DateHeader(const LocalDate& date);

class ErrorReport {
 public:
  ErrorReport(FileSystem& fs, Clock& clock) : fs_(fs), clock_(clock) {}

  // Creates the report afresh (template copy, emptied) with its date header and clears
  // the error indicator. A report that cannot be created never stops the operation.
  // Text given as before is written ahead of the date header.
  void Begin(std::string_view before = {});
  // Begins without touching the report file: the date header and the lines are held here
  // (held()) for the caller to place, so a report already there cannot be lost.
  void BeginHeld();
  const std::string& held() const { return held_; }
  bool has_errors() const { return has_errors_; }
  // Closes the file (End handling is the caller's: message, duplicate removal, delete).
  void Close();

  // (SYS) a folder cannot be listed / a new file's attributes cannot be read.
  void AddSystem(std::string_view system_message, std::string_view path);
  // (SYS) a copy failed or was cancelled: message, source root + " > ", destination path.
  void AddCopyFailed(std::string_view system_message, std::string_view source_root,
                     std::string_view destination_path);
  // (ENT) a file in a dropped folder would get too long a destination path.
  void AddFolderEntryTooLong(std::string_view root, std::string_view folder,
                             std::string_view source_folder_without_drive, std::string_view name);
  // (ENT) a dropped file would get too long a destination path.
  void AddFileEntryTooLong(std::string_view root, std::string_view folder,
                           std::string_view path_without_drive);
  // (ENT) the destination's free space would not hold the file.
  void AddEntryNoSpace(std::string_view root, std::string_view source_path);
  // (PGM) the destination drive does not answer.
  void AddDriveMissing(std::string_view root);
  // (SYS) most registered files of a source drive seemed gone in one pass (another disk
  // under the same letter?): the backup of that drive was kept.
  void AddMostFoldersMissing(std::string_view source_root);
  // (PGM) a list line without its two TABs, or one whose source would map outside the
  // destination folder: the text after the state digit.
  void AddAccessDenied(std::string_view line_after_state);
  // (PGM) a new file's destination path would be too long.
  void AddPathTooLong(std::string_view destination_path);
  // (UPD) / (CPY) / (ADD) not enough free space on root for source_path.
  void AddUpdateNoSpace(std::string_view root, std::string_view source_path);
  void AddCopyNoSpace(std::string_view root, std::string_view source_path);
  void AddNewFileNoSpace(std::string_view root, std::string_view source_path);
  // (CPY) the destination's file system (FAT) cannot hold a file of 4 GiB or more. Written
  // once per report: the new-file search meets the registered files again.
  void AddTooLargeForFileSystem(std::string_view root, std::string_view file_system,
                                std::string_view source_path);
  // (ENT) a link to a folder met by a registration's walk: never followed. The target is
  // what the link points to (empty when the system does not tell).
  void AddLinkNotFollowed(std::string_view link_path, std::string_view target);
  // (CPY) a cloud placeholder whose contents are not on this computer: never opened.
  void AddNotOnThisComputer(std::string_view source_path);

 private:
  void AddLine(std::string line);

  FileSystem& fs_;
  Clock& clock_;
  std::unique_ptr<WritableFile> file_;
  bool holding_ = false;
  std::string held_;
  bool has_errors_ = false;
  std::unordered_set<std::string> written_once_;
};

// Of lines equal from their sixth byte on (the code not compared), only the last stays,
// at its own place. Lines are kept whole, however long.
std::string RemoveDuplicateReportLines(std::string_view text);

// Rewrites the report with its duplicate lines removed.
Status RemoveReportDuplicates(FileSystem& fs);

// End of an operation in the backup program: with errors, the notice is shown (show) and,
// after a backup, duplicate lines are removed once the user has seen it; without errors
// the report is deleted. Returns whether errors were recorded.
enum class ReportKind { Registration, Backup };
bool EndReport(FileSystem& fs, ErrorReport& report, ReportKind kind,
               const std::function<void(std::string_view notice)>& show);

// The report of an earlier run, as the power-off program found it at its start.
struct EarlierReport {
  bool existed = false;  // a report was there, or its presence could not be told
  bool kept = false;     // its bytes (text) are in BkList\err.txt as well
  std::string text;      // its bytes, when they could be read
};

// The power-off program keeps the report of an earlier run: before its run, an existing
// report is copied to BkList\err.txt, or err.txt is deleted. Returns the first failure;
// *earlier says where the earlier report is in any case.
Status KeepEarlierReport(FileSystem& fs, EarlierReport* earlier);
// Begins the run's report: afresh when there was no earlier report or it is kept in
// err.txt; otherwise the earlier report is the only copy and stays untouched, the new
// lines being held (BeginHeld).
void BeginPowerOffReport(ErrorReport& report, const EarlierReport& earlier);
// After its run. Earlier report kept: with errors, duplicates removed and the earlier
// report appended after the new lines; without, the earlier report restored. Not kept:
// with errors, the new lines (duplicates removed) go after the report as it is now;
// without, it stays as it is. No earlier report: duplicates removed, or the report
// deleted. An err.txt this run did not write is never used.
Status FinishPowerOffReport(FileSystem& fs, ErrorReport& report, const EarlierReport& earlier);

}  // namespace bk
