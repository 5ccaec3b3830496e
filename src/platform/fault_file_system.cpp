#include "platform/fault_file_system.hpp"

#include <optional>

namespace bk {

namespace {

bool SameDrive(std::string_view path, char letter) {
  const DriveLetter drive(letter);
  return drive && DriveLetter::OfPath(path) == drive;
}

// Streams that fail once a byte budget is spent: a copy breaking off half-way, a disk
// filling up.
class FaultReadable final : public ReadableFile {
 public:
  FaultReadable(std::unique_ptr<ReadableFile> inner, std::uint64_t budget, std::uint32_t code,
                FaultFileSystem::Armed* armed, std::optional<std::uint64_t> told_size, std::uint32_t extra)
      : inner_(std::move(inner)), budget_(budget), code_(code), armed_(armed), told_size_(told_size), extra_(extra) {}
  Status Read(void* buffer, std::size_t size, std::size_t* got) override {
    if (armed_ && done_ >= budget_) {
      ++armed_->failed;
      *got = 0;
      return Status::Error(code_);
    }
    if (armed_ && done_ + size > budget_) size = static_cast<std::size_t>(budget_ - done_);
    const Status s = inner_->Read(buffer, size, got);
    done_ += *got;
    return s;
  }
  Status GetInfo(FileInfo* info) override {
    const Status s = inner_->GetInfo(info);
    if (s && told_size_) info->size = *told_size_;
    if (s) info->attributes |= extra_;
    return s;
  }

 private:
  std::unique_ptr<ReadableFile> inner_;
  std::uint64_t budget_, done_ = 0;
  std::uint32_t code_;
  FaultFileSystem::Armed* armed_;
  std::optional<std::uint64_t> told_size_;
  std::uint32_t extra_;
};

class FaultWritable final : public WritableFile {
 public:
  FaultWritable(std::unique_ptr<WritableFile> inner, FaultFileSystem* fs, std::string path)
      : inner_(std::move(inner)), fs_(fs), path_(std::move(path)) {}
  Status Write(const void* data, std::size_t size) override {
    if (FaultFileSystem::Armed* a = fs_->Match(FsOp::Write, path_)) {
      const std::uint64_t budget = a->fault.after_bytes;
      if (done_ + size > budget) {
        const std::size_t part = done_ < budget ? static_cast<std::size_t>(budget - done_) : 0;
        if (part > 0) (void)inner_->Write(data, part);
        done_ += part;
        ++a->failed;
        return Status::Error(a->fault.code);
      }
    }
    done_ += size;
    return inner_->Write(data, size);
  }
  Status SetLastWriteTime(FileTime time) override { return inner_->SetLastWriteTime(time); }
  Status Flush() override {
    if (FaultFileSystem::Armed* a = fs_->Match(FsOp::Flush, path_)) {
      ++a->failed;
      return Status::Error(a->fault.code);
    }
    const Status s = inner_->Flush();
    if (s) fs_->RecordFlush(path_);
    return s;
  }
  Status Close() override {
    const Status s = inner_->Close();
    if (FaultFileSystem::Armed* a = fs_->Match(FsOp::CloseWrite, path_)) {
      ++a->failed;
      return Status::Error(a->fault.code);
    }
    return s;
  }

