// How copies reach the destination during a run: new files straight to their names and
// never flushed, overwrites by a flushed temporary file, torn copies found and made again.
#include "engine_fixture.hpp"
#include "platform/file_copy.hpp"

namespace bk::test {
namespace {

bool UnderBackup(const std::string& path) { return path.rfind("T:\\BK\\", 0) == 0; }

std::vector<std::string> FlushedUnderBackup(const FaultFileSystem& fs) {
  std::vector<std::string> out;
  for (const std::string& path : fs.flushed())
    if (UnderBackup(path)) out.push_back(path);
  return out;
}

class CopyPolicyTest : public EngineTest {
 protected:
  void SetUp() override {
    Source("S:\\w\\a.txt", "alpha");
    Source("S:\\w\\b.txt", std::string(3 * kCopyChunkBytes, 'b'));
    Source("S:\\one\\s.txt", "single");
    RegisterFolder('3', "S:\\w", false);
    RegisterFile("S:\\one\\s.txt");
    SaveLists();
  }
};

TEST_F(CopyPolicyTest, AFirstBackupFlushesNoCopyAndTheDataFilesStillAre) {
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "alpha");
  EXPECT_TRUE(FlushedUnderBackup(faulty()).empty());
  std::vector<std::string> made;
  for (const std::string& path : faulty().created_new())
    if (UnderBackup(path)) made.push_back(path);
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"T:\\BK\\one\\s.txt", "T:\\BK\\w\\a.txt", "T:\\BK\\w\\b.txt"}));
  // The lists written back are flushed before they replace the old ones.
  bool list_flushed = false;
  for (const std::string& path : faulty().flushed()) list_flushed |= path.find("TBK3.ini") != std::string::npos;
  EXPECT_TRUE(list_flushed);
}

TEST_F(CopyPolicyTest, AnUpdateFlushesOnlyTheTemporaryFileThatReplacesTheChangedCopy) {
  Run();
  faulty().ForgetWrites();
  Source("S:\\w\\a.txt", "alpha, changed", kT0 + 5 * kSecond);
  Source("S:\\w\\c.txt", "charlie, new");
  Run();
  EXPECT_TRUE(ReportLines().empty());
  EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "alpha, changed");
  EXPECT_EQ(box().Read("T:\\BK\\w\\c.txt"), "charlie, new");
  EXPECT_EQ(FlushedUnderBackup(faulty()), std::vector<std::string>{CopyTemporaryName("T:\\BK\\w\\a.txt")});
}

// The fault matrix of a new copy: whatever stops it half-way, the destination holds no
// file, or one that the next run copies again.
TEST_F(CopyPolicyTest, ANewCopyCutOffHalfWayIsGoneOrCopiedAgainNextRun) {
  struct Case {
    const char* what;
    std::vector<Fault> faults;
    bool leaves_a_file;
  };
  const std::string b = "T:\\BK\\w\\b.txt";
  const Case cases[] = {
      {"a write fails", {{FsOp::Write, b, err::kIoDevice, 0, -1, kCopyChunkBytes + 3}}, false},
      {"the disk is full", {{FsOp::Write, b, err::kDiskFull, 0, -1, 0}}, false},
      {"the source read breaks off", {{FsOp::Read, "S:\\w\\b.txt", err::kIoDevice, 0, -1, kCopyChunkBytes}}, false},
      {"closing fails", {{FsOp::CloseWrite, b, err::kIoDevice}}, false},
      // As by a crash: nothing after the break runs, the partial file stays.
      {"the run dies half-way",
       {{FsOp::Write, b, err::kIoDevice, 0, -1, 2 * kCopyChunkBytes},
        {FsOp::DeleteFile, b, err::kNotReady},
        {FsOp::SetAttributes, b, err::kNotReady}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    (void)box().fs().DeleteFile(b);
    for (const Fault& f : c.faults) faulty().Add(f);
    Run();
    faulty().Clear();
    EXPECT_EQ(box().Exists(b), c.leaves_a_file);
    EXPECT_FALSE(box().Exists(CopyTemporaryName(b)));
    EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "alpha");  // the rest of the run went on
    EXPECT_FALSE(ReportLines().empty());
    Run();
    EXPECT_TRUE(box().Read(b) == std::string(3 * kCopyChunkBytes, 'b'));
    EXPECT_EQ(TimeOf(b), kT0);
    EXPECT_TRUE(ReportLines().empty());
  }
}

// A power loss can leave a copy with its time but not all its bytes; its size tells.
TEST_F(CopyPolicyTest, ATornCopyWithTheSourcesTimeIsRepairedByItsSize) {
  Run();
  for (const char* path : {"T:\\BK\\w\\a.txt", "T:\\BK\\one\\s.txt"}) {
    box().Write(path, "al");
    ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime(path, kT0)));
  }
  hooks_.copies.clear();
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "alpha");
  EXPECT_EQ(box().Read("T:\\BK\\one\\s.txt"), "single");
  EXPECT_EQ(hooks_.copies.size(), 2u);
  EXPECT_TRUE(ReportLines().empty());
  // A copy of equal size and time is taken as it is: contents are never compared.
  box().Write("T:\\BK\\w\\a.txt", "ALPHA");
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\w\\a.txt", kT0)));
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(hooks_.copies.empty());
}

