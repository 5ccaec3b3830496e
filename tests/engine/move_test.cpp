// A mirror that follows its tree moves the copy of a renamed or moved folder or file instead
// of copying it again and deleting the old one. A move keeps the copy itself (its identity,
// bytes and time), is never made where it could carry or overwrite anything the list does
// not name, and a move that fails or a pass cut short leaves nothing lost and nothing half
// done. Each case checks the destination, the list and the report, on either adapter.
#include <map>
#include <set>

#include "common/folder_exclusion.hpp"
#include "engine/synchronise.hpp"
#include "engine_fixture.hpp"

namespace bk::test {
namespace {

std::string CopyOf(std::string_view source_path) { return "T:\\BK" + std::string(source_path.substr(2)); }

class MoveTest : public EngineTest {
 protected:
  // One pass over one type's list, as a run makes it, telling what it did.
  SyncResult Pass(char type = '3') {
    hooks_.copies.clear();
    settings_.destination_folders = {"T:\\BK"};
    RunContext ctx{faulty_, report_, hooks_, flags_, settings_};
    report_.Begin();
    const std::string name = ListFileName('T', "BK", type);
    ListBuffer list;
    bool found = false;
    EXPECT_TRUE(test::Succeeded(ReadListFile(fs(), name, &list, &found)));
    flags_.cancel = 0;
    flags_.abort = 0;
    std::uint64_t free_space = 0;
    (void)fs().FreeSpace("T:\\", &free_space);
    const SyncTarget target{'T', "BK"};
    const SyncResult result = Synchronise(ctx, list, type, target, free_space);
    EXPECT_TRUE(test::Succeeded(SaveList(fs(), name, list)));
    report_.Close();
    return result;
  }

  // "folder\name" of the file lines of a list; every line must be a registered one.
  std::set<std::string> Listed(char type = '3') {
    std::set<std::string> out;
    ForEachLine(ListText(type), [&](std::string_view line, std::size_t) {
      EXPECT_EQ(line[0], '2') << line;
      if (IsFileLine(line)) {
        const LineParts p = SplitLine(line);
        out.insert(std::string(p.folder) + "\\" + std::string(p.name));
      }
    });
    return out;
  }
  std::set<std::string> Markers(char type = '3') {
    std::set<std::string> out;
    ForEachLine(ListText(type), [&](std::string_view line, std::size_t) {
      if (IsEmptyFolderMarkerLine(line)) out.emplace(SplitLine(line).folder);
    });
    return out;
  }

  FolderId IdOf(const std::string& path) {
    FolderId id;
    EXPECT_TRUE(test::Succeeded(box_.fs().GetFolderId(path, &id))) << path;
    return id;
  }
  bool IsFolder(const std::string& path) {
    FileInfo info;
    return box_.fs().GetInfo(path, &info).ok() && info.is_directory();
  }

  // The copies of some sources as they are now: identity, bytes and time.
  struct CopyState {
    FolderId id;
    std::string bytes;
    FileTime time;
  };
  std::map<std::string, CopyState> CopiesOf(const std::set<std::string>& sources) {
    std::map<std::string, CopyState> out;
    for (const std::string& s : sources) out[s] = {IdOf(CopyOf(s)), box_.Read(CopyOf(s)), TimeOf(CopyOf(s))};
    return out;
  }
  // Each copy taken before the move is now the copy of where its source went, the same file.
  void ExpectMoved(const std::map<std::string, CopyState>& before, const std::string& from, const std::string& to) {
    for (const auto& [source, state] : before) {
      const std::string moved = to + source.substr(from.size());
      EXPECT_FALSE(box_.Exists(CopyOf(source))) << source;
      ASSERT_TRUE(box_.Exists(CopyOf(moved))) << moved;
      EXPECT_EQ(IdOf(CopyOf(moved)), state.id) << moved;
      EXPECT_EQ(box_.Read(CopyOf(moved)), state.bytes) << moved;
      EXPECT_EQ(box_.Read(CopyOf(moved)), box_.Read(moved)) << moved;
      EXPECT_EQ(TimeOf(CopyOf(moved)), state.time) << moved;
    }
  }
  // Every source file below a folder has a copy of its bytes and time, and a line.
  void ExpectBackedUp(const std::set<std::string>& sources) {
    const std::set<std::string> listed = Listed();
    for (const std::string& s : sources) {
      EXPECT_EQ(box_.Read(CopyOf(s)), box_.Read(s)) << s;
      EXPECT_EQ(TimeOf(CopyOf(s)), TimeOf(s)) << s;
      EXPECT_EQ(listed.count(s), 1u) << s;
    }
  }
  // The next pass finds everything done: nothing copied or moved, the list unchanged.
  void ExpectSettled() {
    const std::string before = ListText('3');
    const SyncResult again = Pass();
    EXPECT_TRUE(hooks_.copies.empty());
    EXPECT_EQ(again.copied + again.folders_moved + again.files_moved + again.dropped, 0u);
    EXPECT_EQ(ListText('3'), before);
    EXPECT_TRUE(ReportLines().empty());
  }

