// The destination time rule at its edges, and the POSIX adapter playing the file system
// of its drive with it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/destination_time.hpp"
#include "support/sandbox.hpp"

namespace bk::test {
namespace {

constexpr FileTime kSec = kTimeSecond;
constexpr FileTime kMs = 10000;  // one millisecond in 100 ns steps
// 2024-01-01 00:00:00 UTC, an even second.
constexpr FileTime kEven = 133485408000000000ULL;
// 1970-01-01 00:00:00 UTC: before anything FAT can hold.
constexpr FileTime kUnixEpoch = 116444736000000000ULL;

DestinationTimeRule Rule(FileSystemKind kind) { return {kind}; }

TEST(DestinationTimeRule, KindsFromNames) {
  for (const char* name : {"FAT", "FAT12", "FAT16", "FAT32", "fat32", "Fat16"})
    EXPECT_EQ(FileSystemKindOf(name), FileSystemKind::Fat) << name;
  for (const char* name : {"exFAT", "EXFAT", "exfat"}) EXPECT_EQ(FileSystemKindOf(name), FileSystemKind::ExFat) << name;
  for (const char* name : {"NTFS", "ntfs", "ReFS", "REFS"}) EXPECT_EQ(FileSystemKindOf(name), FileSystemKind::Exact) << name;
  for (const char* name : {"NFS", "SMB", "CDFS", "UDF", "FAT64", "FAT3", "", "NTFS "})
    EXPECT_EQ(FileSystemKindOf(name), FileSystemKind::Other) << name;
  EXPECT_EQ(DestinationTimeRule::For("FAT32").kind, FileSystemKind::Fat);
}

TEST(DestinationTimeRule, FatStoresTheNextEvenSecond) {
  const DestinationTimeRule fat = Rule(FileSystemKind::Fat);
  EXPECT_EQ(kEven % kFatTimeStep, 0u);
  EXPECT_EQ(fat.Stored(kEven), kEven);
  EXPECT_EQ(fat.Stored(kEven + 1), kEven + 2 * kSec);  // 100 ns past an even second
  EXPECT_EQ(fat.Stored(kEven + kSec), kEven + 2 * kSec);
  EXPECT_EQ(fat.Stored(kEven + kSec + 500 * kMs), kEven + 2 * kSec);
  EXPECT_EQ(fat.Stored(kEven + 2 * kSec - 1), kEven + 2 * kSec);
  EXPECT_EQ(fat.Stored(kEven - 1), kEven);
}

TEST(DestinationTimeRule, FatClampsIntoItsRange) {
  const DestinationTimeRule fat = Rule(FileSystemKind::Fat);
  EXPECT_EQ(fat.Stored(0), kFatEarliest);
  EXPECT_EQ(fat.Stored(kUnixEpoch), kFatEarliest);
  EXPECT_EQ(fat.Stored(kFatEarliest - 1), kFatEarliest);
  EXPECT_EQ(fat.Stored(kFatEarliest), kFatEarliest);
  EXPECT_EQ(fat.Stored(kFatEarliest + 1), kFatEarliest + 2 * kSec);
  EXPECT_EQ(fat.Stored(kFatLatest), kFatLatest);
  EXPECT_EQ(fat.Stored(kFatLatest - kSec), kFatLatest);
  EXPECT_EQ(fat.Stored(kFatLatest + 1), kFatLatest);  // would round up to 2108
  EXPECT_EQ(fat.Stored(kFatLatest + 5 * kSec), kFatLatest);
  EXPECT_EQ(fat.Stored(~FileTime{0}), kFatLatest);
}

TEST(DestinationTimeRule, FatMatchesOnlyTheStoredTime) {
  const DestinationTimeRule fat = Rule(FileSystemKind::Fat);
  // Unchanged: the copy holds the source's time rounded up.
  EXPECT_TRUE(fat.Matches(kEven, kEven));
  EXPECT_TRUE(fat.Matches(kEven + kSec, kEven + 2 * kSec));
  EXPECT_TRUE(fat.Matches(kEven + 300 * kMs, kEven + 2 * kSec));
  EXPECT_TRUE(fat.Matches(kEven + 2 * kSec - 1, kEven + 2 * kSec));
  EXPECT_TRUE(fat.Matches(kUnixEpoch, kFatEarliest));
  EXPECT_TRUE(fat.Matches(kFatLatest + 7 * kSec, kFatLatest));
  // Changed: a source whose stored time is another step.
  EXPECT_FALSE(fat.Matches(kEven + 1, kEven));                 // 100 ns past the copy's even second
  EXPECT_FALSE(fat.Matches(kEven + kSec, kEven));              // one second after an even second
  EXPECT_FALSE(fat.Matches(kEven - 2 * kSec, kEven));          // two seconds before it
  EXPECT_FALSE(fat.Matches(kEven + 3 * kSec, kEven + 2 * kSec));  // one second after an odd second
  EXPECT_FALSE(fat.Matches(kEven + kSec, kEven + 4 * kSec));
  EXPECT_FALSE(fat.Matches(kEven + 2 * kSec + 1, kEven + 2 * kSec));
  EXPECT_FALSE(fat.Matches(kEven, kEven + 2 * kSec));          // the old rule's "less than 2 s apart"
  EXPECT_FALSE(fat.Matches(kUnixEpoch, kFatEarliest + 2 * kSec));
  EXPECT_FALSE(fat.Matches(kFatEarliest + 1, kFatEarliest));
  // A copy rounded down (not what Windows does) is a change once the source has a fraction.
  EXPECT_FALSE(fat.Matches(kEven + 300 * kMs, kEven));
}

TEST(DestinationTimeRule, ExFatKeepsTenMilliseconds) {
  const DestinationTimeRule exfat = Rule(FileSystemKind::ExFat);
  EXPECT_EQ(exfat.Stored(kEven + 1234567), kEven + 1200000);  // 0.1234567 s -> 0.12 s
  EXPECT_EQ(exfat.Stored(kEven + 10 * kMs), kEven + 10 * kMs);
  EXPECT_EQ(exfat.Stored(kEven + kSec), kEven + kSec);  // odd seconds are kept
  EXPECT_EQ(exfat.Stored(kUnixEpoch), kFatEarliest);
  EXPECT_EQ(exfat.Stored(kFatLatest + kSec + 995 * kMs), kFatLatest + kSec + 990 * kMs);
  EXPECT_EQ(exfat.Stored(kFatLatest + 10 * kSec), kExFatLatest);

  EXPECT_TRUE(exfat.Matches(kEven + 1234567, kEven + 1200000));
  EXPECT_TRUE(exfat.Matches(kEven, kEven + 10 * kMs - 1));   // within 10 ms either way
  EXPECT_TRUE(exfat.Matches(kEven + 10 * kMs - 1, kEven));
  EXPECT_FALSE(exfat.Matches(kEven, kEven + 10 * kMs));      // 10 ms apart is a change
  EXPECT_FALSE(exfat.Matches(kEven + 10 * kMs, kEven));
  EXPECT_FALSE(exfat.Matches(kEven + kSec, kEven));
  EXPECT_TRUE(exfat.Matches(kUnixEpoch, kFatEarliest));
  EXPECT_FALSE(exfat.Matches(kUnixEpoch, kUnixEpoch));       // exFAT cannot hold 1970
  EXPECT_TRUE(exfat.Matches(kFatLatest + 100 * kSec, kExFatLatest));
}

TEST(DestinationTimeRule, ExactAndOtherFileSystems) {
  const DestinationTimeRule exact = Rule(FileSystemKind::Exact);
  EXPECT_EQ(exact.Stored(kUnixEpoch + 1), kUnixEpoch + 1);
  EXPECT_TRUE(exact.Matches(kEven + 1, kEven + 1));
  EXPECT_FALSE(exact.Matches(kEven + 1, kEven));
  EXPECT_FALSE(exact.Matches(kEven, kEven + 1));

  const DestinationTimeRule other = Rule(FileSystemKind::Other);
  EXPECT_EQ(other.Stored(kUnixEpoch + 1), kUnixEpoch + 1);
  EXPECT_TRUE(other.Matches(kEven + 999 * kMs, kEven));       // a share that drops the fraction
  EXPECT_TRUE(other.Matches(kEven + kSec - 1, kEven));
  EXPECT_TRUE(other.Matches(kEven, kEven + kSec - 1));        // or rounds it up
  EXPECT_FALSE(other.Matches(kEven + kSec, kEven));           // one second is a change
  EXPECT_FALSE(other.Matches(kEven, kEven + kSec));
  EXPECT_TRUE(other.Matches(kUnixEpoch, kUnixEpoch));
}

TEST(DestinationTimeRule, OnlyFatLimitsTheFileSize) {
  EXPECT_TRUE(HoldsFileSize(FileSystemKind::Fat, 0));
  EXPECT_TRUE(HoldsFileSize(FileSystemKind::Fat, 0xFFFFFFFFULL));
  EXPECT_FALSE(HoldsFileSize(FileSystemKind::Fat, 0x100000000ULL));
  EXPECT_FALSE(HoldsFileSize(FileSystemKind::Fat, ~std::uint64_t{0}));
  for (FileSystemKind kind : {FileSystemKind::ExFat, FileSystemKind::Exact, FileSystemKind::Other})
    EXPECT_TRUE(HoldsFileSize(kind, std::uint64_t{1} << 40));
}

// ---- the POSIX adapter keeps times as its drive's file system does -----------------

class PlayedDrive : public ::testing::Test {
 protected:
  // Makes T: play file_system; false (and the test skipped) on an adapter that cannot.
  bool Play(const char* file_system) { return box_.PlayFileSystem('T', file_system); }
  FileTime TimeOf(const std::string& path) {
    FileInfo info;
    EXPECT_TRUE(test::Succeeded(box_.fs().GetInfo(path, &info))) << path;
    return info.last_write;
  }
  FileTime Given(const std::string& path, FileTime time) {
    EXPECT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime(path, time))) << path;
    return TimeOf(path);
  }
  // The time a file written through a handle keeps once it is closed (or flushed).
  FileTime WrittenWith(const std::string& path, FileTime time, bool flush) {
    std::unique_ptr<WritableFile> out;
    EXPECT_TRUE(test::Succeeded(box_.fs().CreateNew(path, &out))) << path;
    if (!out) return 0;
    EXPECT_TRUE(test::Succeeded(out->Write("x", 1)));
    EXPECT_TRUE(test::Succeeded(out->SetLastWriteTime(time)));
    if (flush) {
      EXPECT_TRUE(test::Succeeded(out->Flush()));
      const FileTime flushed = TimeOf(path);
      EXPECT_TRUE(test::Succeeded(out->Close()));
      EXPECT_EQ(TimeOf(path), flushed);
      return flushed;
    }
    EXPECT_TRUE(test::Succeeded(out->Close()));
    return TimeOf(path);
  }

