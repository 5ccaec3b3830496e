// Times and sizes as the destination's file system keeps them: an unchanged file is never
// copied again, a changed one is, and a file FAT cannot hold is not attempted.
#include "engine_fixture.hpp"
#include "platform/destination_time.hpp"
#include "platform/file_copy.hpp"

namespace bk::test {
namespace {

constexpr FileTime kMs = 10000;
// 1970-01-01 00:00:00 UTC: before anything FAT or exFAT can hold.
constexpr FileTime kUnixEpoch = 116444736000000000ULL;
constexpr std::uint64_t kFiveGiB = 5ULL << 30;

class DestinationFileSystemTest : public EngineTest {
 protected:
  // T: plays file_system; the caller skips the test when the adapter cannot.
  bool Play(const char* file_system) { return box().PlayFileSystem('T', file_system); }

  // The source files of one test, all in S:\d, registered as a mirror.
  void Sources(const std::vector<std::pair<std::string, FileTime>>& files) {
    for (const auto& [name, time] : files) Source("S:\\d\\" + name, "content of " + name, time);
    RegisterFolder('3', "S:\\d", false);
    SaveLists();
  }
  void Touch(const std::string& name, FileTime time) {
    ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("S:\\d\\" + name, time))) << name;
  }
  // The files a run copies, by name, sorted.
  std::vector<std::string> CopiedByRun() {
    hooks_.copies.clear();
    Run();
    EXPECT_TRUE(ReportLines().empty());
    std::vector<std::string> names;
    for (const std::string& source : hooks_.copies) names.push_back(source.substr(source.rfind('\\') + 1));
    std::sort(names.begin(), names.end());
    return names;
  }
  using Names = std::vector<std::string>;
};

#define BK_PLAY(name) \
  if (!Play(name)) GTEST_SKIP() << "the " << Sandbox::AdapterName() << " adapter cannot play " << name

TEST_F(DestinationFileSystemTest, NtfsComparesExactly) {
  BK_PLAY("NTFS");
  Sources({{"even.txt", kT0}, {"odd.txt", kT0 + kSecond}, {"frac.txt", kT0 + 1234567}});
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});
  EXPECT_EQ(TimeOf("T:\\BK\\d\\frac.txt"), kT0 + 1234567);
  Touch("even.txt", kT0 + kSecond);
  Touch("odd.txt", kT0);
  Touch("frac.txt", kT0 + 1234568);  // 100 ns
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt"}));
  Touch("even.txt", kT0 + 7 * kSecond);
  EXPECT_EQ(CopiedByRun(), Names{"even.txt"});
  EXPECT_EQ(CopiedByRun(), Names{});
}

TEST_F(DestinationFileSystemTest, ExFatComparesToTenMilliseconds) {
  BK_PLAY("exFAT");
  Sources({{"even.txt", kT0}, {"odd.txt", kT0 + kSecond}, {"frac.txt", kT0 + 1234567},
           {"old.txt", kUnixEpoch}});
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt", "old.txt"}));
  // exFAT keeps 10 ms: the fraction below it is gone, and 1970 is 1980.
  EXPECT_EQ(TimeOf("T:\\BK\\d\\frac.txt"), kT0 + 1200000);
  EXPECT_EQ(TimeOf("T:\\BK\\d\\old.txt"), kFatEarliest);
  EXPECT_EQ(CopiedByRun(), Names{});
  // A second, either way, and 10 ms are changes.
  Touch("even.txt", kT0 + kSecond);
  Touch("odd.txt", kT0);
  Touch("frac.txt", kT0 + 1234567 + 10 * kMs);
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});
  Touch("odd.txt", kT0 + 5 * kSecond);
  Touch("old.txt", kT0);
  EXPECT_EQ(CopiedByRun(), (Names{"odd.txt", "old.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});
}

TEST_F(DestinationFileSystemTest, Fat32ComparesTheSourceTimeAsFatStoresIt) {
  BK_PLAY("FAT32");
  // kT0 is an even second.
  Sources({{"even.txt", kT0 + 10 * kSecond},
           {"odd.txt", kT0 + 21 * kSecond},
           {"frac.txt", kT0 + 31 * kSecond + 300 * kMs},   // in an odd second
           {"frac2.txt", kT0 + 40 * kSecond + 300 * kMs},  // in an even second
           {"old.txt", kUnixEpoch + 5 * kSecond}});
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "frac2.txt", "odd.txt", "old.txt"}));
  // The copies hold the time rounded up to the even second, 1970 held as 1980.
  EXPECT_EQ(TimeOf("T:\\BK\\d\\even.txt"), kT0 + 10 * kSecond);
  EXPECT_EQ(TimeOf("T:\\BK\\d\\odd.txt"), kT0 + 22 * kSecond);
  EXPECT_EQ(TimeOf("T:\\BK\\d\\frac.txt"), kT0 + 32 * kSecond);
  EXPECT_EQ(TimeOf("T:\\BK\\d\\frac2.txt"), kT0 + 42 * kSecond);
  EXPECT_EQ(TimeOf("T:\\BK\\d\\old.txt"), kFatEarliest);
  EXPECT_EQ(CopiedByRun(), Names{});
  EXPECT_EQ(CopiedByRun(), Names{});

  // One second: forward from an even second, forward from a fraction in an odd second,
  // back from an odd second, back from a fraction in an even second.
  Touch("even.txt", kT0 + 11 * kSecond);
  Touch("frac.txt", kT0 + 32 * kSecond + 300 * kMs);
  Touch("odd.txt", kT0 + 20 * kSecond);
  Touch("frac2.txt", kT0 + 39 * kSecond + 300 * kMs);
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "frac2.txt", "odd.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});

  // Two seconds and more, either way, from every kind of time.
  Touch("even.txt", kT0 + 13 * kSecond);         // stored 12 -> 14
  Touch("frac.txt", kT0 + 34 * kSecond + 300 * kMs);  // 34 -> 36
  Touch("odd.txt", kT0 + 18 * kSecond);          // 20 -> 18
  Touch("frac2.txt", kT0 + 60 * kSecond);        // 40 -> 60
  Touch("old.txt", kT0);                         // 1980 -> 2024
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "frac2.txt", "odd.txt", "old.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});

  // A new file found by the new-file search gets the same rule on the next run.
  Source("S:\\d\\new.txt", "new", kT0 + 71 * kSecond + 1);
  EXPECT_EQ(CopiedByRun(), Names{"new.txt"});
  EXPECT_EQ(TimeOf("T:\\BK\\d\\new.txt"), kT0 + 72 * kSecond);
  EXPECT_EQ(CopiedByRun(), Names{});
}

