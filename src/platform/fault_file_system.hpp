// A wrapper that makes chosen calls of another adapter fail, to prove that nothing is
// lost when a copy breaks off, a disk fills up, a drive goes away or a rename fails.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/drive_letter.hpp"
#include "platform/file_system.hpp"

namespace bk {

enum class FsOp {
  ListFolder, GetInfo, OpenRead,
  CreateWrite,  // both ways of creating a file for writing: CreateWrite and CreateNew
  Write, Read, Flush, CloseWrite, SetLastWriteTime,
  SetAttributes, Rename, CopyPlain, DeleteFile, CreateFolderChain, DeleteTree, FreeSpace,
  GetVolumeInfo, RemoveEmptyFolder, GetFolderId, ReadLinkTarget
};

struct Fault {
  FsOp op;
  std::string path_contains;  // empty: every path; matched against the call's first path
  std::uint32_t code = err::kAccessDenied;
  int skip = 0;               // matching calls that still succeed before the fault starts
  int times = -1;             // how many matching calls fail; -1: all of them
  std::uint64_t after_bytes = 0;  // Write/Read: fail once this many bytes went through
  bool whole_drive = false;   // every call on the drive path_contains[0] fails; skip
                              // counts folder listings on it that still succeed first
};

class FaultFileSystem final : public FileSystem {
 public:
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  void Add(Fault fault) { faults_.push_back({std::move(fault), 0, 0}); }
  // A drive that has gone: every call on its paths answers "not ready".
  void RemoveDrive(char letter);
  // A drive that goes away during a pass (a loose USB contact): after `listings` folder
  // listings on it, every call on its paths fails with code. With "path not found" the
  // vanished drive looks, folder by folder, exactly like deleted folders.
  void RemoveDriveAfterListings(char letter, int listings, std::uint32_t code = err::kPathNotFound);
  // Plays a drive's free space or file-system name (a small stick, a FAT disk).
  void SetFreeSpace(char letter, std::uint64_t bytes);
  void SetFileSystemName(char letter, std::string name);
  // An open file whose path holds path_contains tells this size, as a file written to or
  // cut short by another program after it was opened would.
  void SetOpenFileSize(std::string path_contains, std::uint64_t size) {
    open_file_sizes_.emplace_back(std::move(path_contains), size);
  }
  // A file whose path holds path_contains tells this size everywhere: GetInfo, its
  // folder's listing and its open handle (a file of 5 GiB without writing 5 GiB). Reads
  // still give its real bytes.
  void SetFileSize(std::string path_contains, std::uint64_t size) {
    file_sizes_.emplace_back(std::move(path_contains), size);
  }
  // Entries whose path holds path_contains carry these attribute bits as well, in their
  // folder's listing, GetInfo and their open handle: a cloud placeholder (kRecallOnOpen,
  // kRecallOnDataAccess, kOffline) without a cloud.
  void SetExtraAttributes(std::string path_contains, std::uint32_t bits) {
    extra_attributes_.emplace_back(std::move(path_contains), bits);
  }
  // A folder whose path holds path_contains answers GetFolderId with id: two folders that
  // are one, reached without any link saying so.
  void SetFolderIdOf(std::string path_contains, FolderId id) {
    folder_ids_.emplace_back(std::move(path_contains), id);
  }
  void Clear() {
    faults_.clear();
    open_file_sizes_.clear();
    file_sizes_.clear();
    extra_attributes_.clear();
    folder_ids_.clear();
  }
  // How many calls a fault has made fail so far.
  int failures() const;
  // The files flushed so far, in order, and the files created by CreateNew: what a power
  // loss could have done to the destination depends on them.
  const std::vector<std::string>& flushed() const { return flushed_; }
  const std::vector<std::string>& created_new() const { return created_new_; }
  void ForgetWrites() {
    flushed_.clear();
    created_new_.clear();
  }

  Status ListFolder(std::string_view folder, std::vector<FileInfo>* entries) override;
  Status GetInfo(std::string_view path, FileInfo* info) override;
  Status OpenRead(std::string_view path, std::unique_ptr<ReadableFile>* file) override;
  Status CreateWrite(std::string_view path, std::unique_ptr<WritableFile>* file) override;
  Status CreateNew(std::string_view path, std::unique_ptr<WritableFile>* file) override;
  Status SetLastWriteTime(std::string_view path, FileTime time) override;
  Status SetAttributes(std::string_view path, std::uint32_t attributes) override;
  Status Rename(std::string_view from, std::string_view to) override;
  Status CopyPlain(std::string_view from, std::string_view to) override;
  Status DeleteFile(std::string_view path) override;
  Status CreateFolderChain(std::string_view path) override;
  Status DeleteTree(std::string_view path) override;
  Status RemoveEmptyFolder(std::string_view path) override;
  Status FreeSpace(std::string_view root, std::uint64_t* bytes) override;
  Status GetVolumeInfo(std::string_view root, VolumeInfo* info) override;
  Status GetFolderId(std::string_view folder, FolderId* id) override;
  Status ReadLinkTarget(std::string_view path, std::string* target) override;
  std::string ErrorMessage(std::uint32_t code) override { return inner_.ErrorMessage(code); }

  struct Armed {
    Fault fault;
    int seen = 0;
    int failed = 0;
  };
  // The fault that applies to this call, or null (counts the call).
  Armed* Match(FsOp op, std::string_view path);
  void RecordFlush(std::string path) { flushed_.push_back(std::move(path)); }

 private:
  Status Check(FsOp op, std::string_view path);
  // The size SetFileSize gives path, if any.
  std::optional<std::uint64_t> ToldSize(std::string_view path) const;
  // The bits SetExtraAttributes gives path (0: none).
  std::uint32_t ExtraAttributes(std::string_view path) const;

  FileSystem& inner_;
  std::vector<Armed> faults_;
  std::map<DriveLetter, std::uint64_t> free_space_;
  std::map<DriveLetter, std::string> file_system_;
  std::vector<std::string> flushed_, created_new_;
  std::vector<std::pair<std::string, std::uint64_t>> open_file_sizes_;
  std::vector<std::pair<std::string, std::uint64_t>> file_sizes_;
  std::vector<std::pair<std::string, std::uint32_t>> extra_attributes_;
  std::vector<std::pair<std::string, FolderId>> folder_ids_;
};

}  // namespace bk
