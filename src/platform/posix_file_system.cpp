#include "platform/posix_file_system.hpp"

#include "platform/shift_jis.hpp"
#include "platform/destination_time.hpp"
#include "platform/wide.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace bk {

namespace {

constexpr std::int64_t kEpochDifference = 11644473600LL;  // 1601 -> 1970, seconds
constexpr const char* kAttributeXattr = "user.bk.attributes";

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Names on the host are UTF-8; a UTF-16 unit that UTF-8 cannot carry alone (half of a
// surrogate pair, which Windows allows in a name) is written in the generalised form
// (three bytes, as for any other unit of the range), so every name has one host name and
// comes back from it. A host name that is no such text (stray bytes no Windows name
// has) keeps each stray byte b as the unit U+DC00 + b: it is listed, and calls on it are
// answered "not found" like those on a file that vanished.
constexpr char16_t kStrayByteBase = 0xDC00;

void AppendHostUnit(std::u16string_view wide, std::size_t* i, std::string* out) {
  std::uint32_t c = wide[*i];
  if (c >= 0xD800 && c <= 0xDBFF && *i + 1 < wide.size() && wide[*i + 1] >= 0xDC00 && wide[*i + 1] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (wide[*i + 1] - 0xDC00);
    ++*i;
  }
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// One character of a host name: its code point and byte count, or 0 bytes where the bytes
// are no character (the first byte then stands alone as a stray byte).
std::size_t HostCharAt(std::string_view host, std::size_t i, std::uint32_t* code) {
  const auto b0 = static_cast<unsigned char>(host[i]);
  if (b0 < 0x80) {
    *code = b0;
    return 1;
  }
  std::size_t n = 0;
  std::uint32_t c = 0, min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) n = 2, c = b0 & 0x1F, min = 0x80;
  else if (b0 >= 0xE0 && b0 <= 0xEF) n = 3, c = b0 & 0x0F, min = 0x800;
  else if (b0 >= 0xF0 && b0 <= 0xF4) n = 4, c = b0 & 0x07, min = 0x10000;
  else return 0;
  if (i + n > host.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(host[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF) return 0;
  *code = c;
  return n;
}

std::uint32_t FromErrno(int e) {
  switch (e) {
    case ENOENT: return err::kFileNotFound;
    case ENOTDIR: return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return err::kAccessDenied;
    case ENOSPC:
    case EDQUOT: return err::kDiskFull;
    case EEXIST: return err::kAlreadyExists;
    case ENOTEMPTY: return err::kDirNotEmpty;
    case ENAMETOOLONG: return err::kFilenameTooLong;
    case EROFS: return err::kWriteProtect;
    case EBUSY:
    case ETXTBSY: return err::kSharingViolation;
    case EILSEQ: return err::kNoUnicodeTranslation;
    case EINVAL: return err::kInvalidParameter;
    default: return err::kIoDevice;
  }
}

// ENOENT means "file not found" when the parent folder exists and "path not found"
// when it does not, as on the system.
Status ErrnoStatus(int e, const std::string& host) {
  if (e == ENOENT) {
    const auto slash = host.find_last_of('/');
    struct stat st {};
    if (slash != std::string::npos && slash > 0 &&
        (::stat(host.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
      return Status::Error(err::kPathNotFound);
    }
  }
  return Status::Error(FromErrno(e));
}

std::uint32_t ExtraAttributesFrom(const char* value, ssize_t n) {
  if (n <= 0) return 0;
  return static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10)) & (attr::kHidden | attr::kSystem);
}

std::uint32_t ExtraAttributes(const std::string& host) {
  char value[16] = {};
  return ExtraAttributesFrom(value, ::getxattr(host.c_str(), kAttributeXattr, value, sizeof value - 1));
}

void FillInfo(const struct stat& st, std::uint32_t extra, FileInfo* info) {
  info->size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
  info->last_write = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  std::uint32_t a = extra;
  if (S_ISDIR(st.st_mode)) a |= attr::kDirectory;
  else a |= attr::kArchive;
  if ((st.st_mode & S_IWUSR) == 0) a |= attr::kReadOnly;
  info->attributes = a;
}

// A symbolic link as the system shows one: to a folder a folder link (the link's own
// time); to a file the target's size, time and read-only bit with kReparsePoint. A link
// whose target is gone is a file link of size 0 (target_found false).
void FillLinkInfo(const struct stat& link, const struct stat* target, FileInfo* info) {
  if (target && S_ISDIR(target->st_mode)) {
    FillInfo(link, 0, info);
    info->attributes = attr::kDirectory | attr::kReparsePoint;
    info->size = 0;
    info->link = LinkKind::Folder;
    return;
  }
  FillInfo(target ? *target : link, 0, info);
  if (!target) info->size = 0;
  info->attributes |= attr::kReparsePoint;
  info->link = LinkKind::File;
}

class PosixReadable final : public ReadableFile {
 public:
  explicit PosixReadable(int fd) : fd_(fd) {}
  ~PosixReadable() override { ::close(fd_); }
  Status Read(void* buffer, std::size_t size, std::size_t* got) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return Status::Ok();
      }
      if (errno != EINTR) {
        *got = 0;
        return Status::Error(FromErrno(errno));
      }
    }
  }
  Status GetInfo(FileInfo* info) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Status::Error(FromErrno(errno));
    char value[16] = {};
    FillInfo(st, ExtraAttributesFrom(value, ::fgetxattr(fd_, kAttributeXattr, value, sizeof value - 1)), info);
    info->name.clear();
    return Status::Ok();
  }

