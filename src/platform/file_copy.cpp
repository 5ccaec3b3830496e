#include "platform/file_copy.hpp"

#include <algorithm>
#include <memory>

#include "platform/path_limit.hpp"
#include "platform/shift_jis.hpp"

namespace bk {

namespace {
constexpr std::string_view kTemporaryPrefix = ".";
constexpr std::string_view kTemporarySuffix = ".~bk";
// A name of up to 250 units keeps its temporary name within the system's 255 units per
// name. A longer one (a name may have 255) gets a shortened temporary name: its first
// 241 units, "~" and eight hexadecimal digits of a hash of the whole name, 255 units at
// most. The hash keeps two long names with the same start apart; the name stays a dot
// name with the usual ending, so registration and the new-file search skip it like any
// temporary, and leftover removal finds it by making the temporary names of the names
// it knows (CopyTemporaryFor). A limit on source names instead would leave such files
// without a backup, although the system holds them.
constexpr std::size_t kTemporaryFrameUnits = 5;  // "." and ".~bk"
constexpr std::size_t kHashTextUnits = 9;        // "~" and eight digits
constexpr std::size_t kKeptNameUnits = kMaxNameUnits - kTemporaryFrameUnits - kHashTextUnits;

// FNV-1a over the name's bytes.
std::uint32_t NameHash(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (const char c : name) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

std::string HashText(std::uint32_t h) {
  std::string text = "~";
  for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(h >> shift) & 0xF];
  return text;
}

bool IsShortenedBase(std::string_view base) {
  if (base.size() <= kHashTextUnits || base[base.size() - kHashTextUnits] != '~') return false;
  for (const char c : base.substr(base.size() - kHashTextUnits + 1))
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return Utf16Units(base) == kMaxNameUnits - kTemporaryFrameUnits;
}
}  // namespace

std::string CopyTemporaryName(std::string_view destination) {
  const std::size_t sep = sjis::LastSeparator(destination);
  const std::size_t name_at = sep == std::string_view::npos ? 0 : sep + 1;
  const std::string_view name = destination.substr(name_at);
  std::string tmp(destination.substr(0, name_at));
  tmp += kTemporaryPrefix;
  if (Utf16Units(name) + kTemporaryFrameUnits <= kMaxNameUnits) {
    tmp += name;
  } else {
    tmp += name.substr(0, BytesWithinUnits(name, kKeptNameUnits));  // every character is one unit
    tmp += HashText(NameHash(name));
  }
  tmp += kTemporarySuffix;
  return tmp;
}

bool IsCopyTemporaryName(std::string_view name, std::string_view* base) {
  const std::size_t frame = kTemporaryPrefix.size() + kTemporarySuffix.size();
  if (name.size() <= frame || !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) return false;
  *base = name.substr(kTemporaryPrefix.size(), name.size() - frame);
  return true;
}

bool IsShortenedCopyTemporaryName(std::string_view name) {
  std::string_view base;
  return IsCopyTemporaryName(name, &base) && IsShortenedBase(base);
}

bool IsCopyTemporaryFor(std::string_view temporary, std::string_view name) {
  return CopyTemporaryName(name) == temporary;
}

namespace {

Status CopyBytes(ReadableFile& in, WritableFile& out, std::uint64_t total, const CopyOptions& options,
                 std::uint64_t* copied) {
  auto cancelled = [&] { return options.cancel && options.cancel->load(std::memory_order_relaxed) != 0; };
  // Like the system's copy, the progress routine hears of the copy before the first byte,
  // so a cancel request already pending stops it at once.
  if (options.progress) options.progress(0, total);
  if (cancelled()) return Status::Error(err::kRequestAborted);
  // Sized to the file (small files are the common case) and left uninitialised: zeroing
  // a full chunk for every file costs more than copying most of them.
  const std::size_t capacity = static_cast<std::size_t>(std::clamp<std::uint64_t>(total + 1, 1, kCopyChunkBytes));
  std::unique_ptr<char[]> buffer(new char[capacity]);
  std::uint64_t& done = *copied;
  done = 0;
  for (;;) {
    std::size_t got = 0;
    if (Status s = in.Read(buffer.get(), capacity, &got); !s) return s;
    if (got == 0) return Status::Ok();
    if (Status s = out.Write(buffer.get(), got); !s) return s;
    done += got;
    if (options.progress) options.progress(done, total);
    // Once every byte is written the copy is complete; a late cancel no longer undoes it.
    if (done < total && cancelled()) return Status::Error(err::kRequestAborted);
  }
}

constexpr std::uint32_t kBlocking = attr::kReadOnly | attr::kHidden | attr::kSystem;

// An old copy that is read-only, hidden or system would refuse to be replaced. Returns
// the attributes it had, so that they can be put back when the replacement fails.
std::uint32_t ClearBlockingAttributes(FileSystem& fs, std::string_view path) {
  FileInfo info;
  if (fs.GetInfo(path, &info) && !info.is_directory() && (info.attributes & kBlocking) != 0) {
    (void)fs.SetAttributes(path, info.attributes & ~kBlocking & attr::kBasic);
    return info.attributes & attr::kBasic;
  }
  return 0;
}

// Attributes a copy takes from its source beyond the archive bit.
std::uint32_t CopiedAttributes(const FileInfo& source) {
  const std::uint32_t basic = source.attributes & attr::kBasic;
  return (basic & ~attr::kArchive) != 0 ? basic : 0;
}

bool IsExisting(Status s) { return s.code == err::kFileExists || s.code == err::kAlreadyExists; }

// A file with no copy yet is written under its own name: there is nothing to keep safe,
// so no temporary name, no rename and no flush. The time is given last, when the handle
// closes after the last byte, so a copy cut off before that differs in time (and most
// often in size) from its source and is copied again. A failed copy is deleted.
Status CopyNew(FileSystem& fs, ReadableFile& in, std::unique_ptr<WritableFile> out, const FileInfo& info,
               std::string_view destination, const CopyOptions& options, FileInfo* made) {
  Status s = CopyBytes(in, *out, info.size, options, &made->size);
  if (s) s = out->SetLastWriteTime(made->last_write);
  const Status closed = out->Close();
  out.reset();
  if (s) s = closed;
  const std::uint32_t attributes = CopiedAttributes(info);
  if (s && attributes != 0) s = fs.SetAttributes(destination, attributes);
  if (!s) {
    if (attributes != 0) (void)fs.SetAttributes(destination, 0);
    (void)fs.DeleteFile(destination);
  }
  return s;
}

// A copy over an old one: the bytes go to a temporary file beside it, which is flushed
// and only then renamed over the old copy, so the old copy survives any failure and is
// replaced by nothing less than durable bytes.
Status CopyOver(FileSystem& fs, ReadableFile& in, const FileInfo& info, std::string_view destination,
                const CopyOptions& options, FileInfo* made) {
  const std::string tmp = CopyTemporaryName(destination);
  ClearBlockingAttributes(fs, tmp);  // a crash's leftover must not block
  std::unique_ptr<WritableFile> out;
  if (Status s = fs.CreateWrite(tmp, &out); !s) return s;

  Status s = CopyBytes(in, *out, info.size, options, &made->size);
  if (s) s = out->SetLastWriteTime(made->last_write);
  if (s) s = out->Flush();
  const Status closed = out->Close();
  out.reset();
  if (s) s = closed;
  if (s) {
    if (const std::uint32_t attributes = CopiedAttributes(info); attributes != 0) s = fs.SetAttributes(tmp, attributes);
  }
  if (s) {
    const std::uint32_t old_attributes = ClearBlockingAttributes(fs, destination);
    s = fs.Rename(tmp, destination);
    if (!s && old_attributes != 0) (void)fs.SetAttributes(destination, old_attributes);
  }
  if (!s) {
    (void)fs.SetAttributes(tmp, 0);
    (void)fs.DeleteFile(tmp);
  }
  return s;
}

}  // namespace

Status CopyFileReplacing(FileSystem& fs, std::string_view source, std::string_view destination,
                         const CopyOptions& options, FileInfo* copy) {
  std::unique_ptr<ReadableFile> in;
  if (Status s = fs.OpenRead(source, &in); !s) return s;
  // Asked of the open file: the time and size belong to the bytes about to be read.
  FileInfo info;
  if (Status s = in->GetInfo(&info); !s) return s;
  if (info.is_directory()) return Status::Error(err::kAccessDenied);

  FileInfo made;
  const std::size_t sep = sjis::LastSeparator(destination);
  made.name = std::string(sep == std::string_view::npos ? destination : destination.substr(sep + 1));
  made.last_write = options.stamp.value_or(info.last_write);
  made.attributes = CopiedAttributes(info) != 0 ? CopiedAttributes(info) : attr::kArchive;
  Status s;
  std::unique_ptr<WritableFile> out;
  // Whether a copy is there is settled by the creation itself, never by an earlier look.
  const Status created = options.destination_present ? Status::Error(err::kFileExists) : fs.CreateNew(destination, &out);
  if (created) s = CopyNew(fs, *in, std::move(out), info, destination, options, &made);
  else if (IsExisting(created)) s = CopyOver(fs, *in, info, destination, options, &made);
  else s = created;
  if (s && copy) *copy = std::move(made);
  return s;
}

}  // namespace bk
