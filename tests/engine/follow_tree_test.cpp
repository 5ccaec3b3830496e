// A registration of all subfolders follows its tree: what appears, moves or is renamed
// below it is backed up by the next run, what the user left out stays out, and the walk
// never follows a link to a folder, never goes round a loop and never enters a
// destination. Each case runs for the mirror and the differential type, on either adapter.
#include <algorithm>
#include <set>

#include "backup/drop_registration.hpp"
#include "backup/list_view_model.hpp"
#include "backup/merge_drop.hpp"
#include "backup/search_delete.hpp"
#include "common/folder_exclusion.hpp"
#include "engine_fixture.hpp"

namespace bk::test {
namespace {

using QuietUi = AnswerOkUi;

std::string CopyOf(std::string_view source_path) { return "T:\\BK" + std::string(source_path.substr(2)); }

std::string HeldBackLine(char drive) {
  return std::string("(SYS)ドライブ ") + drive +
         ":\\ の登録フォルダーの大半が見つかりません（別のディスク？）。バックアップは削除せずに残しました。"
         "削除したのであれば登録を削除してください。"
         "フォルダー名の変更や移動であれば、次回のバックアップで古いコピーが削除されます。";
}

class FollowTree : public EngineTest {
 protected:
  FollowTree() {
    drop_.drive = 'T';
    drop_.folder = "BK";
  }

  // A drop and its merge, as the registration window runs them.
  MergeResult Register(char type, const std::vector<std::string>& paths) {
    const DropOutcome outcome = RegisterDrop(drop_, paths, type);
    if (outcome != DropOutcome::MergePending) {
      SetPhase(drop_, RegistrationPhase::Idle);
      return {};
    }
    const DropBatch& b = drop_.batch;
    const MergeRequest request{fs(), ui_, clock_, merge_hooks_, drop_.drive, "BK", type,
                               DropCounters{b.files_registered, b.marker_lines, b.problems}};
    const MergeResult result = MergeDrop(request, &list_);
    SetPhase(drop_, RegistrationPhase::Idle);
    EXPECT_TRUE(result.merged);
    return result;
  }

  // The user selects a folder row and the rows below it up to the next folder row, for
  // each of these folders ("S:\a\" as the list shows it), and deletes them.
  DeleteResult DeleteFolderRows(char type, const std::vector<std::string>& folder_rows) {
    const ListOwner owner{fs(), 'T', "BK"};
    ListBuffer list;
    LoadedList loaded;
    EXPECT_TRUE(test::Succeeded(LoadList(fs(), 'T', "BK", type, false, &list, &loaded)));
    SortForDisplay(&list);
    ListView view;
    BuildListView(owner, list, &view);
    std::vector<std::size_t> selected;
    for (const std::string& text : folder_rows) {
      const auto row = FindRow(view, text);
      EXPECT_TRUE(row.has_value()) << text;
      if (!row) continue;
      selected.push_back(*row);
      for (std::size_t r = *row + 1; r < view.row_count() && !view.rows[r].is_folder; ++r) selected.push_back(r);
    }
    return DeleteSelected(owner, ui_, selected, &list, &view);
  }

  // "folder\name" of the file lines of a type's list.
  std::set<std::string> Listed(char type) {
    std::set<std::string> out;
    ForEachLine(ListText(type, dest_drive_), [&](std::string_view line, std::size_t) {
      if (IsFileLine(line)) {
        const LineParts p = SplitLine(line);
        out.insert(std::string(p.folder) + "\\" + std::string(p.name));
      }
    });
    return out;
  }
  std::set<std::string> Markers(char type) {
    std::set<std::string> out;
    ForEachLine(ListText(type), [&](std::string_view line, std::size_t) {
      if (IsEmptyFolderMarkerLine(line)) out.emplace(SplitLine(line).folder);
    });
    return out;
  }
  std::set<std::string> Exclusions(char type) { return ToSet(ExcludedFolders(ListText(type))); }
  // Lines below a folder, whatever they are.
  std::size_t LinesBelow(char type, const std::string& folder) {
    std::size_t n = 0;
    ForEachLine(ListText(type, dest_drive_), [&](std::string_view line, std::size_t) {
      const LineParts p = SplitLine(line);
      if (p.folder == folder || p.folder.starts_with(folder + "\\")) ++n;
    });
    return n;
  }
  static std::set<std::string> ToSet(const std::unordered_set<std::string>& s) { return {s.begin(), s.end()}; }

