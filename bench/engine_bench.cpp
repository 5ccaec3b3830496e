// Backup-engine benchmark: a mirror-all registration of a generated source tree, backed up
// natively over the POSIX adapter, side by side with `rsync -a --delete` and `cp -a` on the
// same source. Four steps per tree size: first full copy, unchanged run, 1 % of the files
// changed, 1 % deleted; then a single-file list of a few files in a folder of 20 000
// entries (--big-folder N); then a mirror-all tree one of whose folders, holding half the
// bytes, is renamed: the run after the rename with move detection on and off, against the
// first copy. Prints wall times, the adapter calls the run made (by kind, with
// the time spent in them), the peak memory of the run, and a cheap check of the result.
// Prints figures only; it never fails a build.
//
//   engine_bench [--files N] [--no-strace]    (default: 10 000, then 100 000 files)
//   engine_bench --only-big-folder [--big-folder N]   (only the single-file case below)
//   engine_bench --only-rename [--rename-files N] [--rename-mib M] [--rename-repeat R]
//                (only the renamed-folder case: N files, default 10 000, M MiB in all,
//                default 1024, half of it in the folder renamed; R runs a figure, default 3)
//   engine_bench --prepare DIR --files N       (a tree to profile one run on; see Prepare)
//   engine_bench --prepare-rename DIR --files N --mib M   (the renamed-folder tree, for wine_bench.sh)
//
// With strace on the host, the smallest tree is also run once more under `strace -c -f`
// (first copy and unchanged run, ours against rsync and cp) for system-call counts.

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
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
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/error_report.hpp"
#include "common/list_buffer.hpp"
#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "common/text_file.hpp"
#include "engine/backup_run.hpp"
#include "engine/run_context.hpp"
#include "platform/posix_file_system.hpp"

#include "bench_support.hpp"

