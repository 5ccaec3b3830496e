// A destination T:\BK with sources on S:\, a fault-injecting file system over the
// sandbox's adapter, and a run context whose hooks record what the window would show.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include <string>
#include <vector>

#include "common/destination_table.hpp"
#include "common/error_report.hpp"
#include "common/list_buffer.hpp"
#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "platform/shift_jis.hpp"
#include "common/text_file.hpp"
#include "engine/backup_run.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk::test {

// 2024-01-01 00:00:00 UTC and later times, whole seconds.
inline constexpr FileTime kT0 = 133485408000000000ULL;
inline constexpr FileTime kSecond = 10000000ULL;

class RecordingHooks : public RunHooks {
 public:
  void DrawProgressText(std::string_view text) override { progress.emplace_back(text); }
  void SetWindowTitle(std::string_view text) override { titles.emplace_back(text); }
  void PumpOneMessage() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  bool ProgressDue() override { return progress_due ? progress_due() : true; }
  bool AbortKeysHeld() override { return abort_at_handled > 0 && ++handled >= abort_at_handled; }
  void CopyStarting(std::string_view source, std::uint32_t size_mib) override {
    copies.emplace_back(source);
    sizes_mib.push_back(size_mib);
    if (on_copy) on_copy(source);
  }
  bool AbortKeysHeldDuringCopy() override { return abort_during_copy && abort_during_copy(); }
  void DestinationStarted(std::string_view destination, std::int64_t total) override {
    destinations.emplace_back(destination);
    totals.push_back(total);
  }

  std::vector<std::string> progress, titles, copies, destinations;
  std::vector<std::uint32_t> sizes_mib;
  std::vector<std::int64_t> totals;
  int pumps = 0;
  int abort_at_handled = 0;  // the abort keys are "held" from the n-th registered file on
  int handled = 0;
  std::function<void()> on_pump;
  std::function<bool()> progress_due;  // the window's answer to ProgressDue (always yes when unset)
  std::function<void(std::string_view)> on_copy;
  std::function<bool()> abort_during_copy;  // Ctrl + Shift seen while a copy runs
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : faulty_(box_.fs()), report_(faulty_, clock_) {}

  FileSystem& fs() { return faulty_; }
  FaultFileSystem& faulty() { return faulty_; }
  Sandbox& box() { return box_; }

  // A source file with a chosen last-write time.
  void Source(const std::string& path, const std::string& content, FileTime time = kT0) {
    box_.Write(path, content);
    ASSERT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime(path, time))) << path;
  }

  // Registers a folder (and its subfolders, for the "all" types) as registration would:
  // one line per file, a marker line for a folder without files.
  void RegisterFolder(char type, const std::string& folder, bool with_subfolders) {
    std::vector<FileInfo> entries;
    ASSERT_TRUE(test::Succeeded(box_.fs().ListFolder(folder, &entries))) << folder;
    bool any_file = false;
    std::vector<std::string> subfolders;
    for (const FileInfo& e : entries) {
      if (e.is_directory()) {
        subfolders.push_back(folder + "\\" + e.name);
        continue;
      }
      if (e.name[0] == '.') continue;
      any_file = true;
      lists_[type] += MakeRegistrationLine('2', folder, e.name, type, e.size);
    }
    if (!any_file) lists_[type] += MakeRegistrationLine('2', folder, kEmptyFolderMarker, type, 0);
    if (with_subfolders)
      for (const std::string& sub : subfolders) RegisterFolder(type, sub, true);
  }
  void RegisterFile(const std::string& path) {
    FileInfo info;
    ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo(path, &info))) << path;
    const std::size_t sep = sjis::LastSeparator(path);
    lists_['1'] += MakeRegistrationLine('2', path.substr(0, sep), path.substr(sep + 1), '1', info.size);
  }
  // Adds the registered lines to the list files of T:\BK, sorted and de-duplicated.
  void SaveLists(char drive = 'T', const std::string& folder = "BK") {
    for (auto& [type, text] : lists_) {
      ListBuffer list;
      list.text = ListText(type, drive, folder) + text;
      RemoveTypeDuplicates(&list);
      ASSERT_TRUE(test::Succeeded(SaveList(box_.fs(), drive, folder, type, list)));
    }
    lists_.clear();
  }
  std::string ListText(char type, char drive = 'T', const std::string& folder = "BK") {
    std::string text;
    (void)ReadWholeFile(box_.fs(), ListFileName(drive, folder, type), &text);
    return text;
  }

  RunOutcome Run(std::vector<SyncTarget> targets = {{'T', "BK"}}) {
    RunContext ctx{faulty_, report_, hooks_, flags_, settings_};
    report_.Begin();
    RunOutcome outcome = RunBackup(ctx, targets);
    report_.Close();
    return outcome;
  }
  // The report's problem lines (the date header left out).
  std::vector<std::string> ReportLines() {
    std::vector<std::string> out;
    if (!box_.Exists(kErrorReportPath)) return out;
    const std::string text = box_.Read(kErrorReportPath);
    ForEachLine(text, [&](std::string_view line, std::size_t offset) {
      if (offset > 0) out.emplace_back(line);
    });
    return out;
  }
  FileTime TimeOf(const std::string& path) {
    FileInfo info;
    EXPECT_TRUE(test::Succeeded(box_.fs().GetInfo(path, &info))) << path;
    return info.last_write;
  }

  Sandbox box_;
  FaultFileSystem faulty_;
  FixedClock clock_;
  ErrorReport report_;
  RecordingHooks hooks_;
  RunFlags flags_;
  RunSettings settings_;
  std::map<char, std::string> lists_;
};

}  // namespace bk::test