  std::set<std::string> Copied() { return {hooks_.copies.begin(), hooks_.copies.end()}; }
  // A run after which the copies and the report start afresh.
  void RunAgain() {
    hooks_.copies.clear();
    Run();
  }
  bool IsFolder(const std::string& path) {
    FileInfo info;
    return box_.fs().GetInfo(path, &info).ok() && info.is_directory();
  }

  char dest_drive_ = 'T';  // the destination whose lists the helpers read (folder BK)
  QuietUi ui_;
  DropHooks drop_hooks_;
  MergeHooks merge_hooks_;
  ListBuffer list_;
  bool keep_going_ = true;
  DropContext drop_{fs(), report_, ui_, drop_hooks_, list_, keep_going_};
};

class FollowTreeByType : public FollowTree, public ::testing::WithParamInterface<char> {
 protected:
  char type() const { return GetParam(); }
  bool mirror() const { return GetParam() == '3'; }
};

std::string TypeName(const ::testing::TestParamInfo<char>& info) { return info.param == '3' ? "MirrorAll" : "DiffAll"; }

// ---- what appears below a registered folder ---------------------------------------------

TEST_P(FollowTreeByType, ANewTreeIsListedAndCopiedInTheSamePassWithItsEmptyFolders) {
  Source("S:\\D\\a.txt", "a");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();
  ASSERT_TRUE(ReportLines().empty());

  Source("S:\\D\\new\\x.txt", "x", kT0 + kSecond);
  Source("S:\\D\\new\\deep\\deeper\\y.txt", "yy", kT0 + 2 * kSecond);
  Source("S:\\D\\new\\.hidden", "never taken");
  Source("S:\\D\\new\\dots\\.only", "a folder of dot-files gives no file");
  ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain("S:\\D\\new\\empty")));
  // A copy already up to date is listed, not copied again.
  Source("S:\\D\\new\\same.txt", "same", kT0 + 3 * kSecond);
  Source("T:\\BK\\D\\new\\same.txt", "same", kT0 + 3 * kSecond);
  RunAgain();

  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), (std::set<std::string>{"S:\\D\\new\\x.txt", "S:\\D\\new\\deep\\deeper\\y.txt"}));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\new\\x.txt"), "x");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\new\\deep\\deeper\\y.txt"), "yy");
  EXPECT_EQ(TimeOf("T:\\BK\\D\\new\\deep\\deeper\\y.txt"), kT0 + 2 * kSecond);
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\.hidden"));
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\a.txt", "S:\\D\\new\\x.txt", "S:\\D\\new\\same.txt",
                                                   "S:\\D\\new\\deep\\deeper\\y.txt"}));
  // Folders that give no file are kept by a marker, and exist at the destination.
  EXPECT_EQ(Markers(type()), (std::set<std::string>{"S:\\D\\new\\deep", "S:\\D\\new\\dots", "S:\\D\\new\\empty"}));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\empty"));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\dots"));
  // Every line is a registered one after the pass.
  ForEachLine(ListText(type()), [](std::string_view line, std::size_t) { EXPECT_EQ(line[0], '2') << line; });

  // The next run finds everything registered: nothing copied, the list byte for byte.
  const std::string before = ListText(type());
  RunAgain();
  EXPECT_TRUE(hooks_.copies.empty());
  EXPECT_EQ(ListText(type()), before);
  EXPECT_TRUE(ReportLines().empty());

  // A file in the empty folder: copied, and its marker goes.
  Source("S:\\D\\new\\empty\\z.txt", "z");
  RunAgain();
  EXPECT_EQ(Copied(), std::set<std::string>{"S:\\D\\new\\empty\\z.txt"});
  EXPECT_EQ(Markers(type()).count("S:\\D\\new\\empty"), 0u);
}