namespace {

using namespace bench;

// 2024-01-01 00:00:00 UTC in the system's 100 ns steps, and one second.
constexpr bk::FileTime kT0 = 133485408000000000ULL;
constexpr bk::FileTime kSecond = 10000000ULL;

// Shift-JIS bytes written out, so the data does not depend on the compiler's charset.
// 表, ソ and 能 carry 0x5C as their trail byte, the case a path splitter must not misread.
constexpr std::string_view kShiryo = "\x8E\x91\x97\xBF";   // 資料
constexpr std::string_view kHyoSo = "\x95\x5C\x83\x5C";    // 表ソ
constexpr std::string_view kNoShashin = "\x94\x5C\x8E\xCA\x90\x5E";  // 能写真
constexpr std::string_view kKara = "\x8B\xF3";             // 空
constexpr std::string_view kGazo = "\x89\xE6\x91\x9C";     // 画像

class DateClock final : public bk::Clock {
 public:
  bk::LocalDate Today() override { return {2026, 12, 7}; }
};

// ---- trees on the host -------------------------------------------------------------------

struct HostFile {
  std::string path;  // relative to the tree's root, host bytes (UTF-8)
  std::uint64_t size = 0;
  std::int64_t mtime_sec = 0;
  std::int64_t mtime_nsec = 0;
  bool operator<(const HostFile& o) const { return path < o.path; }
  bool operator==(const HostFile& o) const {
    return path == o.path && size == o.size && mtime_sec == o.mtime_sec && mtime_nsec == o.mtime_nsec;
  }
};

struct HostTree {
  std::vector<HostFile> files;
  std::size_t folders = 0;
  std::size_t folders_without_files = 0;
  std::uint64_t bytes = 0;
};

void WalkHost(const std::string& root, const std::string& rel, HostTree* tree) {
  const std::string here = rel.empty() ? root : root + "/" + rel;
  DIR* dir = ::opendir(here.c_str());
  if (!dir) return;
  ++tree->folders;
  bool any_file = false;
  std::vector<std::string> subfolders;
  while (struct dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string child = rel.empty() ? std::string(e->d_name) : rel + "/" + e->d_name;
    if (S_ISDIR(st.st_mode)) {
      subfolders.push_back(child);
      continue;
    }
    any_file = true;
    tree->bytes += static_cast<std::uint64_t>(st.st_size);
    tree->files.push_back({child, static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec});
  }
  ::closedir(dir);
  if (!any_file) ++tree->folders_without_files;
  for (const std::string& s : subfolders) WalkHost(root, s, tree);
}

HostTree Walk(const std::string& root) {
  HostTree tree;
  WalkHost(root, "", &tree);
  std::sort(tree.files.begin(), tree.files.end());
  return tree;
}

// Files that differ between two trees (missing on one side, or size or time differ), with
// the first such path.
std::size_t TreeDifferences(const HostTree& a, const HostTree& b, std::string* first) {
  std::size_t diff = 0;
  std::size_t i = 0, j = 0;
  auto note = [&](const std::string& p) {
    if (diff++ == 0) *first = p;
  };
  while (i < a.files.size() || j < b.files.size()) {
    if (j == b.files.size() || (i < a.files.size() && a.files[i].path < b.files[j].path)) {
      note(a.files[i++].path);
    } else if (i == a.files.size() || b.files[j].path < a.files[i].path) {
      note(b.files[j++].path);
    } else {
      if (!(a.files[i] == b.files[j])) note(a.files[i].path);
      ++i;
      ++j;
    }
  }
  return diff;
}

void RemoveHostTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

// ---- the generated source ----------------------------------------------------------------

struct SourceFile {
  std::string folder;  // Shift-JIS, "S:\data\..."
  std::string name;    // Shift-JIS
};

struct Source {
  std::vector<SourceFile> files;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;
};

void WriteContent(bk::FileSystem& fs, const std::string& path, std::uint64_t size, bk::FileTime time,
                  const std::string& pattern, std::size_t shift) {
  std::unique_ptr<bk::WritableFile> out;
  Check(fs.CreateWrite(path, &out), "creating a source file");
  if (size > 0) Check(out->Write(pattern.data() + shift, static_cast<std::size_t>(size)), "writing a source file");
  Check(out->SetLastWriteTime(time), "stamping a source file");
  Check(out->Close(), "closing a source file");
}

// Leaf folders of about 100 files, three levels below S:\data, a few files in the top
// folders, one empty folder per top folder, some Japanese folder and file names.
Source Generate(bk::FileSystem& fs, std::size_t file_count) {
  std::mt19937_64 rng(20240611 + file_count);
  std::string pattern(2 * 16384 + 1, '\0');
  for (char& c : pattern) c = static_cast<char>(rng());

  const std::size_t leaves = std::max<std::size_t>(1, file_count / 100);
  const std::size_t tops = (leaves + 99) / 100;
  const std::size_t in_tops = std::min(file_count, tops * 2);
  const std::size_t in_leaves = file_count - in_tops;

  Source src;
  auto folder_for_top = [](std::size_t t) {
    std::string f = "S:\\data\\t" + std::to_string(100 + t).substr(1);
    if (t % 4 == 1) f += kGazo;
    return f;
  };
  auto add_folder = [&](const std::string& folder) {
    Check(fs.CreateFolderChain(folder), "creating a source folder");
    ++src.folders;
  };
  std::size_t index = 0;
  auto add_file = [&](const std::string& folder) {
    static constexpr std::string_view exts[] = {".txt", ".docx", ".xlsx", ".jpg", ".pdf", ".csv", ""};
    std::string name;
    if (index % 23 == 5) name += kNoShashin;
    if (index % 31 == 7) name += kHyoSo;
    name += "file" + std::to_string(100000 + index).substr(1);
    name += exts[index % std::size(exts)];
    const std::uint64_t size = index % 29 == 0 ? 0 : rng() % 16385;
    WriteContent(fs, folder + "\\" + name, size, kT0 + index * kSecond, pattern, rng() % 16384);
    src.files.push_back({folder, name});
    src.bytes += size;
    ++index;
  };

  add_folder("S:\\data");
  for (std::size_t t = 0; t < tops; ++t) {
    const std::string top = folder_for_top(t);
    add_folder(top);
    add_folder(top + "\\" + std::string(kKara));
    for (std::size_t i = 0; i < 2 && index < in_tops; ++i) add_file(top);
  }
  for (std::size_t k = 0; k < leaves; ++k) {
    std::string folder = folder_for_top(k / 100) + "\\m" + std::to_string((k / 10) % 10);
    if ((k / 10) % 10 == 3) folder += kShiryo;
    if (k % 10 == 0) add_folder(folder);
    folder += "\\l" + std::to_string(k % 10);
    if (k % 10 == 5) folder += kHyoSo;
    add_folder(folder);
    const std::size_t here = in_leaves / leaves + (k < in_leaves % leaves ? 1 : 0);
    for (std::size_t i = 0; i < here; ++i) add_file(folder);
  }
  return src;
}

// Registers a folder and everything below it as a mirror-all registration does: one line
// per file, a marker line for a folder without files.
void RegisterFolder(bk::FileSystem& fs, const std::string& folder, std::string* text) {
  std::vector<bk::FileInfo> entries;
  Check(fs.ListFolder(folder, &entries), "listing " + folder);
  bool any_file = false;
  std::vector<std::string> subfolders;
  for (const bk::FileInfo& e : entries) {
    if (e.is_directory()) {
      subfolders.push_back(folder + "\\" + e.name);
      continue;
    }
    if (e.name[0] == '.') continue;
    any_file = true;
    *text += bk::MakeRegistrationLine('2', folder, e.name, '3', e.size);
  }
  if (!any_file) *text += bk::MakeRegistrationLine('2', folder, bk::kEmptyFolderMarker, '3', 0);
  for (const std::string& sub : subfolders) RegisterFolder(fs, sub, text);
}

const std::string kListName = bk::ListFileName('T', "BK", '3');

// A program folder: BkList with the template, and the registration of S:\data for T:\BK.
std::size_t PrepareProgramFolder(const std::string& host, const std::string& s_host) {
  bk::PosixFileSystem fs(host);
  fs.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  Check(fs.CreateFolderChain("BkList"), "creating BkList");
  Check(bk::WriteWholeFile(fs, bk::kTemplatePath, ""), "writing the template");
  bk::ListBuffer list;
  RegisterFolder(fs, "S:\\data", &list.text);
  bk::RemoveTypeDuplicates(&list);
  Check(bk::SaveList(fs, kListName, list), "saving the list");
  return list.line_count;
}

struct OursRun {
  double seconds = 0;
  double cpu = 0;
  CallCounts counts;
  long long rss_before = -1, peak = -1;
  bk::RunOutcome outcome;
};

OursRun RunOurs(const std::string& program, const std::string& s_host, const std::string& t_host,
                bool detect_moves = true) {
  bk::PosixFileSystem posix(program);
  posix.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  posix.MapDrive('T', {t_host, "BACKUP", "NTFS", std::nullopt, false});
  CountingFileSystem fs(posix);
  DateClock clock;
  bk::ErrorReport report(fs, clock);
  bk::RunHooks hooks;
  bk::RunFlags flags;
  bk::RunSettings settings;
  settings.detect_moves = detect_moves;
  bk::RunContext ctx{fs, report, hooks, flags, settings};

  ::sync();  // the previous step's dirty pages are not written back inside this one
  ::malloc_trim(0);
  OursRun run;
  const bool reset = ResetPeakRss();
  run.rss_before = StatusBytes("VmRSS");
  const double t0 = Now(), c0 = OwnCpu();
  report.Begin();
  run.outcome = bk::RunBackup(ctx, {{'T', "BK"}});
  report.Close();
  run.seconds = Now() - t0;
  run.cpu = OwnCpu() - c0;
  if (reset) run.peak = StatusBytes("VmHWM");
  run.counts = fs.counts;
  return run;
}

ChildRun RunRsync(const std::string& src, const std::string& dest) {
  ::sync();
  return Spawn({"rsync", "-a", "--delete", src + "/", dest + "/"});
}

ChildRun RunCp(const std::string& src, const std::string& dest) {
  ::sync();
  return Spawn({"cp", "-a", src, dest});
}

// The floor under our copy: the same adapter, each file opened, copied in one chunk loop
// straight to its final name and stamped, without temporary name, attributes or rename.
double StraightCopy(const std::string& s_host, const std::string& x_host, const Source& src) {
  bk::PosixFileSystem fs(s_host);
  fs.MapDrive('S', {s_host, "", "NTFS", std::nullopt, false});
  fs.MapDrive('X', {x_host, "", "NTFS", std::nullopt, false});
  std::vector<char> buffer(1 << 20);
  ::sync();
  const double t0 = Now();
  std::string made_folder;
  for (const SourceFile& f : src.files) {
    const std::string dest_folder = "X:" + f.folder.substr(2);
    if (dest_folder != made_folder) {
      Check(fs.CreateFolderChain(dest_folder), "creating a straight-copy folder");
      made_folder = dest_folder;
    }
    const std::string from = f.folder + "\\" + f.name;
    bk::FileInfo info;
    Check(fs.GetInfo(from, &info), "reading a source time");
    std::unique_ptr<bk::ReadableFile> in;
    std::unique_ptr<bk::WritableFile> out;
    Check(fs.OpenRead(from, &in), "opening a source");
    Check(fs.CreateWrite(dest_folder + "\\" + f.name, &out), "creating a straight copy");
    for (;;) {
      std::size_t got = 0;
      Check(in->Read(buffer.data(), buffer.size(), &got), "reading");
      if (got == 0) break;
      Check(out->Write(buffer.data(), got), "writing");
    }
    Check(out->SetLastWriteTime(info.last_write), "stamping");
    Check(out->Close(), "closing");
  }
  return Now() - t0;
}

// ---- checks ------------------------------------------------------------------------------

struct Verdict {
  bool ok = true;
  std::string text;
};

// Our copy and rsync's against the source; our report and list against what they should be.
Verdict Verify(const std::string& scenario, const std::string& data_host, const std::string& ours_host,
               const std::string& rsync_host, const std::string& program) {
  Verdict v;
  const HostTree source = Walk(data_host);
  const HostTree ours = Walk(ours_host);
  const HostTree theirs = rsync_host.empty() ? HostTree{} : Walk(rsync_host);
  std::ostringstream out;
  auto fail = [&](const std::string& what) {
    v.ok = false;
    out << "    !!! MISMATCH (" << scenario << "): " << what << " !!!\n";
  };
  std::string first;
  if (ours.files.size() != source.files.size())
    fail("ours has " + std::to_string(ours.files.size()) + " files, source " + std::to_string(source.files.size()));
  if (const std::size_t d = TreeDifferences(source, ours, &first); d != 0)
    fail(std::to_string(d) + " files differ from the source in ours, first " + first);
  if (const std::size_t d = rsync_host.empty() ? 0 : TreeDifferences(source, theirs, &first); d != 0)
    fail(std::to_string(d) + " files differ from the source in rsync's copy, first " + first);

  bk::PosixFileSystem fs(program);
  std::string report;
  if (bk::ReadWholeFile(fs, bk::kErrorReportPath, &report)) {
    std::size_t problems = 0;
    std::string first_problem;
    bk::ForEachLine(report, [&](std::string_view line, std::size_t offset) {
      if (offset == 0 || line.empty()) return;
      if (problems++ == 0) first_problem = line;
    });
    if (problems) fail(std::to_string(problems) + " report lines, first: " + first_problem);
  } else {
    fail("no report");
  }
  std::string list;
  if (!bk::ReadWholeFile(fs, kListName, &list)) {
    fail("list unreadable");
  } else {
    const std::size_t lines = static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n'));
    const std::size_t expected = source.files.size() + source.folders_without_files;
    if (lines != expected)
      fail("list has " + std::to_string(lines) + " lines, expected " + std::to_string(expected));
  }
  if (v.ok)
    out << "    check " << scenario << ": " << source.files.size() << " files, ours"
        << (rsync_host.empty() ? "" : " and rsync") << " equal to the source "
        << "(names, sizes, times); report clean; list " << source.files.size() + source.folders_without_files
        << " lines\n";
  v.text = out.str();
  return v;
}

// ---- strace ------------------------------------------------------------------------------

struct StraceSummary {
  bool ok = false;
  long long total = 0;
  std::vector<std::pair<std::string, long long>> top;  // by calls
};

StraceSummary ReadStrace(const std::string& file) {
  StraceSummary s;
  std::ifstream in(file);
  std::string line;
  std::vector<std::pair<std::string, long long>> rows;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string x; words >> x;) w.push_back(x);
    if (w.size() < 5 || !std::isdigit(static_cast<unsigned char>(w[0][0]))) continue;
    const long long calls = std::atoll(w[3].c_str());
    if (w.back() == "total") {
      s.total = calls;
      s.ok = true;
    } else {
      rows.emplace_back(w.back(), calls);
    }
  }
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  if (rows.size() > 7) rows.resize(7);
  s.top = rows;
  return s;
}

