#include "backup/merge_drop.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "common/error_report.hpp"
#include "common/registration_list.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

using test::RecordingUi;  // only notices: a question fails the test

// The day of the report headers below.
constexpr LocalDate kDropDay{2024, 3, 7};

class CountingHooks final : public MergeHooks {
 public:
  void Progress(std::size_t c, std::size_t t) override {
    checked = c;
    total = t;
  }
  void RepaintAndPump() override { ++pumps; }
  std::size_t checked = 0, total = 0;
  int pumps = 0;
};

const std::string kMarker(kEmptyFolderMarker);
const std::string kNotice(kRegistrationErrorNotice);

std::string L(std::string_view folder, std::string_view name, char type, std::uint64_t size = 0) {
  return MakeRegistrationLine('2', folder, name, type, size);
}

std::string Rejection(int n, std::string_view type_name) {
  return "ファイルの重複登録が他のタイプで " + std::to_string(n) +
         " 件あります\n実行ファイルと同じ場所にある「重複登録リスト.txt」を確認してください。\n"
         "リスト分は、このタイプ「" + std::string(type_name) + "」での登録はしません。";
}

class MergeFixture : public ::testing::Test {
 protected:
  std::string List(char type) { return ListFileName('T', "BK", type); }
  void WriteList(char type, std::string_view text) { box.Write(List(type), text); }
  // Leaves what a drop leaves: its lines, a fresh report, and an older duplicate list.
  void Drop(std::string_view lines, std::size_t problems = 0) {
    box.Write(std::string(kDropLinesPath), lines);
    box.Write(std::string(kErrorReportPath), "発生日付[2024/03/07]\n");
    box.Write(std::string(kDuplicateListPath), "an earlier drop\n");
    counters = {};
    ForEachLine(lines, [&](std::string_view line, std::size_t) {
      (IsEmptyFolderMarkerLine(line) ? counters.marker_lines : counters.file_lines)++;
    });
    counters.problems = problems;
  }
  MergeResult Merge(char type, FileSystem* fs = nullptr) {
    MergeRequest request{fs ? *fs : box.fs(), ui, clock, hooks, 'T', "BK", type, counters};
    return MergeDrop(request, &list);
  }

  test::Sandbox box;
  RecordingUi ui;
  test::FixedClock clock{kDropDay};
  CountingHooks hooks;
  DropCounters counters;
  ListBuffer list;
};

using MergeDuplicates = MergeFixture;
using MergeMessages = MergeFixture;
using MergeFailures = MergeFixture;

TEST_F(MergeDuplicates, SameFileDroppedTwiceIsRegisteredOnceWithTheInTypeMessage) {
  Drop(L("S:\\a", "x.txt", '1', 5) + L("S:\\a", "x.txt", '1', 5));
  const MergeResult r = Merge('1');
  EXPECT_TRUE(r.merged);
  EXPECT_EQ(box.Read(List('1')), L("S:\\a", "x.txt", '1', 5));
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0], "1 件は、この登録タイプ内で、すでに登録済みです\n今回の登録処理はしません。");
  EXPECT_TRUE(r.anything_added);
  EXPECT_EQ(r.first_new_folder, "S:\\a\\");
  EXPECT_FALSE(box.Exists(kDuplicateListPath));
  EXPECT_FALSE(box.Exists(kErrorReportPath));
}

TEST_F(MergeDuplicates, FileAlreadyInTheTypeIsNotAddedAgainAndRepeatedMarkersAreNotCounted) {
  WriteList('3', L("S:\\a", "x.txt", '3', 5) + L("S:\\e", kMarker, '3'));
  Drop(L("S:\\a", "x.txt", '3', 5) + L("S:\\e", kMarker, '3'));
  const MergeResult r = Merge('3');
  EXPECT_FALSE(r.anything_added);
  EXPECT_EQ(r.repeated_files, 1u);
  EXPECT_EQ(r.repeated_markers, 1u);
  EXPECT_EQ(box.Read(List('3')), L("S:\\a", "x.txt", '3', 5) + L("S:\\e", kMarker, '3'));
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0].substr(0, 2), "1 ");  // the marker is not a file
}

TEST_F(MergeDuplicates, OnlyRepeatedMarkersShowNoInTypeMessage) {
  WriteList('2', L("S:\\e", kMarker, '2'));
  Drop(L("S:\\e", kMarker, '2'));
  Merge('2');
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_EQ(box.Read(List('2')), L("S:\\e", kMarker, '2'));
}