 private:
  int fd_;
};

// Plays the file system of the file's drive: the time given is kept as that file system
// keeps it, and a FAT file cannot grow past 4 GiB - 1 byte (the system answers "disk
// full" there). Files are opened empty, so the bytes written are the file's size.
class PosixWritable final : public WritableFile {
 public:
  PosixWritable(int fd, bool flushes, FileSystemKind kind) : fd_(fd), flushes_(flushes), rule_{kind} {}
  ~PosixWritable() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Status Write(const void* data, std::size_t size) override {
    time_applied_ = false;  // a write moves the time on: it is given again at Close
    if (!HoldsFileSize(rule_.kind, written_ + size)) return Status::Error(err::kDiskFull);
    written_ += size;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Status::Error(FromErrno(errno));
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return Status::Ok();
  }
  Status SetLastWriteTime(FileTime time) override {
    pending_time_ = time;
    has_time_ = true;
    time_applied_ = false;
    return Status::Ok();
  }
  Status Flush() override {
    if (fd_ < 0) return Status::Error(err::kInvalidParameter);
    if (Status s = ApplyTime(); !s) return s;
    if (flushes_ && ::fsync(fd_) != 0) return Status::Error(FromErrno(errno));
    return Status::Ok();
  }
  Status Close() override {
    if (fd_ < 0) return Status::Ok();
    Status s = ApplyTime();
    if (::close(fd_) != 0 && s) s = Status::Error(FromErrno(errno));
    fd_ = -1;
    return s;
  }

 private:
  Status ApplyTime() {
    if (!has_time_ || time_applied_) return Status::Ok();
    std::int64_t sec = 0, nsec = 0;
    UnixFromFileTime(rule_.Stored(pending_time_), &sec, &nsec);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(sec), static_cast<long>(nsec)}};
    if (::futimens(fd_, times) != 0) return Status::Error(FromErrno(errno));
    time_applied_ = true;
    return Status::Ok();
  }

  int fd_;
  const bool flushes_;
  const DestinationTimeRule rule_;
  std::uint64_t written_ = 0;
  FileTime pending_time_ = 0;
  bool has_time_ = false;
  bool time_applied_ = false;
};


}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string* utf8) {
  // Plain ASCII is its own UTF-8; the escape byte and NUL are not plain.
  if (IsAscii(cp932) && cp932.find_first_of(std::string_view("\x1B\0", 2)) == std::string_view::npos) {
    utf8->assign(cp932);
    return true;
  }
  std::u16string wide;
  if (!ToUtf16(cp932, &wide)) return false;
  utf8->clear();
  utf8->reserve(wide.size() * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) AppendHostUnit(wide, &i, utf8);
  return true;
}

