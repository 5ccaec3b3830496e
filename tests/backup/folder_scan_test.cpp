#include "backup/folder_scan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/forwarding_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

// Passes every call on, but plays sizes no test disk holds in folder listings.
class ShapedFileSystem final : public test::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::map<std::string, std::uint64_t> sizes;
  std::map<std::string, std::string> shown_as;  // names longer than a test disk holds

  Status ListFolder(std::string_view folder, std::vector<FileInfo>* entries) override {
    const Status s = inner().ListFolder(folder, entries);
    for (FileInfo& e : *entries) {
      if (const auto it = sizes.find(e.name); it != sizes.end()) e.size = it->second;
      if (const auto it = shown_as.find(e.name); it != shown_as.end()) e.name = it->second;
    }
    return s;
  }
};

using test::FixedClock;
using NoMessages = test::AnswerOkUi;

class ProgressHooks final : public DropHooks {
 public:
  void ShowWalkProgress(std::size_t folders) override { walk.push_back(folders); }
  void ShowScanProgress(std::string_view text) override { scan.emplace_back(text); }
  void PumpOneMessage() override {
    if (on_pump) on_pump();
  }
  std::vector<std::size_t> walk;
  std::vector<std::string> scan;
  std::function<void()> on_pump;
};

class FolderScanTest : public ::testing::Test {
 protected:
  FolderScanTest() {
    faulty.SetFreeSpace('T', 1ULL << 50);
    ctx.drive = 'T';
    ctx.folder = "BK";
    ctx.free_space_check = true;
  }

