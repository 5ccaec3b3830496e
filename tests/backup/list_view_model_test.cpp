#include "backup/list_view_model.hpp"

#include <gtest/gtest.h>

#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

// Every question is answered "はい".
class RecordingUi final : public test::RecordingUi {
 public:
  RecordingUi() { otherwise = kAnswerFirst; }
};

const std::string kMarker(kEmptyFolderMarker);

std::string L(std::string_view folder, std::string_view name, char type, std::uint64_t size = 0) {
  return MakeRegistrationLine('2', folder, name, type, size);
}

class ListViewFixture : public ::testing::Test {
 protected:
  void WriteList(char type, std::string_view text) { box.Write(ListFileName('T', "BK", type), text); }
  void Show(std::string text) {
    list.text = std::move(text);
    SortForDisplay(&list);
    shown = BuildListView(owner, list, &view);
  }

  test::Sandbox box;
  ListOwner owner{box.fs(), 'T', "BK"};
  ListBuffer list;
  ListView view;
  bool shown = false;
};

using ListViewRows = ListViewFixture;
using ListViewTotals = ListViewFixture;
using ListViewSwitch = ListViewFixture;

TEST(ListViewSizes, UnitsChangeAtEachPowerOf1024) {
  EXPECT_EQ(SizeText(0), "0 bytes");
  EXPECT_EQ(SizeText(1023), "1023 bytes");
  EXPECT_EQ(SizeText(1024), "1.00 KB");
  EXPECT_EQ(SizeText(1572864), "1.50 MB");
  EXPECT_EQ(SizeText(1024ULL * 1024 * 1024), "1.00 GB");
  EXPECT_EQ(SizeText(kMaxFieldSize), "9.09 TB");  // the largest 13-digit size
  EXPECT_EQ(TotalSizeText(0), "0 B");
  EXPECT_EQ(TotalSizeText(1023), "1023 B");
  EXPECT_EQ(TotalSizeText(1024), "1.00 KB");
  EXPECT_EQ(PaintedTotalSizeText(1023), "1023 B" + std::string(13, ' '));
  EXPECT_EQ(TotalSizeText(kTotalUnknown), "不明");  // a list could not be read
}

TEST_F(ListViewRows, ThreeFilesInTwoFoldersGiveFiveRowsInListOrder) {
  Show(L("S:\\b", "c.txt", '3', 1572864) + L("S:\\a", "b.txt", '3', 1024) + L("S:\\a", "a.txt", '3', 1023));
  ASSERT_TRUE(shown);
  ASSERT_EQ(view.row_count(), 5u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"S:\\a\\", ""}, {"　　a.txt", "1023 bytes"}, {"　　b.txt", "1.00 KB"}, {"S:\\b\\", ""}, {"　　c.txt", "1.50 MB"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(CellText(view, i, 0), expected[i].first) << i;
    EXPECT_EQ(CellText(view, i, 1), expected[i].second) << i;
  }
  EXPECT_TRUE(view.rows[3].is_folder);
  EXPECT_EQ(view.rows[4].line_index, 2u);
  EXPECT_EQ(list.text.substr(view.rows[4].line_offset, 5), "2S:\\b");
  EXPECT_EQ(view.header, "　　　ファイルリスト　ミラー(全て)");
  EXPECT_EQ(view.folder_rows, 2u);
  EXPECT_EQ(view.file_rows, 3u);
  EXPECT_EQ(CellText(view, 5, 0), "");
  EXPECT_EQ(CellText(view, 0, 2), "");
  EXPECT_EQ(FindRow(view, "S:\\b\\"), std::optional<std::size_t>(3));
  EXPECT_EQ(FindRow(view, "S:\\c\\"), std::nullopt);
}

TEST_F(ListViewRows, NamesAreShownAsStoredAndMarkersAsBlankRows) {
  Show(L("S:\\a", "100%s%d.txt", '1', 3) + L("S:", "root.txt", '1', 1) + L("S:\\e", kMarker, '1'));
  EXPECT_EQ(CellText(view, 1, 0), "　　root.txt");
  EXPECT_EQ(CellText(view, 0, 0), "S:\\");  // a file directly in the drive root
  EXPECT_EQ(CellText(view, 3, 0), "　　100%s%d.txt");
  EXPECT_EQ(CellText(view, 5, 0), "　　");
  EXPECT_EQ(CellText(view, 5, 1), "0 bytes");
  EXPECT_EQ(view.files_shown, 2u);  // the marker is a row but not a file
  EXPECT_EQ(view.file_rows, 3u);
}

TEST_F(ListViewRows, EmptyListShowsNothingWithTheDotsHeader) {
  Show(L("S:\\a", "x", '2'));
  Show("");
  EXPECT_FALSE(shown);
  EXPECT_EQ(view.row_count(), 0u);
  EXPECT_EQ(view.header, "　　　ファイルリスト　...");
  EXPECT_EQ(view.files_shown, 0u);
  EXPECT_EQ(CellText(view, 0, 0), "");
}

