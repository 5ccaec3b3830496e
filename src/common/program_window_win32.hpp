// What both window programs set up alike at start-up: their window class "　" and the
// screen facts.
#pragma once

#include "common/window_settings.hpp"
#include "platform/win32_api.hpp"

namespace bk {

// The class "　" (one ideographic space): redrawn on resizing, the program's icon, no class
// cursor, background RGB(200, 200, 255). False when the system refuses it.
bool RegisterProgramWindowClass(HINSTANCE instance, WNDPROC procedure, int icon_id);

// The desktop's work area and the frame and caption sizes.
ScreenFacts ReadScreenFacts();

}  // namespace bk