TEST_F(CopyPolicyTest, ATornCopyOfAFileFoundNewIsRepairedToo) {
  Run();
  Source("S:\\w\\new.txt", "a newly found file");
  Run();  // found and copied by the new-file search
  box().Write("T:\\BK\\w\\new.txt", "a newly");
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\w\\new.txt", kT0)));
  Run();
  EXPECT_EQ(box().Read("T:\\BK\\w\\new.txt"), "a newly found file");
}

TEST_F(EngineTest, LinesNamingADeviceAreReportedAndLeftAlone) {
  Source("S:\\w\\a.txt", "a");
  RegisterFolder('3', "S:\\w", false);
  SaveLists();
  const std::vector<std::string> bad = {
      "2S:\\w\tNUL\t30000000000001\n",
      "2S:\\w\\con\ta.txt\t30000000000001\n",
      "2S:\\w\tcom1\t30000000000001\n",
  };
  for (const std::string& line : bad) lists_['3'] += line;
  lists_['1'] += "2S:\\w\tLpt1\t10000000000001\n";
  SaveLists();
  const std::string before = ListText('3') + ListText('1');
  Run();
  EXPECT_EQ(ListText('3') + ListText('1'), before);
  EXPECT_EQ(box().Read("T:\\BK\\w\\a.txt"), "a");
  std::vector<std::string> expected = {"(PGM)アクセス拒否等。S:\\w\tLpt1\t10000000000001"};
  for (const std::string& line : bad) expected.push_back("(PGM)アクセス拒否等。" + line.substr(1, line.size() - 2));
  std::vector<std::string> lines = ReportLines();
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

// A group of a single-file list is asked for file by file when it is small and listed
// when it is large; either way the run must come to the same result. The folder holds many
// more files than are registered.
struct GroupShape {
  int registered;
  bool by_name;
};

class SingleFileGroups : public EngineTest, public ::testing::WithParamInterface<GroupShape> {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40; ++i) Source("S:\\big\\crowd" + std::to_string(i) + ".dat", "not registered");
    for (int i = 0; i < GetParam().registered; ++i) Source(Registered(i), "file " + std::to_string(i));
    // Elsewhere on the drive, enough registered files that losing the whole group is no
    // sign of a swapped disk.
    for (int i = 0; i < 60; ++i) Source("S:\\other\\o" + std::to_string(i) + ".txt", "other");
    for (int i = 0; i < GetParam().registered; ++i) RegisterFile(Registered(i));
    for (int i = 0; i < 60; ++i) RegisterFile("S:\\other\\o" + std::to_string(i) + ".txt");
    SaveLists();
    if (GetParam().by_name) {
      // Proof of the way taken: the big folder is never listed, on either side.
      faulty().Add({FsOp::ListFolder, "S:\\big", err::kAccessDenied});
      faulty().Add({FsOp::ListFolder, "T:\\BK\\big", err::kAccessDenied});
    }
    Run();
    ASSERT_TRUE(ReportLines().empty());
    ASSERT_EQ(box().Read(Copy(0)), "file 0");
    ASSERT_FALSE(box().Exists("T:\\BK\\big\\crowd0.dat"));
  }
  static std::string Registered(int i) { return "S:\\big\\r" + std::to_string(10 + i) + ".txt"; }
  static std::string Copy(int i) { return "T:\\BK" + Registered(i).substr(2); }
  bool Listed(int i) { return ListText('1').find("r" + std::to_string(10 + i) + ".txt") != std::string::npos; }
};

