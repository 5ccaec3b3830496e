#include "backup/folder_scan.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "common/text_file.hpp"
#include "engine/tree_walk.hpp"

namespace bk {

// ---- BatchWriter ------------------------------------------------------------

bool BatchWriter::Open() {
  const Status s = CreateTextFile(ctx_.fs, kDropListPath, &file_);
  if (s) return true;
  file_.reset();
  failed_ = true;
  ReportSystem(s.code, kDropListPath);
  return false;
}

bool BatchWriter::Flush() {
  if (pending_.empty() || failed_ || !file_) return !failed_;
  const Status s = file_->Write(pending_.data(), pending_.size());
  pending_.clear();
  if (s) return true;
  // A cut line must never reach the merge: the drop is given up.
  failed_ = true;
  ReportSystem(s.code, kDropListPath);
  return false;
}

bool BatchWriter::Close() {
  if (file_) {
    Flush();
    const Status s = file_->Close();
    file_.reset();
    if (!s && !failed_) {
      failed_ = true;
      ReportSystem(s.code, kDropListPath);
    }
  }
  return !failed_;
}

bool BatchWriter::Write(std::string_view line) {
  if (failed_ || !file_) return false;
  // Lines are gathered and written in large pieces: one system call per line made the
  // scan of a big tree slower than the tree walk itself.
  pending_.append(line);
  return pending_.size() < kWriteChunk || Flush();
}

void BatchWriter::RaiseSlotWidth(std::size_t width) {
  ctx_.batch.slot_width = std::max(ctx_.batch.slot_width, width);
}

bool BatchWriter::AddFile(std::string_view folder, std::string_view name, std::uint64_t size) {
  std::string path(folder);
  path += '\\';
  path += name;
  RaiseSlotWidth(path.size() + 20);
  DropBatch& batch = ctx_.batch;
  if (size > kMaxFieldSize) {
    ReportSystem(kErrorFileTooLarge, path);
    return false;
  }
  // A refused size stays in the total, so the later files of the drop are refused too.
  batch.running_total = size > std::numeric_limits<std::uint64_t>::max() - batch.running_total
                            ? std::numeric_limits<std::uint64_t>::max()
                            : batch.running_total + size;
  if (ctx_.free_space_check && batch.running_total > batch.free_space) {
    ++batch.problems;
    ctx_.report.AddEntryNoSpace(ctx_.Root(), path);
    return false;
  }
  if (!Write(MakeRegistrationLine('2', folder, name, batch.type_digit, size))) return false;
  ++batch.files_registered;
  return true;
}

void BatchWriter::AddEmptyFolder(std::string_view folder) {
  const std::string line = MakeRegistrationLine('2', folder, kEmptyFolderMarker, ctx_.batch.type_digit, 0);
  RaiseSlotWidth(line.size() + 20);
  if (Write(line)) ++ctx_.batch.marker_lines;
}

void BatchWriter::ReportSystem(std::uint32_t code, std::string_view path) {
  ++ctx_.batch.problems;
  ctx_.report.AddSystem(ctx_.fs.ErrorMessage(code), path);
}

void BatchWriter::ReportFileTooLong(std::string_view path) {
  ++ctx_.batch.problems;
  ctx_.report.AddFileEntryTooLong(ctx_.Root(), ctx_.folder, path.substr(std::min<std::size_t>(2, path.size())));
}

void BatchWriter::ReportEntryTooLong(std::string_view folder_text, std::string_view name) {
  ++ctx_.batch.problems;
  ctx_.report.AddFolderEntryTooLong(ctx_.Root(), ctx_.folder, folder_text.substr(2), name);
}

void BatchWriter::ReportLinkNotFollowed(std::string_view path) {
  ++ctx_.batch.problems;
  std::string target;
  (void)ctx_.fs.ReadLinkTarget(path, &target);
  ctx_.report.AddLinkNotFollowed(path, target);
}

void TellDestinationPassed(DropContext& ctx, std::string_view path) {
  if (ctx.batch.destination_told) return;
  ctx.batch.destination_told = true;
  ctx.messages.ShowMessage(DestinationInDropMessage(path), DialogMode::Ok);
}

// ---- progress -----------------------------------------------------------------

bool ProgressPoint(DropContext& ctx) {
  if (++ctx.progress_counter <= kProgressStep) return false;
  ctx.progress_counter = 0;
  return true;
}

namespace {

std::string FolderText(std::string_view folder) {
  std::string text(folder);
  text += '\\';
  return text;
}

// BkList\DirList.tmp, one folder per line. A failed write ends the walk: a folder list
// with a hole would register a tree as if it were whole.
class DirList {
 public:
  DirList(DropContext& ctx, BatchWriter& out) : ctx_(ctx), out_(out) {}