// What FAT cannot tell apart: two source times within one 2-second step it stores alike
// (an odd second and the even second after it, 1.3 s and 1.9 s past an even second) and
// two times before 1980, which it stores as 1980. No comparison with the copy can see
// these changes; a change of size still is one.
TEST_F(DestinationFileSystemTest, Fat32CannotSeeChangesWithinOneStoredTime) {
  BK_PLAY("FAT32");
  Sources({{"odd.txt", kT0 + 21 * kSecond}, {"frac.txt", kT0 + 1300 * kMs}, {"old.txt", kUnixEpoch}});
  EXPECT_EQ(CopiedByRun(), (Names{"frac.txt", "odd.txt", "old.txt"}));
  Touch("odd.txt", kT0 + 22 * kSecond);
  Touch("frac.txt", kT0 + 1900 * kMs);
  Touch("old.txt", kUnixEpoch + 365 * 86400 * kSecond);
  EXPECT_EQ(CopiedByRun(), Names{});
  Source("S:\\d\\old.txt", "content of old.txt, longer", kUnixEpoch + 365 * 86400 * kSecond);
  EXPECT_EQ(CopiedByRun(), Names{"old.txt"});
  EXPECT_EQ(CopiedByRun(), Names{});
}

TEST_F(DestinationFileSystemTest, AnUnknownFileSystemToleratesLessThanOneSecond) {
  BK_PLAY("NFS");
  Sources({{"even.txt", kT0}, {"odd.txt", kT0 + kSecond}, {"frac.txt", kT0 + 1999 * kMs}});
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt"}));
  EXPECT_EQ(CopiedByRun(), Names{});
  // The share drops the fraction of a second (or rounds it up): still unchanged.
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\d\\frac.txt", kT0 + kSecond)));
  EXPECT_EQ(CopiedByRun(), Names{});
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\d\\frac.txt", kT0 + 2 * kSecond)));
  EXPECT_EQ(CopiedByRun(), Names{});
  // A second is a change (against the copy the share made, which dropped the fraction).
  ASSERT_TRUE(test::Succeeded(box().fs().SetLastWriteTime("T:\\BK\\d\\frac.txt", kT0 + kSecond)));
  Touch("even.txt", kT0 + kSecond);
  Touch("odd.txt", kT0);
  Touch("frac.txt", kT0 + 2999 * kMs);
  EXPECT_EQ(CopiedByRun(), (Names{"even.txt", "frac.txt", "odd.txt"}));
  Touch("even.txt", kT0 + 9 * kSecond);
  EXPECT_EQ(CopiedByRun(), Names{"even.txt"});
  EXPECT_EQ(CopiedByRun(), Names{});
}

// ---- files FAT cannot hold --------------------------------------------------------------

class TooLargeForFat : public DestinationFileSystemTest, public ::testing::WithParamInterface<char> {
 protected:
  // S:\big holds huge.bin (told to be 5 GiB) and the small z.txt after it; the small
  // destination has room for z.txt only.
  void SetUpSources(char type) {
    Source("S:\\big\\huge.bin", "h");
    Source("S:\\big\\z.txt", "zz");
    faulty().SetFileSize("S:\\big\\huge.bin", kFiveGiB);
    lists_[type] += MakeRegistrationLine('2', "S:\\big", "huge.bin", type, kFiveGiB);
    lists_[type] += MakeRegistrationLine('2', "S:\\big", "z.txt", type, 2);
    SaveLists();
    faulty().SetFreeSpace('T', 1 << 20);
    settings_.free_space_check = true;
  }
  bool AttemptedHuge() {
    for (const std::string& s : hooks_.copies)
      if (s == "S:\\big\\huge.bin") return true;
    for (const std::string& p : faulty().created_new())
      if (p.find("huge.bin") != std::string::npos) return true;
    return false;
  }
  static std::string Line(const char* file_system) {
    return std::string("(CPY)ドライブ T:\\ のファイルシステム ") + file_system +
           " は 4GB 以上のファイルを保存できないためコピーしません。S:\\big\\huge.bin";
  }
};

