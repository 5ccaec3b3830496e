// Registration benchmark: a drop of one generated folder tree on the mirror-all type ('3',
// all subfolders) of destination T:\BK, whose other four types already hold 100 000 lines
// each. Three steps are timed apart: the scan (RegisterDrop, which writes BkList.tmp), the
// merge (MergeDrop: the cross-type check, append, duplicate removal, save) and the display
// model (BuildListView). On the same tree, `find TREE -printf '%s\n'` gives the floor of a
// walk that stats every entry. Prints figures only; it never fails a build.
//
//   registration_bench [--files N] [--bare]    (default: 100 000, then 1 000 000 files)
//
// --bare leaves out the adapter wrapper that counts and times the calls of each step.
// For a profile of the three steps alone:
//   valgrind --tool=callgrind --toggle-collect='bk::RegisterDrop*'
//            --toggle-collect='bk::MergeDrop*' --toggle-collect='bk::BuildListView*'
//            registration_bench --files 10000 --bare           (one command line)

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "backup/drop_registration.hpp"
#include "backup/list_view_model.hpp"
#include "backup/merge_drop.hpp"
#include "common/error_report.hpp"
#include "common/list_buffer.hpp"
#include "common/list_sort.hpp"
#include "common/message_port.hpp"
#include "common/registration_list.hpp"
#include "common/text_file.hpp"
#include "platform/posix_file_system.hpp"

extern char** environ;

namespace {

// <chrono> is left out on purpose: libstdc++ spells the micro sign of its unit suffixes as
// a literal that code page 932 cannot hold, so it does not compile here.
double Now() {
  timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void Die(const std::string& what) {
  std::cerr << "registration_bench: " << what << "\n";
  std::exit(2);
}

void Check(bk::Status s, const std::string& what) {
  if (!s) Die(what + " failed with error " + std::to_string(s.code));
}

constexpr double kMiB = 1024.0 * 1024.0;
constexpr char kDropType = '3';  // mirror-all: the dropped folder with all its subfolders
constexpr std::size_t kOtherLines = 100000;

// Shift-JIS bytes written out, so the data does not depend on the compiler's charset.
// 表 and ソ carry 0x5C as their trail byte, the case a path splitter must not misread.
constexpr std::string_view kHyoSo = "\x95\x5C\x83\x5C";              // 表ソ
constexpr std::string_view kNoShashin = "\x94\x5C\x8E\xCA\x90\x5E";  // 能写真
constexpr std::string_view kKara = "\x8B\xF3";                       // 空
constexpr std::string_view kShiryo = "\x8E\x91\x97\xBF";             // 資料

// The host (UTF-8) spelling of a Shift-JIS name part.
std::string Host(std::string_view cp932) {
  std::string utf8;
  if (!bk::Cp932ToUtf8(cp932, &utf8)) Die("cannot convert a name to UTF-8");
  return utf8;
}

// A printable copy of a Shift-JIS text for the terminal.
std::string Printable(std::string_view cp932) {
  std::string utf8;
  if (!bk::Cp932ToUtf8(cp932, &utf8)) return "(not convertible)";
  return utf8;
}

// ---- memory ------------------------------------------------------------------------------

// Peak resident set: "5" in clear_refs resets VmHWM to the current RSS.
bool ResetPeakRss() {
  std::ofstream f("/proc/self/clear_refs");
  if (!f) return false;
  f << "5";
  f.flush();
  return static_cast<bool>(f);
}

// A "VmXXX:  1234 kB" line of /proc/self/status, in bytes; -1 when absent.
long long StatusBytes(std::string_view field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind(field, 0) == 0 && line.size() > field.size() && line[field.size()] == ':') {
      std::istringstream in(line.substr(field.size() + 1));
      long long kb = -1;
      in >> kb;
      return kb < 0 ? -1 : kb * 1024;
    }
  }
  return -1;
}

// ---- the adapter, counted ----------------------------------------------------------------

enum Call : std::size_t {
  kListFolder, kGetInfo, kOpenRead, kRead, kCreateWrite, kWrite, kClose, kCopyPlain, kRename, kDeleteFile,
  kOther, kCallKinds
};
constexpr std::array<std::string_view, kCallKinds> kCallNames = {
    "ListFolder", "GetInfo", "OpenRead", "Read", "CreateWrite", "Write", "Close(write)",
    "CopyPlain", "Rename", "DeleteFile", "other"};

