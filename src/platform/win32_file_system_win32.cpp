// The port over the Win32 wide functions.
#include "platform/win32_api.hpp"
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/shift_jis.hpp"
#include "platform/wide.hpp"
#include "platform/win32_file_system.hpp"
#include "platform/win32_handles.hpp"

namespace bk {

// The port's attribute bits are the system's.
static_assert(attr::kReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(attr::kOffline == FILE_ATTRIBUTE_OFFLINE);
#ifdef FILE_ATTRIBUTE_RECALL_ON_OPEN
static_assert(attr::kRecallOnOpen == FILE_ATTRIBUTE_RECALL_ON_OPEN);
#endif
#ifdef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
static_assert(attr::kRecallOnDataAccess == FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS);
#endif
static_assert(err::kNotAReparsePoint == ERROR_NOT_A_REPARSE_POINT);

namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* p) const { LocalFree(p); }
};

// The calling thread's last error as a Status; a failure without a code must still
// never read as success.
Status LastStatus() {
  const DWORD e = GetLastError();
  return Status::Error(e != ERROR_SUCCESS ? e : err::kIoDevice);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Length of the root part of a path: "X:\" 3, "X:" 2, "\" 1, "\\server\share\" whole,
// a relative path 0.
std::size_t RootLength(const std::wstring& w) {
  if (w.size() >= 2 && IsDriveLetter(w[0]) && w[1] == L':') return w.size() >= 3 && IsSeparator(w[2]) ? 3 : 2;
  if (w.size() >= 2 && IsSeparator(w[0]) && IsSeparator(w[1])) {
    std::size_t pos = 2;
    for (int part = 0; part < 2; ++part) {
      while (pos < w.size() && !IsSeparator(w[pos])) ++pos;
      if (pos < w.size()) ++pos;
    }
    return pos;
  }
  if (!w.empty() && IsSeparator(w[0])) return 1;
  return 0;
}

bool IsLongPathForm(std::wstring_view w) { return w.starts_with(L"\\\\?\\"); }

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (the system also takes ¹²³ for the digit) without
// extension, and without the dots and spaces the plain form trims off.
bool IsBareDeviceName(std::wstring_view part) {
  while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.remove_suffix(1);
  if (part.size() != 3 && part.size() != 4) return false;
  std::wstring upper(part);
  for (wchar_t& c : upper)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL") return true;
  const wchar_t d = upper.size() == 4 ? upper[3] : 0;
  const bool digit = (d >= L'1' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
  return digit && (upper.starts_with(L"COM") || upper.starts_with(L"LPT"));
}

}  // namespace

std::wstring LongPathForm(std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return std::wstring(path);
  std::wstring prefix;
  std::size_t rest = 0;  // where the parts after the root begin
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
    if (path.size() > 2 && !IsSeparator(path[2])) return std::wstring(path);  // "D:a" is relative
    prefix = L"\\\\?\\";
    prefix += path.substr(0, 2);
    rest = std::min<std::size_t>(path.size(), 3);
  } else if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2])) {
    prefix = L"\\\\?\\UNC";
    rest = 2;
  } else {
    return std::wstring(path);  // relative, or rooted on the working drive
  }
  // The parts as they are; a "." or ".." part is left to the system's own resolution,
  // which the long form does not do. A doubled separator names no part.
  std::wstring out = prefix;
  out += L'\\';
  const std::size_t base = out.size();
  for (std::size_t pos = rest; pos < path.size();) {
    std::size_t sep = pos;
    while (sep < path.size() && !IsSeparator(path[sep])) ++sep;
    const std::wstring_view part = path.substr(pos, sep - pos);
    if (part == L"." || part == L"..") return std::wstring(path);
    // In the long form "NUL" would be made as a file that other programs cannot open or
    // delete; the plain form reaches the device, which RequireDiskFile then refuses.
    if (IsBareDeviceName(part)) return std::wstring(path);
    if (!part.empty()) {
      if (out.size() > base) out += L'\\';
      out += part;
    }
    pos = sep + 1;
  }
  // A trailing separator stays: "D:\a\" names the folder a as the caller wrote it.
  if (out.size() > base && IsSeparator(path.back())) out += L'\\';
  return out;
}

