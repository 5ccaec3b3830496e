#include "backup/search_delete.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "common/list_sort.hpp"
#include "common/registration_list.hpp"
#include "platform/fault_file_system.hpp"
#include "support/fakes.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

using test::RecordingUi;  // only notices: a question fails the test

std::string L(std::string_view folder, std::string_view name, char type, std::uint64_t size = 0) {
  return MakeRegistrationLine('2', folder, name, type, size);
}

class SearchFixture : public ::testing::Test {
 protected:
  void Show(char type, std::string text) {
    box.Write(ListFileName('T', "BK", type), text);
    list.text = std::move(text);
    SortForDisplay(&list);
    BuildListView(owner, list, &view);
  }
  std::string Stored(char type) { return box.Read(ListFileName('T', "BK", type)); }
  DeleteResult Delete(std::vector<std::size_t> rows) { return DeleteSelected(owner, ui, rows, &list, &view); }
  SearchResult Find(std::string_view text) { return Search(&state, view, text, ui); }
  // A click on the list that leaves row selected, and the next pass of the window.
  void Click(std::optional<std::size_t> row) {
    NoteListNotification(&state, ListNotification::Other, true);
    SearchFromClick(&state, row, view.row_count());
  }

  test::Sandbox box;
  ListOwner owner{box.fs(), 'T', "BK"};
  RecordingUi ui;
  ListBuffer list;
  ListView view;
  SearchState state;
};

using SearchRows = SearchFixture;
using SearchDelete = SearchFixture;

TEST(SearchTerms, SplitOnHalfWidthSpacesOnly) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SearchTerms("ab cd"), (V{"ab", "cd"}));
  EXPECT_EQ(SearchTerms("ab  cd"), (V{"ab", "", "cd"}));
  EXPECT_EQ(SearchTerms("ab　cd"), (V{"ab　cd"}));  // a full-width space is part of the term
  EXPECT_EQ(SearchTerms("  "), (V{"", "", ""}));
}

TEST(SearchTerms, MatchesStartOnCharacterBoundaries) {
  // ヂ is 0x83 0x61: its second byte is the letter a.
  EXPECT_FALSE(RowMatches("　　ヂ.txt", SearchTerms("a")));
  EXPECT_TRUE(RowMatches("　　ヂa.txt", SearchTerms("a")));
  EXPECT_TRUE(RowMatches("　　ヂ.txt", SearchTerms("ヂ")));
  EXPECT_FALSE(RowMatches("S:\\Photo\\", SearchTerms("photo")));  // case-sensitive
  EXPECT_TRUE(RowMatches("x", SearchTerms("")));
}

TEST_F(SearchRows, TwoWordsMatchInAnyOrderAndTheSameTextGoesOn) {
  Show('1', L("S:\\music", "live 2019.mp3", '1') + L("S:\\photo", "2019 sea.jpg", '1') +
                L("S:\\photo", "sea 2020.jpg", '1') + L("S:\\photo", "sea 2019.jpg", '1'));
  // Rows: 0 S:\music\, 1 live 2019.mp3, 2 S:\photo\, 3 2019 sea.jpg, 4 sea 2019.jpg, 5 sea 2020.jpg
  SearchResult r = Find("sea 2019");
  ASSERT_EQ(r.outcome, SearchOutcome::Found);
  EXPECT_EQ(r.row, 3u);
  r = Find("sea 2019");
  ASSERT_EQ(r.outcome, SearchOutcome::Found);
  EXPECT_EQ(r.row, 4u);
  EXPECT_EQ(Find("sea 2019").outcome, SearchOutcome::ReachedEnd);
  EXPECT_EQ(ui.texts, std::vector<std::string>{"最後まで検索しました"});
  EXPECT_EQ(state.start_row, 0u);
  EXPECT_EQ(Find("sea 2019").row, 3u);  // from the top again

  Find("photo");  // another text starts at row 0
  EXPECT_EQ(state.start_row, 3u);
}

