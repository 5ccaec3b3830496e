// One backup pass over a hostile registration list: whatever the list holds, every call
// that writes, renames, deletes or creates stays inside the destination folder T:\BK\ or
// is a work file of BkList; nothing is read outside the drives and BkList; the list stored
// back reads as a list whose lines are whole.
//
// Input: byte 0 picks the type ('1' + b % 5), byte 1 the options (bit 0 MailOption, bit 1
// the free-space check); then the list's bytes up to the first zero byte; then the source
// tree, one entry a line relative to S:\ ("d\a.txt" a file holding its own name, "d\e\" a
// folder). Entries that would leave S:\ are not made: the tree is the harness's own.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/error_report.hpp"
#include "common/list_buffer.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"
#include "engine/backup_run.hpp"
#include "fuzz_check.hpp"
#include "fuzz_posix_world.hpp"
#include "platform/posix_file_system.hpp"
#include "platform/wide.hpp"

namespace {

// The parts of a path after its "X:\" (or the whole of a relative path), split at
// backslashes that are not the second byte of a double-byte character.
std::vector<std::string_view> PartsOf(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t sep = bk::sjis::NextSeparator(path, start);
    if (sep == std::string_view::npos || sep >= path.size()) {
      parts.push_back(path.substr(start));
      return parts;
    }
    parts.push_back(path.substr(start, sep - start));
    start = sep + 1;
  }
}

// "X:\" with a letter of either case (both name the same drive).
bool IsDriveRoot(std::string_view path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

// A path whose every part is a real name: no empty, "." or ".." part, no colon, no
// wildcard. A trailing backslash (a folder written as such) is allowed.
bool IsPlainRest(std::string_view rest) {
  if (rest.empty()) return true;
  const std::vector<std::string_view> parts = PartsOf(rest);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view p = parts[i];
    if (p.empty()) {
      if (i + 1 == parts.size() && i > 0) continue;
      return false;
    }
    if (p == "." || p == "..") return false;
    for (std::size_t k = 0; k < p.size(); ++k) {
      const auto b = static_cast<unsigned char>(p[k]);
      if (bk::sjis::IsLeadByte(b) && k + 1 < p.size()) {
        ++k;
        continue;
      }
      // A character code page 932 lacks, carried as the one escape the system's name has.
      std::u16string unit;
      if (bk::sjis::IsEscapeAt(p, k) && bk::ToUtf16(p.substr(k, bk::sjis::kEscapeLength), &unit) && unit[0] >= 0x20) {
        k += bk::sjis::kEscapeLength - 1;
        continue;
      }
      if (b == ':' || b == '*' || b == '?' || b < 0x20) return false;
    }
  }
  return true;
}

bool IsPlainDrivePath(std::string_view path) { return IsDriveRoot(path) && IsPlainRest(path.substr(3)); }

// Inside the destination folder: T:\BK itself or below it.
bool InsideDestination(std::string_view path) {
  if (path == "T:\\BK" || path == "T:\\BK\\") return true;
  return path.size() > 6 && path.substr(0, 6) == "T:\\BK\\" && IsPlainDrivePath(path);
}

// A file directly in BkList (the lists, the work files, temporary files beside them).
bool IsBkListFile(std::string_view path) {
  if (path.substr(0, 7) != "BkList\\") return false;
  const std::string_view name = path.substr(7);
  return !name.empty() && bk::sjis::NextSeparator(name) == std::string_view::npos && IsPlainRest(name);
}

bool MayWrite(std::string_view path) {
  return InsideDestination(path) || IsBkListFile(path) || path == bk::kErrorReportPath;
}
// Reads: BkList, and plain paths on a drive: what a list names is the user's own source,
// wherever it is, but no path may climb out of where it says it is, and no name is made
// of control bytes (the empty-folder marker is no file).
bool MayRead(std::string_view path) { return IsBkListFile(path) || IsPlainDrivePath(path); }

// Checks every call before it reaches the disk: a call outside stops the run before it
// does any harm.
class GuardFileSystem final : public bk::FileSystem {
 public:
  explicit GuardFileSystem(bk::FileSystem& inner) : inner_(inner) {}