 private:
  std::unique_ptr<WritableFile> inner_;
  FaultFileSystem* fs_;
  std::string path_;
  std::uint64_t done_ = 0;
};

}  // namespace

void FaultFileSystem::RemoveDrive(char letter) { RemoveDriveAfterListings(letter, 0, err::kNotReady); }

void FaultFileSystem::RemoveDriveAfterListings(char letter, int listings, std::uint32_t code) {
  Fault f;
  f.op = FsOp::ListFolder;  // not consulted: a drive fault matches every call
  f.path_contains = std::string(1, letter);
  f.code = code;
  f.skip = listings;
  f.whole_drive = true;
  faults_.push_back({std::move(f), 0, 0});
}

// Only a valid letter is kept: a path without a drive finds none of them.
void FaultFileSystem::SetFreeSpace(char letter, std::uint64_t bytes) {
  if (const DriveLetter drive(letter); drive) free_space_[drive] = bytes;
}

void FaultFileSystem::SetFileSystemName(char letter, std::string name) {
  if (const DriveLetter drive(letter); drive) file_system_[drive] = std::move(name);
}

int FaultFileSystem::failures() const {
  int n = 0;
  for (const Armed& a : faults_) n += a.failed;
  return n;
}

FaultFileSystem::Armed* FaultFileSystem::Match(FsOp op, std::string_view path) {
  for (Armed& a : faults_) {
    if (a.fault.whole_drive) {
      if (!SameDrive(path, a.fault.path_contains[0])) continue;
      if (a.seen < a.fault.skip) {
        if (op == FsOp::ListFolder) ++a.seen;  // the drive still answers this listing
        continue;
      }
      return &a;
    }
    if (a.fault.op != op) continue;
    if (!a.fault.path_contains.empty() && path.find(a.fault.path_contains) == std::string_view::npos) continue;
    if (a.fault.times >= 0 && a.failed >= a.fault.times) continue;
    if (op == FsOp::Write || op == FsOp::Read) return &a;  // byte budgets decide there
    if (a.seen++ < a.fault.skip) continue;
    return &a;
  }
  return nullptr;
}

Status FaultFileSystem::Check(FsOp op, std::string_view path) {
  Armed* a = Match(op, path);
  if (!a) return Status::Ok();
  ++a->failed;
  return Status::Error(a->fault.code);
}

#define BK_FAULT_CHECK(op, path)                   \
  do {                                             \
    if (Status fault_ = Check(op, path); !fault_) return fault_; \
  } while (0)

std::optional<std::uint64_t> FaultFileSystem::ToldSize(std::string_view path) const {
  std::optional<std::uint64_t> told;
  for (const auto& [part, size] : file_sizes_)
    if (path.find(part) != std::string_view::npos) told = size;
  return told;
}

std::uint32_t FaultFileSystem::ExtraAttributes(std::string_view path) const {
  std::uint32_t bits = 0;
  for (const auto& [part, extra] : extra_attributes_)
    if (path.find(part) != std::string_view::npos) bits |= extra;
  return bits;
}

Status FaultFileSystem::ListFolder(std::string_view folder, std::vector<FileInfo>* entries) {
  BK_FAULT_CHECK(FsOp::ListFolder, folder);
  const Status s = inner_.ListFolder(folder, entries);
  if (s && (!file_sizes_.empty() || !extra_attributes_.empty())) {
    std::string path(folder);
    if (!path.empty() && path.back() != '\\') path += '\\';
    const std::size_t stem = path.size();
    for (FileInfo& e : *entries) {
      path.resize(stem);
      path += e.name;
      e.attributes |= ExtraAttributes(path);
      if (e.is_directory()) continue;
      if (const auto told = ToldSize(path)) e.size = *told;
    }
  }
  return s;
}

Status FaultFileSystem::GetInfo(std::string_view path, FileInfo* info) {
  BK_FAULT_CHECK(FsOp::GetInfo, path);
  const Status s = inner_.GetInfo(path, info);
  if (const auto told = ToldSize(path); s && told && !info->is_directory()) info->size = *told;
  if (s) info->attributes |= ExtraAttributes(path);
  return s;
}

Status FaultFileSystem::OpenRead(std::string_view path, std::unique_ptr<ReadableFile>* file) {
  BK_FAULT_CHECK(FsOp::OpenRead, path);
  std::unique_ptr<ReadableFile> inner;
  if (Status s = inner_.OpenRead(path, &inner); !s) return s;
  Armed* a = Match(FsOp::Read, path);
  std::optional<std::uint64_t> told_size;
  for (const auto& [part, size] : open_file_sizes_)
    if (path.find(part) != std::string_view::npos) told_size = size;
  if (const auto told = ToldSize(path); told && !told_size) told_size = told;
  const std::uint32_t extra = ExtraAttributes(path);
  if (!a && !told_size && extra == 0) {
    *file = std::move(inner);
    return Status::Ok();
  }
  *file = std::make_unique<FaultReadable>(std::move(inner), a ? a->fault.after_bytes : 0,
                                          a ? a->fault.code : err::kOk, a, told_size, extra);
  return Status::Ok();
}

Status FaultFileSystem::CreateWrite(std::string_view path, std::unique_ptr<WritableFile>* file) {
  BK_FAULT_CHECK(FsOp::CreateWrite, path);
  std::unique_ptr<WritableFile> inner;
  if (Status s = inner_.CreateWrite(path, &inner); !s) return s;
  *file = std::make_unique<FaultWritable>(std::move(inner), this, std::string(path));
  return Status::Ok();
}

Status FaultFileSystem::CreateNew(std::string_view path, std::unique_ptr<WritableFile>* file) {
  BK_FAULT_CHECK(FsOp::CreateWrite, path);
  std::unique_ptr<WritableFile> inner;
  if (Status s = inner_.CreateNew(path, &inner); !s) return s;
  created_new_.emplace_back(path);
  *file = std::make_unique<FaultWritable>(std::move(inner), this, std::string(path));
  return Status::Ok();
}

Status FaultFileSystem::SetLastWriteTime(std::string_view path, FileTime time) {
  BK_FAULT_CHECK(FsOp::SetLastWriteTime, path);
  return inner_.SetLastWriteTime(path, time);
}

Status FaultFileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
  BK_FAULT_CHECK(FsOp::SetAttributes, path);
  return inner_.SetAttributes(path, attributes);
}