TEST_F(MergeDuplicates, FileOfAnotherTypeIsListedUnderTheFirstTypeThatHoldsIt) {
  WriteList('2', L("S:\\a", "x.txt", '2', 5));
  WriteList('5', L("S:\\a", "x.txt", '5', 5) + L("S:\\a", "y 100%.txt", '5', 7));
  Drop(L("S:\\a", "x.txt", '3', 5) + L("S:\\a", "y 100%.txt", '3', 7) + L("S:\\b", "z.txt", '3', 9));
  const MergeResult r = Merge('3');
  const std::string rejected = "S:\\a\\x.txt\tミラー(除外)\nS:\\a\\y 100%.txt\t差分(全て)\n";
  EXPECT_EQ(box.Read(kDuplicateListPath), "発生日付[2024/03/07]　登録タイプ[ミラー(全て)]\n" + rejected);
  EXPECT_EQ(box.Read(kRejectedWorkPath), rejected);
  EXPECT_EQ(box.Read(List('3')), L("S:\\b", "z.txt", '3', 9));
  EXPECT_EQ(r.rejected_files, 2u);
  EXPECT_EQ(r.first_new_folder, "S:\\b\\");
  ASSERT_EQ(ui.texts.size(), 1u);  // no in-type message for the rejected lines
  EXPECT_EQ(ui.texts[0], Rejection(2, "ミラー(全て)"));
  // The other types' lists are only read.
  EXPECT_EQ(box.Read(List('2')), L("S:\\a", "x.txt", '2', 5));
}

TEST_F(MergeDuplicates, MarkerRegisteredUnderAnotherTypeIsDroppedSilently) {
  WriteList('2', L("S:\\e", kMarker, '2'));
  Drop(L("S:\\e", kMarker, '3') + L("S:\\f", "n.txt", '3', 1));
  const MergeResult r = Merge('3');
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_EQ(r.rejected_files, 0u);
  EXPECT_EQ(r.rejected_markers, 1u);
  EXPECT_EQ(box.Read(List('3')), L("S:\\f", "n.txt", '3', 1));
  EXPECT_FALSE(box.Exists(kDuplicateListPath));
  EXPECT_EQ(r.first_new_folder, "S:\\f\\");
}

TEST_F(MergeDuplicates, EveryLineRejectedAddsNothingAndRewritesTheListUnchanged) {
  const std::string stored = L("S:\\a", "keep.txt", '3', 1) + L("S:\\b", kMarker, '3');
  WriteList('3', stored);
  WriteList('4', L("S:\\c", "x.txt", '4', 2) + L("S:\\d", kMarker, '4'));
  Drop(L("S:\\c", "x.txt", '3', 2) + L("S:\\d", kMarker, '3'));
  const MergeResult r = Merge('3');
  EXPECT_FALSE(r.anything_added);
  EXPECT_TRUE(r.first_new_folder.empty());
  EXPECT_EQ(box.Read(List('3')), stored);
  EXPECT_EQ(list.text, stored);
  EXPECT_EQ(ui.texts, std::vector<std::string>{Rejection(1, "ミラー(全て)")});

  // With no list of its own the type stays without a file.
  ui.texts.clear();
  Drop(L("S:\\c", "x.txt", '5', 2));
  Merge('5');
  EXPECT_FALSE(box.Exists(List('5')));
}

TEST_F(MergeDuplicates, EveryFileRejectedAddsNotEvenTheNewFoldersWithoutFiles) {
  const std::string stored = L("S:\\a", "keep.txt", '3', 1);
  WriteList('3', stored);
  WriteList('1', L("S:\\c", "x.txt", '1', 2) + L("S:\\c", "y.txt", '1', 3));
  // The folder S:\c\empty is registered nowhere; its files' folder is a file registration.
  Drop(L("S:\\c", "x.txt", '3', 2) + L("S:\\c", "y.txt", '3', 3) + L("S:\\c\\empty", kMarker, '3'));
  const MergeResult r = Merge('3');
  EXPECT_EQ(r.rejected_files, 2u);
  EXPECT_EQ(r.rejected_markers, 0u);
  EXPECT_FALSE(r.anything_added);
  EXPECT_EQ(box.Read(List('3')), stored);
  EXPECT_EQ(list.text, stored);
  EXPECT_EQ(ui.texts, std::vector<std::string>{Rejection(2, "ミラー(全て)")});

  // One file not rejected lets the drop in, its folder without files included.
  ui.texts.clear();
  Drop(L("S:\\c", "x.txt", '3', 2) + L("S:\\c", "z.txt", '3', 4) + L("S:\\c\\empty", kMarker, '3'));
  EXPECT_TRUE(Merge('3').anything_added);
  EXPECT_EQ(box.Read(List('3')),
            stored + L("S:\\c", "z.txt", '3', 4) + L("S:\\c\\empty", kMarker, '3'));
}

