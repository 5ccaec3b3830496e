// Registration-list benchmark: load, sort, duplicate removal and save of one large list,
// side by side with `LC_ALL=C sort -u` over the same file, plus the peak memory of our
// own steps. Prints figures only; it never fails a build.
//
//   list_bench [--lines N] [--runs N]      (defaults 1 000 000 and 5)

#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/list_buffer.hpp"
#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "common/text_file.hpp"
#include "platform/posix_file_system.hpp"

#include "bench_support.hpp"

namespace {

using namespace bench;

// Shift-JIS bytes written out, so the data does not depend on the compiler's charset.
// 表 and ソ carry 0x5C as their trail byte, the case a path splitter must not misread.
constexpr std::string_view kShiryo = "\x8E\x91\x97\xBF";  // 資料
constexpr std::string_view kHyo = "\x95\x5C";             // 表
constexpr std::string_view kSo = "\x83\x5C";              // ソ
constexpr std::string_view kNo = "\x94\x5C";              // 能

std::string Japanese(std::mt19937_64& rng) {
  static constexpr std::string_view parts[] = {kShiryo, kHyo, kSo, kNo};
  std::string out;
  const int n = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) out += parts[rng() % std::size(parts)];
  return out;
}

// About 2 000 folders of a user's document tree, some with Japanese names.
std::vector<std::string> MakeFolders(std::size_t count, std::mt19937_64& rng) {
  std::vector<std::string> folders;
  folders.reserve(count);
  std::size_t project = 0;
  while (folders.size() < count) {
    std::string base = "C:\\Users\\user\\Documents\\project" + std::to_string(1000 + project++).substr(1);
    if (rng() % 4 == 0) base += Japanese(rng);
    folders.push_back(base);
    const std::size_t subs = 3 + rng() % 8;
    for (std::size_t s = 0; s < subs && folders.size() < count; ++s) {
      std::string sub = base + "\\sub" + std::to_string(s);
      if (rng() % 3 == 0) sub += Japanese(rng);
      folders.push_back(sub);
      if (rng() % 2 == 0 && folders.size() < count) folders.push_back(sub + "\\" + Japanese(rng) + std::to_string(s));
    }
  }
  return folders;
}

std::string FileName(std::size_t index, std::mt19937_64& rng) {
  static constexpr std::string_view stems[] = {"report", "img", "data", "memo", "invoice", "a", "backup_copy_of_the_final_version"};
  static constexpr std::string_view exts[] = {".txt", ".docx", ".xlsx", ".jpg", ".pdf", ".csv", ""};
  std::string name;
  if (rng() % 5 == 0) name += Japanese(rng);
  name += stems[rng() % std::size(stems)];
  name += '_';
  name += std::to_string(index);  // unique within its folder
  const std::size_t pad = rng() % 24;
  for (std::size_t i = 0; i < pad; ++i) name += static_cast<char>('a' + rng() % 26);
  name += exts[rng() % std::size(exts)];
  return name;
}

// N lines: 99 % distinct registrations, 1 % exact repeats of some of them, shuffled.
std::string MakeListText(std::size_t lines, std::size_t* distinct_out) {
  std::mt19937_64 rng(20240611);
  const std::vector<std::string> folders = MakeFolders(2000, rng);
  const std::size_t repeats = lines / 100;
  const std::size_t distinct = lines - repeats;

  std::string pool;  // the distinct lines, back to back
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  spans.reserve(lines);
  pool.reserve(distinct * 90);
  for (std::size_t i = 0; i < distinct; ++i) {
    const std::string& folder = folders[i % folders.size()];
    const std::size_t at = pool.size();
    if (i < folders.size() && i % 50 == 7) {
      pool += bk::MakeRegistrationLine('2', folder, bk::kEmptyFolderMarker, '3', 0);
    } else {
      const std::uint64_t size = rng() % 4 == 0 ? rng() % 1000 : rng() % 20000000000ULL;
      pool += bk::MakeRegistrationLine('2', folder, FileName(i / folders.size(), rng), '3', size);
    }
    spans.emplace_back(at, pool.size() - at);
  }
  for (std::size_t i = 0; i < repeats; ++i) spans.push_back(spans[rng() % distinct]);
  // Fisher-Yates with our own generator draw, so every library shuffles the same way.
  for (std::size_t i = spans.size(); i > 1; --i) std::swap(spans[i - 1], spans[rng() % i]);

  std::string text;
  text.reserve(pool.size() + repeats * 120);
  for (const auto& [at, len] : spans) text.append(pool, at, len);
  *distinct_out = distinct;
  return text;
}

