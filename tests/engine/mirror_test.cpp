#include <algorithm>

#include "common/folder_exclusion.hpp"
#include "engine_fixture.hpp"
#include "platform/file_copy.hpp"

namespace bk::test {
namespace {

class MirrorTest : public EngineTest {
 protected:
  void SetUp() override {
    Source("S:\\data\\a.txt", "alpha");
    Source("S:\\data\\b.txt", "bravo");
    Source("S:\\data\\sub\\c.txt", "charlie");
    RegisterFolder('3', "S:\\data", true);
    SaveLists();
  }
};

TEST_F(MirrorTest, FirstRunCopiesEverythingWithTheSourceTimes) {
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\data\\a.txt"), "alpha");
  EXPECT_EQ(box().Read("T:\\BK\\data\\sub\\c.txt"), "charlie");
  EXPECT_EQ(TimeOf("T:\\BK\\data\\b.txt"), kT0);
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(hooks_.copies.size(), 3u);
  ASSERT_FALSE(hooks_.titles.empty());
  EXPECT_EQ(hooks_.titles[0], "バックアップ先 T:\\BK 【】");
  EXPECT_EQ(hooks_.progress.back(), "経過(ミラー 配下全て) 3 / 3" + std::string(20, ' '));
}

// A window that draws only now and then still ends each phase showing its last count, and
// pumps a message only with a count it draws.
TEST_F(MirrorTest, CountsTheWindowPassesOverWaitAndTheLastOneAlwaysShows) {
  const std::string last = "経過(ミラー 配下全て) 3 / 3" + std::string(20, ' ');
  hooks_.progress_due = [] { return false; };
  Run();
  ASSERT_FALSE(hooks_.progress.empty());
  for (const std::string& text : hooks_.progress) EXPECT_EQ(text, last);
  EXPECT_EQ(hooks_.pumps, static_cast<int>(hooks_.progress.size()));
  EXPECT_EQ(box().Read("T:\\BK\\data\\sub\\c.txt"), "charlie");

  // Every other count: fewer drawn than files, the last still the full count.
  hooks_.progress.clear();
  Source("S:\\data\\d.txt", "delta", kT0 + kSecond);
  Source("S:\\data\\e.txt", "echo", kT0 + kSecond);
  int asked = 0;
  hooks_.progress_due = [&asked] { return ++asked % 2 == 1; };
  Run();
  ASSERT_FALSE(hooks_.progress.empty());
  EXPECT_GT(asked, 0);
  // Phase one ends on the three registered files, the copy of the two new ones on 2 / 2.
  EXPECT_NE(std::find(hooks_.progress.begin(), hooks_.progress.end(), last), hooks_.progress.end());
  EXPECT_EQ(hooks_.progress.back(), "経過(ミラー 配下全て) 2 / 2" + std::string(20, ' '));
  EXPECT_EQ(box().Read("T:\\BK\\data\\e.txt"), "echo");
}

// A broken line counts in the total but is never handled: the count the phase ends on
// (one short of the total) still shows.
TEST_F(MirrorTest, TheCountAPhaseEndsOnShowsWhenABrokenLineKeepsItShortOfTheTotal) {
  std::string text = ListText('3');
  text += "2S:\\data\tbroken-without-size\n";
  box().Write(ListFileName('T', "BK", '3'), text);
  hooks_.progress_due = [] { return false; };
  Run();
  ASSERT_FALSE(hooks_.progress.empty());
  EXPECT_EQ(hooks_.progress[0], "経過(ミラー 配下全て) 3 / 4" + std::string(20, ' '));
}

TEST_F(MirrorTest, AnUnchangedMirrorCopiesNothingAndKeepsTheListByteForByte) {
  Run();
  const std::string before = ListText('3');
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(hooks_.copies.empty());
  EXPECT_EQ(ListText('3'), before);
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(MirrorTest, AChangedFileIsUpdatedWithTheSourceTimeAndItsNewSize) {
  Run();
  Source("S:\\data\\a.txt", "alpha, longer now", kT0 + 60 * kSecond);
  hooks_.copies.clear();
  Run();
  ASSERT_EQ(hooks_.copies, std::vector<std::string>{"S:\\data\\a.txt"});
  EXPECT_EQ(box().Read("T:\\BK\\data\\a.txt"), "alpha, longer now");
  EXPECT_EQ(TimeOf("T:\\BK\\data\\a.txt"), kT0 + 60 * kSecond);
  EXPECT_NE(ListText('3').find("2S:\\data\ta.txt\t30000000000017\n"), std::string::npos);
}

TEST_F(MirrorTest, ADeletedSourceFileDeletesItsCopyAndItsLine) {
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\data\\a.txt")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_EQ(ListText('3').find("a.txt"), std::string::npos);
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\b.txt"));
}

TEST_F(MirrorTest, TheLastFileGoneLeavesAMarkerThatALaterFileReplaces) {
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\data\\sub\\c.txt")));
  Run();
  EXPECT_NE(ListText('3').find("2S:\\data\\sub\t\b\b\b\t30000000000000\n"), std::string::npos);
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\sub"));
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\sub\\c.txt"));

  Source("S:\\data\\sub\\d.txt", "delta", kT0 + kSecond);
  Run();
  const std::string list = ListText('3');
  EXPECT_EQ(list.find("\b\b\b"), std::string::npos);
  EXPECT_NE(list.find("2S:\\data\\sub\td.txt\t30000000000005\n"), std::string::npos);
  EXPECT_EQ(box().Read("T:\\BK\\data\\sub\\d.txt"), "delta");
  EXPECT_EQ(TimeOf("T:\\BK\\data\\sub\\d.txt"), kT0 + kSecond);
}

TEST_F(MirrorTest, AWholeFolderGoneIsDeletedAtTheDestination) {
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\data\\sub")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\sub"));
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_EQ(ListText('3').find("sub"), std::string::npos);
  EXPECT_EQ(box().Read("BkList\\del.tmp"), "T:\\BK\\data\\sub\n");
}

// A registration of all subfolders follows its tree: a new subfolder is walked, listed and
// copied in the same pass; names that begin with '.' are never taken.
TEST_F(MirrorTest, NewFilesAndNewSubfoldersAreFoundAndCopied) {
  Run();
  Source("S:\\data\\new.txt", "new", kT0 + 5 * kSecond);
  Source("S:\\data\\newsub\\x.txt", "x");
  Source("S:\\data\\.dotfile", "hidden by name");
  Source("S:\\data\\.dotdir\\y.txt", "hidden by its folder's name");
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\data\\new.txt"), "new");
  EXPECT_EQ(box().Read("T:\\BK\\data\\newsub\\x.txt"), "x");
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\.dotfile"));
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\.dotdir"));
  const std::string list = ListText('3');
  EXPECT_NE(list.find("2S:\\data\tnew.txt\t30000000000003\n"), std::string::npos);
  EXPECT_NE(list.find("2S:\\data\\newsub\tx.txt\t30000000000001\n"), std::string::npos);
  EXPECT_EQ(list.find('\n' + std::string("1")), std::string::npos);  // no line left at "1"
  EXPECT_TRUE(ReportLines().empty());
}

// A folder left out (its exclusion line in place of its lines) keeps its copies as they
// are, gets no new file, and its line is no broken line: no report, the line stays.
TEST_F(MirrorTest, AFolderLeftOutIsNeitherTouchedNorReported) {
  Run();
  std::string text;
  ForEachLine(ListText('3'), [&](std::string_view line, std::size_t) {
    if (line.find("S:\\data\\sub\t") == std::string_view::npos) (text += line) += '\n';
  });
  const std::string exclusion = MakeExclusionLine("S:\\data\\sub", '3');
  text += exclusion;
  box().Write(ListFileName('T', "BK", '3'), text);
  Source("S:\\data\\sub\\c.txt", "charlie, changed", kT0 + kSecond);
  Source("S:\\data\\sub\\new.txt", "new");
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\data\\sub\\c.txt"), "charlie");
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\sub\\new.txt"));
  EXPECT_EQ(ListText('3'), text);
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(MirrorTest, AbsentSourceDriveDeletesNothing) {
  Run();
  faulty().RemoveDrive('S');
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\sub\\c.txt"));
  EXPECT_NE(ListText('3').find("a.txt"), std::string::npos);
  EXPECT_NE(ListText('3').find("c.txt"), std::string::npos);
  const auto lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(0, 5), "(SYS)");
  EXPECT_NE(lines[0].find("S:\\data\\"), std::string::npos);
}

TEST_F(MirrorTest, AnUnreadableSourceFolderIsNotADeletedOne) {
  Run();
  faulty().Add({FsOp::ListFolder, "S:\\data\\sub", err::kAccessDenied});
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\sub\\c.txt"));
  EXPECT_NE(ListText('3').find("c.txt"), std::string::npos);
  EXPECT_EQ(ReportLines().size(), 1u);
}

TEST_F(MirrorTest, AStaleDeletionListIsNeverCarriedOut) {
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\data\\sub")));
  box().Write("BkList\\del.tmp", "T:\\BK\\data\n");  // left from an earlier pass
  faulty().Add({FsOp::CreateWrite, "del.tmp", err::kAccessDenied});
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\sub\\c.txt"));  // not deleted this time either
  EXPECT_NE(ListText('3').find("c.txt"), std::string::npos);  // so the next pass follows it whole
}

TEST(MirrorDeletion, OnlyFoldersBelowTheDestinationAreDeletable) {
  const SyncTarget t{'T', "BK"};
  EXPECT_TRUE(IsDeletableBackupFolder(t, "T:\\BK\\data\\sub"));
  EXPECT_TRUE(IsDeletableBackupFolder(t, "T:\\BK\\データ表\\ソ"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK2\\data"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\*"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\data\\..\\..\\Windows"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\.\\data"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\data\\\\x"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "U:\\BK\\data"));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\data\\..."));   // Windows trims it to nothing
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\data\\.. "));
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\data/../.."));  // '/' separates too
  EXPECT_FALSE(IsDeletableBackupFolder(t, "T:\\BK\\a:b"));
}

TEST_F(EngineTest, MirrorOfAFoldersOwnFilesKeepsOtherRegistrationsBelowIt) {
  Source("S:\\top\\own.txt", "own");
  Source("S:\\top\\inner\\kept.txt", "kept");
  RegisterFolder('2', "S:\\top", false);
  RegisterFolder('5', "S:\\top\\inner", true);  // a differential keeps its copies
  SaveLists();
  Run();
  ASSERT_TRUE(box().Exists("T:\\BK\\top\\inner\\kept.txt"));
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\top")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\top\\own.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\top\\inner\\kept.txt"));
  EXPECT_EQ(ListText('2'), "");
  EXPECT_FALSE(box().Exists("BkList\\TBK2.ini"));

  // Without anything else below it, the emptied folder goes too.
  Source("S:\\solo\\f.txt", "f");
  RegisterFolder('2', "S:\\solo", false);
  SaveLists();
  Run();
  ASSERT_TRUE(box().Exists("T:\\BK\\solo\\f.txt"));
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\solo")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\solo"));
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