TEST_P(TooLargeForFat, IsReportedOnceAndNeverAttempted) {
  BK_PLAY("FAT32");
  const char type = GetParam();
  SetUpSources(type);
  // Any opening of the file, for reading or writing (its copy or a temporary beside it),
  // would be counted as a failure here.
  faulty().Add({FsOp::OpenRead, "huge.bin"});
  faulty().Add({FsOp::CreateWrite, "huge.bin"});
  for (int run = 0; run < 2; ++run) {
    hooks_.copies.clear();
    faulty().ForgetWrites();
    Run();
    EXPECT_EQ(ReportLines(), std::vector<std::string>{Line("FAT32")}) << "run " << run;
    EXPECT_FALSE(AttemptedHuge()) << "run " << run;
    EXPECT_EQ(faulty().failures(), 0) << "run " << run;
    EXPECT_FALSE(box().Exists("T:\\BK\\big\\huge.bin"));
    EXPECT_FALSE(box().Exists(CopyTemporaryName("T:\\BK\\big\\huge.bin")));
    // Not charged to the free space: the small file after it is copied.
    EXPECT_EQ(box().Read("T:\\BK\\big\\z.txt"), "zz");
    // The line stays, with its size, for a destination that can hold the file.
    EXPECT_NE(ListText(type).find(MakeRegistrationLine('2', "S:\\big", "huge.bin", type, kFiveGiB)),
              std::string::npos)
        << ListText(type);
  }
}

TEST_P(TooLargeForFat, IsCopiedToExFat) {
  BK_PLAY("exFAT");
  SetUpSources(GetParam());
  faulty().SetFreeSpace('T', 8 * kFiveGiB);
  Run();
  EXPECT_TRUE(ReportLines().empty()) << ReportLines()[0];
  EXPECT_TRUE(AttemptedHuge());
  EXPECT_TRUE(box().Exists("T:\\BK\\big\\huge.bin"));
}

TEST_P(TooLargeForFat, OtherFatNamesRefuseItToo) {
  SetUpSources(GetParam());
  for (const char* name : {"FAT", "FAT12", "FAT16", "fat32"}) {
    BK_PLAY(name);
    hooks_.copies.clear();
    faulty().ForgetWrites();
    Run();
    EXPECT_EQ(ReportLines(), std::vector<std::string>{Line(name)}) << name;
    EXPECT_FALSE(AttemptedHuge()) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, TooLargeForFat, ::testing::Values('1', '2', '3', '4', '5'));

TEST_F(DestinationFileSystemTest, ANewFileTooLargeForFatIsReportedOnceAndNotListed) {
  BK_PLAY("FAT32");
  Source("S:\\n\\a.txt", "a");
  RegisterFolder('5', "S:\\n", false);
  SaveLists();
  Run();
  Source("S:\\n\\huge.bin", "h");
  faulty().SetFileSize("S:\\n\\huge.bin", kFiveGiB);
  faulty().ForgetWrites();
  hooks_.copies.clear();
  Run();
  EXPECT_EQ(ReportLines(), std::vector<std::string>{
                               "(CPY)ドライブ T:\\ のファイルシステム FAT32 は 4GB 以上のファイルを保存できないため"
                               "コピーしません。S:\\n\\huge.bin"});
  EXPECT_TRUE(hooks_.copies.empty());
  EXPECT_TRUE(faulty().created_new().empty());
  EXPECT_EQ(ListText('5').find("huge.bin"), std::string::npos);
}

TEST_F(DestinationFileSystemTest, TheFaultAdapterTellsAChosenSizeEverywhere) {
  Source("S:\\f\\x.bin", "x");
  faulty().SetFileSize("S:\\f\\x.bin", kFiveGiB);
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(fs().GetInfo("S:\\f\\x.bin", &info)));
  EXPECT_EQ(info.size, kFiveGiB);
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(fs().ListFolder("S:\\f", &entries)));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, kFiveGiB);
  std::unique_ptr<ReadableFile> in;
  ASSERT_TRUE(test::Succeeded(fs().OpenRead("S:\\f\\x.bin", &in)));
  ASSERT_TRUE(test::Succeeded(in->GetInfo(&info)));
  EXPECT_EQ(info.size, kFiveGiB);
  char buffer[8];
  std::size_t got = 0;
  ASSERT_TRUE(test::Succeeded(in->Read(buffer, sizeof buffer, &got)));
  EXPECT_EQ(got, 1u);  // the real bytes
}

}  // namespace
}  // namespace bk::test