TEST_F(SearchRows, ClickMovesTheStartAndSpacesOnlyMatchTheStartRow) {
  Show('1', L("S:\\a", "x", '1') + L("S:\\a", "y", '1') + L("S:\\b", "z", '1'));
  Find("   ");
  Click(1);
  SearchResult r = Find("   ");
  ASSERT_EQ(r.outcome, SearchOutcome::Found);
  EXPECT_EQ(r.row, 2u);
  Click(view.row_count() - 1);
  EXPECT_EQ(state.start_row, view.row_count());
  EXPECT_EQ(Find("   ").outcome, SearchOutcome::ReachedEnd);
  Click(std::nullopt);
  EXPECT_EQ(Find("   ").row, 0u);
}

TEST_F(SearchRows, AClickMovesTheStartOnceAndKeyboardMovesDoNot) {
  Show('1', L("S:\\a", "u", '1') + L("S:\\a", "v", '1') + L("S:\\a", "w", '1') + L("S:\\a", "x", '1'));
  // Rows: 0 S:\a\, 1 u, 2 v, 3 w, 4 x. After a search, a click selects row 1; the next
  // pass takes it.
  EXPECT_EQ(Find("   ").row, 0u);
  NoteListNotification(&state, ListNotification::Other, true);
  SearchFromClick(&state, 1, view.row_count());
  EXPECT_FALSE(state.list_clicked);
  EXPECT_EQ(state.start_row, 2u);
  // The arrow keys move the selection to row 4 over many passes: no click, no new start.
  for (int pass = 0; pass < 3; ++pass) {
    NoteListNotification(&state, ListNotification::Other, false);
    SearchFromClick(&state, 4, view.row_count());
  }
  EXPECT_EQ(state.start_row, 2u);
  EXPECT_EQ(Find("   ").row, 2u);

  // A cell request while the button is down is a click; a cache hint is not.
  NoteListNotification(&state, ListNotification::CacheHint, true);
  EXPECT_FALSE(state.list_clicked);
  NoteListNotification(&state, ListNotification::Other, true);
  EXPECT_TRUE(state.list_clicked);
  // Reaching the end forgets a click made before the search.
  state.start_row = view.row_count();
  EXPECT_EQ(Find("   ").outcome, SearchOutcome::ReachedEnd);
  EXPECT_FALSE(state.list_clicked);
  SearchFromClick(&state, 3, view.row_count());
  EXPECT_EQ(state.start_row, 0u);
}

TEST_F(SearchRows, EmptyTextIsRefusedAndAnEmptyListKeepsTheRequest) {
  EXPECT_EQ(Find("x").outcome, SearchOutcome::Pending);
  EXPECT_TRUE(ui.texts.empty());
  Show('1', L("S:\\a", "x", '1'));
  EXPECT_EQ(Find("").outcome, SearchOutcome::EmptyText);
  EXPECT_EQ(ui.texts, std::vector<std::string>{"検索窓に入力してください"});
}

TEST_F(SearchDelete, PartlySelectedFolderOfAFolderTypeIsKept) {
  Show('3', L("S:\\A", "a1", '3', 1) + L("S:\\A", "a2", '3', 2) + L("S:\\B", "b1", '3', 3) + L("S:\\B", "b2", '3', 4) +
                L("S:\\C", "c1", '3', 5));
  // Rows: 0 A, 1 a1, 2 a2, 3 B, 4 b1, 5 b2, 6 C, 7 c1
  const DeleteResult r = Delete({5, 1, 2});
  EXPECT_TRUE(r.deleted);
  EXPECT_EQ(r.type_digit, '3');
  EXPECT_EQ(r.partial_folders, 1u);
  EXPECT_EQ(r.deleted_lines, 2u);
  const std::string kept = L("S:\\B", "b1", '3', 3) + L("S:\\B", "b2", '3', 4) + L("S:\\C", "c1", '3', 5);
  EXPECT_EQ(Stored('3'), kept);
  EXPECT_EQ(list.text, kept);
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0],
            "フォルダー内の全てのファイルが選択されていない所が 1 箇所あります\n"
            "ミラーモードと増し分モードはフォルダー単位の削除になります\n\nここの削除処理はしません\n\n"
            "ヘルプ(？)の注釈を見てください");
  EXPECT_EQ(view.row_count(), 5u);
  EXPECT_EQ(r.select_row, std::optional<std::size_t>(0));  // first selected row 1, one above
}