  bool Create() {
    const Status s = ctx_.fs.CreateWrite(kDirListPath, &file_);
    if (!s) Fail(s);
    return ok();
  }
  bool Add(std::string_view folder) {
    if (!ok()) return false;
    std::string line(folder);
    line += '\n';
    if (const Status s = file_->Write(line.data(), line.size()); !s) Fail(s);
    return ok();
  }
  bool Close() {
    if (file_) {
      const Status s = file_->Close();
      if (!s && ok()) Fail(s);
      file_.reset();
    }
    return ok();
  }
  bool ok() const { return !failed_; }

 private:
  void Fail(Status s) {
    failed_ = true;
    out_.ReportSystem(s.code, kDirListPath);
  }

  DropContext& ctx_;
  BatchWriter& out_;
  std::unique_ptr<WritableFile> file_;
  bool failed_ = false;
};

// Whether a subfolder the walk found may be listed; a refused one gets its report line.
bool AdmitSubfolder(BatchWriter& out, const std::string& path) {
  // Its marker line, and the copies below it, would pass the destination's path limit.
  if (!out.PathFits(path)) {
    out.ReportEntryTooLong(FolderText(path), "");
    return false;
  }
  return true;
}

// Registers the files of a folder from its listing; a marker line when none of them is
// registered (also when the folder could not be listed: listed is its result).
void RegisterListedFiles(BatchWriter& out, std::string_view folder, Status listed,
                         const std::vector<FileInfo>& entries) {
  const std::string folder_text = FolderText(folder);
  int registered = 0;
  if (!listed) {
    out.ReportSystem(listed.code, folder_text);
  } else {
    for (const FileInfo& entry : entries) {
      if (IsSkippedName(entry.name) || entry.is_directory()) continue;
      if (!out.PathFits(folder_text + entry.name)) {
        out.ReportEntryTooLong(folder_text, entry.name);
      } else if (out.AddFile(folder, entry.name, entry.size)) {
        ++registered;
      }
      if (out.failed()) return;
    }
  }
  if (registered == 0) out.AddEmptyFolder(folder);
}

// Registers the files directly in folder.
void RegisterFolderFiles(DropContext& ctx, BatchWriter& out, std::string_view folder) {
  std::vector<FileInfo> entries;
  const Status listed = ctx.fs.ListFolder(folder, &entries);
  RegisterListedFiles(out, folder, listed, entries);
}

// The walk and the file registration in one pass: each folder is listed once, its files
// registered from that listing, then its subfolders walked in the same order. BkList.tmp
// gets the same lines in the same order as a walk followed by a pass over DirList.tmp.
// After an abort the folders already listed in DirList.tmp are still registered.
class RegistrationWalk final : public TreeWalk::Visitor {
 public:
  RegistrationWalk(DropContext& ctx, BatchWriter& out, DirList& list) : ctx_(ctx), out_(out), list_(list) {}

  void Listed(const std::string& folder, Status listed, const std::vector<FileInfo>& entries) override {
    RegisterListedFiles(out_, folder, listed, entries);
  }
  bool Admit(const std::string& path) override {
    if (!AdmitSubfolder(out_, path)) return false;
    ++ctx_.batch.folders_found;
    return list_.Add(path);
  }
  void LinkPassed(const std::string& path, const FileInfo&) override { out_.ReportLinkNotFollowed(path); }
  void DestinationPassed(const std::string& path) override { TellDestinationPassed(ctx_, path); }
  bool KeepGoing() override {
    if (Failed()) return false;
    if (ProgressPoint(ctx_)) {
      ctx_.hooks.ShowWalkProgress(ctx_.batch.folders_found);
      ctx_.hooks.PumpOneMessage();
    }
    return ctx_.keep_going;
  }
  bool Stopped() override { return !ctx_.keep_going; }
  bool Failed() override { return !list_.ok() || out_.failed(); }

 private:
  DropContext& ctx_;
  BatchWriter& out_;
  DirList& list_;
};

}  // namespace

void FolderScan(DropContext& ctx, BatchWriter& out, std::string_view folder) {
  // The dropped folder itself must leave room for its marker line and copies.
  if (!out.PathFits(folder)) {
    out.ReportEntryTooLong(FolderText(folder), "");
    return;
  }
  DirList list(ctx, out);
  if (!list.Create()) return;
  list.Add(folder);
  if (ctx.batch.recursive) {
    RegistrationWalk visitor(ctx, out, list);
    TreeWalk(ctx.fs, ctx.destination_folders).Walk(std::string(folder), visitor);
    list.Close();
    return;
  }
  if (!list.Close()) return;
  ctx.hooks.ClearProgress();
  RegisterFolderFiles(ctx, out, folder);
  if (ProgressPoint(ctx)) {
    ctx.hooks.ShowScanProgress("登録中... " + std::to_string(ctx.batch.files_registered));
    ctx.hooks.PumpOneMessage();
  }
}

}  // namespace bk