struct CallCounts {
  std::array<std::uint64_t, kCallKinds> calls {};
  std::array<double, kCallKinds> seconds {};
  std::uint64_t listed_entries = 0;
  std::uint64_t written_bytes = 0;
  void Add(Call c, double t0) {
    ++calls[c];
    seconds[c] += Now() - t0;
  }
};

class CountingReadable final : public bk::ReadableFile {
 public:
  CountingReadable(std::unique_ptr<bk::ReadableFile> inner, CallCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}
  bk::Status Read(void* buffer, std::size_t size, std::size_t* got) override {
    const double t0 = Now();
    const bk::Status s = inner_->Read(buffer, size, got);
    counts_.Add(kRead, t0);
    return s;
  }
  bk::Status GetInfo(bk::FileInfo* info) override {
    const double t0 = Now();
    const bk::Status s = inner_->GetInfo(info);
    counts_.Add(kOther, t0);
    return s;
  }

 private:
  std::unique_ptr<bk::ReadableFile> inner_;
  CallCounts& counts_;
};

class CountingWritable final : public bk::WritableFile {
 public:
  CountingWritable(std::unique_ptr<bk::WritableFile> inner, CallCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}
  bk::Status Write(const void* data, std::size_t size) override {
    const double t0 = Now();
    const bk::Status s = inner_->Write(data, size);
    counts_.Add(kWrite, t0);
    counts_.written_bytes += size;
    return s;
  }
  bk::Status SetLastWriteTime(bk::FileTime time) override { return inner_->SetLastWriteTime(time); }
  bk::Status Flush() override {
    const double t0 = Now();
    const bk::Status s = inner_->Flush();
    counts_.Add(kOther, t0);
    return s;
  }
  bk::Status Close() override {
    const double t0 = Now();
    const bk::Status s = inner_->Close();
    counts_.Add(kClose, t0);
    return s;
  }

 private:
  std::unique_ptr<bk::WritableFile> inner_;
  CallCounts& counts_;
};

// Passes every call through and counts it, with the time it took.
class CountingFileSystem final : public bk::FileSystem {
 public:
  explicit CountingFileSystem(bk::FileSystem& inner) : inner_(inner) {}
  CallCounts counts;

  bk::Status ListFolder(std::string_view folder, std::vector<bk::FileInfo>* entries) override {
    const double t0 = Now();
    const bk::Status s = inner_.ListFolder(folder, entries);
    counts.Add(kListFolder, t0);
    counts.listed_entries += entries->size();
    return s;
  }
  bk::Status GetInfo(std::string_view path, bk::FileInfo* info) override {
    return Timed(kGetInfo, [&] { return inner_.GetInfo(path, info); });
  }
  bk::Status OpenRead(std::string_view path, std::unique_ptr<bk::ReadableFile>* file) override {
    std::unique_ptr<bk::ReadableFile> raw;
    const bk::Status s = Timed(kOpenRead, [&] { return inner_.OpenRead(path, &raw); });
    if (s) *file = std::make_unique<CountingReadable>(std::move(raw), counts);
    return s;
  }
  bk::Status CreateWrite(std::string_view path, std::unique_ptr<bk::WritableFile>* file) override {
    std::unique_ptr<bk::WritableFile> raw;
    const bk::Status s = Timed(kCreateWrite, [&] { return inner_.CreateWrite(path, &raw); });
    if (s) *file = std::make_unique<CountingWritable>(std::move(raw), counts);
    return s;
  }
  bk::Status CreateNew(std::string_view path, std::unique_ptr<bk::WritableFile>* file) override {
    std::unique_ptr<bk::WritableFile> raw;
    const bk::Status s = Timed(kCreateWrite, [&] { return inner_.CreateNew(path, &raw); });
    if (s) *file = std::make_unique<CountingWritable>(std::move(raw), counts);
    return s;
  }
  bk::Status SetLastWriteTime(std::string_view path, bk::FileTime time) override {
    return Timed(kOther, [&] { return inner_.SetLastWriteTime(path, time); });
  }
  bk::Status SetAttributes(std::string_view path, std::uint32_t attributes) override {
    return Timed(kOther, [&] { return inner_.SetAttributes(path, attributes); });
  }
  bk::Status Rename(std::string_view from, std::string_view to) override {
    return Timed(kRename, [&] { return inner_.Rename(from, to); });
  }
  bk::Status CopyPlain(std::string_view from, std::string_view to) override {
    return Timed(kCopyPlain, [&] { return inner_.CopyPlain(from, to); });
  }
  bk::Status DeleteFile(std::string_view path) override {
    return Timed(kDeleteFile, [&] { return inner_.DeleteFile(path); });
  }
  bk::Status CreateFolderChain(std::string_view path) override {
    return Timed(kOther, [&] { return inner_.CreateFolderChain(path); });
  }
  bk::Status DeleteTree(std::string_view path) override {
    return Timed(kOther, [&] { return inner_.DeleteTree(path); });
  }
  bk::Status RemoveEmptyFolder(std::string_view path) override {
    return Timed(kOther, [&] { return inner_.RemoveEmptyFolder(path); });
  }
  bk::Status FreeSpace(std::string_view root, std::uint64_t* bytes) override {
    return Timed(kOther, [&] { return inner_.FreeSpace(root, bytes); });
  }
  bk::Status GetVolumeInfo(std::string_view root, bk::VolumeInfo* info) override {
    return Timed(kOther, [&] { return inner_.GetVolumeInfo(root, info); });
  }
  std::string ErrorMessage(std::uint32_t code) override { return inner_.ErrorMessage(code); }

