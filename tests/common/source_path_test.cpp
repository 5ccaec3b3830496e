#include "common/source_path.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/drive_letter.hpp"
#include "common/list_buffer.hpp"

namespace bk {
namespace {

TEST(DriveLetter, IsAnUpperCaseLetterOrAbsent) {
  EXPECT_EQ(DriveLetter('d').upper(), 'D');
  EXPECT_EQ(DriveLetter('D'), DriveLetter('d'));
  EXPECT_EQ(DriveLetter('a').index(), 0u);
  EXPECT_EQ(DriveLetter('z').index(), 25u);
  for (char c : {'\0', '1', '@', '[', '`', '{', ':', '\\', static_cast<char>(0x82)}) EXPECT_FALSE(DriveLetter(c)) << c;
  EXPECT_FALSE(DriveLetter());
  EXPECT_EQ(DriveLetter('1'), DriveLetter());
}

TEST(DriveLetter, RootTextIsLetterColonBackslash) {
  EXPECT_EQ(DriveLetter('s').Root(), "S:\\");
  EXPECT_EQ(DriveLetter('#').Root(), "");
  EXPECT_EQ(DriveRoot('d'), "d:\\");  // a stored text keeps its case
  EXPECT_EQ(DriveLetter::OfPath("t:\\BK"), DriveLetter('T'));
  EXPECT_EQ(DriveLetter::OfPath("T:"), DriveLetter('T'));
  for (const char* path : {"", "T", "\\\\server\\share", "1:\\a", "TT:\\"}) EXPECT_FALSE(DriveLetter::OfPath(path)) << path;
}

TEST(DriveLetter, AnInvalidLetterHasNoLabel) {
  VolumeLabels labels;
  labels[0] = "FIRST";
  labels[25] = "LAST";
  labels[3] = "DATA";
  EXPECT_EQ(LabelOf(labels, DriveLetter('d')), "DATA");
  EXPECT_EQ(LabelOf(labels, DriveLetter('D')), "DATA");
  // Nothing is clamped to A or Z.
  for (char c : {'\0', '0', '@', '[', '~', static_cast<char>(0xFF)}) EXPECT_EQ(LabelOf(labels, DriveLetter(c)), "") << c;
}

TEST(SourcePath, DrivePathsBeginWithALetterColonAndBackslash) {
  for (const char* text : {"S:\\", "s:\\data", "Z:\\a\\b"}) EXPECT_TRUE(IsDrivePath(text)) << text;
  for (const char* text : {"", "S:", "S:a", "S\\", "1:\\", "@:\\", "\\\\server\\share", "SS:\\"})
    EXPECT_FALSE(IsDrivePath(text)) << text;
}

TEST(SourcePath, NamesBeginningWithADotAreSkipped) {
  EXPECT_TRUE(IsSkippedName(""));
  EXPECT_TRUE(IsSkippedName(".git"));
  EXPECT_TRUE(IsSkippedName(".a.txt.~bk"));
  EXPECT_FALSE(IsSkippedName("a.txt"));
  EXPECT_FALSE(IsSkippedName("表."));
}

TEST(SourcePath, OnlySourcesThatMapInsideTheDestinationAreContained) {
  EXPECT_TRUE(IsContainedSource("S:\\data", "a.txt"));
  EXPECT_TRUE(IsContainedSource("S:", "a.txt"));  // a file in a drive root
  EXPECT_TRUE(IsContainedSource("s:\\データ表\\ソ", "表"));  // 0x5C as a trail byte
  EXPECT_TRUE(IsContainedSource("S:\\data", kEmptyFolderMarker));
  EXPECT_TRUE(IsContainedSource("S:\\a.b\\c..d", "x..y"));
  for (const char* folder : {"S:\\", "S:\\data\\", "S:\\.", "S:\\..", "S:\\a\\..\\b", "S:\\a\\\\b", "S:\\a\\. ",
                             "S:\\...", "S:k", "S", "", "\\\\server\\share", "1:\\a", "S:\\a:b", "S:\\a/..", "S:\\a*"})
    EXPECT_FALSE(IsContainedSource(folder, "a.txt")) << folder;
  for (const char* name : {"", ".", "..", "..\\x", "a\\b", "x:y", "C:x", "a/b", "*", "a?", " .", "\b\b"})
    EXPECT_FALSE(IsContainedSource("S:\\data", name)) << name;
  // Characters beyond code page 932 travel as escapes (0x1B and four hex digits); only
  // one that stands for a control character, or a bare 0x1B, is refused.
  EXPECT_TRUE(IsContainedSource("S:\\caf\x1B" "00E9\\\x1B" "D842\x1B" "DFB7", "Beyonc\x1B" "00E9 \x1B" "2013.mp3"));
  EXPECT_TRUE(IsContainedSource("S:\\\x1B" "301C", "\x1B" "00A5"));
  // A second text of a character code page 932 holds ('A', 表) names nothing the system lists.
  for (const char* name : {"\x1B" "001B", "a\x1B" "0001", "\x1B", "\x1B" "00e9", "\x1B" "00E", "\x1B" "0041", "\x1B" "8868"})
    EXPECT_FALSE(IsContainedSource("S:\\data", name)) << name;
}

TEST(SourcePath, BareDeviceNamesAreNoPartOfASource) {
  // Bare names, also with the dots and spaces the plain form trims ("NUL." is NUL there).
  for (const char* name : {"CON", "prn", "Aux", "nul", "COM1", "LPT1", "lpt9", "CON ", "NUL.", "aux. .", "com1 "}) {
    EXPECT_FALSE(IsContainedSource("S:\\data", name)) << name;
    EXPECT_FALSE(IsContainedSource(std::string("S:\\data\\") + name + "\\x", "a.txt")) << name;
    EXPECT_FALSE(IsContainedSource(std::string("S:\\") + name, "a.txt")) << name;
  }
  // The adapters open every source and copy in the long form, where a device name with an
  // extension is an ordinary file.
  for (const char* name : {"CONSOLE", "console.txt", "NULL", "COM", "COM0", "COM10", "LPT", "xnul", "nul_",
                           "aux-data", "CON\x81\x40", "NUL.txt", "nul.tar.gz", "com9.log", "con .txt", "aux.c"}) {
    EXPECT_TRUE(IsContainedSource("S:\\data", name)) << name;
    EXPECT_TRUE(IsContainedSource(std::string("S:\\data\\") + name, "a.txt")) << name;
  }
}

}  // namespace
}  // namespace bk
