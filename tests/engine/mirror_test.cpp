#include "engine_fixture.hpp"

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
  ASSERT_TRUE(box().fs().DeleteFile("S:\\data\\a.txt").ok());
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_EQ(ListText('3').find("a.txt"), std::string::npos);
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\b.txt"));
}

TEST_F(MirrorTest, TheLastFileGoneLeavesAMarkerThatALaterFileReplaces) {
  Run();
  ASSERT_TRUE(box().fs().DeleteFile("S:\\data\\sub\\c.txt").ok());
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
  ASSERT_TRUE(box().fs().DeleteTree("S:\\data\\sub").ok());
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\sub"));
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_EQ(ListText('3').find("sub"), std::string::npos);
  EXPECT_EQ(box().Read("BkList\\del.tmp"), "T:\\BK\\data\\sub\n");
}

TEST_F(MirrorTest, NewFilesAreFoundAndCopiedButNewSubfoldersAreNot) {
  Run();
  Source("S:\\data\\new.txt", "new", kT0 + 5 * kSecond);
  Source("S:\\data\\newsub\\x.txt", "x");
  Source("S:\\data\\.dotfile", "hidden by name");
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\data\\new.txt"), "new");
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\newsub"));
  EXPECT_FALSE(box().Exists("T:\\BK\\data\\.dotfile"));
  const std::string list = ListText('3');
  EXPECT_NE(list.find("2S:\\data\tnew.txt\t30000000000003\n"), std::string::npos);
  EXPECT_EQ(list.find("newsub"), std::string::npos);
  EXPECT_EQ(list.find('\n' + std::string("1")), std::string::npos);  // no line left at "1"
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
  ASSERT_TRUE(box().fs().DeleteTree("S:\\data\\sub").ok());
  box().Write("BkList\\del.tmp", "T:\\BK\\data\n");  // left from an earlier pass
  faulty().Add({FsOp::CreateWrite, "del.tmp", err::kAccessDenied});
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\a.txt"));
  EXPECT_TRUE(box().Exists("T:\\BK\\data\\sub\\c.txt"));  // not deleted this time either
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
}

TEST_F(EngineTest, MirrorOfAFoldersOwnFilesKeepsOtherRegistrationsBelowIt) {
  Source("S:\\top\\own.txt", "own");
  Source("S:\\top\\inner\\kept.txt", "kept");
  RegisterFolder('2', "S:\\top", false);
  RegisterFolder('5', "S:\\top\\inner", true);  // a differential keeps its copies
  SaveLists();
  Run();
  ASSERT_TRUE(box().Exists("T:\\BK\\top\\inner\\kept.txt"));
  ASSERT_TRUE(box().fs().DeleteTree("S:\\top").ok());
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
  ASSERT_TRUE(box().fs().DeleteTree("S:\\solo").ok());
  Run();
  EXPECT_FALSE(box().Exists("T:\\BK\\solo"));
}

}  // namespace
}  // namespace bk::test
