// Failures during a run: whatever breaks, the previous good copy and every registration
// survive, and each problem leaves a report line.
#include "engine_fixture.hpp"
#include "platform/file_copy.hpp"

namespace bk::test {
namespace {

class EngineFaultTest : public EngineTest {
 protected:
  void SetUp() override {
    Source("S:\\w\\big.bin", std::string(3 * kCopyChunkBytes, 'o'));
    Source("S:\\w\\small.txt", "small");
    RegisterFolder('3', "S:\\w", false);
    Source("S:\\single\\s.txt", "single");
    RegisterFile("S:\\single\\s.txt");
    SaveLists();
    Run();
    ASSERT_TRUE(ReportLines().empty());
    lists_before_ = ListText('3') + ListText('1');
    // The source changes: the next run wants to replace the copy.
    Source("S:\\w\\big.bin", std::string(3 * kCopyChunkBytes + 7, 'N'), kT0 + 9 * kSecond);
  }
  void ExpectOldCopyAndListsIntact() {
    EXPECT_TRUE(box().Read("T:\\BK\\w\\big.bin") == std::string(3 * kCopyChunkBytes, 'o'));
    EXPECT_FALSE(box().Exists(CopyTemporaryName("T:\\BK\\w\\big.bin")));
    ExpectListsIntact();
  }
  void ExpectListsIntact() {
    for (char type : {'1', '3'}) {
      ListBuffer list;
      bool found = false;
      ASSERT_TRUE(test::Succeeded(ReadListFile(box().fs(), ListFileName('T', "BK", type), &list, &found)));
      EXPECT_TRUE(found);
    }
    // Every registration is still there (only the size of the changed file may differ).
    for (const char* name : {"big.bin", "small.txt", "s.txt"})
      EXPECT_NE((ListText('3') + ListText('1')).find(name), std::string::npos) << name;
  }
  std::string lists_before_;
};

TEST_F(EngineFaultTest, ACopyBreakingOffHalfWayKeepsThePreviousCopy) {
  faulty().Add({FsOp::Read, "S:\\w\\big.bin", err::kIoDevice, 0, -1, kCopyChunkBytes + 5});
  Run();
  ExpectOldCopyAndListsIntact();
  const auto lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "(SYS)" + box().fs().ErrorMessage(err::kIoDevice) + "S:\\ > T:\\BK\\w\\big.bin");
  // The updated line keeps its new size, so the next run tries again.
  EXPECT_NE(ListText('3').find("2S:\\w\tbig.bin\t3" + SizeField(3 * kCopyChunkBytes + 7)), std::string::npos);
  faulty().Clear();
  Run();
  EXPECT_TRUE(box().Read("T:\\BK\\w\\big.bin") == std::string(3 * kCopyChunkBytes + 7, 'N'));
}

TEST_F(EngineFaultTest, CtrlShiftDuringACopyCancelsItAndEndsTheRunAfterThatType) {
  Source("S:\\five\\z.txt", "z");
  RegisterFolder('5', "S:\\five", false);
  SaveLists();
  hooks_.on_copy = [&](std::string_view source) {
    if (source == "S:\\w\\big.bin") flags_.abort = 1;  // seen by the progress thread
  };
  const RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.aborted);
  ExpectOldCopyAndListsIntact();
  const auto lines = ReportLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "(SYS)" + box().fs().ErrorMessage(err::kRequestAborted) + "S:\\ > T:\\BK\\w\\big.bin");
  EXPECT_FALSE(box().Exists("T:\\BK\\five\\z.txt"));  // type 5 never started
}

TEST_F(EngineFaultTest, AFullDiskFailsCopiesWithoutLosingAnything) {
  faulty().Add({FsOp::Write, "T:\\BK", err::kDiskFull, 0, -1, 1000});
  Source("S:\\w\\new.bin", std::string(5000, 'x'));
  Run();
  ExpectOldCopyAndListsIntact();
  EXPECT_FALSE(box().Exists("T:\\BK\\w\\new.bin"));
  const auto lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines)
    EXPECT_NE(line.find(box().fs().ErrorMessage(err::kDiskFull)), std::string::npos) << line;
  // The new file is listed (as registration would) and copied once there is room.
  EXPECT_NE(ListText('3').find("new.bin"), std::string::npos);
  faulty().Clear();
  Run();
  EXPECT_TRUE(box().Exists("T:\\BK\\w\\new.bin"));
}

