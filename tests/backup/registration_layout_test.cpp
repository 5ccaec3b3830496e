#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>

#include "backup/registration_layout.hpp"
#include "backup/search_delete.hpp"

namespace bk {
namespace {

// Pixels a text takes in the programs' fixed-pitch font: f per Shift-JIS byte.
int TextWidth(std::string_view text, int f) { return static_cast<int>(text.size()) * f; }

bool Overlap(const Zone& a, const Zone& b) {
  // Bounds are exclusive: zones that only share a bound share no pixel.
  return a.x0 + 1 < b.x1 && b.x0 + 1 < a.x1 && a.y0 + 1 < b.y1 && b.y0 + 1 < a.y1;
}

// The numbers the window has always used, at a client area of 84f + 30 by 520.
TEST(RegistrationLayout, PlacesEverythingWhereTheWindowAlwaysHasAtSmallMiddleAndLargeSizes) {
  {
    const int f = 4, w = 366, h = 520;
    const RegistrationChildren c = RegistrationChildrenFor(f, w, h);
    EXPECT_EQ(c.list, (Rect{8, 30, 350, 468}));
    EXPECT_EQ(c.search_box, (Rect{180, 13, 179, 12}));
    EXPECT_EQ(SearchBoxFirstRect(f), (Rect{180, 13, 40, 12}));
    EXPECT_EQ(SearchButtonRect(f), (Rect{8, 12, 156, 13}));
    EXPECT_EQ(SearchHelpMark(f), (Point{165, 15}));
    const TopLine top = RegistrationTopLine(f);
    EXPECT_EQ(top.y, 2);
    EXPECT_EQ(top.label_x, 8);
    EXPECT_EQ(top.count_x, 52);
    EXPECT_EQ(top.size_label_x, 140);
    EXPECT_EQ(top.size_x, 176);
    EXPECT_EQ(top.free_space_x, 228);
    const TypeRow row = RegistrationTypeRow(f, h);
    EXPECT_EQ(row.text_y, 504);
    const int xs[] = {8, 52, 112, 172, 224};
    const int from[] = {8, 51, 111, 171, 224};
    const int to[] = {48, 108, 168, 220, 272};
    for (std::size_t i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(row.types[i].x, xs[i]);
      EXPECT_EQ(row.types[i].zone.x0, from[i]);
      EXPECT_EQ(row.types[i].zone.x1, to[i]);
      EXPECT_EQ(row.types[i].zone.y0, 500);
      EXPECT_EQ(row.types[i].zone.y1, 520);
    }
    EXPECT_EQ(row.delete_x, 292);
    EXPECT_EQ(row.delete_zone.x0, 292);
    EXPECT_EQ(row.delete_zone.x1, 316);
    EXPECT_EQ(row.registration_help_x, 272);
    EXPECT_EQ(row.deletion_help_x, 316);
    EXPECT_EQ(LineClickPoint(f, 40), (Point{20, 44}));
    EXPECT_EQ(CentringScroll(f, 40, h), -192);
    EXPECT_EQ(ScrollToTop(f, 1000), -8176);
  }
  {
    const int f = 7, w = 618, h = 520;
    const RegistrationChildren c = RegistrationChildrenFor(f, w, h);
    EXPECT_EQ(c.list, (Rect{14, 53, 590, 429}));
    EXPECT_EQ(c.search_box, (Rect{315, 23, 290, 21}));
    EXPECT_EQ(SearchBoxFirstRect(f), (Rect{315, 23, 70, 21}));
    EXPECT_EQ(SearchButtonRect(f), (Rect{14, 21, 273, 23}));
    EXPECT_EQ(SearchHelpMark(f), (Point{289, 26}));
    const TopLine top = RegistrationTopLine(f);
    EXPECT_EQ(top.y, 3);
    EXPECT_EQ(top.label_x, 14);
    EXPECT_EQ(top.count_x, 91);
    EXPECT_EQ(top.size_label_x, 245);
    EXPECT_EQ(top.size_x, 308);
    EXPECT_EQ(top.free_space_x, 399);
    const TypeRow row = RegistrationTypeRow(f, h);
    EXPECT_EQ(row.text_y, 492);
    const int xs[] = {14, 91, 196, 301, 392};
    const int from[] = {14, 89, 194, 299, 392};
    const int to[] = {85, 189, 294, 385, 476};
    for (std::size_t i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(row.types[i].x, xs[i]);
      EXPECT_EQ(row.types[i].zone.x0, from[i]);
      EXPECT_EQ(row.types[i].zone.x1, to[i]);
      EXPECT_EQ(row.types[i].zone.y0, 485);
      EXPECT_EQ(row.types[i].zone.y1, 520);
    }
    EXPECT_EQ(row.delete_x, 511);
    EXPECT_EQ(row.delete_zone.x0, 511);
    EXPECT_EQ(row.delete_zone.x1, 553);
    EXPECT_EQ(row.registration_help_x, 476);
    EXPECT_EQ(row.deletion_help_x, 553);
    EXPECT_EQ(LineClickPoint(f, 40), (Point{35, 47}));
    EXPECT_EQ(CentringScroll(f, 40, h), -171);
    EXPECT_EQ(ScrollToTop(f, 1000), -14308);
  }
  {
    const int f = 12, w = 1038, h = 520;
    const RegistrationChildren c = RegistrationChildrenFor(f, w, h);
    EXPECT_EQ(c.list, (Rect{24, 91, 990, 364}));
    EXPECT_EQ(c.search_box, (Rect{540, 39, 475, 36}));
    EXPECT_EQ(SearchBoxFirstRect(f), (Rect{540, 39, 120, 36}));
    EXPECT_EQ(SearchButtonRect(f), (Rect{24, 36, 468, 40}));
    EXPECT_EQ(SearchHelpMark(f), (Point{495, 45}));
    const TopLine top = RegistrationTopLine(f);
    EXPECT_EQ(top.y, 6);
    EXPECT_EQ(top.count_x, 156);
    EXPECT_EQ(top.size_label_x, 420);
    EXPECT_EQ(top.size_x, 528);
    EXPECT_EQ(top.free_space_x, 684);
    const TypeRow row = RegistrationTypeRow(f, h);
    EXPECT_EQ(row.text_y, 472);
    const int xs[] = {24, 156, 336, 516, 672};
    const int from[] = {24, 153, 333, 513, 672};
    const int to[] = {146, 324, 504, 660, 816};
    for (std::size_t i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(row.types[i].x, xs[i]);
      EXPECT_EQ(row.types[i].zone.x0, from[i]);
      EXPECT_EQ(row.types[i].zone.x1, to[i]);
      EXPECT_EQ(row.types[i].zone.y0, 460);
    }
    EXPECT_EQ(row.delete_zone.x0, 876);
    EXPECT_EQ(row.delete_zone.x1, 948);
    EXPECT_EQ(row.registration_help_x, 816);
    EXPECT_EQ(row.deletion_help_x, 948);
    EXPECT_EQ(LineClickPoint(f, 40), (Point{60, 52}));
    EXPECT_EQ(CentringScroll(f, 40, h), -136);
    EXPECT_EQ(ScrollToTop(f, 1000), -24528);
  }
}

TEST(RegistrationLayout, TheSearchBoxGivesUpItsOwnCorrectionAtEachSize) {
  // The correction by size follows no formula: 9 gives up less than 8, 12 much more than 11.
  const int w = 1000;
  const int expected[] = {813, 766, 719, 672, 625, 579, 532, 485, 437};  // f = 4 .. 12
  for (int f = 4; f <= 12; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(RegistrationChildrenFor(f, w, 600).search_box.width, expected[f - 4]);
  }
  // Sizes the box never offers get the middle one.
  EXPECT_EQ(RegistrationChildrenFor(3, w, 600).search_box.width, 858);
  EXPECT_EQ(RegistrationChildrenFor(20, w, 600).search_box.width, 68);
}

TEST(RegistrationLayout, TypeBoxesHoldTheirTextsAndNoZonesOverlap) {
  for (int f = 1; f <= 40; ++f) {
    SCOPED_TRACE(f);
    const int h = 60 * f;
    const TypeRow row = RegistrationTypeRow(f, h);
    for (std::size_t i = 0; i < row.types.size(); ++i) {
      const TypeBox& box = row.types[i];
      EXPECT_EQ(box.type, static_cast<char>('1' + i));
      // The middle of each box's text is in its own zone and in no other.
      const int mid_x = box.x + TextWidth(box.text, f) / 2;
      const int mid_y = row.text_y + f;
      EXPECT_TRUE(box.zone.Contains(mid_x, mid_y));
      for (std::size_t j = 0; j < row.types.size(); ++j) {
        if (j == i) continue;
        EXPECT_FALSE(Overlap(box.zone, row.types[j].zone)) << i << " and " << j;
        EXPECT_FALSE(row.types[j].zone.Contains(mid_x, mid_y));
      }
      EXPECT_FALSE(Overlap(box.zone, row.delete_zone));
      // Each box's text ends before the next one's begins.
      if (i + 1 < row.types.size()) {
        EXPECT_LE(box.x + TextWidth(box.text, f), row.types[i + 1].x);
      }
    }
    // The row's texts stay in the band and the band at the bottom of the client area.
    const Band band = TypeRowBand(f, h);
    EXPECT_EQ(band.y1, h);
    EXPECT_TRUE(band.Contains(row.text_y));
    EXPECT_TRUE(band.Contains(row.text_y + 2 * f - 1));
    EXPECT_FALSE(band.Contains(h - 5 * f));  // bounds are exclusive
    EXPECT_FALSE(band.Contains(h));
    EXPECT_TRUE(row.delete_zone.Contains(row.delete_x + TextWidth(kDeleteBoxText, f) / 2, row.text_y + f));
    EXPECT_EQ(row.delete_zone.y0, band.y0);
    // The last "？" ends inside the window's 84f.
    EXPECT_LE(row.deletion_help_x + 2 * f, 84 * f);
  }
}

TEST(RegistrationLayout, EachQuestionMarkIsWhereAClickShowsItsHelp) {
  for (int f = 2; f <= 40; ++f) {
    SCOPED_TRACE(f);
    const int h = 60 * f;
    const TypeRow row = RegistrationTypeRow(f, h);
    const int row_left = row.left;
    EXPECT_EQ(row_left, 2 * f);
    // A full-width "？" is 2f wide and 2f tall; a click on its middle.
    EXPECT_EQ(ClassifyClick(row.registration_help_x + f, row.text_y + f, f, h, row_left),
              RegistrationClick::RegistrationHelp);
    EXPECT_EQ(ClassifyClick(row.deletion_help_x + f, row.text_y + f, f, h, row_left), RegistrationClick::DeletionHelp);
    const Point mark = SearchHelpMark(f);
    EXPECT_EQ(ClassifyClick(mark.x + f, mark.y + f, f, h, row_left), RegistrationClick::SearchHelp);
    // A click on a type box or the deletion box is the type row's.
    for (const TypeBox& box : row.types) {
      EXPECT_EQ(ClassifyClick(box.x + f, row.text_y + f, f, h, row_left), RegistrationClick::TypeRow);
    }
    EXPECT_EQ(ClassifyClick(row.delete_x + f, row.text_y + f, f, h, row_left), RegistrationClick::TypeRow);
    // The hover zones of the type boxes end where the registration help begins.
    EXPECT_LE(row.types.back().zone.x1, row.registration_help_x + 1);
  }
}

TEST(RegistrationLayout, TheTopRowsAndTheListDoNotOverlap) {
  for (int f = 1; f <= 40; ++f) {
    SCOPED_TRACE(f);
    const int w = 84 * f, h = 60 * f;
    const Rect button = SearchButtonRect(f);
    const Point mark = SearchHelpMark(f);
    const Rect first_box = SearchBoxFirstRect(f);
    const RegistrationChildren c = RegistrationChildrenFor(f, w, h);
    // Left to right: the button, its "？", the search box.
    EXPECT_LE(button.left + button.width, mark.x);
    EXPECT_LE(mark.x + 2 * f, first_box.left);
    EXPECT_EQ(c.search_box.left, first_box.left);
    EXPECT_EQ(c.search_box.top, first_box.top);
    EXPECT_EQ(c.search_box.height, first_box.height);
    // The search box keeps off the right edge; the list sits below the search row and
    // ends above the type row.
    EXPECT_LT(c.search_box.left + c.search_box.width, w - f);
    EXPECT_GE(c.list.top, button.top + button.height);
    EXPECT_GE(c.list.top, c.search_box.top + c.search_box.height);
    EXPECT_LE(c.list.top + c.list.height, TypeRowBand(f, h).y0);
    EXPECT_EQ(c.list.left + c.list.width, w - 2 * f);
    // The drop's abort box is on the top line, above the search row and left of the count.
    const Zone abort = DropAbortZone(f);
    const TopLine top = RegistrationTopLine(f);
    EXPECT_EQ(abort.x0, top.label_x);
    EXPECT_LE(abort.x1, top.count_x);
    EXPECT_LE(abort.y1, button.top);
    EXPECT_LE(abort.y0, top.y);
    // The free space (at most 25 bytes) fits the window's 84f.
    EXPECT_LE(top.free_space_x + 25 * f, 84 * f);
    const ListColumns columns = RegistrationListColumns(f);
    EXPECT_EQ(columns.path_width + columns.size_width, 73 * f);
  }
}

TEST(RegistrationLayout, TheAbortZoneStartsBelowHalfACharacter) {
  // The walk's abort box answers from y = f/2 + 1: 2y > f, as the window has always tested.
  for (int f : {4, 7, 12}) {
    SCOPED_TRACE(f);
    const Zone abort = DropAbortZone(f);
    for (int y = 0; y < 3 * f + 2; ++y) {
      EXPECT_EQ(abort.Contains(5 * f, y), 2 * y > f && y < 3 * f) << y;
    }
    EXPECT_FALSE(abort.Contains(2 * f, 2 * f));
    EXPECT_TRUE(abort.Contains(2 * f + 1, 2 * f));
    EXPECT_FALSE(abort.Contains(11 * f, 2 * f));
  }
}

TEST(RegistrationLayout, WindowPlacementCentresWithoutASavedPositionAndNeverOutgrowsTheWorkArea) {
  const ScreenFacts s{0, 0, 1280, 984, 4, 4, 23};
  EXPECT_EQ(RegistrationWindowPlacement(7, 50, 30, 77777, 77777, s), (Rect{321, 231, 638, 522}));
  EXPECT_EQ(RegistrationWindowPlacement(7, 50, 30, 77777, 10, s), (Rect{77777, 10, 638, 522}));  // one marker is no marker
  EXPECT_EQ(RegistrationWindowPlacement(7, 0, 0, 100, 200, s), (Rect{100, 200, 588, 492}));
  const ScreenFacts small{0, 0, 1200, 700, 4, 4, 23};
  EXPECT_EQ(RegistrationWindowPlacement(12, 400, 0, 77777, 77777, small), (Rect{0, 175, 1200, 350}));
}

}  // namespace
}  // namespace bk