TEST_F(MergeDuplicates, DropOfFoldersWithoutFilesIsAdded) {
  Drop(L("S:\\e", kMarker, '3') + L("S:\\e\\sub", kMarker, '3'));
  ASSERT_EQ(counters.file_lines, 0u);
  const MergeResult r = Merge('3');
  EXPECT_TRUE(r.anything_added);
  EXPECT_EQ(box.Read(List('3')), L("S:\\e", kMarker, '3') + L("S:\\e\\sub", kMarker, '3'));
  EXPECT_EQ(r.first_new_folder, "S:\\e\\");
  EXPECT_TRUE(ui.texts.empty());
}

TEST_F(MergeDuplicates, LargeDropIsCheckedThroughTheIndexAndPumpsEveryThousandLines) {
  std::string registered, dropped;
  for (int i = 0; i < 3000; ++i) registered += L("S:\\reg", "f" + std::to_string(i), '1', 1);
  for (int i = 2990; i < 5990; ++i) dropped += L("S:\\reg", "f" + std::to_string(i), '2', 1);
  WriteList('1', registered);
  Drop(dropped);
  const MergeResult r = Merge('2');
  EXPECT_EQ(r.rejected_files, 10u);
  EXPECT_EQ(list.line_count, 2990u);
  EXPECT_EQ(hooks.pumps, 3);  // at the start, and after lines 1001 and 2002
  EXPECT_EQ(hooks.checked, 3000u);
  EXPECT_EQ(hooks.total, 3000u);
}

TEST_F(MergeMessages, EntryErrorsAndRejectionsGiveOneMessage) {
  WriteList('1', L("S:\\a", "x.txt", '1', 5));
  Drop(L("S:\\a", "x.txt", '3', 5) + L("S:\\b", "y.txt", '3', 5), 2);
  Merge('3');
  EXPECT_EQ(ui.texts, std::vector<std::string>{Rejection(1, "ミラー(全て)") + "\n\n" + kNotice});
  EXPECT_TRUE(box.Exists(kErrorReportPath));
  EXPECT_TRUE(box.Exists(kDuplicateListPath));
}

TEST_F(MergeMessages, EntryErrorsAloneGiveTheNoticeAndDeleteTheOldDuplicateList) {
  Drop(L("S:\\b", "y.txt", '3', 5), 1);
  Merge('3');
  EXPECT_EQ(ui.texts, std::vector<std::string>{kNotice});
  EXPECT_TRUE(box.Exists(kErrorReportPath));
  EXPECT_FALSE(box.Exists(kDuplicateListPath));
}

TEST_F(MergeMessages, NeitherRejectionsNorErrorsDeleteBothFilesAndSayNothing) {
  Drop(L("S:\\b", "y.txt", '3', 5));
  const MergeResult r = Merge('3');
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_FALSE(box.Exists(kErrorReportPath));
  EXPECT_FALSE(box.Exists(kDuplicateListPath));
  EXPECT_EQ(box.Read(kRejectedWorkPath), "");
  EXPECT_TRUE(test::Succeeded(r.status));
}