TEST_F(ListViewRows, CacheHintWidensForLongVisibleRowsOnlyWhenTheTopMoves) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += L("S:\\a", "n" + std::to_string(10 + i), '1');
  text += L("S:\\a", std::string(60, 'x'), '1');  // row 31: "　　" + 60 bytes
  Show(text);
  EXPECT_EQ(CacheHintWidth(&view, 0, 10), std::optional<int>(50));  // short rows: at least 50
  EXPECT_EQ(CacheHintWidth(&view, 0, 10), std::nullopt);            // same top: nothing
  EXPECT_EQ(CacheHintWidth(&view, 5, 10), std::nullopt);            // still 50
  EXPECT_EQ(CacheHintWidth(&view, 21, 10), std::optional<int>(67));  // 64 bytes + 3
  EXPECT_EQ(CacheHintWidth(&view, 3, 10), std::optional<int>(50));
  // A row of 47 bytes gives exactly 50.
  Show(L(std::string("S:\\") + std::string(43, 'y'), "z", '1'));
  EXPECT_EQ(view.rows[0].text.size(), 47u);
  EXPECT_EQ(CacheHintWidth(&view, 0, 10), std::nullopt);
}

TEST_F(ListViewTotals, CountsFilesOfAllFiveListsAndTheirSizes) {
  WriteList('1', L("S:\\a", "x", '1', 1000) + L("S:\\e", kMarker, '1'));
  WriteList('4', L("S:\\b", "y", '4', 24) + L("S:\\b", "z", '4', 0));
  Show(L("S:\\a", "x", '1', 1000) + L("S:\\e", kMarker, '1'));
  EXPECT_EQ(view.files_all_types, 3u);
  EXPECT_EQ(view.total_registered_size, 1024);
  EXPECT_EQ(TotalSizeText(view.total_registered_size), "1.00 KB");
  EXPECT_EQ(FileCountText(view), "1 / 3");
  EXPECT_EQ(view.type_present, (std::array<bool, 5>{true, false, false, true, false}));
  EXPECT_EQ(DuplicateCheckText(12, 340), "重複検査　12 / 340");

  Show("");  // the other lists still count
  EXPECT_EQ(FileCountText(view), "0 / 3");
}

TEST_F(ListViewSwitch, TypeWithoutListShowsTheTransientMessageAndKeepsTheList) {
  WriteList('1', L("S:\\a", "x", '1'));
  Show(L("S:\\a", "x", '1'));
  RecordingUi ui;
  EXPECT_EQ(SwitchType(owner, ui, '2', RegistrationPhase::Idle, '1', &list, &view), '1');
  EXPECT_EQ(ui.texts, std::vector<std::string>{"このタイプの登録はありません"});
  EXPECT_EQ(ui.modes, std::vector<DialogMode>{DialogMode::Transient});
  EXPECT_EQ(view.header, "　　　ファイルリスト　ファイル");
  EXPECT_EQ(list.line_count, 1u);
}

TEST_F(ListViewSwitch, ExistingTypeIsLoadedUnlessADropIsRunning) {
  WriteList('1', L("S:\\a", "x", '1'));
  WriteList('5', L("S:\\z", "q", '5') + L("S:\\b", "p", '5'));
  Show(L("S:\\a", "x", '1'));
  RecordingUi ui;
  EXPECT_EQ(SwitchType(owner, ui, '5', RegistrationPhase::MergePending, '1', &list, &view), '1');  // merge pending
  EXPECT_EQ(view.header, "　　　ファイルリスト　ファイル");
  EXPECT_EQ(SwitchType(owner, ui, '5', RegistrationPhase::Idle, '1', &list, &view), '5');
  EXPECT_EQ(view.header, "　　　ファイルリスト　差分(全て)");
  EXPECT_EQ(CellText(view, 0, 0), "S:\\b\\");  // sorted for display
  EXPECT_TRUE(ui.texts.empty());
}

TEST_F(ListViewSwitch, UnreadableListKeepsTheShownOne) {
  WriteList('1', L("S:\\a", "x", '1'));
  WriteList('2', L("S:\\b", "y", '2'));
  Show(L("S:\\a", "x", '1'));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::OpenRead, "TBK2.ini", err::kSharingViolation});
  ListOwner faulty_owner{faulty, 'T', "BK"};
  RecordingUi ui;
  Status status;
  EXPECT_EQ(SwitchType(faulty_owner, ui, '2', RegistrationPhase::Idle, '1', &list, &view, &status), '1');
  EXPECT_EQ(status.code, err::kSharingViolation);
  EXPECT_EQ(list.text, L("S:\\a", "x", '1'));
  EXPECT_EQ(view.row_count(), 2u);
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST_F(ListViewTotals, AnUnreadableListMakesTheTotalUnknownNotSmaller) {
  WriteList('1', L("S:\\a", "x", '1', 1000));
  WriteList('3', L("S:\\b", "y", '3', 5000000));
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::OpenRead, "TBK3.ini", err::kSharingViolation});
  RefreshTotals(ListOwner{faulty, 'T', "BK"}, &view);
  EXPECT_EQ(view.total_registered_size, kTotalUnknown);
  EXPECT_EQ(TotalSizeText(view.total_registered_size), "不明");
  EXPECT_TRUE(view.type_present[2]);  // it still has a list
}

}  // namespace
}  // namespace bk