std::string Utf8ToCp932(std::string_view utf8) {
  if (IsAscii(utf8) && utf8.find_first_of(std::string_view("\x1B\0", 2)) == std::string_view::npos) {
    return std::string(utf8);
  }
  std::u16string wide;
  wide.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t c = 0;
    const std::size_t n = HostCharAt(utf8, i, &c);
    if (n == 0) {
      wide.push_back(static_cast<char16_t>(kStrayByteBase + static_cast<unsigned char>(utf8[i])));
      ++i;
      continue;
    }
    // A pair written as two three-byte halves is not how a name is stored: stray bytes.
    std::uint32_t next = 0;
    if (c >= 0xD800 && c <= 0xDBFF && i + n < utf8.size() && HostCharAt(utf8, i + n, &next) == 3 &&
        next >= 0xDC00 && next <= 0xDFFF) {
      for (std::size_t k = 0; k < n; ++k)
        wide.push_back(static_cast<char16_t>(kStrayByteBase + static_cast<unsigned char>(utf8[i + k])));
      i += n;
      continue;
    }
    if (c >= 0x10000) {
      wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(c));
    }
    i += n;
  }
  return FromUtf16(wide);
}

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  return static_cast<FileTime>((seconds + kEpochDifference) * 10000000LL + nanoseconds / 100);
}

void UnixFromFileTime(FileTime time, std::int64_t* seconds, std::int64_t* nanoseconds) {
  const auto t = static_cast<std::int64_t>(time);
  *seconds = t / 10000000LL - kEpochDifference;
  *nanoseconds = (t % 10000000LL) * 100;
}

PosixFileSystem::PosixFileSystem(std::string base_folder) : base_(std::move(base_folder)) {
  while (base_.size() > 1 && base_.back() == '/') base_.pop_back();
}

void PosixFileSystem::MapDrive(char letter, PosixDrive drive) {
  while (drive.folder.size() > 1 && drive.folder.back() == '/') drive.folder.pop_back();
  if (const DriveLetter key(letter); key) drives_[key] = std::move(drive);  // a byte that is no letter names no drive
}

PosixDrive* PosixFileSystem::Drive(char letter) {
  auto it = drives_.find(DriveLetter(letter));
  return it == drives_.end() ? nullptr : &it->second;
}

void PosixFileSystem::UnmapDrive(char letter) {
  drives_.erase(DriveLetter(letter));
}

FileSystemKind PosixFileSystem::KindOf(std::string_view path) const {
  if (path.size() < 2 || path[1] != ':') return FileSystemKind::Exact;  // the program folder
  const auto it = drives_.find(DriveLetter(path[0]));
  return it == drives_.end() ? FileSystemKind::Exact : FileSystemKindOf(it->second.file_system);
}

Status PosixFileSystem::HostPath(std::string_view path, std::string* host) const {
  std::string_view rest = path;
  std::string prefix;
  if (const DriveLetter letter = DriveLetter::OfPath(path); letter) {
    const auto it = drives_.find(letter);
    if (it == drives_.end()) return Status::Error(err::kPathNotFound);
    if (it->second.absent) return Status::Error(err::kNotReady);
    prefix = it->second.folder;
    rest = path.substr(2);
  } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    return Status::Error(err::kPathNotFound);  // no network shares here
  } else {
    prefix = base_ + "/";
  }
  std::string converted;
  if (!Cp932ToUtf8(rest, &converted)) return Status::Error(err::kInvalidName);
  // UTF-8 never carries 0x5C inside a character, so every backslash left is a separator.
  std::replace(converted.begin(), converted.end(), '\\', '/');
  *host = prefix + converted;
  while (host->size() > 1 && host->back() == '/') host->pop_back();
  return Status::Ok();
}

Status PosixFileSystem::ListFolder(std::string_view folder, std::vector<FileInfo>* entries) {
  entries->clear();
  std::string host;
  if (Status s = HostPath(folder, &host); !s) return s;
  DIR* dir = ::opendir(host.c_str());
  if (!dir) return ErrnoStatus(errno, host + "/x");
  const int dfd = ::dirfd(dir);
  while (struct dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    // One call for a plain entry; a link is asked for its target as well.
    struct stat st {};
    if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
    FileInfo info;
    if (S_ISLNK(st.st_mode)) {
      struct stat target {};
      const bool found = ::fstatat(dfd, e->d_name, &target, 0) == 0;
      FillLinkInfo(st, found ? &target : nullptr, &info);
    } else {
      FillInfo(st, 0, &info);
    }
    info.name = Utf8ToCp932(e->d_name);
    entries->push_back(std::move(info));
  }
  ::closedir(dir);
  std::sort(entries->begin(), entries->end(),
            [](const FileInfo& a, const FileInfo& b) { return a.name < b.name; });
  return Status::Ok();
}