TEST_P(FollowTreeByType, ARenamedSubfolderIsBackedUpUnderItsNewNameInOneRun) {
  Source("S:\\D\\keep.txt", "k");
  Source("S:\\D\\old\\1.txt", "one");
  Source("S:\\D\\old\\2.txt", "two");
  Source("S:\\D\\old\\sub\\3.txt", "three");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();
  ASSERT_EQ(hooks_.copies.size(), 4u);

  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\renamed")));
  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(box_.Read("T:\\BK\\D\\renamed\\1.txt"), "one");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\renamed\\2.txt"), "two");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\renamed\\sub\\3.txt"), "three");
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\keep.txt", "S:\\D\\renamed\\1.txt", "S:\\D\\renamed\\2.txt",
                                                   "S:\\D\\renamed\\sub\\3.txt"}));
  EXPECT_TRUE(Markers(type()).empty());
  // The old name's copies: a mirror follows the source, a differential keeps them.
  for (const char* old : {"T:\\BK\\D\\old\\1.txt", "T:\\BK\\D\\old\\2.txt", "T:\\BK\\D\\old\\sub\\3.txt"})
    EXPECT_EQ(box_.Exists(old), !mirror()) << old;
  EXPECT_EQ(IsFolder("T:\\BK\\D\\old"), !mirror());

  RunAgain();
  EXPECT_TRUE(hooks_.copies.empty());
  EXPECT_TRUE(ReportLines().empty());
}

TEST_P(FollowTreeByType, AFileMovedIntoANewFolderIsCopiedThere) {
  Source("S:\\D\\a.txt", "moved");
  Source("S:\\D\\b.txt", "stays");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();

  box_.Write("S:\\D\\sub\\placeholder", "");  // makes the folder
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\sub\\placeholder")));
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\a.txt", "S:\\D\\sub\\a.txt")));
  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), std::set<std::string>{"S:\\D\\sub\\a.txt"});
  EXPECT_EQ(box_.Read("T:\\BK\\D\\sub\\a.txt"), "moved");
  EXPECT_EQ(TimeOf("T:\\BK\\D\\sub\\a.txt"), kT0);
  EXPECT_EQ(box_.Exists("T:\\BK\\D\\a.txt"), !mirror());
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\b.txt", "S:\\D\\sub\\a.txt"}));
}

// ---- folders the user left out ----------------------------------------------------------

TEST_P(FollowTreeByType, AFolderWhoseRegistrationWasDeletedStaysOutUntilItsExclusionRowIsDeleted) {
  Source("S:\\D\\keep.txt", "k");
  Source("S:\\D\\out\\o1.txt", "o1");
  Source("S:\\D\\out\\inner\\o2.txt", "o2");
  Register(type(), {"S:\\D"});
  Run();
  ASSERT_EQ(hooks_.copies.size(), 3u);

  // The user deletes the folder and the folder below it, row by row.
  const DeleteResult deleted = DeleteFolderRows(type(), {"S:\\D\\out\\", "S:\\D\\out\\inner\\"});
  ASSERT_TRUE(deleted.deleted);
  EXPECT_EQ(deleted.partial_folders, 0u);
  // One exclusion, for the folder whose parent stays registered.
  EXPECT_EQ(Exclusions(type()), std::set<std::string>{"S:\\D\\out"});
  EXPECT_NE(ListText(type()).find(MakeExclusionLine("S:\\D\\out", type())), std::string::npos);
  EXPECT_EQ(Listed(type()), std::set<std::string>{"S:\\D\\keep.txt"});

  // Three runs in which the folder changes: nothing of it is copied, deleted or listed.
  const auto stays_out = [&](const char* when) {
    RunAgain();
    EXPECT_TRUE(hooks_.copies.empty()) << when;
    for (const std::string& line : ReportLines()) ADD_FAILURE() << when << ": " << line;
    EXPECT_EQ(LinesBelow(type(), "S:\\D\\out"), 1u) << when;  // its exclusion only
    EXPECT_EQ(Exclusions(type()), std::set<std::string>{"S:\\D\\out"}) << when;
    EXPECT_EQ(box_.Read("T:\\BK\\D\\out\\o1.txt"), "o1") << when;
    EXPECT_EQ(box_.Read("T:\\BK\\D\\out\\inner\\o2.txt"), "o2") << when;
    EXPECT_FALSE(box_.Exists("T:\\BK\\D\\out\\new.txt")) << when;
    EXPECT_FALSE(box_.Exists("T:\\BK\\D\\out\\newsub")) << when;
  };
  Source("S:\\D\\out\\new.txt", "new", kT0 + kSecond);
  Source("S:\\D\\out\\newsub\\n.txt", "n", kT0 + kSecond);
  Source("S:\\D\\out\\o1.txt", "o1 changed", kT0 + 5 * kSecond);
  stays_out("new and changed files");
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\out\\inner\\o2.txt")));
  stays_out("a file deleted at the source");
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\out\\o1.txt")));
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\out\\new.txt")));
  stays_out("every file of the folder itself deleted");
  Source("S:\\D\\out\\o1.txt", "o1 again", kT0 + 6 * kSecond);
  Source("S:\\D\\out\\inner\\o2.txt", "o2 again", kT0 + 6 * kSecond);
  // The folder beside it is still followed.
  Source("S:\\D\\beside\\b.txt", "b");
  RunAgain();
  EXPECT_EQ(Copied(), std::set<std::string>{"S:\\D\\beside\\b.txt"});

  // The exclusion row deleted: the next run takes the folder back, copies and all.
  const DeleteResult undone = DeleteFolderRows(type(), {"S:\\D\\out\\"});
  ASSERT_TRUE(undone.deleted);
  EXPECT_TRUE(Exclusions(type()).empty());
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\keep.txt", "S:\\D\\beside\\b.txt"}));
  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), (std::set<std::string>{"S:\\D\\out\\o1.txt", "S:\\D\\out\\inner\\o2.txt", "S:\\D\\out\\newsub\\n.txt"}));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\out\\o1.txt"), "o1 again");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\out\\inner\\o2.txt"), "o2 again");
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\keep.txt", "S:\\D\\beside\\b.txt", "S:\\D\\out\\o1.txt",
                                                   "S:\\D\\out\\inner\\o2.txt", "S:\\D\\out\\newsub\\n.txt"}));
}

