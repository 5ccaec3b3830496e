// The backup program's one program-wide record: settings, tables, requests and flags that
// the window procedure, the pumps and the dispatcher share on the user-interface thread.
#pragma once

#include "backup/destinations.hpp"
#include "backup/dispatcher.hpp"
#include "backup/list_view_model.hpp"
#include "backup/search_delete.hpp"
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

  // The registration window.
  ListBuffer list;              // ListBuffer of the CurrentType
  ListView view;                // its rows and totals
  char current_type = 0;        // CurrentType '1'..'5', 0 none
  char hovered_type = 0;        // HoveredType at the last paint
  RegistrationPhase registration_phase = RegistrationPhase::Idle;
  bool delete_hover = false;    // the pointer was over " 削除 " at the last paint
  bool delete_request = false;  // DeleteRequest
  bool search_request = false;  // SearchRequest
  bool highlight = false;       // a type box is shown highlighted
  SearchState search;
  int width_adjust = 0;         // the registration window's width change, for this run only
  std::string free_text;        // the destination's free space as painted
  std::size_t duplicate_checked = 0;  // the merge's duplicate check, as painted
  std::size_t duplicate_total = 0;

  int f() const { return settings.char_size; }
};

}  // namespace bk