void PrintStrace(std::string_view what, const StraceSummary& s) {
  std::cout << "    " << std::left << std::setw(26) << what << std::right;
  if (!s.ok) {
    std::cout << "strace gave no summary\n";
    return;
  }
  std::cout << std::setw(9) << s.total << " calls:";
  for (const auto& [name, calls] : s.top) std::cout << " " << name << " " << calls;
  std::cout << "\n";
}

std::string SelfPath() {
  std::error_code ec;
  const auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("engine_bench") : p.string();
}

// ---- the report --------------------------------------------------------------------------

struct StepFigures {
  double ours = 0, rsync = 0, cp = 0, straight = 0;
  double ours_cpu = 0, rsync_cpu = 0, cp_cpu = 0, straight_cpu = 0;
  long long peak = -1, rss_before = -1;
  long rsync_rss_kb = 0, cp_rss_kb = 0;
  CallCounts counts;
  bool ok = true;
};

struct SizeFigures {
  std::size_t files = 0;
  std::array<StepFigures, 4> steps;
};

constexpr std::array<std::string_view, 4> kStepNames = {"1 first copy", "2 unchanged (best of 2)",
                                                       "3 1% changed", "4 1% deleted"};

void PrintCounts(std::string_view step, const CallCounts& c, double wall) {
  std::cout << "    " << std::left << std::setw(24) << step << std::right;
  bool first = true;
  for (std::size_t k = 0; k < kCallKinds; ++k) {
    if (c.calls[k] == 0) continue;
    if (!first) std::cout << ",";
    first = false;
    std::cout << " " << kCallNames[k] << " " << c.calls[k];
  }
  std::cout << "\n    " << std::setw(24) << "" << " listed entries " << c.listed_entries << "; adapter time "
            << std::setprecision(3) << c.TotalSeconds() << " s of " << wall << " s wall (engine and library "
            << wall - c.TotalSeconds() << " s); by kind:";
  std::vector<std::pair<double, std::size_t>> by_time;
  for (std::size_t k = 0; k < kCallKinds; ++k)
    if (c.calls[k]) by_time.emplace_back(c.seconds[k], k);
  std::sort(by_time.rbegin(), by_time.rend());
  for (std::size_t i = 0; i < by_time.size() && i < 6; ++i)
    std::cout << " " << kCallNames[by_time[i].second] << " " << by_time[i].first;
  std::cout << "\n";
}