// The line that tells of a drive whose registered files mostly seem gone.
std::string HeldBackLine(char drive) {
  return std::string("(SYS)ドライブ ") + drive +
         ":\\ の登録フォルダーの大半が見つかりません（別のディスク？）。バックアップは削除せずに残しました。"
         "削除したのであれば登録を削除してください。"
         "フォルダー名の変更や移動であれば、次回のバックアップで古いコピーが削除されます。";
}

// Twelve registered folders of one file each on S:\ and two files on U:\, all mirrored.
class SwappedDiskTest : public EngineTest {
 protected:
  void SetUp() override {
    for (int i = 0; i < 12; ++i) Source(Folder(i) + "\\f.txt", "file " + std::to_string(i));
    Source("U:\\keep\\a.txt", "a");
    Source("U:\\keep\\b.txt", "b");
    RegisterFolder('3', "S:\\m", true);
    RegisterFolder('3', "U:\\keep", false);
    SaveLists();
    Run();
    ASSERT_TRUE(ReportLines().empty());
    ASSERT_EQ(CopiesLeft(), 12);
    list_before_ = ListText('3');
  }
  static std::string Folder(int i) { return std::string("S:\\m\\f") + (i < 10 ? "0" : "") + std::to_string(i); }
  int CopiesLeft() {
    int n = 0;
    for (int i = 0; i < 12; ++i) n += box().Exists("T:\\BK" + Folder(i).substr(2) + "\\f.txt") ? 1 : 0;
    return n;
  }
  std::string list_before_;
};

