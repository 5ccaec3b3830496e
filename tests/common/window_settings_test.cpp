#include "common/window_settings.hpp"

#include <gtest/gtest.h>

#include "common/text_file.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

TEST(WindowSettings, DefaultsAndTheResetFile) {
  test::Sandbox box;
  EXPECT_EQ(LoadWindowSettings(box.fs()), WindowSettings{});  // no file
  ASSERT_TRUE(ResetWindowSettings(box.fs()).ok());
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), kDefaultSizePos);
  ASSERT_TRUE(ResetWindowSettings(box.fs()).ok());  // twice gives the same file
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), kDefaultSizePos);
  const WindowSettings w = LoadWindowSettings(box.fs());
  EXPECT_EQ(w, WindowSettings{});
  EXPECT_FALSE(HasPosition(w.settings_x, w.settings_y));
}

TEST(WindowSettings, SaveWritesNoFinalLineFeedAndReadsBack) {
  test::Sandbox box;
  WindowSettings w;
  w.char_size = 12;
  w.registration_x = 0;
  w.registration_y = 77777;  // a marker only when both coordinates hold it
  w.backup_x = -1;
  w.reference_height = 640;
  w.extra_height = -32;
  ASSERT_TRUE(SaveWindowSettings(box.fs(), w).ok());
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"),
            "12\n77777\n77777\n00000\n77777\n-0001\n77777\n77777\n77777\n00640\n-0032");
  EXPECT_EQ(LoadWindowSettings(box.fs()), w);
  EXPECT_TRUE(HasPosition(w.registration_x, w.registration_y));
}

TEST(WindowSettings, ReadsOnlyTheLeadingCharactersOfEachLine) {
  const WindowSettings w = ParseWindowSettings("125\r\n123456\n-12x\n  42\nabc\n");
  EXPECT_EQ(w.char_size, 12);  // "125" is read as its first two digits
  EXPECT_EQ(w.dialog_x, 12345);
  EXPECT_EQ(w.dialog_y, -12);
  EXPECT_EQ(w.registration_x, 42);
  EXPECT_EQ(w.registration_y, 0);
  EXPECT_EQ(w.backup_x, kNoPosition);  // fewer lines: defaults
  EXPECT_EQ(w.extra_height, 0);
}

TEST(WindowSettings, UnusableCharacterSizesBecomeSeven) {
  EXPECT_EQ(ParseWindowSettings("00\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("-5\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("x\n").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("").char_size, 7);
  EXPECT_EQ(ParseWindowSettings("3\n").char_size, 3);  // out of the offered range, kept
  EXPECT_EQ(ParseWindowSettings("99\n").char_size, 99);
}

TEST(WindowSettings, RememberedPositionsNeverGoBelowZero) {
  EXPECT_EQ(RememberedX(100, 4), 92);
  EXPECT_EQ(RememberedX(5, 4), 0);
  EXPECT_EQ(RememberedY(100, 4, 23), 69);
  EXPECT_EQ(RememberedY(10, 4, 23), 0);
}

TEST(WindowSettings, LoadCharSizeFallsBackToSeven) {
  test::Sandbox box;
  EXPECT_EQ(LoadCharSize(box.fs()), 7);
  box.Write("BkList\\SizePos.txt", "09\n");
  EXPECT_EQ(LoadCharSize(box.fs()), 9);
}

}  // namespace
}  // namespace bk