 private:
  template <typename F>
  bk::Status Timed(Call c, F&& f) {
    const double t0 = Now();
    const bk::Status s = f();
    counts.Add(c, t0);
    return s;
  }
  bk::FileSystem& inner_;
};

// Answers every message as its "OK" button would, and keeps the texts.
class QuietPort final : public bk::MessagePort {
 public:
  std::vector<std::string> shown;
  int ShowMessage(std::string_view text, bk::DialogMode) override {
    shown.emplace_back(text);
    return bk::kOkAnswer;
  }
};

// ---- other programs ----------------------------------------------------------------------

// Runs args with stdout to /dev/null; the wall seconds, or -1 when it did not exit 0.
double SpawnQuiet(const std::vector<std::string>& args) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const double t0 = Now();
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  const double seconds = Now() - t0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// ---- the generated tree (direct POSIX calls) ---------------------------------------------

struct Tree {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::size_t folders_with_files = 0;
  // Every folder the scan registers that holds no file gets a marker line.
  std::size_t expected_markers() const { return folders - folders_with_files; }
};

void MakeFolder(const std::string& host, Tree* tree) {
  if (::mkdir(host.c_str(), 0755) != 0) Die("mkdir " + host + ": " + std::strerror(errno));
  ++tree->folders;
}

// S:\data, then tops tNN, each with ten middle folders mN (no files) of ten leaves lN of
// about 100 empty files, and one empty folder; some names Japanese (some with 0x5C trail
// bytes). Four levels, ~100 files a folder.
Tree Generate(const std::string& s_host, std::size_t file_count) {
  Tree tree;
  const std::string data = s_host + "/data";
  const std::string kara = Host(kKara), hyo_so = Host(kHyoSo), shiryo = Host(kShiryo),
                    no_shashin = Host(kNoShashin);
  const std::size_t leaves = std::max<std::size_t>(1, file_count / 100);
  MakeFolder(data, &tree);
  std::string top, mid;
  std::size_t index = 0;
  char name[64];
  for (std::size_t k = 0; k < leaves; ++k) {
    if (k % 100 == 0) {
      top = data + "/t" + std::to_string(1000 + k / 100).substr(1);
      MakeFolder(top, &tree);
      MakeFolder(top + "/" + kara, &tree);  // a folder without files: its marker line
    }
    if (k % 10 == 0) {
      mid = top + "/m" + std::to_string((k / 10) % 10);
      if ((k / 10) % 10 == 3) mid += shiryo;
      MakeFolder(mid, &tree);
    }
    std::string leaf = mid + "/l" + std::to_string(k % 10);
    if (k % 10 == 5) leaf += hyo_so;
    MakeFolder(leaf, &tree);
    const int dfd = ::open(leaf.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) Die("open " + leaf + ": " + std::strerror(errno));
    const std::size_t here = file_count / leaves + (k < file_count % leaves ? 1 : 0);
    for (std::size_t i = 0; i < here; ++i, ++index) {
      static constexpr const char* exts[] = {".txt", ".docx", ".xlsx", ".jpg", ".pdf", ".csv", ""};
      std::snprintf(name, sizeof name, "file%07zu%s", index, exts[index % 7]);
      const std::string file = index % 23 == 5 ? no_shashin + name : std::string(name);
      const int fd = ::openat(dfd, file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd < 0) Die("create " + leaf + "/" + file + ": " + std::strerror(errno));
      ::close(fd);
      ++tree.files;
    }
    ::close(dfd);
    if (here > 0) ++tree.folders_with_files;
  }
  return tree;
}