namespace {

// A Shift-JIS path in wide form, still plain. A NUL byte would cut the path short at the
// system call and name another file, so it is refused like any unconvertible byte.
Status WidePath(std::string_view path, std::wstring* out) {
  if (path.find('\0') != std::string_view::npos || !ToWide(path, out)) return Status::Error(err::kInvalidName);
  return Status::Ok();
}

Status SystemPath(std::string_view path, std::wstring* out) {
  if (Status s = WidePath(path, out); !s) return s;
  *out = LongPathForm(*out);
  return Status::Ok();
}

// A root for the volume calls, which want its trailing backslash.
Status RootPath(std::string_view root, std::wstring* out) {
  if (Status s = WidePath(root, out); !s) return s;
  if (out->empty()) return Status::Error(err::kPathNotFound);
  if (!IsSeparator(out->back())) out->push_back(L'\\');
  return Status::Ok();
}

FileTime ToFileTime(const FILETIME& ft) {
  return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFiletime(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A device (CON, NUL, COM1, a pipe) must never pass for a file: reading it could block
// forever and writing to it would lose the bytes while reporting success.
Status RequireDiskFile(const KernelHandle& h) {
  if (GetFileType(h.get()) != FILE_TYPE_DISK) return Status::Error(err::kInvalidName);
  return Status::Ok();
}

// Only junctions and symbolic links are links; every other reparse point (cloud files,
// deduplication, ...) is an ordinary file or folder. The system never gives a reparse point
// the tag 0; Wine lists a Unix symbolic link to a folder so (the reparse bit, no tag), and
// that is a link as well.
constexpr DWORD kUntoldTag = 0;
bool IsLinkTag(DWORD tag) {
  return tag == IO_REPARSE_TAG_MOUNT_POINT || tag == IO_REPARSE_TAG_SYMLINK || tag == kUntoldTag;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what sys names, a link's target rather than the link, for reading attributes only
// (a folder as well): nothing is read, so no cloud file is fetched.
KernelHandle OpenForAttributes(const std::wstring& sys, DWORD extra_flags = 0) {
  return KernelHandle(CreateFileW(sys.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | extra_flags, nullptr));
}

// Attributes, size and time of what a file symbolic link points to.
Status TargetInfo(const std::wstring& sys, FileInfo* info) {
  const KernelHandle h = OpenForAttributes(sys);
  if (!h) return LastStatus();
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(h.get(), FileStandardInfo, &standard, sizeof standard))
    return LastStatus();
  info->attributes = basic.FileAttributes;
  info->size = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  info->last_write = static_cast<FileTime>(basic.LastWriteTime.QuadPart);
  return Status::Ok();
}

// The entry sys names as a link, given its listed attributes and reparse tag: a folder link
// stays as listed; a file link tells its target's size, time and attributes. A dangling
// one keeps its own with size 0, and the target's failure is returned.
Status DescribeLink(const std::wstring& sys, DWORD tag, FileInfo* info) {
  if (!(info->attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsLinkTag(tag)) return Status::Ok();
  if (info->attributes & FILE_ATTRIBUTE_DIRECTORY) {
    info->link = LinkKind::Folder;
    return Status::Ok();
  }
  FileInfo target;
  if (const Status s = TargetInfo(sys, &target); !s) {
    info->link = LinkKind::File;
    info->size = 0;
    return s;
  }
  info->attributes = target.attributes | FILE_ATTRIBUTE_REPARSE_POINT;
  info->size = target.size;
  info->last_write = target.last_write;
  // A file link may point to a folder: it leads to a folder all the same.
  info->link = target.is_directory() ? LinkKind::Folder : LinkKind::File;
  return Status::Ok();
}

// The reparse tag of the entry sys names, from its folder's listing (nothing is opened).
Status ReparseTag(std::wstring sys, DWORD* tag) {
  while (sys.size() > 1 && IsSeparator(sys.back())) sys.pop_back();
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(sys.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find) return LastStatus();
  *tag = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
  return Status::Ok();
}

// The final path of an open handle, "S:\a\b" (or "\\server\share\b"), in wide form.
Status FinalPath(const KernelHandle& h, std::wstring* out) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return LastStatus();
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.assign(n + 1, L'\0');  // n counts the terminating NUL when the buffer was short
  }
  if (buffer.starts_with(L"\\\\?\\UNC\\")) buffer.replace(0, 8, L"\\\\");
  else if (buffer.starts_with(L"\\\\?\\")) buffer.erase(0, 4);
  *out = std::move(buffer);
  return Status::Ok();
}

// The print name in a link's reparse data (a dangling link has no final path), or its
// substitute name without the "\??\" prefix when the print name is empty.
Status PrintName(const std::wstring& sys, std::wstring* out) {
  const KernelHandle h = OpenForAttributes(sys, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!h) return LastStatus();
  std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  if (!DeviceIoControl(h.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()),
                       &got, nullptr))
    return LastStatus();
  const auto u16 = [&](std::size_t at) -> std::size_t { return at + 2 <= got ? data[at] | (data[at + 1] << 8) : 0; };
  if (got < 16) return Status::Error(err::kInvalidParameter);
  const DWORD tag = static_cast<DWORD>(data[0] | (data[1] << 8) | (data[2] << 16)) | (static_cast<DWORD>(data[3]) << 24);
  // Header (8 bytes), four name fields, and for a symbolic link four bytes of flags.
  const std::size_t names = tag == IO_REPARSE_TAG_SYMLINK ? 20 : 16;
  if (!IsLinkTag(tag)) return Status::Error(err::kNotAReparsePoint);
  const auto name_at = [&](std::size_t field, std::wstring* name) {
    const std::size_t offset = u16(8 + field), length = u16(10 + field);
    if (length == 0 || names + offset + length > got || length % 2 != 0) return false;
    name->assign(length / 2, L'\0');
    std::memcpy(name->data(), data.data() + names + offset, length);
    return true;
  };
  if (name_at(4, out)) return Status::Ok();
  if (!name_at(0, out)) return Status::Error(err::kInvalidParameter);
  if (out->starts_with(L"\\??\\UNC\\")) out->replace(0, 8, L"\\\\");
  else if (out->starts_with(L"\\??\\")) out->erase(0, 4);
  return Status::Ok();
}

class Win32Readable final : public ReadableFile {
 public:
  explicit Win32Readable(KernelHandle h) : h_(std::move(h)) {}
  Status Read(void* buffer, std::size_t size, std::size_t* got) override {
    *got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(h_.get(), buffer, ask, &read, nullptr)) return LastStatus();
    *got = read;
    return Status::Ok();
  }
  // The basic and standard classes only: GetFileInformationByHandle also asks for the
  // volume's serial number and (under Wine) the file's full name, which costs more than
  // copying a small file.
  Status GetInfo(FileInfo* info) override {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(h_.get(), FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(h_.get(), FileStandardInfo, &standard, sizeof standard))
      return LastStatus();
    info->name.clear();
    info->attributes = basic.FileAttributes;
    info->size = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    info->last_write = static_cast<FileTime>(basic.LastWriteTime.QuadPart);
    return Status::Ok();
  }