TEST_F(SwappedDiskTest, AnotherDiskUnderTheSameLetterKeepsTheBackupAndSaysSo) {
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\m")));
  Source("S:\\photos\\x.jpg", "someone else's disk");
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("U:\\keep\\a.txt")));  // another drive: as usual
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_FALSE(box().Exists("T:\\BK\\photos"));
  EXPECT_FALSE(box().Exists("T:\\BK\\keep\\a.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\keep\\b.txt"));
  std::string expected = list_before_;
  expected.erase(expected.find("2U:\\keep\ta.txt"), std::string("2U:\\keep\ta.txt\t30000000000001\n").size());
  EXPECT_EQ(ListText('3'), expected);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
  // The next pass looks again, and keeps it again.
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
  // The right disk is back: nothing to say.
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\photos")));
  for (int i = 0; i < 12; ++i) Source(Folder(i) + "\\f.txt", "file " + std::to_string(i));
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(SwappedDiskTest, OneFolderOfManyDeletedIsFollowedAsUsual) {
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree(Folder(3))));
  Run();
  EXPECT_EQ(CopiesLeft(), 11);
  EXPECT_FALSE(box().Exists("T:\\BK\\m\\f03"));
  EXPECT_EQ(ListText('3').find("f03"), std::string::npos);
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(SwappedDiskTest, EverythingDeletedByTheUserIsKeptAndReported) {
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\m")));
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_EQ(ListText('3'), list_before_);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
}

