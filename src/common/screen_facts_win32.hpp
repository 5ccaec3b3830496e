// The screen facts both window programs read at start-up: the desktop's work area and the
// frame and caption sizes.
#pragma once

#include "backup/settings_layout.hpp"

namespace bk {

ScreenFacts ReadScreenFacts();

}  // namespace bk
