// Where everything of the registration window stands, as functions of the character size f
// and of its client area. Fractions of f are computed in single precision and truncated
// (Scaled), as in the settings window. The type row hugs the bottom of the client area;
// the top line, the search row and the list hang from the top.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "backup/settings_layout.hpp"
#include "common/window_settings.hpp"

namespace bk {

// A place in client coordinates (where a text is drawn, where a click lands).
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// ---- the top line ----------------------------------------------------------

// The line of counts at the top, drawn at y; a drop's progress takes its left part.
struct TopLine {
  int y;
  int label_x;       // "ファイル数", the duplicate check, a drop's progress and abort box
  int count_x;       // the file count, the folders a drop's walk has found
  int size_label_x;  // "総サイズ"
  int size_x;        // the total size
  int free_space_x;  // the destination's free space (when it is checked)
};
TopLine RegistrationTopLine(int f);

// While a drop's walk runs, the " 登録中断 " box (at label_x) is red while the pointer is
// here; a press a little wider ends the walk (PressStopsScan).
Zone DropAbortZone(int f);

// ---- the search row and the list ------------------------------------------------

// The search button and the "？" of its help.
Rect SearchButtonRect(int f);
Point SearchHelpMark(int f);

// The search box as created, before the first WM_SIZE places it.
Rect SearchBoxFirstRect(int f);

// The list view's two columns: the path and the size.
struct ListColumns {
  int path_width, size_width;
};
ListColumns RegistrationListColumns(int f);

// The children placed for a client area w x h: the list fills it below the search row,
// the search box reaches to the right edge less a correction that depends on f.
struct RegistrationChildren {
  Rect list;
  Rect search_box;
};
RegistrationChildren RegistrationChildrenFor(int f, int w, int h);

// ---- the type row ---------------------------------------------------------------

// The band of the type row: a pointer with bottom - 5f < y < bottom is in it, whatever x.
struct Band {
  int y0 = 0, y1 = 0;
  bool Contains(int y) const { return y > y0 && y < y1; }
};
Band TypeRowBand(int f, int client_height);

// A box of the type row: drawn at (x, text_y), hovered in zone (exclusive bounds).
struct TypeBox {
  char type;  // '1' .. '5', the list type it stands for
  std::string_view text;
  int x;
  Zone zone;
};

struct TypeRow {
  int left;  // where the row begins: every x of the row is measured from here
  int text_y;
  std::array<TypeBox, 5> types;
  int delete_x;  // " 削除 "
  Zone delete_zone;
  int registration_help_x;  // the "？" of the registration help, left of " 削除 "
  int deletion_help_x;      // the "？" of the deletion help, right of it
};
TypeRow RegistrationTypeRow(int f, int client_height);

// The text of the deletion box.
inline constexpr std::string_view kDeleteBoxText = " 削除 ";

// ---- the window and its lines ---------------------------------------------------------

// Outer placement: 84f wide plus the width the user added this run (never wider than the
// work area), half the work area tall plus the saved extra height; at the saved position,
// or centred when both saved coordinates hold the marker.
Rect RegistrationWindowPlacement(int f, int width_adjust, int extra_height, int saved_x, int saved_y,
                                 const ScreenFacts& screen);

// Where a row is clicked to select it: list client coordinates, row_top the top of the
// row's rectangle.
Point LineClickPoint(int f, int row_top);

// The scroll (pixels) that brings a row whose top is row_top near the middle of a client
// area client_height tall.
int CentringScroll(int f, int row_top, int client_height);

// The scroll that brings the list to its top whatever was shown before: more than its
// lines are tall.
int ScrollToTop(int f, std::size_t line_count);

}  // namespace bk
