// A file system that hands every call to another one: the base of test adapters that
// change one answer (a listing's names or sizes) and leave the rest alone.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"

namespace bk::test {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : in_(inner) {}

  Status ListFolder(std::string_view f, std::vector<FileInfo>* e) override { return in_.ListFolder(f, e); }
  Status GetInfo(std::string_view p, FileInfo* i) override { return in_.GetInfo(p, i); }
  Status OpenRead(std::string_view p, std::unique_ptr<ReadableFile>* f) override { return in_.OpenRead(p, f); }
  Status CreateWrite(std::string_view p, std::unique_ptr<WritableFile>* f) override { return in_.CreateWrite(p, f); }
  Status CreateNew(std::string_view p, std::unique_ptr<WritableFile>* f) override { return in_.CreateNew(p, f); }
  Status SetLastWriteTime(std::string_view p, FileTime t) override { return in_.SetLastWriteTime(p, t); }
  Status SetAttributes(std::string_view p, std::uint32_t a) override { return in_.SetAttributes(p, a); }
  Status Rename(std::string_view a, std::string_view b) override { return in_.Rename(a, b); }
  Status CopyPlain(std::string_view a, std::string_view b) override { return in_.CopyPlain(a, b); }
  Status DeleteFile(std::string_view p) override { return in_.DeleteFile(p); }
  Status CreateFolderChain(std::string_view p) override { return in_.CreateFolderChain(p); }
  Status DeleteTree(std::string_view p) override { return in_.DeleteTree(p); }
  Status RemoveEmptyFolder(std::string_view p) override { return in_.RemoveEmptyFolder(p); }
  Status FreeSpace(std::string_view r, std::uint64_t* b) override { return in_.FreeSpace(r, b); }
  Status GetVolumeInfo(std::string_view r, VolumeInfo* v) override { return in_.GetVolumeInfo(r, v); }
  Status GetFolderId(std::string_view f, FolderId* id) override { return in_.GetFolderId(f, id); }
  Status ReadLinkTarget(std::string_view p, std::string* t) override { return in_.ReadLinkTarget(p, t); }
  std::string ErrorMessage(std::uint32_t code) override { return in_.ErrorMessage(code); }

 protected:
  FileSystem& inner() { return in_; }

 private:
  FileSystem& in_;
};

}  // namespace bk::test