TEST_F(SearchDelete, FolderRowAloneDeletesNothingAndAFileListDeletesSingleFiles) {
  const std::string stored = L("S:\\A", "a1", '1') + L("S:\\A", "a2", '1') + L("S:\\B", "b1", '1');
  Show('1', stored);
  DeleteResult r = Delete({0});
  EXPECT_FALSE(r.deleted);
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_EQ(Stored('1'), stored);

  r = Delete({2});
  EXPECT_TRUE(r.deleted);
  EXPECT_EQ(Stored('1'), L("S:\\A", "a1", '1') + L("S:\\B", "b1", '1'));
  EXPECT_EQ(r.select_row, std::optional<std::size_t>(1));
  EXPECT_TRUE(ui.texts.empty());
}

TEST_F(SearchDelete, LastRowsDeletedSelectTheNewLastRow) {
  Show('1', L("S:\\A", "a1", '1') + L("S:\\B", "b1", '1') + L("S:\\B", "b2", '1'));
  // Rows: 0 A, 1 a1, 2 B, 3 b1, 4 b2; after the deletion: A, a1.
  const DeleteResult r = Delete({3, 4});
  EXPECT_EQ(view.row_count(), 2u);
  EXPECT_EQ(r.select_row, std::optional<std::size_t>(1));
}

TEST_F(SearchDelete, WholeFoldersOfAFolderTypeGoWithTheirFolderRow) {
  Show('5', L("S:\\A", "a1", '5') + L("S:\\B", "b1", '5') + L("S:\\B", std::string(kEmptyFolderMarker), '5'));
  const DeleteResult r = Delete({2, 3, 4});
  EXPECT_EQ(r.partial_folders, 0u);
  EXPECT_EQ(Stored('5'), L("S:\\A", "a1", '5'));
  EXPECT_TRUE(ui.texts.empty());
}

TEST_F(SearchDelete, DeletingEveryLineDeletesTheListFile) {
  Show('2', L("S:\\A", "a1", '2') + L("S:\\A", "a2", '2'));
  const DeleteResult r = Delete({0, 1, 2});
  EXPECT_TRUE(r.deleted);
  EXPECT_FALSE(box.Exists(ListFileName('T', "BK", '2')));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(view.row_count(), 0u);
  EXPECT_EQ(view.header, "　　　ファイルリスト　...");
  EXPECT_EQ(r.select_row, std::nullopt);
}

TEST_F(SearchDelete, NoSelectionIsReportedAndFailedSaveKeepsEverything) {
  const std::string stored = L("S:\\A", "a1", '1') + L("S:\\A", "a2", '1');
  Show('1', stored);
  EXPECT_FALSE(Delete({}).deleted);
  EXPECT_FALSE(Delete({99}).deleted);  // a row the view does not have
  EXPECT_EQ(ui.texts, (std::vector<std::string>{"選択した項目がありません", "選択した項目がありません"}));

  ui.texts.clear();
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::Rename, "TBK1.ini", err::kDiskFull});
  ListOwner faulty_owner{faulty, 'T', "BK"};
  const DeleteResult r = DeleteSelected(faulty_owner, ui, std::vector<std::size_t>{1}, &list, &view);
  EXPECT_FALSE(r.deleted);
  EXPECT_EQ(r.status.code, err::kDiskFull);
  EXPECT_EQ(list.text, stored);
  EXPECT_EQ(view.row_count(), 3u);
  EXPECT_EQ(Stored('1'), stored);
  EXPECT_EQ(ui.texts.size(), 1u);
}