TEST_P(FollowTreeByType, ADropOfTheFolderAgainEndsItsExclusion) {
  Source("S:\\D\\keep.txt", "k");
  Source("S:\\D\\out\\o1.txt", "o1");
  Register(type(), {"S:\\D"});
  ASSERT_TRUE(DeleteFolderRows(type(), {"S:\\D\\out\\"}).deleted);
  ASSERT_EQ(Exclusions(type()), std::set<std::string>{"S:\\D\\out"});

  Register(type(), {"S:\\D\\out"});
  EXPECT_TRUE(Exclusions(type()).empty());
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\D\\keep.txt", "S:\\D\\out\\o1.txt"}));
  Run();
  EXPECT_EQ(Copied(), (std::set<std::string>{"S:\\D\\keep.txt", "S:\\D\\out\\o1.txt"}));
  EXPECT_TRUE(ReportLines().empty());
}

TEST_P(FollowTreeByType, DeletingTheWholeRegistrationLeavesNoExclusionAndNoList) {
  Source("S:\\D\\keep.txt", "k");
  Source("S:\\D\\out\\o1.txt", "o1");
  Source("S:\\D\\out\\deep\\o2.txt", "o2");
  Register(type(), {"S:\\D"});
  // First a subfolder, which leaves an exclusion, then everything that is left.
  ASSERT_TRUE(DeleteFolderRows(type(), {"S:\\D\\out\\deep\\"}).deleted);
  ASSERT_EQ(Exclusions(type()), std::set<std::string>{"S:\\D\\out\\deep"});
  ASSERT_TRUE(DeleteFolderRows(type(), {"S:\\D\\", "S:\\D\\out\\"}).deleted);
  // The exclusion row itself was not selected: it goes with its parent's registration.
  EXPECT_FALSE(box_.Exists(ListFileName('T', "BK", type())));
  Run();
  EXPECT_TRUE(hooks_.copies.empty());
}

// ---- renames and swapped disks ----------------------------------------------------------