SizeFigures RunSize(const std::string& top, std::size_t file_count, bool with_strace) {
  SizeFigures fig;
  fig.files = file_count;
  const std::string base = top + "/n" + std::to_string(file_count);
  const std::string program = base + "/P", s_host = base + "/S", t_host = base + "/T";
  const std::string data_host = s_host + "/data";
  const std::string ours_data = t_host + "/BK/data";
  const std::string rsync_data = base + "/rsync/data";
  const std::string cp_data = base + "/cp/data";
  const std::string straight_host = base + "/straight";
  for (const std::string& d : {program, s_host, t_host, base + "/rsync", base + "/cp", straight_host})
    std::filesystem::create_directories(d);

  std::cout << std::fixed << std::setprecision(3);
  bk::PosixFileSystem gen_fs(program);
  gen_fs.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  double t0 = Now();
  Source src = Generate(gen_fs, file_count);
  const double generate = Now() - t0;
  t0 = Now();
  const std::size_t list_lines = PrepareProgramFolder(program, s_host);
  const double registration = Now() - t0;
  std::cout << "\n== " << file_count << " files, " << src.folders << " folders, " << std::setprecision(1)
            << src.bytes / kMiB << " MiB; list " << list_lines << " lines" << std::setprecision(3)
            << " (generated in " << generate << " s, registered in " << registration << " s)\n";

  auto note_child = [](const char* who, const ChildRun& r) {
    if (r.status != 0) std::cout << "    !!! MISMATCH: " << who << " exited with status " << r.status << " !!!\n";
  };
  auto verify = [&](std::size_t step) {
    const Verdict v = Verify(std::string(kStepNames[step]), data_host, ours_data, rsync_data, program);
    std::cout << v.text;
    fig.steps[step].ok = v.ok;
  };
  auto take = [&](std::size_t step, const OursRun& r) {
    StepFigures& s = fig.steps[step];
    s.ours = r.seconds;
    s.ours_cpu = r.cpu;
    s.counts = r.counts;
    s.peak = r.peak;
    s.rss_before = r.rss_before;
  };

  // 1: first copy
  {
    const OursRun ours = RunOurs(program, s_host, t_host);
    take(0, ours);
    const ChildRun rs = RunRsync(data_host, rsync_data);
    const ChildRun cp = RunCp(data_host, cp_data);
    note_child("rsync", rs);
    note_child("cp", cp);
    fig.steps[0].rsync = rs.seconds;
    fig.steps[0].rsync_cpu = rs.cpu;
    fig.steps[0].rsync_rss_kb = rs.max_rss_kb;
    fig.steps[0].cp = cp.seconds;
    fig.steps[0].cp_cpu = cp.cpu;
    fig.steps[0].cp_rss_kb = cp.max_rss_kb;
    const double c0 = OwnCpu();
    fig.steps[0].straight = StraightCopy(s_host, straight_host, src);
    fig.steps[0].straight_cpu = OwnCpu() - c0;
    verify(0);
    // Only the first copy is compared with cp and the straight copy: their trees go now.
    RemoveHostTree(base + "/cp");
    RemoveHostTree(straight_host);
  }
  // 2: unchanged, best of two for both
  {
    OursRun best;
    best.seconds = 1e30;
    for (int i = 0; i < 2; ++i) {
      OursRun r = RunOurs(program, s_host, t_host);
      if (r.seconds < best.seconds) best = r;
    }
    take(1, best);
    ChildRun best_rs;
    best_rs.seconds = 1e30;
    for (int i = 0; i < 2; ++i) {
      const ChildRun r = RunRsync(data_host, rsync_data);
      note_child("rsync", r);
      if (r.seconds < best_rs.seconds) best_rs = r;
    }
    fig.steps[1].rsync = best_rs.seconds;
    fig.steps[1].rsync_cpu = best_rs.cpu;
    fig.steps[1].rsync_rss_kb = best_rs.max_rss_kb;
    verify(1);
  }
  // 3: 1 % changed: new content and size, a later time
  {
    std::mt19937_64 rng(777 + file_count);
    std::string pattern(2 * 16384 + 1, '\0');
    for (char& c : pattern) c = static_cast<char>(rng());
    for (std::size_t i = 13; i < src.files.size(); i += 100) {
      const SourceFile& f = src.files[i];
      WriteContent(gen_fs, f.folder + "\\" + f.name, rng() % 16385, kT0 + 400 * 86400 * kSecond + i * kSecond,
                   pattern, rng() % 16384);
    }
    take(2, RunOurs(program, s_host, t_host));
    const ChildRun rs = RunRsync(data_host, rsync_data);
    note_child("rsync", rs);
    fig.steps[2].rsync = rs.seconds;
    fig.steps[2].rsync_cpu = rs.cpu;
    fig.steps[2].rsync_rss_kb = rs.max_rss_kb;
    verify(2);
  }
  // 4: 1 % deleted (another 1 % than the changed one)
  {
    for (std::size_t i = 61; i < src.files.size(); i += 100) {
      const SourceFile& f = src.files[i];
      Check(gen_fs.DeleteFile(f.folder + "\\" + f.name), "deleting a source file");
    }
    take(3, RunOurs(program, s_host, t_host));
    const ChildRun rs = RunRsync(data_host, rsync_data);
    note_child("rsync", rs);
    fig.steps[3].rsync = rs.seconds;
    fig.steps[3].rsync_cpu = rs.cpu;
    fig.steps[3].rsync_rss_kb = rs.max_rss_kb;
    verify(3);
  }

  // Table of this size.
  std::cout << "\n    " << std::left << std::setw(24) << "step" << std::right << std::setw(9) << "ours s"
            << std::setw(9) << "rsync s" << std::setw(9) << "cp -a s" << std::setw(11) << "straight s"
            << std::setw(12) << "ours/rsync" << std::setw(9) << "ours/cp" << std::setw(12) << "peak MiB"
            << std::setw(13) << "(RSS before)" << std::setw(12) << "rsync MiB" << "\n";
  for (std::size_t i = 0; i < 4; ++i) {
    const StepFigures& s = fig.steps[i];
    std::cout << "    " << std::left << std::setw(24) << kStepNames[i] << std::right << std::setprecision(3)
              << std::setw(9) << s.ours << std::setw(9) << s.rsync;
    if (s.cp > 0) std::cout << std::setw(9) << s.cp << std::setw(11) << s.straight;
    else std::cout << std::setw(9) << "-" << std::setw(11) << "-";
    std::cout << std::setprecision(2) << std::setw(12) << s.ours / s.rsync;
    if (s.cp > 0) std::cout << std::setw(9) << s.ours / s.cp;
    else std::cout << std::setw(9) << "-";
    std::cout << std::setprecision(1) << std::setw(12) << (s.peak > 0 ? s.peak / kMiB : -1.0) << std::setw(13)
              << (s.rss_before > 0 ? s.rss_before / kMiB : -1.0) << std::setw(12) << s.rsync_rss_kb / 1024.0
              << (s.ok ? "" : "   MISMATCH") << "\n";
  }
  std::cout << "\n    CPU seconds (user + system; less disturbed than wall time by other load on the host):\n";
  for (std::size_t i = 0; i < 4; ++i) {
    const StepFigures& s = fig.steps[i];
    std::cout << "    " << std::left << std::setw(24) << kStepNames[i] << std::right << std::setprecision(3)
              << " ours " << s.ours_cpu << "  rsync " << s.rsync_cpu;
    if (s.cp > 0) std::cout << "  cp " << s.cp_cpu << "  straight " << s.straight_cpu;
    std::cout << std::setprecision(2) << "   ours/rsync " << s.ours_cpu / s.rsync_cpu;
    if (s.cp > 0) std::cout << "  ours/cp " << s.ours_cpu / s.cp_cpu;
    std::cout << "\n";
  }
  std::cout << "\n    adapter calls of ours (unchanged: the faster of the two runs):\n";
  for (std::size_t i = 0; i < 4; ++i) PrintCounts(kStepNames[i], fig.steps[i].counts, fig.steps[i].ours);

  if (with_strace) {
    std::cout << "\n    system calls under strace -c -f (a separate copy of the tree's current state):\n";
    const std::string sb = base + "/strace";
    const std::string sp = sb + "/P", st = sb + "/T", sr = sb + "/rsync/data", sc = sb + "/cp/data";
    for (const std::string& d : {sp, st, sb + "/rsync", sb + "/cp"}) std::filesystem::create_directories(d);
    PrepareProgramFolder(sp, s_host);
    const std::string self = SelfPath();
    auto traced = [&](std::vector<std::string> cmd, const std::string& out) {
      std::vector<std::string> args = {"strace", "-c", "-f", "-o", out};
      args.insert(args.end(), cmd.begin(), cmd.end());
      const ChildRun r = Spawn(args, true);
      if (r.status != 0) std::cout << "    (" << cmd[0] << " under strace exited with " << r.status << ")\n";
      return ReadStrace(out);
    };
    PrintStrace("first copy: ours", traced({self, "--child-run", sp, s_host, st}, sb + "/o1"));
    PrintStrace("first copy: rsync", traced({"rsync", "-a", "--delete", data_host + "/", sr + "/"}, sb + "/r1"));
    PrintStrace("first copy: cp -a", traced({"cp", "-a", data_host, sc}, sb + "/c1"));
    PrintStrace("unchanged: ours", traced({self, "--child-run", sp, s_host, st}, sb + "/o2"));
    PrintStrace("unchanged: rsync", traced({"rsync", "-a", "--delete", data_host + "/", sr + "/"}, sb + "/r2"));
    RemoveHostTree(sb);
  }
  RemoveHostTree(base);
  return fig;
}

