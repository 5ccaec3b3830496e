// What the benchmarks share: a monotonic clock, the peak memory of this process, other
// programs run and timed beside ours, a temporary folder, and an adapter wrapper that
// counts every call with the time it took. Each benchmark is one translation unit, so
// everything here is inline.
//
// <chrono> is left out on purpose: libstdc++ spells the micro sign of its unit suffixes as
// a literal that code page 932 cannot hold, so it does not compile here.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.hpp"

extern char** environ;

namespace bench {

// ---- time and failures -------------------------------------------------------------------

// Seconds on the monotonic clock.
inline double Now() {
  timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A benchmark that cannot set up its data stops with a message under its own name.
[[noreturn]] inline void Die(const std::string& what) {
  std::cerr << program_invocation_short_name << ": " << what << "\n";
  std::exit(2);
}

inline void Check(bk::Status s, const std::string& what) {
  if (!s) Die(what + " failed with error " + std::to_string(s.code));
}

inline constexpr double kMiB = 1024.0 * 1024.0;

// ---- memory ------------------------------------------------------------------------------

// Peak resident set: "5" in clear_refs resets VmHWM to the current RSS.
inline bool ResetPeakRss() {
  std::ofstream f("/proc/self/clear_refs");
  if (!f) return false;
  f << "5";
  f.flush();
  return static_cast<bool>(f);
}

// A "VmXXX:  1234 kB" line of /proc/self/status, in bytes; -1 when absent.
inline long long StatusBytes(std::string_view field) {
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

// ---- other programs ----------------------------------------------------------------------

struct ChildRun {
  int status = -1;       // exit status; -1 when it could not start
  double seconds = 0;
  long max_rss_kb = 0;   // of the child and its own children
  double cpu = 0;        // user and system seconds
};

inline double CpuSeconds(const struct rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// User and system seconds of this process so far.
inline double OwnCpu() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return CpuSeconds(u);
}

// Runs args (found on PATH) and waits for it; quiet sends its output to /dev/null.
inline ChildRun Spawn(const std::vector<std::string>& args, bool quiet = false) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ChildRun run;
  const double t0 = Now();
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return run;
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return run;
  }
  run.seconds = Now() - t0;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.max_rss_kb = usage.ru_maxrss;
  run.cpu = CpuSeconds(usage);
  return run;
}

inline bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

// A fresh folder under $TMPDIR (or /tmp) named after the benchmark, removed with all it
// holds at the end.
struct TempFolder {
  std::string path;
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base && *base ? base : "/tmp") + "/" + program_invocation_short_name + ".XXXXXX";
    if (!::mkdtemp(pattern.data())) Die("cannot create a temporary folder");
    path = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
};

// ---- the adapter, counted ----------------------------------------------------------------

enum Call : std::size_t {
  kListFolder, kGetInfo, kOpenRead, kInfoOpen, kRead, kReadClose, kCreateWrite, kCreateNew, kWrite, kSetTimeOpen, kFlush,
  kWriteClose,
  kSetLastWriteTime, kSetAttributes, kRename, kCopyPlain, kDeleteFile, kCreateFolderChain, kDeleteTree,
  kRemoveEmptyFolder, kFreeSpace, kGetVolumeInfo, kGetFolderId, kReadLinkTarget, kErrorMessage, kCallKinds
};
inline constexpr std::array<std::string_view, kCallKinds> kCallNames = {
    "ListFolder", "GetInfo", "OpenRead", "GetInfo(open)", "Read", "(close read)", "CreateWrite", "CreateNew", "Write",
    "SetTime(open)", "Flush", "Close(write)", "SetLastWriteTime", "SetAttributes", "Rename", "CopyPlain", "DeleteFile",
    "CreateFolderChain", "DeleteTree", "RemoveEmptyFolder", "FreeSpace", "GetVolumeInfo", "GetFolderId",
    "ReadLinkTarget", "ErrorMessage"};