TEST_P(FollowTreeByType, ARenameOfMostOfADriveIsHeldBackOnceAndFinishedByTheNextRun) {
  Source("S:\\Data\\k1.txt", "k1");
  Source("S:\\Data\\k2.txt", "k2");
  std::set<std::string> old_copies, new_sources;
  for (const char* sub : {"a", "b"}) {
    for (int i = 0; i < 6; ++i) {
      const std::string rest = std::string(sub) + "\\" + std::to_string(i) + ".txt";
      Source("S:\\Data\\Top\\" + rest, rest);
      old_copies.insert("T:\\BK\\Data\\Top\\" + rest);
      new_sources.insert("S:\\Data\\Top2\\" + rest);
    }
  }
  RegisterFolder(type(), "S:\\Data", true);
  SaveLists();
  Run();
  ASSERT_TRUE(ReportLines().empty());

  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\Data\\Top", "S:\\Data\\Top2")));
  settings_.detect_moves = false;  // a mirror would move the copies; here they are made anew
  RunAgain();
  // Twelve of fourteen registered files gone: held back, while the new copies are made.
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
  EXPECT_EQ(Copied(), new_sources);
  for (const std::string& copy : old_copies) EXPECT_TRUE(box_.Exists(copy)) << copy;
  for (const std::string& source : new_sources) EXPECT_EQ(box_.Read(CopyOf(source)), box_.Read(source)) << source;
  EXPECT_EQ(Listed(type()).size(), 26u);  // both names until the rename is followed

  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_TRUE(hooks_.copies.empty());
  for (const std::string& copy : old_copies) EXPECT_EQ(box_.Exists(copy), !mirror()) << copy;
  EXPECT_EQ(IsFolder("T:\\BK\\Data\\Top"), !mirror());
  std::set<std::string> listed = new_sources;
  listed.insert({"S:\\Data\\k1.txt", "S:\\Data\\k2.txt"});
  EXPECT_EQ(Listed(type()), listed);
}

TEST_P(FollowTreeByType, ASwappedDiskWithAFolderOfTheSameNameLosesNothingOfTheBackup) {
  std::map<std::string, std::string> copies;  // copy path, contents
  for (const char* year : {"2023", "2024"}) {
    for (int i = 0; i < 6; ++i) {
      const std::string path = std::string("S:\\Photos\\") + year + "\\img" + std::to_string(i) + ".jpg";
      Source(path, path);
      copies[CopyOf(path)] = path;
    }
  }
  RegisterFolder(type(), "S:\\Photos", true);
  SaveLists();
  Run();
  ASSERT_EQ(hooks_.copies.size(), 12u);

  // Another disk under the same letter, with a folder of the same name and other files.
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteTree("S:\\Photos")));
  Source("S:\\Photos\\2024\\other.jpg", "other disk");
  Source("S:\\Photos\\Misc\\m1.jpg", "other disk");
  Source("S:\\Photos\\Misc\\m2.jpg", "other disk");
  for (int run = 1; run <= 2; ++run) {
    RunAgain();
    EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')}) << "run " << run;
    for (const auto& [copy, contents] : copies) EXPECT_EQ(box_.Read(copy), contents) << copy << ", run " << run;
  }
}

// ---- other types, loops, links, destinations --------------------------------------------

TEST_F(FollowTree, AFolderOfAnotherTypeStaysThatTypesWithItsNewFilesAndSubfolders) {
  Source("S:\\P\\a.txt", "a");
  Source("S:\\P\\diff\\d.txt", "d");
  Source("S:\\P\\single\\s.txt", "s");
  // The differential tree and a folder of the mirror without subfolders were registered
  // first; the mirror of the whole tree then leaves their lines to them.
  Register('5', {"S:\\P\\diff"});
  Register('2', {"S:\\P\\single"});
  const MergeResult mirror = Register('3', {"S:\\P"});
  EXPECT_EQ(mirror.rejected_files, 2u);
  ASSERT_EQ(Listed('3'), std::set<std::string>{"S:\\P\\a.txt"});
  Run();
  EXPECT_EQ(hooks_.copies.size(), 3u);  // each file once

  // New files and a new subfolder in the other types' folders: each type takes what is its own.
  Source("S:\\P\\diff\\d2.txt", "d2");
  Source("S:\\P\\diff\\sub\\d3.txt", "d3");
  Source("S:\\P\\single\\s2.txt", "s2");
  Source("S:\\P\\single\\below\\b.txt", "b");
  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(hooks_.copies.size(), 4u);
  EXPECT_EQ(Listed('5'), (std::set<std::string>{"S:\\P\\diff\\d.txt", "S:\\P\\diff\\d2.txt", "S:\\P\\diff\\sub\\d3.txt"}));
  EXPECT_EQ(Listed('2'), (std::set<std::string>{"S:\\P\\single\\s.txt", "S:\\P\\single\\s2.txt"}));
  // The mirror of the whole tree takes the folder below the one without subfolders.
  EXPECT_EQ(Listed('3'), (std::set<std::string>{"S:\\P\\a.txt", "S:\\P\\single\\below\\b.txt"}));
  EXPECT_EQ(LinesBelow('3', "S:\\P\\diff"), 0u);
  EXPECT_EQ(LinesBelow('3', "S:\\P\\single"), 1u);

  // The differential keeps the copies of what its source lost; the mirror never deletes them.
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\P\\diff\\d2.txt")));
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\P\\diff\\sub\\d3.txt")));
  RunAgain();
  EXPECT_EQ(box_.Read("T:\\BK\\P\\diff\\d2.txt"), "d2");
  EXPECT_EQ(box_.Read("T:\\BK\\P\\diff\\sub\\d3.txt"), "d3");
  EXPECT_EQ(LinesBelow('3', "S:\\P\\diff"), 0u);
}