  // S:\D with a file of its own and a folder "old" of four files, two of them below it,
  // and an empty folder; registered and backed up.
  void OldTree(char type = '3') {
    Source("S:\\D\\keep.txt", "keep");
    Source("S:\\D\\old\\1.txt", "one", kT0 + 1 * kSecond);
    Source("S:\\D\\old\\2.txt", "two", kT0 + 2 * kSecond);
    Source("S:\\D\\old\\sub\\3.txt", "three", kT0 + 3 * kSecond);
    Source("S:\\D\\old\\sub\\deeper\\4.txt", "four", kT0 + 4 * kSecond);
    ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain("S:\\D\\old\\empty")));
    RegisterFolder(type, "S:\\D", true);
    SaveLists();
    const SyncResult first = Pass(type);
    ASSERT_EQ(first.copied, 5u);
    ASSERT_TRUE(ReportLines().empty());
  }
  const std::set<std::string> old_files_{"S:\\D\\old\\1.txt", "S:\\D\\old\\2.txt", "S:\\D\\old\\sub\\3.txt",
                                         "S:\\D\\old\\sub\\deeper\\4.txt"};
  std::set<std::string> Under(const std::string& folder) {
    std::set<std::string> out;
    for (const std::string& s : old_files_) out.insert(folder + s.substr(std::string("S:\\D\\old").size()));
    return out;
  }
};

// ---- folders -----------------------------------------------------------------------------

TEST_F(MoveTest, ARenamedTreeIsMovedWithOneRenameAndNothingCopied) {
  OldTree();
  const auto before = CopiesOf(old_files_);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 4u);
  EXPECT_EQ(r.copied, 0u);
  EXPECT_EQ(r.copy_failures, 0u);
  EXPECT_EQ(hooks_.copies, std::vector<std::string>{"S:\\D\\new"});  // the move shows as one copy
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\new");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\keep.txt"), "keep");
  // The empty folder came with the move and is kept as one.
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\empty"));
  std::set<std::string> listed = Under("S:\\D\\new");
  listed.insert("S:\\D\\keep.txt");
  EXPECT_EQ(Listed(), listed);
  EXPECT_EQ(Markers(), std::set<std::string>{"S:\\D\\new\\empty"});
  ExpectSettled();
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\empty"));
}

TEST_F(MoveTest, AFolderMovedIntoAnotherFolderIsMovedThere) {
  OldTree();
  Source("S:\\D\\other\\o.txt", "other");
  Pass();
  const auto before = CopiesOf(old_files_);
  const FolderId other = IdOf("T:\\BK\\D\\other\\o.txt");
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\other\\old")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 4u);
  EXPECT_EQ(r.copied, 0u);
  EXPECT_EQ(hooks_.copies, std::vector<std::string>{"S:\\D\\other\\old"});
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\other\\old");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_EQ(IdOf("T:\\BK\\D\\other\\o.txt"), other);
  std::set<std::string> listed = Under("S:\\D\\other\\old");
  listed.insert({"S:\\D\\keep.txt", "S:\\D\\other\\o.txt"});
  EXPECT_EQ(Listed(), listed);
  ExpectSettled();
}