  bk::Status ListFolder(std::string_view f, std::vector<bk::FileInfo>* e) override {
    FUZZ_CHECK(MayRead(f));
    return inner_.ListFolder(f, e);
  }
  bk::Status GetInfo(std::string_view p, bk::FileInfo* i) override {
    FUZZ_CHECK(MayRead(p));
    return inner_.GetInfo(p, i);
  }
  bk::Status OpenRead(std::string_view p, std::unique_ptr<bk::ReadableFile>* f) override {
    FUZZ_CHECK(MayRead(p));
    return inner_.OpenRead(p, f);
  }
  bk::Status CreateWrite(std::string_view p, std::unique_ptr<bk::WritableFile>* f) override {
    FUZZ_CHECK(MayWrite(p));
    return inner_.CreateWrite(p, f);
  }
  bk::Status CreateNew(std::string_view p, std::unique_ptr<bk::WritableFile>* f) override {
    FUZZ_CHECK(MayWrite(p));
    return inner_.CreateNew(p, f);
  }
  bk::Status SetLastWriteTime(std::string_view p, bk::FileTime t) override {
    FUZZ_CHECK(MayWrite(p));
    return inner_.SetLastWriteTime(p, t);
  }
  bk::Status SetAttributes(std::string_view p, std::uint32_t a) override {
    FUZZ_CHECK(MayWrite(p));
    return inner_.SetAttributes(p, a);
  }
  bk::Status Rename(std::string_view from, std::string_view to) override {
    FUZZ_CHECK(MayWrite(from) && MayWrite(to));
    return inner_.Rename(from, to);
  }
  bk::Status CopyPlain(std::string_view from, std::string_view to) override {
    FUZZ_CHECK((MayRead(from) || from == bk::kTemplatePath) && MayWrite(to));
    return inner_.CopyPlain(from, to);
  }
  bk::Status DeleteFile(std::string_view p) override {
    FUZZ_CHECK(MayWrite(p));
    return inner_.DeleteFile(p);
  }
  bk::Status CreateFolderChain(std::string_view p) override {
    FUZZ_CHECK(InsideDestination(p));
    return inner_.CreateFolderChain(p);
  }
  bk::Status RemoveEmptyFolder(std::string_view p) override {
    FUZZ_CHECK(InsideDestination(p) && p != "T:\\BK" && p != "T:\\BK\\");
    return inner_.RemoveEmptyFolder(p);
  }
  bk::Status DeleteTree(std::string_view p) override {
    // Only folders strictly below the destination's own folder.
    FUZZ_CHECK(InsideDestination(p) && p != "T:\\BK" && p != "T:\\BK\\");
    return inner_.DeleteTree(p);
  }
  bk::Status FreeSpace(std::string_view root, std::uint64_t* b) override {
    FUZZ_CHECK(IsDriveRoot(root));
    return inner_.FreeSpace(root, b);
  }
  bk::Status GetVolumeInfo(std::string_view root, bk::VolumeInfo* v) override {
    FUZZ_CHECK(IsDriveRoot(root));
    return inner_.GetVolumeInfo(root, v);
  }
  bk::Status GetFolderId(std::string_view f, bk::FolderId* id) override {
    FUZZ_CHECK(MayRead(f));
    return inner_.GetFolderId(f, id);
  }
  bk::Status ReadLinkTarget(std::string_view p, std::string* t) override {
    FUZZ_CHECK(MayRead(p));
    return inner_.ReadLinkTarget(p, t);
  }
  std::string ErrorMessage(std::uint32_t code) override { return inner_.ErrorMessage(code); }

 private:
  bk::FileSystem& inner_;
};

// Makes the source tree the input describes, on the source drive only.
void MakeTree(bk::FileSystem& fs, std::string_view layout) {
  std::size_t start = 0;
  int made = 0;
  while (start < layout.size() && made < 64) {
    std::size_t end = layout.find('\n', start);
    if (end == std::string_view::npos) end = layout.size();
    const std::string_view entry = layout.substr(start, std::min<std::size_t>(end - start, 120));
    start = end + 1;
    if (entry.empty() || !IsPlainRest(entry) || entry[0] == '\\') continue;
    ++made;
    const std::string path = "S:\\" + std::string(entry);
    if (entry.back() == '\\') {
      (void)fs.CreateFolderChain(path.substr(0, path.size() - 1));
      continue;
    }
    const std::size_t sep = bk::sjis::LastSeparator(path);
    if (sep > 2) (void)fs.CreateFolderChain(path.substr(0, sep));
    std::unique_ptr<bk::WritableFile> file;
    if (fs.CreateWrite(path, &file).ok()) {
      (void)file->Write(entry.data(), entry.size());
      (void)file->SetLastWriteTime(133485408000000000ULL + 10000000ULL * entry.size());
      (void)file->Close();
    }
  }
}

// The list stored back reads as it was written, and each of its lines is either one the
// user's list held (a line the pass leaves alone, its state digit perhaps moved on) or a
// whole line with its size field.
void CheckStoredList(std::string_view input, std::string_view stored) {
  std::string normal(stored);
  bk::NormaliseListText(&normal);
  FUZZ_CHECK(normal == stored);  // LF ends, no CR, no blank line
  std::string given(input);
  bk::NormaliseListText(&given);
  std::set<std::string_view> input_lines;
  bk::ForEachLine(given, [&](std::string_view line, std::size_t) { input_lines.insert(line.substr(1)); });
  bk::ForEachLine(stored, [&](std::string_view line, std::size_t) {
    if (input_lines.count(line.substr(1))) return;
    std::uint64_t size = 0;
    FUZZ_CHECK(bk::SplitLine(line).well_formed && bk::ReadSizeField(line, &size));
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char type = static_cast<char>('1' + data[0] % 5);
  const int options = data[1];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::size_t zero = rest.find('\0');
  const std::string_view list_bytes = rest.substr(0, zero);
  const std::string_view tree = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);

  bk::FileSystem& posix = fuzz::PosixWorld::Fresh();
  MakeTree(posix, tree);
  const std::string list_name = bk::ListFileName('T', "BK", type);
  fuzz::Put(posix, list_name, list_bytes);

  GuardFileSystem guard(posix);
  fuzz::FixedClock clock;
  bk::ErrorReport report(guard, clock);
  bk::RunHooks hooks;
  bk::RunFlags flags;
  bk::RunSettings settings;
  settings.mail_option = options & 1;
  settings.free_space_check = (options & 2) != 0;
  bk::RunContext ctx{guard, report, hooks, flags, settings};
  (void)bk::RunBackup(ctx, {bk::SyncTarget{'T', "BK"}});
  report.Close();

  std::string stored;
  // A list the pass had no cause to store stays as the user left it.
  if (bk::ReadWholeFile(posix, list_name, &stored).ok() && stored != list_bytes) CheckStoredList(list_bytes, stored);
  return 0;
}
