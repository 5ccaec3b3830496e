#include "engine/run_window_layout.hpp"

#include <gtest/gtest.h>

namespace bk {
namespace {

TEST(BackupLayout, TheProgressLineShortensOnNarrowScreens) {
  ScreenFacts wide{0, 0, 1920, 1040, 4, 4, 23};
  BackupPlacement p = BackupWindowPlacement(7, 77777, 77777, wide);
  EXPECT_EQ(p.line_length, 100);
  EXPECT_EQ(p.rect.width, 735 + 8);
  EXPECT_EQ(p.rect.height, 70 + 8 + 23);
  EXPECT_EQ(p.rect.left, 960 - 743 / 2);
  EXPECT_EQ(p.rect.top, 1040 - 104 - 101);  // low in the centre
  ScreenFacts narrow{0, 0, 800, 600, 4, 4, 23};
  p = BackupWindowPlacement(12, 5, 6, narrow);
  EXPECT_EQ(p.rect.width, 784);
  EXPECT_EQ(p.line_length, (784 - 60 - 8) / 12);
  EXPECT_EQ(p.rect.left, 5);
}

}  // namespace
}  // namespace bk