// ---- the other four types' lists ---------------------------------------------------------

struct OtherLists {
  std::size_t lines = 0;
  std::size_t file_lines = 0;
};

// Four lists of kOtherLines lines, sorted as saved, paths distinct from each other and from
// the dropped tree: 100 files a folder, every 50th folder of the folder types as a marker.
OtherLists WriteOtherLists(bk::FileSystem& fs) {
  OtherLists made;
  for (char digit : bk::kTypeDigits) {
    if (digit == kDropType) continue;
    bk::ListBuffer list;
    list.text.reserve(kOtherLines * 80);
    std::size_t lines = 0, folder = 0;
    while (lines < kOtherLines) {
      std::string f = "C:\\Users\\user\\Documents\\type" + std::string(1, digit) + "\\p" +
                      std::to_string(1000 + folder / 20).substr(1) + "\\s" + std::to_string(folder % 20);
      if (folder % 7 == 3) f += kHyoSo;
      if (digit != '1' && folder % 50 == 49) {
        list.text += bk::MakeRegistrationLine('2', f, bk::kEmptyFolderMarker, digit, 0);
        ++lines;
      } else {
        for (std::size_t i = 0; i < 100 && lines < kOtherLines; ++i, ++lines, ++made.file_lines) {
          std::string name = "doc" + std::to_string(100000 + lines).substr(1) + ".pdf";
          if (i % 17 == 3) name.insert(0, kNoShashin);
          list.text += bk::MakeRegistrationLine('2', f, name, digit, (lines * 7919) % 5000000);
        }
      }
      ++folder;
    }
    made.lines += lines;
    bk::RemoveTypeDuplicates(&list);  // sorted, as a saved list is
    if (list.line_count != lines) Die("the generated list of type " + std::string(1, digit) + " repeats lines");
    Check(bk::SaveList(fs, bk::ListFileName('T', "BK", digit), list), "saving a list of another type");
  }
  return made;
}

// ---- one size ----------------------------------------------------------------------------

struct StepFigures {
  double seconds = 0;
  long long rss_before = -1, peak = -1;
  CallCounts counts;
};

constexpr std::size_t kSteps = 3;
constexpr std::array<std::string_view, kSteps> kStepNames = {"scan (RegisterDrop)", "merge (MergeDrop)",
                                                             "view (BuildListView)"};

struct SizeFigures {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::array<StepFigures, kSteps> steps;
  double find = 0;
  double find_first = 0, find_second = 0;
  double generate = 0;
  bool ok = true;
};

template <typename F>
StepFigures Measure(CountingFileSystem* counting, F&& step) {
  ::malloc_trim(0);
  StepFigures fig;
  if (counting) counting->counts = CallCounts{};
  const bool reset = ResetPeakRss();
  fig.rss_before = StatusBytes("VmRSS");
  const double t0 = Now();
  step();
  fig.seconds = Now() - t0;
  if (reset) fig.peak = StatusBytes("VmHWM");
  if (counting) fig.counts = counting->counts;
  return fig;
}

void PrintCounts(std::string_view step, const StepFigures& f) {
  std::cout << "    " << std::left << std::setw(22) << step << std::right;
  double in_calls = 0;
  bool any = false;
  for (std::size_t c = 0; c < kCallKinds; ++c) {
    if (f.counts.calls[c] == 0) continue;
    in_calls += f.counts.seconds[c];
    std::cout << (any ? ", " : "") << kCallNames[c] << " " << f.counts.calls[c] << " (" << std::setprecision(3)
              << f.counts.seconds[c] << " s)";
    any = true;
  }
  if (!any) std::cout << "no adapter calls";
  std::cout << "\n    " << std::setw(22) << "" << "entries listed " << f.counts.listed_entries << ", bytes written "
            << f.counts.written_bytes << ", in adapter calls " << std::setprecision(3) << in_calls
            << " s of " << f.seconds << " s\n";
}

// Counts the lines of a saved list: all, markers, lines not of the dropped type.
struct ListCount {
  std::size_t lines = 0, markers = 0, foreign = 0;
  bool sorted = true;
};