TEST_F(EngineFaultTest, AccessDeniedOnTheOldCopyKeepsIt) {
  faulty().Add({FsOp::Rename, "T:\\BK\\w\\big.bin", err::kAccessDenied});
  Run();
  ExpectOldCopyAndListsIntact();
  EXPECT_FALSE(ReportLines().empty());
}

TEST_F(EngineFaultTest, ADestinationFolderThatCannotBeCreatedIsReportedPerFile) {
  Source("S:\\fresh\\f.txt", "f");
  RegisterFolder('3', "S:\\fresh", false);
  SaveLists();
  faulty().Add({FsOp::CreateFolderChain, "T:\\BK\\fresh", err::kAccessDenied});
  Run();
  ExpectListsIntact();
  EXPECT_FALSE(box().Exists("T:\\BK\\fresh"));
  EXPECT_NE(ListText('3').find("2S:\\fresh\tf.txt"), std::string::npos);
  bool reported = false;
  for (const std::string& line : ReportLines()) reported |= line.find("T:\\BK\\fresh\\f.txt") != std::string::npos;
  EXPECT_TRUE(reported);
}

TEST_F(EngineFaultTest, AListThatCannotBeStoredKeepsItsOldFile) {
  faulty().Add({FsOp::Rename, "TBK3.ini", err::kAccessDenied});
  Run();
  EXPECT_EQ(ListText('3') + ListText('1'), lists_before_);
  EXPECT_FALSE(ReportLines().empty());
}

TEST_F(EngineFaultTest, AListThatCannotBeReadIsLeftAlone) {
  faulty().Add({FsOp::OpenRead, "TBK3.ini", err::kSharingViolation});
  Run();
  EXPECT_EQ(ListText('3') + ListText('1'), lists_before_);
  EXPECT_TRUE(box().Read("T:\\BK\\w\\big.bin") == std::string(3 * kCopyChunkBytes, 'o'));
  ASSERT_EQ(ReportLines().size(), 1u);
  EXPECT_NE(ReportLines()[0].find("TBK3.ini"), std::string::npos);
  EXPECT_EQ(hooks_.totals.back(), kTotalUnknown);  // never a total that leaves the list out
}

TEST_F(EngineFaultTest, ReadOnlyAndHiddenOldCopiesAreUpdatedAndMirroredAway) {
  ASSERT_TRUE(test::Succeeded(box().fs().SetAttributes("T:\\BK\\w\\big.bin", attr::kReadOnly)));
  ASSERT_TRUE(test::Succeeded(box().fs().SetAttributes("T:\\BK\\w\\small.txt", attr::kReadOnly | attr::kHidden)));
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile("S:\\w\\small.txt")));
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_TRUE(box().Read("T:\\BK\\w\\big.bin") == std::string(3 * kCopyChunkBytes + 7, 'N'));
  EXPECT_FALSE(box().Exists("T:\\BK\\w\\small.txt"));
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

// A mirror of twelve folders of one file each on S:\, whose drive then goes away during
// a pass. A vanished drive answers "path not found" for every folder, just as if each had
// been deleted; only a fresh question to the drive tells the two apart.
class VanishingSourceTest : public EngineTest {
 protected:
  void SetUp() override {
    for (int i = 0; i < 12; ++i) Source(Folder(i) + "\\f.txt", "file " + std::to_string(i));
    RegisterFolder('3', "S:\\m", true);
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

TEST_F(VanishingSourceTest, ADriveThatGoesAwayHalfWayDropsAndDeletesNothing) {
  // One folder really deleted while the drive answered, then the drive goes: listings of
  // S:\m, f00 (gone) and f01 succeed, every later folder looks "not found".
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree(Folder(0))));
  faulty().RemoveDriveAfterListings('S', 3);
  Run();
  EXPECT_EQ(CopiesLeft(), 12);  // not even f00: the drive did not answer at the deletion
  EXPECT_EQ(ListText('3'), list_before_);
  const auto lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) EXPECT_EQ(line.substr(0, 5), "(SYS)") << line;
  EXPECT_NE(lines[0].find("S:\\m\\f02\\"), std::string::npos);
}