Status FaultFileSystem::Rename(std::string_view from, std::string_view to) {
  BK_FAULT_CHECK(FsOp::Rename, to);
  BK_FAULT_CHECK(FsOp::Rename, from);
  return inner_.Rename(from, to);
}

Status FaultFileSystem::CopyPlain(std::string_view from, std::string_view to) {
  BK_FAULT_CHECK(FsOp::CopyPlain, to);
  return inner_.CopyPlain(from, to);
}

Status FaultFileSystem::DeleteFile(std::string_view path) {
  BK_FAULT_CHECK(FsOp::DeleteFile, path);
  return inner_.DeleteFile(path);
}

Status FaultFileSystem::CreateFolderChain(std::string_view path) {
  BK_FAULT_CHECK(FsOp::CreateFolderChain, path);
  return inner_.CreateFolderChain(path);
}

Status FaultFileSystem::DeleteTree(std::string_view path) {
  BK_FAULT_CHECK(FsOp::DeleteTree, path);
  return inner_.DeleteTree(path);
}

Status FaultFileSystem::RemoveEmptyFolder(std::string_view path) {
  BK_FAULT_CHECK(FsOp::RemoveEmptyFolder, path);
  return inner_.RemoveEmptyFolder(path);
}

Status FaultFileSystem::FreeSpace(std::string_view root, std::uint64_t* bytes) {
  BK_FAULT_CHECK(FsOp::FreeSpace, root);
  const Status s = inner_.FreeSpace(root, bytes);
  if (const auto it = free_space_.find(DriveLetter::OfPath(root)); s && it != free_space_.end()) *bytes = it->second;
  return s;
}

Status FaultFileSystem::GetVolumeInfo(std::string_view root, VolumeInfo* info) {
  BK_FAULT_CHECK(FsOp::GetVolumeInfo, root);
  const Status s = inner_.GetVolumeInfo(root, info);
  if (const auto it = file_system_.find(DriveLetter::OfPath(root)); s && it != file_system_.end()) info->file_system = it->second;
  return s;
}

Status FaultFileSystem::GetFolderId(std::string_view folder, FolderId* id) {
  BK_FAULT_CHECK(FsOp::GetFolderId, folder);
  const Status s = inner_.GetFolderId(folder, id);
  if (!s) return s;  // a played id never stands for a folder that is not there
  for (const auto& [part, played] : folder_ids_)
    if (folder.find(part) != std::string_view::npos) *id = played;
  return s;
}

Status FaultFileSystem::ReadLinkTarget(std::string_view path, std::string* target) {
  BK_FAULT_CHECK(FsOp::ReadLinkTarget, path);
  return inner_.ReadLinkTarget(path, target);
}

#undef BK_FAULT_CHECK

}  // namespace bk