// ---- a few registered files in a big folder ---------------------------------------------

// A single-file list of a few files in a folder of many entries (a download or mail
// folder), the destination folder as big (the folder is also mirrored there). A group of up
// to 16 files is asked for by name; one of more is listed on both sides. Both are run, with
// the two listings alone as the cost a listed group cannot go below.
void RunBigFolderCase(const std::string& top, std::size_t entries) {
  const std::string base = top + "/big";
  const std::string program = base + "/P", s_host = base + "/S", t_host = base + "/T";
  for (const std::string& d : {program, s_host + "/mail", t_host + "/BK/mail"}) std::filesystem::create_directories(d);
  bk::PosixFileSystem fs(program);
  fs.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  fs.MapDrive('T', {t_host, "BACKUP", "NTFS", std::nullopt, false});
  std::string pattern(256, 'm');
  double t0 = Now();
  for (std::size_t i = 0; i < entries; ++i) {
    const std::string name = "msg" + std::to_string(100000 + i).substr(1) + ".eml";
    WriteContent(fs, "S:\\mail\\" + name, i % 200, kT0 + i * kSecond, pattern, 0);
    WriteContent(fs, "T:\\BK\\mail\\" + name, i % 200, kT0 + i * kSecond, pattern, 0);
  }
  Check(fs.CreateFolderChain("BkList"), "creating BkList");
  Check(bk::WriteWholeFile(fs, bk::kTemplatePath, ""), "writing the template");
  std::cout << "\n== a single-file list in a folder of " << entries << " entries (the same at the destination); made in "
            << std::setprecision(2) << Now() - t0 << " s\n";

  // Registers `count` of the folder's files, spread over it, with a fresh copy of each
  // missing at the destination for the first run.
  auto register_files = [&](std::size_t count) {
    bk::ListBuffer list;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t i = (k * 7919 + 13) % entries;
      const std::string name = "msg" + std::to_string(100000 + i).substr(1) + ".eml";
      list.text += bk::MakeRegistrationLine('2', "S:\\mail", name, '1', i % 200);
      (void)fs.DeleteFile("T:\\BK\\mail\\" + name);
    }
    bk::RemoveTypeDuplicates(&list);
    Check(bk::SaveList(fs, bk::ListFileName('T', "BK", '1'), list), "saving the list");
  };
  auto listings_alone = [&] {
    double best = 1e30;
    for (int r = 0; r < 5; ++r) {
      std::vector<bk::FileInfo> a, b;
      const double l0 = Now();
      Check(fs.ListFolder("S:\\mail\\", &a), "listing the source");
      Check(fs.ListFolder("T:\\BK\\mail", &b), "listing the destination");
      best = std::min(best, Now() - l0);
    }
    return best;
  };
  std::cout << "    " << std::left << std::setw(26) << "registered files" << std::right << std::setw(12) << "first s"
            << std::setw(16) << "unchanged s" << std::setw(16) << "(less flush)" << std::setw(12) << "GetInfo"
            << std::setw(12) << "listed" << "\n";
  for (const std::size_t count : {std::size_t{5}, std::size_t{17}}) {
    register_files(count);
    const OursRun first = RunOurs(program, s_host, t_host);
    OursRun best;
    best.seconds = 1e30;
    for (int r = 0; r < 5; ++r) {
      OursRun run = RunOurs(program, s_host, t_host);
      if (run.seconds < best.seconds) best = run;
    }
    const std::string label = std::to_string(count) + (count <= 16 ? " (asked by name)" : " (listed)");
    std::cout << "    " << std::left << std::setw(26) << label << std::right << std::setprecision(6) << std::setw(12)
              << first.seconds << std::setw(16) << best.seconds << std::setw(16)
              << best.seconds - best.counts.seconds[kFlush] << std::setw(12) << best.counts.calls[kGetInfo]
              << std::setw(12) << best.counts.listed_entries
              << (first.counts.calls[kCreateNew] != count || best.counts.calls[kCreateNew] != 0 ? "   MISMATCH" : "")
              << "\n";
  }
  std::cout << "    the two folder listings alone (best of 5): " << std::setprecision(6) << listings_alone() << " s\n"
            << "    (unchanged: best of 5 runs; \"less flush\" leaves out the flush of the list written back)\n";
  RemoveHostTree(base);
}

