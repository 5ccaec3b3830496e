#include "platform/file_copy.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/path_limit.hpp"
#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

using test::Sandbox;

constexpr FileTime kSourceTime = 133486574450000000ULL;

class FileCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.Write("S:\\src\\big.bin", std::string(3 * kCopyChunkBytes + 123, 'n'));
    ASSERT_TRUE(test::Succeeded(box_.fs().SetLastWriteTime("S:\\src\\big.bin", kSourceTime)));
    box_.Write("T:\\BK\\src\\big.bin", "previous good copy");
  }
  void ExpectOldCopyIntact() {
    EXPECT_EQ(box_.Read("T:\\BK\\src\\big.bin"), "previous good copy");
    EXPECT_FALSE(box_.Exists(CopyTemporaryName("T:\\BK\\src\\big.bin")));
  }
  Sandbox box_;
};

TEST_F(FileCopyTest, ReplacesTheCopyWithProgressAndTheSourceTime) {
  std::vector<std::uint64_t> calls;
  CopyOptions options;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_EQ(total, 3 * kCopyChunkBytes + 123);
    calls.push_back(done);
  };
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin", options)));
  EXPECT_EQ(calls.size(), 5u);  // at the start, then after each chunk
  EXPECT_EQ(calls.front(), 0u);
  EXPECT_EQ(calls.back(), 3 * kCopyChunkBytes + 123);
  EXPECT_EQ(box_.Read("T:\\BK\\src\\big.bin"), std::string(3 * kCopyChunkBytes + 123, 'n'));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo("T:\\BK\\src\\big.bin", &info)));
  EXPECT_EQ(info.last_write, kSourceTime);
  EXPECT_FALSE(box_.Exists(CopyTemporaryName("T:\\BK\\src\\big.bin")));
}

// The engine takes the copy's description for what a listing would show of it.
TEST_F(FileCopyTest, DescribesTheCopyAsItsFolderListsIt) {
  for (const char* destination : {"T:\\BK\\src\\big.bin", "T:\\BK\\src\\fresh.bin"}) {
    SCOPED_TRACE(destination);
    FileInfo copy;
    ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", destination, {}, &copy)));
    std::vector<FileInfo> entries;
    ASSERT_TRUE(test::Succeeded(box_.fs().ListFolder("T:\\BK\\src", &entries)));
    const auto listed = std::find_if(entries.begin(), entries.end(), [&](const FileInfo& e) { return e.name == copy.name; });
    ASSERT_NE(listed, entries.end()) << copy.name;
    EXPECT_EQ(copy.size, listed->size);
    EXPECT_EQ(copy.last_write, listed->last_write);
    EXPECT_EQ(copy.attributes & attr::kBasic, listed->attributes & attr::kBasic);
    EXPECT_FALSE(copy.is_directory());
  }
}

TEST_F(FileCopyTest, AGivenStampWinsOverTheSourceTime) {
  CopyOptions options;
  options.stamp = kSourceTime - 10000000;
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\new.bin", options)));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo("T:\\new.bin", &info)));
  EXPECT_EQ(info.last_write, kSourceTime - 10000000);
}

TEST_F(FileCopyTest, CancelStopsTheCopyAndKeepsTheOldCopy) {
  std::atomic<int> cancel{0};
  CopyOptions options;
  options.cancel = &cancel;
  options.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done > 0) cancel = 1;  // the abort key, after the first chunk
  };
  const Status s = CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin", options);
  EXPECT_EQ(s.code, err::kRequestAborted);
  ExpectOldCopyIntact();
}

TEST_F(FileCopyTest, APendingCancelStopsTheCopyBeforeItStarts) {
  std::atomic<int> cancel{1};
  CopyOptions options;
  options.cancel = &cancel;
  EXPECT_EQ(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin", options).code,
            err::kRequestAborted);
  ExpectOldCopyIntact();
}

TEST_F(FileCopyTest, ACancelAfterTheLastByteNoLongerUndoesTheCopy) {
  box_.Write("S:\\src\\small.txt", "tiny");
  std::atomic<int> cancel{0};
  CopyOptions options;
  options.cancel = &cancel;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    if (done == total) cancel = 1;
  };
  EXPECT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\small.txt", "T:\\small.txt", options)));
  EXPECT_EQ(box_.Read("T:\\small.txt"), "tiny");
}