// The user makes a folder and moves another into it: the walk finds a new tree whose top
// matches nothing, and the moved folder one level below it.
TEST_F(MoveTest, AFolderMovedIntoAFolderMadeInTheSamePassIsMovedBelowIt) {
  OldTree();
  const auto before = CopiesOf(old_files_);
  Source("S:\\D\\2024\\note.txt", "note");
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\2024\\old")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 4u);
  EXPECT_EQ(r.copied, 1u);  // the new folder's own file
  EXPECT_EQ(hooks_.copies, (std::vector<std::string>{"S:\\D\\2024\\old", "S:\\D\\2024\\note.txt"}));
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\2024\\old");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\2024\\old\\empty"));
  std::set<std::string> listed = Under("S:\\D\\2024\\old");
  listed.insert({"S:\\D\\keep.txt", "S:\\D\\2024\\note.txt"});
  EXPECT_EQ(Listed(), listed);
  ExpectSettled();
}

// A registered folder renamed at the source is gone from the walk's reach; the user drops
// it again under its new name. Its copy moves to the new name before the new group is
// copied, and the old group's lines go.
TEST_F(MoveTest, AFolderRenamedAndDroppedAgainUnderItsNewNameIsMoved) {
  std::set<std::string> old_sources;
  for (const char* sub : {"a", "b\\c"})
    for (int i = 0; i < 6; ++i) {
      const std::string rest = std::string(sub) + "\\" + std::to_string(i) + ".txt";
      Source("S:\\Photos\\" + rest, rest, kT0 + i * kSecond);
      old_sources.insert("S:\\Photos\\" + rest);
    }
  Source("S:\\Other\\o.txt", "o");
  RegisterFolder('3', "S:\\Other", true);
  RegisterFolder('3', "S:\\Photos", true);
  SaveLists();
  ASSERT_EQ(Pass().copied, 13u);
  const auto before = CopiesOf(old_sources);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\Photos", "S:\\Pictures")));
  Source("S:\\Pictures\\a\\0.txt", "changed since", kT0 + 9 * kSecond);
  RegisterFolder('3', "S:\\Pictures", true);
  SaveLists();
  const SyncResult r = Pass();

  // Twelve of thirteen lines went at once, yet nothing was lost: no guard line.
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 11u);
  EXPECT_EQ(r.copied, 1u);  // the file changed since
  EXPECT_EQ(hooks_.copies, (std::vector<std::string>{"S:\\Pictures", "S:\\Pictures\\a\\0.txt"}));
  auto unchanged = before;
  unchanged.erase("S:\\Photos\\a\\0.txt");
  ExpectMoved(unchanged, "S:\\Photos", "S:\\Pictures");
  EXPECT_EQ(box_.Read("T:\\BK\\Pictures\\a\\0.txt"), "changed since");
  EXPECT_FALSE(box_.Exists("T:\\BK\\Photos"));
  std::set<std::string> listed{"S:\\Other\\o.txt"};
  for (const std::string& s : old_sources) listed.insert("S:\\Pictures" + s.substr(std::string("S:\\Photos").size()));
  EXPECT_EQ(Listed(), listed);
  ExpectSettled();
}

// A dropped folder that was never backed up, with nothing gone, is copied as always.
TEST_F(MoveTest, AFolderDroppedForTheFirstTimeIsCopiedWhileAnotherFolderIsGone) {
  Source("S:\\Gone\\x.txt", "x");
  RegisterFolder('3', "S:\\Gone", true);
  SaveLists();
  Pass();
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteTree("S:\\Gone")));
  Source("S:\\Fresh\\y.txt", "y");
  Source("S:\\Fresh\\sub\\x.txt", "another x");
  RegisterFolder('3', "S:\\Fresh", true);
  SaveLists();
  const SyncResult r = Pass();
  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 2u);
  EXPECT_EQ(box_.Read("T:\\BK\\Fresh\\sub\\x.txt"), "another x");
  EXPECT_FALSE(box_.Exists("T:\\BK\\Gone"));
  EXPECT_EQ(Listed(), (std::set<std::string>{"S:\\Fresh\\y.txt", "S:\\Fresh\\sub\\x.txt"}));
  ExpectSettled();
}

// A folder moved out of a registered tree into another tree of the same list.
TEST_F(MoveTest, AFolderMovedToAnotherRegisteredTreeOfTheListIsMovedThere) {
  OldTree();
  Source("S:\\E\\e.txt", "e");
  RegisterFolder('3', "S:\\E", true);
  SaveLists();
  Pass();
  const auto before = CopiesOf(old_files_);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\E\\moved")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.copied, 0u);
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\E\\moved");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  std::set<std::string> listed = Under("S:\\E\\moved");
  listed.insert({"S:\\D\\keep.txt", "S:\\E\\e.txt"});
  EXPECT_EQ(Listed(), listed);
  ExpectSettled();
}