Status PosixFileSystem::GetInfo(std::string_view path, FileInfo* info) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return ErrnoStatus(errno, host);
  if (S_ISLNK(st.st_mode)) {
    struct stat target {};
    // A link whose target is gone (or that loops) is not there for anyone who would read it.
    if (::stat(host.c_str(), &target) != 0)
      return errno == ENOENT || errno == ELOOP ? Status::Error(err::kFileNotFound) : ErrnoStatus(errno, host);
    FillLinkInfo(st, &target, info);
  } else {
    FillInfo(st, ExtraAttributes(host), info);
  }
  const auto sep = sjis::LastSeparator(path);
  info->name = std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
  return Status::Ok();
}

Status PosixFileSystem::OpenRead(std::string_view path, std::unique_ptr<ReadableFile>* file) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoStatus(errno, host);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Status::Error(err::kAccessDenied);
  }
  *file = std::make_unique<PosixReadable>(fd);
  return Status::Ok();
}

Status PosixFileSystem::CreateWrite(std::string_view path, std::unique_ptr<WritableFile>* file) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoStatus(errno, host);
  *file = std::make_unique<PosixWritable>(fd, flushes_, KindOf(path));
  return Status::Ok();
}

Status PosixFileSystem::CreateNew(std::string_view path, std::unique_ptr<WritableFile>* file) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? Status::Error(err::kFileExists) : ErrnoStatus(errno, host);
  *file = std::make_unique<PosixWritable>(fd, flushes_, KindOf(path));
  return Status::Ok();
}

Status PosixFileSystem::SetLastWriteTime(std::string_view path, FileTime time) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  std::int64_t sec = 0, nsec = 0;
  UnixFromFileTime(DestinationTimeRule{KindOf(path)}.Stored(time), &sec, &nsec);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(sec), static_cast<long>(nsec)}};
  if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return ErrnoStatus(errno, host);
  return Status::Ok();
}

Status PosixFileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return ErrnoStatus(errno, host);
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & attr::kReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  if (::chmod(host.c_str(), mode) != 0) return ErrnoStatus(errno, host);
  const std::string extra = std::to_string(attributes & (attr::kHidden | attr::kSystem));
  // Hidden and system have no POSIX meaning; they are kept where the file system allows.
  (void)::setxattr(host.c_str(), kAttributeXattr, extra.data(), extra.size(), 0);
  return Status::Ok();
}

Status PosixFileSystem::Rename(std::string_view from, std::string_view to) {
  std::string a, b;
  if (Status s = HostPath(from, &a); !s) return s;
  if (Status s = HostPath(to, &b); !s) return s;
  if (::rename(a.c_str(), b.c_str()) != 0) return ErrnoStatus(errno, a);
  return Status::Ok();
}

Status PosixFileSystem::CopyPlain(std::string_view from, std::string_view to) {
  std::string a, b;
  if (Status s = HostPath(from, &a); !s) return s;
  if (Status s = HostPath(to, &b); !s) return s;
  std::error_code ec;
  std::filesystem::copy_file(a, b, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return ErrnoStatus(ec.value(), ec.value() == ENOENT ? a : b);
  return Status::Ok();
}

Status PosixFileSystem::DeleteFile(std::string_view path) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  struct stat st {};
  if (::stat(host.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Status::Error(err::kAccessDenied);
    // The system refuses to delete a read-only file.
    if ((st.st_mode & S_IWUSR) == 0) return Status::Error(err::kAccessDenied);
  }
  if (::unlink(host.c_str()) != 0) return ErrnoStatus(errno, host);
  return Status::Ok();
}

Status PosixFileSystem::CreateFolderChain(std::string_view path) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  std::error_code ec;
  std::filesystem::create_directories(host, ec);
  if (ec) return ErrnoStatus(ec.value(), host);
  if (!std::filesystem::is_directory(host, ec)) return Status::Error(err::kAlreadyExists);
  return Status::Ok();
}

Status PosixFileSystem::DeleteTree(std::string_view path) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return ErrnoStatus(errno, host);
  if (!S_ISDIR(st.st_mode)) return Status::Error(err::kDirectory);
  std::error_code ec;
  std::filesystem::remove_all(host, ec);
  if (ec) return ErrnoStatus(ec.value(), host);
  return Status::Ok();
}

Status PosixFileSystem::RemoveEmptyFolder(std::string_view path) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  if (::rmdir(host.c_str()) != 0) return ErrnoStatus(errno, host);
  return Status::Ok();
}

