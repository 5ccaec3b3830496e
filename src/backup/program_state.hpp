// The backup program's one program-wide record: settings, tables, requests and flags that
// the window procedure, the pumps and the dispatcher share on the user-interface thread.
#pragma once

#include "backup/destinations.hpp"
#include "backup/dispatcher.hpp"
#include "backup/settings_layout.hpp"
#include "common/destination_table.hpp"
#include "common/window_settings.hpp"

namespace bk {

struct ProgramState {
  WindowSettings settings;      // CharSize (settings.char_size) and remembered geometry
  DestinationTables tables;     // ToDrive.txt
  VolumeLabels labels;          // VolumeLabels
  ScreenFacts screen;
  bool free_space_check = false;  // FreeSpaceCheck
  WindowMode mode = WindowMode::None;
  Requests requests;
  bool window_active = false;   // WindowActive: the open window's pump runs
  bool click_pending = false;   // ClickPending: a left press on the window surface
  char remembered_type = 0;     // list type shown when the registration window last closed
  int remembered_top = 0;       // its list's top index
  bool dialog_open = false;     // a message dialog is up (choices in boxes then do nothing)

  int f() const { return settings.char_size; }
};

}  // namespace bk