TEST_F(MoveTest, ARenamedFolderWithAChangedAndADeletedFileMovesTheRestAndCopiesTheChange) {
  OldTree();
  const auto before = CopiesOf({"S:\\D\\old\\2.txt", "S:\\D\\old\\sub\\3.txt"});
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  Source("S:\\D\\new\\1.txt", "one, changed", kT0 + 60 * kSecond);
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\new\\sub\\deeper\\4.txt")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 2u);
  EXPECT_EQ(r.copied, 1u);
  EXPECT_EQ(hooks_.copies, (std::vector<std::string>{"S:\\D\\new", "S:\\D\\new\\1.txt"}));
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\new");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\new\\1.txt"), "one, changed");
  EXPECT_EQ(TimeOf("T:\\BK\\D\\new\\1.txt"), kT0 + 60 * kSecond);
  // The deleted file's copy went from its new place; its folder, empty at the source too,
  // stays as one.
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\sub\\deeper\\4.txt"));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\sub\\deeper"));
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  const std::set<std::string> now{"S:\\D\\new\\1.txt", "S:\\D\\new\\2.txt", "S:\\D\\new\\sub\\3.txt"};
  ExpectBackedUp(now);
  std::set<std::string> listed = now;
  listed.insert("S:\\D\\keep.txt");
  EXPECT_EQ(Listed(), listed);
  EXPECT_EQ(Markers(), (std::set<std::string>{"S:\\D\\new\\empty", "S:\\D\\new\\sub\\deeper"}));
  ExpectSettled();
}

// Below half of the new folder's files matching, a new folder and another deleted is the
// likelier story: no move.
TEST_F(MoveTest, AFolderThatSharesFewerThanHalfItsFilesIsNotAMove) {
  OldTree();
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  for (const char* name : {"1.txt", "2.txt", "sub\\3.txt"})
    Source(std::string("S:\\D\\new\\") + name, "changed", kT0 + 90 * kSecond);
  Source("S:\\D\\new\\5.txt", "five");
  const SyncResult r = Pass();
  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.copied, 5u);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  ExpectBackedUp({"S:\\D\\new\\1.txt", "S:\\D\\new\\2.txt", "S:\\D\\new\\sub\\3.txt", "S:\\D\\new\\5.txt",
                  "S:\\D\\new\\sub\\deeper\\4.txt"});
  ExpectSettled();
}

// ---- files --------------------------------------------------------------------------------

TEST_F(MoveTest, AFileMovedBetweenTwoRegisteredFoldersHasItsCopyMovedEitherWay) {
  Source("S:\\D\\a\\f.txt", "the file", kT0 + 7 * kSecond);
  Source("S:\\D\\a\\stay.txt", "a");
  Source("S:\\D\\b\\stay.txt", "b");
  RegisterFolder('3', "S:\\D", true);
  SaveLists();
  Pass();
  for (const auto& [from, to] : {std::pair{"S:\\D\\a\\f.txt", "S:\\D\\b\\f.txt"}, std::pair{"S:\\D\\b\\f.txt", "S:\\D\\a\\f.txt"}}) {
    const FolderId id = IdOf(CopyOf(from));
    ASSERT_TRUE(test::Succeeded(box_.fs().Rename(from, to)));
    const SyncResult r = Pass();
    EXPECT_EQ(r.files_moved, 1u) << to;
    EXPECT_EQ(r.folders_moved, 0u) << to;
    EXPECT_EQ(r.copied, 0u) << to;
    EXPECT_EQ(hooks_.copies, std::vector<std::string>{to});
    EXPECT_TRUE(ReportLines().empty());
    EXPECT_FALSE(box_.Exists(CopyOf(from))) << from;
    EXPECT_EQ(IdOf(CopyOf(to)), id) << to;
    EXPECT_EQ(box_.Read(CopyOf(to)), "the file");
    EXPECT_EQ(TimeOf(CopyOf(to)), kT0 + 7 * kSecond);
    EXPECT_EQ(Listed(), (std::set<std::string>{to, "S:\\D\\a\\stay.txt", "S:\\D\\b\\stay.txt"}));
    ExpectSettled();
  }
}