 private:
  KernelHandle h_;
};

class Win32Writable final : public WritableFile {
 public:
  explicit Win32Writable(KernelHandle h) : h_(std::move(h)) {}

  Status Write(const void* data, std::size_t size) override {
    if (!h_) return Status::Error(err::kInvalidParameter);
    time_applied_ = false;  // a write moves the time on: it is given again at Close
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(h_.get(), p, ask, &written, nullptr)) return LastStatus();
      if (written == 0) return Status::Error(err::kIoDevice);  // no progress: never spin
      p += written;
      size -= written;
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
    if (!h_) return Status::Error(err::kInvalidParameter);
    if (Status s = ApplyTime(); !s) return s;
    if (!FlushFileBuffers(h_.get())) return LastStatus();
    return Status::Ok();
  }

  Status Close() override {
    if (!h_) return Status::Ok();
    const Status s = ApplyTime();
    if (!h_.Close() && s) return LastStatus();
    return s;
  }

 private:
  Status ApplyTime() {
    if (!has_time_ || time_applied_) return Status::Ok();
    const FILETIME ft = ToFiletime(pending_time_);
    if (!SetFileTime(h_.get(), nullptr, nullptr, &ft)) return LastStatus();
    time_applied_ = true;
    return Status::Ok();
  }

  KernelHandle h_;
  FileTime pending_time_ = 0;
  bool has_time_ = false;
  bool time_applied_ = false;
};