TEST_F(MergeFailures, UnreadableListOfAnotherTypeStopsBeforeAnythingIsWritten) {
  const std::string stored = L("S:\\a", "keep.txt", '3', 1);
  WriteList('3', stored);
  WriteList('4', L("S:\\c", "x.txt", '4', 2));
  Drop(L("S:\\c", "x.txt", '3', 2) + L("S:\\n", "new.txt", '3', 2));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::OpenRead, "TBK4.ini", err::kAccessDenied});
  const MergeResult r = Merge('3', &faulty);
  EXPECT_FALSE(r.merged);
  EXPECT_EQ(r.status.code, err::kAccessDenied);
  EXPECT_EQ(list.text, stored);  // the window still shows the type as stored
  EXPECT_EQ(box.Read(List('3')), stored);
  EXPECT_EQ(box.Read(kDuplicateListPath), "an earlier drop\n");
  EXPECT_FALSE(box.Exists(kRejectedWorkPath));
  const std::string report = box.Read(kErrorReportPath);
  EXPECT_EQ(report.rfind("発生日付[2024/03/07]\n(SYS)", 0), 0u);  // the drop's report goes on
  EXPECT_EQ(report.substr(report.size() - 16), "BkList\\TBK4.ini\n");
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0], "登録リスト BkList\\TBK4.ini が読めないため、今回の登録処理はしません。\n\n" + kNotice);
}

TEST_F(MergeFailures, UnreadableListOfTheTypeItselfIsNeverReplacedByTheDropAlone) {
  const std::string stored = L("S:\\a", "keep.txt", '3', 1);
  WriteList('3', stored);
  Drop(L("S:\\n", "new.txt", '3', 2));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::Read, "TBK3.ini", err::kIoDevice});
  const MergeResult r = Merge('3', &faulty);
  EXPECT_FALSE(r.merged);
  EXPECT_EQ(box.Read(List('3')), stored);
  EXPECT_EQ(ui.texts.size(), 1u);
}

TEST_F(MergeFailures, FailedSaveKeepsTheOldListAndTellsTheUser) {
  const std::string stored = L("S:\\a", "keep.txt", '3', 1);
  WriteList('3', stored);
  Drop(L("S:\\n", "new.txt", '3', 2));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::Rename, "TBK3.ini", err::kDiskFull});
  const MergeResult r = Merge('3', &faulty);
  EXPECT_EQ(r.status.code, err::kDiskFull);
  EXPECT_EQ(box.Read(List('3')), stored);
  EXPECT_EQ(ui.texts, std::vector<std::string>{kNotice});
  EXPECT_NE(box.Read(kErrorReportPath).find("(SYS)"), std::string::npos);
}

using MergeListReplaced = MergeFixture;

// The in-type message dispatches the window's messages. Should another list have been
// loaded into the buffer meanwhile, saving it would write one type's lines into another
// type's file: the merge stops and both files stay as they were.
TEST_F(MergeListReplaced, DuringTheInTypeMessageNothingIsSaved) {
  const std::string mirror = L("S:\\z", "z.txt", '3', 9);
  WriteList('3', mirror);
  WriteList('1', L("S:\\k", "keep.txt", '1', 1));
  Drop(L("S:\\a", "x.txt", '1', 5) + L("S:\\a", "x.txt", '1', 5));
  ui.while_shown = [&] {
    LoadedList loaded;
    ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'T', "BK", '3', true, &list, &loaded)));
  };
  const MergeResult r = Merge('1');
  EXPECT_EQ(ui.texts.size(), 1u);  // the in-type message; no closing message follows
  EXPECT_FALSE(r.merged);
  EXPECT_TRUE(r.list_replaced);
  EXPECT_EQ(box.Read(List('1')), L("S:\\k", "keep.txt", '1', 1));
  EXPECT_EQ(box.Read(List('3')), mirror);
  EXPECT_EQ(list.text, mirror);
}

TEST_F(MergeListReplaced, DuringTheClosingMessageTheSavedListStaysAndIsReported) {
  WriteList('1', L("S:\\a", "x.txt", '1', 5));
  Drop(L("S:\\a", "x.txt", '3', 5) + L("S:\\b", "y.txt", '3', 5));
  ui.while_shown = [&] {
    LoadedList loaded;
    ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'T', "BK", '1', true, &list, &loaded)));
  };
  const MergeResult r = Merge('3');
  ASSERT_EQ(ui.texts.size(), 1u);  // the rejection, after the save
  EXPECT_TRUE(r.list_replaced);
  EXPECT_EQ(box.Read(List('3')), L("S:\\b", "y.txt", '3', 5));
  EXPECT_EQ(box.Read(List('1')), L("S:\\a", "x.txt", '1', 5));
  EXPECT_EQ(list.text, L("S:\\a", "x.txt", '1', 5));  // not sorted over or touched
}

}  // namespace
}  // namespace bk