// A file of the same name and size but another time is another file: copied, not moved.
TEST_F(MoveTest, AFileOfTheSameNameAndSizeButAnotherTimeIsCopied) {
  Source("S:\\D\\a\\f.txt", "same size", kT0);
  Source("S:\\D\\a\\stay.txt", "a");
  Source("S:\\D\\b\\stay.txt", "b");
  RegisterFolder('3', "S:\\D", true);
  SaveLists();
  Pass();
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\a\\f.txt")));
  Source("S:\\D\\b\\f.txt", "SAME SIZE", kT0 + 30 * kSecond);
  const SyncResult r = Pass();
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 1u);
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\a\\f.txt"));
  ExpectBackedUp({"S:\\D\\b\\f.txt"});
  EXPECT_TRUE(ReportLines().empty());
}

// ---- where a move is not made ----------------------------------------------------------

TEST_F(MoveTest, ANewNameAlreadyAtTheDestinationGetsCopiesAndKeepsWhatWasThere) {
  OldTree();
  // Something the list does not name already holds the new name at the destination.
  box_.Write("T:\\BK\\D\\new\\note.txt", "the user's");
  box_.Write("T:\\BK\\D\\new\\2.txt", "an older two");
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 4u);
  EXPECT_TRUE(ReportLines().empty());
  ExpectBackedUp(Under("S:\\D\\new"));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\new\\note.txt"), "the user's");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\empty"));
  ExpectSettled();
}

TEST_F(MoveTest, AFileTheListDoesNotNameInTheOldCopyKeepsItWhereItIs) {
  OldTree();
  box_.Write("T:\\BK\\D\\old\\sub\\note.txt", "put there by hand");
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.copied, 4u);
  EXPECT_TRUE(ReportLines().empty());
  ExpectBackedUp(Under("S:\\D\\new"));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\old\\sub\\note.txt"), "put there by hand");
  // The old copies the list named are gone; only the foreign file and its folders stay.
  for (const std::string& s : old_files_) EXPECT_FALSE(box_.Exists(CopyOf(s))) << s;
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\sub\\note.txt"));
  ExpectSettled();
}

TEST_F(MoveTest, AnOldCopyHoldingAFolderLeftOutIsNotMoved) {
  Source("S:\\D\\keep.txt", "keep");
  Source("S:\\D\\old\\1.txt", "one", kT0 + kSecond);
  Source("S:\\D\\old\\2.txt", "two", kT0 + 2 * kSecond);
  Source("S:\\D\\old\\out\\o.txt", "left out");
  RegisterFolder('3', "S:\\D", false);
  RegisterFolder('3', "S:\\D\\old", false);
  lists_['3'] += MakeExclusionLine("S:\\D\\old\\out", '3');
  SaveLists();
  // The copy of the folder left out, made before the user left it out.
  Source("T:\\BK\\D\\old\\out\\o.txt", "left out");
  Pass();
  ASSERT_TRUE(ReportLines().empty());

  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass();
  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(box_.Read("T:\\BK\\D\\old\\out\\o.txt"), "left out");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old\\1.txt"));
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old\\2.txt"));
  // The new name is a new folder, walked whole.
  ExpectBackedUp({"S:\\D\\new\\1.txt", "S:\\D\\new\\2.txt", "S:\\D\\new\\out\\o.txt"});
}

// ---- a move that fails ------------------------------------------------------------------

TEST_F(MoveTest, AFolderMoveTheSystemRefusesIsCopiedInsteadWithNothingReported) {
  OldTree();
  faulty().Add(Fault{FsOp::Rename, "T:\\BK\\D\\old"});
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass();

  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 4u);
  EXPECT_EQ(r.copy_failures, 0u);
  EXPECT_TRUE(ReportLines().empty());
  ExpectBackedUp(Under("S:\\D\\new"));
  for (const std::string& s : old_files_) EXPECT_FALSE(box_.Exists(CopyOf(s))) << s;
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_TRUE(IsFolder("T:\\BK\\D\\new\\empty"));
  ExpectSettled();
}

