#include <gtest/gtest.h>

#include "common/crc32.hpp"
#include "common/shift_jis.hpp"
#include "common/text_file.hpp"
#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(ShiftJis, LiteralsAreCodePage932Bytes) {
  // The report name begins with the ideographic space 0x81 0x40; 表 is 0x95 0x5C.
  const std::string_view report = "　エラー報告.txt";
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(report[0]), 0x81);
  EXPECT_EQ(static_cast<unsigned char>(report[1]), 0x40);
  EXPECT_EQ(std::string_view("表"), "\x95\x5C");
}

TEST(ShiftJis, SeparatorsSkipTrailBytes) {
  const std::string_view path = "C:\\データ表\\ソ";  // both names end in the byte 0x5C
  const std::size_t last = sjis::LastSeparator(path);
  EXPECT_EQ(path.substr(last + 1), "ソ");
  EXPECT_EQ(sjis::NextSeparator(path, 3), path.size() - 3);
  EXPECT_EQ(sjis::LastSeparator("表"), std::string_view::npos);
  EXPECT_EQ(sjis::LastSeparator("a\\b\\"), 3u);
}

TEST(ShiftJis, CutsNeverSplitACharacter) {
  EXPECT_EQ(sjis::CutAtCharBoundary("abc", 5), "abc");
  EXPECT_EQ(sjis::CutAtCharBoundary("aあい", 2), "a");   // あ would straddle byte 2
  EXPECT_EQ(sjis::CutAtCharBoundary("aあい", 3), "aあ");
  EXPECT_TRUE(sjis::EndsWithLeadByte("a\x82"));
  EXPECT_FALSE(sjis::EndsWithLeadByte("aあ"));
  EXPECT_EQ(sjis::AsciiUpper("bk表x"), "BK表X");
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc32Table()("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32Table()(""), 0u);
}

TEST(LineReader, AcceptsLfAndCrLfAndCutsLongLines) {
  std::string text = "one\r\ntwo\n\nthree";
  text += "\n" + std::string(300, 'x') + "TAIL\nafter\n";
  LineReader reader(text);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadLine(&line)) lines.emplace_back(line);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "three");
  EXPECT_EQ(lines[4], std::string(259, 'x'));  // the rest of the long line is not a line
  EXPECT_EQ(lines[5], "after");
}

TEST(TextFiles, CreatedFilesStartFromTheTemplateAndAreRewrittenWhole) {
  test::Sandbox box;
  ASSERT_TRUE(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "a long first content\n").ok());
  ASSERT_TRUE(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "short\n").ok());
  EXPECT_EQ(box.Read("BkList\\x.txt"), "short\n");
  EXPECT_FALSE(box.Exists(TemporaryNameFor("BkList\\x.txt")));
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(CreateTextFile(box.fs(), "BkList\\y.tmp", &out).ok());
  ASSERT_TRUE(out->Write("z\n", 2).ok());
  ASSERT_TRUE(out->Close().ok());
  EXPECT_EQ(box.Read("BkList\\y.tmp"), "z\n");
}

TEST(TextFiles, WorksWithoutTheTemplate) {
  test::Sandbox box;
  ASSERT_TRUE(box.fs().DeleteFile(kTemplatePath).ok());
  ASSERT_TRUE(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "still written\n").ok());
  EXPECT_EQ(box.Read("BkList\\x.txt"), "still written\n");
}

TEST(TextFiles, AFailedReplacementLeavesTheOldFile) {
  test::Sandbox box;
  box.Write("BkList\\ToDrive.txt", "old\n");
  const Fault faults[] = {
      {FsOp::Rename, "ToDrive", err::kAccessDenied},
      {FsOp::Write, "ToDrive", err::kDiskFull, 0, -1, 3},
      {FsOp::CloseWrite, "ToDrive", err::kDiskFull},
      {FsOp::CreateWrite, "ToDrive", err::kAccessDenied},
  };
  for (const Fault& f : faults) {
    FaultFileSystem faulty(box.fs());
    faulty.Add(f);
    EXPECT_FALSE(ReplaceFileWhole(faulty, "BkList\\ToDrive.txt", "new content\n").ok());
    EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "old\n");
    EXPECT_FALSE(box.Exists(TemporaryNameFor("BkList\\ToDrive.txt")));
  }
}

}  // namespace
}  // namespace bk