TEST_F(EngineTest, ALossIsHeldBackOnlyWhenAtLeastTenAndMoreThanHalfOfTheDrivesFiles) {
  struct Case {
    int files, gone;
    bool held;
  };
  int n = 0;
  for (const Case c : {Case{9, 9, false}, Case{20, 10, false}, Case{19, 10, true}, Case{10, 10, true}}) {
    SCOPED_TRACE(std::to_string(c.gone) + " of " + std::to_string(c.files));
    const std::string dest = std::string("C") + std::to_string(++n);
    const std::string folder = std::string("S:\\e") + std::to_string(n);
    for (int i = 0; i < c.files; ++i) {
      Source(folder + "\\f" + std::to_string(i) + ".txt", "x");
      RegisterFile(folder + "\\f" + std::to_string(i) + ".txt");
    }
    SaveLists('T', dest);
    Run({{'T', dest}});
    for (int i = 0; i < c.gone; ++i) ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile(folder + "\\f" + std::to_string(i) + ".txt")));
    Run({{'T', dest}});
    const std::string list = ListText('1', 'T', dest);
    EXPECT_EQ(static_cast<int>(std::count(list.begin(), list.end(), '\n')), c.held ? c.files : c.files - c.gone);
    EXPECT_EQ(ReportLines(), c.held ? std::vector<std::string>{HeldBackLine('S')} : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, AVanishedMirrorTreeLosesOnlyTheCopiesItsListNames) {
  Source("S:\\top\\own.txt", "own");
  Source("S:\\top\\sub\\s.txt", "s");
  Source("S:\\top\\sub\\deep\\d.txt", "d");
  RegisterFolder('3', "S:\\top", true);
  SaveLists();
  Run();
  // Later a differential registration of a new subfolder keeps its copies in the same tree.
  Source("S:\\top\\sub\\extra\\e.txt", "e");
  RegisterFolder('5', "S:\\top\\sub\\extra", true);
  SaveLists();
  Run();
  ASSERT_TRUE(box().Exists("T:\\BK\\top\\sub\\extra\\e.txt"));
  box().Write("T:\\BK\\top\\sub\\notes.txt", "put there by the user");

  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\top")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\top\\own.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\top\\sub\\s.txt"));
  EXPECT_FALSE(box().Exists("T:\\BK\\top\\sub\\deep"));  // emptied: removed
  EXPECT_EQ(box().Read("T:\\BK\\top\\sub\\extra\\e.txt"), "e");
  EXPECT_EQ(box().Read("T:\\BK\\top\\sub\\notes.txt"), "put there by the user");
  EXPECT_EQ(ListText('3'), "");
  EXPECT_EQ(ListText('5'), "");  // its source went too: the line goes, the copy outlives it
}

TEST_F(EngineTest, AVanishedMirrorTreeLeftEmptyIsRemovedDeepestFirst) {
  Source("S:\\solo\\a\\b\\c.txt", "c");
  Source("S:\\solo\\z.txt", "z");
  RegisterFolder('3', "S:\\solo", true);
  SaveLists();
  Run();
  ASSERT_TRUE(box().Exists("T:\\BK\\solo\\a\\b\\c.txt"));
  box().Write(CopyTemporaryName("T:\\BK\\solo\\a\\b\\c.txt"), "left by a crash");
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\solo")));
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\solo"));
  EXPECT_TRUE(box().Exists("T:\\BK"));
}

