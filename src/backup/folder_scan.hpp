// The folder scan of a drop: the dropped folder (and, for the "all subfolders" types,
// every folder below it) listed in BkList\DirList.tmp, then the files of each listed
// folder registered, with an empty-folder marker line for a folder that gives none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "backup/drop_registration.hpp"
#include "platform/path_limit.hpp"

namespace bk {

inline constexpr std::string_view kDirListPath = "BkList\\DirList.tmp";
// A progress point comes when the progress counter passes this (every 101 entries).
inline constexpr int kProgressStep = 100;


// The registration lines of one drop going to BkList.tmp, with the checks every file
// passes and the report lines of every refusal. Keeps ctx.batch.
class BatchWriter {
 public:
  explicit BatchWriter(DropContext& ctx) : ctx_(ctx) {}
  BatchWriter(const BatchWriter&) = delete;
  BatchWriter& operator=(const BatchWriter&) = delete;

  // Creates BkList.tmp through the template; a failure gets a report line.
  bool Open();
  // Closes it; false (with a report line) when any write did not reach the disk.
  bool Close();
  // A write failed: the file is incomplete and must not be merged.
  bool failed() const { return failed_; }

  // Registers folder\name whose path already passed the length check: refused (with a
  // report line) when too large for the size field or beyond the free space.
  bool AddFile(std::string_view folder, std::string_view name, std::uint64_t size);
  void AddEmptyFolder(std::string_view folder);

  void ReportSystem(std::uint32_t code, std::string_view path);
  // A dropped file whose destination path would be too long.
  void ReportFileTooLong(std::string_view path);
  // An entry of a scanned folder (folder_text ends in a backslash; name is empty for a
  // folder that is itself too long).
  void ReportEntryTooLong(std::string_view folder_text, std::string_view name);
  // A link to a folder the walk does not follow.
  void ReportLinkNotFollowed(std::string_view path);

  // Whether the system can hold the copy of source_path under the destination (its
  // long form: every name and the whole path).
  bool PathFits(std::string_view source_path) const {
    return PathFitsSystem(CopyPathOf(ctx_.drive, ctx_.folder, source_path));
  }

 private:
  bool Write(std::string_view line);
  void RaiseSlotWidth(std::size_t width);

  DropContext& ctx_;
  bool Flush();
  static constexpr std::size_t kWriteChunk = 1 << 16;
  std::unique_ptr<WritableFile> file_;
  std::string pending_;
  bool failed_ = false;
};

// A destination folder met in a drop: the user is told once a drop that it is not registered.
void TellDestinationPassed(DropContext& ctx, std::string_view path);

// Counts one entry or folder; true at a progress point.
bool ProgressPoint(DropContext& ctx);

// Registers the files of the dropped folder (given without trailing backslash, "S:" for
// a drive root) and, when ctx.batch.recursive, of all its subfolders.
void FolderScan(DropContext& ctx, BatchWriter& out, std::string_view folder);

}  // namespace bk