// Deletes a folder (given in its long form) with everything below it through the plain
// calls. A linked folder inside is unlinked, never followed; read-only
// entries go as well (a permanent tree delete takes them too); an entry that vanished
// meanwhile is no failure. The walk keeps its folders in a list, not on the call stack,
// so no depth of tree can overflow it: files go during the walk, then the folders, the
// deepest first (every folder is listed after its parent).
Status RemoveTreeDirect(const std::wstring& top) {
  std::vector<std::wstring> folders{top};
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::wstring folder = folders[i];
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND || (i > 0 && GetLastError() == ERROR_PATH_NOT_FOUND)) continue;
      return LastStatus();
    }
    do {
      if (IsDotName(data.cFileName)) continue;
      std::wstring child = folder + L"\\" + data.cFileName;
      const DWORD a = data.dwFileAttributes;
      const bool linked = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      const std::wstring& sys = child;
      if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(sys.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
      if ((a & FILE_ATTRIBUTE_DIRECTORY) && !linked) {
        folders.push_back(std::move(child));
        continue;
      }
      const BOOL done = (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(sys.c_str()) : DeleteFileW(sys.c_str());
      if (!done && GetLastError() != ERROR_FILE_NOT_FOUND) return LastStatus();
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) return LastStatus();
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    if (!RemoveDirectoryW(it->c_str())) {
      const Status failed = LastStatus();
      if (!IsNotFound(failed) || it + 1 == folders.rend()) return failed;  // the top must really go
    }
  }
  return Status::Ok();
}

}  // namespace

Status Win32FileSystem::ListFolder(std::string_view folder, std::vector<FileInfo>* entries) {
  entries->clear();
  std::wstring pattern;
  if (Status s = WidePath(folder, &pattern); !s) return s;
  if (!pattern.empty() && !IsSeparator(pattern.back())) pattern.push_back(L'\\');
  pattern.push_back(L'*');
  pattern = LongPathForm(pattern);

  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    const Status failed = LastStatus();
    // "Nothing matched" is an empty drive root (it has no "." entries); a file named as
    // the folder is reported as "directory name invalid" or "invalid name" depending on
    // the system: either way the folder does not exist.
    if (failed.code != ERROR_FILE_NOT_FOUND && failed.code != ERROR_DIRECTORY && failed.code != ERROR_INVALID_NAME) {
      return failed;
    }
    FileInfo self;
    const Status s = GetInfo(folder, &self);
    if (!s) return IsNotFound(s) ? Status::Error(err::kPathNotFound) : s;
    if (!self.is_directory()) return Status::Error(err::kPathNotFound);
    return failed.code == ERROR_FILE_NOT_FOUND ? Status::Ok() : failed;
  }

  std::vector<FileInfo> list;
  std::wstring stem = pattern;  // the folder with its separator, for a link's own path
  stem.pop_back();
  do {
    if (IsDotName(data.cFileName)) continue;
    FileInfo info;
    FromWide(data.cFileName, &info.name);
    info.attributes = data.dwFileAttributes;
    info.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : Join(data.nFileSizeHigh, data.nFileSizeLow);
    info.last_write = ToFileTime(data.ftLastWriteTime);
    // Only an entry with the reparse bit costs more than the listing.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      (void)DescribeLink(stem + data.cFileName, data.dwReserved0, &info);  // dangling: listed, size 0
    }
    list.push_back(std::move(info));
  } while (FindNextFileW(find.get(), &data));
  // A listing cut short must not pass for the whole folder: a mirror would delete what
  // it did not see.
  if (GetLastError() != ERROR_NO_MORE_FILES) return LastStatus();
  *entries = std::move(list);
  return Status::Ok();
}

Status Win32FileSystem::GetInfo(std::string_view path, FileInfo* info) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &data)) return LastStatus();
  info->attributes = data.dwFileAttributes;
  info->size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : Join(data.nFileSizeHigh, data.nFileSizeLow);
  info->last_write = ToFileTime(data.ftLastWriteTime);
  info->link = LinkKind::None;
  // The attributes are the link's own; a file link must tell its target's.
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    DWORD tag = 0;
    if (Status s = ReparseTag(w, &tag); !s) return s;
    // A dangling link answers as its missing target does: "not found".
    if (Status s = DescribeLink(w, tag, info); !s) return s;
  }
  const std::size_t sep = sjis::LastSeparator(path);
  info->name = std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
  return Status::Ok();
}

Status Win32FileSystem::OpenRead(std::string_view path, std::unique_ptr<ReadableFile>* file) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  KernelHandle h(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h) return LastStatus();
  if (Status s = RequireDiskFile(h); !s) return s;
  *file = std::make_unique<Win32Readable>(std::move(h));
  return Status::Ok();
}