TEST_P(SingleFileGroups, ChangesMissingCopiesTornCopiesAndLeftoversAreHandledAlike) {
  Source(Registered(1), "file 1, changed", kT0 + 7 * kSecond);
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile(Registered(2))));
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteFile(Copy(3))));
  box().Write(Copy(4), "fi");  // torn, with the source's time
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime(Copy(4), kT0)));
  box().Write(CopyTemporaryName(Copy(0)), "left by a crash");
  hooks_.copies.clear();
  Run();
  EXPECT_TRUE(ReportLines().empty());
  std::sort(hooks_.copies.begin(), hooks_.copies.end());
  EXPECT_EQ(hooks_.copies, (std::vector<std::string>{Registered(1), Registered(3), Registered(4)}));
  EXPECT_EQ(box().Read(Copy(1)), "file 1, changed");
  EXPECT_EQ(TimeOf(Copy(1)), kT0 + 7 * kSecond);
  EXPECT_EQ(box().Read(Copy(3)), "file 3");
  EXPECT_EQ(box().Read(Copy(4)), "file 4");
  EXPECT_FALSE(box().Exists(CopyTemporaryName(Copy(0))));
  EXPECT_FALSE(Listed(2));                    // a file gone at the source leaves the list...
  EXPECT_EQ(box().Read(Copy(2)), "file 2");  // ...and its copy stays
  EXPECT_TRUE(Listed(0) && Listed(1) && Listed(3) && Listed(4));
  EXPECT_NE(ListText('1').find(MakeRegistrationLine('2', "S:\\big", "r11.txt", '1', 15)), std::string::npos);
}

TEST_P(SingleFileGroups, AVanishedFolderDropsItsLinesAndKeepsTheCopies) {
  ASSERT_TRUE(test::Succeeded(box().fs().DeleteTree("S:\\big")));
  Run();
  EXPECT_TRUE(ReportLines().empty());
  for (int i = 0; i < GetParam().registered; ++i) {
    EXPECT_FALSE(Listed(i)) << i;
    EXPECT_TRUE(box().Exists(Copy(i))) << i;
  }
  EXPECT_NE(ListText('1').find("o59.txt"), std::string::npos);
}

TEST_P(SingleFileGroups, AnAbsentDriveOrAnUnanswerableFileTakesNothingForGone) {
  const std::string before = ListText('1');
  faulty().RemoveDrive('S');
  Run();
  faulty().Clear();
  EXPECT_EQ(ListText('1'), before);
  EXPECT_FALSE(ReportLines().empty());
  for (const std::string& line : ReportLines()) EXPECT_EQ(line.substr(0, 5), "(SYS)") << line;
  // A file whose attributes the system refuses (held open by it) is still there: the
  // folder is listed after all, and nothing is reported or dropped.
  faulty().Add({FsOp::GetInfo, Registered(0), err::kSharingViolation});
  faulty().Add({FsOp::GetInfo, Copy(1), err::kSharingViolation});
  Run();
  EXPECT_EQ(ListText('1'), before);
  EXPECT_TRUE(ReportLines().empty());
}

INSTANTIATE_TEST_SUITE_P(ByNameOrListed, SingleFileGroups,
                         ::testing::Values(GroupShape{5, true}, GroupShape{24, false}),
                         [](const ::testing::TestParamInfo<GroupShape>& info) {
                           return info.param.by_name ? std::string("AskedByName") : std::string("Listed");
                         });

}  // namespace
}  // namespace bk::test
