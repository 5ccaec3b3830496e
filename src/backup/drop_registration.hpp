// A drop on one of the five type boxes of the registration window: the dropped files and
// folders become registration lines in BkList\BkList.tmp, problems go to a fresh error
// report, and the window's pump then merges the new lines into the type's list.
//
// The Win32 window converts the dropped paths to Shift-JIS, calls RegisterDrop and draws
// through DropHooks; the merge picks up DropContext::batch and the list when the phase is
// MergePending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "backup/registration_phase.hpp"
#include "platform/drive_letter.hpp"
#include "common/error_report.hpp"
#include "common/list_buffer.hpp"
#include "common/message_port.hpp"
#include "platform/file_system.hpp"

namespace bk {

// The system's code for "the file is too large" (the size field holds 13 digits).
inline constexpr std::uint32_t kErrorFileTooLarge = 223;

inline constexpr std::string_view kDropListPath = "BkList\\BkList.tmp";

inline constexpr std::string_view kAbortBoxText = " 登録中断 ";
inline constexpr std::string_view kFolderOnFileType =
    "登録タイプがファイルですがフォルダーが混入しています\nこれは登録しません";
inline constexpr std::string_view kFileOnFolderType =
    "登録タイプがフォルダーですがファイルが混入しています\nこれは登録しません";

// "バックアップ先ドライブ <root> が認識できません（…）\n"
std::string DriveUnreadableMessage(std::string_view root);
// "<path>\n\n<refusal>"
std::string MixedDropMessage(std::string_view path, std::string_view refusal);
// "<path>\n\n" and that a backup destination is never registered as a source.
std::string DestinationInDropMessage(std::string_view path);

// The path of a source's copy: root "X:\", the destination folder, then the source path
// without its drive letter and colon.
std::string CopyPathOf(char drive, std::string_view destination_folder, std::string_view source_path);

// The window side of a drop. The defaults do nothing, for drops without a window.
class DropHooks {
 public:
  virtual ~DropHooks() = default;
  // A drop is being handled (the window goes topmost) / is over (it no longer is).
  virtual void DropStarted() {}
  virtual void DropEnded() {}
  virtual void PhaseChanged(RegistrationPhase) {}
  // The dropped-on type's list was loaded into the list buffer: show it.
  virtual void ShowList(const ListBuffer&) {}
  // Blanks the progress area.
  virtual void ClearProgress() {}
  // Draws kAbortBoxText on white in the progress area.
  virtual void ShowAbortBox() {}
  // Progress of the subfolder walk: the abort box (red while the pointer is over it) and
  // the number of folders found so far.
  virtual void ShowWalkProgress(std::size_t /*folders_found*/) {}
  // Progress of the file pass: "登録中... <files registered>".
  virtual void ShowScanProgress(std::string_view /*text*/) {}
  // Handles at most one pending window message (an abort click clears keep_going).
  virtual void PumpOneMessage() {}
};

// The counters of one drop: what the merge needs and what the scan keeps.
struct DropBatch {
  char type_digit = 0;
  bool recursive = false;            // the "all subfolders" types
  std::size_t lines_before = 0;      // lines of the list when the drop began
  std::size_t files_registered = 0;  // new file lines in BkList.tmp
  std::size_t marker_lines = 0;      // new empty-folder marker lines
  std::size_t folders_found = 0;     // subfolders listed by the walks
  std::size_t problems = 0;          // lines written to the error report
  std::uint64_t running_total = 0;   // bytes of every file considered, refused ones included
  std::uint64_t free_space = 0;      // of the destination's drive, read at the start
  std::size_t slot_width = 0;        // SlotWidth: the list's, raised by the lines written
  bool destination_told = false;     // the user heard that a destination folder is no source
  std::size_t new_lines() const { return files_registered + marker_lines; }
};

struct DropContext {
  DropContext(FileSystem& fs_, ErrorReport& report_, MessagePort& messages_, DropHooks& hooks_, ListBuffer& list_,
              bool& keep_going_)
      : fs(fs_), report(report_), messages(messages_), hooks(hooks_), list(list_), keep_going(keep_going_) {}

  FileSystem& fs;
  ErrorReport& report;
  MessagePort& messages;
  DropHooks& hooks;
  ListBuffer& list;   // the registration window's list buffer
  bool& keep_going;   // WindowActive: cleared by a close request or the abort click
  char drive = 0;     // CurrentDestination; 0 when none is set
  std::string folder;
  bool free_space_check = false;  // FreeSpaceCheck
  // "D:\BK" texts of every destination: never registered as a source, nor below them.
  std::vector<std::string> destination_folders;

  RegistrationPhase phase = RegistrationPhase::Idle;
  DropBatch batch;           // of the last drop
  int progress_counter = 0;  // runs on across walks, scans and drops

  std::string Root() const { return DriveRoot(drive); }
};

void SetPhase(DropContext& ctx, RegistrationPhase phase);

// Whether the window takes a drop at all. Only an idle window with no message dialog up
// does: a dialog's loop dispatches the window's messages in the middle of a deletion, a
// merge or another drop, and a drop then would replace the list they work on. Any other
// drop is ignored (its handle released all the same).
bool TakesDrop(bool dialog_open, RegistrationPhase phase);

// Whether a left press at client (x, y) stops the registration: only on the
// kAbortBoxText label (2f < x < 12f, f/2 < y < 3f) and only while a scan runs
// (Registering). In any other phase the press must leave WindowActive alone, or the
// window would close once the merge or its closing message is over.
bool PressStopsScan(int x, int y, int f, RegistrationPhase phase);

struct DroppedPath {
  std::string path;  // Shift-JIS with escapes, as the shell gave it
};

enum class DropOutcome {
  Ignored,            // no type, no destination, or a drop still being merged
  DriveUnreadable,    // the destination's free space could not be read: message shown
  ListUnreadable,     // the type's list exists but cannot be read: report line, message
  WorkFileFailed,     // BkList.tmp could not be written: report line, message
  NothingRegistered,  // phase back to Idle (report kept and notice shown if problems)
  MergePending,       // phase MergePending: the pump runs the merge
};

// Registers a batch of dropped paths onto the type type_digit ('1'..'5') of the current
// destination.
DropOutcome RegisterDrop(DropContext& ctx, const std::vector<DroppedPath>& items, char type_digit);
DropOutcome RegisterDrop(DropContext& ctx, const std::vector<std::string>& paths, char type_digit);

}  // namespace bk