ListCount CountSavedList(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ListCount c;
  std::string_view previous;
  bk::ForEachLine(text, [&](std::string_view line, std::size_t) {
    ++c.lines;
    const bk::LineParts p = bk::SplitLine(line);
    if (p.well_formed && p.name == bk::kEmptyFolderMarker) ++c.markers;
    if (!p.well_formed || p.tail.empty() || p.tail[0] != kDropType) ++c.foreign;
    if (line < previous) c.sorted = false;
    previous = line;
  });
  return c;
}

SizeFigures RunSize(const std::string& base, std::size_t file_count, bool bare) {
  SizeFigures fig;
  fig.files = file_count;
  const std::string program = base + "/P", s_host = base + "/S", t_host = base + "/T";
  for (const std::string& d : {program, s_host, t_host}) std::filesystem::create_directories(d);

  std::cout << "\n== " << file_count << " files\n" << std::flush;
  double t0 = Now();
  const Tree tree = Generate(s_host, file_count);
  fig.generate = Now() - t0;
  fig.folders = tree.folders;
  std::cout << "  tree: " << tree.files << " files, " << tree.folders << " folders (" << tree.expected_markers()
            << " without files), generated in " << std::setprecision(3) << fig.generate << " s\n";

  bk::PosixFileSystem posix(program);
  posix.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  posix.MapDrive('T', {t_host, "BACKUP", "NTFS", std::nullopt, false});
  Check(posix.CreateFolderChain("BkList"), "creating BkList");
  Check(posix.CreateFolderChain("T:\\BK"), "creating T:\\BK");
  // An empty template, so every created text file goes the way it does in the real folder.
  Check(bk::WriteWholeFile(posix, bk::kTemplatePath, ""), "writing the template");
  t0 = Now();
  const OtherLists others = WriteOtherLists(posix);
  std::cout << "  other types: 4 lists, " << others.lines << " lines (" << others.file_lines
            << " files), written in " << std::setprecision(3) << Now() - t0 << " s\n";

  CountingFileSystem counting(posix);
  bk::FileSystem& fs = bare ? static_cast<bk::FileSystem&>(posix) : counting;
  CountingFileSystem* counted = bare ? nullptr : &counting;
  bk::PosixClock clock;
  bk::ErrorReport report(fs, clock);
  QuietPort port;
  bk::DropHooks drop_hooks;
  bk::MergeHooks merge_hooks;
  bk::ListBuffer list;
  bool keep_going = true;
  bk::DropContext ctx(fs, report, port, drop_hooks, list, keep_going);
  ctx.drive = 'T';
  ctx.folder = "BK";
  ctx.free_space_check = true;  // host free space; the files are empty

  const std::string tree_root = s_host + "/data";
  ::sync();
  fig.find_first = SpawnQuiet({"find", tree_root, "-printf", "%s\n"});

  // 1: the scan.
  bk::DropOutcome outcome = bk::DropOutcome::Ignored;
  fig.steps[0] = Measure(counted, [&] { outcome = bk::RegisterDrop(ctx, {std::string("S:\\data")}, kDropType); });
  if (outcome != bk::DropOutcome::MergePending) {
    std::cout << "  !!! MISMATCH: RegisterDrop ended with outcome " << static_cast<int>(outcome) << "\n";
    fig.ok = false;
  }
  const bk::DropBatch batch = ctx.batch;
  std::cout << "  scan: " << batch.files_registered << " file lines, " << batch.marker_lines << " markers, "
            << batch.folders_found << " subfolders found, " << batch.problems << " problems\n";
  if (batch.files_registered != tree.files || batch.marker_lines != tree.expected_markers() || batch.problems != 0) {
    std::cout << "  !!! MISMATCH: the scan wrote " << batch.files_registered << " + " << batch.marker_lines
              << " lines, expected " << tree.files << " + " << tree.expected_markers() << "\n";
    fig.ok = false;
  }

  // 2: the merge.
  bk::MergeResult merged;
  const bk::MergeRequest request{fs, port, clock, merge_hooks, 'T', "BK", kDropType,
                                 bk::DropCounters{batch.files_registered, batch.marker_lines, batch.problems}};
  fig.steps[1] = Measure(counted, [&] { merged = bk::MergeDrop(request, &list); });
  ctx.phase = bk::RegistrationPhase::Idle;
  std::cout << "  merge: " << merged.new_lines << " new lines, rejected " << merged.rejected_files << " + "
            << merged.rejected_markers << ", repeated " << merged.repeated_files << " + " << merged.repeated_markers
            << ", list " << list.line_count << " lines in " << list.folder_count << " folders\n";
  if (!merged.merged || merged.rejected_files + merged.rejected_markers + merged.repeated_files +
                                merged.repeated_markers != 0) {
    std::cout << "  !!! MISMATCH: the merge " << (merged.merged ? "rejected or repeated lines" : "did not merge")
              << " (status " << merged.status.code << ")\n";
    fig.ok = false;
  }

  // 3: the display model.
  bk::ListView view;
  bool shown = false;
  const bk::ListOwner owner{fs, 'T', "BK"};
  fig.steps[2] = Measure(counted, [&] { shown = bk::BuildListView(owner, list, &view); });
  std::cout << "  view: " << view.row_count() << " rows (" << view.folder_rows << " folder rows), files shown "
            << view.files_shown << " / " << view.files_all_types << "\n";
  if (!shown || view.files_shown != tree.files || view.files_all_types != tree.files + others.file_lines ||
      view.file_rows != tree.files + tree.expected_markers() || view.shown_type != kDropType) {
    std::cout << "  !!! MISMATCH: the view shows " << view.files_shown << " / " << view.files_all_types
              << " files in " << view.file_rows << " file rows, expected " << tree.files << " / "
              << tree.files + others.file_lines << " in " << tree.files + tree.expected_markers() << "\n";
    fig.ok = false;
  }

  ::sync();
  fig.find_second = SpawnQuiet({"find", tree_root, "-printf", "%s\n"});
  if (fig.find_first < 0 || fig.find_second < 0) {
    std::cout << "  (find did not run; no comparison)\n";
    fig.find = -1;
  } else {
    fig.find = std::min(fig.find_first, fig.find_second);
  }

  // The saved list: exactly the tree's files and the markers of its folders without files.
  std::string list_host;
  Check(posix.HostPath(bk::ListFileName('T', "BK", kDropType), &list_host), "mapping the list name");
  const ListCount saved = CountSavedList(list_host);
  std::cout << "  saved list: " << saved.lines << " lines, " << saved.markers << " markers"
            << (saved.sorted ? ", sorted" : ", NOT sorted") << "\n";
  if (saved.lines - saved.markers != tree.files || saved.markers != tree.expected_markers() || saved.foreign != 0 ||
      !saved.sorted) {
    std::cout << "  !!! MISMATCH: the saved list holds " << saved.lines - saved.markers << " file lines and "
              << saved.markers << " markers (" << saved.foreign << " of another type), expected " << tree.files
              << " and " << tree.expected_markers() << "\n";
    fig.ok = false;
  }
  if (!port.shown.empty()) {
    std::cout << "  !!! MISMATCH: " << port.shown.size() << " message(s) shown, the first:\n    "
              << Printable(port.shown.front()) << "\n";
    fig.ok = false;
  }
  std::string report_host;
  Check(posix.HostPath(bk::kErrorReportPath, &report_host), "mapping the report name");
  if (::access(report_host.c_str(), F_OK) == 0) {
    std::cout << "  !!! MISMATCH: an error report was left\n";
    fig.ok = false;
  }

  // Figures of this size.
  std::cout << "\n    " << std::left << std::setw(22) << "step" << std::right << std::setw(10) << "seconds"
            << std::setw(11) << "peak MiB" << std::setw(14) << "(RSS before)" << "\n";
  for (std::size_t i = 0; i < kSteps; ++i) {
    const StepFigures& s = fig.steps[i];
    std::cout << "    " << std::left << std::setw(22) << kStepNames[i] << std::right << std::fixed
              << std::setprecision(3) << std::setw(10) << s.seconds << std::setprecision(1) << std::setw(11)
              << (s.peak > 0 ? s.peak / kMiB : -1.0) << std::setw(14) << (s.rss_before > 0 ? s.rss_before / kMiB : -1.0)
              << "\n"
              << std::defaultfloat;
  }
  std::cout << "    " << std::left << std::setw(22) << "find -printf %s" << std::right << std::fixed
            << std::setprecision(3) << std::setw(10) << fig.find << "   (runs: " << fig.find_first << ", "
            << fig.find_second << ")\n"
            << std::defaultfloat;
  if (!bare) {
    std::cout << "\n    adapter calls (wrapper cost included in the seconds above; --bare leaves it out):\n";
    for (std::size_t i = 0; i < kSteps; ++i) PrintCounts(kStepNames[i], fig.steps[i]);
  }

  t0 = Now();
  std::error_code ec;
  std::filesystem::remove_all(s_host, ec);
  std::filesystem::remove_all(program, ec);
  std::filesystem::remove_all(t_host, ec);
  std::cout << "  (tree removed in " << std::setprecision(3) << Now() - t0 << " s)\n";
  return fig;
}