TEST_F(FileCopyTest, FailuresHalfWayKeepTheOldCopyAndReportTheFailingStep) {
  struct Case {
    const char* what;
    Fault fault;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"read breaks off", {FsOp::Read, "big.bin", err::kIoDevice, 0, -1, kCopyChunkBytes + 10}, err::kIoDevice},
      {"disk fills up", {FsOp::Write, ".~bk", err::kDiskFull, 0, -1, 2 * kCopyChunkBytes}, err::kDiskFull},
      {"close fails", {FsOp::CloseWrite, ".~bk", err::kDiskFull}, err::kDiskFull},
      {"rename fails", {FsOp::Rename, "big.bin", err::kAccessDenied}, err::kAccessDenied},
      {"cannot create", {FsOp::CreateWrite, ".~bk", err::kAccessDenied}, err::kAccessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultFileSystem faulty(box_.fs());
    faulty.Add(c.fault);
    const Status s = CopyFileReplacing(faulty, "S:\\src\\big.bin", "T:\\BK\\src\\big.bin");
    EXPECT_EQ(s.code, c.expected);
    EXPECT_GT(faulty.failures(), 0);
    ExpectOldCopyIntact();
  }
}

TEST_F(FileCopyTest, AGoneDriveFailsWithoutTouchingTheDestination) {
  FaultFileSystem faulty(box_.fs());
  faulty.RemoveDrive('S');
  EXPECT_EQ(CopyFileReplacing(faulty, "S:\\src\\big.bin", "T:\\BK\\src\\big.bin").code, err::kNotReady);
  ExpectOldCopyIntact();
}

TEST_F(FileCopyTest, ReadOnlyAndHiddenOldCopiesAreReplaced) {
  ASSERT_TRUE(test::Succeeded(box_.fs().SetAttributes("T:\\BK\\src\\big.bin", attr::kReadOnly | attr::kHidden)));
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin")));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo("T:\\BK\\src\\big.bin", &info)));
  EXPECT_EQ(info.size, 3 * kCopyChunkBytes + 123);
  EXPECT_EQ(info.attributes & attr::kReadOnly, 0u);
}

TEST_F(FileCopyTest, AReadOnlySourceGivesAReadOnlyCopy) {
  ASSERT_TRUE(test::Succeeded(box_.fs().SetAttributes("S:\\src\\big.bin", attr::kReadOnly)));
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin")));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo("T:\\BK\\src\\big.bin", &info)));
  EXPECT_NE(info.attributes & attr::kReadOnly, 0u);
  // ...and the next copy over it still succeeds.
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\big.bin")));
  (void)box_.fs().SetAttributes("S:\\src\\big.bin", 0);
  (void)box_.fs().SetAttributes("T:\\BK\\src\\big.bin", 0);
}

TEST_F(FileCopyTest, AMissingSourceIsNotFound) {
  EXPECT_TRUE(IsNotFound(CopyFileReplacing(box_.fs(), "S:\\src\\gone.bin", "T:\\BK\\src\\gone.bin")));
  EXPECT_FALSE(box_.Exists("T:\\BK\\src\\gone.bin"));
}

// A file with no copy yet: straight to its name, never flushed; a failure leaves nothing.
class NewCopyTest : public FileCopyTest {
 protected:
  static constexpr const char* kNew = "T:\\BK\\src\\new.bin";
  void ExpectNothingAtTheDestination() {
    EXPECT_FALSE(box_.Exists(kNew));
    EXPECT_FALSE(box_.Exists(CopyTemporaryName(kNew)));
  }
};

TEST_F(NewCopyTest, GoesStraightToItsNameWithoutTemporaryFileOrFlush) {
  FaultFileSystem faulty(box_.fs());
  // Were a temporary file or a rename tried, the copy would fail.
  faulty.Add({FsOp::CreateWrite, ".~bk", err::kAccessDenied});
  faulty.Add({FsOp::Rename, "", err::kAccessDenied});
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(faulty, "S:\\src\\big.bin", kNew)));
  EXPECT_EQ(faulty.failures(), 0);
  EXPECT_EQ(faulty.created_new(), std::vector<std::string>{kNew});
  EXPECT_TRUE(faulty.flushed().empty());
  EXPECT_TRUE(box_.Read(kNew) == std::string(3 * kCopyChunkBytes + 123, 'n'));
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo(kNew, &info)));
  EXPECT_EQ(info.last_write, kSourceTime);
}