// The partial-folder question dispatches the window's messages; a drop arriving then
// loads another type's list into the same buffer. The deletion's marks belong to the old
// list: it must stop, and neither list file may change.
TEST_F(SearchDelete, ListReplacedDuringTheQuestionStopsWithoutSaving) {
  const std::string mirror = L("S:\\A", "a1", '3', 1) + L("S:\\A", "a2", '3', 2) + L("S:\\B", "b1", '3', 3) +
                             L("S:\\B", "b2", '3', 4);
  const std::string files = L("S:\\X", "x1", '1', 5) + L("S:\\X", "x2", '1', 6) + L("S:\\Y", "y1", '1', 7);
  box.Write(ListFileName('T', "BK", '1'), files);
  Show('3', mirror);
  ui.while_shown = [&] {
    LoadedList loaded;
    ASSERT_TRUE(test::Succeeded(LoadList(box.fs(), 'T', "BK", '1', true, &list, &loaded)));
  };
  // Rows: 0 A, 1 a1, 2 a2, 3 B, 4 b1, 5 b2: A whole and half of B.
  const DeleteResult r = Delete({1, 2, 4});
  EXPECT_EQ(ui.texts.size(), 1u);
  EXPECT_FALSE(r.deleted);
  EXPECT_TRUE(r.list_replaced);
  EXPECT_EQ(r.deleted_lines, 0u);
  EXPECT_EQ(r.select_row, std::nullopt);
  EXPECT_EQ(Stored('3'), mirror);
  EXPECT_EQ(Stored('1'), files);
  EXPECT_EQ(list.text, files);  // the list now shown is left as it was loaded
}

TEST_F(SearchDelete, ListUnchangedByTheQuestionIsDeletedAsUsual) {
  Show('3', L("S:\\A", "a1", '3') + L("S:\\B", "b1", '3') + L("S:\\B", "b2", '3'));
  int repaints = 0;
  ui.while_shown = [&] { ++repaints; };  // messages that leave the list alone
  const DeleteResult r = Delete({1, 3});
  EXPECT_EQ(repaints, 1);
  EXPECT_TRUE(r.deleted);
  EXPECT_FALSE(r.list_replaced);
  EXPECT_EQ(Stored('3'), L("S:\\B", "b1", '3') + L("S:\\B", "b2", '3'));
}

TEST(SearchClicks, HelpMarksAndTheTypeRowAreHitStrictlyInside) {
  const int f = 7, h = 400, left = 14;
  EXPECT_EQ(ClassifyClick(288, 27, f, h, left), RegistrationClick::SearchHelp);
  EXPECT_EQ(ClassifyClick(287, 27, f, h, left), RegistrationClick::None);  // x = 41f exactly
  EXPECT_EQ(ClassifyClick(288, 41, f, h, left), RegistrationClick::None);  // y above 5.8f
  // The bounds are truncated multiples: 5.8f is 40 at f = 7 (not 40.6), 69 at f = 12.
  EXPECT_EQ(ClassifyClick(288, 39, f, h, left), RegistrationClick::SearchHelp);
  EXPECT_EQ(ClassifyClick(288, 40, f, h, left), RegistrationClick::None);
  EXPECT_EQ(ClassifyClick(288, 26, f, h, left), RegistrationClick::None);  // 3.8f is 26
  EXPECT_EQ(ClassifyClick(500, 46, 12, 800, 24), RegistrationClick::SearchHelp);  // 3.8f is 45
  EXPECT_EQ(ClassifyClick(500, 68, 12, 800, 24), RegistrationClick::SearchHelp);
  EXPECT_EQ(ClassifyClick(500, 69, 12, 800, 24), RegistrationClick::None);
  EXPECT_EQ(ClassifyClick(477, 366, f, h, left), RegistrationClick::RegistrationHelp);
  EXPECT_EQ(ClassifyClick(476, 366, f, h, left), RegistrationClick::TypeRow);
  EXPECT_EQ(ClassifyClick(554, 399, f, h, left), RegistrationClick::DeletionHelp);
  EXPECT_EQ(ClassifyClick(554, 365, f, h, left), RegistrationClick::None);  // y = h - 5f exactly
  RecordingUi ui;
  EXPECT_TRUE(ShowHelp(RegistrationClick::DeletionHelp, ui));
  EXPECT_FALSE(ShowHelp(RegistrationClick::TypeRow, ui));
  ASSERT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(ui.texts[0].rfind("登録リストの削除説明\n\n", 0), 0u);
}

}  // namespace
}  // namespace bk
