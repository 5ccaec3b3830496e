// Messages shown in the middle of a list operation. The dialog's loop dispatches the main
// window's messages, so when it returns the list buffer may hold another list (another
// type's, loaded for a drop): an operation that goes on must first know it did not.
#pragma once

#include <string_view>

#include "common/list_buffer.hpp"
#include "common/message_port.hpp"

namespace bk {

// Shows text with "了解"; true when list still holds the text it held before.
inline bool ShowKeepingList(MessagePort& ui, std::string_view text, const ListBuffer& list) {
  const ListFingerprint before = FingerprintOf(list);
  ui.ShowMessage(text, DialogMode::Ok);
  return FingerprintOf(list) == before;
}

}  // namespace bk