TEST_F(VanishingSourceTest, ADriveThatGoesAwayBeforeTheDeletionsDeletesNothing) {
  // Every listing answers (the drive was there when f00 was found gone), then the drive
  // goes before the deletions are carried out.
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree(Folder(0))));
  faulty().RemoveDriveAfterListings('S', 13);
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_EQ(ListText('3'), list_before_);
  EXPECT_FALSE(ReportLines().empty());
  // Back again, the deletion the user made is followed.
  faulty().Clear();
  Run();
  EXPECT_EQ(CopiesLeft(), 11);
  EXPECT_FALSE(box().Exists("T:\\BK\\m\\f00"));
  EXPECT_TRUE(ReportLines().empty());
}

TEST_F(VanishingSourceTest, AFileFoundMissingIsKeptWhenTheDriveGoesBeforeTheDeletion) {
  // f03's file is deleted while the drive answers; the drive goes after the last listing,
  // before the deletion is carried out.
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile(Folder(3) + "\\f.txt")));
  faulty().RemoveDriveAfterListings('S', 13);
  Run();
  EXPECT_EQ(CopiesLeft(), 12);
  EXPECT_EQ(ListText('3'), list_before_);
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

TEST_F(EngineTest, AFileNamedLikeATemporaryIsBackedUpLikeAnyOther) {
  Source("S:\\w\\x", "x, first");
  Source("S:\\w\\x.~bk", "a file of the user's");
  RegisterFolder('3', "S:\\w", false);
  SaveLists();
  Run();
  Source("S:\\w\\x", "x, changed", kT0 + 5 * kSecond);  // its copy is replaced
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(box().Read("T:\\BK\\w\\x"), "x, changed");
  EXPECT_EQ(box().Read("T:\\BK\\w\\x.~bk"), "a file of the user's");
  EXPECT_NE(ListText('3').find("x.~bk"), std::string::npos);
}

TEST_F(EngineTest, ATemporaryLeftByACrashGoesNextTimeButTheUsersDotFilesStay) {
  Source("S:\\w\\x.txt", "x");
  RegisterFolder('3', "S:\\w", false);
  SaveLists();
  Run();
  box().Write(CopyTemporaryName("T:\\BK\\w\\x.txt"), "half a copy");
  ASSERT_TRUE(test::Succeeded(box().fs().SetAttributes(CopyTemporaryName("T:\\BK\\w\\x.txt"), attr::kReadOnly)));
  box().Write("T:\\BK\\w\\.keep", "the user's");
  box().Write("T:\\BK\\w\\.notes.~bk", "the user's too: no file notes here");
  Run();
  EXPECT_FALSE(box().Exists(CopyTemporaryName("T:\\BK\\w\\x.txt")));
  EXPECT_TRUE(box().Exists("T:\\BK\\w\\.keep"));
  EXPECT_TRUE(box().Exists("T:\\BK\\w\\.notes.~bk"));
  EXPECT_EQ(box().Read("T:\\BK\\w\\x.txt"), "x");
  EXPECT_TRUE(ReportLines().empty());
}

}  // namespace
}  // namespace bk::test

namespace bk::test {
namespace {

// Found by the model check: a new file whose first copy failed, changed again before the
// next run, was copied then but kept the size it had when it was found.
TEST_F(EngineTest, ACopyMadeForAMissingDestinationRecordsTheSizeCopied) {
  Source("S:\\w\\a.txt", "a");
  RegisterFolder('5', "S:\\w", false);
  SaveLists();
  Run();
  Source("S:\\w\\new.txt", std::string(114, 'x'), kT0 + 10 * kSecond);
  Fault broken;
  broken.op = FsOp::Write;
  broken.path_contains = "new.txt";
  faulty().Add(broken);
  Run();
  faulty().Clear();
  ASSERT_FALSE(box().Exists("T:\\BK\\w\\new.txt"));
  ASSERT_NE(ListText('5').find(MakeRegistrationLine('2', "S:\\w", "new.txt", '5', 114)), std::string::npos);
  Source("S:\\w\\new.txt", std::string(34, 'y'), kT0 + 20 * kSecond);
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\w\\new.txt"), std::string(34, 'y'));
  EXPECT_NE(ListText('5').find(MakeRegistrationLine('2', "S:\\w", "new.txt", '5', 34)), std::string::npos);
}

}  // namespace
}  // namespace bk::test
