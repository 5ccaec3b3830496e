// The work on one registration list of one destination during a backup: copy what is
// missing or changed, follow deletions in mirror types, find new files in registered
// folders, and bring the list itself up to date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/list_buffer.hpp"
#include "engine/run_context.hpp"

namespace bk {

enum class SyncMode { SingleFiles, Mirror, Differential };

SyncMode ModeOf(char type_digit);

// The type's label in the progress text: "ファイル)", "ミラー 配下除外)", ...
std::string_view TypeLabel(char type_digit);

// "経過(<label> <done> / <total>" and twenty spaces that blank out a longer earlier text.
std::string ProgressText(char type_digit, std::size_t done, std::size_t total);

// Work files of the folder modes, in BkList.
inline constexpr std::string_view kAddListPath = "BkList\\add.tmp";
inline constexpr std::string_view kDeleteListPath = "BkList\\del.tmp";

struct SyncResult {
  std::size_t handled = 0;        // file lines handled in the pass over registered lines
  std::size_t files_in_list = 0;  // lines that are not empty-folder markers
  std::size_t dropped = 0;        // lines marked "0" and compacted away
  std::size_t new_lines = 0;      // lines merged from the new-file search
  std::size_t copied = 0;         // successful copies
  std::size_t copy_failures = 0;  // copies that failed or were cancelled
  std::size_t folders_deleted = 0;
  std::size_t folders_moved = 0;  // a folder's copy moved to the folder's new place
  std::size_t files_moved = 0;    // files whose copy was moved instead of copied (in moved folders too)
  bool aborted = false;
};

struct SyncTarget {
  char drive = 0;      // destination drive letter
  std::string folder;  // destination folder name under the drive's root
  std::string Root() const;  // "D:\"
};

// Synchronises list (a whole list of type type_digit) with the destination target.
// free_space is the bytes available on the destination, read at the start of the type.
SyncResult Synchronise(RunContext& ctx, ListBuffer& list, char type_digit, const SyncTarget& target,
                       std::uint64_t free_space);

// The destination path of a source path: root + folder + the source path without its
// drive letter and colon.
std::string DestinationPath(const SyncTarget& target, std::string_view source_path);

// True when path is a folder strictly below the destination's own folder, with no
// wildcard and no "." or ".." part: the only folders a mirror may delete.
bool IsDeletableBackupFolder(const SyncTarget& target, std::string_view path);

// Whether a copy's last-write time counts as its source's depends on the destination's
// file system: DestinationTimeRule (platform/destination_time.hpp).

}  // namespace bk