TEST_F(MoveTest, AFileMoveTheSystemRefusesIsCopiedInsteadWithNothingReported) {
  Source("S:\\D\\a\\f.txt", "the file", kT0 + 7 * kSecond);
  Source("S:\\D\\a\\stay.txt", "a");
  Source("S:\\D\\b\\stay.txt", "b");
  RegisterFolder('3', "S:\\D", true);
  SaveLists();
  Pass();
  faulty().Add(Fault{FsOp::Rename, "T:\\BK\\D\\a\\f.txt"});
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\a\\f.txt", "S:\\D\\b\\f.txt")));
  const SyncResult r = Pass();
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 1u);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\a\\f.txt"));
  ExpectBackedUp({"S:\\D\\b\\f.txt", "S:\\D\\a\\stay.txt", "S:\\D\\b\\stay.txt"});
  ExpectSettled();
}

// ---- the differential types never move ----------------------------------------------------

TEST_F(MoveTest, ADifferentialRenameKeepsTheOldCopiesAndMakesNewOnes) {
  OldTree('5');
  const auto before = CopiesOf(old_files_);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  const SyncResult r = Pass('5');

  EXPECT_EQ(r.folders_moved, 0u);
  EXPECT_EQ(r.files_moved, 0u);
  EXPECT_EQ(r.copied, 4u);
  EXPECT_TRUE(ReportLines().empty());
  for (const auto& [source, state] : before) {
    EXPECT_EQ(IdOf(CopyOf(source)), state.id) << source;
    EXPECT_EQ(box_.Read(CopyOf(source)), state.bytes) << source;
  }
  for (const std::string& s : Under("S:\\D\\new")) {
    EXPECT_EQ(box_.Read(CopyOf(s)), box_.Read(s)) << s;
    EXPECT_EQ(TimeOf(CopyOf(s)), TimeOf(s)) << s;
  }
  std::set<std::string> listed = Under("S:\\D\\new");
  listed.insert("S:\\D\\keep.txt");
  EXPECT_EQ(Listed('5'), listed);
}

// ---- a pass cut short -------------------------------------------------------------------

// Ctrl + Shift during the first copy after two moves: each move is whole, nothing is
// deleted, and the next run finishes the work.
TEST_F(MoveTest, APassCutShortDuringACopyLeavesEachMoveWholeAndTheNextRunFinishes) {
  OldTree();
  Source("S:\\D\\other\\x.txt", "x", kT0 + 8 * kSecond);
  Source("S:\\D\\other\\y.txt", "y", kT0 + 9 * kSecond);
  Pass();
  const auto before = CopiesOf({"S:\\D\\old\\2.txt", "S:\\D\\old\\sub\\3.txt"});
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\other", "S:\\D\\other2")));
  Source("S:\\D\\new\\1.txt", "one, changed", kT0 + 60 * kSecond);
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteFile("S:\\D\\new\\sub\\deeper\\4.txt")));
  Source("S:\\D\\new\\fresh.txt", "fresh", kT0 + 61 * kSecond);
  hooks_.abort_during_copy = [] { return true; };
  const SyncResult cut = Pass();
  hooks_.abort_during_copy = nullptr;

  EXPECT_TRUE(flags_.abort.load() != 0);
  EXPECT_EQ(cut.folders_moved, 2u);
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\new");
  // Every source file has a copy of its own bytes or an older one, under one name or the
  // other; the moves are whole: no old place is left half.
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\other"));
  EXPECT_EQ(box_.Read("T:\\BK\\D\\other2\\x.txt"), "x");
  EXPECT_EQ(box_.Read("T:\\BK\\D\\other2\\y.txt"), "y");
  // The changed file keeps its old copy (nothing deleted while cut short).
  EXPECT_EQ(box_.Read("T:\\BK\\D\\new\\1.txt"), "one");
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\fresh.txt"));
  // The cancelled copy is reported as any cancelled copy is; nothing else.
  const std::vector<std::string> lines = ReportLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("T:\\BK\\D\\new\\1.txt")) << lines[0];

  const SyncResult next = Pass();
  EXPECT_EQ(next.folders_moved, 0u);
  EXPECT_TRUE(ReportLines().empty());
  const std::set<std::string> now{"S:\\D\\new\\1.txt", "S:\\D\\new\\2.txt", "S:\\D\\new\\sub\\3.txt",
                                  "S:\\D\\new\\fresh.txt", "S:\\D\\other2\\x.txt", "S:\\D\\other2\\y.txt"};
  ExpectBackedUp(now);
  std::set<std::string> listed = now;
  listed.insert("S:\\D\\keep.txt");
  EXPECT_EQ(Listed(), listed);
  // The copy of the file deleted at the source is gone from wherever the move took it.
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new\\sub\\deeper\\4.txt"));
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\old"));
  ExpectSettled();
}