namespace {

Status OpenForWriting(std::string_view path, DWORD disposition, std::unique_ptr<WritableFile>* file) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  KernelHandle h(CreateFileW(w.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return LastStatus();
  if (Status s = RequireDiskFile(h); !s) return s;
  *file = std::make_unique<Win32Writable>(std::move(h));
  return Status::Ok();
}

}  // namespace

Status Win32FileSystem::CreateWrite(std::string_view path, std::unique_ptr<WritableFile>* file) {
  return OpenForWriting(path, CREATE_ALWAYS, file);
}

Status Win32FileSystem::CreateNew(std::string_view path, std::unique_ptr<WritableFile>* file) {
  const Status s = OpenForWriting(path, CREATE_NEW, file);
  // A folder of that name is reported as "already exists" by some systems.
  if (s.code == ERROR_ALREADY_EXISTS) return Status::Error(err::kFileExists);
  return s;
}

Status Win32FileSystem::SetLastWriteTime(std::string_view path, FileTime time) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  // Backup semantics let the same call stamp a folder.
  KernelHandle h(CreateFileW(w.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h) return LastStatus();
  const FILETIME ft = ToFiletime(time);
  if (!SetFileTime(h.get(), nullptr, nullptr, &ft)) return LastStatus();
  if (!h.Close()) return LastStatus();
  return Status::Ok();
}

Status Win32FileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  // Only the bits the call can set; "none" is spelled FILE_ATTRIBUTE_NORMAL.
  constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD a = attributes & kSettable;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesW(w.c_str(), a)) return LastStatus();
  return Status::Ok();
}

Status Win32FileSystem::Rename(std::string_view from, std::string_view to) {
  std::wstring a, b;
  if (Status s = SystemPath(from, &a); !s) return s;
  if (Status s = SystemPath(to, &b); !s) return s;
  if (!MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return LastStatus();
  return Status::Ok();
}

Status Win32FileSystem::CopyPlain(std::string_view from, std::string_view to) {
  std::wstring a, b;
  if (Status s = SystemPath(from, &a); !s) return s;
  if (Status s = SystemPath(to, &b); !s) return s;
  if (!CopyFileW(a.c_str(), b.c_str(), FALSE)) return LastStatus();
  return Status::Ok();
}

Status Win32FileSystem::RemoveEmptyFolder(std::string_view path) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  if (!RemoveDirectoryW(w.c_str())) return LastStatus();
  return Status::Ok();
}

Status Win32FileSystem::DeleteFile(std::string_view path) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  if (!DeleteFileW(w.c_str())) {
    const Status failed = LastStatus();
    // A folder is refused as "access denied" (some systems report a stray code here).
    const DWORD a = GetFileAttributesW(w.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return Status::Error(err::kAccessDenied);
    return failed;
  }
  return Status::Ok();
}

Status Win32FileSystem::CreateFolderChain(std::string_view path) {
  std::wstring w;
  // Split the wide form: in Shift-JIS the byte 0x5C may be the second half of 表 or ソ.
  if (Status s = WidePath(path, &w); !s) return s;
  const std::size_t root = RootLength(w);
  while (w.size() > root && IsSeparator(w.back())) w.pop_back();
  if (w.size() <= root) {
    // A drive root or the working folder: there is nothing to create, only to find.
    if (w.empty()) return Status::Ok();
    const DWORD a = GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return LastStatus();
    return Status::Ok();
  }

  const DWORD whole = GetFileAttributesW(LongPathForm(w).c_str());
  if (whole != INVALID_FILE_ATTRIBUTES) {
    return (whole & FILE_ATTRIBUTE_DIRECTORY) ? Status::Ok() : Status::Error(err::kAlreadyExists);
  }

  std::size_t pos = root;
  for (;;) {
    std::size_t sep = pos;
    while (sep < w.size() && !IsSeparator(w[sep])) ++sep;
    const bool last = sep >= w.size();
    if (sep > pos) {  // doubled separators make no empty folder name
      const std::wstring sys = LongPathForm(w.substr(0, sep));
      if (!CreateDirectoryW(sys.c_str(), nullptr)) {
        const Status failed = LastStatus();
        // An existing folder is fine, even where creating reports "access denied"
        // (a protected parent such as a drive's system folder).
        const DWORD a = GetFileAttributesW(sys.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return failed;
        if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
          return Status::Error(last ? err::kAlreadyExists : err::kPathNotFound);  // a file is in the way
        }
      }
    }
    if (last) break;
    pos = sep + 1;
  }
  return Status::Ok();
}

