// The message dialog's text and layout: how the text is wrapped into lines of at most
// 70 bytes and where the window, its buttons and the pointer go, all as functions of the
// character size f. The Win32 part (message_dialog_win32.cpp) only draws what these say.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/message_port.hpp"

namespace bk {

// The text buffer holds 2048 bytes with its terminator.
inline constexpr std::size_t kMaxMessageBytes = 2047;
// A line is ended after the character that brings it to this many bytes.
inline constexpr int kMessageLineBytes = 70;

struct WrappedMessage {
  std::string text;  // Shift-JIS with LF line ends, at most kMaxMessageBytes bytes
  int lines = 1;     // line breaks + 1
  int longest = 0;   // bytes of the longest line (an LF that begins a line counts there)
};

// Wraps text at 70 bytes without splitting a double-byte character. The text ends at its
// first zero byte; a lead byte with nothing after it is dropped; a text that would pass
// 2047 bytes is cut at a character boundary.
WrappedMessage WrapMessageText(std::string_view text);

struct DialogRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const DialogRect&) const = default;
};

// The window: wide enough for the longest line (and never narrower than 4.3 characters'
// worth of text or the mode's buttons), centred on the work area's right/bottom halves.
DialogRect DialogGeometry(const WrappedMessage& wrapped, DialogMode mode, int f, int work_right,
                          int work_bottom);

struct DialogButton {
  std::string caption;  // Shift-JIS
  int answer = 0;
  DialogRect rect;  // client coordinates of the dialog
  bool operator==(const DialogButton&) const = default;
};

std::vector<DialogButton> DialogButtons(DialogMode mode, int f, int width, int height);

struct DialogPoint {
  int x = 0;
  int y = 0;
  bool operator==(const DialogPoint&) const = default;
};

// Where the pointer is put when the dialog opens (dialog-relative), or nothing.
std::optional<DialogPoint> PointerTarget(DialogMode mode, int f, int width, int height);

// What ShowMessage answers for the way its dialog ended: a button's answer, or
// kAnswerClosed when it was closed or its window could not be made. MsgOk answers
// kOkAnswer whatever ended it, so that its callers never take a failure for a refusal.
int DialogResult(DialogMode mode, int ended_with);

// The "×" mark's zone in the top right corner, bounds excluded.
bool InCloseZone(int x, int y, int f, int width);

// Where each line is drawn: x = 10, y from trunc(1.5f) in steps of 2.6f (each truncated).
int MessageLineY(int line_index, int f);

// The wrapped text's lines, split at each LF that is a character of its own (the LF
// itself belongs to no line).
std::vector<std::string_view> SplitMessageLines(std::string_view wrapped);

}  // namespace bk
