// What a backup run works with: the file system, the report, the flags it shares with the
// progress thread, and the hooks through which it shows progress and hears the abort key.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_letter.hpp"
#include "common/error_report.hpp"
#include "platform/file_system.hpp"

namespace bk {

// The window side of a run. The default does nothing, for runs without a window.
class RunHooks {
 public:
  virtual ~RunHooks() = default;
  // "経過(<type label> <done> / <total>" followed by twenty spaces.
  virtual void DrawProgressText(std::string_view) {}
  // "バックアップ先 <root><folder> 【<label>】"
  virtual void SetWindowTitle(std::string_view) {}
  // Handles at most one pending window message.
  virtual void PumpOneMessage() {}
  // Whether a progress count may be drawn now. A window answers false while the last count
  // it drew is too fresh for an eye to have read it: drawing and pumping for every file
  // of a big tree costs more than the copies. A count passed over is drawn later (see
  // the run), so the last one always shows.
  virtual bool ProgressDue() { return true; }
  // True while Ctrl and Shift are both held.
  virtual bool AbortKeysHeld() { return false; }
  // A copy is about to start (progress state 1): the source path and its size in MiB.
  virtual void CopyStarting(std::string_view /*source_path*/, std::uint32_t /*size_mib*/) {}
  // Bytes of the current file copied so far.
  virtual void CopyProgress(std::uint64_t /*bytes_done*/) {}
  // Asked after each chunk of a copy: true while Ctrl and Shift are both held. (The progress
  // thread watches the keys too; this also catches them where only the copying thread
  // receives keyboard input.)
  virtual bool AbortKeysHeldDuringCopy() { return false; }
  // The copy has returned (progress state 3).
  virtual void CopyEnded() {}
  // The completion message of a run that recorded problems (shown with the OK button).
  virtual void ShowCompletionMessage(std::string_view /*notice*/) {}
  // The run moves to a destination; its registered total was recomputed (kTotalUnknown
  // when one of its lists could not be read).
  virtual void DestinationStarted(std::string_view /*destination*/, std::int64_t /*total_registered_size*/) {}
};

// Values shared with the progress thread, which may set the abort flag at any time.
struct RunFlags {
  std::atomic<int> abort{0};   // Ctrl + Shift seen: the run ends after the current type
  std::atomic<int> cancel{0};  // handed to the running copy; set from the abort flag
};

struct RunSettings {
  bool free_space_check = true;  // FreeSpaceCheck: some drive answered a free-space query
  int mail_option = 1;           // MailOption: 1 keeps changed .eml files from being recopied
  VolumeLabels volume_labels;  // by drive letter
  // "D:\BK" texts of every destination: never walked as a source (a run adds its own).
  std::vector<std::string> destination_folders;
  // A mirror moves the copy of a renamed or moved folder or file instead of copying it
  // again; off only to measure what that saves.
  bool detect_moves = true;
  std::string_view LabelOf(char drive) const;
};

struct RunContext {
  FileSystem& fs;
  ErrorReport& report;
  RunHooks& hooks;
  RunFlags& flags;
  RunSettings settings;
};

}  // namespace bk