// ---- a renamed folder that holds half the bytes ------------------------------------------

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A file of `size` bytes taken from `pattern` (at least 1 MiB + shift long) from `shift` on,
// written in chunks of 1 MiB.
void WriteLarge(bk::FileSystem& fs, const std::string& path, std::uint64_t size, bk::FileTime time,
                const std::string& pattern, std::size_t shift) {
  std::unique_ptr<bk::WritableFile> out;
  Check(fs.CreateWrite(path, &out), "creating a source file");
  for (std::uint64_t done = 0; done < size;) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, 1 << 20));
    Check(out->Write(pattern.data() + shift, chunk), "writing a source file");
    done += chunk;
  }
  Check(out->SetLastWriteTime(time), "stamping a source file");
  Check(out->Close(), "closing a source file");
}

struct RenameFigures {
  bool ran = false;
  double first = 0, moved = 0, copied = 0;
  bool ok = true;
};

struct RenameTree {
  std::size_t files = 0, big_files = 0;
  std::uint64_t bytes = 0, big_bytes = 0;
};

// S:\data: `files` files, a tenth of them (about half of `total_mib`) in S:\data\画像 and
// its two subfolders, the rest in leaf folders of about 100 files.
RenameTree GenerateRenameTree(bk::FileSystem& fs, std::size_t files, std::uint64_t total_mib) {
  std::mt19937_64 rng(4242 + files);
  std::string pattern((2 << 20) + 1, '\0');
  for (char& c : pattern) c = static_cast<char>(rng());
  const std::uint64_t half = total_mib * (1ULL << 20) / 2;
  const std::size_t big_files = std::max<std::size_t>(3, files / 10);
  const std::size_t small_files = files > big_files ? files - big_files : 0;
  const std::string big = std::string("S:\\data\\") + std::string(kGazo);  // 画像
  const std::string big_sub[3] = {big, big + "\\a", big + "\\b" + std::string(kHyoSo)};

  std::uint64_t bytes = 0, big_bytes = 0;
  std::size_t index = 0;
  auto put = [&](const std::string& folder, std::uint64_t mean) {
    const std::uint64_t size = index % 29 == 0 ? 0 : rng() % (2 * mean + 1);
    std::string name = "f" + std::to_string(100000 + index).substr(1);
    if (index % 31 == 7) name += kHyoSo;
    name += index % 3 ? ".jpg" : ".dat";
    WriteLarge(fs, folder + "\\" + name, size, kT0 + index * kSecond, pattern, rng() % (1 << 20));
    bytes += size;
    ++index;
    return size;
  };
  Check(fs.CreateFolderChain("S:\\data"), "creating S:\\data");
  for (const std::string& f : big_sub) Check(fs.CreateFolderChain(f), "creating a source folder");
  for (std::size_t i = 0; i < big_files; ++i) big_bytes += put(big_sub[i % 3], half / big_files);
  const std::size_t leaves = std::max<std::size_t>(1, small_files / 100);
  for (std::size_t k = 0; k < leaves; ++k) {
    std::string folder = "S:\\data\\t" + std::to_string(k / 10) + "\\l" + std::to_string(k % 10);
    if (k % 10 == 3) folder += kShiryo;
    Check(fs.CreateFolderChain(folder), "creating a source folder");
    const std::size_t here = small_files / leaves + (k < small_files % leaves ? 1 : 0);
    for (std::size_t i = 0; i < here; ++i) put(folder, half / small_files);
  }
  return {index, big_files, bytes, big_bytes};
}