// A subfolder that is the same folder as one the walk is in, though no link says so (a
// loop the file system does not announce): the walk ends there.
TEST_P(FollowTreeByType, ALoopThatNoLinkAnnouncesEndsByTheFoldersIdentity) {
  Source("S:\\D\\a.txt", "a");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();

  Source("S:\\D\\new\\n.txt", "n");
  Source("S:\\D\\new\\alias\\x.txt", "x");
  Source("S:\\D\\new\\alias\\deeper\\y.txt", "y");
  FolderId id;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetFolderId("S:\\D\\new", &id)));
  faulty().SetFolderIdOf("\\alias", id);
  RunAgain();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), std::set<std::string>{"S:\\D\\new\\n.txt"});
  EXPECT_EQ(LinesBelow(type(), "S:\\D\\new\\alias"), 0u);
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\alias"));
}

// A folder's identity that cannot be asked does not stop the walk: the folder is entered.
TEST_P(FollowTreeByType, AFolderWhoseIdentityCannotBeAskedIsStillWalked) {
  Source("S:\\D\\a.txt", "a");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();
  Source("S:\\D\\new\\inner\\n.txt", "n");
  faulty().Add({FsOp::GetFolderId, "S:\\D\\new"});
  RunAgain();
  EXPECT_EQ(Copied(), std::set<std::string>{"S:\\D\\new\\inner\\n.txt"});
  EXPECT_GT(faulty().failures(), 0);
}

// The links tree: <root>\sub\data.txt ("linked data"), <root>\sub\up (a link to <root>),
// <root>\folder-link (to <root>\sub) and <root>\file-link (to the data file). Made on S:
// where the system makes links; under Wine, whose CreateSymbolicLinkW makes none, the
// fixed tree of Unix links on L:. Empty when there is neither.
std::string LinksTree(Sandbox& box) {
  box.Write("S:\\tree\\sub\\data.txt", "linked data");
  if (box.MakeLink("S:\\tree\\sub\\up", "S:\\tree", true) &&
      box.MakeLink("S:\\tree\\folder-link", "S:\\tree\\sub", true) &&
      box.MakeLink("S:\\tree\\file-link", "S:\\tree\\sub\\data.txt", false))
    return "S:\\tree";
  if (box.Exists("L:\\tree\\sub\\data.txt")) return "L:\\tree";
  return {};
}

TEST_P(FollowTreeByType, LinksToFoldersAreNeverFollowedAndAFileLinkIsBackedUpAsItsTarget) {
  const std::string root = LinksTree(box_);
  if (root.empty()) GTEST_SKIP() << "no links: the system made none and there is no L: drive of Unix links";
  // The tree's own files registered, its subfolder new to the list.
  RegisterFolder(type(), root, false);
  SaveLists();
  ASSERT_EQ(Listed(type()), std::set<std::string>{root + "\\file-link"});
  Run();
  for (const std::string& line : ReportLines()) ADD_FAILURE() << line;
  EXPECT_EQ(Copied(), (std::set<std::string>{root + "\\file-link", root + "\\sub\\data.txt"}));
  EXPECT_EQ(box_.Read(CopyOf(root + "\\file-link")), "linked data");
  EXPECT_EQ(box_.Read(CopyOf(root + "\\sub\\data.txt")), "linked data");
  EXPECT_FALSE(box_.Exists(CopyOf(root + "\\folder-link")));
  EXPECT_FALSE(box_.Exists(CopyOf(root + "\\sub\\up")));
  EXPECT_EQ(Listed(type()), (std::set<std::string>{root + "\\file-link", root + "\\sub\\data.txt"}));
  EXPECT_TRUE(Markers(type()).empty());

  RunAgain();
  EXPECT_TRUE(hooks_.copies.empty());
  EXPECT_TRUE(ReportLines().empty());
}