// Ctrl + Shift while the registered lines are gone through: no move is started.
TEST_F(MoveTest, APassCutShortBeforeTheMovesMakesNoneAndTheNextRunMovesWhole) {
  OldTree();
  const auto before = CopiesOf(old_files_);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\D\\old", "S:\\D\\new")));
  hooks_.abort_at_handled = 1;
  const SyncResult cut = Pass();
  hooks_.abort_at_handled = 0;
  EXPECT_EQ(cut.folders_moved, 0u);
  EXPECT_TRUE(hooks_.copies.empty());
  for (const auto& [source, state] : before) EXPECT_EQ(IdOf(CopyOf(source)), state.id) << source;
  EXPECT_FALSE(box_.Exists("T:\\BK\\D\\new"));

  const SyncResult next = Pass();
  EXPECT_EQ(next.folders_moved, 1u);
  EXPECT_EQ(next.copied, 0u);
  EXPECT_TRUE(ReportLines().empty());
  ExpectMoved(before, "S:\\D\\old", "S:\\D\\new");
  ExpectSettled();
}

// ---- the swapped-disk guard -------------------------------------------------------------

TEST_F(MoveTest, RenamingTheFolderThatHoldsMostOfADriveTakesOneRunAndNoReportLine) {
  Source("S:\\Data\\k1.txt", "k1");
  Source("S:\\Data\\k2.txt", "k2");
  std::set<std::string> old_sources;
  for (const char* sub : {"a", "b"})
    for (int i = 0; i < 6; ++i) {
      const std::string rest = std::string(sub) + "\\" + std::to_string(i) + ".txt";
      Source("S:\\Data\\Top\\" + rest, rest, kT0 + i * kSecond);
      old_sources.insert("S:\\Data\\Top\\" + rest);
    }
  RegisterFolder('3', "S:\\Data", true);
  SaveLists();
  Pass();
  const auto before = CopiesOf(old_sources);
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\Data\\Top", "S:\\Data\\Top2")));
  const SyncResult r = Pass();

  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(r.files_moved, 12u);
  EXPECT_EQ(r.copied, 0u);
  ExpectMoved(before, "S:\\Data\\Top", "S:\\Data\\Top2");
  EXPECT_FALSE(box_.Exists("T:\\BK\\Data\\Top"));
  EXPECT_EQ(Listed().size(), 14u);
  ExpectSettled();
}

// The guard still holds a real loss back when a move is found beside it.
TEST_F(MoveTest, AMoveBesideMostOfADriveGoneStillHoldsTheLossBack) {
  std::set<std::string> lost;
  for (int i = 0; i < 12; ++i) {
    Source("S:\\Data\\gone\\" + std::to_string(i) + ".txt", "g", kT0 + i * kSecond);
    lost.insert("T:\\BK\\Data\\gone\\" + std::to_string(i) + ".txt");
  }
  Source("S:\\Data\\old\\m.txt", "moved");
  RegisterFolder('3', "S:\\Data", true);
  SaveLists();
  Pass();
  ASSERT_TRUE(test::Succeeded(box_.fs().DeleteTree("S:\\Data\\gone")));
  ASSERT_TRUE(test::Succeeded(box_.fs().Rename("S:\\Data\\old", "S:\\Data\\new")));
  const SyncResult r = Pass();
  EXPECT_EQ(r.folders_moved, 1u);
  EXPECT_EQ(ReportLines().size(), 1u);
  for (const std::string& copy : lost) EXPECT_TRUE(box_.Exists(copy)) << copy;
  EXPECT_EQ(box_.Read("T:\\BK\\Data\\new\\m.txt"), "moved");
}

}  // namespace
}  // namespace bk::test