// A mirror-all registration of S:\data, 10 000 files (`files`), one folder (with two
// subfolders) holding about half of `total_mib`: the first copy; then that folder renamed
// and the next run, with move detection on and, from the same state, off. Each run is
// repeated `repeat` times from the same state (the destination folder renamed back and the
// list put back as it was after the first copy); medians count.
RenameFigures RunRenameCase(const std::string& top, std::size_t files, std::uint64_t total_mib, int repeat) {
  RenameFigures fig;
  fig.ran = true;
  const std::string base = top + "/rename";
  const std::string program = base + "/P", s_host = base + "/S", t_host = base + "/T";
  const std::string saved_program = base + "/P0";
  for (const std::string& d : {program, s_host, t_host}) std::filesystem::create_directories(d);
  bk::PosixFileSystem fs(program);
  fs.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});

  std::cout << std::fixed;
  const double t0 = Now();
  const RenameTree tree = GenerateRenameTree(fs, files, total_mib);
  const std::size_t index = tree.files, big_files = tree.big_files;
  const std::uint64_t bytes = tree.bytes, big_bytes = tree.big_bytes;
  const double generate = Now() - t0;
  const std::size_t list_lines = PrepareProgramFolder(program, s_host);
  std::filesystem::copy(program, saved_program, std::filesystem::copy_options::recursive);
  std::cout << "\n== a renamed folder (mirror-all list): " << index << " files, " << std::setprecision(1)
            << bytes / kMiB << " MiB; the renamed folder (with 2 subfolders) " << big_files << " files, "
            << big_bytes / kMiB << " MiB; list " << list_lines << " lines (generated in " << std::setprecision(2)
            << generate << " s); each figure the median of " << repeat << " runs\n";

  const std::string data_host = s_host + "/data";
  const std::string ours_data = t_host + "/BK/data";
  const std::string big_host = data_host + "/\xE7\x94\xBB\xE5\x83\x8F";  // 画像, as the host spells it
  const std::string big_new_host = big_host + "2024";
  auto restore_list = [&] {
    for (const auto& e : std::filesystem::directory_iterator(saved_program + "/BkList"))
      std::filesystem::copy_file(e.path(), program + "/BkList/" + e.path().filename().string(),
                                 std::filesystem::copy_options::overwrite_existing);
  };
  auto check = [&](const std::string& what) {
    const Verdict v = Verify(what, data_host, ours_data, "", program);
    std::cout << v.text;
    fig.ok = fig.ok && v.ok;
  };

  // 1: the first copy, from an empty destination each time.
  std::vector<double> first, writeback;
  OursRun first_run;
  for (int r = 0; r < repeat; ++r) {
    RemoveHostTree(t_host);
    std::filesystem::create_directories(t_host);
    restore_list();
    first_run = RunOurs(program, s_host, t_host);
    first.push_back(first_run.seconds);
    const double w0 = Now();
    ::sync();
    writeback.push_back(Now() - w0);
  }
  check("first copy");
  std::filesystem::copy(program + "/BkList", saved_program + "/BkList",
                        std::filesystem::copy_options::recursive |
                            std::filesystem::copy_options::overwrite_existing);  // the list after it

  // 2: the folder renamed at the source; the run with and without move detection, each from
  // the state after the first copy.
  std::filesystem::rename(big_host, big_new_host);
  std::vector<double> moved, copied;
  OursRun moved_run, copied_run;
  auto back_to_first_copy = [&] {
    const std::string dest_old = ours_data + "/\xE7\x94\xBB\xE5\x83\x8F";
    if (!std::filesystem::exists(dest_old)) std::filesystem::rename(dest_old + "2024", dest_old);
    restore_list();
  };
  for (int r = 0; r < repeat; ++r) {
    back_to_first_copy();
    moved_run = RunOurs(program, s_host, t_host, true);
    moved.push_back(moved_run.seconds);
    if (r == 0) check("after the rename, moves detected");
    back_to_first_copy();
    copied_run = RunOurs(program, s_host, t_host, false);
    copied.push_back(copied_run.seconds);
    if (r == 0) check("after the rename, moves not detected");
  }
  fig.first = Median(first);
  fig.moved = Median(moved);
  fig.copied = Median(copied);
  auto list = [](const std::vector<double>& v) {
    std::ostringstream o;
    o << std::setprecision(3);
    for (double x : v) o << " " << x;
    return o.str();
  };
  std::cout << std::setprecision(3) << "    first copy                         " << std::setw(8) << fig.first
            << " s  (" << list(first) << " )\n"
            << "      then sync(), writing it back    " << std::setw(8) << Median(writeback) << " s  ("
            << list(writeback) << " ); not part of the figures, as in the other steps\n"
            << "    after the rename, moves detected   " << std::setw(8) << fig.moved << " s  (" << list(moved)
            << " )\n"
            << "    after the rename, without          " << std::setw(8) << fig.copied << " s  (" << list(copied)
            << " )\n"
            << std::setprecision(4) << "    after the rename / first copy " << fig.moved / fig.first
            << " (goal <= 0.05)" << (fig.moved <= 0.05 * fig.first ? "" : "  MISSED")
            << ";  with detection / without " << fig.moved / fig.copied << "\n";
  auto what_it_did = [](std::string_view label, const OursRun& r) {
    std::cout << "    " << std::left << std::setw(34) << label << std::right << " Rename "
              << r.counts.calls[kRename] << ", CreateWrite " << r.counts.calls[kCreateWrite] << ", CreateNew "
              << r.counts.calls[kCreateNew] << ", DeleteFile "
              << r.counts.calls[kDeleteFile] << ", bytes written " << std::setprecision(1)
              << r.counts.written_bytes / kMiB << " MiB\n";
  };
  what_it_did("first copy (last run)", first_run);
  what_it_did("moves detected (last run)", moved_run);
  what_it_did("without detection (last run)", copied_run);
  RemoveHostTree(base);
  return fig;
}

// One backup run and nothing else, for a child under strace.
int RunChild(const std::string& program, const std::string& s_host, const std::string& t_host) {
  bk::PosixFileSystem fs(program);
  fs.MapDrive('S', {s_host, "SOURCE", "NTFS", std::nullopt, false});
  fs.MapDrive('T', {t_host, "BACKUP", "NTFS", std::nullopt, false});
  DateClock clock;
  bk::ErrorReport report(fs, clock);
  bk::RunHooks hooks;
  bk::RunFlags flags;
  bk::RunContext ctx{fs, report, hooks, flags, bk::RunSettings{}};
  report.Begin();
  bk::RunBackup(ctx, {{'T', "BK"}});
  report.Close();
  return 0;
}

// A tree and its registration left in place, for a profiler run of one step:
//   engine_bench --prepare DIR --files N
//   valgrind --tool=callgrind engine_bench --child-run DIR/P DIR/S DIR/T   (first copy)
//   valgrind --tool=callgrind engine_bench --child-run DIR/P DIR/S DIR/T   (unchanged)
int Prepare(const std::string& dir, std::size_t file_count) {
  if (file_count == 0) Die("--files wants a positive number");
  for (const char* d : {"/P", "/S", "/T"}) std::filesystem::create_directories(dir + d);
  bk::PosixFileSystem fs(dir + "/P");
  fs.MapDrive('S', {dir + "/S", "SOURCE", "NTFS", std::nullopt, false});
  const Source src = Generate(fs, file_count);
  const std::size_t lines = PrepareProgramFolder(dir + "/P", dir + "/S");
  std::cout << src.files.size() << " files, list " << lines << " lines; run: engine_bench --child-run " << dir
            << "/P " << dir << "/S " << dir << "/T\n";
  return 0;
}