TEST_F(NewCopyTest, AFailedOrCancelledNewCopyIsDeleted) {
  struct Case {
    const char* what;
    Fault fault;
  };
  const Case cases[] = {
      {"read breaks off", {FsOp::Read, "big.bin", err::kIoDevice, 0, -1, kCopyChunkBytes + 10}},
      {"disk fills up", {FsOp::Write, "new.bin", err::kDiskFull, 0, -1, 2 * kCopyChunkBytes}},
      {"close fails", {FsOp::CloseWrite, "new.bin", err::kDiskFull}},
      {"attributes refused", {FsOp::SetAttributes, "new.bin", err::kAccessDenied, 0, 1}},
  };
  ASSERT_TRUE(test::Succeeded(box_.fs().SetAttributes("S:\\src\\big.bin", attr::kHidden)));  // so they are set
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultFileSystem faulty(box_.fs());
    faulty.Add(c.fault);
    EXPECT_EQ(CopyFileReplacing(faulty, "S:\\src\\big.bin", kNew).code, c.fault.code);
    EXPECT_GT(faulty.failures(), 0);
    ExpectNothingAtTheDestination();
  }
  std::atomic<int> cancel{0};
  CopyOptions options;
  options.cancel = &cancel;
  options.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done > 0) cancel = 1;
  };
  EXPECT_EQ(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", kNew, options).code, err::kRequestAborted);
  ExpectNothingAtTheDestination();
  (void)box_.fs().SetAttributes("S:\\src\\big.bin", 0);
}

// A copy cut off as by a crash (nothing runs after the break, not even the clean-up):
// what it leaves is shorter and carries the time of its writing, never the source's, so
// the next run sees it changed.
TEST_F(NewCopyTest, ACopyCutOffLikeACrashNeverCarriesTheSourceTime) {
  FaultFileSystem faulty(box_.fs());
  faulty.Add({FsOp::Write, "new.bin", err::kIoDevice, 0, -1, kCopyChunkBytes + 1});
  faulty.Add({FsOp::DeleteFile, "new.bin", err::kNotReady});
  faulty.Add({FsOp::SetAttributes, "new.bin", err::kNotReady});
  EXPECT_FALSE(CopyFileReplacing(faulty, "S:\\src\\big.bin", kNew).ok());
  FileInfo info;
  ASSERT_TRUE(test::Succeeded(box_.fs().GetInfo(kNew, &info)));
  EXPECT_EQ(info.size, kCopyChunkBytes + 1);
  EXPECT_NE(info.last_write, kSourceTime);
}

TEST_F(NewCopyTest, ACopyFoundThereAfterAllIsReplacedSafely) {
  // The caller saw no copy, but one is there: the creation refuses to touch it, and the
  // copy goes over it by the temporary file, flushed.
  FaultFileSystem faulty(box_.fs());
  ASSERT_TRUE(test::Succeeded(box_.fs().SetAttributes("T:\\BK\\src\\big.bin", attr::kReadOnly)));
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(faulty, "S:\\src\\big.bin", "T:\\BK\\src\\big.bin")));
  EXPECT_TRUE(box_.Read("T:\\BK\\src\\big.bin") == std::string(3 * kCopyChunkBytes + 123, 'n'));
  EXPECT_TRUE(faulty.created_new().empty());
  EXPECT_EQ(faulty.flushed(), std::vector<std::string>{CopyTemporaryName("T:\\BK\\src\\big.bin")});
  // A folder of the copy's name is left alone and the copy fails.
  ASSERT_TRUE(test::Succeeded(box_.fs().CreateFolderChain("T:\\BK\\src\\dir.bin")));
  box_.Write("T:\\BK\\src\\dir.bin\\inside.txt", "kept");
  EXPECT_FALSE(CopyFileReplacing(box_.fs(), "S:\\src\\big.bin", "T:\\BK\\src\\dir.bin").ok());
  EXPECT_EQ(box_.Read("T:\\BK\\src\\dir.bin\\inside.txt"), "kept");
  EXPECT_FALSE(box_.Exists(CopyTemporaryName("T:\\BK\\src\\dir.bin")));
}

TEST_F(FileCopyTest, AnOverwriteFlushesItsTemporaryFileBeforeTheRename) {
  CopyOptions options;
  options.destination_present = true;
  FaultFileSystem faulty(box_.fs());
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(faulty, "S:\\src\\big.bin", "T:\\BK\\src\\big.bin", options)));
  EXPECT_EQ(faulty.flushed(), std::vector<std::string>{CopyTemporaryName("T:\\BK\\src\\big.bin")});
  EXPECT_TRUE(faulty.created_new().empty());
  // Bytes that could not be brought to the disk never replace the good copy.
  box_.Write("T:\\BK\\src\\big.bin", "previous good copy");
  FaultFileSystem refusing(box_.fs());
  refusing.Add({FsOp::Flush, ".~bk", err::kIoDevice});
  EXPECT_EQ(CopyFileReplacing(refusing, "S:\\src\\big.bin", "T:\\BK\\src\\big.bin", options).code, err::kIoDevice);
  ExpectOldCopyIntact();
}

}  // namespace
}  // namespace bk