  Sandbox box_;
};

TEST_F(PlayedDrive, FatKeepsEvenSecondsRoundedUpWithinItsRange) {
  if (!Play("FAT32")) GTEST_SKIP() << "the " << Sandbox::AdapterName() << " adapter cannot play FAT";
  box_.Write("T:\\a.txt", "a");
  EXPECT_EQ(Given("T:\\a.txt", kEven), kEven);
  EXPECT_EQ(Given("T:\\a.txt", kEven + kSec), kEven + 2 * kSec);
  EXPECT_EQ(Given("T:\\a.txt", kEven + 300 * kMs), kEven + 2 * kSec);
  EXPECT_EQ(Given("T:\\a.txt", kUnixEpoch), kFatEarliest);
  EXPECT_EQ(Given("T:\\a.txt", kFatLatest + 3 * kSec), kFatLatest);
  EXPECT_EQ(WrittenWith("T:\\b.txt", kEven + 3 * kSec + 1, false), kEven + 4 * kSec);
  EXPECT_EQ(WrittenWith("T:\\c.txt", kEven + 5 * kSec, true), kEven + 6 * kSec);
  // Other drives keep what they are given.
  box_.Write("S:\\a.txt", "a");
  EXPECT_EQ(Given("S:\\a.txt", kEven + kSec + 1), kEven + kSec + 1);
}

