// Drops on the registration window: the scan's hooks that draw on the window, the merge's
// hooks, and the one drop state that WM_DROPFILES and the window's pump share.
#pragma once

#include <memory>

#include "backup/shell_win32.hpp"
#include "common/list_buffer.hpp"

namespace bk {

struct DropState;

// Takes drops on the registration window while it lives: RegistrationDrop registers them
// and MergePendingDrop merges them. keep_going is the window's flag, which an abort click
// clears to end a scan.
class WindowDrops {
 public:
  WindowDrops(Shell& shell, ListBuffer& list, bool& keep_going);
  ~WindowDrops();
  WindowDrops(const WindowDrops&) = delete;
  WindowDrops& operator=(const WindowDrops&) = delete;

 private:
  std::unique_ptr<DropState> state_;
};

// Merges a drop whose scan has ended into its list; the window's pump calls it after each
// message, so the merge's questions never run inside the drop's own message.
void MergePendingDrop(Shell& shell);

}  // namespace bk
