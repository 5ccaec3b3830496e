// The file-system port: everything the system does with files, folders and drives.
//
// Paths are Shift-JIS (code page 932) byte strings in Windows form: "BkList\ToDrive.txt"
// (relative to the program folder) or "D:\BK\Users\a.txt" (absolute, drive letter).
// Results carry Windows error codes on every adapter, so the core can tell "not found"
// from "drive not ready" or "access denied" the same way everywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bk {

// Windows error codes the core reasons about (the numbers are the system's own).
namespace err {
inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidDrive = 15;
inline constexpr std::uint32_t kWriteProtect = 19;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kHandleDiskFull = 39;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kInvalidName = 123;
inline constexpr std::uint32_t kDirNotEmpty = 145;
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kFilenameTooLong = 206;
inline constexpr std::uint32_t kDirectory = 267;
inline constexpr std::uint32_t kNoUnicodeTranslation = 1113;
inline constexpr std::uint32_t kIoDevice = 1117;
inline constexpr std::uint32_t kRequestAborted = 1235;
inline constexpr std::uint32_t kNotAReparsePoint = 4390;  // ReadLinkTarget on a path that is no link
}  // namespace err

// The outcome of one port call: 0 or a Windows error code. A failure must never pass
// unseen, so a Status is not to be dropped; (void) marks the few that may be.
struct [[nodiscard]] Status {
  std::uint32_t code = err::kOk;
  constexpr bool ok() const { return code == err::kOk; }
  constexpr explicit operator bool() const { return ok(); }
  static constexpr Status Ok() { return {}; }
  static constexpr Status Error(std::uint32_t c) { return {c}; }
};

// Only these two codes mean that a path does not exist; every other failure
// (drive not ready, access denied, ...) means "could not tell".
constexpr bool IsNotFound(Status s) {
  return s.code == err::kFileNotFound || s.code == err::kPathNotFound;
}

// File attributes, with the system's bit values.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kHidden = 0x02;
inline constexpr std::uint32_t kSystem = 0x04;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kBasic = kReadOnly | kHidden | kSystem | kArchive;
// Values checked against MinGW-w64's winnt.h (FILE_ATTRIBUTE_REPARSE_POINT 0x400,
// FILE_ATTRIBUTE_OFFLINE 0x1000). Its version 10 has no FILE_ATTRIBUTE_RECALL_ON_*; those
// two are the values the system documents, and the Win32 adapter checks them wherever the
// header it is built with defines them.
inline constexpr std::uint32_t kReparsePoint = 0x400;
inline constexpr std::uint32_t kOffline = 0x1000;
// A cloud placeholder: opening it, or reading its data, fetches it from the network.
inline constexpr std::uint32_t kRecallOnOpen = 0x40000;
inline constexpr std::uint32_t kRecallOnDataAccess = 0x400000;
}  // namespace attr

// What kind of link an entry is. A walk must never follow a folder link; a file link is
// backed up as the file it points to.
enum class LinkKind : std::uint8_t {
  None,    // no link; other reparse points (cloud files, dedup) are ordinary entries
  Folder,  // a junction (mount point) or a folder symbolic link: a folder with kReparsePoint
  File,    // a file symbolic link: its size, time and attributes are its target's, with
           // kReparsePoint kept; a dangling one is listed with size 0 and is "not found"
           // for GetInfo and OpenRead
};

// The file system's own identity of a folder (volume, file index): two paths with the
// same id are one folder, however they were reached.
struct FolderId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FolderId&) const = default;
};

// Last-write time in 100-nanosecond steps since 1601-01-01 UTC (the system's FILETIME).
using FileTime = std::uint64_t;

struct FileInfo {
  std::string name;  // Shift-JIS, escapes where code page 932 lacks a character; ListFolder only
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  FileTime last_write = 0;
  LinkKind link = LinkKind::None;
  bool is_directory() const { return (attributes & attr::kDirectory) != 0; }
};

struct VolumeInfo {
  std::string label;        // Shift-JIS, may be empty
  std::string file_system;  // "NTFS", "FAT32", ...
};

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to size bytes; *got == 0 at the end of the file.
  virtual Status Read(void* buffer, std::size_t size, std::size_t* got) = 0;
  // Attributes, size and last-write time of the open file (the name is left empty): what
  // GetInfo tells of its path, without looking the path up again. A file opened through a
  // link is its target, so kReparsePoint is not among them.
  virtual Status GetInfo(FileInfo* info) = 0;
};

class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Write(const void* data, std::size_t size) = 0;
  // Sets the last-write time through the open handle (kept by Close).
  virtual Status SetLastWriteTime(FileTime time) = 0;
  // Brings the bytes written so far, and a time already set, to the disk before it
  // returns. Asked for only where a later step relies on them being there: a file about
  // to be renamed over a good one. It costs a disk round trip (milliseconds on a USB disk).
  virtual Status Flush() = 0;
  // Gives the file the time set and closes it, without flushing; a failure of the last
  // write the system reports here is returned.
  virtual Status Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists a folder's entries (never "." and ".."). The order is not part of the contract.
  virtual Status ListFolder(std::string_view folder, std::vector<FileInfo>* entries) = 0;
  virtual Status GetInfo(std::string_view path, FileInfo* info) = 0;
  virtual Status OpenRead(std::string_view path, std::unique_ptr<ReadableFile>* file) = 0;
  // Creates the file or empties an existing one, for binary writing.
  virtual Status CreateWrite(std::string_view path, std::unique_ptr<WritableFile>* file) = 0;
  // Creates a file that does not exist yet, for binary writing. Anything already at the
  // path (a file or a folder) is left alone and answered with kFileExists: the test and
  // the creation are one step, so no copy can be lost between them.
  virtual Status CreateNew(std::string_view path, std::unique_ptr<WritableFile>* file) = 0;
  virtual Status SetLastWriteTime(std::string_view path, FileTime time) = 0;
  virtual Status SetAttributes(std::string_view path, std::uint32_t attributes) = 0;
  // Renames a file, replacing an existing target.
  virtual Status Rename(std::string_view from, std::string_view to) = 0;
  // Copies a file as the system's plain copy does (no progress), replacing the target.
  virtual Status CopyPlain(std::string_view from, std::string_view to) = 0;
  virtual Status DeleteFile(std::string_view path) = 0;
  // Creates a folder and every missing parent; an existing folder is success.
  virtual Status CreateFolderChain(std::string_view path) = 0;
  // Deletes a folder with everything below it, permanently.
  virtual Status DeleteTree(std::string_view path) = 0;
  // Removes a folder only when it is empty; one that holds anything is refused.
  virtual Status RemoveEmptyFolder(std::string_view path) = 0;
  // Bytes available to the caller on the drive of root ("D:\").
  virtual Status FreeSpace(std::string_view root, std::uint64_t* bytes) = 0;
  virtual Status GetVolumeInfo(std::string_view root, VolumeInfo* info) = 0;
  // The identity of a folder (a drive root "S:" or "S:\" too), following links: a link
  // and its target give the same id. A file has one as well.
  virtual Status GetFolderId(std::string_view folder, FolderId* id) = 0;
  // What the link at path points to, as a path for a report line; kNotAReparsePoint
  // where path is no link.
  virtual Status ReadLinkTarget(std::string_view path, std::string* target) = 0;
  // The system's text for an error code, Shift-JIS, without trailing CR LF.
  virtual std::string ErrorMessage(std::uint32_t code) = 0;
};

// The clock port: the local date for report headers.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDate Today() = 0;
};

}  // namespace bk
