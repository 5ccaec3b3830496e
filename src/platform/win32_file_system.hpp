// The Win32 adapter: the port over the system's wide (W) functions. Paths arrive as
// Shift-JIS and are converted with code page 932 (platform/wide.hpp); bytes that are no
// such text are kInvalidName, and a listed name with characters code page 932 lacks
// carries them as escapes, never as '?'.
#pragma once

#include "platform/file_system.hpp"

#include <string>
#include <string_view>

namespace bk {

// The long form ("\\?\") of an absolute path, which every call on a source or backup path
// takes: "D:\BK\a" gives "\\?\D:\BK\a", "D:" gives "\\?\D:\", "\\server\share\x" gives
// "\\?\UNC\server\share\x". It is built by hand, never through the system's resolution,
// which trims trailing dots and spaces ("foo." would name "foo") and takes "aux.c" for a
// device. Relative paths (the program's own files), paths rooted on the working drive and
// paths with a "." or ".." part or a bare device name ("NUL", "com1") keep their plain form.
std::wstring LongPathForm(std::wstring_view path);

class Win32FileSystem final : public FileSystem {
 public:
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
  std::string ErrorMessage(std::uint32_t code) override;
};

// The local date (GetLocalTime).
class Win32Clock final : public Clock {
 public:
  LocalDate Today() override;
};

}  // namespace bk