TEST_P(FollowTreeByType, HiddenSystemFolderLinksArePassedOverWithoutAWord) {
  const std::string root = LinksTree(box_);
  if (root.empty()) GTEST_SKIP() << "no links: the system made none and there is no L: drive of Unix links";
  // Both folder links as the system's compatibility junctions are: hidden and system.
  faulty().SetExtraAttributes("\\folder-link", attr::kHidden | attr::kSystem);
  faulty().SetExtraAttributes("\\sub\\up", attr::kHidden | attr::kSystem);
  Register(type(), {root});
  EXPECT_EQ(drop_.batch.problems, 0u);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Listed(type()), (std::set<std::string>{root + "\\file-link", root + "\\sub\\data.txt"}));
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(Copied(), (std::set<std::string>{root + "\\file-link", root + "\\sub\\data.txt"}));
}

// At registration a link to a folder is not followed and gets one line naming it and
// where it leads.
TEST_P(FollowTreeByType, ARegistrationReportsEachFolderLinkWithItsTarget) {
  const std::string root = LinksTree(box_);
  if (root.empty()) GTEST_SKIP() << "no links: the system made none and there is no L: drive of Unix links";
  Register(type(), {root});
  EXPECT_EQ(drop_.batch.problems, 2u);
  EXPECT_EQ(Listed(type()), (std::set<std::string>{root + "\\file-link", root + "\\sub\\data.txt"}));
  auto report = ReportLines();
  std::sort(report.begin(), report.end());
  ASSERT_EQ(report.size(), 2u);
  const std::string head = "(ENT)フォルダーへのリンクは辿らずに登録しません。";
  EXPECT_TRUE(report[0].starts_with(head + root + "\\folder-link > ")) << report[0];
  EXPECT_TRUE(report[1].starts_with(head + root + "\\sub\\up > ")) << report[1];
  if (root[0] == 'S') {  // where the test made the links, it knows their targets
    EXPECT_EQ(report[0], head + root + "\\folder-link > S:\\tree\\sub");
    EXPECT_EQ(report[1], head + root + "\\sub\\up > S:\\tree");
  }
}

// A registration's walk ends at a folder it has entered already, link or not.
TEST_P(FollowTreeByType, ARegistrationsWalkEndsAtALoopByTheFoldersIdentity) {
  Source("S:\\R\\a\\x.txt", "x");
  Source("S:\\R\\a\\alias\\y.txt", "y");
  FolderId id;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetFolderId("S:\\R", &id)));
  faulty().SetFolderIdOf("\\alias", id);
  Register(type(), {"S:\\R"});
  EXPECT_EQ(drop_.batch.problems, 0u);
  EXPECT_EQ(Listed(type()), std::set<std::string>{"S:\\R\\a\\x.txt"});
  EXPECT_EQ(LinesBelow(type(), "S:\\R\\a\\alias"), 0u);
}

