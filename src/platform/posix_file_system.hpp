// The POSIX adapter: lets the whole system run natively (tests, sanitizers, fuzzers,
// benchmarks). Drive letters map to folders chosen by the caller; names are stored on
// disk as UTF-8 (converted as the system converts names); free space, label and file-system name of a drive can be played.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/drive_letter.hpp"
#include "platform/destination_time.hpp"
#include "platform/file_system.hpp"

namespace bk {

struct PosixDrive {
  std::string folder;                       // host folder the drive's root maps to
  std::string label;                        // Shift-JIS
  // The drive plays this file system: a last-write time given to a file on it is kept as
  // that file system keeps it (DestinationTimeRule::Stored), and a file on a FAT drive
  // cannot be written past 4 GiB - 1 byte.
  std::string file_system = "NTFS";
  std::optional<std::uint64_t> free_space;  // nothing: the host's real free space
  bool absent = false;                      // a removed stick: every call is "not ready"
};

class PosixFileSystem final : public FileSystem {
 public:
  // base_folder is the program folder that relative paths ("BkList\...") resolve in.
  explicit PosixFileSystem(std::string base_folder);

  void MapDrive(char letter, PosixDrive drive);
  PosixDrive* Drive(char letter);
  void UnmapDrive(char letter);
  const std::string& base_folder() const { return base_; }
  // Whether Flush really waits for the disk (fsync); on unless turned off. Tests and
  // fuzzers, which never lose power, turn it off: a flush costs them milliseconds each.
  void SetFlushes(bool on) { flushes_ = on; }

  // The host path a system path maps to, or an error code (unmapped or absent drive,
  // a name code page 932 cannot convert).
  Status HostPath(std::string_view path, std::string* host) const;

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

 private:
  // The file system the drive of path plays; the program folder is exact.
  FileSystemKind KindOf(std::string_view path) const;
  // A host path as the system path that names it: inside a drive's folder "S:\\a\\b", else
  // the host path itself with its separators turned.
  std::string SystemPathOf(std::string_view host) const;

  std::string base_;
  std::map<DriveLetter, PosixDrive> drives_;
  bool flushes_ = true;
};

// The local date of the host.
class PosixClock final : public Clock {
 public:
  LocalDate Today() override;
};

// A name's Shift-JIS text (escapes included) <-> its host name in UTF-8, converted as the
// Win32 adapter converts to the system's UTF-16. The first is false for bytes that are no
// such text; the second has an answer for every host name.
bool Cp932ToUtf8(std::string_view cp932, std::string* utf8);
std::string Utf8ToCp932(std::string_view utf8);

// FILETIME <-> POSIX time.
FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
void UnixFromFileTime(FileTime time, std::int64_t* seconds, std::int64_t* nanoseconds);

}  // namespace bk