namespace bk {
namespace {

TEST(CopyTemporary, ItsNameBeginsWithADotSoNoRegisteredFileCanHaveIt) {
  EXPECT_EQ(CopyTemporaryName("T:\\BK\\src\\big.bin"), "T:\\BK\\src\\.big.bin.~bk");
  EXPECT_EQ(CopyTemporaryName("T:\\BK\\表"), "T:\\BK\\.表.~bk");  // 0x5C as a trail byte
  EXPECT_EQ(CopyTemporaryName("x.~bk"), ".x.~bk.~bk");
  std::string_view base;
  ASSERT_TRUE(IsCopyTemporaryName(".x.~bk.~bk", &base));
  EXPECT_EQ(base, "x.~bk");
  ASSERT_TRUE(IsCopyTemporaryName(".表.~bk", &base));
  EXPECT_EQ(base, "表");
  for (const char* name : {"x.~bk", ".~bk", "..~bk", ".x", ".x.~bkk", "x", ""})
    EXPECT_FALSE(IsCopyTemporaryName(name, &base)) << name;
}

// The system holds 255 units per name, and the temporary name adds five: a long name
// gets a shortened temporary name that still fits, is still a dot name with the usual
// ending, and is told apart from another long name with the same start.
TEST(CopyTemporary, ALongNameGetsAShortenedTemporaryNameWithinTheNameLimit) {
  const std::string n250(250, 'n');
  EXPECT_EQ(CopyTemporaryName("T:\\BK\\" + n250), "T:\\BK\\." + n250 + ".~bk");
  EXPECT_FALSE(IsShortenedCopyTemporaryName("." + n250 + ".~bk"));

  const std::string a = std::string(241, 'n') + std::string(14, 'a');  // 255 units
  const std::string b = std::string(241, 'n') + std::string(14, 'b');
  const std::string c = std::string(251, 'n');
  for (const std::string& name : {a, b, c}) {
    const std::string tmp = CopyTemporaryName("T:\\BK\\" + name).substr(6);
    EXPECT_LE(Utf16Units(tmp), kMaxNameUnits);
    EXPECT_TRUE(tmp.starts_with("." + std::string(241, 'n') + "~")) << tmp;
    std::string_view base;
    EXPECT_TRUE(IsCopyTemporaryName(tmp, &base));
    EXPECT_TRUE(IsShortenedCopyTemporaryName(tmp));
    EXPECT_TRUE(IsCopyTemporaryFor(tmp, name));
  }
  EXPECT_NE(CopyTemporaryName(a), CopyTemporaryName(b));
  EXPECT_FALSE(IsCopyTemporaryFor(CopyTemporaryName(a), b));

  // Cut between characters: 255 表 keep 241 whole ones; an escape stays whole.
  std::string kanji;
  for (int i = 0; i < 255; ++i) kanji += "表";
  const std::string tmp = CopyTemporaryName(kanji);
  EXPECT_EQ(tmp.substr(0, 1 + 2 * 241), "." + kanji.substr(0, 2 * 241));
  EXPECT_EQ(Utf16Units(tmp), kMaxNameUnits);
  std::string escaped = std::string(240, 'e') + "\x1B" "2603" + std::string(14, 'e');
  EXPECT_EQ(CopyTemporaryName(escaped).substr(0, 1 + 245), "." + escaped.substr(0, 245));
  EXPECT_EQ(Utf16Units(CopyTemporaryName(escaped)), kMaxNameUnits);
}

TEST(CopyTemporary, ACopyOverAFileWithALongNameReplacesIt) {
  // 255 bytes is the most a name may have on the test disks as well: the plain temporary
  // name (260) could not be made there.
  Sandbox box;
  const std::string name(255, 'L');
  box.Write("S:\\d\\" + name, "new content");
  box.Write("T:\\BK\\d\\" + name, "old");
  CopyOptions options;
  options.destination_present = true;
  ASSERT_TRUE(test::Succeeded(CopyFileReplacing(box.fs(), "S:\\d\\" + name, "T:\\BK\\d\\" + name, options, nullptr)));
  EXPECT_EQ(box.Read("T:\\BK\\d\\" + name), "new content");
  std::vector<FileInfo> entries;
  ASSERT_TRUE(test::Succeeded(box.fs().ListFolder("T:\\BK\\d", &entries)));
  EXPECT_EQ(entries.size(), 1u);  // no temporary left
}

}  // namespace
}  // namespace bk
