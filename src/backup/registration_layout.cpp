#include "backup/registration_layout.hpp"

#include <algorithm>

namespace bk {

namespace {

// The type row starts 2f in; each box's text is at 2f + x f. Its hover zone (in f from the
// client's left edge) covers the text give or take a fraction of f, and two neighbours never
// share a pixel.
struct TypeBoxPlace {
  char type;
  std::string_view text;
  float x;
  float zone_from;
  float zone_to;
};
constexpr std::array<TypeBoxPlace, 5> kTypeBoxes = {{
    {'1', " ファイル ", 0.0f, 2.0f, 12.2f},
    {'2', " ミラー(除外) ", 11.0f, 12.8f, 27.0f},
    {'3', " ミラー(全て) ", 26.0f, 27.8f, 42.0f},
    {'4', " 差分(除外) ", 41.0f, 42.8f, 55.0f},
    {'5', " 差分(全て) ", 54.0f, 56.0f, 68.0f},
}};

// What the search box gives up at its right end, by character size: the edit box's
// frame does not grow with the font.
float SearchBoxCorrection(int f) {
  switch (f) {
    case 4: case 5: return 1.0f;
    case 6: return 1.3f;
    case 7: return 1.6f;
    case 8: return 2.2f;
    case 9: return 1.7f;
    case 10: return 2.4f;
    case 11: return 2.6f;
    case 12: return 4.8f;
    default: return 1.6f;
  }
}

}  // namespace

TopLine RegistrationTopLine(int f) {
  const int row_left = 2 * f;
  return {f / 2, row_left, 11 * f + row_left, 33 * f + row_left, 42 * f + row_left, 55 * f + row_left};
}

Zone DropAbortZone(int f) { return {2 * f, 11 * f, f / 2, 3 * f}; }

Rect SearchButtonRect(int f) { return {2 * f, 3 * f, 39 * f, Scaled(f, 3.4f)}; }

Point SearchHelpMark(int f) { return {Scaled(f, 41.3f), Scaled(f, 3.8f)}; }

Rect SearchBoxFirstRect(int f) { return {45 * f, Scaled(f, 3.3f), 10 * f, 3 * f}; }

ListColumns RegistrationListColumns(int f) { return {60 * f, 13 * f}; }

RegistrationChildren RegistrationChildrenFor(int f, int w, int h) {
  const int search_width =
      static_cast<int>(static_cast<float>(w) - 46.5f * static_cast<float>(f) - SearchBoxCorrection(f));
  return {{2 * f, Scaled(f, 7.6f), w - 4 * f, h - 13 * f}, {45 * f, Scaled(f, 3.3f), search_width, 3 * f}};
}

Band TypeRowBand(int f, int client_height) { return {client_height - 5 * f, client_height}; }

TypeRow RegistrationTypeRow(int f, int client_height) {
  const int row_left = 2 * f;
  const Band band = TypeRowBand(f, client_height);
  TypeRow row{};
  row.left = row_left;
  row.text_y = client_height - 4 * f;
  for (std::size_t i = 0; i < kTypeBoxes.size(); ++i) {
    const TypeBoxPlace& box = kTypeBoxes[i];
    row.types[i] = {box.type, box.text, Scaled(f, box.x) + row_left,
                    {Scaled(f, box.zone_from), Scaled(f, box.zone_to), band.y0, band.y1}};
  }
  row.delete_x = 71 * f + row_left;
  row.delete_zone = {71 * f + row_left, 77 * f + row_left, band.y0, band.y1};
  row.registration_help_x = 66 * f + row_left;
  row.deletion_help_x = 77 * f + row_left;
  return row;
}

Rect RegistrationWindowPlacement(int f, int width_adjust, int extra_height, int saved_x, int saved_y,
                                 const ScreenFacts& screen) {
  Rect r;
  r.width = std::min(84 * f + width_adjust, screen.work_right - screen.work_left);
  r.height = screen.work_bottom / 2 + extra_height;
  r.left = saved_x;
  r.top = saved_y;
  if (!HasPosition(saved_x, saved_y)) {
    r.left = screen.work_right / 2 - r.width / 2;
    r.top = screen.work_bottom / 2 - r.height / 2;
  }
  return r;
}

Point LineClickPoint(int f, int row_top) { return {5 * f, f + row_top}; }

int CentringScroll(int f, int row_top, int client_height) { return 7 * f + row_top - client_height / 2; }

int ScrollToTop(int f, std::size_t line_count) { return -static_cast<int>((line_count + 22) * 2 * f); }

}  // namespace bk
