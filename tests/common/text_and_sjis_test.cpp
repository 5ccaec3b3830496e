#include <gtest/gtest.h>

#include "common/crc32.hpp"
#include "platform/shift_jis.hpp"
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

TEST(ShiftJis, LetterCaseFoldsAsTheFileSystemComparesNames) {
  using sjis::EqualFoldingLetterCase;
  EXPECT_TRUE(EqualFoldingLetterCase("bk", "BK"));
  EXPECT_TRUE(EqualFoldingLetterCase("Ｂｋ", "ＢＫ"));
  EXPECT_TRUE(EqualFoldingLetterCase("ａｚ", "ＡＺ"));  // both ends of the full-width alphabet
  EXPECT_TRUE(EqualFoldingLetterCase("αω", "ΑΩ"));
  EXPECT_TRUE(EqualFoldingLetterCase("Ωα", "ωΑ"));
  EXPECT_TRUE(EqualFoldingLetterCase("аёнояЖ", "АЁНОЯж"));  // о..я lie past the gap at 0x847F
  EXPECT_TRUE(EqualFoldingLetterCase("a\x82", "A\x82"));    // a lone lead byte at the end stays as it is

  // Letters of one script never meet another's, nor ASCII.
  EXPECT_FALSE(EqualFoldingLetterCase("ａ", "a"));
  EXPECT_FALSE(EqualFoldingLetterCase("Ａ", "Α"));  // full-width A, Greek Alpha
  EXPECT_FALSE(EqualFoldingLetterCase("А", "Α"));   // Cyrillic A, Greek Alpha
  EXPECT_FALSE(EqualFoldingLetterCase("bk", "bkx"));

  // Trail bytes are no letters: ヂ (0x83 0x61) is not ア (0x83 0x41), 蛎 (0x8A 0x61) not
  // 晦 (0x8A 0x41). Kana, kanji and half-width katakana have no case: ｧ (0xA7) is not ﾇ (0xC7).
  ASSERT_EQ(std::string_view("ヂ"), "\x83\x61");
  EXPECT_FALSE(EqualFoldingLetterCase("ヂ", "ア"));
  EXPECT_FALSE(EqualFoldingLetterCase("蛎", "晦"));
  EXPECT_FALSE(EqualFoldingLetterCase("あ", "ア"));
  EXPECT_FALSE(EqualFoldingLetterCase("ｧ", "ﾇ"));
  EXPECT_FALSE(EqualFoldingLetterCase("ぁ", "ｚ"));  // ぁ (0x829F) follows ｚ (0x829A) closely
  EXPECT_TRUE(EqualFoldingLetterCase("表ソ能", "表ソ能"));
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

TEST(LineReader, ACutLineNeverEndsInHalfACharacter) {
  // 258 single bytes and あ: the 259-byte cut would keep あ's lead byte alone.
  const std::string long_line = std::string(258, 'x') + "あいう";
  const std::string even = std::string(257, 'x') + "あいう";  // あ fits whole in 259 bytes
  const std::string text = long_line + "\n" + even + "\r\nnext\n";
  LineReader reader(text);
  std::string_view line;
  ASSERT_TRUE(reader.ReadLine(&line));
  EXPECT_EQ(line, std::string(258, 'x'));
  EXPECT_FALSE(sjis::EndsWithLeadByte(line));
  ASSERT_TRUE(reader.ReadLine(&line));
  EXPECT_EQ(line, std::string(257, 'x') + "あ");
  ASSERT_TRUE(reader.ReadLine(&line));
  EXPECT_EQ(line, "next");  // the cut-off rest is never a line of its own

  // ソ's trail byte is a backslash (0x5C) and counts with its lead byte: 129 ソ are 258
  // bytes, the 130th would straddle the cut.
  std::string so;
  for (int i = 0; i < 131; ++i) so += "ソ";
  LineReader sos(so);
  ASSERT_TRUE(sos.ReadLine(&line));
  EXPECT_EQ(line.size(), 258u);
  EXPECT_EQ(line, so.substr(0, 258));
}

TEST(TextFiles, CreatedFilesStartFromTheTemplateAndAreRewrittenWhole) {
  test::Sandbox box;
  ASSERT_TRUE(test::Succeeded(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "a long first content\n")));
  ASSERT_TRUE(test::Succeeded(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "short\n")));
  EXPECT_EQ(box.Read("BkList\\x.txt"), "short\n");
  EXPECT_FALSE(box.Exists(TemporaryNameFor("BkList\\x.txt")));
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(test::Succeeded(CreateTextFile(box.fs(), "BkList\\y.tmp", &out)));
  ASSERT_TRUE(test::Succeeded(out->Write("z\n", 2)));
  ASSERT_TRUE(test::Succeeded(out->Close()));
  EXPECT_EQ(box.Read("BkList\\y.tmp"), "z\n");
}

TEST(TextFiles, WorksWithoutTheTemplate) {
  test::Sandbox box;
  ASSERT_TRUE(test::Succeeded(box.fs().DeleteFile(kTemplatePath)));
  ASSERT_TRUE(test::Succeeded(ReplaceFileWhole(box.fs(), "BkList\\x.txt", "still written\n")));
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

TEST(TextFiles, AWholeReadGivesEveryByteOrNothing) {
  test::Sandbox box;
  // Sizes around the chunk a big file is read in, and far above it.
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{256 * 1024 - 1},
                                 std::size_t{256 * 1024}, std::size_t{256 * 1024 + 1}, std::size_t{1500000}}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    box.Write("BkList\\big.ini", bytes);
    std::string read = "left over";
    ASSERT_TRUE(test::Succeeded(ReadWholeFile(box.fs(), "BkList\\big.ini", &read))) << size;
    EXPECT_TRUE(read == bytes) << size;
    // A read that breaks off half-way gives an error and no half text.
    FaultFileSystem faulty(box.fs());
    faulty.Add({FsOp::Read, "big.ini", err::kNotReady, 0, -1, size / 2});
    read = "left over";
    if (size > 0) {
      EXPECT_FALSE(ReadWholeFile(faulty, "BkList\\big.ini", &read).ok()) << size;
      EXPECT_TRUE(read.empty()) << size;
    }
  }
}

TEST(TextFiles, AFileThatChangedSizeSinceItWasOpenedIsReadWhole) {
  // The open file tells a size, then another program writes on or cuts it short: the read
  // goes by what the reads give, never by the size told.
  test::Sandbox box;
  for (const auto& [actual, told] : {std::pair<std::size_t, std::uint64_t>{1500000, 300000},
                                     {300000, 1500000}, {1500000, 10}, {10, 1500000}}) {
    std::string bytes(actual, '\0');
    for (std::size_t i = 0; i < actual; ++i) bytes[i] = static_cast<char>((i * 7 + i / 4099) & 0xFF);
    box.Write("BkList\\changing.ini", bytes);
    FaultFileSystem faulty(box.fs());
    faulty.SetOpenFileSize("changing.ini", told);
    std::string read;
    ASSERT_TRUE(test::Succeeded(ReadWholeFile(faulty, "BkList\\changing.ini", &read))) << actual << " told " << told;
    EXPECT_TRUE(read == bytes) << actual << " told " << told;
  }
}

}  // namespace
}  // namespace bk