// A destination on a registered drive: never registered, never walked, never copied into
// itself; the drop tells it once.
TEST_P(FollowTreeByType, ADestinationInsideARegisteredDriveRootIsNeverBackedUp) {
  dest_drive_ = 'S';
  drop_.drive = 'S';
  drop_.destination_folders = {"S:\\BK", "S:\\Other"};
  Source("S:\\a.txt", "a");
  Source("S:\\docs\\b.txt", "b");
  Source("S:\\BK\\earlier\\old.txt", "an earlier backup");
  Source("S:\\Other\\o.txt", "another destination");
  Register(type(), {"S:\\BK", "S:\\"});
  ASSERT_EQ(ui_.texts.size(), 1u);
  EXPECT_EQ(ui_.texts[0], DestinationInDropMessage("S:\\BK"));
  EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\a.txt", "S:\\docs\\b.txt"}));
  EXPECT_EQ(LinesBelow(type(), "S:\\BK") + LinesBelow(type(), "S:\\Other"), 0u);

  // The run knows the other destination from the settings and its own target itself.
  settings_.destination_folders = {"S:\\Other"};
  Source("S:\\Other\\later.txt", "later");
  Source("S:\\BK\\earlier\\later.txt", "later");
  for (int run = 1; run <= 2; ++run) {
    hooks_.copies.clear();
    Run({{'S', "BK"}});
    EXPECT_TRUE(ReportLines().empty()) << "run " << run;
    const std::set<std::string> expected = run == 1 ? std::set<std::string>{"S:\\a.txt", "S:\\docs\\b.txt"} : std::set<std::string>{};
    EXPECT_EQ(Copied(), expected);
    EXPECT_EQ(box_.Read("S:\\BK\\docs\\b.txt"), "b");
    EXPECT_FALSE(box_.Exists("S:\\BK\\BK"));
    EXPECT_FALSE(box_.Exists("S:\\BK\\Other"));
    EXPECT_EQ(Listed(type()), (std::set<std::string>{"S:\\a.txt", "S:\\docs\\b.txt"}));
  }
}

// A cloud placeholder is never opened; it is reported in each run while its copy is not
// up to date, and the files beside it are copied.
TEST_P(FollowTreeByType, ACloudPlaceholderIsNeverOpenedAndReportedWhileItsCopyIsNotUpToDate) {
  Source("S:\\D\\a.txt", "a");
  Source("S:\\D\\c1.txt", "c1");
  RegisterFolder(type(), "S:\\D", true);
  SaveLists();
  Run();
  ASSERT_EQ(hooks_.copies.size(), 2u);

  // c1 is now in the cloud only and changed there; c2 arrives as a placeholder in a new folder.
  Source("S:\\D\\c1.txt", "c1 changed", kT0 + 10 * kSecond);
  Source("S:\\D\\new\\c2.txt", "c2");
  Source("S:\\D\\new\\n.txt", "n");
  Source("S:\\D\\n0.txt", "n0");
  faulty().SetExtraAttributes("c1.txt", attr::kRecallOnDataAccess | attr::kOffline);
  faulty().SetExtraAttributes("c2.txt", attr::kRecallOnOpen);
  faulty().Add({FsOp::OpenRead, "S:\\D\\c"});
  faulty().Add({FsOp::OpenRead, "S:\\D\\new\\c"});
  const std::string c1_line =
      "(CPY)内容がこのコンピューター上にない（クラウド上のみの）ファイルのためコピーしません。S:\\D\\c1.txt";
  const std::string c2_line =
      "(CPY)内容がこのコンピューター上にない（クラウド上のみの）ファイルのためコピーしません。S:\\D\\new\\c2.txt";
  RunAgain();
  EXPECT_EQ(faulty().failures(), 0);
  EXPECT_EQ(Copied(), (std::set<std::string>{"S:\\D\\n0.txt", "S:\\D\\new\\n.txt"}));
  auto report = ReportLines();
  std::sort(report.begin(), report.end());
  EXPECT_EQ(report, (std::vector<std::string>{c1_line, c2_line}));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\c1.txt"), "c1");  // the old copy stays
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\c2.txt"));

  RunAgain();
  EXPECT_EQ(faulty().failures(), 0);
  EXPECT_TRUE(hooks_.copies.empty());
  report = ReportLines();
  std::sort(report.begin(), report.end());
  EXPECT_EQ(report, (std::vector<std::string>{c1_line, c2_line}));

  // Its copy up to date again (the file back as it was): no line for it.
  ASSERT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime("S:\\D\\c1.txt", kT0)));
  box_.Write("S:\\D\\c1.txt", "c1");
  ASSERT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime("S:\\D\\c1.txt", kT0)));
  RunAgain();
  EXPECT_EQ(faulty().failures(), 0);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{c2_line});
}

INSTANTIATE_TEST_SUITE_P(AllSubfolders, FollowTreeByType, ::testing::Values('3', '5'), TypeName);

}  // namespace
}  // namespace bk::test