  DropOutcome Drop(const std::vector<std::string>& paths, char type) {
    SetPhase(ctx, RegistrationPhase::Idle);  // as the merge of the last drop leaves it
    return RegisterDrop(ctx, paths, type);
  }
  void Folder(const std::string& path) { ASSERT_TRUE(test::Succeeded(box.fs().CreateFolderChain(path))) << path; }
  // Lines of a work file, sorted: the order within one folder is the system's.
  std::vector<std::string> Sorted(std::string_view path) {
    std::vector<std::string> lines;
    ForEachLine(box.Read(path), [&](std::string_view line, std::size_t) { lines.emplace_back(line); });
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  std::vector<std::string> Report() {
    std::vector<std::string> lines = Sorted(kErrorReportPath);
    lines.pop_back();  // the date header sorts last
    return lines;
  }
  std::string Sys(std::uint32_t code, const std::string& path) { return "(SYS)" + box.fs().ErrorMessage(code) + path; }

  test::Sandbox box;
  FaultFileSystem faulty{box.fs()};
  ShapedFileSystem shaped{faulty};
  FixedClock clock;
  ErrorReport report{shaped, clock};
  NoMessages ui;
  ProgressHooks hooks;
  ListBuffer list;
  bool keep_going = true;
  DropContext ctx{shaped, report, ui, hooks, list, keep_going};
};

using Lines = std::vector<std::string>;
Lines Sort(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}
const std::string kTooLong = "(ENT)ファイルパスの文字数超過で登録しません。";

TEST_F(FolderScanTest, ExcludedTypesTakeTheFolderOwnFilesOnly) {
  box.Write("S:\\D\\a.txt", "a");
  box.Write("S:\\D\\b.txt", "bb");
  box.Write("S:\\D\\sub\\c.txt", "c");
  for (char type : {'2', '4'}) {
    EXPECT_EQ(Drop({"S:\\D"}, type), DropOutcome::MergePending);
    EXPECT_EQ(Sorted(kDropListPath), Sort(Lines{std::string("2S:\\D\ta.txt\t") + type + "0000000000001",
                                            std::string("2S:\\D\tb.txt\t") + type + "0000000000002"}));
    EXPECT_EQ(box.Read(kDirListPath), "S:\\D\n");
  }
}

TEST_F(FolderScanTest, AllTypesWalkDepthFirstAndMarkFoldersWithoutFiles) {
  box.Write("S:\\D\\x.txt", "x");
  box.Write("S:\\D\\a\\y.txt", "yy");
  Folder("S:\\D\\a\\deep");
  Folder("S:\\D\\b");
  EXPECT_EQ(Drop({"S:\\D"}, '3'), DropOutcome::MergePending);
  const Lines dirs = Sorted(kDirListPath);
  EXPECT_EQ(dirs, Sort(Lines{"S:\\D", "S:\\D\\a", "S:\\D\\a\\deep", "S:\\D\\b"}));
  const std::string order = box.Read(kDirListPath);
  EXPECT_EQ(order.rfind("S:\\D\n", 0), 0u);
  EXPECT_NE(order.find("S:\\D\\a\nS:\\D\\a\\deep\n"), std::string::npos);
  EXPECT_EQ(Sorted(kDropListPath), Sort(Lines{"2S:\\D\\a\\deep\t\b\b\b\t30000000000000", "2S:\\D\\a\ty.txt\t30000000000002",
                                          "2S:\\D\\b\t\b\b\b\t30000000000000", "2S:\\D\tx.txt\t30000000000001"}));
  EXPECT_EQ(ctx.batch.folders_found, 3u);
  EXPECT_EQ(ctx.batch.marker_lines, 2u);
  EXPECT_EQ(ctx.batch.files_registered, 2u);
  EXPECT_EQ(ctx.batch.slot_width, std::string("2S:\\D\\a\\deep\t\b\b\b\t30000000000000\n").size() + 20);
}

TEST_F(FolderScanTest, AFolderHoldingOnlyAnEmptySubfolderGivesTwoMarkers) {
  Folder("S:\\E\\sub");
  EXPECT_EQ(Drop({"S:\\E"}, '5'), DropOutcome::MergePending);
  EXPECT_EQ(box.Read(kDropListPath), "2S:\\E\t\b\b\b\t50000000000000\n2S:\\E\\sub\t\b\b\b\t50000000000000\n");
}

TEST_F(FolderScanTest, DotNamesAreNeitherRegisteredNorWalked) {
  box.Write("S:\\D\\.hidden", "h");
  box.Write("S:\\D\\.cache\\x.txt", "x");
  box.Write("S:\\D\\ok.txt", "o");
  EXPECT_EQ(Drop({"S:\\D"}, '3'), DropOutcome::MergePending);
  EXPECT_EQ(box.Read(kDirListPath), "S:\\D\n");
  EXPECT_EQ(box.Read(kDropListPath), "2S:\\D\tok.txt\t30000000000001\n");
  // A drive root is written as its letter and colon.
  box.Write("S:\\r.txt", "r");
  EXPECT_EQ(Drop({"S:\\"}, '2'), DropOutcome::MergePending);
  EXPECT_EQ(box.Read(kDropListPath), "2S:\tr.txt\t20000000000001\n");
}

TEST_F(FolderScanTest, WhatPassesThePathLimitIsReportedNeverCut) {
  // The system holds 255 units per name: a longer file name is refused, a longer folder
  // name is skipped whole, a dropped folder the copy cannot hold is not scanned.
  const std::string dest = "T:\\" + ctx.folder;
  const std::string n255(255, 'f');
  const std::string long_folder(256, 'g');
  const std::string long_file = "100%s%d%n" + std::string(247, 'h');  // 256 units
  const std::string long_drop = "S:\\" + std::string(256, 'L');
  box.Write("S:\\D\\abcdefghijklm\\" + n255, "1");
  box.Write("S:\\D\\sub\\z", "1");
  box.Write("S:\\D\\percent", "1");
  shaped.shown_as = {{"sub", long_folder}, {"percent", long_file}};
  EXPECT_EQ(Drop({"S:\\D", long_drop}, '3'), DropOutcome::MergePending);
  EXPECT_EQ(box.Read(kDirListPath), "S:\\D\nS:\\D\\abcdefghijklm\n");
  EXPECT_EQ(Sorted(kDropListPath),
            Sort({"2S:\\D\\abcdefghijklm\t" + n255 + "\t30000000000001", "2S:\\D\t\b\b\b\t30000000000000"}));
  const Lines refused = Sort({kTooLong + dest + "\\D\\" + long_file, kTooLong + dest + "\\D\\" + long_folder + "\\",
                              kTooLong + dest + long_drop.substr(2) + "\\"});
  EXPECT_EQ(Report(), refused);
  EXPECT_EQ(ctx.batch.problems, 3u);
}

TEST_F(FolderScanTest, EntriesTheListCannotHoldAreReported) {
  box.Write("S:\\D\\huge.bin", "1");
  box.Write("S:\\D\\max.bin", "1");
  shaped.sizes = {{"huge.bin", kMaxFieldSize + 1}, {"max.bin", kMaxFieldSize}};
  EXPECT_EQ(Drop({"S:\\D"}, '3'), DropOutcome::MergePending);
  EXPECT_EQ(box.Read(kDirListPath), "S:\\D\n");
  EXPECT_EQ(box.Read(kDropListPath), "2S:\\D\tmax.bin\t39999999999999\n");
  EXPECT_EQ(Report(), Sort(Lines{Sys(kErrorFileTooLarge, "S:\\D\\huge.bin")}));
}

TEST_F(FolderScanTest, AFolderThatCannotBeListedGetsAReportLineAndAMarker) {
  box.Write("S:\\D\\a\\x.txt", "x");
  faulty.Add({FsOp::ListFolder, "D\\a", err::kAccessDenied});
  EXPECT_EQ(Drop({"S:\\D"}, '3'), DropOutcome::MergePending);
  EXPECT_EQ(Sorted(kDropListPath), Sort(Lines{"2S:\\D\\a\t\b\b\b\t30000000000000", "2S:\\D\t\b\b\b\t30000000000000"}));
  EXPECT_EQ(Report(), Sort(Lines{Sys(err::kAccessDenied, "S:\\D\\a\\")}));
}

class FolderScanLargeTree : public FolderScanTest {
 protected:
  FolderScanLargeTree() {
    for (int i = 0; i < 130; ++i) Folder("S:\\D\\s" + std::to_string(1000 + i));
    box.Write("S:\\Z\\z.txt", "z");
  }
};

TEST_F(FolderScanLargeTree, ProgressComesEvery101EntriesOfTheWalk) {
  EXPECT_EQ(Drop({"S:\\D"}, '3'), DropOutcome::MergePending);
  // One pass lists each folder once and registers its files from that listing: the
  // progress point counts the 130 entries walked, and the abort box stays up throughout.
  EXPECT_EQ(hooks.walk, std::vector<std::size_t>{101});
  EXPECT_TRUE(hooks.scan.empty());
  EXPECT_EQ(ctx.progress_counter, 29);
  EXPECT_EQ(ctx.batch.marker_lines, 131u);
}

TEST_F(FolderScanLargeTree, AnAbortStopsTheWalkButScansWhatItListed) {
  hooks.on_pump = [&] { keep_going = false; };  // the abort box clicked at the first point
  EXPECT_EQ(Drop({"S:\\D", "S:\\Z"}, '3'), DropOutcome::MergePending);
  EXPECT_EQ(Sorted(kDirListPath).size(), 102u);  // the dropped folder and 101 found
  EXPECT_EQ(ctx.batch.marker_lines, 102u);
  EXPECT_EQ(ctx.batch.files_registered, 0u);     // S:\Z is never reached
  EXPECT_TRUE(keep_going);
}

}  // namespace
}  // namespace bk