// A renamed folder's old copies go only after its copies under the new name are made: a
// pass cut short while it copies keeps the old copies and their lines, and the next run
// finishes the rename.
TEST_F(EngineTest, ARenameCutShortKeepsTheOldCopiesUntilTheNewOnesAreMade) {
  for (int i = 0; i < 4; ++i) Source("S:\\m\\trip\\p" + std::to_string(i) + ".jpg", "photo " + std::to_string(i));
  for (int i = 0; i < 8; ++i) Source("S:\\m\\docs\\d" + std::to_string(i) + ".txt", "doc");
  RegisterFolder('3', "S:\\m", true);
  SaveLists();
  Run();
  ASSERT_TRUE(test::Succeeded(box().fs().Rename("S:\\m\\trip", "S:\\m\\trip-okinawa")));
  settings_.detect_moves = false;  // copies, not a move, are what this is about
  hooks_.abort_during_copy = [this] { return hooks_.copies.size() >= 2; };
  Run();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(box().Exists("T:\\BK\\m\\trip\\p" + std::to_string(i) + ".jpg")) << i;
  EXPECT_NE(ListText('3').find("2S:\\m\\trip\tp0.jpg"), std::string::npos);
  hooks_.abort_during_copy = nullptr;
  Run();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(box().Read("T:\\BK\\m\\trip-okinawa\\p" + std::to_string(i) + ".jpg"), "photo " + std::to_string(i));
    EXPECT_FALSE(box().Exists("T:\\BK\\m\\trip\\p" + std::to_string(i) + ".jpg")) << i;
  }
  EXPECT_EQ(ListText('3').find("S:\\m\\trip\t"), std::string::npos);
  EXPECT_FALSE(box().Exists("T:\\BK\\m\\trip"));
}

TEST_F(EngineTest, AnAbortedPassJudgesADriveByTheFilesItReached) {
  // Ten vanished folders, one that the other disk happens to have too (where the user
  // aborts), then twenty more vanished ones that the pass never reaches.
  auto folder = [](char prefix, int i) { return std::string("S:\\m\\") + prefix + (i < 10 ? "0" : "") + std::to_string(i); };
  for (int i = 0; i < 10; ++i) Source(folder('f', i) + "\\x.txt", "x");
  Source("S:\\m\\g\\x.txt", "x");
  for (int i = 0; i < 20; ++i) Source(folder('h', i) + "\\x.txt", "x");
  RegisterFolder('3', "S:\\m", true);
  SaveLists();
  Run();
  const std::string before = ListText('3');
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree(folder('f', i))));
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree(folder('h', i))));
  hooks_.abort_at_handled = 1;
  Run();
  EXPECT_EQ(ListText('3'), before);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(box().Exists("T:\\BK" + folder('f', i).substr(2) + "\\x.txt")) << i;
  ASSERT_FALSE(ReportLines().empty());
  EXPECT_EQ(ReportLines().back(), HeldBackLine('S'));
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, ADrivesFilesAreCountedTogetherWhateverTheLetterCase) {
  // Six lines say "S:", six say "s:": one drive, twelve files, all gone at once.
  for (int i = 0; i < 12; ++i) {
    const std::string folder = std::string(i < 6 ? "S" : "s") + ":\\c\\f" + std::to_string(i);
    Source(folder + "\\x.txt", "x");
    RegisterFolder('3', folder, false);
  }
  SaveLists();
  Run();
  const std::string before = ListText('3');
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\c")));
  Run();
  EXPECT_EQ(ListText('3'), before);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
  EXPECT_TRUE(box().Exists("T:\\BK\\c\\f0\\x.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\c\\f11\\x.txt"));
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, ADifferentialKeepsTheLinesOfAMostlyGoneDrive) {
  for (int i = 0; i < 10; ++i) Source(std::string("S:\\d\\f") + std::to_string(i) + ".txt", "x");
  RegisterFolder('5', "S:\\d", false);
  SaveLists();
  Run();
  const std::string before = ListText('5');
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\d")));
  Run();
  EXPECT_EQ(ListText('5'), before);
  EXPECT_EQ(ReportLines(), std::vector<std::string>{HeldBackLine('S')});
  EXPECT_TRUE(box().Exists("T:\\BK\\d\\f9.txt"));
}

}  // namespace
}  // namespace bk::test