std::size_t CountFileLines(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::size_t n = 0;
  std::vector<char> buf(1 << 20);
  while (f) {
    f.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    n += static_cast<std::size_t>(std::count(buf.data(), buf.data() + f.gcount(), '\n'));
  }
  return n;
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0) return false;
  }
}

// Runs `sort -u` with the C locale; returns the exit status (-1 when it could not start).
int RunSortUnique(const std::string& in, const std::string& out) {
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    const std::string_view v(*e);
    if (v.rfind("LC_", 0) == 0 || v.rfind("LANG=", 0) == 0 || v.rfind("LANGUAGE=", 0) == 0) continue;
    env_strings.emplace_back(v);
  }
  env_strings.emplace_back("LC_ALL=C");
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::string a0 = "sort", a1 = "-u", a2 = "-o", a3 = out, a4 = in;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "sort", nullptr, nullptr, argv, envp.data()) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// One run of our steps on the stored list, timed step by step.
struct OurRun {
  double load = 0, sort_display = 0, dedup = 0, save = 0, flush = 0;
  double total() const { return load + sort_display + dedup + save; }
  std::size_t kept_lines = 0;
  bk::DuplicateRemoval removal;
  long long peak = -1;
};

OurRun RunOurs(bk::FileSystem& fs, const std::string& list_name, const std::string& saved_name) {
  OurRun run;
  const auto t0 = Now();
  bk::ListBuffer list;
  bool found = false;
  Check(bk::ReadListFile(fs, list_name, &list, &found), "Load");
  if (!found) Die("Load did not find the list");
  const auto t1 = Now();
  bk::SortForDisplay(&list);
  const auto t2 = Now();
  run.removal = bk::RemoveTypeDuplicates(&list);
  const auto t3 = Now();
  CountingFileSystem counted(fs);  // the save's flush is timed on its own
  Check(bk::SaveList(counted, saved_name, list), "Save");
  const auto t4 = Now();
  run.peak = StatusBytes("VmHWM");
  run.load = t1 - t0;
  run.sort_display = t2 - t1;
  run.dedup = t3 - t2;
  run.save = t4 - t3;
  run.flush = counted.counts.seconds[kFlush];
  run.kept_lines = list.line_count;
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t lines = 1000000;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a(argv[i]);
    if ((a == "--lines" || a == "--runs") && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long long n = std::strtoull(argv[++i], &end, 10);
      if (!end || *end || n == 0) Die(std::string(a) + " wants a positive number");
      if (a == "--lines") lines = static_cast<std::size_t>(n);
      else runs = static_cast<int>(std::min(n, 100ULL));
    } else {
      std::cerr << "usage: list_bench [--lines N] [--runs N]\n";
      return 2;
    }
  }

  TempFolder temp;
  bk::PosixFileSystem fs(temp.path);
  Check(fs.CreateFolderChain("BkList"), "creating BkList");
  // An empty template, so every save goes the way it does in the real folder.
  Check(bk::WriteWholeFile(fs, bk::kTemplatePath, ""), "writing the template");

  const std::string list_name = bk::ListFileName('C', "BK", '3');
  const std::string saved_name = bk::ListFileName('C', "BKSAVED", '3');
  std::string list_host, saved_host;
  Check(fs.HostPath(list_name, &list_host), "mapping the list name");
  Check(fs.HostPath(saved_name, &saved_host), "mapping the saved name");
  const std::string sort_host = temp.path + "/sort_u.out";

  std::size_t distinct = 0;
  {
    std::string text = MakeListText(lines, &distinct);
    Check(bk::WriteWholeFile(fs, list_name, text), "writing the list");
  }
  // Give the generator's memory back so the peak below belongs to our steps alone.
  ::malloc_trim(0);
  const long long file_size = static_cast<long long>(std::filesystem::file_size(list_host));
  const long long rss_before = StatusBytes("VmRSS");

  // Ours and sort -u take turns, each writing a new file every time, so that a busy
  // moment of the shared host falls on both sides alike; the medians are compared.
  std::vector<OurRun> ours;
  std::vector<double> theirs;
  bool peak_reset = true;
  int sort_status = 0;
  for (int r = 0; r < runs; ++r) {
    std::filesystem::remove(saved_host);
    std::filesystem::remove(sort_host);
    // Who goes first alternates, so neither side always meets the other's leftovers.
    const auto run_sort = [&] {
      const auto s0 = Now();
      sort_status = RunSortUnique(list_host, sort_host);
      theirs.push_back(Now() - s0);
    };
    if (r % 2 == 1) run_sort();
    peak_reset = ResetPeakRss() && peak_reset;
    ours.push_back(RunOurs(fs, list_name, saved_name));
    ::malloc_trim(0);
    if (r % 2 == 0) run_sort();
    if (sort_status != 0) break;
  }

  auto median_of = [&](double OurRun::*step) {
    std::vector<double> v;
    for (const OurRun& run : ours) v.push_back(run.*step);
    return Median(v);
  };
  std::vector<double> totals, totals_less_flush;
  long long peak = -1;
  for (const OurRun& run : ours) {
    totals.push_back(run.total());
    totals_less_flush.push_back(run.total() - run.flush);
    peak = std::max(peak, run.peak);
  }
  const double ours_total = Median(totals), ours_less_flush = Median(totals_less_flush), sort_total = Median(theirs);
  const std::size_t saved_lines = CountFileLines(saved_host);

  std::cout << std::fixed;
  std::cout << "list_bench: " << lines << " lines (" << distinct << " distinct), file "
            << std::setprecision(1) << file_size / kMiB << " MiB, nproc "
            << ::sysconf(_SC_NPROCESSORS_ONLN) << ", medians of " << ours.size() << " runs each\n\n";
  auto row = [](std::string_view name, double s) {
    std::cout << "  " << std::left << std::setw(24) << name << std::right << std::setw(10)
              << std::setprecision(3) << s << " s\n";
  };
  row("Load (ReadListFile)", median_of(&OurRun::load));
  row("SortForDisplay", median_of(&OurRun::sort_display));
  row("RemoveTypeDuplicates", median_of(&OurRun::dedup));
  row("Save (SaveList)", median_of(&OurRun::save));
  row("  of which the flush", median_of(&OurRun::flush));
  row("ours, total", ours_total);
  row("ours without the flush", ours_less_flush);
  if (sort_status == 0) {
    row("LC_ALL=C sort -u", sort_total);
    std::cout << "  " << std::left << std::setw(24) << "ratio ours/sort" << std::right << std::setw(10)
              << std::setprecision(2) << ours_total / sort_total << "    (goal <= 1.00)\n";
    // sort -u never flushes its output; the list's save must, so that a crash cannot
    // leave a torn list.
    std::cout << "  " << std::left << std::setw(24) << "  without our flush" << std::right << std::setw(10)
              << std::setprecision(2) << ours_less_flush / sort_total << "\n";
    std::cout << "  runs, ours/sort s:";
    for (std::size_t r = 0; r < theirs.size(); ++r)
      std::cout << ' ' << std::setprecision(3) << ours[r].total() << '/' << theirs[r];
    std::cout << "\n";
  } else {
    std::cout << "  sort -u did not run (status " << sort_status << ")\n";
  }
  if (peak_reset && peak > 0) {
    std::cout << "  " << std::left << std::setw(24) << "peak RSS (VmHWM)" << std::right << std::setw(10)
              << std::setprecision(1) << peak / kMiB << " MiB  (RSS before Load "
              << rss_before / kMiB << " MiB)\n";
    std::cout << "  " << std::left << std::setw(24) << "peak / file size" << std::right << std::setw(10)
              << std::setprecision(2) << static_cast<double>(peak) / static_cast<double>(file_size)
              << "    (goal < 3.00)\n";
  } else {
    std::cout << "  peak RSS: unavailable (clear_refs or VmHWM not readable)\n";
  }

  const OurRun& last = ours.back();
  std::cout << "\n  lines kept " << last.kept_lines << ", removed " << last.removal.removed << " (repeated files "
            << last.removal.repeated_files << ", markers " << last.removal.repeated_markers << "), saved file "
            << saved_lines << " lines\n";
  if (sort_status == 0) {
    const std::size_t sort_lines = CountFileLines(sort_host);
    if (saved_lines != sort_lines) {
      std::cout << "\n  !!! MISMATCH: our list has " << saved_lines << " lines, sort -u gives "
                << sort_lines << " !!!\n";
    } else {
      std::cout << "  line count agrees with sort -u (" << sort_lines << ")";
      std::cout << (SameBytes(saved_host, sort_host) ? "; files byte-identical\n"
                                                     : "; files differ in bytes (order or content)\n");
    }
  }
  if (distinct != saved_lines) {
    std::cout << "  !!! MISMATCH: " << distinct << " distinct lines generated, " << saved_lines
              << " saved !!!\n";
  }
  return 0;
}