struct CallCounts {
  std::array<std::uint64_t, kCallKinds> calls {};
  std::array<double, kCallKinds> seconds {};
  std::uint64_t listed_entries = 0;  // entries ListFolder returned
  std::uint64_t written_bytes = 0;   // bytes Write was given
  void Add(Call c, double t0) {
    ++calls[c];
    seconds[c] += Now() - t0;
  }
  // Runs f, counting it as a call of kind c with the time it took.
  template <class F>
  bk::Status Timed(Call c, F&& f) {
    const double t0 = Now();
    const bk::Status s = f();
    Add(c, t0);
    return s;
  }
  double TotalSeconds() const {
    double s = 0;
    for (double x : seconds) s += x;
    return s;
  }
};

class CountingReadable final : public bk::ReadableFile {
 public:
  CountingReadable(std::unique_ptr<bk::ReadableFile> inner, CallCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}
  ~CountingReadable() override {
    const double t0 = Now();
    inner_.reset();
    counts_.Add(kReadClose, t0);
  }
  bk::Status Read(void* buffer, std::size_t size, std::size_t* got) override {
    return counts_.Timed(kRead, [&] { return inner_->Read(buffer, size, got); });
  }
  bk::Status GetInfo(bk::FileInfo* info) override {
    return counts_.Timed(kInfoOpen, [&] { return inner_->GetInfo(info); });
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
    counts_.written_bytes += size;
    return counts_.Timed(kWrite, [&] { return inner_->Write(data, size); });
  }
  bk::Status SetLastWriteTime(bk::FileTime time) override {
    return counts_.Timed(kSetTimeOpen, [&] { return inner_->SetLastWriteTime(time); });
  }
  bk::Status Flush() override { return counts_.Timed(kFlush, [&] { return inner_->Flush(); }); }
  bk::Status Close() override { return counts_.Timed(kWriteClose, [&] { return inner_->Close(); }); }

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
    const bk::Status s = Timed(kCreateNew, [&] { return inner_.CreateNew(path, &raw); });
    if (s) *file = std::make_unique<CountingWritable>(std::move(raw), counts);
    return s;
  }
  bk::Status SetLastWriteTime(std::string_view path, bk::FileTime time) override {
    return Timed(kSetLastWriteTime, [&] { return inner_.SetLastWriteTime(path, time); });
  }
  bk::Status SetAttributes(std::string_view path, std::uint32_t attributes) override {
    return Timed(kSetAttributes, [&] { return inner_.SetAttributes(path, attributes); });
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
    return Timed(kCreateFolderChain, [&] { return inner_.CreateFolderChain(path); });
  }
  bk::Status DeleteTree(std::string_view path) override {
    return Timed(kDeleteTree, [&] { return inner_.DeleteTree(path); });
  }
  bk::Status RemoveEmptyFolder(std::string_view path) override {
    return Timed(kRemoveEmptyFolder, [&] { return inner_.RemoveEmptyFolder(path); });
  }
  bk::Status FreeSpace(std::string_view root, std::uint64_t* bytes) override {
    return Timed(kFreeSpace, [&] { return inner_.FreeSpace(root, bytes); });
  }
  bk::Status GetVolumeInfo(std::string_view root, bk::VolumeInfo* info) override {
    return Timed(kGetVolumeInfo, [&] { return inner_.GetVolumeInfo(root, info); });
  }
  bk::Status GetFolderId(std::string_view folder, bk::FolderId* id) override {
    return Timed(kGetFolderId, [&] { return inner_.GetFolderId(folder, id); });
  }
  bk::Status ReadLinkTarget(std::string_view path, std::string* target) override {
    return Timed(kReadLinkTarget, [&] { return inner_.ReadLinkTarget(path, target); });
  }
  std::string ErrorMessage(std::uint32_t code) override {
    const double t0 = Now();
    std::string m = inner_.ErrorMessage(code);
    counts.Add(kErrorMessage, t0);
    return m;
  }

 private:
  template <typename F>
  bk::Status Timed(Call c, F&& f) {
    return counts.Timed(c, std::forward<F>(f));
  }
  bk::FileSystem& inner_;
};

}  // namespace bench
