// Where the window of a backup run stands, in the backup program and in the power-off
// program alike, as a function of the character size f and the screen.
#pragma once

#include "common/window_settings.hpp"

namespace bk {

// The backup window: its outer placement and the length N of its progress line in
// characters (100, fewer when the work area is too narrow).
struct BackupPlacement {
  Rect rect;
  int line_length = 100;
};

// The saved position, or (both coordinates holding the marker) centred and low in the
// work area.
BackupPlacement BackupWindowPlacement(int f, int saved_x, int saved_y, const ScreenFacts& screen);

}  // namespace bk