TEST_F(PlayedDrive, ExFatKeepsTenMilliseconds) {
  if (!Play("exFAT")) GTEST_SKIP() << "the " << Sandbox::AdapterName() << " adapter cannot play exFAT";
  box_.Write("T:\\a.txt", "a");
  EXPECT_EQ(Given("T:\\a.txt", kEven + kSec + 1234567), kEven + kSec + 1200000);
  EXPECT_EQ(Given("T:\\a.txt", kUnixEpoch), kFatEarliest);
  EXPECT_EQ(WrittenWith("T:\\b.txt", kEven + 19 * kMs + 1, false), kEven + 10 * kMs);
}

TEST_F(PlayedDrive, NtfsAndUnknownFileSystemsKeepTheTimeAsGiven) {
  for (const char* name : {"NTFS", "NFS"}) {
    if (!Play(name)) GTEST_SKIP() << "the " << Sandbox::AdapterName() << " adapter cannot play " << name;
    const std::string path = std::string("T:\\") + name + ".txt";
    box_.Write(path, "a");
    EXPECT_EQ(Given(path, kEven + 1234567), kEven + 1234567) << name;
    EXPECT_EQ(Given(path, kUnixEpoch + 1), kUnixEpoch + 1) << name;
    EXPECT_EQ(WrittenWith(path + "2", kEven + 1, false), kEven + 1) << name;
  }
}

TEST_F(PlayedDrive, AFatFileCannotGrowPastFourGibibytes) {
  if (!Play("FAT32")) GTEST_SKIP() << "the " << Sandbox::AdapterName() << " adapter cannot play FAT";
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(box_.fs().CreateNew("T:\\big.bin", &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("abc", 3)));
  // The size is refused before a byte is taken from the buffer, so a small buffer can
  // stand for 4 GiB: the file would end one byte past the limit.
  const char small[1] = {'x'};
  const Status s = out->Write(small, static_cast<std::size_t>(kFatMaxFileSize - 3 + 1));
  EXPECT_EQ(s.code, err::kDiskFull);
  ASSERT_TRUE(test::Succeeded(out->Close()));
  EXPECT_EQ(box_.Read("T:\\big.bin"), "abc");
}

}  // namespace
}  // namespace bk::test