Status Win32FileSystem::DeleteTree(std::string_view path) {
  std::wstring w;
  if (Status s = WidePath(path, &w); !s) return s;
  // A permanent recursive delete takes exactly one named folder: never a pattern, a
  // drive root, or a path that climbs out through "." or "..".
  if (w.find_first_of(L"*?") != std::wstring::npos) return Status::Error(err::kInvalidParameter);
  const std::size_t root = RootLength(w);
  for (std::size_t pos = root; pos <= w.size();) {
    std::size_t sep = pos;
    while (sep < w.size() && !IsSeparator(w[sep])) ++sep;
    const std::wstring_view part = std::wstring_view(w).substr(pos, sep - pos);
    if (part == L"." || part == L"..") return Status::Error(err::kInvalidParameter);
    pos = sep + 1;
  }
  while (w.size() > root && IsSeparator(w.back())) w.pop_back();
  if (w.size() <= root) return Status::Error(err::kInvalidParameter);

  // The walk runs on the long form of an absolute path: exactly the folder named, its
  // trailing dots and spaces kept. A relative path would depend on the working folder.
  const std::wstring sys = LongPathForm(w);
  if (!IsLongPathForm(sys)) return Status::Error(err::kInvalidParameter);

  const DWORD a = GetFileAttributesW(sys.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    const Status failed = LastStatus();
    return IsNotFound(failed) ? Status::Error(err::kPathNotFound) : failed;
  }
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return Status::Error(err::kDirectory);
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A linked folder: remove the link, never what it points to.
    if (!RemoveDirectoryW(sys.c_str())) return LastStatus();
    return Status::Ok();
  }

  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(sys.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  // Not the shell's delete (SHFileOperationW): it works in MAX_PATH buffers, and where a
  // tree holds longer paths one implementation was seen to empty the process's working
  // folder instead (the program folder with its lists) while the tree stayed.
  return RemoveTreeDirect(sys);
}

Status Win32FileSystem::FreeSpace(std::string_view root, std::uint64_t* bytes) {
  std::wstring w;
  if (Status s = RootPath(root, &w); !s) return s;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(w.c_str(), &available, nullptr, nullptr)) return LastStatus();
  *bytes = available.QuadPart;
  return Status::Ok();
}

Status Win32FileSystem::GetVolumeInfo(std::string_view root, VolumeInfo* info) {
  std::wstring w;
  if (Status s = RootPath(root, &w); !s) return s;
  wchar_t label[MAX_PATH + 1] = {};
  wchar_t file_system[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(w.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, file_system, MAX_PATH + 1)) {
    return LastStatus();
  }
  FromWide(file_system, &info->file_system);
  // Every label has one exact text (escapes where code page 932 lacks a character), so
  // two drives' labels are never taken for one.
  FromWide(label, &info->label);
  return Status::Ok();
}

Status Win32FileSystem::GetFolderId(std::string_view folder, FolderId* id) {
  std::wstring w;
  if (Status s = SystemPath(folder, &w); !s) return s;
  if (w.empty()) return Status::Error(err::kPathNotFound);
  const KernelHandle h = OpenForAttributes(w);
  if (!h) return LastStatus();
  BY_HANDLE_FILE_INFORMATION data;
  if (!GetFileInformationByHandle(h.get(), &data)) return LastStatus();
  id->volume = data.dwVolumeSerialNumber;
  id->index = Join(data.nFileIndexHigh, data.nFileIndexLow);
  return Status::Ok();
}

Status Win32FileSystem::ReadLinkTarget(std::string_view path, std::string* target) {
  std::wstring w;
  if (Status s = SystemPath(path, &w); !s) return s;
  const DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return LastStatus();
  if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return Status::Error(err::kNotAReparsePoint);
  DWORD tag = 0;
  if (Status s = ReparseTag(w, &tag); !s) return s;
  if (!IsLinkTag(tag)) return Status::Error(err::kNotAReparsePoint);
  std::wstring wide;
  const KernelHandle h = OpenForAttributes(w);
  Status s = h ? FinalPath(h, &wide) : LastStatus();
  if (!s) s = PrintName(w, &wide);  // a dangling link still names its target
  if (!s) return s;
  FromWide(wide, target);
  return Status::Ok();
}

std::string Win32FileSystem::ErrorMessage(std::uint32_t code) {
  wchar_t* raw = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owner(raw);
  std::wstring_view text = (n > 0 && raw) ? std::wstring_view(raw, n) : std::wstring_view();
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'\t')) {
    text.remove_suffix(1);
  }
  std::string out;
  FromWide(text, &out);
  if (out.empty()) out = "エラー " + std::to_string(code) + " が発生しました。";
  return out;
}

LocalDate Win32Clock::Today() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay};
}

}  // namespace bk