struct TempFolder {
  std::string path;
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/registration_bench.XXXXXX";
    if (!::mkdtemp(pattern.data())) Die("cannot create a temporary folder");
    path = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes = {100000, 1000000};
  bool bare = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a(argv[i]);
    if (a == "--files" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(argv[++i], &end, 10);
      if (!end || *end || n == 0) Die("--files wants a positive number");
      sizes = {static_cast<std::size_t>(n)};
    } else if (a == "--bare") {
      bare = true;
    } else {
      std::cerr << "usage: registration_bench [--files N] [--bare]\n";
      return 2;
    }
  }

  TempFolder temp;
  std::cout << "registration_bench: trees in " << temp.path << ", nproc " << ::sysconf(_SC_NPROCESSORS_ONLN)
            << ", drop of S:\\data on type " << kDropType << " of T:\\BK, other four types " << kOtherLines
            << " lines each" << (bare ? ", bare adapter" : ", adapter calls counted") << "\n";
  std::cout << "  page cache warm (the tree was just written); find: the faster of a run before and one after\n";

  std::vector<SizeFigures> all;
  for (std::size_t n : sizes) all.push_back(RunSize(temp.path, n, bare));

  std::cout << "\n== summary\n";
  std::cout << "  " << std::setw(9) << "files" << std::setw(10) << "scan s" << std::setw(10) << "merge s"
            << std::setw(10) << "view s" << std::setw(10) << "find s" << std::setw(12) << "scan/find"
            << std::setw(11) << "peak MiB" << "\n";
  for (const SizeFigures& f : all) {
    long long peak = -1;
    for (const StepFigures& s : f.steps) peak = std::max(peak, s.peak);
    const double ratio = f.find > 0 ? f.steps[0].seconds / f.find : -1;
    std::cout << "  " << std::setw(9) << f.files << std::fixed << std::setprecision(3) << std::setw(10)
              << f.steps[0].seconds << std::setw(10) << f.steps[1].seconds << std::setw(10) << f.steps[2].seconds
              << std::setw(10) << f.find << std::setprecision(2) << std::setw(12) << ratio << std::setprecision(1)
              << std::setw(11) << (peak > 0 ? peak / kMiB : -1.0) << std::defaultfloat
              << (ratio > 2.0 ? "   scan/find MISSED (goal <= 2.0)" : "") << (f.ok ? "" : "   MISMATCH") << "\n";
  }
  if (all.size() == 2) {
    const double scale = static_cast<double>(all[1].files) / static_cast<double>(all[0].files);
    const double limit = 1.2 * scale;
    std::cout << "  growth " << all[0].files << " -> " << all[1].files << " (" << std::setprecision(3) << scale
              << "x the data; goal within " << limit << "x):\n";
    for (std::size_t i = 0; i < kSteps; ++i) {
      const double g = all[1].steps[i].seconds / all[0].steps[i].seconds;
      const double m = static_cast<double>(all[1].steps[i].peak) / static_cast<double>(all[0].steps[i].peak);
      std::cout << "    " << std::left << std::setw(22) << kStepNames[i] << std::right << " time " << std::fixed
                << std::setprecision(1) << std::setw(6) << g << "x   peak memory " << std::setw(5) << m << "x"
                << std::defaultfloat << (g > limit ? "   MISSED" : "") << "\n";
    }
    const double gf = all[1].find / all[0].find;
    std::cout << "    " << std::left << std::setw(22) << "find" << std::right << " time " << std::fixed
              << std::setprecision(1) << std::setw(6) << gf << "x" << std::defaultfloat << "\n";
  }
  bool all_ok = true;
  for (const SizeFigures& f : all) all_ok = all_ok && f.ok;
  if (!all_ok) std::cout << "\n  !!! MISMATCH in at least one size (see above) !!!\n";
  return 0;
}
