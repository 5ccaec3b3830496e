#include "common/progress_line.hpp"

#include <gtest/gtest.h>

namespace bk {
namespace {

TEST(ProgressLine, ShortNamesAreShownWholeAndLongOnesShortened) {
  const int n = 100;
  const std::string short_name(97, 'a');  // n - 3 bytes: whole
  EXPECT_EQ(ShortenedName(short_name, n), short_name);
  // Exactly n - 2 bytes is already shortened: 76 bytes, "...", the last 19.
  std::string name;
  for (int i = 0; i < 98; ++i) name += static_cast<char>('A' + i % 26);
  const std::string shown = ShortenedName(name, n);
  EXPECT_EQ(shown, name.substr(0, 76) + "..." + name.substr(98 - 19));
}

TEST(ProgressLine, DoubleByteCharactersAroundTheCutStayWhole) {
  const int n = 40;
  // 15 single bytes, then 2-byte characters: the start keeps characters beginning before
  // byte 16, the end those reaching into the last 19 bytes.
  std::string name(15, 'x');
  for (int i = 0; i < 20; ++i) name += "表";  // 0x95 0x5C
  const std::string shown = ShortenedName(name, n);
  // Start: 15 bytes + the character at 15..16 (begins before 16).
  EXPECT_EQ(shown.substr(0, 17), std::string(15, 'x') + "表");
  EXPECT_EQ(shown.substr(17, 3), "...");
  // End: name is 55 bytes; characters ending after byte 36 start at 37, 39, ... 53: ten
  // characters whose last one reaches byte 54.
  std::string tail;
  for (int i = 0; i < 10; ++i) tail += "表";
  EXPECT_EQ(shown.substr(20), tail);
  // A lead byte without its second byte ends the name.
  EXPECT_EQ(ShortenedName(std::string(50, 'y') + "\x95", 40).back(), 'y');
  EXPECT_EQ(ShortenedName("ab\x95", 40), "ab");
}

TEST(ProgressLine, TheLineIsPaddedToWipeOutALongerName) {
  EXPECT_EQ(NameLineText("abc", 10), "abc       ");
  EXPECT_EQ(NameLineText(std::string(30, 'z'), 10).size(), 3u + 19u);  // nothing to pad
}

TEST(ProgressLine, BarStaysBetweenItsEnds) {
  EXPECT_EQ(BarRight(7, 100, 0, 0), 14);      // a file under 1 MiB: left end
  EXPECT_EQ(BarRight(7, 100, 0, 10), 14);
  EXPECT_EQ(BarRight(7, 100, 5, 10), 357);    // half of 714
  EXPECT_EQ(BarRight(7, 100, 10, 10), 714);
  EXPECT_EQ(BarRight(7, 100, 12, 10), 714);   // never past the end
  EXPECT_EQ(ClearingPenWidth(7), 4);
  EXPECT_EQ(BarPenWidth(7), 3);
  EXPECT_EQ(ClearingPenWidth(12), 6);
}

}  // namespace
}  // namespace bk
