// The message dialog on the desktop: a borderless, topmost window centred on the work
// area, with the wrapped text, the "×" mark and the mode's buttons. One at a time: a call
// while a dialog is open shows nothing and answers kAnswerClosed.
#pragma once

#include <string_view>

#include "common/message_port.hpp"

namespace bk {

// The answer of the last dialog, as ShowMessage returned it. While a dialog is shown it
// is its loop's slot: cleared when the dialog opens, and the loop waits until a button
// puts its answer there or the "×" mark -1. Only the dialog writes it; the backup
// program's commands have their own request slots.
int& DialogAnswer();

// True while a message dialog of this thread is shown: its loop dispatches the messages of
// the program's other windows, which must not start work that the dialog's caller is in
// the middle of.
bool MessageDialogOpen();

class Win32MessageDialog final : public MessagePort {
 public:
  // char_size points at the program's current character size, read at every call.
  explicit Win32MessageDialog(const int* char_size);
  int ShowMessage(std::string_view text, DialogMode mode) override;

 private:
  const int* char_size_;
};

}  // namespace bk