// The renamed-folder case's tree and its registration left in place, for wine_bench.sh:
//   engine_bench --prepare-rename DIR --files N --mib M
int PrepareRename(const std::string& dir, std::size_t file_count, std::uint64_t mib) {
  if (file_count < 30 || mib == 0) Die("--prepare-rename wants at least 30 files and 1 MiB");
  for (const char* d : {"/P", "/S"}) std::filesystem::create_directories(dir + d);
  bk::PosixFileSystem fs(dir + "/P");
  fs.MapDrive('S', {dir + "/S", "SOURCE", "NTFS", std::nullopt, false});
  const RenameTree tree = GenerateRenameTree(fs, file_count, mib);
  const std::size_t lines = PrepareProgramFolder(dir + "/P", dir + "/S");
  std::cout << tree.files << " files, " << tree.bytes << " bytes; folder to rename: data/\xE7\x94\xBB\xE5\x83\x8F, "
            << tree.big_files << " files, " << tree.big_bytes << " bytes; list " << lines << " lines\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string_view(argv[1]) == "--child-run") return RunChild(argv[2], argv[3], argv[4]);
  if (argc == 5 && std::string_view(argv[1]) == "--prepare" && std::string_view(argv[3]) == "--files")
    return Prepare(argv[2], std::strtoull(argv[4], nullptr, 10));
  if (argc == 7 && std::string_view(argv[1]) == "--prepare-rename" && std::string_view(argv[3]) == "--files" &&
      std::string_view(argv[5]) == "--mib")
    return PrepareRename(argv[2], std::strtoull(argv[4], nullptr, 10), std::strtoull(argv[6], nullptr, 10));

  std::vector<std::size_t> sizes = {10000, 100000};
  bool strace = true;
  std::size_t big_folder = 20000;
  bool only_big_folder = false;
  bool only_rename = false;
  std::size_t rename_files = 10000;
  std::uint64_t rename_mib = 1024;
  int rename_repeat = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a(argv[i]);
    if (a == "--files" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(argv[++i], &end, 10);
      if (!end || *end || n == 0) Die("--files wants a positive number");
      sizes = {static_cast<std::size_t>(n)};
    } else if (a == "--no-strace") {
      strace = false;
    } else if (a == "--big-folder" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(argv[++i], &end, 10);
      if (!end || *end || n < 20) Die("--big-folder wants a number of entries, at least 20");
      big_folder = static_cast<std::size_t>(n);
    } else if (a == "--only-big-folder") {
      only_big_folder = true;
    } else if (a == "--only-rename") {
      only_rename = true;
    } else if ((a == "--rename-files" || a == "--rename-mib" || a == "--rename-repeat") && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(argv[++i], &end, 10);
      if (!end || *end || n == 0) Die(std::string(a) + " wants a positive number");
      if (a == "--rename-files") rename_files = static_cast<std::size_t>(std::max(n, 30ULL));
      else if (a == "--rename-mib") rename_mib = n;
      else rename_repeat = static_cast<int>(std::min(n, 99ULL));
    } else {
      std::cerr << "usage: engine_bench [--files N] [--no-strace] [--big-folder N] [--only-big-folder]\n"
                   "                    [--only-rename] [--rename-files N] [--rename-mib M] [--rename-repeat R]\n";
      return 2;
    }
  }
  if (!OnPath("rsync") || !OnPath("cp")) Die("rsync and cp are needed for the comparison");
  const bool have_strace = strace && OnPath("strace");

  TempFolder temp;
  std::cout << "engine_bench: trees in " << temp.path << ", nproc " << ::sysconf(_SC_NPROCESSORS_ONLN)
            << (have_strace ? "" : (strace ? ", strace not found" : ", strace off")) << "\n";
  std::cout << "  each step: sync(), then one run (the unchanged step: best of two); page cache not dropped\n";

  if (only_big_folder) {
    RunBigFolderCase(temp.path, big_folder);
    return 0;
  }
  if (only_rename) {
    const RenameFigures r = RunRenameCase(temp.path, rename_files, rename_mib, rename_repeat);
    if (!r.ok) std::cout << "\n  !!! MISMATCH in the renamed-folder case (see above) !!!\n";
    return 0;
  }
  std::vector<SizeFigures> all;
  for (std::size_t n : sizes) all.push_back(RunSize(temp.path, n, have_strace && n == sizes.front()));
  RunBigFolderCase(temp.path, big_folder);
  const RenameFigures rename = RunRenameCase(temp.path, rename_files, rename_mib, rename_repeat);

  std::cout << "\n== ratios\n" << std::setprecision(2);
  for (const SizeFigures& f : all) {
    std::cout << "  " << std::setw(6) << f.files << " files: unchanged ours/rsync " << f.steps[1].ours / f.steps[1].rsync
              << " (goal <= 0.50)" << (f.steps[1].ours <= 0.5 * f.steps[1].rsync ? "" : "  MISSED")
              << ";  first copy ours/cp " << f.steps[0].ours / f.steps[0].cp << " (goal <= 1.10)"
              << (f.steps[0].ours <= 1.1 * f.steps[0].cp ? "" : "  MISSED") << ";  ours/straight copy "
              << f.steps[0].ours / f.steps[0].straight << "\n";
  }
  if (all.size() == 2) {
    const double scale = static_cast<double>(all[1].files) / static_cast<double>(all[0].files);
    std::cout << "  growth " << all[0].files << " -> " << all[1].files << " (linear: " << std::setprecision(1)
              << scale << "x):\n";
    for (std::size_t i = 0; i < 4; ++i) {
      const double g = all[1].steps[i].ours / all[0].steps[i].ours;
      const double gr = all[1].steps[i].rsync / all[0].steps[i].rsync;
      std::cout << "    " << std::left << std::setw(24) << kStepNames[i] << std::right << " ours "
                << std::setprecision(1) << std::setw(5) << g << "x   rsync " << std::setw(5) << gr << "x"
                << (g > 1.5 * scale ? "   (worse than linear)" : "") << "\n";
    }
  }
  std::cout << std::setprecision(4) << "  renamed folder: the run after it / first copy " << rename.moved / rename.first
            << " (goal <= 0.05)" << (rename.moved <= 0.05 * rename.first ? "" : "  MISSED")
            << ";  with move detection / without " << rename.moved / rename.copied << "\n";
  bool all_ok = rename.ok;
  for (const SizeFigures& f : all)
    for (const StepFigures& s : f.steps) all_ok = all_ok && s.ok;
  if (!all_ok) std::cout << "\n  !!! MISMATCH in at least one step (see above) !!!\n";
  return 0;
}