Status PosixFileSystem::FreeSpace(std::string_view root, std::uint64_t* bytes) {
  std::string host;
  if (Status s = HostPath(root, &host); !s) return s;
  if (const PosixDrive* d = const_cast<PosixFileSystem*>(this)->Drive(root.empty() ? '\0' : root[0]);
      d && d->free_space) {
    *bytes = *d->free_space;
    return Status::Ok();
  }
  struct statvfs vfs {};
  if (::statvfs(host.c_str(), &vfs) != 0) return ErrnoStatus(errno, host);
  *bytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return Status::Ok();
}

Status PosixFileSystem::GetVolumeInfo(std::string_view root, VolumeInfo* info) {
  std::string host;
  if (Status s = HostPath(root, &host); !s) return s;
  const PosixDrive* d = Drive(root.empty() ? '\0' : root[0]);
  if (!d) return Status::Error(err::kPathNotFound);
  info->label = d->label;
  info->file_system = d->file_system;
  return Status::Ok();
}

Status PosixFileSystem::GetFolderId(std::string_view folder, FolderId* id) {
  std::string host;
  if (Status s = HostPath(folder, &host); !s) return s;
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return ErrnoStatus(errno, host);
  id->volume = static_cast<std::uint64_t>(st.st_dev);
  id->index = static_cast<std::uint64_t>(st.st_ino);
  return Status::Ok();
}

std::string PosixFileSystem::SystemPathOf(std::string_view host) const {
  const auto inside = [&](const std::string& folder) {
    return host.size() >= folder.size() && host.substr(0, folder.size()) == folder &&
           (host.size() == folder.size() || host[folder.size()] == '/' || folder == "/");
  };
  // The longest drive folder that holds the path names it (drive folders may nest).
  const std::pair<const DriveLetter, PosixDrive>* best = nullptr;
  for (const auto& entry : drives_)
    if (!entry.second.absent && inside(entry.second.folder) &&
        (!best || entry.second.folder.size() > best->second.folder.size()))
      best = &entry;
  std::string rest(best ? host.substr(best->second.folder.size()) : host);
  while (!rest.empty() && rest.front() == '/' && best) rest.erase(0, 1);
  std::string out = Utf8ToCp932(rest);
  // Shift-JIS may hold 0x2F only as itself (no trail byte is below 0x40): every one is a separator.
  std::replace(out.begin(), out.end(), '/', '\\');
  return best ? best->first.Root() + out : out;
}

Status PosixFileSystem::ReadLinkTarget(std::string_view path, std::string* target) {
  std::string host;
  if (Status s = HostPath(path, &host); !s) return s;
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return ErrnoStatus(errno, host);
  if (!S_ISLNK(st.st_mode)) return Status::Error(err::kNotAReparsePoint);
  std::string text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
  for (;;) {
    const ssize_t n = ::readlink(host.c_str(), text.data(), text.size());
    if (n < 0) return ErrnoStatus(errno, host);
    if (static_cast<std::size_t>(n) < text.size()) {
      text.resize(static_cast<std::size_t>(n));
      break;
    }
    text.resize(text.size() * 2);  // grew since lstat
  }
  // A relative target is read from the link's folder.
  std::filesystem::path resolved(text);
  if (resolved.is_relative()) resolved = std::filesystem::path(host).parent_path() / resolved;
  std::string normal = resolved.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  *target = SystemPathOf(normal);
  return Status::Ok();
}

std::string PosixFileSystem::ErrorMessage(std::uint32_t code) {
  // The texts the system shows in Japanese for the codes the programs meet.
  switch (code) {
    case err::kFileNotFound: return "指定されたファイルが見つかりません。";
    case err::kPathNotFound: return "指定されたパスが見つかりません。";
    case err::kAccessDenied: return "アクセスが拒否されました。";
    case err::kWriteProtect: return "メディアは書き込み禁止になっています。";
    case err::kNotReady: return "デバイスの準備ができていません。";
    case err::kSharingViolation: return "プロセスはファイルにアクセスできません。別のプロセスが使用中です。";
    case err::kDiskFull:
    case err::kHandleDiskFull: return "ディスクに十分な空き領域がありません。";
    case err::kInvalidName: return "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。";
    case err::kFilenameTooLong: return "ファイル名または拡張子が長すぎます。";
    case err::kNoUnicodeTranslation: return "ターゲットのマルチバイト コード ページにユニコード文字のマッピングが存在しません。";
    case err::kRequestAborted: return "要求は中止されました。";
    default: return "エラー " + std::to_string(code) + " が発生しました。";
  }
}

LocalDate PosixClock::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

}  // namespace bk
