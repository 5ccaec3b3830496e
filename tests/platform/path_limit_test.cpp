#include "platform/path_limit.hpp"

#include <gtest/gtest.h>

#include <string>

namespace bk {
namespace {

std::string Escape(const char* hex) { return std::string("\x1B") + hex; }

// n units of one character.
std::string Repeat(const std::string& unit, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

TEST(PathLimit, CountsUtf16UnitsOfShiftJisText) {
  EXPECT_EQ(Utf16Units(""), 0u);
  EXPECT_EQ(Utf16Units("abc"), 3u);
  EXPECT_EQ(Utf16Units("表ソ"), 2u);                          // trail bytes 0x5C
  EXPECT_EQ(Utf16Units("ｱ"), 1u);                             // half-width katakana: one byte
  EXPECT_EQ(Utf16Units(Escape("2603") + "a"), 2u);           // an escape is one unit
  EXPECT_EQ(Utf16Units(Escape("D83D") + Escape("DE00")), 2u);  // a surrogate pair is two
  // Not an escape: lower-case or too few digits count byte by byte.
  EXPECT_EQ(Utf16Units(Escape("26a3")), 5u);
  EXPECT_EQ(Utf16Units(Escape("260")), 4u);
  EXPECT_EQ(Utf16Units("a\x81"), 2u);  // a lead byte left alone at the end
}

TEST(PathLimit, CutsOnlyBetweenCharacters) {
  const std::string text = "a表" + Escape("2603") + "b";
  EXPECT_EQ(BytesWithinUnits(text, 0), 0u);
  EXPECT_EQ(BytesWithinUnits(text, 1), 1u);
  EXPECT_EQ(BytesWithinUnits(text, 2), 3u);
  EXPECT_EQ(BytesWithinUnits(text, 3), 8u);
  EXPECT_EQ(BytesWithinUnits(text, 99), text.size());
}

TEST(PathLimit, EveryNameHoldsAtMost255Units) {
  for (const std::string& unit : {std::string("f"), std::string("表"), Escape("2603")}) {
    EXPECT_TRUE(PathFitsSystem("D:\\BK\\" + Repeat(unit, 255))) << unit;
    EXPECT_FALSE(PathFitsSystem("D:\\BK\\" + Repeat(unit, 256))) << unit;
    EXPECT_FALSE(PathFitsSystem("D:\\BK\\" + Repeat(unit, 256) + "\\a.txt")) << unit;  // a folder too
  }
  // 200 表 are 400 bytes, far beyond the old byte limit, and one name of 200 units: the
  // 0x5C trail bytes divide nothing.
  EXPECT_TRUE(PathFitsSystem("D:\\BK\\" + Repeat("表", 200)));
  EXPECT_FALSE(PathFitsSystem("D:\\BK\\" + Repeat("表", 128) + Repeat("ソ", 128)));
}

TEST(PathLimit, TheWholePathHoldsAtMost32767UnitsInItsLongForm) {
  // "\\?\" (4) + path + NUL (1) <= 32767: a drive path of 32762 units fits.
  auto drive_path = [](std::size_t units) {
    std::string path = "D:";
    while (path.size() + 201 <= units) path += "\\" + std::string(200, 'a');
    path += "\\" + std::string(units - path.size() - 1, 'b');
    return path;
  };
  ASSERT_EQ(drive_path(32762).size(), 32762u);
  EXPECT_TRUE(PathFitsSystem(drive_path(32762)));
  EXPECT_FALSE(PathFitsSystem(drive_path(32763)));
  // Counted in units, not bytes: 18 000 表 with their separators are 36 000 bytes.
  std::string wide = "D:";
  for (int i = 0; i < 90; ++i) wide += "\\" + Repeat("表", 200);
  EXPECT_GT(wide.size(), 32767u);
  EXPECT_TRUE(PathFitsSystem(wide));
  // A share's long form "\\?\UNC\server..." is two units longer than its plain form's "\\".
  const std::string share = "\\\\" + drive_path(32762).substr(2);
  EXPECT_FALSE(PathFitsSystem(share));
  EXPECT_TRUE(PathFitsSystem(share.substr(0, share.size() - 2)));
}

}  // namespace
}  // namespace bk
